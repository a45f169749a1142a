// idlewin: a do-nothing Win32 window of the gadget's size (caption "IdleWin").
// It is the baseline of the CPU and memory cost benchmark: whatever the gadget
// costs above this window is the cost of its own work.
#include <windows.h>

static LRESULT CALLBACK proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(h, m, w, l);
}

int wmain() {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(RGB(162, 181, 255));
    wc.lpszClassName = L"IdleWinClass";
    if (!RegisterClassW(&wc)) return 1;
    HWND h = CreateWindowExW(WS_EX_TOOLWINDOW, L"IdleWinClass", L"IdleWin", WS_POPUP, 400, 300, 191, 95, nullptr,
                             nullptr, inst, nullptr);
    if (!h) return 1;
    ShowWindow(h, SW_SHOWNORMAL);
    UpdateWindow(h);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
