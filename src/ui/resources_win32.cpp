#include "ui/resources_win32.h"

#include "assets/asset_ids.h"

namespace tarvex::win32 {
namespace {

// Asking for the Japanese character set makes the font mapper pick a face
// that has the glyphs even where "MS UI Gothic" itself is missing.
HFONT JapaneseFont(DWORD quality) {
  return CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH | FF_DONTCARE, L"MS UI Gothic");
}

HANDLE LoadAsset(HINSTANCE instance, Asset a, UINT type, int size) {
  return LoadImageW(instance, MAKEINTRESOURCEW(static_cast<int>(a)), type, size, size, LR_DEFAULTCOLOR);
}

}  // namespace

Resources::Resources(HINSTANCE instance)
    : instance_(instance),
      appIconLarge_(static_cast<HICON>(LoadAsset(instance, Asset::AppIcon, IMAGE_ICON, 32))),
      appIconSmall_(static_cast<HICON>(LoadAsset(instance, Asset::AppIcon, IMAGE_ICON, 16))),
      handCursor_(static_cast<HCURSOR>(LoadAsset(instance, Asset::HandCursor, IMAGE_CURSOR, 32))),
      uiFont_(JapaneseFont(DEFAULT_QUALITY)),
      labelFont_(JapaneseFont(NONANTIALIASED_QUALITY)),
      // SetWindowTheme lives in uxtheme.dll; it is looked up at run time so that
      // the program also starts where that library is missing. The library comes
      // from System32 only: a file of the same name beside the program (a
      // download folder holds anything) must never be the one that runs.
      uxtheme_(LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)),
      pictures_(instance) {
  if (uxtheme_)
    setWindowTheme_ = reinterpret_cast<SetWindowThemeFn>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme_.get(), "SetWindowTheme")));
}

void Resources::SwitchThemeOff(HWND window) const {
  if (setWindowTheme_) setWindowTheme_(window, L"", L"");
}

}  // namespace tarvex::win32
