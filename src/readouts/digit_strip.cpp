#include "readouts/digit_strip.h"

#include "ui/element_names.h"
#include "ui/model_ops.h"

namespace tarvex::readouts {

namespace {

// The picture a cell shares with glyph image sN.
Asset GlyphPicture(const ui::Form& form, int digit) {
  const ui::Element* glyph = form.Find(ui::names::kGlyphs[digit]);
  return glyph ? glyph->picture : DigitAsset(digit);
}

}  // namespace

void ShowDigit(ui::FormView& view, ui::Form& form, std::string_view cell, std::optional<char> ch,
               std::string_view allowed) {
  if (!ch || *ch < '0' || *ch > '9') return;
  if (allowed.find(*ch) == std::string_view::npos) return;
  ui::SetPicture(view, form, cell, GlyphPicture(form, *ch - '0'));
}

void FillFromRight(ui::FormView& view, ui::Form& form, const std::array<std::string_view, 7>& cells,
                   std::string_view text) {
  for (std::size_t k = 1; k <= cells.size(); ++k) {
    std::string_view cell = cells[cells.size() - k];
    if (k <= text.size())
      ShowDigit(view, form, cell, text[text.size() - k]);
    else
      ui::SetPicture(view, form, cell, GlyphPicture(form, 0));
  }
}

}  // namespace tarvex::readouts
