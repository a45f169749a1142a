// Set-up and tear-down of the Win32 layer's shared resources, and the
// opening of the main window around the core's start-up step.
#include "shell/layer_win32.h"

namespace tarvex::win32 {
namespace {

// A font that shows the Japanese texts on a Windows of any language: asking
// for the Japanese character set makes the font mapper pick a face that has
// the glyphs even where "MS UI Gothic" itself is missing.
HFONT JapaneseFont(DWORD quality) {
  return CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH | FF_DONTCARE, L"MS UI Gothic");
}

}  // namespace

void InitLayer(HINSTANCE inst) {
  Layer& L = TheLayer();
  L.instance = inst;
  const auto id = [](Asset a) { return MAKEINTRESOURCEW(static_cast<int>(a)); };
  L.appIconLarge = static_cast<HICON>(LoadImageW(inst, id(Asset::AppIcon), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  L.appIconSmall = static_cast<HICON>(LoadImageW(inst, id(Asset::AppIcon), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  L.handCursor = static_cast<HCURSOR>(LoadImageW(inst, id(Asset::HandCursor), IMAGE_CURSOR, 32, 32, LR_DEFAULTCOLOR));
  L.uiFont = JapaneseFont(DEFAULT_QUALITY);
  L.labelFont = JapaneseFont(NONANTIALIASED_QUALITY);
  InstallNotifyFilter();
}

void ShutdownLayer() {
  Layer& L = TheLayer();
  RemoveNotifyFilter();
  ReleasePictures();
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

HWND OpenMainWindow(App& app) {
  TheLayer().app = &app;
  HWND main = CreateFormWindow(FormId::Main);
  if (!main) return nullptr;
  app.Start();  // the load step: position, tray, region, tooltips, hook
  if (!IsWindow(main)) return nullptr;
  const ui::Form& form = app.MainForm();
  MoveFormWindow(FormId::Main, TwipsToPx(form.left), TwipsToPx(form.top));
  ShowWindow(main, SW_SHOW);
  UpdateWindow(main);
  app.OnResize(FormId::Main);
  return main;
}

void CloseLayerWindows() {
  DestroyFormWindow(FormId::Care);
  DestroyFormWindow(FormId::Main);
  TheLayer().app = nullptr;
}

}  // namespace tarvex::win32
