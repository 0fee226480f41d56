// The switcher's Win32 layer: the settings record, the process-wide state
// and the operations that its modules call on one another.
#pragma once
#include <windows.h>
#include <winnls32.h>
#include "klvodlg.h"
#include "ime.h"

constexpr LONG NO_POSITION = 32000;   // no window position stored for that axis
constexpr int StatusBarHeight = 22;
constexpr int TextSize = 512;         // titles and messages

struct SettingsRecord {
    DWORD ChangeVKey;
    DWORD ChangeKeyModifier;
    DWORD OnOffVKey;
    DWORD OnOffKeyModifier;
    DWORD UseSameImeForAllApps;
    DWORD PlaySound;
    DWORD StatusBar;
    LONG XPos;
    LONG YPos;
    char SoundFile[MAX_PATH];
};
extern SettingsRecord Settings;

// --- start-up and main window (main.cpp) ---
extern HINSTANCE g_instance;
extern HWND g_mainWindow;
extern HWND g_statusWindow;           // the status bar while it exists, else null
extern char g_emptyString[1];
extern "C" LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
void CenterOverMain(HWND dialog);
// Full path of KLVO.HLP beside the program or in its System folder; nullptr when absent.
const char *FindHelpFile();
// The whole run of the program: start-up checks, settings, main window,
// message loop, shutdown. Returns the exit code.
int KelvoMain(HINSTANCE instance);
// The main, status bar and pop-up window classes; 0 when one fails.
int RegisterKelvoClasses(HINSTANCE instance);

// --- foreground tracking (tracking.cpp) ---
extern HWND LastTopWindow;
extern DWORD LastTopThread;           // the thread of LastTopWindow
extern char ShownAppTitle[TextSize];
extern ImeEntry CurrentIme;
extern BOOL ImeKnown;
extern int ImposingFlag;
extern int BusyFlag;
HWND TopLevelOf(HWND window);
HWND FindImeTarget(HWND window);
// How long a window's thread has to take a message before the switcher
// leaves the window alone: a thread that is working answers within a few
// milliseconds; a quarter second keeps well inside one tick (750 ms) and
// is not felt at a key press.
constexpr UINT AnswerLimit = 250;
// 1 when window's thread takes a message within AnswerLimit (a window of
// the switcher's own thread always does); 0 for a hung one or no window.
int WindowAnswers(HWND window);
void OnTimerTick();

// --- IME catalogue and switching (imecycle.cpp) ---
int AddExcludedIme(const char *name);
const char *NextExcludedIme(int restart);
void ReleaseImeState();
int FindNextIme(const ImeEntry *reference, ImeEntry *result);
int SwitchToNextIme(HWND window, ImeEntry *destination);
int SetWindowIme(HWND window, ImeEntry *entry);
int IsExcludedIme(const char *name);

// --- hot keys (hotkeys.cpp) ---
extern ImeEntry FlashIme;
extern HGLOBAL ImeMessageBlock;
void OnHotKey(HWND mainWindow, WPARAM id);
int GetImeOpen(HWND window);
void SetImeOpen(HWND window, int open);

// --- pop-up (flash.cpp) ---
extern int FlashPainted;
extern int FlashClosePending;
extern HWND g_flashWindow;           // the pop-up while it exists, else null
extern int FlashShownInRun;          // 1 once a pop-up has been created in this run
void CreateFlashWindow();
// Full path of an IME file on the search path; 0 (path empty) when it is not
// found or its path does not fit in size bytes.
int FindImeFile(const char *name, char *path, DWORD size);
extern "C" LRESULT CALLBACK FlashWndProc(HWND, UINT, WPARAM, LPARAM);

// --- settings store (settings.cpp) ---
void LoadSettings();
void SaveSettings();
void LoadSoundFile();
void SaveSoundFile();
// The largest sound file played. PlaySoundA reads the whole file into
// memory before it plays: on an 8 MB machine, where Windows 95 and the
// application in front already fill most of the memory, 256 KiB (1/32 of
// it) still comes without paging; it holds six seconds of 22 kHz 16-bit
// mono, far more than a switch needs.
constexpr DWORD MostSoundBytes = 256 * 1024;
// PlaySoundA of a file when it is found and within MostSoundBytes; a file
// that is missing, too large or on a drive that is gone plays nothing.
void PlaySoundFile(const char *path, DWORD flags);

// --- display and status bar (display.cpp) ---
void PaintMain(HWND mainWindow, HDC dc);
void InvalidateDisplay();
// id < 0: empty text. With a string argument the loaded text is its format.
void SetStatusText(int id, const char *argument = nullptr);
void ShowKeyHint();
extern "C" LRESULT CALLBACK StatusWndProc(HWND, UINT, WPARAM, LPARAM);
void DrawEtchedLine(HDC dc, POINT from, POINT to);
void Draw3DFrame(HDC dc, const RECT *rect, int raised);
void DrawEmbossedText(HDC dc, const char *text, const RECT *rect);
const char *FitText(HDC dc, const char *text, int width);
// The keyboard driver as the key tables of the core ask it.
struct KeyboardQuery;
const KeyboardQuery *SystemKeyboard();

// --- dialogs (keydlg.cpp, imedlg.cpp, aboutdlg.cpp) ---
extern "C" INT_PTR CALLBACK KeyDlgProc(HWND, UINT, WPARAM, LPARAM);
extern "C" INT_PTR CALLBACK IMEDlgProc(HWND, UINT, WPARAM, LPARAM);
extern "C" INT_PTR CALLBACK VersionDlgProc(HWND, UINT, WPARAM, LPARAM);
