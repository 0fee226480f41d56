// The two hot keys: the change key moves the front application to the next
// IME and shows the pop-up while the key is held; the on/off key opens or
// closes the front application's IME.
#include "klvo.h"
#include "ime.h"
#include <mmsystem.h>

ImeEntry FlashIme;
HGLOBAL ImeMessageBlock;

static HGLOBAL MessageBlock()
{
    if (!ImeMessageBlock) ImeMessageBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, sizeof(IMESTRUCT));
    return ImeMessageBlock;
}

int GetImeOpen(HWND window)
{
    HGLOBAL block = MessageBlock();
    if (!block) return 0;
    IMESTRUCT *ime = (IMESTRUCT *)GlobalLock(block);
    if (!ime) return 0;
    ime->fnc = IME_GETOPEN;
    GlobalUnlock(block);
    return ImeSendMessage(window, block) != 0;
}

void SetImeOpen(HWND window, int open)
{
    HGLOBAL block = MessageBlock();
    if (!block) return;
    IMESTRUCT *ime = (IMESTRUCT *)GlobalLock(block);
    if (!ime) return;
    ime->fnc = IME_SETOPEN;
    ime->wParam = open ? 1 : 0;
    GlobalUnlock(block);
    ImeSendMessage(window, block);
}

// Pumps messages until the change key is up. A quit request ends the wait
// and is posted again for the main loop.
static void WaitForKeyRelease()
{
    for (;;) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage((int)msg.wParam);
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (GetAsyncKeyState((int)Settings.ChangeVKey) == 0) {
            return;
        }
    }
}

static void OnChangeKey()
{
    if (!FlashShownInRun && !GetForegroundWindow()) return;     // no pop-up yet in this run
    BusyFlag = 1;
    HWND target = FindImeTarget(GetForegroundWindow());
    // A hung application keeps its IME: the key returns at once. (With no
    // window in front the switch is still asked of the system.)
    if ((target && !WindowAnswers(target)) || !SwitchToNextIme(target, &FlashIme)) {
        BusyFlag = 0;
        return;
    }
    CreateFlashWindow();
    if (Settings.PlaySound) {
        LoadSoundFile();
        PlaySoundFile(Settings.SoundFile, SND_FILENAME | SND_NOWAIT | SND_ASYNC);
    }
    WaitForKeyRelease();
    // A pop-up closed before the release (or never created) needs no
    // request: the handle is cleared when the pop-up is destroyed.
    if (g_flashWindow) {
        PostMessageA(g_flashWindow, WM_USER, 0, 0);
        FlashClosePending = 1;
    }
    BusyFlag = 0;
}

struct ThreadOwner {
    DWORD thread, process;
    HWND found;
};

static BOOL CALLBACK FindForeignChild(HWND child, LPARAM param)
{
    ThreadOwner *owner = (ThreadOwner *)param;
    DWORD process = 0;
    DWORD thread = GetWindowThreadProcessId(child, &process);
    if (thread != owner->thread || process != owner->process) {
        owner->found = child;
        return FALSE;
    }
    return TRUE;
}

// A child window of another thread or process (an embedded control) has an
// IME of its own: it is given the same state as its frame.
static void OnOnOffKey()
{
    // Without a window in front there is nothing to open or close: a null
    // window would make the child walk below run over every top-level window.
    HWND window = GetForegroundWindow();
    if (!window || !WindowAnswers(window)) return;
    BusyFlag = 1;
    int open = GetImeOpen(window) ? 0 : 1;
    SetImeOpen(window, open);
    ThreadOwner owner = {0, 0, nullptr};
    owner.thread = GetWindowThreadProcessId(window, &owner.process);
    EnumChildWindows(window, FindForeignChild, (LPARAM)&owner);
    if (owner.found && WindowAnswers(owner.found)) SetImeOpen(owner.found, open);
    BusyFlag = 0;
}

void OnHotKey(HWND, WPARAM id)
{
    if (BusyFlag) return;
    if (id == ID_CHANGE_KEY) OnChangeKey();
    else if (id == ID_ONOFF_KEY) OnOnOffKey();
}
