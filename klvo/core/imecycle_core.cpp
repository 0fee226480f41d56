#include "imecycle_core.h"
#include "text.h"

int ExcludedAdd(ExcludedImeTable *table, const char *name, const NameStore *store)
{
    for (int i = 0; i < ExcludedSlotCount; ++i) {
        if (table->slot[i]) continue;
        unsigned size = TextLength(name) + 1;
        char *copy = store->allocate(size);
        if (!copy) return 0;
        CopyText(copy, size, name);
        table->slot[i] = copy;
        return 1;
    }
    return 0;
}

const char *ExcludedNext(ExcludedImeTable *table, int restart)
{
    if (restart) table->cursor = 0;
    while (table->cursor >= 0 && table->cursor < ExcludedSlotCount) {
        const char *name = table->slot[table->cursor++];
        if (name) return name;
    }
    return nullptr;
}

int ExcludedContains(const ExcludedImeTable *table, const char *name)
{
    for (int i = 0; i < ExcludedSlotCount; ++i)
        if (table->slot[i] && TextEqual(table->slot[i], name)) return 1;
    return 0;
}

void ExcludedClear(ExcludedImeTable *table, const NameStore *store)
{
    for (int i = 0; i < ExcludedSlotCount; ++i) {
        if (table->slot[i]) store->release(table->slot[i]);
        table->slot[i] = nullptr;
    }
}

NextImeAnswer ChooseNextIme(const char *reference, const ExcludedImeTable *excluded, const ImeWalk *walk)
{
    int haveFirst = 0, firstIsReference = 0, passed = 0;
    for (int steps = 0; steps < MostInstalledImes && walk->next(walk->context); ++steps) {
        const char *name = walk->name(walk->context);
        if (ExcludedContains(excluded, name)) continue;
        if (passed) {
            walk->keep(walk->context, KeptSuccessor);
            return TakeSuccessor;
        }
        int isReference = !reference || TextEqual(name, reference);
        if (!haveFirst) {
            walk->keep(walk->context, KeptFirst);
            haveFirst = 1;
            firstIsReference = reference && isReference;
        }
        if (isReference) passed = 1;
    }
    if (!haveFirst || firstIsReference) return NoNextIme;
    return TakeFirst;
}
