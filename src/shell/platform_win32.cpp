// The platform services of the core, each with the real Win32 call: the
// per-user settings in the registry, window placement, memory status, the
// local time, the tray, tooltips, the message hook, the window drag, message
// boxes, the folder picker and the archivers.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <vector>

#include "shell/layer_win32.h"
#include "extract/archiver.h"
#include "shell/dialog_font_win32.h"
#include "shell/platform_win32.h"
#include "shell/settings_store.h"

namespace tarvex::win32 {

Layer& TheLayer() {
  static Layer layer;
  return layer;
}

FormWindow& Window(FormId form) {
  Layer& L = TheLayer();
  return form == FormId::Main ? L.main : L.care;
}

ui::Form* Model(FormId form) {
  App* app = TheLayer().app;
  if (!app) return nullptr;
  return form == FormId::Main ? &app->MainForm() : app->CareForm();
}

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), s.data(), n, nullptr, nullptr);
  return s;
}

int TwipsToPx(float twips) {
  return static_cast<int>(std::lround(static_cast<double>(twips) / ui::kTwipsPerPixel));
}

COLORREF ToColorRef(std::uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

namespace {

HWND H(Handle h) { return reinterpret_cast<HWND>(h); }
Handle ToHandle(HWND h) { return reinterpret_cast<Handle>(h); }

std::wstring SettingsKey(std::string_view app, std::string_view section) {
  return L"Software\\" + Widen(app) + L"\\" + Widen(section);
}

// Answers the archivers' one question with a box owned by the main window.
class BoxHost : public extract::ExtractHost {
 public:
  extract::OverwriteAnswer AskOverwrite(int count) override {
    // "展開先に同じ名前のファイルが N 個あります。" CR LF "上書きしますか？"
    std::wstring text = L"\u5C55\u958B\u5148\u306B\u540C\u3058\u540D\u524D\u306E\u30D5\u30A1\u30A4\u30EB\u304C ";
    text += std::to_wstring(count);
    text += L" \u500B\u3042\u308A\u307E\u3059\u3002\r\n\u4E0A\u66F8\u304D\u3057\u307E\u3059\u304B\uFF1F";
    JapaneseDialogFont font;
    const int r = ::MessageBoxW(TheLayer().main.hwnd, text.c_str(), L"Tarvex", MB_YESNOCANCEL | MB_ICONQUESTION);
    if (r == IDYES) return extract::OverwriteAnswer::Yes;
    if (r == IDNO) return extract::OverwriteAnswer::No;
    return extract::OverwriteAnswer::Cancel;
  }
};

class Win32Platform final : public Platform, public Dialogs {
 public:
  std::string GetSetting(std::string_view app, std::string_view section, std::string_view key,
                         std::string_view def) override {
    const std::wstring sub = SettingsKey(app, section);
    const std::wstring name = Widen(key);
    const auto data = ReadSizedValue([&](unsigned char* buffer, std::uint32_t& bytes) {
      DWORD n = bytes;
      const LSTATUS r = RegGetValueW(HKEY_CURRENT_USER, sub.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &n);
      bytes = n;
      if (r == ERROR_SUCCESS) return SizedRead::Done;
      return r == ERROR_MORE_DATA ? SizedRead::TooSmall : SizedRead::Failed;
    });
    if (!data) return std::string(def);
    std::wstring text(data->size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data->data(), text.size() * sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), text.size()));
    return Narrow(text);
  }

  void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view value) override {
    const std::wstring sub = SettingsKey(app, section);
    HKEY k;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
      return;
    const std::wstring name = Widen(key);
    const std::wstring v = Widen(value);
    RegSetValueExW(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                   static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
  }

  Handle WindowHandle(FormId form) override { return ToHandle(Window(form).hwnd); }
  void MoveWindowPx(FormId form, int leftPx, int topPx) override { MoveFormWindow(form, leftPx, topPx); }

  void SetTopmost(FormId form) override {
    if (HWND h = Window(form).hwnd) SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
  }
  void ClearWindowRegion(FormId form) override {
    if (HWND h = Window(form).hwnd) SetWindowRgn(h, nullptr, TRUE);
  }
  void Invalidate(FormId form, std::string_view element) override { InvalidateElement(form, element); }
  void TimerChanged(FormId form, std::string_view timer, int interval, bool enabled) override {
    SetFormTimer(form, timer, interval, enabled);
  }

  void CreateForm(FormId form) override { CreateFormWindow(form); }
  void DestroyForm(FormId form) override {
    if (form == FormId::Care) HideCare();
    DestroyFormWindow(form);
  }
  void HideForm(FormId form) override {
    if (form == FormId::Care) {
      HideCare();
    } else if (HWND h = Window(form).hwnd) {
      ShowWindow(h, SW_HIDE);
    }
  }
  void ShowModal(FormId form) override {
    if (form == FormId::Care) ShowCareModal();
  }
  void SetCheck(FormId form, std::string_view element, int value) override {
    if (form == FormId::Care) SetCareCheck(element, value);
  }

  std::optional<MemoryStatus> GetMemoryStatus() override {
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    if (!GlobalMemoryStatusEx(&ms)) return std::nullopt;
    return MemoryStatus{ms.ullTotalPhys, ms.ullAvailPhys};
  }

  ClockTime LocalTime() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return ClockTime{st.wMonth, st.wDay, st.wHour, st.wMinute};
  }

  void TraySetTip(std::string_view tip) override { TraySetTipText(tip); }
  void TrayShow() override { TrayAdd(); }
  void TrayRemove() override { TrayDelete(); }

  void AddBalloonTip(FormId form, const chrome::BalloonTip& tip) override {
    HWND owner = Window(form).hwnd;
    HWND window = CreateTooltip(owner, TTS_ALWAYSTIP | TTS_BALLOON);
    if (!window) return;
    tips_.push_back(window);
    TooltipMaxWidth(window, 1000);
    TooltipColors(window, true, ToColorRef(tip.backColor));
    TooltipColors(window, false, ToColorRef(tip.textColor));
    TooltipTitle(window, TTI_INFO, tip.title);
    win32::TooltipAddTool(window, TTF_IDISHWND | TTF_SUBCLASS, owner,
                          reinterpret_cast<UINT_PTR>(ElementWindow(form, tip.button)), tip.body);
  }
  void RemoveBalloonTips(FormId) override {
    for (HWND t : tips_)
      if (IsWindow(t)) DestroyWindow(t);
    tips_.clear();
  }
  Dialogs& dialogs() override { return *this; }

  Proc SetWindowProc(Handle window, Proc proc) override {
    return static_cast<Proc>(ExchangeWindowProc(H(window), static_cast<LONG_PTR>(proc)));
  }
  LResult CallWindowProcedure(Proc proc, Handle window, std::uint32_t msg, std::uintptr_t wParam,
                              std::intptr_t lParam) override {
    return static_cast<LResult>(CallSavedProc(static_cast<LONG_PTR>(proc), H(window), msg,
                                              static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
  }
  Proc SubclassProcAddress() override { return static_cast<Proc>(RoutingProcAddress()); }

  void DragWindow(FormId form) override {
    ReleaseCapture();
    StartCaptionDrag(form);
  }

  MsgResult MessageBox(FormId owner, std::string_view text, std::string_view caption, MsgIcon icon,
                       MsgButtons buttons) override {
    HWND o = Window(owner).hwnd;
    if (!o || !IsWindowVisible(o)) o = TheLayer().main.hwnd;
    UINT type = buttons == MsgButtons::YesNoCancel ? MB_YESNOCANCEL : MB_OK;
    switch (icon) {
      case MsgIcon::Information: type |= MB_ICONINFORMATION; break;
      case MsgIcon::Warning: type |= MB_ICONEXCLAMATION; break;
      case MsgIcon::Question: type |= MB_ICONQUESTION; break;
    }
    const std::wstring t = Widen(text), c = Widen(caption);
    JapaneseDialogFont font;
    switch (::MessageBoxW(o, t.c_str(), c.c_str(), type)) {
      case IDYES: return MsgResult::Yes;
      case IDNO: return MsgResult::No;
      case IDCANCEL: return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
      default: return MsgResult::Ok;
    }
  }

  std::optional<std::string> BrowseForFolder(FormId owner, std::string_view title) override {
    HWND o = Window(owner).hwnd;
    if (!o) o = TheLayer().main.hwnd;
    const std::wstring t = Widen(title);
    BROWSEINFOW bi{};
    bi.hwndOwner = o;
    bi.lpszTitle = t.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE pidl;
    {
      JapaneseDialogFont font;
      pidl = SHBrowseForFolderW(&bi);
    }
    if (!pidl) return std::nullopt;
    // Room for long paths; a choice without a file-system path counts as a cancel.
    std::wstring path(32768, L'\0');
    BOOL ok = SHGetPathFromIDListEx(pidl, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
    if (!ok) ok = SHGetPathFromIDListW(pidl, path.data());  // systems without the long form
    CoTaskMemFree(pidl);
    path.resize(wcsnlen(path.c_str(), path.size()));
    if (!ok || path.empty()) return std::nullopt;
    return Narrow(path);
  }

  int CallArchiver(Archiver which, std::string_view cmdline, int outputSize) override {
    BoxHost host;
    const std::size_t size = outputSize > 0 ? static_cast<std::size_t>(outputSize) : 0;
    std::vector<char> output(size + 1, '\0');
    switch (which) {
      case Archiver::UnZip: return extract::UnZip(host, cmdline, output.data(), size);
      case Archiver::Cab: return extract::Cab(host, cmdline, output.data(), size);
      case Archiver::Unlha: return extract::Unlha(host, cmdline, output.data(), size);
    }
    return -1;
  }

 private:
  std::vector<HWND> tips_;
};

}  // namespace

std::unique_ptr<Platform> MakeWin32Platform() { return std::make_unique<Win32Platform>(); }

}  // namespace tarvex::win32
