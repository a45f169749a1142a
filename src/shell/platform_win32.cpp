#include "shell/platform_win32.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "shell/settings_store.h"
#include "ui/convert_win32.h"

namespace tarvex::win32 {
namespace {

HWND H(Handle h) { return reinterpret_cast<HWND>(h); }

std::wstring SettingsKey(std::string_view app, std::string_view section) {
  return L"Software\\" + Widen(app) + L"\\" + Widen(section);
}

}  // namespace

Win32Platform::Win32Platform(Resources& resources)
    : resources_(resources), dialogs_([this](FormId form) { return WindowOf(form); }) {}

Win32Platform::~Win32Platform() { Close(); }

bool Win32Platform::Open(App& app) {
  if (main_) return false;
  main_ = std::make_unique<MainWindow>(app, resources_);
  settings_ = std::make_unique<FormWindow>(app, resources_, FormId::Care);
  HWND main = main_->Create(nullptr);
  if (!main) return false;
  app.Start();  // the load step: position, tray, region, tooltips, hook
  if (!IsWindow(main)) return false;
  const ui::Form& form = app.MainForm();
  main_->MoveTo(ui::TwipsToPx(form.left), ui::TwipsToPx(form.top));
  ShowWindow(main, SW_SHOW);
  UpdateWindow(main);
  app.OnResize(FormId::Main);
  return true;
}

void Win32Platform::Close() {
  for (FormWindow* w : {settings_.get(), static_cast<FormWindow*>(main_.get())}) {
    if (!w) continue;
    w->Detach();
    w->Destroy();
  }
  settings_.reset();
  main_.reset();
}

FormWindow* Win32Platform::Window(FormId form) const {
  return form == FormId::Main ? main_.get() : settings_.get();
}

HWND Win32Platform::WindowOf(FormId form) const {
  const FormWindow* w = Window(form);
  return w ? w->hwnd() : nullptr;
}

// ---- settings store: HKEY_CURRENT_USER\Software\<app>\<section>, REG_SZ ----

std::string Win32Platform::GetSetting(std::string_view app, std::string_view section, std::string_view key,
                                      std::string_view def) {
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

void Win32Platform::SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                                std::string_view value) {
  const std::wstring sub = SettingsKey(app, section);
  HKEY k;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) !=
      ERROR_SUCCESS)
    return;
  const RegKey opened(k);
  const std::wstring name = Widen(key);
  const std::wstring v = Widen(value);
  RegSetValueExW(opened.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                 static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
}

// ---- windows ----

Handle Win32Platform::WindowHandle(FormId form) { return reinterpret_cast<Handle>(WindowOf(form)); }

void Win32Platform::MoveWindowPx(FormId form, int leftPx, int topPx) {
  if (FormWindow* w = Window(form)) w->MoveTo(leftPx, topPx);
}

void Win32Platform::SetTopmost(FormId form) {
  if (HWND h = WindowOf(form)) SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
}

void Win32Platform::ClearWindowRegion(FormId form) {
  if (HWND h = WindowOf(form)) SetWindowRgn(h, nullptr, TRUE);
}

void Win32Platform::DragWindow(FormId form) {
  if (FormWindow* w = Window(form)) w->DragWithMouse();
}

void Win32Platform::Invalidate(FormId form, std::string_view element) {
  if (FormWindow* w = Window(form)) w->Invalidate(element);
}

void Win32Platform::TimerChanged(FormId form, std::string_view timer, int interval, bool enabled) {
  if (FormWindow* w = Window(form)) w->ChangeTimer(timer, interval, enabled);
}

void Win32Platform::CreateForm(FormId form) {
  if (FormWindow* w = Window(form)) w->Create(form == FormId::Care ? WindowOf(FormId::Main) : nullptr);
}

void Win32Platform::DestroyForm(FormId form) {
  if (FormWindow* w = Window(form)) w->Destroy();
}

void Win32Platform::HideForm(FormId form) {
  if (FormWindow* w = Window(form)) w->Hide();
}

void Win32Platform::ShowModal(FormId form) {
  if (FormWindow* w = Window(form)) w->ShowModal(WindowOf(FormId::Main));
}

void Win32Platform::SetCheck(FormId form, std::string_view element, int value) {
  if (FormWindow* w = Window(form)) w->SetCheck(element, value);
}

// ---- memory, date and time ----

std::optional<MemoryStatus> Win32Platform::GetMemoryStatus() {
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof ms;
  if (!GlobalMemoryStatusEx(&ms)) return std::nullopt;
  return MemoryStatus{ms.ullTotalPhys, ms.ullAvailPhys};
}

ClockTime Win32Platform::LocalTime() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return ClockTime{st.wMonth, st.wDay, st.wHour, st.wMinute};
}

// ---- tray icon and balloon tips of the main window ----

void Win32Platform::TraySetTip(std::string_view tip) {
  if (main_) main_->tray().SetTip(main_->hwnd(), tip);
}

void Win32Platform::TrayShow() {
  if (main_) main_->tray().Add(main_->hwnd());
}

void Win32Platform::TrayRemove() {
  if (main_) main_->tray().Remove();
}

void Win32Platform::AddBalloonTip(FormId form, const chrome::BalloonTip& tip) {
  if (form == FormId::Main && main_) main_->AddBalloonTip(tip);
}

void Win32Platform::RemoveBalloonTips(FormId form) {
  if (form == FormId::Main && main_) main_->RemoveBalloonTips();
}

// ---- message hook ----

Proc Win32Platform::SetWindowProc(Handle window, Proc proc) {
  return static_cast<Proc>(ExchangeWindowProc(H(window), static_cast<LONG_PTR>(proc)));
}

LResult Win32Platform::CallWindowProcedure(Proc proc, Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                           std::intptr_t lParam) {
  return static_cast<LResult>(CallSavedProc(static_cast<LONG_PTR>(proc), H(window), msg,
                                            static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
}

Proc Win32Platform::SubclassProcAddress() { return static_cast<Proc>(RoutingProcAddress()); }

// ---- archivers ----

}  // namespace tarvex::win32
