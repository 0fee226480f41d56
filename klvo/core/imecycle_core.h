// The excluded-IME table and the choice of the next IME of the cycle.
#pragma once

constexpr int ExcludedSlotCount = 50;

// Slots are empty (nullptr) or own one zero-terminated IME file name.
struct ExcludedImeTable {
    char *slot[ExcludedSlotCount];
    int cursor;                       // of ExcludedNext
};

// Where the table's strings live (the local heap in the program).
struct NameStore {
    char *(*allocate)(unsigned size); // zero-filled block, or nullptr
    void (*release)(char *block);
};

// Copies name into the first empty slot; 0 when the table is full or the
// allocation fails (the name is then dropped).
int ExcludedAdd(ExcludedImeTable *table, const char *name, const NameStore *store);
// The next non-empty slot at or after the cursor, in slot order; restart
// non-zero starts from slot 0. nullptr when no slot is left.
const char *ExcludedNext(ExcludedImeTable *table, int restart);
int ExcludedContains(const ExcludedImeTable *table, const char *name);
// Frees every string and empties every slot.
void ExcludedClear(ExcludedImeTable *table, const NameStore *store);

// One pass over the installed IMEs in the system's order.
struct ImeWalk {
    void *context;
    int (*next)(void *context);             // moves to the next IME; 0 when none is left
    const char *(*name)(void *context);     // file name of the IME moved to
    void (*keep)(void *context, int which); // copy the IME moved to aside as `which`
};
enum { KeptFirst = 0, KeptSuccessor = 1 };
// The most IMEs one walk looks at. An IME's keyboard layout is numbered
// E000 to E0FF in its high word, so a system holds at most 256 of them; a
// walk that gets further is going round in circles (two layouts naming the
// same IME file make the system's enumeration return to an earlier entry)
// and ends there.
constexpr int MostInstalledImes = 256;
enum NextImeAnswer { NoNextIme = 0, TakeFirst = 1, TakeSuccessor = 2 };

// The IME after reference (nullptr: the first eligible one counts as the
// current one), skipping excluded IMEs and wrapping round after the last.
// NoNextIme when no IME is eligible or reference is the only eligible one.
// The walk ends after MostInstalledImes steps whatever the system answers.
NextImeAnswer ChooseNextIme(const char *reference, const ExcludedImeTable *excluded, const ImeWalk *walk);
