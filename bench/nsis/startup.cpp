// The start-up floor of the benchmark's programs: started with "window" it
// registers a class, creates a hidden window and ends through its message
// loop, as a windowed installer must before its first file; without an
// argument it ends at once, as the console copy loop starts.
#include <windows.h>

static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char **argv)
{
    if (argc < 2) return 0;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "StartupFloor";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "StartupFloor", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    PostMessageA(window, WM_USER, 0, 0);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
