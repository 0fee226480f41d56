// Portable script engine of the installer: line store, tokenizer, macro
// expansion, command table, number reader and the two start-up/meter scans.
//
// Everything here works on byte strings in code page 932 and calls no C
// library function and no platform function: what the engine needs from the
// platform (folders, file sizes) comes in through ScriptHost.
#pragma once

#include <stdint.h>

namespace sc {

// Size of every line and path buffer (259 bytes of text and a NUL).
constexpr unsigned kPathSize = 260;
// Size of the data buffer of regsetvalue.
constexpr unsigned kDataSize = 520;
// Weight of copy and move: stands for the size of the source file.
constexpr uint32_t kFileSizeWeight = 99999999u;

// ---------------------------------------------------------------------------
// Code page 932 helpers

// True for a lead byte of a double-byte character (0x81-0x9F, 0xE0-0xFC).
bool IsLeadByte932(unsigned char c);
// The next character after p (a lead byte followed by a non-NUL byte is one
// character of two bytes); p itself when it points at NUL.
char* CharNext932(const char* p);
// ASCII-case-insensitive equality; double-byte characters compare exactly.
bool EqualNoCase(const char* a, const char* b);
// The installer's own name: the product of a script without an appname
// line, the name of its icon and logo, the class of the keys it creates.
extern const char kOrvaltName[];
// Length of a NUL-terminated string.
unsigned StrLen(const char* s);
// Copies src into out (capacity bytes, NUL included) without splitting a
// double-byte character; returns 0 when src had to be cut, 1 otherwise.
int CopyText(char* out, unsigned capacity, const char* src);

// ---------------------------------------------------------------------------
// Line store

// Result of a line fetch.
enum FetchResult {
    FetchNoLine = 0,   // index outside 0..lineCount-1: nothing was read, out is ""
    FetchOk = 1,       // the whole line is in out
    FetchTooLong = 2,  // the line has more than 259 bytes; out holds its start
};

// The script text and its line cursor. Plain aggregate: zero-initialise it
// (or value-initialise with {}), then call ScriptOpen.
struct Script {
    const char* text;       // first byte of the script (never modified)
    uint32_t end;           // offset of the first 0x1A, or the buffer size
    int32_t lineCount;      // number of LF bytes before `end`
    int32_t nextLine;       // next line FetchCommandLine reads
    int32_t currentLine;    // line FetchCommandLine returned last (-1 before)
    const uint32_t* index;  // optional line-start index (lineCount + 1 entries)
};

// Attaches the text (size bytes; it ends at the first 0x1A or at size) and
// counts its lines; returns lineCount. A null text gives 0 lines.
int32_t ScriptOpen(Script* script, const char* text, uint32_t size);
// Number of uint32_t entries the line-start index needs (lineCount + 1).
uint32_t ScriptIndexEntries(const Script* script);
// Fills the caller's memory (ScriptIndexEntries entries) with the line starts
// and makes every later fetch cost only the fetched line's length.
void ScriptBuildIndex(Script* script, uint32_t* entries);
// Length in bytes of line `index` after CR removal (0 outside the script).
uint32_t LineLength(const Script* script, int32_t index);
// Copies line `index` (CR dropped, no LF) into out (kPathSize bytes).
FetchResult FetchLine(const Script* script, char* out, int32_t index);
// Fetches the next line whose first byte is neither ';' nor '#' into out,
// advancing nextLine past it and past skipped comments; sets currentLine.
// FetchNoLine when the last counted line has been passed.
FetchResult FetchCommandLine(Script* script, char* out);

// ---------------------------------------------------------------------------
// Tokenizer

// strtok-like: a non-null text starts a new scan, null goes on from the one
// process-wide position. Writes NULs into the text. Double-quoted tokens may
// hold separators; an empty pair gives "", an unclosed one runs to the end.
char* NextToken(char* text, const char* separators);
// The tokenizer's scan position (null before the first scan).
char* TokenPosition();

// ---------------------------------------------------------------------------
// Macros and host services

// What the engine needs from the platform. The two strings are read at each
// expansion, so pointing them at live buffers follows later changes.
struct ScriptHost {
    const char* programFilesDir;  // %PRGDIR% (null counts as empty)
    const char* destDir;          // %DEFDIR% (null counts as empty)
    // %SYSDIR% and %WINDIR%: write the folder into out (capacity bytes) and
    // return its length; 0 on failure, capacity or more when it does not fit.
    unsigned (*systemDir)(char* out, unsigned capacity);
    unsigned (*windowsDir)(char* out, unsigned capacity);
    // Size of a file opened for reading; returns 0 when it cannot be opened.
    // line: the script line whose copy/move source it is, so that the host
    // can keep what it read for that line's own step.
    int (*fileSize)(const char* path, int32_t line, uint64_t* size);
};

enum ExpandResult {
    ExpandTooLong = 0,  // the result does not fit: out holds a cut, NUL-ended prefix
    ExpandOk = 1,
};

// The macros ExpandMacros knows, in the order it tries them; each is eight
// bytes long.
constexpr int MacroCount = 4;
extern const char* const MacroNames[MacroCount];

// Expands %PRGDIR%, %DEFDIR%, %SYSDIR% and %WINDIR% (any ASCII case) from in
// into out (capacity bytes). A macro followed by more text is followed by a
// backslash; any other '%' is copied unchanged. A null in gives "".
ExpandResult ExpandMacros(char* out, const char* in, const ScriptHost* host,
                          unsigned capacity = kPathSize);

// ---------------------------------------------------------------------------
// Command table

enum CommandId {
    CmdNone = -1,
    CmdAppName = 0,
    CmdDefaultDirFromReg,
    CmdDefaultDirChk,
    CmdWelcome,
    CmdChkClassExec,
    CmdStartInstall,
    CmdEndInstall,
    CmdStartUninstall,
    CmdEndUninstall,
    CmdStartMeter,
    CmdEndMeter,
    CmdCopy,
    CmdMove,
    CmdDel,
    CmdMkdir,
    CmdRmdir,
    CmdRegCreateKey,
    CmdRegDeleteKey,
    CmdRegSetValue,
    CmdEnd,
    CmdDdeStart,
    CmdCreateGroup,
    CmdDeleteGroup,
    CmdAddIcon,
    CmdDeleteIcon,
    CmdCleanupInstall,
    CmdCleanupUninstall,
    CmdChkOsType,
    CommandCount  // 28
};

struct CommandRow {
    const char* name;  // lower case; null in the closing row
    uint32_t weight;   // progress units, or kFileSizeWeight
};

// CommandCount rows in CommandId order, then a row with a null name.
extern const CommandRow CommandTable[CommandCount + 1];

// Row of the command named by word (any ASCII case); CmdNone for null or for
// a word that names no command.
CommandId LookupCommand(const char* word);

// ---------------------------------------------------------------------------
// Sections

// Updates the section flags for a section marker (startinstall, endinstall,
// startuninstall, enduninstall) and returns true; false for any other id.
// Markers count wherever they stand, also inside a section that is skipped.
bool ApplySectionMarker(CommandId id, int32_t* inInstallSection, int32_t* inUninstallSection);
// Whether a line runs: installing, the install section runs and the
// uninstall section is skipped; uninstalling, the uninstall section runs only
// when an installed copy was found and the install section is skipped;
// lines outside both sections always run.
bool SectionRuns(int32_t installMode, int32_t inInstallSection, int32_t inUninstallSection,
                 int32_t installedFound);

// ---------------------------------------------------------------------------
// Numbers

// Reads a decimal like atoi: leading blanks (space, \t \n \v \f \r), an
// optional sign, digits up to the first non-digit; null or no digits give 0.
int32_t ReadNumber(const char* text);

// ---------------------------------------------------------------------------
// Registry key names

// True when a key name, as a script gives it, names no key below its root:
// null, empty, or backslashes only. The platform strips leading backslashes,
// so opening a name of one backslash opens the root key itself.
bool NamesRootKey(const char* name);

// ---------------------------------------------------------------------------
// Scans

// Product name: the first token after the first line whose first token is
// "appname" (any case); "Orvalt" when there is none. out has kPathSize bytes.
// Reads every counted line, comments included; moves the token position.
void ScanAppName(const Script* script, char* out);

enum MeterScanResult {
    MeterOk = 1,         // total > 0
    MeterEmpty = 0,      // every weight added up to 0
    MeterMissing = 2,    // a copy/move source cannot be opened: missingPath
    MeterNoSource = 3,   // a copy/move line has no source argument: problemLine
    MeterLineTooLong = 4,// a line of the block has more than 259 bytes: problemLine
    MeterArgTooLong = 5, // a source does not fit after expansion: problemLine
};

struct MeterScan {
    uint64_t total;             // exact sum of the block's weights
    int32_t problemLine;        // line index of the failure (-1 when none)
    char missingPath[kPathSize];// expanded source that cannot be opened
};

// Adds up the weights of the lines from script->nextLine to the first
// endmeter line (or the last line), ignoring sections; copy and move weigh
// the size of their expanded source. The total counts only with MeterOk.
MeterScanResult ScanMeterTotal(const Script* script, const ScriptHost* host,
                               MeterScan* scan);

}  // namespace sc
