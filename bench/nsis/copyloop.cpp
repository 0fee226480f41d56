// The floor of the installer benchmark: copies a folder tree with nothing
// but CreateDirectoryA and CopyFileA, the calls an installer cannot avoid.
//   copyloop SOURCE DESTINATION
#include <windows.h>
#include <stdio.h>

static int g_files;

static bool CopyTree(const char *source, const char *destination)
{
    CreateDirectoryA(destination, nullptr);
    char pattern[MAX_PATH];
    wsprintfA(pattern, "%s\\*", source);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    do {
        if (!lstrcmpA(found.cFileName, ".") || !lstrcmpA(found.cFileName, ".."))
            continue;
        char from[MAX_PATH], to[MAX_PATH];
        wsprintfA(from, "%s\\%s", source, found.cFileName);
        wsprintfA(to, "%s\\%s", destination, found.cFileName);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok = CopyTree(from, to) && ok;
        } else if (CopyFileA(from, to, FALSE)) {
            ++g_files;
        } else {
            ok = false;
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return ok;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: copyloop SOURCE DESTINATION\n");
        return 2;
    }
    bool ok = CopyTree(argv[1], argv[2]);
    printf("%d files copied\n", g_files);
    return ok ? 0 : 1;
}
