// The ten digit glyphs of the readouts, 6 x 7 pixels each, top row first:
// 'X' is a lit pixel in kGlyphLit, '.' is transparent (the panel shows
// through). The compiled-in glyph icons (art/Digit0.txt ... art/Digit9.txt)
// are checked pixel for pixel against this table by the asset tests, so code
// that has to recognise digits on the screen can rely on it.
#pragma once

#include <cstdint>

namespace tarvex {

constexpr int kGlyphWidth = 6;
constexpr int kGlyphHeight = 7;
constexpr std::uint32_t kGlyphLit = 0x6BC6FF;  // RGB(107, 198, 255)

inline constexpr const char* kDigitGlyphs[10][kGlyphHeight] = {
    {"XXXXXX", "X....X", "X....X", "X....X", "X....X", "X....X", "XXXXXX"},  // 0
    {".XXX..", "...X..", "...X..", "...X..", "...X..", "...X..", "XXXXXX"},  // 1
    {"XXXXXX", ".....X", ".....X", "XXXXXX", "X.....", "X.....", "XXXXXX"},  // 2
    {"XXXXXX", ".....X", ".....X", "XXXXXX", ".....X", ".....X", "XXXXXX"},  // 3
    {"X....X", "X....X", "X....X", "XXXXXX", ".....X", ".....X", ".....X"},  // 4
    {"XXXXXX", "X.....", "X.....", "XXXXXX", ".....X", ".....X", "XXXXXX"},  // 5
    {"X.....", "X.....", "X.....", "XXXXXX", "X....X", "X....X", "XXXXXX"},  // 6
    {"XXXXXX", "X....X", "X....X", ".....X", ".....X", ".....X", ".....X"},  // 7
    {"XXXXXX", "X....X", "X....X", "XXXXXX", "X....X", "X....X", "XXXXXX"},  // 8
    {"XXXXXX", "X....X", "X....X", "XXXXXX", ".....X", ".....X", ".....X"},  // 9
};

// True when pixel (x, y) of digit's glyph is lit; false outside the glyph.
constexpr bool GlyphPixelLit(int digit, int x, int y) {
  return digit >= 0 && digit <= 9 && x >= 0 && x < kGlyphWidth && y >= 0 && y < kGlyphHeight &&
         kDigitGlyphs[digit][y][x] == 'X';
}

}  // namespace tarvex
