// Self-test of the Win32 layer, run under Wine (or Windows) with a display:
// painting of the windowless elements pixel by pixel, hit-testing, text and
// unit conversions, the registry store, and the real gadget window driven by
// window messages (child window sizes, drop acceptance, capture, clicks,
// hide and tray restore, timers, tooltips, the message hook, close and save).
// Prints one line per failed check and exits non-zero when any failed.
#include "shell/layer_win32.h"

#include <commctrl.h>
#include <ole2.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "chrome/frame.h"
#include "extract/extraction_flow.h"
#include "shell/app.h"
#include "shell/platform_win32.h"

using namespace tarvex;
using namespace tarvex::win32;

namespace {

int g_checks = 0;
int g_failures = 0;

void Check(bool ok, const char* what, int line) {
  ++g_checks;
  if (!ok) {
    ++g_failures;
    std::printf("FAIL line %d: %s\n", line, what);
  }
}
#define CHECK(c) Check((c), #c, __LINE__)
#define CHECK_PIXEL(canvas, x, y, rgb)                                                              \
  do {                                                                                              \
    const std::uint32_t got_ = (canvas).At((x), (y));                                                \
    ++g_checks;                                                                                     \
    if (got_ != (rgb)) {                                                                            \
      ++g_failures;                                                                                 \
      std::printf("FAIL line %d: pixel (%d,%d) is %06X, want %06X\n", __LINE__, (x), (y),           \
                  static_cast<unsigned>(got_), static_cast<unsigned>(rgb));                          \
    }                                                                                               \
  } while (0)

// A 32-bit top-down bitmap to paint into and read back.
struct Canvas {
  HDC dc = nullptr;
  HBITMAP bmp = nullptr;
  HGDIOBJ old = nullptr;
  std::uint32_t* bits = nullptr;
  int w = 0, h = 0;
  Canvas(int width, int height) : w(width), h(height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<std::uint32_t*>(p);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bmp);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
  }
  std::uint32_t At(int x, int y) const {
    GdiFlush();
    return bits[y * w + x] & 0xFFFFFF;
  }
  RECT Rect() const { return RECT{0, 0, w, h}; }
};

void PaintMain(Canvas& c, ui::Form& form) {
  FormWindow scratch;
  PaintContainer(c.dc, form, "", c.Rect(), scratch);
}

void TestConversions() {
  CHECK(TwipsToPx(2865) == 191);
  CHECK(TwipsToPx(1425) == 95);
  CHECK(TwipsToPx(-50000) == -3333);
  CHECK(TwipsToPx(7) == 0 && TwipsToPx(8) == 1);
  CHECK(ToColorRef(ui::Rgb(56, 112, 168)) == 0x00A87038);
  const std::string ja = "\xE5\xB8\xB8\xE3\x81\xAB\xE6\x9C\x80\xE5\x89\x8D\xE9\x9D\xA2 \xF0\x9F\x98\x80 a";
  const std::wstring w = Widen(ja);
  // Five characters, a space, one character outside the BMP (two units), a space, "a".
  CHECK(w.size() == 10);
  CHECK(w.size() == 10 && w[0] == 0x5E38 && w[6] == 0xD83D && w[7] == 0xDE00 && w[9] == L'a');
  CHECK(Narrow(w) == ja);
  CHECK(Widen("").empty() && Narrow(L"").empty());
}

void TestPaintMain() {
  std::unique_ptr<Platform> p = MakeWin32Platform();
  ui::Form form = ui::MakeMainForm();
  chrome::LayoutFrame(*p, form);  // no window: the repaint requests go nowhere
  Canvas c(191, 95);
  PaintMain(c, form);
  // The bevel along all four edges: outer ring light top/left, dark bottom/right.
  CHECK_PIXEL(c, 0, 0, 0xD2DAFF);
  CHECK_PIXEL(c, 1, 1, 0xB3C1FF);
  CHECK_PIXEL(c, 100, 0, 0xD2DAFF);
  CHECK_PIXEL(c, 100, 1, 0xB3C1FF);
  CHECK_PIXEL(c, 189, 0, 0xD2DAFF);
  CHECK_PIXEL(c, 190, 0, 0x6886FF);
  CHECK_PIXEL(c, 189, 1, 0x8EA5FF);
  CHECK_PIXEL(c, 0, 50, 0xD2DAFF);
  CHECK_PIXEL(c, 1, 50, 0xB3C1FF);
  CHECK_PIXEL(c, 190, 50, 0x6886FF);
  CHECK_PIXEL(c, 189, 50, 0x8EA5FF);
  CHECK_PIXEL(c, 0, 93, 0xD2DAFF);
  CHECK_PIXEL(c, 0, 94, 0x6886FF);
  CHECK_PIXEL(c, 100, 93, 0x8EA5FF);
  CHECK_PIXEL(c, 100, 94, 0x6886FF);
  CHECK_PIXEL(c, 190, 94, 0x6886FF);
  // Body colour between the panels and the status bar.
  CHECK_PIXEL(c, 50, 70, 0xA2B5FF);
  // The etched separator: grey stroke of width 2 and the white stroke over it.
  CHECK_PIXEL(c, 168, 40, 0x808080);
  CHECK_PIXEL(c, 169, 40, 0xFFFFFF);
  CHECK_PIXEL(c, 170, 40, 0xA2B5FF);
  // Status bar: the date panel stretched to 160 x 19 from (4, 72).
  CHECK_PIXEL(c, 150, 85, 0x000000);
  CHECK_PIXEL(c, 3, 85, 0xA2B5FF);  // left of the bar: body

  // The status text: lit pixels exactly in the label colour on black, no
  // smoothed in-between tones.
  int lit = 0, other = 0;
  for (int y = 73; y < 90; ++y)
    for (int x = 10; x < 120; ++x) {
      const std::uint32_t px = c.At(x, y);
      if (px == 0xB7C6FF) ++lit;
      else if (px != 0x000000) ++other;
    }
  CHECK(lit > 60);
  CHECK(other == 0);

  // An empty status line leaves the bar black.
  ui::Element* info = form.Find("info");
  info->text.clear();
  PaintMain(c, form);
  int litAfter = 0;
  for (int y = 73; y < 90; ++y)
    for (int x = 10; x < 120; ++x) litAfter += c.At(x, y) == 0xB7C6FF;
  CHECK(litAfter == 0);

  // A picture that is not in the resources draws nothing (and does not fail).
  ui::Element* grip = form.Find("Image6");
  grip->picture = static_cast<Asset>(777);
  PaintMain(c, form);
  CHECK_PIXEL(c, 178, 40, 0xA2B5FF);
}

void TestPaintDigits() {
  ui::Form form = ui::MakeMainForm();
  Canvas c(89, 24);
  FormWindow scratch;
  PaintContainer(c.dc, form, "Picture1", c.Rect(), scratch);
  // Panel edges: top/left (113, 111, 100), bottom/right white.
  CHECK_PIXEL(c, 0, 0, 0x716F64);
  CHECK_PIXEL(c, 88, 23, 0xFFFFFF);
  // `t1` at (8, 8) shows 0: top row lit, inner pixels show the black panel.
  CHECK_PIXEL(c, 8, 8, 0x6BC6FF);
  CHECK_PIXEL(c, 13, 8, 0x6BC6FF);
  CHECK_PIXEL(c, 9, 9, 0x000000);
  CHECK_PIXEL(c, 8, 9, 0x6BC6FF);
  // Switching `t1` to 1 (".XXX.." on top, "...X.." below).
  form.Find("t1")->picture = DigitAsset(1);
  PaintContainer(c.dc, form, "Picture1", c.Rect(), scratch);
  CHECK_PIXEL(c, 8, 8, 0x000000);
  CHECK_PIXEL(c, 9, 8, 0x6BC6FF);
  CHECK_PIXEL(c, 11, 10, 0x6BC6FF);
  CHECK_PIXEL(c, 8, 9, 0x000000);
  // The slash stays as it was: 3 x 7 at (22, 8), never covering the next cell.
  CHECK_PIXEL(c, 25, 8, 0x000000);
  // Every drawn cell was recorded at its place, for partial repaints.
  CHECK(scratch.drawn.count("t1") == 1);
  CHECK(scratch.drawn["t1"].left == 8 && scratch.drawn["t1"].right == 14);
}

void TestHitTest() {
  ui::Form form = ui::MakeMainForm();
  std::unique_ptr<Platform> p = MakeWin32Platform();
  chrome::LayoutFrame(*p, form);
  const auto at = [&](int x, int y, std::string_view container = "") {
    return HitTestElement(form, container, POINT{x, y});
  };
  CHECK(at(50, 70).empty());        // bare body
  CHECK(at(169, 40).empty());       // the separator lines take no mouse events
  CHECK(at(168, 40).empty());
  CHECK(at(0, 0) == "lt");          // frame pieces are elements, not body
  CHECK(at(100, 94) == "mb");
  CHECK(at(190, 50) == "rm");
  CHECK(at(175, 40) == "Image6");   // the grip
  CHECK(at(20, 78) == "info");      // the label lies above the status bar
  CHECK(at(150, 85) == "Image5");
  CHECK(at(9, 9, "Picture1") == "t1");
  CHECK(at(3, 3, "Picture1").empty());
  CHECK(at(300, 20).empty());       // outside the client area
  // Unstretched images take their picture's size, stretched ones their own.
  const RECT grip = ElementRect(*form.Find("Image6"));
  CHECK(grip.left == 171 && grip.top == 4 && grip.right == 187 && grip.bottom == 92);
  const RECT bar = ElementRect(*form.Find("Image5"));
  CHECK(bar.left == 4 && bar.top == 72 && bar.right == 164 && bar.bottom == 91);
}

void TestPlatformServices() {
  std::unique_ptr<Platform> p = MakeWin32Platform();
  const char* app = "TarvexLayerSelfTest";
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TarvexLayerSelfTest");
  CHECK(p->GetSetting(app, "startup", "Top", "Topf") == "Topf");
  p->SaveSetting(app, "startup", "Top", "3700");
  p->SaveSetting(app, "startup", "Left", "-50000");
  const std::string ja = "\xE5\xB8\xB8\xE3\x81\xAB";
  p->SaveSetting(app, "startup", "Act", ja);
  CHECK(p->GetSetting(app, "startup", "Top", "Topf") == "3700");
  CHECK(p->GetSetting(app, "startup", "Left", "Leftf") == "-50000");
  CHECK(p->GetSetting(app, "startup", "Act", "acA") == ja);
  p->SaveSetting(app, "startup", "Top", "");
  CHECK(p->GetSetting(app, "startup", "Top", "Topf").empty());
  // Stored under HKCU\Software\<app>\<section> as REG_SZ.
  wchar_t buf[32];
  DWORD size = sizeof buf;
  CHECK(RegGetValueW(HKEY_CURRENT_USER, L"Software\\TarvexLayerSelfTest\\startup", L"Left", RRF_RT_REG_SZ,
                     nullptr, buf, &size) == ERROR_SUCCESS &&
        std::wstring(buf) == L"-50000");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TarvexLayerSelfTest");

  const auto mem = p->GetMemoryStatus();
  CHECK(mem && mem->totalPhys > 0 && mem->availPhys <= mem->totalPhys);
}

// A message box shows Japanese in a Japanese character set font, with room
// for the whole text as its static control wraps it, lies on the work area
// (a long folder path must not push it off), and leaves no property of the
// program behind. It is looked at from another thread and closed with No.
bool g_markAtDestroy = false;
LRESULT CALLBACK WatchBoxDestroy(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_DESTROYWND && GetPropW(reinterpret_cast<HWND>(wParam), L"TarvexJapaneseFont"))
    g_markAtDestroy = true;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void TestMessageBox(const std::string& text) {
  std::unique_ptr<Platform> p = MakeWin32Platform();
  std::atomic<int> charset{-1};
  std::atomic<bool> fits{false}, onWorkArea{false};
  std::thread closer([&] {
    HWND box = nullptr;
    for (int i = 0; i < 200 && !box; ++i) {
      Sleep(25);
      box = FindWindowW(L"#32770", L"TarvexSelfTestBox");
    }
    if (!box) return;
    Sleep(300);  // the box fits its text right after it is shown
    HWND label = GetDlgItem(box, 0xFFFF);
    LOGFONTW lf{};
    HFONT f = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    if (f && GetObjectW(f, sizeof lf, &lf)) charset = lf.lfCharSet;
    wchar_t buf[4096];
    const int n = GetWindowTextW(label, buf, 4096);
    RECT have, br, both;
    GetClientRect(label, &have);
    RECT need{0, 0, have.right, 0};
    const UINT edit = (GetWindowLongPtrW(label, GWL_STYLE) & SS_EDITCONTROL) ? DT_EDITCONTROL : 0;
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, f);
    DrawTextW(dc, buf, n, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS | edit);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    fits = need.right <= have.right && need.bottom <= have.bottom;
    GetWindowRect(box, &br);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &mi);
    onWorkArea = IntersectRect(&both, &br, &mi.rcWork) && EqualRect(&both, &br);
    PostMessageW(box, WM_COMMAND, IDNO, 0);
  });
  g_markAtDestroy = false;
  // Installed before the program's own hook, so it runs after it.
  HHOOK watch = SetWindowsHookExW(WH_CBT, WatchBoxDestroy, nullptr, GetCurrentThreadId());
  const MsgResult r = p->dialogs().MessageBox(FormId::Main, text, "TarvexSelfTestBox", MsgIcon::Question, MsgButtons::YesNoCancel);
  UnhookWindowsHookEx(watch);
  closer.join();
  CHECK(r == MsgResult::No);
  CHECK(charset == SHIFTJIS_CHARSET);
  CHECK(fits);
  CHECK(onWorkArea);
  CHECK(!g_markAtDestroy);
}

// Runs the message loop for a while (timers tick, posted messages arrive).
void Pump(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  MSG msg;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchOne(msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

// The tooltip keeps its own copy of the font it is given; what matters is
// that the copy asks for the Japanese character set.
bool JapaneseCharset(HFONT font) {
  LOGFONTW lf{};
  return font && GetObjectW(font, sizeof lf, &lf) && lf.lfCharSet == SHIFTJIS_CHARSET;
}

// Faults on reads near an address that is nobody's memory.
constexpr LPARAM kBogusAddress = 0x1234;
std::atomic<int> g_bogusReads{0};
LONG CALLBACK CountBogusReads(EXCEPTION_POINTERS* e) {
  const EXCEPTION_RECORD* r = e->ExceptionRecord;
  if (r->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && r->NumberParameters >= 2 &&
      r->ExceptionInformation[1] - kBogusAddress < 64)
    ++g_bogusReads;
  return EXCEPTION_CONTINUE_SEARCH;
}

RECT ChildRect(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool RectIs(HWND h, int l, int t, int w, int hgt) {
  const RECT r = ChildRect(h);
  return r.left == l && r.top == t && r.right - r.left == w && r.bottom - r.top == hgt;
}

void TestGadgetWindow() {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tarvex");
  // A stored position of (200, 100) px.
  HKEY k;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Tarvex\\startup", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k,
                  nullptr);
  RegSetValueExW(k, L"Top", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1500"), 10);
  RegSetValueExW(k, L"Left", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"3000"), 10);
  RegCloseKey(k);

  std::unique_ptr<Platform> platform = MakeWin32Platform();
  App app(*platform);
  HWND main = OpenMainWindow(app);
  CHECK(main != nullptr);
  if (!main) return;

  // The window: borderless popup, tool window, 191 x 95, no drops on it.
  RECT cr;
  GetClientRect(main, &cr);
  CHECK(cr.right == 191 && cr.bottom == 95);
  RECT wr;
  GetWindowRect(main, &wr);
  CHECK(wr.left == 200 && wr.top == 100 && wr.right - wr.left == 191);
  const LONG_PTR style = GetWindowLongPtrW(main, GWL_STYLE);
  const LONG_PTR ex = GetWindowLongPtrW(main, GWL_EXSTYLE);
  CHECK((style & WS_POPUP) && !(style & WS_CAPTION) && !(style & WS_THICKFRAME));
  CHECK((ex & WS_EX_TOOLWINDOW) && !(ex & WS_EX_ACCEPTFILES) && !(ex & WS_EX_APPWINDOW));
  wchar_t caption[16];
  GetWindowTextW(main, caption, 16);
  CHECK(std::wstring(caption) == L"Tarvex");

  // Child windows of exactly their bitmap sizes; only b_thaw takes drops.
  HWND close = ElementWindow(FormId::Main, "b_close");
  HWND hide = ElementWindow(FormId::Main, "b_hide");
  HWND rach = ElementWindow(FormId::Main, "b_rach");
  HWND thaw = ElementWindow(FormId::Main, "b_thaw");
  CHECK(close && RectIs(close, 95, 5, 17, 17));
  CHECK(hide && RectIs(hide, 112, 5, 17, 17));
  CHECK(rach && RectIs(rach, 129, 5, 35, 25));
  CHECK(thaw && RectIs(thaw, 94, 22, 35, 47));
  CHECK(RectIs(ElementWindow(FormId::Main, "Picture1"), 4, 5, 89, 24));
  CHECK(RectIs(ElementWindow(FormId::Main, "Picture2"), 4, 32, 89, 37));
  CHECK(GetWindowLongPtrW(thaw, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  CHECK(!(GetWindowLongPtrW(close, GWL_EXSTYLE) & WS_EX_ACCEPTFILES));
  CHECK(!(GetWindowLongPtrW(ElementWindow(FormId::Main, "Picture2"), GWL_EXSTYLE) & WS_EX_ACCEPTFILES));
  CHECK(ElementWindow(FormId::Main, "info") == nullptr);  // windowless

  // The hook is in place: the window's procedure is the routing procedure.
  CHECK(GetWindowLongPtrW(main, GWLP_WNDPROC) == RoutingProcAddress());

  // Four balloon tooltips owned by the main window, one tool each, blue on white.
  struct TipScan {
    HWND owner;
    int count = 0, good = 0;
  } scan{main};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND h, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<TipScan*>(lp);
        wchar_t cls[64];
        GetClassNameW(h, cls, 64);
        if (std::wstring(cls) == TOOLTIPS_CLASSW && GetWindow(h, GW_OWNER) == s->owner) {
          ++s->count;
          if (SendMessageW(h, TTM_GETTOOLCOUNT, 0, 0) == 1 && SendMessageW(h, TTM_GETTIPBKCOLOR, 0, 0) == 0x00A87038 &&
              SendMessageW(h, TTM_GETTIPTEXTCOLOR, 0, 0) == 0x00FFFFFF &&
              JapaneseCharset(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0))))
            ++s->good;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&scan));
  CHECK(scan.count == 4);
  CHECK(scan.good == 4);
  // They run on common controls version 6, the manifest's side-by-side
  // assembly: version 5 refuses the full-size tool record (Wine's does not).
  wchar_t controls[MAX_PATH] = L"";
  GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), controls, MAX_PATH);
  CHECK(wcsstr(_wcslwr(controls), L"common-controls_6595b64144ccf1df_6.") != nullptr);

  // The hand pointer over the four buttons, the arrow elsewhere.
  CHECK(TheLayer().handCursor != nullptr);
  const auto cursorOver = [&](HWND w, int x, int y) {
    POINT sp{x, y};
    ClientToScreen(w, &sp);
    SetCursorPos(sp.x, sp.y);
    SetCursor(nullptr);
    SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  };
  CHECK(cursorOver(close, 8, 8) == TheLayer().handCursor);
  CHECK(cursorOver(thaw, 17, 23) == TheLayer().handCursor);
  CHECK(cursorOver(ElementWindow(FormId::Main, "Picture1"), 40, 12) != TheLayer().handCursor);
  CHECK(cursorOver(main, 50, 70) != TheLayer().handCursor);
  SetCursorPos(1270, 10);
  // The pointer moves above queue real mouse input; drop it, so that it
  // cannot reach the gadget later in a different state.
  Sleep(100);
  MSG queued;
  while (PeekMessageW(&queued, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }

  ui::Form& model = app.MainForm();
  // Press and release on b_hide: pressed look with capture, normal look, then
  // the click hides the window far left.
  SendMessageW(hide, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  CHECK(model.Find("b_hide")->picture == Asset::Hide2);
  CHECK(GetCapture() == hide);
  SendMessageW(hide, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  CHECK(model.Find("b_hide")->picture == Asset::Hide1);
  CHECK(GetCapture() == nullptr);
  GetWindowRect(main, &wr);
  CHECK(wr.left == -3333 && wr.top == 100);
  CHECK(model.left == -50000.0f);

  // A click on the tray icon brings it back.
  SendMessageW(main, TrayCallbackMessage(), 1, WM_LBUTTONUP);
  GetWindowRect(main, &wr);
  CHECK(wr.left == 200 && wr.top == 100);
  // Other tray mouse messages do nothing.
  SendMessageW(hide, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(hide, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  SendMessageW(main, TrayCallbackMessage(), 1, WM_MOUSEMOVE);
  GetWindowRect(main, &wr);
  CHECK(wr.left == -3333);
  SendMessageW(main, TrayCallbackMessage(), 1, WM_LBUTTONUP);

  // The capture taken away in mid-press (Alt+Tab, a dialog): the button is
  // drawn normal again (white highlight at (1, 1)) and does not click.
  const auto highlight = [](HWND w) {
    UpdateWindow(w);
    HDC dc = GetDC(w);
    const COLORREF c = GetPixel(dc, 1, 1);
    ReleaseDC(w, dc);
    return c;
  };
  SendMessageW(hide, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  CHECK(highlight(hide) == RGB(162, 181, 255));
  SetCapture(main);
  CHECK(highlight(hide) == RGB(255, 255, 255));
  ReleaseCapture();
  GetWindowRect(main, &wr);
  CHECK(wr.left == 200);

  // Released off the button: normal look again, no click (window stays).
  SendMessageW(close, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  CHECK(model.Find("b_close")->picture == Asset::Close2);
  SendMessageW(close, WM_LBUTTONUP, 0, MAKELPARAM(60, 60));
  CHECK(model.Find("b_close")->picture == Asset::Close1);
  CHECK(IsWindow(main));
  // A right click on the close button shows the looks but does not close.
  SendMessageW(close, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
  CHECK(model.Find("b_close")->picture == Asset::Close2);
  SendMessageW(close, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
  CHECK(model.Find("b_close")->picture == Asset::Close1);
  CHECK(IsWindow(main));
  // Two buttons held: the first release restores the normal look.
  SendMessageW(rach, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
  SendMessageW(rach, WM_LBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(5, 5));
  SendMessageW(rach, WM_RBUTTONUP, MK_LBUTTON, MAKELPARAM(5, 5));
  CHECK(model.Find("b_rach")->picture == Asset::Settings1);
  CHECK(GetCapture() == nullptr);
  SendMessageW(rach, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));  // a later release is no click
  CHECK(!IsWindow(ElementWindow(FormId::Care, "actc")) || !IsWindowVisible(TheLayer().care.hwnd));

  // The first second: the settle step empties the status line and starts Timer1.
  CHECK(model.Find("info")->text != "");
  Pump(1500);
  CHECK(model.Find("info")->text.empty());
  CHECK(model.Find("Timer1")->interval == 200);
  // Settle found a stored Top: the window stands at the stored place again.
  GetWindowRect(main, &wr);
  CHECK(wr.left == 200 && wr.top == 100);
  // The settings window exists hidden, with its check box from the model.
  HWND care = TheLayer().care.hwnd;
  CHECK(care && !IsWindowVisible(care));
  HWND actc = ElementWindow(FormId::Care, "actc");
  CHECK(actc && SendMessageW(actc, BM_GETCHECK, 0, 0) == BST_UNCHECKED);
  CHECK(ElementWindow(FormId::Care, "Command2") == nullptr);  // parked: not realised
  if (care) {
    RECT ccr;
    GetClientRect(care, &ccr);
    CHECK(ccr.right == 191 && ccr.bottom == 65);
    CHECK(GetWindowLongPtrW(care, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    CHECK(GetWindow(care, GW_OWNER) == main);
  }

  // Mouse moves write the position only over the bare body (lines are body,
  // frame pieces and labels are not).
  const auto stored = [] {
    wchar_t v[32];
    DWORD n = sizeof v;
    return RegGetValueW(HKEY_CURRENT_USER, L"Software\\Tarvex\\startup", L"Top", RRF_RT_REG_SZ, nullptr, v, &n) ==
                   ERROR_SUCCESS
               ? std::wstring(v)
               : std::wstring(L"-");
  };
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tarvex");
  SendMessageW(main, WM_MOUSEMOVE, 0, MAKELPARAM(0, 0));   // frame corner
  SendMessageW(main, WM_MOUSEMOVE, 0, MAKELPARAM(20, 78));  // status label
  CHECK(stored() == L"-");
  SendMessageW(main, WM_MOUSEMOVE, 0, MAKELPARAM(169, 40));  // separator line
  CHECK(stored() == L"1500");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tarvex");
  SendMessageW(main, WM_MOUSEMOVE, MK_RBUTTON, MAKELPARAM(50, 70));  // body, right button: no drag
  CHECK(stored() == L"1500");

  // A move the core did not make is reported back to it.
  SetWindowPos(main, nullptr, 260, 130, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  CHECK(model.left == 260.0f * 15 && model.top == 130.0f * 15);

  // A WM_NOTIFY sent from another thread may point anywhere: it is never
  // read. Wine swallows a fault in a cross-thread send, so the reads are
  // counted where every fault is seen first.
  PVOID veh = AddVectoredExceptionHandler(1, CountBogusReads);
  std::atomic<bool> sent{false};
  std::thread sender([&] {
    DWORD_PTR r;
    SendMessageTimeoutW(main, WM_NOTIFY, 0, kBogusAddress, SMTO_NORMAL, 3000, &r);
    sent = true;
  });
  while (!sent) Pump(20);
  sender.join();
  RemoveVectoredExceptionHandler(veh);
  CHECK(g_bogusReads == 0);

  // Close request: the save runs, the window goes, the loop would end.
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tarvex");
  SendMessageW(main, WM_CLOSE, 0, 0);
  CHECK(!IsWindow(main));
  CHECK(stored() == L"1950");
  MSG msg;
  bool quit = false;
  const DWORD end = GetTickCount() + 3000;
  while (!quit && static_cast<LONG>(end - GetTickCount()) > 0) {
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) quit = true;
      else DispatchOne(msg);
    } else {
      Sleep(10);
    }
  }
  CHECK(quit);
  CloseLayerWindows();
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tarvex");
}

}  // namespace

int main() {
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_WIN95_CLASSES;
  InitCommonControlsEx(&icc);
  OleInitialize(nullptr);
  HINSTANCE inst = GetModuleHandleW(nullptr);
  InitLayer(inst);
  if (!RegisterWindowClasses(inst)) {
    std::printf("FAIL: window classes\n");
    return 1;
  }
  TestConversions();
  TestPaintMain();
  TestPaintDigits();
  TestHitTest();
  TestPlatformServices();
  TestMessageBox(std::string(extract::kHelpText));
  std::string path = "C:\\Users\\someone\\Desktop\\";
  for (int i = 0; i < 12; ++i) path += "a_rather_long_folder_name_" + std::to_string(i) + "\\";
  TestMessageBox(std::string(extract::kSuccessText) + path);
  TestGadgetWindow();
  ShutdownLayer();
  OleUninitialize();
  std::printf("%d checks, %d failed\n", g_checks, g_failures);
  return g_failures == 0 ? 0 : 1;
}
