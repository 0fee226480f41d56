// Fuzz target over the switcher's portable core. One input drives four
// things: shortening a text to a width, the key names and hot-key menus
// against a keyboard driver that answers anything, the choice of the next
// IME over a random catalogue and exclusion list (checked against a plain
// model of the cycle), and the tick rules. ASan and UBSan watch every buffer.
#include <fuzzer/FuzzedDataProvider.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "core.h"

namespace {

void Check(bool condition)
{
    if (!condition) __builtin_trap();
}

// --- text fitting --------------------------------------------------------

// Additive widths: a double-byte character is 12, a single byte 1 to 7.
int32_t Measure(void *, const char *text, int32_t length)
{
    int32_t width = 0;
    for (int32_t i = 0; i < length;) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsLeadByte932(c) && i + 1 < length && text[i + 1] != 0) {
            width += 12;
            i += 2;
        } else {
            width += 1 + c % 7;
            i += 1;
        }
    }
    return width;
}

bool IsCharacterBoundary(const char *text, size_t offset)
{
    const char *p = text;
    while (static_cast<size_t>(p - text) < offset && *p) p = NextCharacter(p);
    return static_cast<size_t>(p - text) == offset;
}

void FuzzTextFit(FuzzedDataProvider &in)
{
    std::string source = in.ConsumeRandomLengthString(700);
    int32_t width = in.ConsumeIntegralInRange<int32_t>(-8, 4000);
    // The text lives in a block of exactly its size.
    size_t size = strlen(source.c_str()) + 1;
    char *text = static_cast<char *>(malloc(size));
    memcpy(text, source.c_str(), size);

    const char *fitted = FitTextToWidth(text, width, Measure, nullptr);
    size_t length = strlen(fitted);
    if (fitted == text) {
        Check(Measure(nullptr, text, static_cast<int32_t>(size - 1)) <= width);
    } else if (size == 1) {
        Check(length == 0);   // an empty text stays empty, even for a width below zero
    } else {
        Check(length >= 3 && length < static_cast<size_t>(FitTextSize));
        Check(memcmp(fitted + length - 3, "...", 3) == 0);
        size_t kept = length - 3;
        Check(kept < size && memcmp(fitted, text, kept) == 0);
        Check(IsCharacterBoundary(text, kept));
        if (Measure(nullptr, "...", 3) <= width) Check(Measure(nullptr, fitted, static_cast<int32_t>(length)) <= width);
    }

    // Stepping back from any character boundary lands on the one before it.
    for (const char *p = text; *p;) {
        const char *next = NextCharacter(p);
        Check(next > p && next <= text + size - 1);
        Check(PreviousCharacter(text, next) == p);
        p = next;
    }
    free(text);
}

// --- key names -------------------------------------------------------------

struct Driver {
    uint32_t scan[4];
    int32_t nameLength[4];
    int32_t type, subtype;
};

uint32_t DriverScan(void *c, uint32_t virtualKey) { return static_cast<Driver *>(c)->scan[virtualKey % 4]; }
int32_t DriverNameLength(void *c, uint32_t scan) { return static_cast<Driver *>(c)->nameLength[scan % 4]; }
int32_t DriverType(void *c, int32_t which)
{
    Driver *d = static_cast<Driver *>(c);
    return which == 0 ? d->type : d->subtype;
}

struct ListBox {
    FuzzedDataProvider *in;
    int32_t entries;
};

int32_t AddEntry(void *c, const char *text)
{
    ListBox *list = static_cast<ListBox *>(c);
    Check(strlen(text) < static_cast<size_t>(KeyTextSize));
    ++list->entries;
    return list->in->ConsumeIntegral<int32_t>();
}

uint32_t SomeKey(FuzzedDataProvider &in)
{
    // Mostly keys the tables know, now and then anything.
    static const uint32_t Known[] = {0, 16, 17, 18, 28, 29, 112, 113, 120, 126, 127, KeyTableEnd};
    if (in.ConsumeBool()) return in.ConsumeIntegral<uint32_t>();
    return Known[in.ConsumeIntegralInRange<size_t>(0, sizeof Known / sizeof Known[0] - 1)];
}

void FuzzKeys(FuzzedDataProvider &in)
{
    Driver driver;
    for (int i = 0; i < 4; ++i) {
        driver.scan[i] = in.ConsumeIntegral<uint32_t>();
        driver.nameLength[i] = in.ConsumeIntegral<int32_t>();
    }
    driver.type = in.ConsumeIntegralInRange<int32_t>(0, 8);
    driver.subtype = in.ConsumeIntegralInRange<int32_t>(-1, 2);
    KeyboardQuery keyboard = {&driver, DriverScan, DriverNameLength, DriverType};

    // Guard bytes after each buffer: a name never runs past KeyTextSize.
    char buffer[KeyTextSize + 8];
    memset(buffer, 0x55, sizeof buffer);
    buffer[0] = 0;
    uint32_t key = SomeKey(in);
    if (GetKeyName(buffer, key, &keyboard)) Check(strlen(buffer) < static_cast<size_t>(KeyTextSize));
    else Check(buffer[0] == 0);
    if (GetChoiceName(buffer, SomeKey(in), SomeKey(in), &keyboard))
        Check(strlen(buffer) < static_cast<size_t>(KeyTextSize));
    Check(buffer[KeyTextSize] == 0x55);

    const char *text = GetChangeKeyText(SomeKey(in), in.ConsumeIntegral<uint32_t>(), &keyboard);
    Check(text == nullptr || strlen(text) < static_cast<size_t>(KeyTextSize));

    KeyChoice *tables[] = {ChangeKeyTable, OnOffKeyTable};
    for (KeyChoice *table : tables) {
        ListBox list = {&in, 0};
        FillChoiceList(table, &keyboard, AddEntry, &list);
        int32_t selection = in.ConsumeIntegral<int32_t>();
        KeyChoice *row = FindChoiceByListIndex(table, selection);
        Check(row->FirstKey == KeyTableEnd || row->ListIndex == static_cast<uint16_t>(selection & 0xFFFF));
        StoredKey stored = StoreChoice(table, selection, in.ConsumeBool(), in.ConsumeBool(), in.ConsumeBool());
        Check(stored.VirtualKey == row->VirtualKey);
        Check((stored.Modifiers & ~(row->FixedModifiers | row->OptionalModifiers)) == 0);
        Check((stored.Modifiers & row->FixedModifiers) == row->FixedModifiers);
        KeyChoice *current = FindCurrentChoice(table, stored.VirtualKey, stored.Modifiers);
        Check(current->FirstKey == KeyTableEnd || current->VirtualKey == stored.VirtualKey);
    }
}

// --- the IME cycle -------------------------------------------------------

char *Allocate(unsigned size) { return static_cast<char *>(calloc(size, 1)); }
void Release(char *block) { free(block); }
const NameStore Heap = {Allocate, Release};

struct Catalogue {
    std::vector<std::string> names;
    size_t position;       // of the IME moved to, plus one
    int kept[2];
};

int WalkNext(void *c)
{
    Catalogue *catalogue = static_cast<Catalogue *>(c);
    if (catalogue->position >= catalogue->names.size()) return 0;
    ++catalogue->position;
    return 1;
}
const char *WalkName(void *c)
{
    Catalogue *catalogue = static_cast<Catalogue *>(c);
    Check(catalogue->position > 0);
    return catalogue->names[catalogue->position - 1].c_str();
}
void WalkKeep(void *c, int which)
{
    Catalogue *catalogue = static_cast<Catalogue *>(c);
    Check(which == KeptFirst || which == KeptSuccessor);
    catalogue->kept[which] = static_cast<int>(catalogue->position - 1);
}

// Names from a small set, so that catalogues and lists share some, with an
// occasional long one.
std::string SomeName(FuzzedDataProvider &in)
{
    if (in.ConsumeIntegralInRange<int>(0, 15) == 0) return in.ConsumeRandomLengthString(600).c_str();
    return std::string("IME") + static_cast<char>('A' + in.ConsumeIntegralInRange<int>(0, 7));
}

void FuzzCycle(FuzzedDataProvider &in)
{
    ExcludedImeTable table = {};
    std::vector<std::string> added;
    int adds = in.ConsumeIntegralInRange<int>(0, 60);
    for (int i = 0; i < adds; ++i) {
        std::string name = SomeName(in);
        int ok = ExcludedAdd(&table, name.c_str(), &Heap);
        Check(ok == (added.size() < static_cast<size_t>(ExcludedSlotCount)));
        if (ok) added.push_back(name);
    }
    // The list gives back what was added, in order.
    size_t seen = 0;
    for (const char *s = ExcludedNext(&table, 1); s; s = ExcludedNext(&table, 0)) {
        Check(seen < added.size() && added[seen] == s);
        ++seen;
    }
    Check(seen == added.size());

    Catalogue catalogue;
    catalogue.position = 0;
    catalogue.kept[0] = catalogue.kept[1] = -1;
    int count = in.ConsumeIntegralInRange<int>(0, 12);
    for (int i = 0; i < count; ++i) catalogue.names.push_back(SomeName(in));
    std::string referenceName = SomeName(in);
    bool haveReference = in.ConsumeBool();
    if (haveReference && !catalogue.names.empty() && in.ConsumeBool())
        referenceName = catalogue.names[in.ConsumeIntegralInRange<size_t>(0, catalogue.names.size() - 1)];

    ImeWalk walk = {&catalogue, WalkNext, WalkName, WalkKeep};
    NextImeAnswer answer = ChooseNextIme(haveReference ? referenceName.c_str() : nullptr, &table, &walk);

    // The model: the eligible IMEs in order; the one after the first that
    // is the reference (none: the first counts as current), wrapping round;
    // nothing when no other IME is eligible.
    std::vector<int> eligible;
    for (size_t i = 0; i < catalogue.names.size(); ++i) {
        bool excluded = false;
        for (const std::string &name : added) excluded |= name == catalogue.names[i];
        if (!excluded) eligible.push_back(static_cast<int>(i));
    }
    int at = -1;
    for (size_t i = 0; i < eligible.size() && at < 0; ++i)
        if (!haveReference || catalogue.names[eligible[i]] == referenceName) at = static_cast<int>(i);
    if (eligible.empty() || (eligible.size() == 1 && at == 0 && haveReference)) {
        Check(answer == NoNextIme);
    } else if (at >= 0 && static_cast<size_t>(at) + 1 < eligible.size()) {
        Check(answer == TakeSuccessor && catalogue.kept[KeptSuccessor] == eligible[at + 1]);
    } else {
        Check(answer == TakeFirst && catalogue.kept[KeptFirst] == eligible[0]);
    }

    for (const std::string &name : catalogue.names) {
        bool excluded = false;
        for (const std::string &a : added) excluded |= a == name;
        Check(ExcludedContains(&table, name.c_str()) == (excluded ? 1 : 0));
    }
    ExcludedClear(&table, &Heap);
    Check(ExcludedNext(&table, 1) == nullptr);
}

// --- tick rules and the memory line --------------------------------------

void FuzzTick(FuzzedDataProvider &in)
{
    uint8_t bits = in.ConsumeIntegral<uint8_t>();
    TickFacts f = {bits & 1, (bits >> 1) & 1, (bits >> 2) & 1, (bits >> 3) & 1,
                   (bits >> 4) & 1, (bits >> 5) & 1, (bits >> 6) & 1};
    f.sameIme &= f.readOk;   // the tick only compares what it could read
    TickOutcome o = DecideTick(f);
    Check(o.imeKnown == f.readOk);
    Check(!(o.impose && o.takeProbe));
    Check(!o.impose || (f.readOk && !f.sameIme));
    Check(!o.takeProbe || (f.readOk && !f.sameIme && o.redraw));
    Check(!(f.windowChanged || f.titleChanged) || o.redraw);
    Check(!(o.imposing && !f.imposing) || (f.useSameIme && f.windowChanged && f.imeKnown));

    char line[MemoryLineSize + 8];
    memset(line, 0x55, sizeof line);
    FormatMemoryLine(line, in.ConsumeIntegral<uint32_t>());
    Check(strlen(line) < static_cast<size_t>(MemoryLineSize) && line[MemoryLineSize] == 0x55);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    // The first byte orders the parts, so that each one gets fresh bytes.
    uint8_t order = in.ConsumeIntegral<uint8_t>();
    for (int i = 0; i < 4; ++i) {
        switch ((order + i) % 4) {
        case 0: FuzzTextFit(in); break;
        case 1: FuzzKeys(in); break;
        case 2: FuzzCycle(in); break;
        default: FuzzTick(in); break;
        }
    }
    return 0;
}
