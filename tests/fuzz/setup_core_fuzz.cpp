// Fuzz target over the installer's script engine: the input is a script.
// Every line goes through the line store (with and without the index, which
// must agree), the tokenizer, macro expansion, the command table, the number
// reader, the command-line parser, the folder walks, both scans and the
// checker; the whole input also goes through the restart-deletion editors.
// ASan and UBSan watch every buffer.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "setup_core.h"

namespace {

// Long enough folders that expansions overflow their buffers now and then.
char g_programFiles[] = "C:\\Program Files";
char g_dest[sc::kPathSize];
const char* g_systemDir = "C:\\WINDOWS\\SYSTEM";

unsigned SystemDir(char* out, unsigned capacity) {
    unsigned n = static_cast<unsigned>(strlen(g_systemDir));
    if (n + 1 > capacity) return n + 1;
    memcpy(out, g_systemDir, n + 1);
    return n;
}

unsigned WindowsDir(char* out, unsigned capacity) {
    const char* dir = "C:\\WINDOWS";
    unsigned n = static_cast<unsigned>(strlen(dir));
    if (n + 1 > capacity) return n + 1;
    memcpy(out, dir, n + 1);
    return n;
}

// A made-up file system: the path's hash decides whether a file exists and
// how large it is (sometimes beyond 4 GiB).
int FileSize(const char* path, int32_t, uint64_t* size) {
    uint64_t h = 1469598103934665603ull;
    for (const char* p = path; *p; ++p) h = (h ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
    if (h % 5 == 0) return 0;
    *size = (h >> 8) % 3 == 0 ? (h >> 20) : (h >> 40);
    return 1;
}

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void Report(void*, int32_t, sc::CheckSeverity, const char* reason) { Check(reason != nullptr); }

void ExerciseLine(char* line, const sc::ScriptHost* host) {
    char copy[sc::kPathSize];
    memcpy(copy, line, sc::kPathSize);

    int tokens = 0;
    for (char* t = sc::NextToken(line, " \t"); t != nullptr; t = sc::NextToken(nullptr, " \t")) {
        Check(t >= line && t < line + sc::kPathSize);
        sc::LookupCommand(t);
        sc::ReadNumber(t);
        char out[sc::kPathSize + 1];
        out[sc::kPathSize] = 0x55;
        sc::ExpandResult r = sc::ExpandMacros(out, t, host);
        Check(out[sc::kPathSize] == 0x55);
        Check(strlen(out) < sc::kPathSize);
        char data[sc::kDataSize];
        sc::ExpandMacros(data, t, host, sc::kDataSize);
        // Small buffers: the result is cut and reported, never overrun.
        unsigned small = static_cast<unsigned>(tokens % 9);
        char tiny[9];
        if (sc::ExpandMacros(tiny, t, host, small) == sc::ExpandOk) Check(strlen(tiny) < small);
        if (r == sc::ExpandOk) {
            sc::FolderWalk walk;
            if (sc::PlanFolderPath(out, &walk)) {
                for (int32_t i = 0; i < walk.count; ++i) {
                    Check(walk.cuts[i] > 0 && walk.path[walk.cuts[i]] == '\\');
                }
            }
            int guard = 0;
            while (sc::PruneContinues(out, "C:\\Program Files") && guard++ < 300) {
                if (!sc::CutAtLastBackslash(out)) break;
            }
        }
        ++tokens;
    }

    sc::CommandLineOptions options;
    sc::ParseCommandLine(copy, &options);
    Check(options.cleanupFile == nullptr ||
          (options.cleanupFile >= copy && options.cleanupFile < copy + sc::kPathSize));
}

// The input as WININIT.INI: adding our deletion keeps every byte of the
// file, and a second addition finds the line; the input as a list of
// pending operations is read within its size.
void RestartDelete(const char* text, size_t size) {
    const char path[] = "C:\\WINDOWS\\ROUNINST.EXE";
    uint32_t capacity = static_cast<uint32_t>(size) + static_cast<uint32_t>(size % 48);
    std::vector<char> ini(capacity == 0 ? 1 : capacity);
    if (size != 0) memcpy(ini.data(), text, size);
    uint32_t length = static_cast<uint32_t>(size);
    sc::PendingResult r = sc::AddRenameDelete(ini.data(), &length, capacity, path);
    Check(length <= capacity);
    if (r != sc::PendingAdded) {
        Check(length == size && (size == 0 || memcmp(ini.data(), text, size) == 0));
    } else {
        // What was added is one stretch of new bytes around "NUL=<path>".
        size_t grow = length - size;
        size_t at = 0;
        while (at < size && ini[at] == text[at]) ++at;
        Check(memcmp(ini.data() + at + grow, text + at, size - at) == 0);
        uint32_t again = length;
        Check(sc::AddRenameDelete(ini.data(), &again, capacity, path) != sc::PendingAdded && again == length);
    }
    sc::HoldsPendingDelete(text, static_cast<uint32_t>(size), "\\?\?\\C:\\A");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The text lives in a block of exactly its size, so any read past it is
    // caught.
    char* text = new char[size == 0 ? 1 : size];
    if (size != 0) memcpy(text, data, size);

    // The destination folder varies with the input's length.
    size_t destLength = size % 240;
    memset(g_dest, 'd', destLength);
    g_dest[destLength] = '\0';
    sc::ScriptHost host{g_programFiles, g_dest, &SystemDir, &WindowsDir, &FileSize};

    sc::Script indexed{};
    sc::Script scanned{};
    sc::ScriptOpen(&indexed, text, static_cast<uint32_t>(size));
    sc::ScriptOpen(&scanned, text, static_cast<uint32_t>(size));
    std::vector<uint32_t> index(sc::ScriptIndexEntries(&indexed));
    sc::ScriptBuildIndex(&indexed, index.data());

    // Line store: both ways agree, and a fetch never exceeds its buffer.
    // (Every line of a short script, a sample of a long one: without the
    // index each fetch rescans from the start.)
    {
        int32_t stride = indexed.lineCount / 24 + 1;
        for (int32_t i = -1; i <= indexed.lineCount; i += stride) {
            char a[sc::kPathSize], b[sc::kPathSize];
            sc::FetchResult ra = sc::FetchLine(&indexed, a, i);
            sc::FetchResult rb = sc::FetchLine(&scanned, b, i);
            Check(ra == rb && strcmp(a, b) == 0);
            Check((ra == sc::FetchTooLong) == (sc::LineLength(&indexed, i) >= sc::kPathSize));
        }
    }

    char appName[sc::kPathSize];
    sc::ScanAppName(&indexed, appName);

    // Interpreter-like walk: each command line is tokenized; each startmeter
    // line triggers the meter scan of its block.
    char line[sc::kPathSize];
    int steps = 0;
    sc::FetchResult r;
    while ((r = sc::FetchCommandLine(&indexed, line)) != sc::FetchNoLine && steps++ < 4000) {
        Check(indexed.currentLine >= 0 && indexed.currentLine < indexed.lineCount);
        char work[sc::kPathSize];
        memcpy(work, line, sc::kPathSize);
        if (sc::LookupCommand(sc::NextToken(work, " \t")) == sc::CmdStartMeter) {
            sc::MeterScan scan;
            sc::MeterScanResult m = sc::ScanMeterTotal(&indexed, &host, &scan);
            if (m == sc::MeterOk) Check(scan.total != 0);
            if (m == sc::MeterEmpty) Check(scan.total == 0);
            if (m == sc::MeterMissing) Check(scan.problemLine >= 0);
            Check(strlen(scan.missingPath) < sc::kPathSize);
            int32_t percent = sc::MeterPercent(scan.total / 3, scan.total);
            Check(percent >= 0 && percent <= 100);
            Check(sc::MeterBlockCount(percent) <= sc::kMeterBlocks);
        }
        ExerciseLine(line, &host);
    }
    Check(indexed.nextLine <= indexed.lineCount);

    indexed.nextLine = 0;
    sc::CheckScript(&indexed, &host, &Report, nullptr);

    if (size >= 16) {
        uint64_t done, total;
        memcpy(&done, data, 8);
        memcpy(&total, data + 8, 8);
        int32_t percent = sc::MeterPercent(done, total);
        Check(percent >= 0 && percent <= 100);
        if (total != 0 && done < total && done <= UINT64_MAX / 100) {
            Check(static_cast<uint64_t>(percent) == done * 100 / total);
        }
    }

    RestartDelete(text, size);
    delete[] text;
    return 0;
}
