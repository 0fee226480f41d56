// The file commands against the real (Wine) file system: weights, the
// newer-file question, read-only destinations, missing sources, moves,
// folder paths and meter totals.
#include "wincheck.h"
#include "resource.h"

namespace {

char g_dir[MAX_PATH];
char g_src[MAX_PATH];
char g_dst[MAX_PATH];
char g_cmd[1024];

void Paths(const char *source, const char *destination)
{
    wsprintfA(g_src, "%s\\%s", g_dir, source);
    wsprintfA(g_dst, "%s\\%s", g_dir, destination);
}

// copy/move with the two paths of Paths() and a description.
int Transfer(CommandHandler handler, const char *word)
{
    wsprintfA(g_cmd, "%s \"%s\" \"%s\" \"説明\"", word, g_src, g_dst);
    return RunLine(handler, g_cmd);
}

// Moves path's last-write time by delta (100-ns units).
void ShiftWriteTime(const char *path, LONGLONG delta)
{
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME time;
    GetFileTime(file, nullptr, nullptr, &time);
    ULARGE_INTEGER t;
    t.LowPart = time.dwLowDateTime;
    t.HighPart = time.dwHighDateTime;
    t.QuadPart += static_cast<ULONGLONG>(delta);
    time.dwLowDateTime = t.LowPart;
    time.dwHighDateTime = t.HighPart;
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

const LONGLONG kSecond = 10000000;

void TestCopyWeighsAndReplaces()
{
    Group("copy replaces an older or equally old destination without asking and weighs its source");
    ResetState(g_dir, 0);
    AnswerBoxesWith(IDNO);
    Paths("a.txt", "a-copy.txt");
    WriteFileAged(g_src, 3000, 'N', 1);
    WriteFileAged(g_dst, 10, 'O', 5);
    CHECK(Transfer(CmdCopy, "copy") == 1);
    CHECK(FirstByte(g_dst) == 'N');
    CHECK(g_setup.meterDone == 3000);
    CHECK(g_boxCount == 0);

    // Same last-write time: still no question.
    WriteFileAged(g_src, 100, 'S', 2);
    HANDLE s = CreateFileA(g_src, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME t;
    GetFileTime(s, nullptr, nullptr, &t);
    CloseHandle(s);
    WriteFileAged(g_dst, 10, 'O', 2);
    HANDLE d = CreateFileA(g_dst, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(d, nullptr, nullptr, &t);
    CloseHandle(d);
    CHECK(Transfer(CmdCopy, "copy") == 1);
    CHECK(FirstByte(g_dst) == 'S');
    CHECK(g_setup.meterDone == 3100);
    CHECK(g_boxCount == 0);
}

void TestNewerDestination()
{
    Group("a newer destination: No keeps it and counts the file, Yes replaces it, silent replaces it");
    ResetState(g_dir, 0);
    Paths("n.txt", "n-dst.txt");
    WriteFileAged(g_src, 500, 'N', 3);
    WriteFileAged(g_dst, 20, 'D', 1);
    AnswerBoxesWith(IDNO);
    CHECK(Transfer(CmdCopy, "copy") == 1);
    CHECK(g_boxCount == 1);
    CHECK(Contains(g_boxTexts, "が、すでに存在します。"));
    CHECK(Contains(g_boxTexts, g_dst));
    CHECK(FirstByte(g_dst) == 'D');
    CHECK(g_setup.meterDone == 500);

    // A move answered No leaves its source in place.
    CHECK(Transfer(CmdMove, "move") == 1);
    CHECK(Exists(g_src));
    CHECK(FirstByte(g_dst) == 'D');
    CHECK(g_setup.meterDone == 1000);

    AnswerBoxesWith(IDYES);
    CHECK(Transfer(CmdCopy, "copy") == 1);
    CHECK(g_boxCount == 1);
    CHECK(FirstByte(g_dst) == 'N');

    Group("a destination up to 2 s newer (a FAT disk's copy of the source) asks nothing; 3 s newer asks");
    AnswerBoxesWith(IDNO);
    for (LONGLONG later = kSecond; later <= 2 * kSecond; later += kSecond) {
        WriteFileAged(g_src, 500, 'N', 3);
        CopyFileA(g_src, g_dst, FALSE);
        ShiftWriteTime(g_dst, later);
        CHECK(Transfer(CmdCopy, "copy") == 1);
        CHECK(g_boxCount == 0);
    }
    WriteFileAged(g_dst, 20, 'D', 3);
    ShiftWriteTime(g_dst, 3 * kSecond);
    CHECK(Transfer(CmdCopy, "copy") == 1);
    CHECK(g_boxCount == 1);
    CHECK(FirstByte(g_dst) == 'D');

    WriteFileAged(g_dst, 20, 'D', 0);
    g_setup.silent = 1;
    AnswerBoxesWith(IDNO);
    CHECK(Transfer(CmdCopy, "copy") == 1);
    CHECK(g_boxCount == 0);
    CHECK(FirstByte(g_dst) == 'N');
}

void TestMissingSource()
{
    Group("a missing source stops with its expanded path named; silent runs say nothing");
    ResetState(g_dir, 0);
    AnswerBoxesWith(IDOK);
    CHECK(RunLine(CmdCopy, "copy \"%DEFDIR%nothing.txt\" \"%DEFDIR%x.txt\"") == 0);
    char expected[MAX_PATH * 2];
    wsprintfA(expected, "コピーするファイル%s\\nothing.txtが見つかりません。", g_dir);
    CHECK_STR(g_boxTexts, expected);
    CHECK(g_setup.meterDone == 0);

    AnswerBoxesWith(IDOK);
    CHECK(RunLine(CmdMove, "move \"%DEFDIR%nothing.txt\" \"%DEFDIR%x.txt\"") == 0);
    wsprintfA(expected, "移動するファイル%s\\nothing.txtが見つかりません。", g_dir);
    CHECK_STR(g_boxTexts, expected);

    g_setup.silent = 1;
    AnswerBoxesWith(IDOK);
    CHECK(RunLine(CmdCopy, "copy \"%DEFDIR%nothing.txt\" \"%DEFDIR%x.txt\"") == 0);
    CHECK(g_boxCount == 0);
}

void TestReadOnlyDestination()
{
    Group("a read-only destination fails the copy; a failed move keeps its source");
    ResetState(g_dir, 0);
    AnswerBoxesWith(IDOK);
    Paths("r.txt", "r-dst.txt");
    WriteFileAged(g_src, 64, 'R', 2);
    WriteFileAged(g_dst, 8, 'L', 4);
    SetFileAttributesA(g_dst, FILE_ATTRIBUTE_READONLY);
    CHECK(Transfer(CmdCopy, "copy") == 0);
    char expected[MAX_PATH * 2];
    wsprintfA(expected, "ファイル%sのコピーができませんでした。", g_src);
    CHECK_STR(g_boxTexts, expected);
    CHECK(FirstByte(g_dst) == 'L');
    CHECK(g_setup.meterDone == 0);

    AnswerBoxesWith(IDOK);
    CHECK(Transfer(CmdMove, "move") == 0);
    wsprintfA(expected, "ファイル%sの移動ができませんでした。", g_src);
    CHECK_STR(g_boxTexts, expected);
    CHECK(Exists(g_src));
    CHECK(FirstByte(g_dst) == 'L');
    SetFileAttributesA(g_dst, FILE_ATTRIBUTE_NORMAL);

    Group("a move copies at once and deletes its source when the run ends");
    CHECK(Transfer(CmdMove, "move") == 1);
    CHECK(Exists(g_src));
    CHECK(FirstByte(g_dst) == 'R');
    CHECK(g_setup.meterDone == 64);
    FinishMoves();
    CHECK(!Exists(g_src));
    CHECK(FirstByte(g_dst) == 'R');
}

void TestDelete()
{
    Group("del of a missing file goes on and weighs 1024");
    ResetState(g_dir);
    CHECK(RunLine(CmdDel, "del \"%DEFDIR%missing.txt\"") == 1);
    CHECK(g_setup.meterDone == 1024);
    Paths("gone.txt", "unused");
    WriteFileAged(g_src, 1, 'G', 0);
    CHECK(RunLine(CmdDel, "del \"%DEFDIR%gone.txt\" \"説明\"") == 1);
    CHECK(!Exists(g_src));
    CHECK(g_setup.meterDone == 2048);
}

void TestFolders()
{
    Group("mkdir creates every folder of a path from the drive root; rmdir removes only an empty folder");
    ResetState(g_dir);
    char deep[MAX_PATH];
    wsprintfA(deep, "%s\\one\\two\\three", g_dir);
    char line[MAX_PATH * 2];
    wsprintfA(line, "mkdir \"%s\"", deep);
    CHECK(RunLine(CmdMkdir, line) == 1);
    CHECK(Exists(deep));
    CHECK(g_setup.meterDone == 1024);
    // Existing folder, trailing backslash, macro.
    CHECK(RunLine(CmdMkdir, "mkdir \"%DEFDIR%one\\two\\\"") == 1);
    CHECK(RunLine(CmdMkdir, "mkdir \"%DEFDIR%one\\side\"") == 1);
    wsprintfA(line, "%s\\one\\side", g_dir);
    CHECK(Exists(line));

    // rmdir of a folder that is not empty leaves it and goes on.
    wsprintfA(line, "rmdir \"%s\\one\\two\"", g_dir);
    CHECK(RunLine(CmdRmdir, line) == 1);
    CHECK(Exists(deep));
    wsprintfA(line, "rmdir \"%s\"", deep);
    CHECK(RunLine(CmdRmdir, line) == 1);
    CHECK(!Exists(deep));
    CHECK(g_setup.meterDone == 5 * 1024);

    // A path too long for mkdir's buffer stops the run instead of being cut.
    char longDir[MAX_PATH];
    lstrcpyA(longDir, "C:\\");
    FillMemory(longDir + 3, 250, 'x');
    longDir[253] = '\0';
    ResetState(longDir);
    CHECK(RunLine(CmdMkdir, "mkdir \"%DEFDIR%abcdefgh\"") == 0);
    CHECK(g_setup.meterDone == 0);
}

void TestStartMeter()
{
    Group("startmeter adds the block's weights exactly, also beyond 4 GiB");
    ResetState(g_dir, 0);
    // A sparse file of 5 GiB: its whole size counts.
    char big[MAX_PATH];
    wsprintfA(big, "%s\\big.bin", g_dir);
    HANDLE file = CreateFileA(big, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 5LL << 30;
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    FILETIME t;
    unsigned long long size = 0;
    CHECK(GetFileInfo(big, &t, &size) == 1);
    CHECK(size == (5ULL << 30));
    Paths("small.txt", "unused");
    WriteFileAged(g_src, 777, 'a', 0);

    UseScript("startmeter\n"
              "; comment\n"
              "copy \"%DEFDIR%big.bin\" \"%DEFDIR%never.bin\"\n"
              "MOVE \"%DEFDIR%small.txt\" \"%DEFDIR%x\"\n"
              "mkdir \"%DEFDIR%m\"\n"
              "welcome 3 x\n"
              "endmeter\n"
              "del \"%DEFDIR%after\"\n");
    g_script.nextLine = 1;
    CHECK(RunLine(CmdStartMeter, "startmeter") == 1);
    CHECK(g_setup.meterTotal == (5ULL << 30) + 777 + 1024);
    CHECK(g_setup.meterDone == 0);
    CHECK(g_setup.percent == 0);
    CHECK(RunLine(CmdEndMeter, "endmeter") == 1);
    DeleteFileA(big);

    // A silent run draws no meter: once the block weighs something, its
    // sources need only be there. One that cannot be read then stops the
    // run at its own step, not at startmeter.
    ResetState(g_dir);
    g_script.nextLine = 1;
    WriteFileAged(big, 5, 'b', 0);
    HANDLE locked = CreateFileA(g_src, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    CHECK(RunLine(CmdStartMeter, "startmeter") == 1);
    CHECK(g_setup.meterTotal == 5 + 1024);
    CHECK(g_setup.progressDialog == nullptr);
    g_script.currentLine = 3;
    CHECK(RunLine(CmdMove, "MOVE \"%DEFDIR%small.txt\" \"%DEFDIR%x\"") == 0);
    CloseHandle(locked);
    DeleteFileA(big);
    // A block of empty files is empty in a silent run too: every source is
    // read until one weighs something.
    char empty[MAX_PATH];
    wsprintfA(empty, "%s\empty.txt", g_dir);
    WriteFileAged(empty, 0, 'e', 0);
    WriteFileAged(g_src, 0, 'e', 0);
    UseScript("startmeter\ncopy \"%DEFDIR%empty.txt\" a\ncopy \"%DEFDIR%small.txt\" b\nendmeter\n");
    g_script.nextLine = 1;
    CHECK(RunLine(CmdStartMeter, "startmeter") == 0);
    DeleteFileA(empty);

    Group("startmeter stops on a missing source or an empty block");
    ResetState(g_dir, 0);
    AnswerBoxesWith(IDOK);
    UseScript("startmeter\ncopy \"%DEFDIR%lost.txt\" x\nendmeter\n");
    g_script.nextLine = 1;
    CHECK(RunLine(CmdStartMeter, "startmeter") == 0);
    char expected[MAX_PATH * 2];
    wsprintfA(expected, "ファイル%s\\lost.txtが見つかりません。", g_dir);
    CHECK_STR(g_boxTexts, expected);

    AnswerBoxesWith(IDOK);
    UseScript("startmeter\nendmeter\n");
    g_script.nextLine = 1;
    CHECK(RunLine(CmdStartMeter, "startmeter") == 0);
    CHECK(g_boxCount == 1);
}

// Runs script line `line` (its text as given) as that line's step would.
int RunScriptLine(CommandHandler handler, int line, const char *text)
{
    g_script.currentLine = line;
    return RunLine(handler, text);
}

void TestSourcesChangedAfterScan()
{
    Group("a source changed or removed after startmeter read it is handled as at its own step");
    ResetState(g_dir, 0);
    char a[MAX_PATH], b[MAX_PATH], c[MAX_PATH], bDst[MAX_PATH];
    wsprintfA(a, "%s\\sa.txt", g_dir);
    wsprintfA(b, "%s\\sb.txt", g_dir);
    wsprintfA(c, "%s\\sc.txt", g_dir);
    wsprintfA(bDst, "%s\\sb-dst.txt", g_dir);
    WriteFileAged(a, 100, 'a', 5);
    WriteFileAged(b, 200, 'b', 5);
    WriteFileAged(c, 300, 'c', 5);
    DeleteFileA(bDst);
    const char *copyA = "copy \"%DEFDIR%sa.txt\" \"%DEFDIR%sa-dst.txt\"";
    const char *copyB = "copy \"%DEFDIR%sb.txt\" \"%DEFDIR%sb-dst.txt\"";
    const char *moveC = "move \"%DEFDIR%sc.txt\" \"%DEFDIR%sc-dst.txt\"";
    char script[1024];
    wsprintfA(script, "startmeter\n%s\n%s\n%s\nendmeter\n", copyA, copyB, moveC);
    UseScript(script);
    g_script.nextLine = 1;
    CHECK(RunLine(CmdStartMeter, "startmeter") == 1);
    CHECK(g_setup.meterTotal == 600);
    CloseProgressDialog();

    // Unchanged: copied, weighed as scanned.
    AnswerBoxesWith(IDNO);
    CHECK(RunScriptLine(CmdCopy, 1, copyA) == 1);
    CHECK(g_setup.meterDone == 100);

    // Rewritten with new bytes and a newer time; a destination dated between
    // the scan's time and the new one asks nothing: the new file is copied.
    WriteFileAged(bDst, 10, 'D', 2);
    WriteFileAged(b, 250, 'B', 0);
    CHECK(RunScriptLine(CmdCopy, 2, copyB) == 1);
    CHECK(g_boxCount == 0);
    CHECK(FirstByte(bDst) == 'B');
    CHECK(g_setup.meterDone == 300);

    // Gone: the move stops with the not-found message, as when its own step
    // finds it missing.
    DeleteFileA(c);
    AnswerBoxesWith(IDOK);
    CHECK(RunScriptLine(CmdMove, 3, moveC) == 0);
    char expected[MAX_PATH * 2];
    wsprintfA(expected, "移動するファイル%sが見つかりません。", c);
    CHECK_STR(g_boxTexts, expected);
    CHECK(g_setup.meterDone == 300);

    // A line whose expansion names another file than the scan read is
    // weighed by its own look-up.
    lstrcatA(g_setup.destDir, "\\sub");
    CreateDirectoryA(g_setup.destDir, nullptr);
    char other[MAX_PATH];
    wsprintfA(other, "%s\\sa.txt", g_setup.destDir);
    WriteFileAged(other, 7, 'o', 1);
    CHECK(RunScriptLine(CmdCopy, 1, copyA) == 1);
    CHECK(g_setup.meterDone == 307);
}

void TestMovesInBlock()
{
    Group("moves delete their sources when the run ends, not at endmeter; a name written back stays");
    ResetState(g_dir);
    char a[MAX_PATH], aDst[MAX_PATH], b[MAX_PATH], bDst[MAX_PATH];
    wsprintfA(a, "%s\\ma.txt", g_dir);
    wsprintfA(aDst, "%s\\ma-dst.txt", g_dir);
    wsprintfA(b, "%s\\mb.txt", g_dir);
    wsprintfA(bDst, "%s\\mb-dst.txt", g_dir);
    WriteFileAged(a, 10, 'a', 5);
    WriteFileAged(b, 20, 'b', 5);
    DeleteFileA(aDst);
    WriteFileAged(bDst, 20, 'x', 6);  // the scan weighs every source of the block
    const char *moveA = "move \"%DEFDIR%ma.txt\" \"%DEFDIR%ma-dst.txt\"";
    const char *moveB = "move \"%DEFDIR%mb.txt\" \"%DEFDIR%mb-dst.txt\"";
    // The second file goes there and back: its name ends up written.
    const char *moveBack = "move \"%DEFDIR%mb-dst.txt\" \"%DEFDIR%mb.txt\"";
    char script[1024];
    wsprintfA(script, "startmeter\n%s\n%s\n%s\nendmeter\n", moveA, moveB, moveBack);
    UseScript(script);
    g_script.nextLine = 1;
    CHECK(RunLine(CmdStartMeter, "startmeter") == 1);
    CHECK(RunScriptLine(CmdMove, 1, moveA) == 1);
    CHECK(RunScriptLine(CmdMove, 2, moveB) == 1);
    // A run that stopped here would leave every source in place.
    CHECK(Exists(a) && FirstByte(aDst) == 'a');
    CHECK(Exists(b) && FirstByte(bDst) == 'b');
    CHECK(RunScriptLine(CmdMove, 3, moveBack) == 1);
    CHECK(RunLine(CmdEndMeter, "endmeter") == 1);
    // A run that died between the blocks keeps its distribution whole.
    CHECK(Exists(a) && FirstByte(aDst) == 'a');
    FinishMoves();
    CHECK(!Exists(a) && FirstByte(aDst) == 'a');
    CHECK(FirstByte(b) == 'b' && !Exists(bDst));
    CHECK(g_setup.meterDone == 50);
}

// The work folder and the partial file of copies into g_dir.
void PartialFile(char *out)
{
    wsprintfA(out, "%s\\~ORVALT.$$$\\~ORVALT.$$$", g_dir);
}

void WorkFolder(char *out)
{
    wsprintfA(out, "%s\\~ORVALT.$$$", g_dir);
}

FILETIME LastWrite(const char *path)
{
    FILETIME t = {};
    unsigned long long size = 0;
    GetFileInfo(path, &t, &size);
    return t;
}

// Makes folder g_dir\\name with what a run killed in it leaves (its work
// folder with a read-only partial file, an old file put aside by a
// replace); true when rmdir then removes the folder.
bool RmdirTakesLeftovers(const char *name)
{
    char folder[MAX_PATH], leftover[MAX_PATH], line[MAX_PATH * 2];
    wsprintfA(folder, "%s\\%s", g_dir, name);
    CreateDirectoryA(folder, nullptr);
    wsprintfA(leftover, "%s\\~ORVALT.$$$", folder);
    CreateDirectoryA(leftover, nullptr);
    lstrcatA(leftover, "\\~ORVALT.$$$");
    WriteFileAged(leftover, 9, 'p', 0);
    SetFileAttributesA(leftover, FILE_ATTRIBUTE_READONLY);
    wsprintfA(leftover, "%s\\~ORVOLD.$$$", folder);
    WriteFileAged(leftover, 9, 'o', 0);
    wsprintfA(line, "rmdir \"%s\"", folder);
    return RunLine(CmdRmdir, line) == 1 && !Exists(folder);
}

void TestWholeFilesOnly()
{
    Group("a copy takes the destination's name only when whole; a failed one leaves no partial file");
    ResetState(g_dir, 0);
    AnswerBoxesWith(IDOK);
    // The first copies into a folder write their partial file beside the
    // destination, later ones in the folder's work folder of that name.
    char beside[MAX_PATH], partial[MAX_PATH], work[MAX_PATH];
    WorkFolder(work);
    lstrcpyA(beside, work);
    PartialFile(partial);
    Paths("w.txt", "w-dst.txt");
    WriteFileAged(g_src, 5000, 'W', 3);
    WriteFileAged(g_dst, 10, 'O', 4);
    SetFileAttributesA(g_dst, FILE_ATTRIBUTE_READONLY);
    CHECK(Transfer(CmdCopy, "copy") == 0);
    CHECK(FirstByte(g_dst) == 'O');
    CHECK(!Exists(beside));
    SetFileAttributesA(g_dst, FILE_ATTRIBUTE_NORMAL);

    // A run cut short left its partial file, read-only as its source (from
    // a CD-ROM, say) was: the next copy into the folder writes through it
    // and takes it away.
    WriteFileAged(beside, 77, 'P', 0);
    SetFileAttributesA(beside, FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(g_src, FILE_ATTRIBUTE_READONLY);
    CHECK(Transfer(CmdCopy, "copy") == 1);
    CHECK(FirstByte(g_dst) == 'W');
    CHECK(!Exists(beside));
    SetFileAttributesA(g_src, FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(g_dst, FILE_ATTRIBUTE_NORMAL);
    // The copy keeps its source's time: a rerun finds nothing newer to ask
    // about.
    FILETIME sourceTime = LastWrite(g_src);
    FILETIME destinationTime = LastWrite(g_dst);
    CHECK(CompareFileTime(&sourceTime, &destinationTime) == 0);
    AnswerBoxesWith(IDNO);
    int copies = 2;
    while (copies < 40) {
        CHECK(Transfer(CmdCopy, "copy") == 1);
        ++copies;
    }
    CHECK(g_boxCount == 0);
    CHECK(FirstByte(g_dst) == 'W');
    // The work folder stays for the block's next copies, and goes with it.
    CHECK(Exists(work) && !Exists(partial));
    // A partial file a run cut short left in the work folder: written
    // through.
    WriteFileAged(partial, 77, 'P', 0);
    SetFileAttributesA(partial, FILE_ATTRIBUTE_READONLY);
    CHECK(Transfer(CmdCopy, "copy") == 1);
    CHECK(FirstByte(g_dst) == 'W' && !Exists(partial));
    CHECK(RunLine(CmdEndMeter, "endmeter") == 1);
    CHECK(!Exists(work));

    // A run cut short in the work folder: the next run's first copies, which
    // write their partial file beside the destination, find the work
    // folder (with a read-only partial file in it) in the way.
    CreateDirectoryA(work, nullptr);
    WriteFileAged(partial, 77, 'P', 0);
    SetFileAttributesA(partial, FILE_ATTRIBUTE_READONLY);
    CHECK(Transfer(CmdCopy, "copy") == 1);
    CHECK(FirstByte(g_dst) == 'W' && !Exists(work));
    ++copies;

    // A work folder that went since (or a partial file of the first copies
    // where it belongs) is put right.
    while (copies < 80) {
        CHECK(Transfer(CmdCopy, "copy") == 1);
        ++copies;
    }
    RemoveDirectoryA(work);
    WriteFileAged(work, 3, 'f', 0);
    CHECK(Transfer(CmdCopy, "copy") == 1);
    CHECK(FirstByte(g_dst) == 'W' && Exists(work) && !Exists(partial));
    CHECK(RunLine(CmdEndMeter, "endmeter") == 1);
    CHECK(!Exists(work));

    Group("in a folder too deep for a work folder the partial file stands beside its destination");
    char line[MAX_PATH * 2];
    char deep[MAX_PATH], deepFile[MAX_PATH], deepPartial[MAX_PATH];
    lstrcpyA(deep, g_dir);
    while (lstrlenA(deep) < 232) {
        lstrcatA(deep, "\\deeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeep");
        deep[240] = '\0';
        CreateDirectoryA(deep, nullptr);
    }
    wsprintfA(deepFile, "%s\\a.txt", deep);
    wsprintfA(deepPartial, "%s\\~ORVALT.$$$", deep);
    CHECK(lstrlenA(deepPartial) + 12 > 259);  // no room for the work folder
    // A script line holds at most 259 bytes: the folder comes from %DEFDIR%.
    wsprintfA(g_setup.destDir, "%s\\", deep);
    wsprintfA(line, "copy \"%s\" \"%%DEFDIR%%a.txt\"", g_src);
    CHECK(RunLine(CmdCopy, line) == 1);
    CHECK(FirstByte(deepFile) == 'W');
    CHECK(!Exists(deepPartial));
    // A partial file a run cut short left there: written through, and
    // removed by rmdir.
    WriteFileAged(deepPartial, 4, 'p', 0);
    SetFileAttributesA(deepPartial, FILE_ATTRIBUTE_READONLY);
    CHECK(RunLine(CmdCopy, line) == 1);
    CHECK(!Exists(deepPartial));
    WriteFileAged(deepPartial, 4, 'p', 0);
    DeleteFileA(deepFile);
    CHECK(RunLine(CmdRmdir, "rmdir \"%DEFDIR%\"") == 1);
    CHECK(!Exists(deep));
    lstrcpyA(g_setup.destDir, g_dir);

    Group("rmdir takes away a work folder that a run cut short left in the folder");
    CHECK(RmdirTakesLeftovers("cut"));
    // 能 (94 5C) ends in the byte of a backslash.
    CHECK(IsDBCSLeadByte(0x94));
    CHECK(RmdirTakesLeftovers("機能"));

    Group("a run leaves no work folder, whether it ends, stops or copies into more folders than it notes");
    // 66 folders of 34 copies each: every one gets a work folder, and the
    // first two go early to make room in the list.
    const int folders = 66, copiesEach = 34;
    char *many = static_cast<char *>(HeapAlloc(GetProcessHeap(), 0, folders * copiesEach * 64 + 64));
    char *end = many;
    char name[MAX_PATH];
    for (int i = 0; i < folders; ++i) {
        wsprintfA(name, "%s\\d%d", g_dir, i);
        CreateDirectoryA(name, nullptr);
        for (int c = 0; c < copiesEach; ++c) {
            end += wsprintfA(end, "copy \"%%DEFDIR%%w.txt\" \"%%DEFDIR%%d%d\\x%d.txt\"\n", i, c);
        }
    }
    lstrcpyA(end, "end\n");
    RunScriptIn(g_dir, many, 1, 0);
    CHECK(g_quitCode == 0);
    int left = 0, whole = 0;
    for (int i = 0; i < folders; ++i) {
        wsprintfA(name, "%s\\d%d\\x%d.txt", g_dir, i, copiesEach - 1);
        if (FirstByte(name) == 'W') ++whole;
        wsprintfA(name, "%s\\d%d\\~ORVALT.$$$", g_dir, i);
        if (Exists(name)) ++left;
    }
    CHECK(whole == folders);
    CHECK(left == 0);
    // Stopped by a copy that fails after a folder's work folder was made.
    wsprintfA(name, "%s\\f", g_dir);
    CreateDirectoryA(name, nullptr);
    end = many;
    for (int c = 0; c < copiesEach; ++c) end += wsprintfA(end, "copy \"%%DEFDIR%%w.txt\" \"%%DEFDIR%%f\\y%d.txt\"\n", c);
    lstrcpyA(end, "copy \"%DEFDIR%w.txt\" \"%DEFDIR%none\\x.txt\"\nend\n");
    RunScriptIn(g_dir, many, 1, 0);
    CHECK(g_quitCode == ExitStopped);
    wsprintfA(line, "%s\\f\\y%d.txt", g_dir, copiesEach - 1);
    CHECK(FirstByte(line) == 'W');
    wsprintfA(name, "%s\\f\\~ORVALT.$$$", g_dir);
    CHECK(!Exists(name));
    HeapFree(GetProcessHeap(), 0, many);
}

void TestDeferredDeletionKnowsTheFile()
{
    Group("a later copy onto a moved source, spelt with a doubled backslash or its short name, survives");
    ResetState(g_dir, 0);
    AnswerBoxesWith(IDNO);
    char a[MAX_PATH], b[MAX_PATH], other[MAX_PATH], line[MAX_PATH * 3];
    wsprintfA(a, "%s\\pending source one.txt", g_dir);
    wsprintfA(b, "%s\\pending source two.txt", g_dir);
    wsprintfA(other, "%s\\other.txt", g_dir);
    WriteFileAged(a, 10, 'a', 5);
    WriteFileAged(b, 20, 'b', 5);
    WriteFileAged(other, 30, 'n', 9);
    wsprintfA(line, "move \"%s\" \"%s\\moved-one.txt\"", a, g_dir);
    CHECK(RunLine(CmdMove, line) == 1);
    wsprintfA(line, "move \"%s\" \"%s\\moved-two.txt\"", b, g_dir);
    CHECK(RunLine(CmdMove, line) == 1);
    // The macro brings its own backslash, and the line writes one more.
    wsprintfA(line, "copy \"%s\" \"%%DEFDIR%%\\pending source one.txt\"", other);
    CHECK(RunLine(CmdCopy, line) == 1);
    char shortB[MAX_PATH];
    CHECK(GetShortPathNameA(b, shortB, sizeof shortB) > 0 && lstrcmpiA(shortB, b) != 0);
    wsprintfA(line, "copy \"%s\" \"%s\"", other, shortB);
    CHECK(RunLine(CmdCopy, line) == 1);
    CHECK(g_boxCount == 0);  // older than what they replace: no question either
    FinishMoves();
    CHECK(FirstByte(a) == 'n');
    CHECK(FirstByte(b) == 'n');

    Group("a later move onto a moved source asks nothing and keeps the file it wrote");
    char c[MAX_PATH], d[MAX_PATH];
    wsprintfA(c, "%s\\c.txt", g_dir);
    wsprintfA(d, "%s\\d.txt", g_dir);
    WriteFileAged(c, 40, 'c', 0);  // newer than what is moved onto it
    WriteFileAged(d, 50, 'd', 8);
    wsprintfA(line, "move \"%s\" \"%s\\c-dst.txt\"", c, g_dir);
    CHECK(RunLine(CmdMove, line) == 1);
    wsprintfA(line, "move \"%s\" \"%s\"", d, c);
    CHECK(RunLine(CmdMove, line) == 1);
    CHECK(g_boxCount == 0);
    FinishMoves();
    CHECK(FirstByte(c) == 'd');
    CHECK(!Exists(d));

    Group("rmdir of the folder a file was moved out of removes it within the block");
    char folder[MAX_PATH], inside[MAX_PATH];
    wsprintfA(folder, "%s\\from", g_dir);
    CreateDirectoryA(folder, nullptr);
    wsprintfA(inside, "%s\\f.txt", folder);
    WriteFileAged(inside, 60, 'f', 1);
    wsprintfA(line, "move \"%s\" \"%s\\f-dst.txt\"", inside, g_dir);
    CHECK(RunLine(CmdMove, line) == 1);
    wsprintfA(line, "rmdir \"%s\"", folder);
    CHECK(RunLine(CmdRmdir, line) == 1);
    CHECK(!Exists(folder));
    wsprintfA(line, "%s\\f-dst.txt", g_dir);
    CHECK(FirstByte(line) == 'f');
    FinishMoves();
}

void TestRerunAfterDeath()
{
    Group("a run that died while deleting moved sources: the rerun finds them where they went");
    char record[MAX_PATH];
    GetModuleFileNameA(nullptr, record, sizeof record);
    lstrcpyA(record + lstrlenA(record) - lstrlenA("setup_filecmds_test.exe"), "~ORVMOVE.$$$");
    DeleteFileA(record);
    ResetState(g_dir, 0);
    AnswerBoxesWith(IDNO);
    char source[MAX_PATH], placed[MAX_PATH], elsewhere[MAX_PATH], line[MAX_PATH * 3];
    wsprintfA(source, "%s\\r-src.txt", g_dir);
    wsprintfA(placed, "%s\\r-dst.txt", g_dir);
    wsprintfA(elsewhere, "%s\\r-other.txt", g_dir);
    DeleteFileA(placed);
    DeleteFileA(elsewhere);
    WriteFileAged(source, 321, 'r', 2);
    wsprintfA(line, "move \"%s\" \"%s\"", source, placed);
    CHECK(RunLine(CmdMove, line) == 1);
    // The deletions at the end, cut short before the record goes.
    DeleteMovedSources(nullptr);
    CHECK(!Exists(source));
    CHECK(Exists(record));
    // The destination's disk keeps times in 2-second steps: 1 s off the
    // record is the same time.
    ShiftWriteTime(placed, kSecond);

    ResetState(g_dir, 0);
    uint64_t weight = 0;
    CHECK(ScanSourceInfo(source, -1, &weight) == 1 && weight == 321);
    CHECK(RunLine(CmdMove, line) == 1);
    CHECK(g_boxCount == 0);
    CHECK(g_setup.meterDone == 321);
    CHECK(FirstByte(placed) == 'r');
    // Another destination (another folder chosen) is copied from where it went.
    wsprintfA(line, "move \"%s\" \"%s\"", source, elsewhere);
    CHECK(RunLine(CmdMove, line) == 1);
    CHECK(FirstByte(elsewhere) == 'r' && FirstByte(placed) == 'r');

    // A destination that no longer holds what was moved there does not count.
    WriteFileAged(placed, 5, 'x', 0);
    AnswerBoxesWith(IDOK);
    wsprintfA(line, "move \"%s\" \"%s\"", source, placed);
    CHECK(RunLine(CmdMove, line) == 0);
    CHECK(Contains(g_boxTexts, "が見つかりません。"));

    // A damaged record is read no further than its whole entries.
    CopyFileA(elsewhere, placed, FALSE);
    HANDLE file = CreateFileA(record, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFilePointer(file, 0, nullptr, FILE_END);
    char junk[700];
    FillMemory(junk, sizeof junk, 'J');
    DWORD written = 0;
    WriteFile(file, junk, sizeof junk, &written, nullptr);
    CloseHandle(file);
    weight = 0;
    CHECK(ScanSourceInfo(source, -1, &weight) == 1 && weight == 321);

    FinishMoves();
    CHECK(!Exists(record));

    Group("a run that neither wrote nor used the record of another run keeps it when it ends");
    WriteFileAged(record, 700, 'J', 0);
    ResetState(g_dir, 0);
    wsprintfA(line, "copy \"%s\" \"%s\"", elsewhere, placed);
    CHECK(RunLine(CmdCopy, line) == 1);
    FinishMoves();
    CHECK(Exists(record));
    DeleteFileA(record);
}

void TestSourcesBesideInstaller()
{
    Group("a relative source missing from the current folder is found beside the installer, scanned or not");
    char own[MAX_PATH], name[64], beside[MAX_PATH], here[MAX_PATH], line[MAX_PATH * 2], previous[MAX_PATH];
    GetModuleFileNameA(nullptr, own, sizeof own);
    wsprintfA(name, "beside-%lu.txt", GetCurrentProcessId());
    lstrcpyA(beside, own);
    lstrcpyA(beside + lstrlenA(own) - lstrlenA("setup_filecmds_test.exe"), name);
    wsprintfA(here, "%s\\%s", g_dir, name);
    GetCurrentDirectoryA(sizeof previous, previous);
    SetCurrentDirectoryA(g_dir);
    DeleteFileA(here);
    WriteFileAged(beside, 77, 'b', 4);
    ResetState(g_dir, 1);
    wsprintfA(line, "move %s \"%%DEFDIR%%b-dst.txt\"", name);
    char script[MAX_PATH * 3];
    wsprintfA(script, "startmeter\n%s\nendmeter\n", line);
    UseScript(script);
    g_script.nextLine = 1;
    CHECK(RunLine(CmdStartMeter, "startmeter") == 1);
    CHECK(g_setup.meterTotal == 77);
    CHECK(RunScriptLine(CmdMove, 1, line) == 1);
    wsprintfA(script, "%s\\b-dst.txt", g_dir);
    CHECK(FirstByte(script) == 'b');
    // The source that goes at the end is the one that was found.
    FinishMoves();
    CHECK(!Exists(beside));

    WriteFileAged(beside, 77, 'b', 4);
    wsprintfA(line, "copy %s \"%%DEFDIR%%b-copy.txt\"", name);
    g_script.currentLine = -1;
    CHECK(RunLine(CmdCopy, line) == 1);
    wsprintfA(script, "%s\\b-copy.txt", g_dir);
    CHECK(FirstByte(script) == 'b');

    Group("the current folder comes first; a source in neither is named as written");
    WriteFileAged(here, 10, 'h', 4);
    CHECK(RunLine(CmdCopy, line) == 1);
    CHECK(FirstByte(script) == 'h');
    DeleteFileA(here);
    g_setup.silent = 0;
    AnswerBoxesWith(IDOK);
    CHECK(RunLine(CmdCopy, "copy nowhere.txt nowhere-copy.txt") == 0);
    CHECK_STR(g_boxTexts, "コピーするファイルnowhere.txtが見つかりません。");

    Group("a rerun started from elsewhere finds a source moved from beside the installer where it went");
    ResetState(g_dir, 1);
    wsprintfA(line, "move %s \"%%DEFDIR%%b-dst.txt\"", name);
    CHECK(RunLine(CmdMove, line) == 1);
    DeleteMovedSources(nullptr);
    CHECK(!Exists(beside));
    ResetState(g_dir, 1);
    uint64_t weight = 0;
    CHECK(ScanSourceInfo(name, -1, &weight) == 1 && weight == 77);
    CHECK(RunLine(CmdMove, line) == 1);
    FinishMoves();
    SetCurrentDirectoryA(previous);
}

void TestProgressLines()
{
    Group("the progress dialog shows what each command does");
    ResetState(g_dir, 0);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = g_setup.instance;
    wc.lpszClassName = "FileCmdsOwner";
    RegisterClassA(&wc);
    g_setup.mainWindow = CreateWindowExA(0, wc.lpszClassName, "owner", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr,
                                         nullptr, g_setup.instance, nullptr);
    UseScript("startmeter\nmkdir x\nendmeter\n");
    g_script.nextLine = 1;
    CHECK(RunLine(CmdStartMeter, "startmeter") == 1);
    HWND dialog = g_setup.progressDialog;
    CHECK(dialog != nullptr);
    CHECK(!IsWindowEnabled(g_setup.mainWindow));
    char text[512];
    CHECK(RunLine(CmdMkdir, "mkdir \"%DEFDIR%shown\\\" \"フォルダの説明\"", dialog) == 1);
    GetDlgItemTextA(dialog, IDC_PROGRESS_ACTION, text, sizeof text);
    CHECK_STR(text, "フォルダの作成中です...");
    char expected[MAX_PATH * 2];
    wsprintfA(expected, "フォルダ名 : %s\\shown", g_dir);
    GetDlgItemTextA(dialog, IDC_PROGRESS_OBJECT, text, sizeof text);
    CHECK_STR(text, expected);
    GetDlgItemTextA(dialog, IDC_PROGRESS_NOTE, text, sizeof text);
    CHECK_STR(text, "フォルダの説明");
    CHECK(RunLine(CmdDel, "del \"%DEFDIR%none\"", dialog) == 1);
    GetDlgItemTextA(dialog, IDC_PROGRESS_ACTION, text, sizeof text);
    CHECK_STR(text, "ファイルの削除中です...");
    GetDlgItemTextA(dialog, IDC_PROGRESS_NOTE, text, sizeof text);
    CHECK_STR(text, "");

    CHECK(RunLine(CmdEndMeter, "endmeter") == 1);
    CHECK(g_setup.progressDialog == nullptr);
    CHECK(!IsWindow(dialog));
    CHECK(IsWindowEnabled(g_setup.mainWindow));
    DestroyWindow(g_setup.mainWindow);
}


// Renames and folder creation as a network redirector or a virus scanner
// answers them, through the import slots the installer's code calls.
extern "C" void *__imp_MoveFileA;
extern "C" void *__imp_CreateDirectoryA;
decltype(&MoveFileA) g_move;
decltype(&CreateDirectoryA) g_createFolder;
int g_refusal;  // 1: renames onto an existing name; 2: renames of a partial file

bool EndsWith(const char *text, const char *tail)
{
    int n = lstrlenA(text), t = lstrlenA(tail);
    return n >= t && lstrcmpiA(text + n - t, tail) == 0;
}

BOOL WINAPI RefusingMove(LPCSTR from, LPCSTR to)
{
    bool exists = GetFileAttributesA(to) != INVALID_FILE_ATTRIBUTES;
    if (g_refusal == 1 && exists) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // A scanner that still holds the partial file: onto an existing name
    // the system's own answer comes first.
    if (g_refusal == 2 && EndsWith(from, "~ORVALT.$$$")) {
        SetLastError(exists ? ERROR_ALREADY_EXISTS : ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    return g_move(from, to);
}

BOOL WINAPI RefusingCreateFolder(LPCSTR name, LPSECURITY_ATTRIBUTES attributes)
{
    if (EndsWith(name, "~ORVALT.$$$")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return g_createFolder(name, attributes);
}

// The files of folder other than . and ..
int FilesIn(const char *folder)
{
    char pattern[MAX_PATH];
    wsprintfA(pattern, "%s\\*", folder);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    int count = 0;
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (lstrcmpA(found.cFileName, ".") != 0 && lstrcmpA(found.cFileName, "..") != 0) ++count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

void TestRefusedRenames()
{
    Group("a rename refused with access denied onto an existing destination still replaces it");
    ResetState(g_dir, 0);
    AnswerBoxesWith(IDOK);
    char folder[MAX_PATH], line[MAX_PATH * 3], beside[MAX_PATH];
    wsprintfA(folder, "%s\\refused", g_dir);
    CreateDirectoryA(folder, nullptr);
    wsprintfA(beside, "%s\\~ORVALT.$$$", folder);
    Paths("new.txt", "refused\\old.txt");
    WriteFileAged(g_src, 300, 'N', 2);
    WriteFileAged(g_dst, 30, 'O', 3);
    Redirect(&__imp_MoveFileA, reinterpret_cast<void *>(RefusingMove), reinterpret_cast<void **>(&g_move));
    g_refusal = 1;
    CHECK(Transfer(CmdCopy, "copy") == 1);
    CHECK(FirstByte(g_dst) == 'N');
    CHECK(FilesIn(folder) == 1);  // neither the partial file nor the old one stays

    Group("a replace whose new file cannot take the name keeps the old file, and the partial file for the rerun");
    WriteFileAged(g_dst, 30, 'O', 3);
    g_refusal = 2;
    CHECK(Transfer(CmdCopy, "copy") == 0);
    CHECK(FirstByte(g_dst) == 'O');
    CHECK(FirstByte(beside) == 'N');
    CHECK(FilesIn(folder) == 2);
    g_refusal = 0;
    CHECK(Transfer(CmdCopy, "copy") == 1);
    CHECK(FirstByte(g_dst) == 'N');
    CHECK(FilesIn(folder) == 1);
    Redirect(&__imp_MoveFileA, reinterpret_cast<void *>(g_move), nullptr);

    Group("a work folder that cannot be made: the copies write their partial file beside the destination");
    Redirect(&__imp_CreateDirectoryA, reinterpret_cast<void *>(RefusingCreateFolder),
             reinterpret_cast<void **>(&g_createFolder));
    AnswerBoxesWith(IDOK);
    wsprintfA(folder, "%s\\nofolders", g_dir);
    CreateDirectoryA(folder, nullptr);
    int copied = 0;
    for (int i = 0; i < 40; ++i) {
        wsprintfA(line, "copy \"%s\" \"%s\\f%d.txt\"", g_src, folder, i);
        if (RunLine(CmdCopy, line) == 1) ++copied;
    }
    CHECK(copied == 40);
    CHECK(g_boxCount == 0);
    wsprintfA(line, "%s\\f39.txt", folder);
    CHECK(FirstByte(line) == 'N');
    CHECK(FilesIn(folder) == 40);
    Redirect(&__imp_CreateDirectoryA, reinterpret_cast<void *>(g_createFolder), nullptr);
    CHECK(RunLine(CmdEndMeter, "endmeter") == 1);
}

void TestRelativeDestination()
{
    Group("a destination without a folder part gets no work folder, also after a block that made one");
    ResetState(g_dir, 0);
    AnswerBoxesWith(IDOK);
    char here[MAX_PATH], before[MAX_PATH], line[MAX_PATH * 2];
    GetCurrentDirectoryA(sizeof before, before);
    wsprintfA(here, "%s\\current", g_dir);
    CreateDirectoryA(here, nullptr);
    Paths("rel-src.txt", "rel-block");
    CreateDirectoryA(g_dst, nullptr);
    WriteFileAged(g_src, 20, 'R', 1);
    for (int i = 0; i < 33; ++i) {
        wsprintfA(line, "copy \"%s\" \"%s\\b%d.txt\"", g_src, g_dst, i);
        CHECK(RunLine(CmdCopy, line) == 1);
    }
    CHECK(RunLine(CmdEndMeter, "endmeter") == 1);
    SetCurrentDirectoryA(here);
    for (int i = 0; i < 33; ++i) {
        wsprintfA(line, "copy \"%s\" r%d.txt", g_src, i);
        CHECK(RunLine(CmdCopy, line) == 1);
    }
    CHECK(RunLine(CmdEndMeter, "endmeter") == 1);
    SetCurrentDirectoryA(before);
    CHECK(g_boxCount == 0);
    wsprintfA(line, "%s\\r32.txt", here);
    CHECK(FirstByte(line) == 'R');
    CHECK(FilesIn(here) == 33);  // no ~ORVALT.$$$ beside them
}
// The stage of folder g_dir\\name, where the copies of a folder that mkdir
// made wait.
void StageOf(char *stage, const char *name)
{
    char folder[MAX_PATH], cut[MAX_PATH];
    wsprintfA(folder, "%s\\%s", g_dir, name);
    CHECK(StagePath(stage, cut, folder));
}

// A stage as a killed run leaves it: a whole file and a read-only partial one.
void LeaveStage(const char *stage)
{
    char file[MAX_PATH];
    CreateDirectoryA(stage, nullptr);
    wsprintfA(file, "%s\\a.txt", stage);
    WriteFileAged(file, 9, 'k', 0);
    wsprintfA(file, "%s\\b.txt", stage);
    WriteFileAged(file, 9, 'k', 0);
    SetFileAttributesA(file, FILE_ATTRIBUTE_READONLY);
}

void TestStagedFolders()
{
    Group("a folder that mkdir made takes the block's copies all at once, each whole");
    ResetState(g_dir, 0);
    AnswerBoxesWith(IDOK);
    char stage[MAX_PATH], folder[MAX_PATH], line[MAX_PATH * 2];
    Paths("st-src.txt", "staged\\a.txt");
    WriteFileAged(g_src, 40, 'S', 2);
    wsprintfA(folder, "%s\\staged", g_dir);
    wsprintfA(line, "mkdir \"%s\"", folder);
    CHECK(RunLine(CmdMkdir, line) == 1);
    CHECK(Transfer(CmdCopy, "copy") == 1);
    StageOf(stage, "staged");
    CHECK(!Exists(g_dst) && FilesIn(stage) == 1 && FilesIn(folder) == 0);
    CHECK(RunLine(CmdEndMeter, "endmeter") == 1);
    CHECK(FirstByte(g_dst) == 'S' && !Exists(stage));

    Group("a staged folder that something else went into meanwhile gets its files one by one");
    char other[MAX_PATH], filled[MAX_PATH];
    wsprintfA(folder, "%s\\filled", g_dir);
    wsprintfA(line, "mkdir \"%s\"", folder);
    CHECK(RunLine(CmdMkdir, line) == 1);
    wsprintfA(line, "copy \"%s\" \"%s\\a.txt\"", g_src, folder);
    CHECK(RunLine(CmdCopy, line) == 1);
    wsprintfA(other, "%s\\other.txt", folder);
    WriteFileAged(other, 5, 'o', 0);
    CHECK(RunLine(CmdEndMeter, "endmeter") == 1);
    wsprintfA(filled, "%s\\a.txt", folder);
    StageOf(stage, "filled");
    CHECK(FirstByte(filled) == 'S' && FirstByte(other) == 'o' && !Exists(stage));
    wsprintfA(folder, "%s\\staged", g_dir);
    StageOf(stage, "staged");

    Group("a stage that a killed run left goes with the next copy into its folder, and with rmdir");
    LeaveStage(stage);
    CHECK(Transfer(CmdCopy, "copy") == 1);
    CHECK(!Exists(stage) && FirstByte(g_dst) == 'S' && FilesIn(folder) == 1);
    CHECK(RunLine(CmdEndMeter, "endmeter") == 1);
    LeaveStage(stage);
    DeleteFileA(g_dst);
    wsprintfA(line, "rmdir \"%s\"", folder);
    CHECK(RunLine(CmdRmdir, line) == 1);
    CHECK(!Exists(folder) && !Exists(stage));

    Group("any other command finds the copies in their folder; a second copy to one name replaces the first");
    char two[MAX_PATH], script[1024];
    wsprintfA(two, "%s\\st-two.txt", g_dir);
    WriteFileAged(two, 30, 'T', 1);
    // 能 (94 5C) ends in the byte of a backslash.
    lstrcpyA(script,
             "mkdir \"%DEFDIR%機能\"\n"
             "mkdir \"%DEFDIR%twice\"\n"
             "copy \"%DEFDIR%st-src.txt\" \"%DEFDIR%機能\\a.txt\"\n"
             "copy \"%DEFDIR%st-src.txt\" \"%DEFDIR%機能\\b.txt\"\n"
             "copy \"%DEFDIR%st-src.txt\" \"%DEFDIR%twice\\a.txt\"\n"
             "copy \"%DEFDIR%st-two.txt\" \"%DEFDIR%twice\\a.txt\"\n"
             "del \"%DEFDIR%機能\\b.txt\"\n"
             "end\n");
    RunScriptIn(g_dir, script, 1, 0);
    CHECK(g_quitCode == 0);
    wsprintfA(folder, "%s\\機能", g_dir);
    wsprintfA(line, "%s\\a.txt", folder);
    CHECK(FirstByte(line) == 'S' && FilesIn(folder) == 1);
    StageOf(stage, "機能");
    CHECK(!Exists(stage));
    wsprintfA(folder, "%s\\twice", g_dir);
    wsprintfA(line, "%s\\a.txt", folder);
    CHECK(FirstByte(line) == 'T' && FilesIn(folder) == 1);
    StageOf(stage, "twice");
    CHECK(!Exists(stage));

    Group("a name with no room in the stage: the folder takes its files, and the copy goes on");
    char deep[MAX_PATH], deepLine[MAX_PATH * 2];
    lstrcpyA(deep, g_dir);
    while (lstrlenA(deep) < 200) {
        lstrcatA(deep, "\\deeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeep");
        CreateDirectoryA(deep, nullptr);
    }
    wsprintfA(g_setup.destDir, "%s\\", deep);
    CHECK(RunLine(CmdMkdir, "mkdir \"%DEFDIR%d\"") == 1);
    wsprintfA(deepLine, "copy \"%s\" \"%%DEFDIR%%d\\a.txt\"", g_src);
    CHECK(RunLine(CmdCopy, deepLine) == 1);
    // A destination of 253 bytes: in the stage, whose name is 11 bytes
    // longer than "d", it would need 264.
    int room = 253 - lstrlenA(deep) - 3;
    char name[MAX_PATH];
    for (int i = 0; i < room; ++i) name[i] = 'n';
    name[room] = '\0';
    wsprintfA(deepLine, "copy \"%s\" \"%%DEFDIR%%d\\%s\"", g_src, name);
    CHECK(RunLine(CmdCopy, deepLine) == 1);
    wsprintfA(line, "%s\\d\\%s", deep, name);
    CHECK(lstrlenA(line) == 253 && FirstByte(line) == 'S');
    wsprintfA(line, "%s\\d\\a.txt", deep);
    CHECK(FirstByte(line) == 'S');
    CHECK(RunLine(CmdEndMeter, "endmeter") == 1);
    lstrcpyA(g_setup.destDir, g_dir);

    Group("a run that stops keeps what it copied into a staged folder");
    lstrcpyA(script,
             "mkdir \"%DEFDIR%stop\"\n"
             "copy \"%DEFDIR%st-src.txt\" \"%DEFDIR%stop\\a.txt\"\n"
             "copy \"%DEFDIR%none.txt\" \"%DEFDIR%stop\\b.txt\"\n"
             "end\n");
    RunScriptIn(g_dir, script, 1, 0);
    CHECK(g_quitCode == ExitStopped);
    wsprintfA(line, "%s\\stop\\a.txt", g_dir);
    CHECK(FirstByte(line) == 'S');
    StageOf(stage, "stop");
    CHECK(!Exists(stage));
}
}  // namespace

int main()
{
    lstrcpyA(g_dir, Scratch("orvalt-files"));
    TestCopyWeighsAndReplaces();
    TestNewerDestination();
    TestMissingSource();
    TestReadOnlyDestination();
    TestDelete();
    TestFolders();
    TestStartMeter();
    TestSourcesChangedAfterScan();
    TestMovesInBlock();
    TestWholeFilesOnly();
    TestDeferredDeletionKnowsTheFile();
    TestRerunAfterDeath();
    TestSourcesBesideInstaller();
    TestProgressLines();
    TestRefusedRenames();
    TestRelativeDestination();
    TestStagedFolders();
    return Finish();
}
