// The IME catalogue: the excluded IMEs, the next IME of the cycle and the
// act of giving a window another IME. The installed IMEs are asked from the
// system each time; only the excluded names are kept.
#include "klvo.h"
#include "ime.h"
#include "core/core.h"

static ExcludedImeTable ExcludedImeList;

static char *AllocateName(unsigned size) { return (char *)LocalAlloc(LMEM_ZEROINIT, size); }
static void ReleaseName(char *block) { LocalFree(block); }
static const NameStore LocalHeap = {AllocateName, ReleaseName};

int AddExcludedIme(const char *name) { return ExcludedAdd(&ExcludedImeList, name, &LocalHeap); }
const char *NextExcludedIme(int restart) { return ExcludedNext(&ExcludedImeList, restart); }
int IsExcludedIme(const char *name) { return ExcludedContains(&ExcludedImeList, name); }

void ReleaseImeState()
{
    ExcludedClear(&ExcludedImeList, &LocalHeap);
    if (ImeMessageBlock) {
        GlobalFree(ImeMessageBlock);
        ImeMessageBlock = nullptr;
    }
}

// Copies both text fields of the record with a terminator after each.
static void TerminateFields(ImeEntry *entry)
{
    memcpy(entry->description, entry->record.szDescription, sizeof entry->record.szDescription);
    entry->description[sizeof entry->record.szDescription] = 0;
    memcpy(entry->name, entry->record.szName, sizeof entry->record.szName);
    entry->name[sizeof entry->record.szName] = 0;
}

BOOL ImeQuery(ImeEntry *entry)
{
    BOOL r = SystemImeQuery(&entry->record);
    TerminateFields(entry);
    return r;
}

BOOL ImeGet(HWND window, ImeEntry *entry)
{
    BOOL r = SystemImeGet(window, &entry->record);
    TerminateFields(entry);
    return r;
}

BOOL ImeSet(HWND window, ImeEntry *entry)
{
    BOOL r = SystemImeSet(window, &entry->record);
    TerminateFields(entry);
    return r;
}

// One pass of IMPQueryIMEA over the installed IMEs.
struct QueryWalk {
    ImeEntry current;
    ImeEntry kept[2];
};
static int QueryNext(void *c)
{
    return ImeQuery(&((QueryWalk *)c)->current) != 0;
}
static const char *QueryName(void *c)
{
    return ((QueryWalk *)c)->current.name;
}
static void QueryKeep(void *c, int which)
{
    QueryWalk *w = (QueryWalk *)c;
    w->kept[which] = w->current;
}

int FindNextIme(const ImeEntry *reference, ImeEntry *result)
{
    QueryWalk walk;
    memset(&walk, 0, sizeof walk);
    TerminateFields(&walk.current);
    ImeWalk steps = {&walk, QueryNext, QueryName, QueryKeep};
    switch (ChooseNextIme(reference ? reference->name : nullptr, &ExcludedImeList, &steps)) {
    case TakeFirst:
        *result = walk.kept[KeptFirst];
        return 1;
    case TakeSuccessor:
        *result = walk.kept[KeptSuccessor];
        return 1;
    default:
        return 0;
    }
}

int SwitchToNextIme(HWND window, ImeEntry *destination)
{
    ImeEntry own, chosen;
    memset(&own, 0, sizeof own);
    if (ImeGet(window, &own)) {
        if (!FindNextIme(&own, &chosen)) return 0;
    } else if (!FindNextIme(nullptr, &chosen)) {
        return 0;
    }
    int r = SetWindowIme(window, &chosen);
    *destination = chosen;
    return r;
}

int SetWindowIme(HWND window, ImeEntry *entry)
{
    BOOL previous = ImeEnable(window, FALSE);
    int r = ImeSet(window, entry);
    ImeEnable(window, previous);
    return r;
}
