// wintool: a small console program that the end-to-end tests run under Wine to
// look at and poke the program's windows from outside (positions, styles,
// topmost flag, visibility, texts of dialogs) and to send close requests.
// Every line it prints is UTF-8, so Japanese window texts compare byte for byte.
//
//   wintool list                      every top-level window
//   wintool find TITLE                top-level windows whose text is exactly TITLE
//   wintool children TITLE            child windows of the first match
//   wintool post TITLE MSG [W [L]]    PostMessageW to the first match (numbers: decimal or 0x..)
//   wintool close TITLE               PostMessageW(WM_CLOSE)
//   wintool owned TITLE               top-level windows owned by the first match (any class)
//   wintool rect|style|exstyle|topmost|visible|text|pid TITLE   one value of the first match
//
// TITLE may also be a window handle written as hwnd:0x1234.
// Exit status: 0 on success, 1 when no window matches, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

void out(const std::wstring& w) {
    std::string s;
    if (!w.empty()) {
        int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
        s.resize(static_cast<size_t>(n));
        WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    }
    s += "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), s.data(), static_cast<DWORD>(s.size()), &written, nullptr);
}

std::wstring fmt(const wchar_t* f, ...) {
    wchar_t buf[1024];
    va_list ap;
    va_start(ap, f);
    _vsnwprintf(buf, 1023, f, ap);
    va_end(ap);
    buf[1023] = 0;
    return buf;
}

std::wstring text_of(HWND h) {
    wchar_t buf[2048];
    int n = GetWindowTextW(h, buf, 2048);
    return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring class_of(HWND h) {
    wchar_t buf[256];
    int n = GetClassNameW(h, buf, 256);
    return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring describe(HWND h, bool child) {
    RECT r{};
    GetWindowRect(h, &r);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    LONG_PTR st = GetWindowLongPtrW(h, GWL_STYLE);
    LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
    std::wstring s = fmt(L"hwnd=0x%llx pid=%lu", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(h)),
                         static_cast<unsigned long>(pid));
    if (child) s += fmt(L" id=%ld", static_cast<long>(GetDlgCtrlID(h)));
    s += fmt(L" rect=%ld,%ld,%ld,%ld style=0x%08lx exstyle=0x%08lx topmost=%d visible=%d", r.left, r.top,
             r.right - r.left, r.bottom - r.top, static_cast<unsigned long>(st), static_cast<unsigned long>(ex),
             (ex & WS_EX_TOPMOST) ? 1 : 0, IsWindowVisible(h) ? 1 : 0);
    s += L" class=" + class_of(h) + L" text=" + text_of(h);
    return s;
}

struct FindCtx {
    std::wstring title;
    bool all;
    std::vector<HWND> found;
};

BOOL CALLBACK enum_top(HWND h, LPARAM lp) {
    auto* c = reinterpret_cast<FindCtx*>(lp);
    if (c->all || text_of(h) == c->title) c->found.push_back(h);
    return TRUE;
}

BOOL CALLBACK enum_child(HWND h, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

std::vector<HWND> find_windows(const std::wstring& title) {
    if (title.rfind(L"hwnd:", 0) == 0) {
        HWND h = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(wcstoull(title.c_str() + 5, nullptr, 0)));
        if (IsWindow(h)) return {h};
        return {};
    }
    FindCtx c{title, false, {}};
    EnumWindows(enum_top, reinterpret_cast<LPARAM>(&c));
    return c.found;
}

ULONG_PTR number(const wchar_t* s) { return static_cast<ULONG_PTR>(wcstoll(s, nullptr, 0)); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        out(L"usage: wintool list | find|children|close|rect|style|exstyle|topmost|visible|text|pid TITLE | post TITLE MSG [W [L]]");
        return 2;
    }
    std::wstring cmd = argv[1];
    if (cmd == L"list") {
        FindCtx c{L"", true, {}};
        EnumWindows(enum_top, reinterpret_cast<LPARAM>(&c));
        for (HWND h : c.found) out(describe(h, false));
        return 0;
    }
    if (argc < 3) return 2;
    std::vector<HWND> wins = find_windows(argv[2]);
    if (wins.empty()) {
        fwprintf(stderr, L"wintool: no window\n");
        return 1;
    }
    HWND h = wins.front();
    if (cmd == L"find") {
        for (HWND w : wins) out(describe(w, false));
    } else if (cmd == L"children") {
        std::vector<HWND> kids;
        EnumChildWindows(h, enum_child, reinterpret_cast<LPARAM>(&kids));
        for (HWND k : kids) out(describe(k, true));
    } else if (cmd == L"owned") {
        FindCtx all{L"", true, {}};
        EnumWindows(enum_top, reinterpret_cast<LPARAM>(&all));
        for (HWND w : all.found)
            if (GetWindow(w, GW_OWNER) == h) out(describe(w, false));
    } else if (cmd == L"close") {
        return PostMessageW(h, WM_CLOSE, 0, 0) ? 0 : 1;
    } else if (cmd == L"post") {
        if (argc < 4) return 2;
        UINT msg = static_cast<UINT>(number(argv[3]));
        WPARAM w = argc > 4 ? static_cast<WPARAM>(number(argv[4])) : 0;
        LPARAM l = argc > 5 ? static_cast<LPARAM>(number(argv[5])) : 0;
        return PostMessageW(h, msg, w, l) ? 0 : 1;
    } else if (cmd == L"rect") {
        RECT r{};
        GetWindowRect(h, &r);
        out(fmt(L"%ld %ld %ld %ld", r.left, r.top, r.right - r.left, r.bottom - r.top));
    } else if (cmd == L"style") {
        out(fmt(L"0x%08lx", static_cast<unsigned long>(GetWindowLongPtrW(h, GWL_STYLE))));
    } else if (cmd == L"exstyle") {
        out(fmt(L"0x%08lx", static_cast<unsigned long>(GetWindowLongPtrW(h, GWL_EXSTYLE))));
    } else if (cmd == L"topmost") {
        out((GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) ? L"1" : L"0");
    } else if (cmd == L"visible") {
        out(IsWindowVisible(h) ? L"1" : L"0");
    } else if (cmd == L"text") {
        out(text_of(h));
    } else if (cmd == L"pid") {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        out(fmt(L"%lu", static_cast<unsigned long>(pid)));
    } else {
        return 2;
    }
    return 0;
}
