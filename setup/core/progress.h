// Progress arithmetic, the comparison of file times, and the folder walks of
// mkdir and of the clean-up copy.
#pragma once

#include <stdint.h>

#include "script.h"

namespace sc {

// Number of block places of the progress meter.
constexpr int32_t kMeterBlocks = 35;

// floor(done * 100 / total), exact for any 64-bit values, never above 100;
// 0 when total is 0.
int32_t MeterPercent(uint64_t done, uint64_t total);
// Blocks drawn for a percentage: percent * 35 / 100, within 0..35.
int32_t MeterBlockCount(int32_t percent);

// The progress dialog's lines are redrawn at most every kRedrawMs: a person
// cannot read files that pass faster, and drawing each one would cost more
// than copying it. Lines set within that time are shown at once all the
// same when the command about to run will itself last that long: its
// weight at the block's rate so far (weight done in blockMs) says so, and
// an unknown rate counts as long.
constexpr uint32_t kRedrawMs = 100;
bool LinesDue(uint32_t sinceShownMs, uint64_t nextWeight, uint64_t doneWeight, uint32_t blockMs);

// File times count 100-ns units. FAT keeps a time in 2-second steps, rounded
// up when stored, so a file copied onto a FAT disk may carry a time up to
// 2 s after its source's: times at most kFatTimeStep apart are the same
// time. Returns -1, 0 or 1 as a is earlier than, the same as or later than b.
constexpr uint64_t kFatTimeStep = 20000000;
int32_t CompareFileTimes(uint64_t a, uint64_t b);

// The folders CreateFolderPath creates, from the top down: path holds the
// folder with a trailing backslash, and each cuts[i] is the offset of a
// backslash at which path is cut (set to NUL) to name one folder.
struct FolderWalk {
    char path[kPathSize];
    int32_t cuts[kPathSize];  // a path of backslashes only has one per byte
    int32_t count;
};

// Plans the walk for folder. A drive prefix "X:" and one leading backslash
// name no folder of their own. Returns 0 (count 0) when the folder with its
// backslash does not fit in kPathSize bytes, 1 otherwise.
int PlanFolderPath(const char* folder, FolderWalk* walk);

// Pruning: the clean-up copy removes dir, then its parents, while dir differs
// from stopDir (ASCII case ignored) and a removal succeeds.
// True when dir is still to be removed (differs from stopDir).
bool PruneContinues(const char* dir, const char* stopDir);
// Cuts dir at its last backslash; returns 0 when it has none (dir unchanged).
int CutAtLastBackslash(char* dir);

}  // namespace sc
