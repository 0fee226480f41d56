// Shortening a text to a width.
#include "textfit.h"

const char *NextCharacter(const char *p)
{
    if (*p == 0) return p;
    if (IsLeadByte932(static_cast<unsigned char>(*p)) && p[1] != 0) return p + 2;
    return p + 1;
}

const char *PreviousCharacter(const char *start, const char *p)
{
    // A trail byte can look like a lead byte, so walk forward from the start.
    const char *previous = start;
    for (const char *q = start; q < p;) {
        previous = q;
        const char *next = NextCharacter(q);
        if (next == q) break;
        q = next;
    }
    return previous;
}

const char *FitTextToWidth(const char *text, int32_t width, MeasureTextFn measure, void *context)
{
    static char buffer[FitTextSize];
    int32_t n = static_cast<int32_t>(TextLength(text));
    if (measure(context, text, n) <= width) return text;

    // Copy whole characters only, up to the 511 bytes a title can have.
    const char *end = text;
    while (*end != 0) {
        const char *next = NextCharacter(end);
        if (next - text > FitTextSize - 4) break;
        end = next;
    }
    int32_t copied = static_cast<int32_t>(end - text);
    for (int32_t i = 0; i < copied; ++i) buffer[i] = text[i];
    buffer[copied] = 0;

    char *p = buffer + (PreviousCharacter(buffer, buffer + copied) - buffer);
    for (int32_t round = 0; round < n; ++round) {
        p[0] = '.';
        p[1] = '.';
        p[2] = '.';
        p[3] = 0;
        int32_t length = static_cast<int32_t>(p - buffer) + 3;
        if (measure(context, buffer, length) <= width) break;
        p = buffer + (PreviousCharacter(buffer, p) - buffer);
    }
    return buffer;
}
