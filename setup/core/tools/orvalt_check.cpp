// orvalt-check: checks an installer script the way the installer reads it.
//
//   orvalt-check [--utf8|--cp932] <script> [distdir]
//   orvalt-check --words
//
// --words prints the command words and then the macros that this engine
// knows, one per line, and exits with 0.
//
// Prints "file:line: error: reason" or "file:line: warning: reason" (lines
// counted from 1) and exits with 1 when there are errors, 2 on bad usage or
// an unreadable file, 0 otherwise. Relative copy/move sources are looked up
// in distdir; without distdir, and for absolute sources (which name files on
// the target machine), every file counts as present. distdir is the author's
// folder that tools/author.sh completes with the installer: a source
// Setup.exe counts as present (that is the installer itself, which a script
// may copy as its uninstaller), and a Setup.exe of the folder's own is an
// error, since the built installer would replace it. The folders assumed for
// the macros: %PRGDIR% C:\Program Files, %DEFDIR% C:\Program Files\<appname>,
// %SYSDIR% C:\WINDOWS\SYSTEM, %WINDIR% C:\WINDOWS. A script that is valid
// UTF-8 with non-ASCII text is converted to code page 932 first, as the build
// does when it embeds it; --utf8 and --cp932 force either reading.
#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "setup_core.h"

namespace {

std::string g_distDir;
std::string g_programFiles = "C:\\Program Files";
std::string g_dest;
std::string g_file;
int g_errors = 0;

unsigned Folder(const char* folder, char* out, unsigned capacity) {
    unsigned n = static_cast<unsigned>(std::strlen(folder));
    if (n + 1 > capacity) return n + 1;
    std::memcpy(out, folder, n + 1);
    return n;
}
unsigned SystemDir(char* out, unsigned capacity) { return Folder("C:\\WINDOWS\\SYSTEM", out, capacity); }
unsigned WindowsDir(char* out, unsigned capacity) { return Folder("C:\\WINDOWS", out, capacity); }

bool IsAbsolute(const char* path) {
    return path[0] == '\\' || (path[0] != '\0' && path[1] == ':');
}

// Finds `name` in `dir` without regard to ASCII case, as the target system
// would; returns the name as it is spelled on disk, or "" when absent.
std::string FindNoCase(const std::string& dir, const std::string& name) {
    struct stat st;
    if (stat((dir + "/" + name).c_str(), &st) == 0) return name;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return "";
    std::string found;
    while (struct dirent* e = readdir(d)) {
        if (sc::EqualNoCase(e->d_name, name.c_str())) {
            found = e->d_name;
            break;
        }
    }
    closedir(d);
    return found;
}

// Converts text between two encodings; false when a character has no form
// in the target encoding.
bool Convert(const char* from, const char* to, const std::string& in, std::string* out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> buffer(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) return false;
    out->assign(buffer.data(), buffer.size() - dstLeft);
    return true;
}

// Whether the script was UTF-8: then file names on this side are looked up,
// and findings printed, in UTF-8 as well.
bool g_utf8 = false;

// The name of a code page 932 path component on this machine's disk.
std::string LocalName(const std::string& component) {
    std::string local;
    if (g_utf8 && Convert("CP932", "UTF-8", component, &local)) return local;
    return component;
}

int FileSize(const char* path, int32_t, uint64_t* size) {
    if (g_distDir.empty() || IsAbsolute(path) || sc::NamesInstallerFile(path)) {
        *size = 1;
        return 1;
    }
    // Walk the relative path component by component (a backslash that is
    // the trail byte of a double-byte character separates nothing).
    std::string local = g_distDir;
    std::string component;
    for (const char* p = path;; p = sc::CharNext932(p)) {
        if (*p == '\\' || *p == '\0') {
            if (!component.empty() && component != ".") {
                std::string spelled = FindNoCase(local, LocalName(component));
                if (spelled.empty()) return 0;
                local += "/" + spelled;
            }
            component.clear();
            if (*p == '\0') break;
        } else {
            component.append(p, static_cast<size_t>(sc::CharNext932(p) - p));
        }
    }
    struct stat st;
    if (stat(local.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    *size = static_cast<uint64_t>(st.st_size);
    return 1;
}

void Report(void*, int32_t line, sc::CheckSeverity severity, const char* text) {
    const char* kind = severity == sc::CheckError ? "error" : "warning";
    // A reason quotes script text, which is code page 932 by now.
    std::string converted;
    const char* reason = g_utf8 && Convert("CP932", "UTF-8", text, &converted) ? converted.c_str() : text;
    if (severity == sc::CheckError) ++g_errors;
    if (line < 0) {
        std::printf("%s: %s: %s\n", g_file.c_str(), kind, reason);
    } else {
        std::printf("%s:%d: %s: %s\n", g_file.c_str(), line + 1, kind, reason);
    }
}

bool IsValidUtf8WithNonAscii(const std::string& s) {
    bool nonAscii = false;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
        if (extra == 9 || (c >= 0x80 && c < 0xC2)) return false;
        if (extra != 0 && i + extra >= s.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        if (extra != 0) nonAscii = true;
        i += extra + 1;
    }
    return nonAscii;
}


int Usage() {
    std::fprintf(stderr,
                 "usage: orvalt-check [--utf8|--cp932] <script> [distdir]\n"
                 "       orvalt-check --words   (the command words and macros it knows)\n"
                 "  distdir: the folder with the files the script copies and moves; the\n"
                 "  installer %s is added to it when it is built, so a source %s\n"
                 "  counts as present, and a %s of the folder's own is an error\n",
                 sc::kInstallerFileName, sc::kInstallerFileName, sc::kInstallerFileName);
    return 2;
}

// The installer is added to the distribution under its fixed name: a file
// of that name in the author's folder would be overwritten without a word.
bool HoldsOwnInstaller() {
    if (g_distDir.empty()) return false;
    std::string found = FindNoCase(g_distDir, sc::kInstallerFileName);
    if (found.empty()) return false;
    std::printf("%s/%s: error: the distribution folder holds a %s of its own, which the built "
                "installer would replace; rename or remove it\n",
                g_distDir.c_str(), found.c_str(), sc::kInstallerFileName);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int encoding = 0;  // 0 detect, 1 UTF-8, 2 code page 932
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--utf8") == 0) {
            encoding = 1;
        } else if (std::strcmp(argv[i], "--cp932") == 0) {
            encoding = 2;
        } else if (std::strcmp(argv[i], "--words") == 0 && argc == 2) {
            for (int k = 0; sc::CommandTable[k].name != nullptr; ++k) {
                std::printf("%s\n", sc::CommandTable[k].name);
            }
            for (const char* macro : sc::MacroNames) std::printf("%s\n", macro);
            return 0;
        } else if (argv[i][0] == '-' && argv[i][1] == '-') {
            return Usage();
        } else {
            args.push_back(argv[i]);
        }
    }
    if (args.empty() || args.size() > 2) return Usage();
    g_file = args[0];
    if (args.size() == 2) g_distDir = args[1];

    std::FILE* f = std::fopen(g_file.c_str(), "rb");
    if (f == nullptr) {
        std::fprintf(stderr, "%s: cannot open\n", g_file.c_str());
        return 2;
    }
    std::string raw;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) raw.append(chunk, n);
    std::fclose(f);

    std::string text = raw;
    if (encoding == 1 || (encoding == 0 && IsValidUtf8WithNonAscii(raw))) {
        g_utf8 = true;
        if (!Convert("UTF-8", "CP932", raw, &text)) {
            std::fprintf(stderr, "%s: text has characters without a code page 932 form\n",
                         g_file.c_str());
            return 2;
        }
    }
    if (text.size() > 0x7FFFFFFFu) {
        std::fprintf(stderr, "%s: too large\n", g_file.c_str());
        return 2;
    }

    sc::Script script{};
    sc::ScriptOpen(&script, text.data(), static_cast<uint32_t>(text.size()));
    std::vector<uint32_t> index(sc::ScriptIndexEntries(&script));
    sc::ScriptBuildIndex(&script, index.data());

    char appName[sc::kPathSize];
    sc::ScanAppName(&script, appName);
    g_dest = g_programFiles + "\\" + appName;

    sc::ScriptHost host{g_programFiles.c_str(), g_dest.c_str(), &SystemDir, &WindowsDir,
                        &FileSize};
    sc::CheckResult result = sc::CheckScript(&script, &host, &Report, nullptr);
    if (HoldsOwnInstaller()) ++result.errors;
    if (result.errors != 0 || result.warnings != 0) {
        std::printf("%s: %d error(s), %d warning(s)\n", g_file.c_str(), result.errors,
                    result.warnings);
    }
    return result.errors != 0 ? 1 : 0;
}
