// Entry of Setup.exe: everything after the start-up code lives in main.cpp,
// which the Win32-level tests link as well.
#include "setup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    // The entry passes the whole command line, program path included; the
    // tokenizer cuts it in place.
    return SetupMain(instance, commandLine);
}
