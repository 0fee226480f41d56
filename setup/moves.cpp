// The sources of moves, and the record that lets a run that was cut short
// be run again.
//
// A move copies at once but deletes its source only when the run reaches
// its end line: a run that stops, is cancelled or dies keeps the whole
// distribution and can simply be started again. Just before sources are
// deleted, each one is written, with where it went, to a record beside the
// program, flushed to disk; a run that dies while deleting leaves that
// record, and its rerun takes a missing source that the record names, and
// whose destination is still whole, as already placed there. The record
// goes when a run that wrote it, or found in it what it needed, ends well.
//
// Names are compared as the file system sees them (full path, short 8.3
// name), so that another spelling of the same file is recognised.
#include "setup.h"

namespace {

}  // namespace

const char kMoveRecordName[] = "~ORVMOVE.$$$";

namespace {

// One move, as it waits in memory and as the record holds it: fixed
// fields, each name with its NUL.
struct MoveRecord {
    // Three names, one after another: RecordIsWhole reads them as one.
    char fullName[PathSize];     // the source's full path as written
    char shortName[PathSize];    // its short name while it existed
    char destination[PathSize];  // where it went (canonical)
    unsigned long long size;
    FILETIME lastWrite;
};

static_assert(__builtin_offsetof(MoveRecord, destination) == 2 * PathSize, "the names lie one after another");

struct MovedSource {
    MoveRecord record;
    bool waiting;  // still to be deleted
};

// Moves wait in chunks that are allocated as they are needed and kept to
// the end of the run.
const int kChunkEntries = 16;
struct MovedChunk {
    MovedChunk *next;
    int used;
    MovedSource entries[kChunkEntries];
};

MovedChunk *g_firstChunk;
MovedChunk *g_lastChunk;
int g_waitingCount;
// This run has written to the record, or taken from it what an earlier
// run moved: the record is this run's to delete when it ends.
bool g_recordOurs;

// A record read from disk may be damaged: each of its three names, which
// lie one after another, must end within its field. (An empty name matches
// no source and opens no destination.)
bool RecordIsWhole(const MoveRecord &record)
{
    const char *names = reinterpret_cast<const char *>(&record);
    int ends = 0;
    for (int i = 0; i < 3 * PathSize; ++i) {
        if (names[i] == '\0' && i / PathSize == ends) ++ends;
    }
    return ends == 3;
}

bool RecordPath(char *out)
{
    char own[PathSize];
    return OwnProgramPath(own) && WithName(out, own, kMoveRecordName);
}

// Adds the waiting moves that lie in folder (all when folder is null) to the
// record and flushes it. False when the record cannot be written whole; the
// sources then stay.
bool RecordMoves(const char *folder)
{
    char path[PathSize];
    if (!RecordPath(path)) return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    g_recordOurs = true;
    // New entries start at a whole entry's place: after an entry that an
    // earlier run left cut, the rest of its place is no name, and the
    // reader passes it over.
    DWORD size = GetFileSize(file, nullptr);
    DWORD entry = sizeof(MoveRecord);
    bool ok = size != INVALID_FILE_SIZE &&
              SetFilePointer(file, static_cast<LONG>((size + entry - 1) / entry * entry), nullptr, FILE_BEGIN) !=
                  INVALID_SET_FILE_POINTER;
    for (MovedChunk *chunk = g_firstChunk; ok && chunk != nullptr; chunk = chunk->next) {
        for (int i = 0; ok && i < chunk->used; ++i) {
            const MovedSource &moved = chunk->entries[i];
            if (!moved.waiting || (folder != nullptr && !PathIsInFolder(moved.record.shortName, folder))) continue;
            DWORD written = 0;
            ok = WriteFile(file, &moved.record, sizeof moved.record, &written, nullptr) &&
                 written == sizeof moved.record;
        }
    }
    ok = FlushFileBuffers(file) && ok;
    ok = CloseHandle(file) && ok;
    return ok;
}

MovedSource *NewEntry()
{
    if (g_lastChunk == nullptr || g_lastChunk->used == kChunkEntries) {
        void *memory = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(MovedChunk));
        if (memory == nullptr) return nullptr;
        MovedChunk *chunk = static_cast<MovedChunk *>(memory);
        if (g_lastChunk != nullptr) {
            g_lastChunk->next = chunk;
        } else {
            g_firstChunk = chunk;
        }
        g_lastChunk = chunk;
    }
    return &g_lastChunk->entries[g_lastChunk->used++];
}

}  // namespace

// The full path of path; false when it does not fit.
bool FullName(const char *path, char *out)
{
    char *filePart = nullptr;
    DWORD n = GetFullPathNameA(path, PathSize, out, &filePart);
    return n != 0 && n < static_cast<DWORD>(PathSize);
}

int CanonicalName(const char *path, char *out)
{
    char full[PathSize];
    if (!FullName(path, full)) return 0;
    // Only a file that exists has a short name.
    DWORD n = GetShortPathNameA(full, out, PathSize);
    if (n == 0 || n >= static_cast<DWORD>(PathSize)) lstrcpyA(out, full);
    return 1;
}

int SameFile(const char *a, const char *b)
{
    char nameA[PathSize];
    char nameB[PathSize];
    return CanonicalName(a, nameA) && CanonicalName(b, nameB) && lstrcmpiA(nameA, nameB) == 0;
}

int PathIsInFolder(const char *path, const char *folder)
{
    unsigned length = sc::StrLen(folder);
    if (length == 0 || sc::StrLen(path) <= length) return 0;
    char head[PathSize];
    lstrcpynA(head, path, static_cast<int>(length) + 1);
    if (lstrcmpiA(head, folder) != 0) return 0;
    // "C:\A" holds "C:\A\x" but not "C:\AB\x"; "C:\" holds "C:\x".
    return EndsInSeparator(folder) || path[length] == '\\';
}

void NoteMovedSource(const char *source, const char *destination, unsigned long long size,
                     const FILETIME *lastWrite)
{
    MovedSource *moved = NewEntry();
    if (moved == nullptr) return;  // no memory: the source stays
    MoveRecord &record = moved->record;
    // A source whose name cannot be had whole, or that is its own
    // destination, is never deleted: the entry stays unused.
    if (!FullName(source, record.fullName) || !CanonicalName(record.fullName, record.shortName) ||
        !CanonicalName(destination, record.destination) || lstrcmpiA(record.shortName, record.destination) == 0) {
        return;
    }
    record.size = size;
    record.lastWrite = *lastWrite;
    moved->waiting = true;
    ++g_waitingCount;
}

bool TakeOverMovedSource(const char *destination)
{
    if (g_waitingCount == 0) return false;
    char name[PathSize];
    if (!CanonicalName(destination, name)) return false;
    bool taken = false;
    for (MovedChunk *chunk = g_firstChunk; chunk != nullptr; chunk = chunk->next) {
        for (int i = 0; i < chunk->used; ++i) {
            MovedSource &moved = chunk->entries[i];
            if (!moved.waiting) continue;
            // A waiting source exists, so name is its short name.
            if (lstrcmpiA(moved.record.shortName, name) == 0) {
                moved.waiting = false;
                --g_waitingCount;
                taken = true;
            }
        }
    }
    return taken;
}

void DeleteMovedSources(const char *folder)
{
    if (g_waitingCount == 0) return;
    char canonicalFolder[PathSize];
    if (folder != nullptr) {
        if (!CanonicalName(folder, canonicalFolder)) return;
        folder = canonicalFolder;
    }
    if (!RecordMoves(folder)) return;
    for (MovedChunk *chunk = g_firstChunk; chunk != nullptr; chunk = chunk->next) {
        for (int i = 0; i < chunk->used; ++i) {
            MovedSource &moved = chunk->entries[i];
            if (!moved.waiting || (folder != nullptr && !PathIsInFolder(moved.record.shortName, folder))) continue;
            DeleteFileA(moved.record.shortName);  // one that cannot go stays; the move still counts
            moved.waiting = false;
            --g_waitingCount;
        }
    }
}

void FinishMoves(void (*beforeRecordGoes)())
{
    DeleteMovedSources(nullptr);
    if (beforeRecordGoes != nullptr) beforeRecordGoes();
    // Sources that were not recorded stay, and so does the record; a record
    // of another run is that run's.
    if (g_waitingCount != 0 || !g_recordOurs) return;
    char path[PathSize];
    if (RecordPath(path) && DeleteFileA(path)) g_recordOurs = false;
}

int FindEarlierMove(const char *source, char *placed, unsigned long long *size, FILETIME *lastWrite)
{
    char fullName[PathSize];
    char path[PathSize];
    if (!FullName(source, fullName) || !RecordPath(path)) return 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    int found = 0;
    MoveRecord record;
    DWORD read = 0;
    while (!found && ReadFile(file, &record, sizeof record, &read, nullptr) && read == sizeof record) {
        if (!RecordIsWhole(record)) continue;
        // The rerun spells its lines as the run that was cut short did.
        if (lstrcmpiA(record.fullName, fullName) != 0) continue;
        // The destination must still hold what was moved there.
        FILETIME time;
        unsigned long long bytes = 0;
        if (!GetFileInfo(record.destination, &time, &bytes) || bytes != record.size ||
            CompareWriteTimes(time, record.lastWrite) != 0) {
            continue;
        }
        lstrcpyA(placed, record.destination);
        *size = bytes;
        *lastWrite = time;
        found = 1;
        g_recordOurs = true;
    }
    CloseHandle(file);
    return found;
}
