// What Wine tells a topmost window that re-raises itself every 50 ms the way
// the picker does: its activations, and whether a change of the screen's size
// reaches it as WM_DISPLAYCHANGE (it does on Windows). Prints one line per
// event; tools/wine-probe.sh builds and drives it.
#include <stdio.h>
#include <windows.h>

static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    static int lastSize;
    switch (message) {
    case WM_DISPLAYCHANGE:
        printf("WM_DISPLAYCHANGE %ux%u\n", LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_ACTIVATE:
        printf("WM_ACTIVATE %s\n", LOWORD(wParam) == WA_INACTIVE ? "inactive" : "active");
        break;
    case WM_TIMER: {
        // The size Wine itself reports, to tell "not noticed" from "not sent".
        const int size = GetSystemMetrics(SM_CXSCREEN) * 10000 + GetSystemMetrics(SM_CYSCREEN);
        if (size != lastSize)
            printf("screen %dx%d\n", size / 10000, size % 10000);
        lastSize = size;
        SetWindowPos(window, HWND_TOPMOST, 100, 100, 300, 200, SWP_SHOWWINDOW);
        break;
    }
    }
    fflush(stdout);
    return DefWindowProcW(window, message, wParam, lParam);
}

int main(void)
{
    WNDCLASSW windowClass = {0};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.lpszClassName = L"probe";
    windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, L"probe", L"probe", WS_POPUP, 100, 100, 300, 200,
                                  NULL, NULL, windowClass.hInstance, NULL);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    SetTimer(window, 1, 50, NULL);
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
