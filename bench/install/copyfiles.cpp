// The baseline of the install benchmark: copies every file of a folder into
// another folder with CopyFileA, the same call the installer's copy command
// makes, and prints the elapsed milliseconds.
//
//   copyfiles SOURCE-FOLDER DESTINATION-FOLDER
#include <windows.h>
#include <stdio.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: copyfiles SOURCE DESTINATION\n");
        return 2;
    }
    DWORD start = GetTickCount();
    CreateDirectoryA(argv[2], nullptr);
    char pattern[MAX_PATH];
    wsprintfA(pattern, "%s\\*", argv[1]);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    int copied = 0;
    int failed = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            char from[MAX_PATH];
            char to[MAX_PATH];
            wsprintfA(from, "%s\\%s", argv[1], found.cFileName);
            wsprintfA(to, "%s\\%s", argv[2], found.cFileName);
            if (CopyFileA(from, to, FALSE)) {
                ++copied;
            } else {
                ++failed;
            }
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    DWORD elapsed = GetTickCount() - start;
    printf("copied %d files, %d failed, %lu ms\n", copied, failed, elapsed);
    return failed == 0 ? 0 : 1;
}
