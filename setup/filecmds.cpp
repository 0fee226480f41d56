// Meter blocks and the commands that touch files and folders: startmeter,
// endmeter, copy, move, del, mkdir, rmdir.
#include "setup.h"
#include "resource.h"

namespace {

const unsigned long long kSmallWeight = 1024;

// What the scan of the open meter block read of each copy or move source,
// by script line, so that the line's own step need not open the file again.
// The path's hash tells whether the step names the same file (a macro may
// have changed in between); the block number, whether this block read it.
struct ScannedSource {
    unsigned long long size;
    FILETIME lastWrite;
    uint32_t pathHash;
    unsigned block;
    bool beside;  // found beside the installer, not in the current folder
};

ScannedSource *g_scanned;
int32_t g_scannedLines;
unsigned g_block;
// The scan has met a source that weighs something, so the block is not
// empty.
bool g_blockWeighs;

// Letters of either case hash alike: both spellings name one file.
uint32_t PathHash(const char *path)
{
    uint32_t hash = 2166136261u;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(path); *p != '\0'; ++p) {
        unsigned char c = *p >= 'a' && *p <= 'z' ? static_cast<unsigned char>(*p - 'a' + 'A') : *p;
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}

// Room for one entry per script line; without memory the steps open their
// sources themselves.
void PrepareScannedSources()
{
    ++g_block;
    g_blockWeighs = false;
    // The script's line count is fixed once it is loaded: one allocation.
    if (g_scanned != nullptr) return;
    SIZE_T bytes = static_cast<SIZE_T>(g_script.lineCount) * sizeof(ScannedSource);
    void *memory = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
    if (memory == nullptr) return;
    g_scanned = static_cast<ScannedSource *>(memory);
    g_scannedLines = g_script.lineCount;
}

// A relative name (no drive, not from a root) as the folder of the running
// installer holds it: the distribution's files lie next to Setup.exe, also
// when it was started by its full path from another current folder. False
// for any other name, or when the name does not fit.
bool BesideInstaller(char *out, const char *name)
{
    if (name[0] == '\\' || name[0] == '/' || name[0] == '\0' || name[1] == ':') return false;
    char own[PathSize];
    return OwnProgramPath(own) && WithName(out, own, name);
}

// GetFileInfo of a source. A relative source that the current folder lacks
// is looked for beside the installer; path (PathSize bytes) then becomes the
// name found.
int FindSourceInfo(char *path, FILETIME *lastWrite, unsigned long long *size)
{
    if (GetFileInfo(path, lastWrite, size)) return 1;
    char beside[PathSize];
    if (!BesideInstaller(beside, path) || !GetFileInfo(beside, lastWrite, size)) return 0;
    lstrcpyA(path, beside);
    return 1;
}

// FindEarlierMove of a source, by its name in the current folder and then
// by its name beside the installer (the one a run started from elsewhere
// recorded).
int FindEarlierSource(const char *source, char *placed, unsigned long long *size, FILETIME *lastWrite)
{
    char beside[PathSize];
    return FindEarlierMove(source, placed, size, lastWrite) ||
           (BesideInstaller(beside, source) && FindEarlierMove(beside, placed, size, lastWrite));
}

// What the scan read of the source of this step's line; path (PathSize
// bytes) becomes the name the scan found it by.
bool TakeScannedSource(char *path, FILETIME *lastWrite, unsigned long long *size)
{
    int32_t line = g_script.currentLine;
    if (g_scanned == nullptr || line < 0 || line >= g_scannedLines) return false;
    ScannedSource &entry = g_scanned[line];
    if (entry.block != g_block || entry.pathHash != PathHash(path)) return false;
    char beside[PathSize];
    if (entry.beside) {
        if (!BesideInstaller(beside, path)) return false;
        lstrcpyA(path, beside);
    }
    *lastWrite = entry.lastWrite;
    *size = entry.size;
    return true;
}

// The texts of copy and move.
struct TransferTexts {
    const char *status;
    const char *notFound;
    const char *failed;
};

const TransferTexts kCopyTexts = {
    "ファイルのコピー中です...",
    "コピーするファイル%sが見つかりません。",
    "ファイル%sのコピーができませんでした。",
};

const TransferTexts kMoveTexts = {
    "ファイルの移動中です...",
    "移動するファイル%sが見つかりません。",
    "ファイル%sの移動ができませんでした。",
};

// A message with one path in it, through the shared reporting.
int ReportPath(HWND owner, UINT beep, UINT style, const char *format, const char *path)
{
    char text[MessageSize];
    wsprintfA(text, format, path);
    return ReportMessage(owner, beep, style, text);
}

// The name of the existing file that destination names, as the folder
// holds it: a destination spelt with its short name must keep the file's
// long name when the file is replaced. False for a read-only file or a
// folder, which a copy never replaces.
bool ReplaceableName(char *out, const char *destination)
{
    // A name with wildcards never exists: it does not get here.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(destination, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) return false;
    return WithName(out, destination, found.cFileName) != 0;
}

// The folders this run has copied into, by the folder part of the
// destination as it was written (two spellings of one folder take two
// slots, which is harmless), and how many copies each has had. More
// folders than slots: the oldest work folder goes early and is made again
// when needed.
const int kWorkSlots = 64;
char g_workFolders[kWorkSlots][PathSize];
int g_workCopies[kWorkSlots];
int g_nextWorkSlot;
// Making and removing a work folder costs as much as looking a new name up
// in a folder of about this many files: the first copies into a folder
// write their partial file beside the destination.
const int kCopiesBeforeWorkFolder = 32;
// The count of a folder where a work folder cannot be made (a share that
// lets files be created but not folders): it never gets one.
const int kNoWorkFolder = -0x40000000;
// The name the old file takes while a new one replaces it.
const char kAsideFileName[] = "~ORVOLD.$$$";

// Folders that this run's mkdir made and that nothing has gone into yet
// (with a trailing backslash). Copies into one are written under their own
// names into its stage, a folder beside it, and the stage takes the
// folder's name once the copies are done: before any command other than a
// copy or move, which might look into it, and at the end of the block. So
// the files appear each whole, without a rename each. A run cut short
// leaves the stage and the folder empty as mkdir made it; the next run's
// first copy into the folder, rmdir of it and the uninstaller's pruning
// remove the stage.
char g_freshFolders[kWorkSlots][PathSize];
// The folder of work slot i is filled through its stage; how many are.
bool g_workStaged[kWorkSlots];
int g_stagedCount;

}  // namespace

// "~ORV" and four hexadecimal digits of the last name's hash, beside the
// folder: a rename within one folder is the one every file system of
// Windows 95 allows a folder.
bool StagePath(char *stage, char *cut, const char *folder)
{
    if (!sc::CopyText(cut, PathSize, folder)) return false;
    char *separator = nullptr;
    for (char *p = cut; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\' && p[1] == '\0' && p != cut) {
            *p = '\0';
            break;
        }
        if (*p == '\\' || *p == ':') separator = p;
    }
    if (separator == nullptr || *separator != '\\' || separator[1] == '\0') return false;
    char name[16];
    wsprintfA(name, "~ORV%04X.$$$", PathHash(separator + 1) & 0xFFFF);
    return WithName(stage, cut, name) != 0;
}

namespace {

// A stage that this run fills (two folders' names may hash alike).
bool StageLive(const char *stage)
{
    char live[PathSize];
    char cut[PathSize];
    for (int i = 0; i < kWorkSlots; ++i) {
        if (g_workStaged[i] && StagePath(live, cut, g_workFolders[i]) && sc::EqualNoCase(live, stage)) return true;
    }
    return false;
}

int PlaceWhole(const char *partial, const char *destination);

// Moves each file of stage into folder, or without a folder deletes it,
// and removes the stage. 0 when a file could not take its name: failed
// (PathSize bytes) then names it, and the rerun copies it again.
int EmptyStage(const char *stage, const char *folder, char *failed)
{
    char pattern[PathSize];
    char from[PathSize];
    char to[PathSize];
    int ok = 1;
    WIN32_FIND_DATAA found;
    HANDLE search = PathInFolder(pattern, stage, "*.*") ? FindFirstFileA(pattern, &found) : INVALID_HANDLE_VALUE;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
                !PathInFolder(from, stage, found.cFileName)) {
                continue;
            }
            if (folder == nullptr) {
                DropPartial(from);
            } else if (!PathInFolder(to, folder, found.cFileName) || !PlaceWhole(from, to)) {
                ok = 0;
                lstrcpyA(failed, from);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(stage);
    return ok;
}

// A staged folder gets its files: the stage takes the folder's name while
// the folder is empty, or else each file moves into it on its own.
int PublishStage(int slot, char *failed)
{
    g_workStaged[slot] = false;
    --g_stagedCount;
    char stage[PathSize];
    char folder[PathSize];
    if (!StagePath(stage, folder, g_workFolders[slot])) return 1;
    if (RemoveDirectoryA(folder)) {
        if (MoveFileA(stage, folder)) return 1;
        CreateDirectoryA(folder, nullptr);
    }
    return EmptyStage(stage, folder, failed);
}

int PublishStages(char *failed)
{
    int ok = 1;
    for (int slot = 0; g_stagedCount > 0 && slot < kWorkSlots; ++slot) {
        if (g_workStaged[slot] && !PublishStage(slot, failed)) ok = 0;
    }
    return ok;
}

// Marks folder fresh (made by mkdir) or not (removed): a folder made inside
// a fresh one fills it.
void NoteFreshFolder(const char *folder, bool fresh)
{
    char name[PathSize];
    if (!PathInFolder(name, folder, "")) return;
    int empty = -1;
    for (int i = 0; i < kWorkSlots; ++i) {
        char *entry = g_freshFolders[i];
        if (sc::EqualNoCase(entry, name) || PathIsInFolder(name, entry)) entry[0] = '\0';
        if (entry[0] == '\0') empty = i;
    }
    if (fresh && empty >= 0) lstrcpyA(g_freshFolders[empty], name);
}

// A fresh folder's first copy: the folder is fresh no more, and is staged
// if its stage can be made. A stage that a run cut short left goes first.
void StageIfFresh(int slot)
{
    char stage[PathSize];
    char cut[PathSize];
    if (!StagePath(stage, cut, g_workFolders[slot]) || StageLive(stage)) return;
    EmptyStage(stage, nullptr, nullptr);
    for (int i = 0; i < kWorkSlots; ++i) {
        if (!sc::EqualNoCase(g_freshFolders[i], g_workFolders[slot])) continue;
        g_freshFolders[i][0] = '\0';
        if (CreateDirectoryA(stage, nullptr)) {
            g_workStaged[slot] = true;
            ++g_stagedCount;
        }
        return;
    }
}

// The partial file of a copy to destination: beside it, or, once the
// folder has had its first copies, in the folder's work folder (made
// then); for a staged folder, the file under its own name in the stage. work is the work folder, or empty; found is the folder's entry
// in the list, -1 for a destination without a folder part, which needs
// no work folder. In a folder too deep for a work folder the partial file
// stays beside the destination.
bool WorkPaths(char *work, char *partial, const char *destination, int *found)
{
    char folder[PathSize];
    *found = -1;
    if (!WithName(folder, destination, "")) return false;
    work[0] = '\0';
    if (folder[0] == '\0') return WithName(partial, destination, kPartialFileName) != 0;
    int slot = 0;
    while (slot < kWorkSlots && !sc::EqualNoCase(g_workFolders[slot], folder)) ++slot;
    if (slot == kWorkSlots) {
        slot = g_nextWorkSlot;
        g_nextWorkSlot = (slot + 1) % kWorkSlots;
        char failed[PathSize];
        if (g_workStaged[slot] && !PublishStage(slot, failed)) return false;
        if (g_workFolders[slot][0] != '\0') RemoveWorkFolder(g_workFolders[slot]);
        lstrcpyA(g_workFolders[slot], folder);
        g_workCopies[slot] = 0;
        StageIfFresh(slot);
    }
    *found = slot;
    if (g_workStaged[slot]) {
        char stage[PathSize];
        char cut[PathSize];
        if (StagePath(stage, cut, folder) && PathInFolder(partial, stage, destination + sc::StrLen(folder))) {
            return true;
        }
        // A name too long for the stage: the folder takes its files now.
        char failed[PathSize];
        if (!PublishStage(slot, failed)) return false;
    }
    if (++g_workCopies[slot] > kCopiesBeforeWorkFolder && PathInFolder(work, folder, kPartialFileName) &&
        PathInFolder(partial, work, kPartialFileName)) {
        if (g_workCopies[slot] == kCopiesBeforeWorkFolder + 1) CreateDirectoryA(work, nullptr);
        return true;
    }
    work[0] = '\0';
    return WithName(partial, destination, kPartialFileName) != 0;
}

// Writes source as the partial file. The work folder went since (rmdir),
// a file stands in its place, or a run cut short left a partial file
// (read-only, perhaps, as its source was) or a work folder where the
// partial file goes: all ours to put right. A work folder that cannot be
// made sends this copy, and the folder's later ones, beside the
// destination.
bool WritePartial(const char *source, char *work, char *partial, const char *destination, int slot)
{
    if (CopyFileA(source, partial, TRUE)) return true;
    if (work[0] != '\0') {
        DropPartial(work);
        CreateDirectoryA(work, nullptr);
        DWORD attributes = GetFileAttributesA(work);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            DropPartial(partial);
            return CopyFileA(source, partial, TRUE) != 0;
        }
        g_workCopies[slot] = kNoWorkFolder;
        work[0] = '\0';
        if (!WithName(partial, destination, kPartialFileName)) return false;
    }
    char folder[PathSize];
    if (WithName(folder, destination, "")) RemoveWorkFolder(folder);
    return CopyFileA(source, partial, TRUE) != 0;
}

// The whole partial file takes the name of the existing file that
// destination names (Windows 95 has no rename that replaces): the old file
// steps aside under a name of its own in the folder, the new one takes its
// name, and only then does the old one go. When the new one cannot take
// the name, the old one comes back and the partial file stays for the
// rerun.
int ReplaceExisting(const char *partial, const char *destination)
{
    char existing[PathSize];
    char aside[PathSize];
    if (!ReplaceableName(existing, destination) || !WithName(aside, existing, kAsideFileName)) {
        return DropPartial(partial);
    }
    // One that a run cut short left is ours.
    DropPartial(aside);
    if (!MoveFileA(existing, aside)) return DropPartial(partial);
    if (MoveFileA(partial, existing)) {
        DropPartial(aside);
        return 1;
    }
    MoveFileA(aside, existing);
    return 0;
}

// The whole partial file takes destination's name, replacing a file there.
int PlaceWhole(const char *partial, const char *destination)
{
    if (MoveFileA(partial, destination)) return 1;
    if (GetFileAttributesA(destination) == INVALID_FILE_ATTRIBUTES) return DropPartial(partial);
    return ReplaceExisting(partial, destination);
}

// Puts a copy of source under destination's name only once it is whole:
// the copy is written as the partial file in the work folder beside it,
// then takes the name. The partial file's own folder is small, so making
// it costs no search of a large folder. Windows refuses to overwrite a
// read-only file; Wine lets a process that runs as root do it, so the
// refusal is made here, the same on both (the installer never changes the
// attributes of what it installs). A new destination is tried first:
// looking up a file that does not exist yet is what costs most in a large
// folder. A rename that fails is judged by whether the destination exists,
// not by its error: a redirector with DOS semantics answers "access
// denied" for an existing name. On failure no partial file is left, except
// one kept for the rerun when it could not replace the old file.
int CopyFileOverwrite(const char *source, const char *destination)
{
    char work[PathSize];
    char partial[PathSize];
    int slot;
    if (!WorkPaths(work, partial, destination, &slot)) return 0;
    if (slot >= 0 && g_workStaged[slot]) {
        if (CopyFileA(source, partial, TRUE)) return 1;
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return DropPartial(partial);
        // The block copies to this name again: the folder gets its files
        // now, and this copy replaces the earlier one there.
        char failed[PathSize];
        if (!PublishStage(slot, failed) || !WorkPaths(work, partial, destination, &slot)) return 0;
    }
    if (!WritePartial(source, work, partial, destination, slot)) return DropPartial(partial);
    return PlaceWhole(partial, destination);
}

int SourceMissing(HWND owner, const TransferTexts &texts, const char *source)
{
    ReportPath(owner, MB_ICONEXCLAMATION, MB_ICONHAND, texts.notFound, source);
    return 0;
}

int Transfer(HWND progressDialog, const TransferTexts &texts, bool move)
{
    const char *sourceArg = NextArg();
    const char *destinationArg = NextArg();
    const char *description = NextArg();
    char source[PathSize];
    char destination[PathSize];
    if (!ExpandArg(source, sourceArg) || !ExpandArg(destination, destinationArg)) return 0;

    FILETIME sourceTime;
    unsigned long long sourceSize = 0;
    // A move records its source's size and time, which a silent scan
    // leaves unread.
    bool scanned = TakeScannedSource(source, &sourceTime, &sourceSize) &&
                   !(move && sourceTime.dwLowDateTime == 0 && sourceTime.dwHighDateTime == 0);
    if (progressDialog != nullptr) {
        char object[MessageSize];
        wsprintfA(object, "ファイル名 : %s", source);
        // Unknown size (not scanned): shown at once.
        SetProgressLinesFor(progressDialog, texts.status, object, description,
                            scanned ? sourceSize : ~0ULL);
    }

    HWND owner = MessageOwner(progressDialog);
    // What a run that was cut short has moved already is found where it went.
    const char *from = source;
    char placed[PathSize];
    if (!scanned && !FindSourceInfo(source, &sourceTime, &sourceSize)) {
        if (!FindEarlierSource(source, placed, &sourceSize, &sourceTime)) {
            return SourceMissing(owner, texts, source);
        }
        if (SameFile(placed, destination)) {
            g_setup.meterDone += sourceSize;
            return 1;
        }
        from = placed;
        move = false;  // the earlier destination is not ours to take away
    }

    // A moved source that waits for deletion is no file of the user's: it
    // is written over without a question. The attribute look-up costs no
    // open: a new destination asks nothing.
    bool takenOver = TakeOverMovedSource(destination);
    FILETIME destinationTime;
    unsigned long long unused = 0;
    if (!g_setup.silent && !takenOver && GetFileAttributesA(destination) != INVALID_FILE_ATTRIBUTES &&
        GetFileInfo(destination, &destinationTime, &unused)) {
        // The question compares with the source as it is now, not as the
        // scan found it.
        if (scanned && !GetFileInfo(source, &sourceTime, &unused)) {
            return SourceMissing(owner, texts, source);
        }
        if (CompareWriteTimes(destinationTime, sourceTime) > 0) {
            int answer = ReportPath(owner, MB_ICONEXCLAMATION, MB_ICONEXCLAMATION | MB_YESNO,
                                    "新しいファイル%sが、すでに存在します。\n上書きしますか?", destination);
            if (answer == IDNO) {
                g_setup.meterDone += sourceSize;
                return 1;
            }
        }
    }

    if (CopyFileOverwrite(from, destination)) {
        // A move is a copy, and its source goes when the run ends, unless
        // the distribution is kept.
        if (move && !DistributionKept()) NoteMovedSource(source, destination, sourceSize, &sourceTime);
        g_setup.meterDone += sourceSize;
        return 1;
    }
    // A source that went away since the scan is reported as missing, as
    // when the step itself finds it gone.
    if (scanned && !GetFileInfo(source, &sourceTime, &unused)) {
        return SourceMissing(owner, texts, source);
    }
    ReportPath(owner, MB_ICONHAND, MB_ICONHAND, texts.failed, source);
    return 0;
}

// The name line of mkdir and rmdir, without a trailing backslash.
void FolderNameLine(char *line, const char *folder)
{
    wsprintfA(line, "フォルダ名 : %s", folder);
    char *last = nullptr;
    for (char *p = line; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\') last = p;
    }
    if (last != nullptr && last[1] == '\0') *last = '\0';
}

int FolderCommand(HWND progressDialog, const char *status, bool create)
{
    const char *folderArg = NextArg();
    const char *description = NextArg();
    char folder[PathSize];
    // mkdir appends a backslash, so its folder has one byte less.
    if (!ExpandArg(folder, folderArg, create ? PathSize - 1 : PathSize)) return 0;
    if (progressDialog != nullptr) {
        char line[MessageSize];
        FolderNameLine(line, folder);
        SetProgressLines(progressDialog, status, line, description);
    }
    if (create) {
        if (CreateFolderPath(folder)) NoteFreshFolder(folder, true);
    } else {
        NoteFreshFolder(folder, false);
        // Sources moved out of the folder, and its work folder (with a
        // partial file that a run cut short left there), do not keep it.
        DeleteMovedSources(folder);
        RemoveWorkFolder(folder);
        RemoveDirectoryA(folder);
    }
    g_setup.meterDone += kSmallWeight;
    return 1;
}

// A floppy or other removable disk, a CD-ROM (the user's only copy), or a
// network drive or share (from which other PCs install too).
bool OnKeptMedium(const char *path)
{
    if (path[0] == '\\' && path[1] == '\\') return true;  // \\server\share
    if (path[0] == '\0' || path[1] != ':') return false;
    char root[4] = {path[0], ':', '\\', '\0'};
    UINT type = GetDriveTypeA(root);
    return type == DRIVE_REMOVABLE || type == DRIVE_CDROM || type == DRIVE_REMOTE;
}

}  // namespace

const char kPartialFileName[] = "~ORVALT.$$$";

int DropPartial(const char *partial)
{
    SetFileAttributesA(partial, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(partial);
    return 0;
}

void RemoveWorkFolder(const char *folder)
{
    char work[PathSize];
    char partial[PathSize];
    if (!PathInFolder(work, folder, kPartialFileName)) return;
    if (PathInFolder(partial, work, kPartialFileName)) DropPartial(partial);
    RemoveDirectoryA(work);
    // The partial file of a first copy, or of a folder too deep for a
    // work folder, and an old file that a replace cut short left aside.
    DropPartial(work);
    if (PathInFolder(partial, folder, kAsideFileName)) DropPartial(partial);
    if (StagePath(work, partial, folder) && !StageLive(work)) EmptyStage(work, nullptr, nullptr);
}

int SettleStagedFolders(HWND progressDialog)
{
    char failed[PathSize];
    if (PublishStages(failed)) return 1;
    ReportPath(MessageOwner(progressDialog), MB_ICONHAND, MB_ICONHAND, kCopyTexts.failed, failed);
    return 0;
}

void RemoveWorkFolders()
{
    // A run that stops keeps what it copied.
    char failed[PathSize];
    PublishStages(failed);
    for (int i = 0; i < kWorkSlots; ++i) {
        if (g_workFolders[i][0] != '\0') RemoveWorkFolder(g_workFolders[i]);
        g_workFolders[i][0] = '\0';
    }
}

// path with its last name replaced by name (the folder part kept as it is
// written); 0 when that does not fit.
int WithName(char *out, const char *path, const char *name)
{
    const char *last = path;
    for (const char *p = path; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\' || *p == ':') last = p + 1;
    }
    unsigned folder = static_cast<unsigned>(last - path);
    if (folder + sc::StrLen(name) >= static_cast<unsigned>(PathSize)) return 0;
    lstrcpynA(out, path, static_cast<int>(folder) + 1);
    lstrcatA(out, name);
    return 1;
}


int CompareWriteTimes(const FILETIME &a, const FILETIME &b)
{
    return sc::CompareFileTimes((static_cast<uint64_t>(a.dwHighDateTime) << 32) | a.dwLowDateTime,
                                (static_cast<uint64_t>(b.dwHighDateTime) << 32) | b.dwLowDateTime);
}

bool DistributionKept()
{
    // The installer does not move: its medium is looked up once.
    static int kept = -1;
    if (kept < 0) {
        char own[PathSize];
        kept = OwnProgramPath(own) && OnKeptMedium(own) ? 1 : 0;
    }
    return kept != 0;
}

int GetFileInfo(const char *path, FILETIME *lastWrite, unsigned long long *size)
{
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR) return 0;
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file));
    GetFileTime(handle, nullptr, nullptr, lastWrite);
    DWORD high = 0;
    DWORD low = GetFileSize(handle, &high);
    // The whole size: a block of very large files must not wrap its total.
    *size = (static_cast<unsigned long long>(high) << 32) | low;
    _lclose(file);
    return 1;
}

int ScanSourceInfo(const char *path, int32_t line, uint64_t *size)
{
    FILETIME lastWrite = {};
    unsigned long long bytes = 0;
    char found[PathSize];
    lstrcpynA(found, path, PathSize);
    // A silent run draws no meter: once the block is known to weigh
    // something, a source need only be there, and is not opened.
    DWORD attributes = g_setup.silent && g_blockWeighs ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        // Size and time unread (a move reads them at its step).
    } else if (!FindSourceInfo(found, &lastWrite, &bytes)) {
        // Moved whole by a run that was cut short: weighed where it went,
        // and looked up again at its own step.
        char placed[PathSize];
        if (!FindEarlierSource(path, placed, &bytes, &lastWrite)) return 0;
        *size = bytes;
        return 1;
    }
    *size = bytes;
    if (bytes != 0) g_blockWeighs = true;
    if (g_scanned != nullptr && line >= 0 && line < g_scannedLines) {
        ScannedSource &entry = g_scanned[line];
        entry.size = bytes;
        entry.lastWrite = lastWrite;
        entry.pathHash = PathHash(path);
        entry.block = g_block;
        entry.beside = lstrcmpA(found, path) != 0;
    }
    return 1;
}

bool CreateFolderPath(const char *folder)
{
    sc::FolderWalk walk;
    if (!sc::PlanFolderPath(folder, &walk)) return false;
    bool made = false;
    for (int i = 0; i < walk.count; ++i) {
        char *cut = walk.path + walk.cuts[i];
        *cut = '\0';
        made = CreateDirectoryA(walk.path, nullptr) != 0;
        *cut = '\\';
    }
    return made;
}

int CmdStartMeter(HWND)
{
    sc::MeterScan scan;
    PrepareScannedSources();
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    ShowCursor(TRUE);
    sc::MeterScanResult result = sc::ScanMeterTotal(&g_script, &g_scriptHost, &scan);
    ShowCursor(FALSE);
    SetCursor(previous);

    if (result != sc::MeterOk) {
        char text[MessageSize];
        int line = (scan.problemLine >= 0 ? scan.problemLine : g_script.currentLine) + 1;
        const char *format = "スクリプトの%d行目の引数が長すぎます。";
        switch (result) {
        case sc::MeterEmpty:
            format = "スクリプトの%d行目から始まる範囲に、処理するファイルがありません。";
            break;
        case sc::MeterNoSource:
            format = "スクリプトの%d行目に、ファイル名がありません。";
            break;
        case sc::MeterLineTooLong:
            format = "スクリプトの%d行目が長すぎます。";
            break;
        default:
            break;
        }
        if (result == sc::MeterMissing) {
            wsprintfA(text, "ファイル%sが見つかりません。", scan.missingPath);
        } else {
            wsprintfA(text, format, line);
        }
        ReportMessage(g_setup.mainWindow, MB_ICONEXCLAMATION, MB_ICONHAND, text);
        return 0;
    }

    g_setup.meterTotal = scan.total;
    g_setup.meterDone = 0;
    g_setup.percent = 0;
    if (!g_setup.silent) {
        EnableWindow(g_setup.mainWindow, FALSE);
        g_setup.progressDialog = CreateDialogParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_PROGRESS),
                                                    g_setup.mainWindow, ProgressDlgProc, 0);
        ForgetProgressLines();
        ForgetMeter();
    }
    return 1;
}

int CmdEndMeter(HWND)
{
    CloseProgressDialog();
    RemoveWorkFolders();
    return 1;
}

int CmdCopy(HWND progressDialog)
{
    return Transfer(progressDialog, kCopyTexts, false);
}

int CmdMove(HWND progressDialog)
{
    return Transfer(progressDialog, kMoveTexts, true);
}

int CmdDel(HWND progressDialog)
{
    const char *fileArg = NextArg();
    const char *description = NextArg();
    char file[PathSize];
    if (!ExpandArg(file, fileArg)) return 0;
    if (progressDialog != nullptr) {
        char object[MessageSize];
        wsprintfA(object, "ファイル名 : %s", file);
        SetProgressLines(progressDialog, "ファイルの削除中です...", object, description);
    }
    DeleteFileA(file);
    g_setup.meterDone += kSmallWeight;
    return 1;
}

int CmdMkdir(HWND progressDialog)
{
    return FolderCommand(progressDialog, "フォルダの作成中です...", true);
}

int CmdRmdir(HWND progressDialog)
{
    return FolderCommand(progressDialog, "フォルダの削除中です...", false);
}
