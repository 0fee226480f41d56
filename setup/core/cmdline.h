// Command line of the installer: -i, -u, -s, -cleanupinstall file,
// -cleanupuninstall file folder.
#pragma once

#include <stdint.h>

namespace sc {

struct CommandLineOptions {
    int32_t installMode;       // 1 install (default), 0 uninstall
    int32_t silent;            // -s
    int32_t cleanupInstall;    // -cleanupinstall seen
    int32_t cleanupUninstall;  // -cleanupuninstall seen
    char* cleanupFile;         // operand of either clean-up option, or null
    char* cleanupDir;          // second operand of -cleanupuninstall, or null
};

// Splits the writable command line (program path included) with NextToken
// and the blank as the only separator, and fills options from scratch.
// Options match in any ASCII case, may repeat (the last -i/-u wins); the
// tokens after a clean-up option are its operands even when they look like
// options. cleanupFile and cleanupDir point into commandLine. A null
// command line gives the defaults.
void ParseCommandLine(char* commandLine, CommandLineOptions* options);

}  // namespace sc
