// Deletions that wait for the next restart.
#include "pending.h"

#include "script.h"

namespace sc {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// [a, a + n) equals the NUL-terminated b, ASCII case ignored; both bytes of
// a double-byte character must match exactly.
bool RangeEquals(const char* a, uint32_t n, const char* b) {
    uint32_t i = 0;
    while (i < n) {
        if (b[i] == '\0') return false;
        if (IsLeadByte932(static_cast<unsigned char>(a[i])) && i + 1 < n) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            i += 2;
            continue;
        }
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
        ++i;
    }
    return b[i] == '\0';
}

// [*start, *end) without blanks on either side.
void Trim(const char* text, uint32_t* start, uint32_t* end) {
    while (*start < *end && IsBlank(text[*start])) ++*start;
    while (*end > *start && IsBlank(text[*end - 1])) --*end;
}

// One line of the file: [start, end) without its line break; next is where
// the following line starts.
struct Line {
    uint32_t start;
    uint32_t end;
    uint32_t next;
};

Line LineAt(const char* text, uint32_t length, uint32_t at) {
    Line line = {at, at, at};
    while (line.end < length && text[line.end] != '\n' && text[line.end] != '\r') ++line.end;
    line.next = line.end;
    if (line.next < length && text[line.next] == '\r') ++line.next;
    if (line.next < length && text[line.next] == '\n') ++line.next;
    return line;
}

// -1 when the line is no section header, 1 for [rename], 0 for another.
int SectionKind(const char* text, Line line) {
    uint32_t s = line.start;
    uint32_t e = line.end;
    Trim(text, &s, &e);
    if (s >= e || text[s] != '[') return -1;
    uint32_t close = s + 1;
    while (close < e && text[close] != ']') ++close;
    if (close >= e) return -1;
    uint32_t ns = s + 1;
    uint32_t ne = close;
    Trim(text, &ns, &ne);
    return RangeEquals(text + ns, ne - ns, "rename") ? 1 : 0;
}

bool DeletesPath(const char* text, Line line, const char* path) {
    uint32_t equals = line.start;
    while (equals < line.end && text[equals] != '=') ++equals;
    if (equals >= line.end) return false;
    uint32_t ks = line.start;
    uint32_t ke = equals;
    Trim(text, &ks, &ke);
    uint32_t vs = equals + 1;
    uint32_t ve = line.end;
    Trim(text, &vs, &ve);
    return RangeEquals(text + ks, ke - ks, "NUL") && RangeEquals(text + vs, ve - vs, path);
}

}  // namespace

PendingResult AddRenameDelete(char* text, uint32_t* length, uint32_t capacity, const char* path) {
    const uint32_t size = *length;
    bool inRename = false;
    bool found = false;      // a [rename] section exists
    bool closed = false;     // the first one has ended
    uint32_t insertAt = size;
    bool needBreak = false;  // the line before insertAt has no line break
    for (uint32_t at = 0; at < size;) {
        Line line = LineAt(text, size, at);
        int kind = SectionKind(text, line);
        if (kind >= 0) {
            if (inRename) closed = true;
            inRename = kind == 1;
            if (inRename && !found) {
                found = true;
                insertAt = line.next;
                needBreak = line.next == line.end;
            }
        } else if (inRename) {
            if (DeletesPath(text, line, path)) return PendingPresent;
            uint32_t s = line.start;
            uint32_t e = line.end;
            Trim(text, &s, &e);
            if (s < e && !closed) {
                insertAt = line.next;
                needBreak = line.next == line.end;
            }
        }
        at = line.next;
    }
    // What goes in: an optional line break, the header when the file has
    // no such section, and the line itself.
    const char* const kBreak = "\r\n";
    const char* const kHeader = "[rename]\r\n";
    const char* const kKey = "NUL=";
    if (!found) {
        insertAt = size;
        needBreak = size > 0 && text[size - 1] != '\n' && text[size - 1] != '\r';
    }
    uint64_t added = (needBreak ? 2u : 0u) + (found ? 0u : StrLen(kHeader)) + StrLen(kKey) + StrLen(path) + 2u;
    if (size + added > capacity) return PendingNoRoom;
    uint32_t grow = static_cast<uint32_t>(added);
    for (uint32_t i = size; i > insertAt; --i) text[i - 1 + grow] = text[i - 1];
    uint32_t o = insertAt;
    auto put = [&](const char* s) {
        for (uint32_t i = 0; s[i] != '\0'; ++i) text[o++] = s[i];
    };
    if (needBreak) put(kBreak);
    if (!found) put(kHeader);
    put(kKey);
    put(path);
    put(kBreak);
    *length = size + grow;
    return PendingAdded;
}

bool HoldsPendingDelete(const char* list, uint32_t size, const char* ntPath) {
    uint32_t at = 0;
    while (at < size && list[at] != '\0') {
        uint32_t source = at;
        while (at < size && list[at] != '\0') ++at;
        uint32_t sourceEnd = at;
        if (at >= size) return false;  // cut off: nothing more to trust
        uint32_t target = ++at;
        while (at < size && list[at] != '\0') ++at;
        if (at >= size) return false;
        bool deletes = at == target;
        ++at;
        if (deletes && RangeEquals(list + source, sourceEnd - source, ntPath)) return true;
    }
    return false;
}

}  // namespace sc
