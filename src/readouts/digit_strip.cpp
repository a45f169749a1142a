#include "readouts/digit_strip.h"

#include <string>

#include "ui/model_ops.h"

namespace tarvex::readouts {

namespace {

// The picture a cell shares with glyph image sN.
Asset GlyphPicture(const ui::Form& form, int digit) {
  const ui::Element* glyph = form.Find("s" + std::to_string(digit));
  return glyph ? glyph->picture : DigitAsset(digit);
}

}  // namespace

void ShowDigit(Platform& p, ui::Form& form, std::string_view cell, std::optional<char> ch,
               std::string_view allowed) {
  if (!ch || *ch < '0' || *ch > '9') return;
  if (allowed.find(*ch) == std::string_view::npos) return;
  ui::SetPicture(p, form, cell, GlyphPicture(form, *ch - '0'));
}

void FillFromRight(Platform& p, ui::Form& form, const std::array<std::string_view, 7>& cells,
                   std::string_view text) {
  for (std::size_t k = 1; k <= cells.size(); ++k) {
    std::string_view cell = cells[cells.size() - k];
    if (k <= text.size())
      ShowDigit(p, form, cell, text[text.size() - k]);
    else
      ui::SetPicture(p, form, cell, GlyphPicture(form, 0));
  }
}

}  // namespace tarvex::readouts
