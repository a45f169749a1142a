// tarvex.exe: the gadget's Win32 entry point. Sets up the platform services,
// creates the main window from the core's model, runs the core's start-up,
// shows the window and runs the message loop until the window is gone.
#include "shell/layer_win32.h"  // first: <windows.h> without its MessageBox macro

#include <commctrl.h>
#include <ole2.h>

#include "shell/app.h"
#include "shell/platform_win32.h"

using namespace tarvex;

namespace {

// A font that shows the Japanese texts on a Windows of any language: asking
// for the Japanese character set makes the font mapper pick a face that has
// the glyphs even where "MS UI Gothic" itself is missing.
HFONT JapaneseFont(DWORD quality) {
  return CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH | FF_DONTCARE, L"MS UI Gothic");
}

void LoadSharedResources(HINSTANCE inst) {
  win32::Layer& L = win32::TheLayer();
  const auto id = [](Asset a) { return MAKEINTRESOURCEW(static_cast<int>(a)); };
  L.appIconLarge = static_cast<HICON>(LoadImageW(inst, id(Asset::AppIcon), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  L.appIconSmall = static_cast<HICON>(LoadImageW(inst, id(Asset::AppIcon), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  L.handCursor = static_cast<HCURSOR>(LoadImageW(inst, id(Asset::HandCursor), IMAGE_CURSOR, 32, 32, LR_DEFAULTCOLOR));
  L.uiFont = JapaneseFont(DEFAULT_QUALITY);
  L.labelFont = JapaneseFont(NONANTIALIASED_QUALITY);
}

void ReleaseSharedResources() {
  win32::Layer& L = win32::TheLayer();
  win32::ReleasePictures();
  if (L.uiFont) DeleteObject(L.uiFont);
  if (L.labelFont) DeleteObject(L.labelFont);
  if (L.careBrush) DeleteObject(L.careBrush);
  if (L.appIconLarge) DestroyIcon(L.appIconLarge);
  if (L.appIconSmall) DestroyIcon(L.appIconSmall);
  if (L.handCursor) DestroyCursor(L.handCursor);
  L.uiFont = L.labelFont = nullptr;
  L.careBrush = nullptr;
  L.appIconLarge = L.appIconSmall = nullptr;
  L.handCursor = nullptr;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_WIN95_CLASSES;  // includes the tooltip class
  InitCommonControlsEx(&icc);
  const HRESULT ole = OleInitialize(nullptr);  // the folder picker needs COM

  win32::Layer& L = win32::TheLayer();
  L.instance = instance;
  LoadSharedResources(instance);
  int code = 1;
  if (win32::RegisterWindowClasses(instance)) {
    std::unique_ptr<Platform> platform = win32::MakeWin32Platform();
    {
      App app(*platform);
      L.app = &app;
      if (HWND main = win32::CreateFormWindow(FormId::Main)) {
        app.Start();
        if (IsWindow(main)) {
          const ui::Form& form = app.MainForm();
          win32::MoveFormWindow(FormId::Main, win32::TwipsToPx(form.left), win32::TwipsToPx(form.top));
          ShowWindow(main, SW_SHOW);
          UpdateWindow(main);
          app.OnResize(FormId::Main);
        }
        code = win32::RunMessageLoop();
      }
      win32::DestroyFormWindow(FormId::Care);
      win32::DestroyFormWindow(FormId::Main);
      L.app = nullptr;
    }
  }
  ReleaseSharedResources();
  if (SUCCEEDED(ole)) OleUninitialize();
  return code;
}
