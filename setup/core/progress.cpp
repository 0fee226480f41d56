// Progress arithmetic, file times and the folder walks.
#include "progress.h"

namespace sc {

namespace {

// Offset of the last backslash of s (stepping whole characters, so a trail
// byte 0x5C does not count), or -1.
int32_t LastBackslash(const char* s) {
    int32_t last = -1;
    for (const char* p = s; *p != '\0'; p = CharNext932(p)) {
        if (*p == '\\') last = static_cast<int32_t>(p - s);
    }
    return last;
}

}  // namespace

int32_t CompareFileTimes(uint64_t a, uint64_t b) {
    if (a > b) return a - b > kFatTimeStep ? 1 : 0;
    return b - a > kFatTimeStep ? -1 : 0;
}

int32_t MeterPercent(uint64_t done, uint64_t total) {
    if (total == 0) return 0;
    if (done >= total) return 100;
    // Two decimal digits of done / total by long division. Every partial
    // value stays below total, so nothing overflows for any 64-bit inputs.
    int32_t percent = 0;
    uint64_t remainder = done;
    for (int digit = 0; digit < 2; ++digit) {
        // remainder * 10 = quotient * total + new remainder, by ten additions.
        int32_t quotient = 0;
        uint64_t acc = 0;
        for (int k = 0; k < 10; ++k) {
            if (acc >= total - remainder) {
                acc -= total - remainder;
                ++quotient;
            } else {
                acc += remainder;
            }
        }
        percent = percent * 10 + quotient;
        remainder = acc;
    }
    return percent;
}

int32_t MeterBlockCount(int32_t percent) {
    if (percent <= 0) return 0;
    if (percent >= 100) return kMeterBlocks;
    return percent * kMeterBlocks / 100;
}

bool LinesDue(uint32_t sinceShownMs, uint64_t nextWeight, uint64_t doneWeight, uint32_t blockMs) {
    if (sinceShownMs >= kRedrawMs) return true;
    if (doneWeight == 0) return true;
    if (blockMs == 0) return false;
    // nextWeight * blockMs >= kRedrawMs * doneWeight. Both weights are
    // halved together until the products fit in 64 bits (and no 64-bit
    // division is needed on a 32-bit processor).
    uint64_t next = nextWeight;
    uint64_t done = doneWeight;
    while (next > 0xFFFFFFFFu || done > 0xFFFFFFFFu) {
        next >>= 1;
        done >>= 1;
    }
    return next * blockMs >= done * kRedrawMs;
}

int PlanFolderPath(const char* folder, FolderWalk* walk) {
    walk->count = 0;
    walk->path[0] = '\0';
    if (folder == nullptr) folder = "";
    unsigned length = StrLen(folder);
    int32_t last = LastBackslash(folder);
    bool append = last < 0 || static_cast<unsigned>(last) + 1 != length;
    if (length + (append ? 1u : 0u) >= kPathSize) return 0;
    for (unsigned i = 0; i < length; ++i) walk->path[i] = folder[i];
    if (append) walk->path[length++] = '\\';
    walk->path[length] = '\0';

    const char* p = walk->path;
    unsigned char first = static_cast<unsigned char>(p[0]);
    bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    if (letter && p[1] == ':') p += 2;
    if (*p == '\\') ++p;
    for (; *p != '\0'; p = CharNext932(p)) {
        if (*p == '\\') walk->cuts[walk->count++] = static_cast<int32_t>(p - walk->path);
    }
    return 1;
}

bool PruneContinues(const char* dir, const char* stopDir) {
    if (dir == nullptr) return false;
    return !EqualNoCase(dir, stopDir == nullptr ? "" : stopDir);
}

int CutAtLastBackslash(char* dir) {
    if (dir == nullptr) return 0;
    int32_t last = LastBackslash(dir);
    if (last < 0) return 0;
    dir[last] = '\0';
    return 1;
}

}  // namespace sc
