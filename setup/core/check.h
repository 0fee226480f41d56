// Script checker for authors: walks a whole script with the same line store,
// tokenizer and macro expansion as the installer and reports what would stop
// or confuse a run, without touching anything but the file-size callback.
#pragma once

#include <stdint.h>

#include "script.h"

namespace sc {

enum CheckSeverity {
    CheckWarning = 0,
    CheckError = 1,
};

// Called once per finding; line is the 0-based line index, or -1 for a
// finding about the whole script. reason is plain ASCII, except for script
// text it quotes.
typedef void (*CheckReportFn)(void* context, int32_t line,
                              CheckSeverity severity, const char* reason);

struct CheckResult {
    int32_t errors;
    int32_t warnings;
};

// Checks every line: unknown command words (warning), missing required
// arguments, lines over 259 bytes, arguments that do not fit after expansion,
// unbalanced install/uninstall sections, no end line, meter blocks whose
// total is 0, copy/move sources that host->fileSize cannot open (a null
// fileSize takes every file as present), and an uninstall section that can
// never run (reported on its startuninstall line). Leaves script->nextLine and
// currentLine as it found them; moves the token position.
CheckResult CheckScript(Script* script, const ScriptHost* host,
                        CheckReportFn report, void* context);

// The name under which the author's tool puts the installer itself into the
// distribution folder, beside the files the script copies and moves.
constexpr char kInstallerFileName[] = "Setup.exe";

// True when a copy or move source, as the script gives it after expansion,
// names that file: "Setup.exe" in any ASCII case, after any ".\\" steps.
// The author's tool adds the file, so a check of the author's folder counts
// it as present (the shipped script copies it as its uninstaller).
bool NamesInstallerFile(const char* source);

}  // namespace sc
