#include "shell/dialogs_win32.h"

#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "ui/convert_win32.h"

namespace tarvex::win32 {
namespace {

// Japanese-capable font for the system's own dialogs. Their default font
// shows Japanese only where the system's fallback fonts provide it; while a
// DialogFont lives, a hook gives each dialog that this thread opens the same
// Japanese character set font as the gadget, at the dialog's own size, and
// fits a message box's text and the box to it. A box opened while another is
// open shares the outer one's hook and font.
class DialogFont {
 public:
  DialogFont();
  ~DialogFont();
  DialogFont(const DialogFont&) = delete;
  DialogFont& operator=(const DialogFont&) = delete;

 private:
  static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
  static void CALLBACK FitLater(HWND dialog, UINT, UINT_PTR id, DWORD);

  // A hook procedure gets no context of its own: it finds the outermost
  // DialogFont of the thread here, set only while its hook is in place.
  static thread_local DialogFont* active_;
  bool outermost_ = false;
  Font font_;  // made at the first dialog, from that dialog's own font
  WindowsHook hook_;
};

thread_local DialogFont* DialogFont::active_ = nullptr;

BOOL CALLBACK SetFontOnChild(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

// A font of the same height as the dialog's, asking for the Japanese set.
HFONT FontLike(HWND dialog) {
  LOGFONTW lf{};
  HFONT current = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  if (!current || !GetObjectW(current, sizeof lf, &lf)) lf.lfHeight = -12;
  LOGFONTW jf{};
  jf.lfHeight = lf.lfHeight;
  jf.lfWeight = FW_NORMAL;
  jf.lfCharSet = SHIFTJIS_CHARSET;
  jf.lfQuality = DEFAULT_QUALITY;
  wcscpy_s(jf.lfFaceName, L"MS UI Gothic");
  return CreateFontIndirectW(&jf);
}

bool IsDialogClass(HWND hwnd) {
  wchar_t cls[16];
  return GetClassNameW(hwnd, cls, 16) && std::wstring(cls) == L"#32770";
}

// The work area of the monitor a window is on.
RECT WorkAreaOf(HWND hwnd) {
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &mi)) return mi.rcWork;
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

// The size the text needs when drawn as the static control draws it, wrapped
// at `width`.
SIZE MeasureWrapped(HDC dc, const std::wstring& s, int width, UINT flags) {
  RECT r{0, 0, width, 0};
  DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &r, DT_CALCRECT | flags);
  return SIZE{r.right, r.bottom};
}

// The message text of a message box is the static control with id 0xFFFF;
// it wraps long lines at its width. Under the new font the text is measured
// the same way: the height grows to take the wrapped lines; the width grows
// only for a word longer than a line, and never so far that the box leaves
// the work area of its monitor or gets too wide to read (a word still too
// long, such as a deep folder path, is then broken inside, as an edit
// control breaks it). The buttons below the text follow, and the box is
// kept on the work area.
void FitMessageText(HWND box, HFONT font) {
  HWND text = GetDlgItem(box, 0xFFFF);
  if (!text) return;
  const int len = GetWindowTextLengthW(text);
  if (len <= 0) return;
  std::wstring s(static_cast<std::size_t>(len) + 1, L'\0');
  GetWindowTextW(text, s.data(), len + 1);
  s.resize(static_cast<std::size_t>(len));
  RECT tr, br;
  GetWindowRect(text, &tr);
  GetWindowRect(box, &br);
  const RECT work = WorkAreaOf(box);
  const int w0 = tr.right - tr.left, h0 = tr.bottom - tr.top;
  const int boxW = br.right - br.left, boxH = br.bottom - br.top;
  const int workW = work.right - work.left, workH = work.bottom - work.top;
  // A line takes at most three quarters of the work area's width: room for
  // a long path, still short enough to read; the box around it must fit.
  const int maxW = std::max(1, std::min(workW * 3 / 4, workW - (boxW - w0)));
  const int maxH = std::max(1, workH - (boxH - h0));

  const LONG_PTR style = GetWindowLongPtrW(text, GWL_STYLE);
  UINT flags = DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0) |
               ((style & SS_EDITCONTROL) ? DT_EDITCONTROL : 0);
  int w = std::min(w0, maxW);
  SIZE need;
  {
    const ClientDC dc(text);
    const Selection selected(dc.get(), font);
    need = MeasureWrapped(dc.get(), s, w, flags);
    if (need.cx > w) {
      w = std::min<int>(need.cx, maxW);
      need = MeasureWrapped(dc.get(), s, w, flags);
    }
    if (need.cx > w) {
      SetWindowLongPtrW(text, GWL_STYLE, style | SS_EDITCONTROL);
      flags |= DT_EDITCONTROL;
      need = MeasureWrapped(dc.get(), s, w, flags);
    }
  }
  const int h = std::min(std::max<int>(need.cy, h0), maxH);
  const int dx = w - w0, dy = h - h0;

  if (dx != 0 || dy != 0) {
    SetWindowPos(text, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The buttons move down by the added height and sideways by half the
    // width change, so that they stay centred; then the box follows.
    std::vector<std::pair<HWND, POINT>> buttons;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      wchar_t cls[16];
      if (c == text || !GetClassNameW(c, cls, 16) || _wcsicmp(cls, L"Button") != 0) continue;
      RECT cr;
      GetWindowRect(c, &cr);
      POINT p{cr.left, cr.top};
      ScreenToClient(box, &p);
      buttons.emplace_back(c, p);
    }
    for (const auto& [c, p] : buttons)
      SetWindowPos(c, nullptr, p.x + dx / 2, p.y + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // Centred where the box was, then moved onto the work area.
  const int bw = boxW + dx, bh = boxH + dy;
  const int left = std::max<int>(work.left, std::min<int>(br.left - dx / 2, work.right - bw));
  const int top = std::max<int>(work.top, std::min<int>(br.top - dy / 2, work.bottom - bh));
  SetWindowPos(box, nullptr, left, top, bw, bh, SWP_NOZORDER | SWP_NOACTIVATE);
}

constexpr UINT_PTR kFitTimer = 0x7A57;
constexpr wchar_t kFontGiven[] = L"TarvexJapaneseFont";  // marks a dialog already done

DialogFont::DialogFont() {
  if (active_) return;
  outermost_ = true;
  active_ = this;
  hook_.reset(SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId()));
}

DialogFont::~DialogFont() {
  if (!outermost_) return;
  hook_.reset();
  active_ = nullptr;
  // font_ goes last: the dialogs that used it are closed.
}

void CALLBACK DialogFont::FitLater(HWND dialog, UINT, UINT_PTR id, DWORD) {
  KillTimer(dialog, id);
  if (active_ && active_->font_) FitMessageText(dialog, active_->font_.get());
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

LRESULT CALLBACK DialogFont::CbtProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_DESTROYWND) {
    // A window's properties must be taken off before it is destroyed.
    RemovePropW(reinterpret_cast<HWND>(wParam), kFontGiven);
  } else if (code == HCBT_ACTIVATE && active_) {
    HWND dialog = reinterpret_cast<HWND>(wParam);
    if (IsDialogClass(dialog) && !GetPropW(dialog, kFontGiven)) {
      SetPropW(dialog, kFontGiven, reinterpret_cast<HANDLE>(1));
      if (!active_->font_) active_->font_.reset(FontLike(dialog));
      if (HFONT font = active_->font_.get()) {
        EnumChildWindows(dialog, SetFontOnChild, reinterpret_cast<LPARAM>(font));
        // The dialog may still be laying itself out; fit the text once its
        // own set-up is over, from its first timer message.
        SetTimer(dialog, kFitTimer, 1, FitLater);
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

HWND Win32Dialogs::OwnerOf(FormId form) const {
  HWND owner = windowOf_(form);
  if (!owner || !IsWindowVisible(owner)) owner = windowOf_(FormId::Main);
  return owner;
}

MsgResult Win32Dialogs::MessageBox(FormId owner, std::string_view text, std::string_view caption, MsgIcon icon,
                                   MsgButtons buttons) {
  UINT type = buttons == MsgButtons::YesNoCancel ? MB_YESNOCANCEL : MB_OK;
  switch (icon) {
    case MsgIcon::Information: type |= MB_ICONINFORMATION; break;
    case MsgIcon::Warning: type |= MB_ICONEXCLAMATION; break;
    case MsgIcon::Question: type |= MB_ICONQUESTION; break;
  }
  const std::wstring t = Widen(text), c = Widen(caption);
  const HWND o = OwnerOf(owner);
  const DialogFont font;
  switch (::MessageBoxW(o, t.c_str(), c.c_str(), type)) {
    case IDYES: return MsgResult::Yes;
    case IDNO: return MsgResult::No;
    case IDCANCEL: return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    default: return MsgResult::Ok;
  }
}

std::optional<std::string> Win32Dialogs::BrowseForFolder(FormId owner, std::string_view title) {
  const std::wstring t = Widen(title);
  BROWSEINFOW bi{};
  bi.hwndOwner = windowOf_(owner) ? windowOf_(owner) : windowOf_(FormId::Main);
  bi.lpszTitle = t.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS;
  CoTaskMemory<ITEMIDLIST> pidl;
  {
    const DialogFont font;
    pidl.reset(SHBrowseForFolderW(&bi));
  }
  if (!pidl) return std::nullopt;
  // Room for long paths; a choice without a file-system path counts as a cancel.
  std::wstring path(32768, L'\0');
  BOOL ok = SHGetPathFromIDListEx(pidl.get(), path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
  if (!ok) ok = SHGetPathFromIDListW(pidl.get(), path.data());  // systems without the long form
  path.resize(wcsnlen(path.c_str(), path.size()));
  if (!ok || path.empty()) return std::nullopt;
  return Narrow(path);
}

}  // namespace tarvex::win32
