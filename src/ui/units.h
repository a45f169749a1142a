// The unit of the element model: twips, 15 to the pixel at 96 dpi. Window
// positions on the screen and the skin's geometry are both given in twips.
#pragma once

namespace tarvex::ui {

inline constexpr int kTwipsPerPixel = 15;

// Twips to whole pixels at 15 twips per pixel, rounded to the nearest pixel
// (an exact half to the even neighbour); values beyond the range of int give
// the nearest int.
int TwipsToPx(float twips);

}  // namespace tarvex::ui
