// The Windows 95 records the programs exchange with the system have fixed
// sizes on the shipped 32-bit build; code uses sizeof, and this checks it.
#include <windows.h>
#include <winnls32.h>
#include <commdlg.h>

#if defined(__i386__)
static_assert(sizeof(IMEPROA) == 180, "IMEPROA");
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA");
// The Windows 95 Open dialog takes the record without the later fields.
static_assert(sizeof(OPENFILENAME_NT4A) == 76, "OPENFILENAME_NT4A");
static_assert(sizeof(STARTUPINFOA) == 68, "STARTUPINFOA");
static_assert(sizeof(MEMORYSTATUS) == 32, "MEMORYSTATUS");
#endif
