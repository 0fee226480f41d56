// Script checker: the installer's own line store, tokenizer, macro expansion
// and meter scan, run over every line without executing anything.
#include "check.h"

#include "progress.h"

namespace sc {

namespace {

// What the grammar asks of a command's arguments.
enum ArgKind : uint8_t {
    ArgText,    // used as written
    ArgNumber,  // decimal number
    ArgRoot,    // registry root key number, 0 to 3
    ArgType,    // regsetvalue value type, 0 (number) or 1 (text)
    ArgSystem,  // chkostype system number, 0 to 3
    ArgPath,    // macros expanded into a 260-byte buffer
    ArgFolder,  // macros expanded; mkdir appends a backslash
    ArgData,    // regsetvalue data: macros when the type is 1, 520-byte buffer
};

struct Grammar {
    uint8_t required;
    uint8_t optional;
    ArgKind kinds[5];
};

// Indexed by CommandId.
const Grammar kGrammar[CommandCount] = {
    {1, 0, {ArgText}},                                         // appname
    {3, 0, {ArgRoot, ArgText, ArgText}},                       // defaultdirfromreg
    {0, 0, {}},                                                // defaultdirchk
    {2, 0, {ArgNumber, ArgPath}},                              // welcome
    {2, 0, {ArgText, ArgText}},                                // chkclassexec
    {0, 0, {}},                                                // startinstall
    {0, 0, {}},                                                // endinstall
    {0, 0, {}},                                                // startuninstall
    {0, 0, {}},                                                // enduninstall
    {0, 0, {}},                                                // startmeter
    {0, 0, {}},                                                // endmeter
    {2, 1, {ArgPath, ArgPath, ArgText}},                       // copy
    {2, 1, {ArgPath, ArgPath, ArgText}},                       // move
    {1, 1, {ArgPath, ArgText}},                                // del
    {1, 1, {ArgFolder, ArgText}},                              // mkdir
    {1, 1, {ArgPath, ArgText}},                                // rmdir
    {2, 0, {ArgRoot, ArgText}},                                // regcreatekey
    {2, 0, {ArgRoot, ArgText}},                                // regdeletekey
    {5, 0, {ArgRoot, ArgText, ArgText, ArgType, ArgData}},     // regsetvalue
    {0, 0, {}},                                                // end
    {0, 0, {}},                                                // ddestart
    {1, 0, {ArgText}},                                         // creategroup
    {1, 0, {ArgText}},                                         // deletegroup
    {3, 0, {ArgPath, ArgText, ArgText}},                       // addicon
    {2, 0, {ArgText, ArgText}},                                // deleteicon
    {1, 0, {ArgPath}},                                         // cleanupinstall
    {2, 0, {ArgPath, ArgPath}},                                // cleanupuninstall
    {2, 0, {ArgSystem, ArgSystem}},                            // chkostype
};

int AssumePresent(const char*, int32_t, uint64_t* size) {
    *size = 1;
    return 1;
}

// Small formatter into a fixed buffer (no C library here).
class Message {
public:
    Message() { text_[0] = '\0'; }
    Message& Add(const char* s) {
        for (; s != nullptr && *s != '\0'; ++s) Put(*s);
        return *this;
    }
    Message& Add(int32_t n) {
        char digits[12];
        int count = 0;
        uint32_t v = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
        if (n < 0) Put('-');
        do {
            digits[count++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0);
        while (count > 0) Put(digits[--count]);
        return *this;
    }
    const char* text() const { return text_; }

private:
    void Put(char c) {
        if (length_ + 1 < sizeof text_) {
            text_[length_++] = c;
            text_[length_] = '\0';
        }
    }
    char text_[kPathSize + 160];
    unsigned length_ = 0;
};

struct Checker {
    Script* script;
    ScriptHost host;
    CheckReportFn report;
    void* context;
    CheckResult result;

    void Error(int32_t line, const char* reason) {
        ++result.errors;
        if (report != nullptr) report(context, line, CheckError, reason);
    }
    void Warning(int32_t line, const char* reason) {
        ++result.warnings;
        if (report != nullptr) report(context, line, CheckWarning, reason);
    }
};

bool HasDigit(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    if (*text == '+' || *text == '-') ++text;
    return *text >= '0' && *text <= '9';
}

// Checks one argument; returns the expanded value in `expanded` for paths.
void CheckArgument(Checker* c, int32_t line, CommandId id, int position, ArgKind kind,
                   const char* arg, int32_t dataType, char* expanded) {
    const char* name = CommandTable[id].name;
    expanded[0] = '\0';
    switch (kind) {
    case ArgText:
        break;
    case ArgNumber:
    case ArgRoot:
    case ArgType:
    case ArgSystem: {
        if (!HasDigit(arg)) {
            c->Warning(line, Message().Add(name).Add(": argument ").Add(position)
                                 .Add(" is not a number and reads as 0").text());
        }
        int32_t value = ReadNumber(arg);
        int32_t highest = kind == ArgType ? 1 : 3;
        if (kind != ArgNumber && (value < 0 || value > highest)) {
            const char* what = kind == ArgRoot   ? " names no registry root key (0 to 3): the "
                                                   "line does nothing"
                               : kind == ArgType ? " is no value type (0 or 1): no value is "
                                                   "written"
                                                 : " is outside the system table (0 to 3)";
            c->Warning(line, Message().Add(name).Add(": ").Add(value).Add(what).text());
        }
        break;
    }
    case ArgPath:
    case ArgFolder:
        if (ExpandMacros(expanded, arg, &c->host) != ExpandOk) {
            c->Error(line, Message().Add(name).Add(": argument ").Add(position)
                               .Add(" does not fit in 259 bytes after expansion").text());
            expanded[0] = '\0';
        } else if (kind == ArgFolder) {
            FolderWalk walk;
            if (!PlanFolderPath(expanded, &walk)) {
                c->Error(line, Message().Add(name).Add(": folder does not fit in 258 bytes "
                                                       "after expansion").text());
            }
        }
        break;
    case ArgData:
        if (dataType == 1) {
            char data[kDataSize];
            if (ExpandMacros(data, arg, &c->host, kDataSize) != ExpandOk) {
                c->Error(line, Message().Add(name).Add(": data does not fit in 519 bytes "
                                                       "after expansion").text());
            }
        }
        break;
    }
}

// Checks the command of one line; `buffer` holds the fetched line.
void CheckCommand(Checker* c, int32_t line, CommandId id) {
    const Grammar& g = kGrammar[id];
    const char* name = CommandTable[id].name;
    int32_t dataType = 0;
    char source[kPathSize];
    source[0] = '\0';
    int given = 0;
    for (int position = 1; position <= g.required + g.optional; ++position) {
        char* arg = NextToken(nullptr, " \t");
        if (arg == nullptr) break;
        ++given;
        ArgKind kind = g.kinds[position - 1];
        char expanded[kPathSize];
        CheckArgument(c, line, id, position, kind, arg, dataType, expanded);
        if (id == CmdRegSetValue && position == 4) dataType = ReadNumber(arg);
        if ((id == CmdCopy || id == CmdMove) && position == 1) CopyText(source, kPathSize, expanded);
    }
    if (given < g.required) {
        c->Error(line, Message().Add(name).Add(" needs ").Add(g.required)
                           .Add(g.required == 1 ? " argument, " : " arguments, ")
                           .Add(given).Add(" given").text());
    } else if (NextToken(nullptr, " \t") != nullptr) {
        c->Warning(line, Message().Add(name).Add(": extra arguments are ignored").text());
    }
    if ((id == CmdCopy || id == CmdMove) && source[0] != '\0') {
        uint64_t size = 0;
        if (!c->host.fileSize(source, line, &size)) {
            c->Error(line, Message().Add(name).Add(": source file not found: ").Add(source).text());
        }
    }
}

void CheckMeterBlock(Checker* c, int32_t startLine) {
    int32_t saved = c->script->nextLine;
    c->script->nextLine = startLine + 1;
    MeterScan scan;
    MeterScanResult r = ScanMeterTotal(c->script, &c->host, &scan);
    c->script->nextLine = saved;
    // Missing sources, long lines and arguments are reported on their own
    // lines; only the empty total is the block's own problem.
    if (r == MeterEmpty) {
        c->Error(startLine, "meter block has a total of 0 (no copy, move, del, mkdir, rmdir, "
                            "registry or Start-menu command with a weight)");
    }
}

// Where a defaultdirfromreg line reads, or a regsetvalue line writes: the
// root number, key and value name of the line being cut, as written.
struct RegPlace {
    int32_t root;
    char key[kPathSize];
    char value[kPathSize];
};

bool TakeRegPlace(RegPlace* place) {
    const char* root = NextToken(nullptr, " \t");
    const char* key = NextToken(nullptr, " \t");
    const char* value = NextToken(nullptr, " \t");
    if (value == nullptr) return false;
    place->root = ReadNumber(root);
    return CopyText(place->key, kPathSize, key) && CopyText(place->value, kPathSize, value);
}

// Whether an installation writes that place: a regsetvalue outside the
// uninstall section with the same root, key and value name (the registry
// matches names in any case).
bool InstallWrites(const Script* script, const RegPlace& read) {
    int32_t inInstall = 0;
    int32_t inUninstall = 0;
    for (int32_t line = 0; line < script->lineCount; ++line) {
        char buffer[kPathSize];
        FetchLine(script, buffer, line);
        CommandId id = LookupCommand(NextToken(buffer, " \t"));
        RegPlace written;
        if (!ApplySectionMarker(id, &inInstall, &inUninstall) && id == CmdRegSetValue &&
            SectionRuns(1, inInstall, inUninstall, 0) && TakeRegPlace(&written) &&
            written.root == read.root && EqualNoCase(written.key, read.key) &&
            EqualNoCase(written.value, read.value)) {
            return true;
        }
    }
    return false;
}

// An uninstallation runs its section only when defaultdirchk, before
// welcome, found a folder that defaultdirfromreg read where the installation
// recorded it. Reports on the startuninstall line a section that never can.
void CheckUninstallRuns(Checker* c, int32_t uninstallLine) {
    const char* never = "the uninstall section never runs: ";
    int32_t inInstall = 0;
    int32_t inUninstall = 0;
    int32_t readLine = -1;  // the last defaultdirfromreg before defaultdirchk
    bool readsRecord = false;
    for (int32_t line = 0; line < uninstallLine; ++line) {
        char buffer[kPathSize];
        FetchLine(c->script, buffer, line);
        CommandId id = LookupCommand(NextToken(buffer, " \t"));
        // Of the lines before the section, an uninstallation runs only
        // those outside both sections.
        if (ApplySectionMarker(id, &inInstall, &inUninstall) || inInstall != 0 || inUninstall != 0) continue;
        if (id == CmdWelcome) break;
        if (id == CmdDefaultDirFromReg) {
            RegPlace place;
            readLine = line;
            readsRecord = TakeRegPlace(&place) && InstallWrites(c->script, place);
        }
        if (id != CmdDefaultDirChk) continue;
        if (readLine < 0) {
            c->Error(uninstallLine, Message().Add(never).Add("no defaultdirfromreg before the defaultdirchk of "
                                                             "line ").Add(line + 1)
                                        .Add(" reads the installed folder").text());
        } else if (!readsRecord) {
            c->Error(uninstallLine, Message().Add(never).Add("the install section never writes the key and "
                                                             "value that defaultdirfromreg reads at line ")
                                        .Add(readLine + 1).text());
        }
        return;
    }
    c->Error(uninstallLine, Message().Add(never).Add("no defaultdirchk before welcome finds an installed "
                                                     "copy").text());
}

}  // namespace

CheckResult CheckScript(Script* script, const ScriptHost* host, CheckReportFn report,
                        void* context) {
    Checker c{script, host != nullptr ? *host : ScriptHost{}, report, context, {0, 0}};
    if (c.host.fileSize == nullptr) c.host.fileSize = &AssumePresent;

    int32_t installOpen = -1;    // line of the open startinstall, or -1
    int32_t uninstallOpen = -1;  // line of the open startuninstall, or -1
    int32_t meterOpen = -1;      // line of the open startmeter, or -1
    int32_t uninstallFirst = -1; // line of the first startuninstall whose section holds a command
    bool sawEnd = false;

    for (int32_t line = 0; line < script->lineCount; ++line) {
        char buffer[kPathSize];
        FetchResult fetched = FetchLine(script, buffer, line);
        if (fetched == FetchTooLong) {
            c.Error(line, Message().Add("line has ").Add(static_cast<int32_t>(LineLength(script, line)))
                              .Add(" bytes, more than 259").text());
        }
        if (buffer[0] == ';' || buffer[0] == '#') continue;
        char* word = NextToken(buffer, " \t");
        if (word == nullptr) continue;
        CommandId id = LookupCommand(word);
        if (id == CmdNone) {
            c.Warning(line, Message().Add("unknown command '").Add(word)
                                .Add("' does nothing").text());
            continue;
        }
        // Arguments first: the meter scan below cuts other lines with the
        // one tokenizer.
        CheckCommand(&c, line, id);
        // An uninstall section that holds only markers does nothing anyway.
        int32_t markers[2] = {0, 0};
        if (uninstallOpen >= 0 && uninstallFirst < 0 && !ApplySectionMarker(id, &markers[0], &markers[1])) {
            uninstallFirst = uninstallOpen;
        }
        switch (id) {
        case CmdStartInstall:
            if (installOpen >= 0) {
                c.Error(line, Message().Add("startinstall inside the install section opened at "
                                            "line ").Add(installOpen + 1).text());
            }
            if (uninstallOpen >= 0) c.Warning(line, "install section inside an uninstall section");
            installOpen = line;
            break;
        case CmdEndInstall:
            if (installOpen < 0) c.Error(line, "endinstall without startinstall");
            installOpen = -1;
            break;
        case CmdStartUninstall:
            if (uninstallOpen >= 0) {
                c.Error(line, Message().Add("startuninstall inside the uninstall section opened "
                                            "at line ").Add(uninstallOpen + 1).text());
            }
            if (installOpen >= 0) c.Warning(line, "uninstall section inside an install section");
            uninstallOpen = line;
            break;
        case CmdEndUninstall:
            if (uninstallOpen < 0) c.Error(line, "enduninstall without startuninstall");
            uninstallOpen = -1;
            break;
        case CmdStartMeter:
            if (meterOpen >= 0) {
                c.Warning(line, Message().Add("startmeter inside the meter block opened at line ")
                                    .Add(meterOpen + 1).text());
            }
            meterOpen = line;
            CheckMeterBlock(&c, line);
            break;
        case CmdEndMeter:
            meterOpen = -1;
            break;
        case CmdEnd:
            sawEnd = true;
            break;
        default:
            break;
        }
    }

    if (installOpen >= 0) c.Error(installOpen, "startinstall without endinstall");
    if (uninstallOpen >= 0) c.Error(uninstallOpen, "startuninstall without enduninstall");
    if (!sawEnd) c.Error(-1, "no end line");
    // Sections out of balance are reported above; whether one runs is moot.
    if (uninstallFirst >= 0 && installOpen < 0 && uninstallOpen < 0) CheckUninstallRuns(&c, uninstallFirst);
    return c.result;
}

bool NamesInstallerFile(const char* source) {
    if (source == nullptr) return false;
    while (source[0] == '.' && source[1] == '\\') source += 2;
    return EqualNoCase(source, kInstallerFileName);
}

}  // namespace sc
