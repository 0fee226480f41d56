#include "text.h"

// GCC would turn the loop into a call of strlen, which the programs,
// linked without a C library, do not have.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-tree-loop-distribute-patterns")))
#endif
unsigned TextLength(const char *text)
{
    unsigned n = 0;
    while (text[n]) ++n;
    return n;
}

int TextEqual(const char *a, const char *b)
{
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

int CopyText(char *buffer, unsigned size, const char *text)
{
    unsigned n = TextLength(text);
    if (n + 1 > size) return 0;
    for (unsigned i = 0; i <= n; ++i) buffer[i] = text[i];
    return 1;
}

int AppendText(char *buffer, unsigned size, const char *text)
{
    unsigned have = TextLength(buffer);
    if (have >= size) return 0;
    return CopyText(buffer + have, size - have, text);
}

int CutAtLastBackslash(char *path)
{
    char *last = nullptr;
    for (char *p = path; *p;) {
        if (IsLeadByte932((unsigned char)*p) && p[1]) {
            p += 2;
            continue;
        }
        if (*p == '\\') last = p;
        ++p;
    }
    if (!last) return 0;
    *last = 0;
    return 1;
}

int DropBrokenTail(char *text)
{
    for (char *p = text; *p; ++p) {
        if (!IsLeadByte932((unsigned char)*p)) continue;
        if (!p[1]) {
            *p = 0;
            return 1;
        }
        ++p;
    }
    return 0;
}
