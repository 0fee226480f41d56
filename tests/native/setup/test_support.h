// Shared helpers of the setup core tests: scripts built from strings, and a
// host whose folders and files the test controls.
#pragma once

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "setup_core.h"

namespace sctest {

// A script over its own copy of the text, with or without a line index.
class TestScript {
public:
    explicit TestScript(const std::string& text, bool indexed = true) : text_(text) {
        script_ = sc::Script{};
        sc::ScriptOpen(&script_, text_.data(), static_cast<uint32_t>(text_.size()));
        if (indexed) {
            index_.assign(sc::ScriptIndexEntries(&script_), 0xDEADBEEFu);
            sc::ScriptBuildIndex(&script_, index_.data());
        }
    }
    TestScript(const TestScript&) = delete;
    TestScript& operator=(const TestScript&) = delete;

    sc::Script* get() { return &script_; }
    sc::Script* operator->() { return &script_; }

    std::string Line(int32_t index, sc::FetchResult* result = nullptr) {
        char out[sc::kPathSize];
        sc::FetchResult r = sc::FetchLine(&script_, out, index);
        if (result != nullptr) *result = r;
        return out;
    }

private:
    std::string text_;
    std::vector<uint32_t> index_;
    sc::Script script_;
};

// Folders and files seen through sc::ScriptHost. Reset() before each use.
struct FakeMachine {
    static std::string programFiles;
    static std::string dest;
    static std::string systemDir;
    static std::string windowsDir;
    static std::map<std::string, uint64_t> files;
    static int systemDirCalls;

    static void Reset() {
        programFiles = "C:\\Program Files";
        dest = "C:\\Program Files\\Mokra\\Kelvo";
        systemDir = "C:\\WINDOWS\\SYSTEM";
        windowsDir = "C:\\WINDOWS";
        files.clear();
        systemDirCalls = 0;
    }

    static unsigned CopyFolder(const std::string& folder, char* out, unsigned capacity) {
        if (folder.size() + 1 > capacity) return static_cast<unsigned>(folder.size() + 1);
        for (size_t i = 0; i < folder.size(); ++i) out[i] = folder[i];
        out[folder.size()] = '\0';
        return static_cast<unsigned>(folder.size());
    }
    static unsigned SystemDir(char* out, unsigned capacity) {
        ++systemDirCalls;
        return CopyFolder(systemDir, out, capacity);
    }
    static unsigned WindowsDir(char* out, unsigned capacity) {
        return CopyFolder(windowsDir, out, capacity);
    }
    static int FileSize(const char* path, int32_t, uint64_t* size) {
        auto it = files.find(path);
        if (it == files.end()) return 0;
        *size = it->second;
        return 1;
    }

    // A host whose two strings point at the live std::string buffers.
    static sc::ScriptHost Host() {
        return sc::ScriptHost{programFiles.c_str(), dest.c_str(), &SystemDir, &WindowsDir,
                              &FileSize};
    }
};

inline std::string Expand(const char* in, sc::ExpandResult* result = nullptr,
                          unsigned capacity = sc::kPathSize) {
    sc::ScriptHost host = FakeMachine::Host();
    std::vector<char> out(capacity + 1, '#');
    sc::ExpandResult r = sc::ExpandMacros(out.data(), in, &host, capacity);
    if (result != nullptr) *result = r;
    return out.data();
}

// All tokens of a line, cut with the given separators.
inline std::vector<std::string> Tokens(const std::string& line, const char* separators = " \t") {
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    std::vector<std::string> tokens;
    for (char* t = sc::NextToken(buffer.data(), separators); t != nullptr;
         t = sc::NextToken(nullptr, separators)) {
        tokens.push_back(t);
    }
    return tokens;
}

}  // namespace sctest
