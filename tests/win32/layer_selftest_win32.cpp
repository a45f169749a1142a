// Self-test of the Win32 layer, run under Wine (or Windows) with a display:
// painting of the windowless elements pixel by pixel, hit-testing, text and
// unit conversions, the registry store, and the real gadget window driven by
// window messages (child window sizes, drop acceptance, capture, clicks,
// hide and tray restore, timers, tooltips, the message hook, close and save).
// Prints one line per failed check and exits non-zero when any failed.
#include "ui/handles_win32.h"

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "chrome/frame.h"
#include "drop/extraction_flow.h"
#include "shell/app.h"
#include "shell/platform_win32.h"
#include "ui/element_names.h"
#include "ui/message_loop_win32.h"
#include "ui/paint_win32.h"

using namespace tarvex;
using namespace tarvex::win32;
namespace names = tarvex::ui::names;

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
  void* pixels = nullptr;
  int w = 0, h = 0;
  Bitmap bmp;
  MemoryDC memory;
  Selection selected;
  HDC dc = nullptr;
  Canvas(int width, int height) : w(width), h(height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    bmp.reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pixels, nullptr, 0));
    memory.reset(CreateCompatibleDC(nullptr));
    dc = memory.get();
    selected = Selection(dc, bmp.get());
  }
  ~Canvas() { selected.reset(); }
  std::uint32_t At(int x, int y) const {
    GdiFlush();
    return static_cast<const std::uint32_t*>(pixels)[y * w + x] & 0xFFFFFF;
  }
  RECT Rect() const { return RECT{0, 0, w, h}; }
};

// The element model without windows: changes go nowhere.
struct NoWindows final : ui::FormView {
  void Invalidate(FormId, std::string_view) override {}
  void TimerChanged(FormId, std::string_view, int, bool) override {}
};

// Paints one container of a form the way its window does, at scale 1.
struct Painting {
  explicit Painting(Resources& res) : painter(res.pictures(), res.labelFont(), scale) {}
  void Paint(Canvas& c, const ui::Form& form, std::string_view container = "") {
    painter.PaintContainer(c.dc, form, container, c.Rect(), drawn);
  }
  Scale scale;
  ElementPainter painter;
  DrawnAreas drawn;
};

void TestConversions() {
  CHECK(ui::TwipsToPx(2865) == 191);
  CHECK(ui::TwipsToPx(1425) == 95);
  CHECK(ui::TwipsToPx(-50000) == -3333);
  CHECK(ui::TwipsToPx(7) == 0 && ui::TwipsToPx(8) == 1);
  CHECK(ToColorRef(ui::Rgb(56, 112, 168)) == 0x00A87038);
  const std::string ja = "\xE5\xB8\xB8\xE3\x81\xAB\xE6\x9C\x80\xE5\x89\x8D\xE9\x9D\xA2 \xF0\x9F\x98\x80 a";
  const std::wstring w = Widen(ja);
  // Five characters, a space, one character outside the BMP (two units), a space, "a".
  CHECK(w.size() == 10);
  CHECK(w.size() == 10 && w[0] == 0x5E38 && w[6] == 0xD83D && w[7] == 0xDE00 && w[9] == L'a');
  CHECK(Narrow(w) == ja);
  CHECK(Widen("").empty() && Narrow(L"").empty());
}

void TestPaintMain(Resources& res) {
  NoWindows view;
  ui::Form form = ui::MakeMainForm();
  chrome::LayoutFrame(view, form);
  Canvas c(191, 95);
  Painting painting(res);
  painting.Paint(c, form);
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
  ui::Element* info = form.Find(names::kInfo);
  info->text.clear();
  painting.Paint(c, form);
  int litAfter = 0;
  for (int y = 73; y < 90; ++y)
    for (int x = 10; x < 120; ++x) litAfter += c.At(x, y) == 0xB7C6FF;
  CHECK(litAfter == 0);

  // A picture that is not in the resources draws nothing (and does not fail).
  ui::Element* grip = form.Find(names::kImage6);
  grip->picture = static_cast<Asset>(777);
  painting.Paint(c, form);
  CHECK_PIXEL(c, 178, 40, 0xA2B5FF);
}

void TestPaintDigits(Resources& res) {
  ui::Form form = ui::MakeMainForm();
  Canvas c(89, 24);
  Painting painting(res);
  painting.Paint(c, form, names::kPicture1);
  // Panel edges: top/left (113, 111, 100), bottom/right white.
  CHECK_PIXEL(c, 0, 0, 0x716F64);
  CHECK_PIXEL(c, 88, 23, 0xFFFFFF);
  // `t1` at (8, 8) shows 0: top row lit, inner pixels show the black panel.
  CHECK_PIXEL(c, 8, 8, 0x6BC6FF);
  CHECK_PIXEL(c, 13, 8, 0x6BC6FF);
  CHECK_PIXEL(c, 9, 9, 0x000000);
  CHECK_PIXEL(c, 8, 9, 0x6BC6FF);
  // Switching `t1` to 1 (".XXX.." on top, "...X.." below).
  form.Find(names::kT1)->picture = DigitAsset(1);
  painting.Paint(c, form, names::kPicture1);
  CHECK_PIXEL(c, 8, 8, 0x000000);
  CHECK_PIXEL(c, 9, 8, 0x6BC6FF);
  CHECK_PIXEL(c, 11, 10, 0x6BC6FF);
  CHECK_PIXEL(c, 8, 9, 0x000000);
  // The slash stays as it was: 3 x 7 at (22, 8), never covering the next cell.
  CHECK_PIXEL(c, 25, 8, 0x000000);
  // Every drawn cell was recorded at its place, for partial repaints.
  const auto t1 = painting.drawn.find(names::kT1);
  CHECK(t1 != painting.drawn.end() && t1->second.left == 8 && t1->second.right == 14);
}

void TestHitTest(Resources& res) {
  ui::Form form = ui::MakeMainForm();
  NoWindows view;
  chrome::LayoutFrame(view, form);
  Painting painting(res);
  const auto at = [&](int x, int y, std::string_view container = "") {
    const ui::Element* e = painting.painter.HitTest(form, container, POINT{x, y});
    return e ? e->name : std::string();
  };
  CHECK(at(50, 70).empty());        // bare body
  CHECK(at(169, 40).empty());       // the separator lines take no mouse events
  CHECK(at(168, 40).empty());
  CHECK(at(0, 0) == names::kLt);          // frame pieces are elements, not body
  CHECK(at(100, 94) == names::kMb);
  CHECK(at(190, 50) == names::kRm);
  CHECK(at(175, 40) == names::kImage6);   // the grip
  CHECK(at(20, 78) == names::kInfo);      // the label lies above the status bar
  CHECK(at(150, 85) == names::kImage5);
  CHECK(at(9, 9, names::kPicture1) == names::kT1);
  CHECK(at(3, 3, names::kPicture1).empty());
  CHECK(at(300, 20).empty());       // outside the client area
  // Unstretched images take their picture's size, stretched ones their own.
  const RECT grip = painting.painter.Area(*form.Find(names::kImage6));
  CHECK(grip.left == 171 && grip.top == 4 && grip.right == 187 && grip.bottom == 92);
  const RECT bar = painting.painter.Area(*form.Find(names::kImage5));
  CHECK(bar.left == 4 && bar.top == 72 && bar.right == 164 && bar.bottom == 91);
}

void TestPlatformServices(Resources& res) {
  auto p = std::make_unique<Win32Platform>(res);
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

void TestMessageBox(Resources& res, const std::string& text) {
  auto p = std::make_unique<Win32Platform>(res);
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
    {
      const ClientDC dc(label);
      const Selection font(dc.get(), f);
      DrawTextW(dc.get(), buf, n, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS | edit);
    }
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
  WindowsHook watch(SetWindowsHookExW(WH_CBT, WatchBoxDestroy, nullptr, GetCurrentThreadId()));
  const MsgResult r =
      p->dialogs().MessageBox(FormId::Main, text, "TarvexSelfTestBox", MsgIcon::Question, MsgButtons::YesNoCancel);
  watch.reset();
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

void TestGadgetWindow(Resources& res) {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tarvex");
  // A stored position of (200, 100) px.
  Win32Platform platform(res);
  platform.SaveSetting("Tarvex", "startup", "Top", "1500");
  platform.SaveSetting("Tarvex", "startup", "Left", "3000");

  App app(platform);
  CHECK(platform.Open(app));
  MainWindow& mainWindow = *platform.mainWindow();
  HWND main = mainWindow.hwnd();
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
  HWND close = mainWindow.Child(names::kBClose);
  HWND hide = mainWindow.Child(names::kBHide);
  HWND rach = mainWindow.Child(names::kBRach);
  HWND thaw = mainWindow.Child(names::kBThaw);
  CHECK(close && RectIs(close, 95, 5, 17, 17));
  CHECK(hide && RectIs(hide, 112, 5, 17, 17));
  CHECK(rach && RectIs(rach, 129, 5, 35, 25));
  CHECK(thaw && RectIs(thaw, 94, 22, 35, 47));
  CHECK(RectIs(mainWindow.Child(names::kPicture1), 4, 5, 89, 24));
  CHECK(RectIs(mainWindow.Child(names::kPicture2), 4, 32, 89, 37));
  CHECK(GetWindowLongPtrW(thaw, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  CHECK(!(GetWindowLongPtrW(close, GWL_EXSTYLE) & WS_EX_ACCEPTFILES));
  CHECK(!(GetWindowLongPtrW(mainWindow.Child(names::kPicture2), GWL_EXSTYLE) & WS_EX_ACCEPTFILES));
  CHECK(mainWindow.Child(names::kInfo) == nullptr);  // windowless

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
  CHECK(res.handCursor() != nullptr);
  const auto cursorOver = [&](HWND w, int x, int y) {
    POINT sp{x, y};
    ClientToScreen(w, &sp);
    SetCursorPos(sp.x, sp.y);
    SetCursor(nullptr);
    SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  };
  CHECK(cursorOver(close, 8, 8) == res.handCursor());
  CHECK(cursorOver(thaw, 17, 23) == res.handCursor());
  CHECK(cursorOver(mainWindow.Child(names::kPicture1), 40, 12) != res.handCursor());
  CHECK(cursorOver(main, 50, 70) != res.handCursor());
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
  CHECK(model.Find(names::kBHide)->picture == Asset::Hide2);
  CHECK(GetCapture() == hide);
  SendMessageW(hide, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  CHECK(model.Find(names::kBHide)->picture == Asset::Hide1);
  CHECK(GetCapture() == nullptr);
  GetWindowRect(main, &wr);
  CHECK(wr.left == -3333 && wr.top == 100);
  CHECK(model.left == -50000.0f);

  // A click on the tray icon brings it back.
  SendMessageW(main, TrayIcon::kCallbackMessage, 1, WM_LBUTTONUP);
  GetWindowRect(main, &wr);
  CHECK(wr.left == 200 && wr.top == 100);
  // Other tray mouse messages do nothing.
  SendMessageW(hide, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(hide, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  SendMessageW(main, TrayIcon::kCallbackMessage, 1, WM_MOUSEMOVE);
  GetWindowRect(main, &wr);
  CHECK(wr.left == -3333);
  SendMessageW(main, TrayIcon::kCallbackMessage, 1, WM_LBUTTONUP);

  // The capture taken away in mid-press (Alt+Tab, a dialog): the button is
  // drawn normal again (white highlight at (1, 1)) and does not click.
  const auto highlight = [](HWND w) {
    UpdateWindow(w);
    const ClientDC dc(w);
    return GetPixel(dc.get(), 1, 1);
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
  CHECK(model.Find(names::kBClose)->picture == Asset::Close2);
  SendMessageW(close, WM_LBUTTONUP, 0, MAKELPARAM(60, 60));
  CHECK(model.Find(names::kBClose)->picture == Asset::Close1);
  CHECK(IsWindow(main));
  // A right click on the close button shows the looks but does not close.
  SendMessageW(close, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
  CHECK(model.Find(names::kBClose)->picture == Asset::Close2);
  SendMessageW(close, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
  CHECK(model.Find(names::kBClose)->picture == Asset::Close1);
  CHECK(IsWindow(main));
  // Two buttons held: the first release restores the normal look.
  SendMessageW(rach, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
  SendMessageW(rach, WM_LBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(5, 5));
  SendMessageW(rach, WM_RBUTTONUP, MK_LBUTTON, MAKELPARAM(5, 5));
  CHECK(model.Find(names::kBRach)->picture == Asset::Settings1);
  CHECK(GetCapture() == nullptr);
  SendMessageW(rach, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));  // a later release is no click
  FormWindow& settings = *platform.settingsWindow();
  CHECK(!IsWindow(settings.Child(names::kActc)) || !IsWindowVisible(settings.hwnd()));

  // The first second: the settle step empties the status line and starts Timer1.
  CHECK(model.Find(names::kInfo)->text != "");
  Pump(1500);
  CHECK(model.Find(names::kInfo)->text.empty());
  CHECK(model.Find(names::kTimer1)->interval == 200);
  // Settle found a stored Top: the window stands at the stored place again.
  GetWindowRect(main, &wr);
  CHECK(wr.left == 200 && wr.top == 100);
  // The settings window exists hidden, with its check box from the model.
  HWND care = settings.hwnd();
  CHECK(care && !IsWindowVisible(care));
  HWND actc = settings.Child(names::kActc);
  CHECK(actc && SendMessageW(actc, BM_GETCHECK, 0, 0) == BST_UNCHECKED);
  CHECK(settings.Child(names::kCommand2) == nullptr);  // parked: not realised
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
  platform.Close();
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tarvex");
}

}  // namespace

int main() {
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_WIN95_CLASSES;
  InitCommonControlsEx(&icc);
  const OleSession ole;
  Resources res(GetModuleHandleW(nullptr));
  const WindowClasses classes = FormWindow::RegisterClasses(res);
  if (!classes) {
    std::printf("FAIL: window classes\n");
    return 1;
  }
  TestConversions();
  TestPaintMain(res);
  TestPaintDigits(res);
  TestHitTest(res);
  TestPlatformServices(res);
  TestMessageBox(res, std::string(drop::kHelpText));
  std::string path = "C:\\Users\\someone\\Desktop\\";
  for (int i = 0; i < 12; ++i) path += "a_rather_long_folder_name_" + std::to_string(i) + "\\";
  TestMessageBox(res, std::string(drop::kSuccessText) + path);
  TestGadgetWindow(res);
  std::printf("%d checks, %d failed\n", g_checks, g_failures);
  return g_failures == 0 ? 0 : 1;
}
