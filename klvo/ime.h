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

// IMPQueryIMEA: the next installed IME after record->szName ("" = the first).
BOOL ImeQuery(IMEPROA *record);
// IMPGetIMEA: the IME that window uses.
BOOL ImeGet(HWND window, IMEPROA *record);
// IMPSetIMEA: give window the IME named by record->szName.
BOOL ImeSet(HWND window, IMEPROA *record);
// WINNLSEnableIME: enable or disable window's IME; returns the former state.
BOOL ImeEnable(HWND window, BOOL enable);
// SendIMEMessageExA with a GMEM_MOVEABLE | GMEM_DDESHARE block holding IMESTRUCT.
LRESULT ImeSendMessage(HWND window, HGLOBAL block);
