// The About box's memory line.
#include "memoryline.h"

namespace {

// Decimal digits of value, at least minDigits of them; returns the end.
char *WriteNumber(char *out, uint32_t value, int32_t minDigits)
{
    char digits[10];
    int32_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count < minDigits) digits[count++] = '0';
    while (count > 0) *out++ = digits[--count];
    return out;
}

}  // namespace

void FormatMemoryLine(char *line, uint32_t kilobytes)
{
    static const char suffix[] = " KB 使用可能";
    char *out = line;
    if (kilobytes < 1000) {
        out = WriteNumber(out, kilobytes, 1);
    } else {
        out = WriteNumber(out, kilobytes / 1000, 1);
        *out++ = ',';
        out = WriteNumber(out, kilobytes % 1000, 3);
    }
    for (const char *s = suffix; (*out = *s) != 0; ++s, ++out) {
    }
}
