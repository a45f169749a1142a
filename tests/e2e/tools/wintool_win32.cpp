// wintool: a console program that the end-to-end tests run inside the test's
// Wine prefix to see the program's windows as Windows sees them, and to post
// messages to them. Each window is printed as one JSON line (UTF-8).
//
//   wintool list                 every top-level window
//   wintool children HWND        the child windows of HWND (with their control ids)
//   wintool post HWND MSG [W [L]]   PostMessageW (numbers: decimal or 0x..)
//   wintool mem                  "<total bytes> <available bytes>" (GlobalMemoryStatusEx)
//   wintool idle                 a do-nothing window "IdleWin" of the gadget's size,
//                                the baseline of the CPU and memory benchmark
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string Json(const std::wstring& w) {
  std::string u(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr)), 0);
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, u.data(), static_cast<int>(u.size()), nullptr, nullptr);
  std::string s = "\"";
  for (char c : u.substr(0, u.size() - 1)) {
    if (c == '"' || c == '\\') {
      s += '\\';
      s += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char e[8];
      std::snprintf(e, sizeof e, "\\u%04x", c);
      s += e;
    } else {
      s += c;
    }
  }
  return s + "\"";
}

BOOL CALLBACK Print(HWND h, LPARAM) {
  wchar_t text[2048] = L"", cls[256] = L"";
  GetWindowTextW(h, text, 2048);  // from another process: the stored text, no message sent
  GetClassNameW(h, cls, 256);
  RECT r{};
  GetWindowRect(h, &r);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  const LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
  std::printf(
      "{\"hwnd\":%llu,\"pid\":%lu,\"owner\":%llu,\"id\":%d,\"rect\":[%ld,%ld,%ld,%ld],\"topmost\":%d,"
      "\"visible\":%d,\"hung\":%d,\"foreground\":%d,\"class\":%s,\"text\":%s}\n",
      static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(h)), static_cast<unsigned long>(pid),
      static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(GetWindow(h, GW_OWNER))), GetDlgCtrlID(h),
      r.left, r.top, r.right - r.left, r.bottom - r.top, (ex & WS_EX_TOPMOST) ? 1 : 0, IsWindowVisible(h) ? 1 : 0,
      IsHungAppWindow(h) ? 1 : 0, GetForegroundWindow() == h ? 1 : 0, Json(cls).c_str(), Json(text).c_str());
  return TRUE;
}

ULONG_PTR Number(const wchar_t* s) { return static_cast<ULONG_PTR>(wcstoull(s, nullptr, 0)); }
HWND Handle(const wchar_t* s) { return reinterpret_cast<HWND>(Number(s)); }

LRESULT CALLBACK IdleProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(h, m, w, l);
}

int Idle() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = IdleProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = CreateSolidBrush(RGB(162, 181, 255));
  wc.lpszClassName = L"IdleWinClass";
  if (!RegisterClassW(&wc)) return 1;
  HWND h = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"IdleWin", WS_POPUP | WS_VISIBLE, 400, 300, 191, 95,
                           nullptr, nullptr, wc.hInstance, nullptr);
  MSG msg;
  while (h && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return h ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring cmd = argc > 1 ? argv[1] : L"";
  if (cmd == L"list") return EnumWindows(Print, 0) ? 0 : 1;
  if (cmd == L"children" && argc > 2) {
    if (!IsWindow(Handle(argv[2]))) return 1;
    EnumChildWindows(Handle(argv[2]), Print, 0);
    return 0;
  }
  if (cmd == L"post" && argc > 3)
    return PostMessageW(Handle(argv[2]), static_cast<UINT>(Number(argv[3])), argc > 4 ? Number(argv[4]) : 0,
                        argc > 5 ? static_cast<LPARAM>(Number(argv[5])) : 0)
               ? 0
               : 1;
  if (cmd == L"mem") {
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    if (!GlobalMemoryStatusEx(&ms)) return 1;
    std::printf("%llu %llu\n", ms.ullTotalPhys, ms.ullAvailPhys);
    return 0;
  }
  if (cmd == L"idle") return Idle();
  std::fputs("usage: wintool list | children HWND | post HWND MSG [W [L]] | mem | idle\n", stderr);
  return 2;
}
