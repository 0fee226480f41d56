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

// One pass of IMPQueryIMEA over the installed IMEs.
struct QueryWalk {
    IMEPROA current;
    IMEPROA kept[2];
};
static int QueryNext(void *c)
{
    return ImeQuery(&((QueryWalk *)c)->current) != 0;
}
static const char *QueryName(void *c)
{
    QueryWalk *w = (QueryWalk *)c;
    w->current.szName[sizeof w->current.szName - 1] = 0;
    return (const char *)w->current.szName;
}
static void QueryKeep(void *c, int which)
{
    QueryWalk *w = (QueryWalk *)c;
    w->kept[which] = w->current;
}

int FindNextIme(const IMEPROA *reference, IMEPROA *result)
{
    QueryWalk walk;
    memset(&walk, 0, sizeof walk);
    char referenceName[sizeof reference->szName + 1];
    if (reference) {
        memcpy(referenceName, reference->szName, sizeof reference->szName);
        referenceName[sizeof reference->szName] = 0;
    }
    ImeWalk steps = {&walk, QueryNext, QueryName, QueryKeep};
    switch (ChooseNextIme(reference ? referenceName : nullptr, &ExcludedImeList, &steps)) {
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

int SwitchToNextIme(HWND window, IMEPROA *destination)
{
    IMEPROA own, chosen;
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

int SetWindowIme(HWND window, IMEPROA *record)
{
    BOOL previous = ImeEnable(window, FALSE);
    int r = ImeSet(window, record);
    ImeEnable(window, previous);
    return r;
}
