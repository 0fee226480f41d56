#include "test_support.h"

namespace sctest {

std::string FakeMachine::programFiles;
std::string FakeMachine::dest;
std::string FakeMachine::systemDir;
std::string FakeMachine::windowsDir;
std::map<std::string, uint64_t> FakeMachine::files;
int FakeMachine::systemDirCalls = 0;

}  // namespace sctest
