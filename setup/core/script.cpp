// Line store, tokenizer, macro expansion, command table and scans.
#include "script.h"

namespace sc {

namespace {

constexpr unsigned char kEndOfText = 0x1A;
constexpr unsigned char kLf = 0x0A;
constexpr unsigned char kCr = 0x0D;

// The tokenizer's one scan position for the whole process.
char* g_tokenPos = nullptr;

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool IsSeparator(char c, const char* separators) {
    if (separators == nullptr) return false;
    for (const char* s = separators; *s != '\0'; ++s) {
        if (*s == c) return true;
    }
    return false;
}

// Offset of the first byte of line `index` (0 <= index <= lineCount).
uint32_t LineStart(const Script* script, int32_t index) {
    if (script->index != nullptr) return script->index[index];
    const unsigned char* text = reinterpret_cast<const unsigned char*>(script->text);
    uint32_t pos = 0;
    int32_t seen = 0;
    while (seen < index && pos < script->end) {
        if (text[pos] == kLf) ++seen;
        ++pos;
    }
    return pos;
}

// Cuts a NUL-ended buffer of `length` bytes so that it does not end inside a
// double-byte character that was copied only halfway.
void TrimPartialCharacter(char* out, unsigned length) {
    unsigned i = 0;
    while (i < length) {
        if (IsLeadByte932(static_cast<unsigned char>(out[i]))) {
            if (i + 1 >= length) {
                out[i] = '\0';
                return;
            }
            i += 2;
        } else {
            ++i;
        }
    }
}

// Compares the 8 bytes at p with a macro name, ignoring ASCII case; stops at
// the first difference, so it never reads past the NUL of p.
bool MatchesMacro(const char* p, const char* name) {
    for (int i = 0; i < 8; ++i) {
        if (FoldAscii(static_cast<unsigned char>(p[i])) !=
            FoldAscii(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Code page 932 helpers

bool IsLeadByte932(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

char* CharNext932(const char* p) {
    char* q = const_cast<char*>(p);
    if (*q == '\0') return q;
    if (IsLeadByte932(static_cast<unsigned char>(*q)) && q[1] != '\0') return q + 2;
    return q + 1;
}

const char kOrvaltName[] = "Orvalt";

bool EqualNoCase(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return a == b;
    for (;;) {
        unsigned char ca = static_cast<unsigned char>(*a);
        unsigned char cb = static_cast<unsigned char>(*b);
        if (IsLeadByte932(ca) && a[1] != '\0') {
            if (ca != cb || a[1] != b[1]) return false;
            a += 2;
            b += 2;
            continue;
        }
        if (FoldAscii(ca) != FoldAscii(cb)) return false;
        if (ca == '\0') return true;
        ++a;
        ++b;
    }
}

// The compiler would turn this loop into a call of the C library's strlen,
// which the programs do not have.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-tree-loop-distribute-patterns")))
#endif
unsigned StrLen(const char* s) {
    unsigned n = 0;
    if (s == nullptr) return 0;
    while (s[n] != '\0') ++n;
    return n;
}

int CopyText(char* out, unsigned capacity, const char* src) {
    if (capacity == 0) return 0;
    unsigned n = 0;
    if (src != nullptr) {
        while (src[n] != '\0') {
            if (n + 1 >= capacity) {
                out[n] = '\0';
                TrimPartialCharacter(out, n);
                return 0;
            }
            out[n] = src[n];
            ++n;
        }
    }
    out[n] = '\0';
    return 1;
}

// ---------------------------------------------------------------------------
// Line store

int32_t ScriptOpen(Script* script, const char* text, uint32_t size) {
    script->text = text;
    script->end = 0;
    script->lineCount = 0;
    script->nextLine = 0;
    script->currentLine = -1;
    script->index = nullptr;
    if (text == nullptr) return 0;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    uint32_t pos = 0;
    int32_t lines = 0;
    while (pos < size && bytes[pos] != kEndOfText) {
        if (bytes[pos] == kLf) ++lines;
        ++pos;
    }
    script->end = pos;
    script->lineCount = lines;
    return lines;
}

uint32_t ScriptIndexEntries(const Script* script) {
    return static_cast<uint32_t>(script->lineCount) + 1;
}

void ScriptBuildIndex(Script* script, uint32_t* entries) {
    if (entries == nullptr) return;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(script->text);
    int32_t line = 0;
    entries[0] = 0;
    for (uint32_t pos = 0; pos < script->end; ++pos) {
        if (bytes[pos] == kLf) entries[++line] = pos + 1;
    }
    script->index = entries;
}

uint32_t LineLength(const Script* script, int32_t index) {
    if (index < 0 || index >= script->lineCount) return 0;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(script->text);
    uint32_t length = 0;
    for (uint32_t pos = LineStart(script, index); bytes[pos] != kLf; ++pos) {
        if (bytes[pos] != kCr) ++length;
    }
    return length;
}

FetchResult FetchLine(const Script* script, char* out, int32_t index) {
    out[0] = '\0';
    if (index < 0 || index >= script->lineCount) return FetchNoLine;
    const char* text = script->text;
    // The line is followed by its LF, which lies before `end`.
    unsigned n = 0;
    for (uint32_t pos = LineStart(script, index); static_cast<unsigned char>(text[pos]) != kLf;
         ++pos) {
        if (static_cast<unsigned char>(text[pos]) == kCr) continue;
        if (n + 1 >= kPathSize) {
            out[n] = '\0';
            TrimPartialCharacter(out, n);
            return FetchTooLong;
        }
        out[n++] = text[pos];
    }
    out[n] = '\0';
    return FetchOk;
}

FetchResult FetchCommandLine(Script* script, char* out) {
    for (;;) {
        if (script->nextLine < 0) script->nextLine = 0;
        if (script->nextLine >= script->lineCount) {
            out[0] = '\0';
            return FetchNoLine;
        }
        script->currentLine = script->nextLine;
        FetchResult result = FetchLine(script, out, script->nextLine);
        ++script->nextLine;
        if (out[0] != ';' && out[0] != '#') return result;
    }
}

// ---------------------------------------------------------------------------
// Tokenizer

char* NextToken(char* text, const char* separators) {
    if (text != nullptr) g_tokenPos = text;
    char* p = g_tokenPos;
    if (p == nullptr) return nullptr;
    while (*p != '\0' && IsSeparator(*p, separators)) p = CharNext932(p);
    if (*p == '\0') {
        g_tokenPos = p;
        return nullptr;
    }
    if (*p == '"') {
        char* start = p + 1;
        p = start;
        while (*p != '\0' && *p != '"') p = CharNext932(p);
        if (*p == '"') {
            *p = '\0';
            g_tokenPos = p + 1;
        } else {
            g_tokenPos = p;
        }
        return start;
    }
    char* start = p;
    while (*p != '\0' && !IsSeparator(*p, separators)) p = CharNext932(p);
    if (*p != '\0') {
        *p = '\0';
        g_tokenPos = p + 1;
    } else {
        g_tokenPos = p;
    }
    return start;
}

char* TokenPosition() { return g_tokenPos; }

// ---------------------------------------------------------------------------
// Macros

const char* const MacroNames[MacroCount] = {"%PRGDIR%", "%DEFDIR%", "%SYSDIR%", "%WINDIR%"};

ExpandResult ExpandMacros(char* out, const char* in, const ScriptHost* host, unsigned capacity) {
    if (capacity == 0) return ExpandTooLong;
    unsigned o = 0;
    bool fits = true;
    auto put = [&](char c) {
        if (o + 1 >= capacity) {
            fits = false;
            return false;
        }
        out[o++] = c;
        return true;
    };
    auto putText = [&](const char* s) {
        if (s == nullptr) return true;
        for (; *s != '\0'; ++s) {
            if (!put(*s)) return false;
        }
        return true;
    };
    if (in == nullptr) in = "";
    unsigned i = 0;
    while (in[i] != '\0' && fits) {
        if (in[i] == '%') {
            int which = -1;
            for (int k = 0; k < MacroCount; ++k) {
                if (MatchesMacro(in + i, MacroNames[k])) {
                    which = k;
                    break;
                }
            }
            if (which >= 0) {
                if (which == 0) {
                    putText(host ? host->programFilesDir : nullptr);
                } else if (which == 1) {
                    putText(host ? host->destDir : nullptr);
                } else {
                    char folder[kPathSize];
                    folder[0] = '\0';
                    unsigned (*fetch)(char*, unsigned) = nullptr;
                    if (host != nullptr) fetch = which == 2 ? host->systemDir : host->windowsDir;
                    if (fetch != nullptr) {
                        unsigned n = fetch(folder, kPathSize);
                        if (n >= kPathSize) {
                            fits = false;
                            break;
                        }
                        folder[n] = '\0';
                    }
                    putText(folder);
                }
                i += 8;
                if (in[i] == '\0') break;
                put('\\');
                continue;
            }
        }
        put(in[i]);
        ++i;
    }
    out[o] = '\0';
    return fits ? ExpandOk : ExpandTooLong;
}

// ---------------------------------------------------------------------------
// Command table

const CommandRow CommandTable[CommandCount + 1] = {
    {"appname", 0},
    {"defaultdirfromreg", 0},
    {"defaultdirchk", 0},
    {"welcome", 0},
    {"chkclassexec", 0},
    {"startinstall", 0},
    {"endinstall", 0},
    {"startuninstall", 0},
    {"enduninstall", 0},
    {"startmeter", 0},
    {"endmeter", 0},
    {"copy", kFileSizeWeight},
    {"move", kFileSizeWeight},
    {"del", 1024},
    {"mkdir", 1024},
    {"rmdir", 1024},
    {"regcreatekey", 1024},
    {"regdeletekey", 1024},
    {"regsetvalue", 1024},
    {"end", 0},
    {"ddestart", 0},
    {"creategroup", 1024},
    {"deletegroup", 1024},
    {"addicon", 1024},
    {"deleteicon", 1024},
    {"cleanupinstall", 0},
    {"cleanupuninstall", 0},
    {"chkostype", 0},
    {nullptr, 0},
};

static_assert(CommandCount == 28, "the script language has 28 commands");
static_assert(sizeof(CommandTable) / sizeof(CommandTable[0]) == CommandCount + 1,
              "one row per command and a closing row");

CommandId LookupCommand(const char* word) {
    if (word == nullptr) return CmdNone;
    for (int i = 0; CommandTable[i].name != nullptr; ++i) {
        if (EqualNoCase(word, CommandTable[i].name)) return static_cast<CommandId>(i);
    }
    return CmdNone;
}

// ---------------------------------------------------------------------------
// Sections

bool ApplySectionMarker(CommandId id, int32_t* inInstallSection, int32_t* inUninstallSection) {
    switch (id) {
    case CmdStartInstall: *inInstallSection = 1; return true;
    case CmdEndInstall: *inInstallSection = 0; return true;
    case CmdStartUninstall: *inUninstallSection = 1; return true;
    case CmdEndUninstall: *inUninstallSection = 0; return true;
    default: return false;
    }
}

bool SectionRuns(int32_t installMode, int32_t inInstallSection, int32_t inUninstallSection,
                 int32_t installedFound) {
    if (installMode == 1) {
        if (inInstallSection == 1) return true;
        return inUninstallSection != 1;
    }
    if (inUninstallSection == 1 && installedFound == 1) return true;
    return inInstallSection != 1 && inUninstallSection != 1;
}

// ---------------------------------------------------------------------------
// Numbers

bool NamesRootKey(const char* name) {
    if (name == nullptr) return true;
    while (*name == '\\') ++name;
    return *name == '\0';
}

int32_t ReadNumber(const char* text) {
    if (text == nullptr) return 0;
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\v' || *text == '\f' ||
           *text == '\r') {
        ++text;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    uint32_t value = 0;
    while (*text >= '0' && *text <= '9') {
        value = value * 10u + static_cast<uint32_t>(*text - '0');
        ++text;
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

// ---------------------------------------------------------------------------
// Scans

void ScanAppName(const Script* script, char* out) {
    CopyText(out, kPathSize, kOrvaltName);
    for (int32_t line = 0; line < script->lineCount; ++line) {
        char buffer[kPathSize];
        FetchLine(script, buffer, line);
        char* word = NextToken(buffer, " \t");
        if (word != nullptr && EqualNoCase(word, "appname")) {
            char* name = NextToken(nullptr, " \t");
            if (name != nullptr) CopyText(out, kPathSize, name);
            return;
        }
    }
}

MeterScanResult ScanMeterTotal(const Script* script, const ScriptHost* host, MeterScan* scan) {
    scan->total = 0;
    scan->problemLine = -1;
    scan->missingPath[0] = '\0';
    int32_t line = script->nextLine < 0 ? 0 : script->nextLine;
    for (; line < script->lineCount; ++line) {
        char buffer[kPathSize];
        FetchResult fetched = FetchLine(script, buffer, line);
        if (fetched == FetchTooLong && buffer[0] != ';' && buffer[0] != '#') {
            scan->problemLine = line;
            return MeterLineTooLong;
        }
        CommandId id = LookupCommand(NextToken(buffer, " \t"));
        if (id == CmdNone) continue;
        if (id == CmdEndMeter) break;
        uint64_t weight = CommandTable[id].weight;
        if (CommandTable[id].weight == kFileSizeWeight) {
            char* source = NextToken(nullptr, " \t");
            if (source == nullptr) {
                scan->problemLine = line;
                return MeterNoSource;
            }
            char path[kPathSize];
            if (ExpandMacros(path, source, host) != ExpandOk) {
                scan->problemLine = line;
                return MeterArgTooLong;
            }
            uint64_t size = 0;
            if (host == nullptr || host->fileSize == nullptr || !host->fileSize(path, line, &size)) {
                CopyText(scan->missingPath, kPathSize, path);
                scan->problemLine = line;
                return MeterMissing;
            }
            weight = size;
        }
        // Saturate instead of wrapping: a wrapped total could read as 0.
        scan->total = scan->total + weight < scan->total ? ~uint64_t{0} : scan->total + weight;
    }
    return scan->total == 0 ? MeterEmpty : MeterOk;
}

}  // namespace sc
