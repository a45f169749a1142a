// Identifiers of the program's pictures. Each value is also the resource id
// under which tarvex.rc compiles the asset into tarvex.exe:
//  - kind Bitmap: an RT_BITMAP (24-bit .bmp);
//  - kind Icon:   an RT_GROUP_ICON (.ico, 24-bit image with a 1-bit mask, at
//                 exactly the size given here; the application icon has
//                 16 x 16 and 32 x 32 images);
//  - kind Cursor: an RT_GROUP_CURSOR (.cur, 16 colours).
// Portable code names pictures by these ids only.
#pragma once

namespace tarvex {

enum class Asset : int {
  None = 0,
  AppIcon = 101,      // Icon 16x16 + 32x32
  HandCursor = 102,   // Cursor 32x32, hot spot (12, 1)

  Close1 = 201,       // Bitmap 17x17 close button, normal
  Close2 = 202,       // Bitmap 17x17 close button, pressed
  Hide1 = 203,        // Bitmap 17x17
  Hide2 = 204,
  Settings1 = 205,    // Bitmap 35x25
  Settings2 = 206,
  Extract1 = 207,     // Bitmap 35x47
  Extract2 = 208,

  Digit0 = 300,       // Icon 6x7; Digit0 + n is digit n
  Digit9 = 309,
  Dot = 310,          // Icon 3x7
  Slash = 311,        // Icon 3x7
  Colon = 312,        // Icon 3x7
  LevelTotal = 313,   // Icon 20x7 (ten bars)
  LevelFree = 314,    // Icon 20x7 (seven bars)
  Logo = 315,         // Icon 16x88

  DatePanel = 401,    // Bitmap 89x24
  MemoryPanel = 402,  // Bitmap 89x37

  FrameLT = 501,      // Bitmap 2x2 each
  FrameMT = 502,
  FrameRT = 503,
  FrameLM = 504,
  FrameRM = 505,
  FrameLB = 506,
  FrameMB = 507,
  FrameRB = 508,
};

inline Asset DigitAsset(int n) { return static_cast<Asset>(static_cast<int>(Asset::Digit0) + n); }

}  // namespace tarvex
