// The IME calls of the shipped build: straight to user32.
#include "ime.h"

BOOL SystemImeQuery(IMEPROA *record) { return IMPQueryIMEA(record); }
BOOL SystemImeGet(HWND window, IMEPROA *record) { return IMPGetIMEA(window, record); }
BOOL SystemImeSet(HWND window, IMEPROA *record) { return IMPSetIMEA(window, record); }
BOOL ImeEnable(HWND window, BOOL enable) { return WINNLSEnableIME(window, enable); }
LRESULT ImeSendMessage(HWND window, HGLOBAL block) { return SendIMEMessageExA(window, (LPARAM)block); }
