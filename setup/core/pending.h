// Deletions that wait for the next restart: the clean-up copy of an
// uninstallation asks for its own file to go once nothing runs from it.
#pragma once

#include <stdint.h>

namespace sc {

enum PendingResult {
    PendingAdded,    // the line is in the text now
    PendingPresent,  // the text already asked for this deletion: unchanged
    PendingNoRoom,   // the new text would not fit: unchanged
};

// WININIT.INI of Windows 95: its [rename] section lists "target=source"
// lines that the system carries out once before it starts; "NUL=path"
// deletes path. text holds *length bytes of the file, in a buffer of
// capacity bytes. Adds "NUL=<path>" at the end of the first [rename]
// section (or a new section at the end of the file) and leaves every other
// byte as it was; other programs may have several NUL= lines there. A line
// naming the same path (case ignored) counts as present.
PendingResult AddRenameDelete(char* text, uint32_t* length, uint32_t capacity, const char* path);

// The pending file operations of Windows NT: a list of NUL-terminated
// texts (size bytes in all), in pairs of source and target; an empty
// target deletes the source. True when the list already deletes ntPath
// (case ignored).
bool HoldsPendingDelete(const char* list, uint32_t size, const char* ntPath);

}  // namespace sc
