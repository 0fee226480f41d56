// The About box: icon and name, the product version from the program's own
// version resource, a notice, and the physical memory Windows can use.
#include "klvo.h"
#include "core.h"

namespace {

constexpr int VersionSize = 16;

const char ProductVersionEntry[] = "\\StringFileInfo\\041103A4\\ProductVersion";

// The version string in a static buffer; empty when the program's version
// block or its entry cannot be read.
const char *GetProductVersion()
{
    static char version[VersionSize];
    version[0] = 0;
    char path[MAX_PATH];
    path[0] = 0;
    if (GetModuleFileNameA(g_instance, path, MAX_PATH) == 0) return version;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return version;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (memory == nullptr) return version;
    void *block = GlobalLock(memory);
    if (block != nullptr) {
        char *value = nullptr;
        UINT length = 0;
        if (GetFileVersionInfoA(path, handle, size, block) &&
            VerQueryValueA(block, ProductVersionEntry, reinterpret_cast<void **>(&value), &length) &&
            value != nullptr && length != 0) {
            lstrcpynA(version, value, VersionSize);
        }
        GlobalUnlock(memory);
    }
    GlobalFree(memory);
    return version;
}

void SetVersionLine(HWND dialog)
{
    const char *version = GetProductVersion();
    char line[TextSize];
    if (version[0] != 0)
        wsprintfA(line, "Version %s", version);
    else
        lstrcpyA(line, "Version");
    SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, line);
}

void SetMemoryLine(HWND dialog)
{
    MEMORYSTATUS memory;
    memset(&memory, 0, sizeof(memory));
    memory.dwLength = sizeof(memory);
    GlobalMemoryStatus(&memory);
    char line[MemoryLineSize];
    FormatMemoryLine(line, static_cast<uint32_t>(memory.dwTotalPhys / 1024));
    SetDlgItemTextA(dialog, IDC_ABOUT_MEMORY, line);
}

void DrawSeparator(HWND dialog)
{
    HWND separator = GetDlgItem(dialog, IDC_ABOUT_LINE);
    HDC dc = GetDC(separator);
    RECT rc;
    GetClientRect(separator, &rc);
    POINT from = {rc.left, rc.top};
    POINT to = {rc.right, rc.top};
    DrawEtchedLine(dc, from, to);
    ReleaseDC(separator, dc);
}

}  // namespace

extern "C" __declspec(dllexport) INT_PTR CALLBACK VersionDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterOverMain(dialog);
        SetVersionLine(dialog);
        SetMemoryLine(dialog);
        return TRUE;
    case WM_PAINT:
        // The dialog's own painting still follows.
        DrawSeparator(dialog);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
