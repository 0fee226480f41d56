// Command-line options of the installer.
#include "cmdline.h"

#include "script.h"

namespace sc {

void ParseCommandLine(char* commandLine, CommandLineOptions* options) {
    options->installMode = 1;
    options->silent = 0;
    options->cleanupInstall = 0;
    options->cleanupUninstall = 0;
    options->cleanupFile = nullptr;
    options->cleanupDir = nullptr;
    if (commandLine == nullptr) return;
    // Only the blank separates: a tab belongs to the token it stands in.
    const char* const kBlank = " ";
    for (char* token = NextToken(commandLine, kBlank); token != nullptr;
         token = NextToken(nullptr, kBlank)) {
        if (EqualNoCase(token, "-i")) {
            options->installMode = 1;
        } else if (EqualNoCase(token, "-u")) {
            options->installMode = 0;
        } else if (EqualNoCase(token, "-s")) {
            options->silent = 1;
        } else if (EqualNoCase(token, "-cleanupinstall")) {
            options->cleanupFile = NextToken(nullptr, kBlank);
            options->cleanupInstall = 1;
        } else if (EqualNoCase(token, "-cleanupuninstall")) {
            options->cleanupFile = NextToken(nullptr, kBlank);
            options->cleanupDir = NextToken(nullptr, kBlank);
            options->cleanupUninstall = 1;
        }
    }
}

}  // namespace sc
