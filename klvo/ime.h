// Every IME call of the switcher goes through these five functions. The
// shipped build forwards them to user32 (ime_user32.cpp); the Wine build
// links a simulated IME system instead (ime_simulated.cpp).
#pragma once
#include <windows.h>
#include <winnls32.h>

// The message block and codes of SendIMEMessageExA and WM_IME_REPORT (this
// header's name hides the platform header that carries them).
#ifndef _IME_
typedef struct tagIMESTRUCT {
    UINT fnc;
    WPARAM wParam;
    UINT wCount;
    UINT dchSource;
    UINT dchDest;
    LPARAM lParam1;
    LPARAM lParam2;
    LPARAM lParam3;
} IMESTRUCT;
#define IME_SETOPEN 0x04
#define IME_GETOPEN 0x05
#define WM_IME_REPORT 0x0280
#define IR_IMESELECT 0x130
extern "C" LRESULT WINAPI SendIMEMessageExA(HWND, LPARAM);
#endif
#if defined(__i386__)
// The message block is shared with the IME in global memory: its layout is
// the system's, eight 32-bit fields.
static_assert(sizeof(IMESTRUCT) == 32, "IMESTRUCT");
#endif

// An IME as the switcher keeps it. The system may fill szDescription and
// szName to their last byte with no terminator, so after every IME call both
// fields are copied with a NUL after them; only these copies are read as
// text. The record goes back to the system as the system gave it.
struct ImeEntry {
    IMEPROA record;
    char description[sizeof(IMEPROA::szDescription) + 1];
    char name[sizeof(IMEPROA::szName) + 1];
};

// IMPQueryIMEA: the next installed IME after entry->record.szName ("" = the first).
BOOL ImeQuery(ImeEntry *entry);
// IMPGetIMEA: the IME that window uses.
BOOL ImeGet(HWND window, ImeEntry *entry);
// IMPSetIMEA: give window the IME of entry->record.
BOOL ImeSet(HWND window, ImeEntry *entry);

// The system's calls behind the three above (user32, or the Wine build's
// simulation); nothing but those three calls them.
BOOL SystemImeQuery(IMEPROA *record);
BOOL SystemImeGet(HWND window, IMEPROA *record);
BOOL SystemImeSet(HWND window, IMEPROA *record);
// WINNLSEnableIME: enable or disable window's IME; returns the former state.
BOOL ImeEnable(HWND window, BOOL enable);
// SendIMEMessageExA with a GMEM_MOVEABLE | GMEM_DDESHARE block holding IMESTRUCT.
LRESULT ImeSendMessage(HWND window, HGLOBAL block);
