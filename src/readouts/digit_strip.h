// Digit strips: rows of image cells that each show one of the ten digit
// glyphs `s0` .. `s9`. A cell takes a glyph from one character; any other
// character leaves it as it was.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "ui/elements.h"

namespace tarvex::readouts {

inline constexpr std::string_view kAllDigits = "0123456789";

// If `ch` is one of `allowed` (a set of ASCII digits), the cell shows that
// digit's glyph (the picture of `sN`); otherwise it is left unchanged. A
// missing character (past the end of a text) changes nothing either.
void ShowDigit(ui::FormView& view, ui::Form& form, std::string_view cell, std::optional<char> ch,
               std::string_view allowed = kAllDigits);

// Draws `text` right-aligned into seven cells (left to right): the k-th cell
// from the right takes the k-th character from the end; cells left of the
// text show 0; characters beyond the seventh from the end are not shown.
void FillFromRight(ui::FormView& view, ui::Form& form, const std::array<std::string_view, 7>& cells,
                   std::string_view text);

}  // namespace tarvex::readouts
