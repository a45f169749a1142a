// The self-drawn 2-pixel bevel of both windows: eight frame images laid out
// along the window's outer edge on every resize.
#pragma once

#include "ui/elements.h"

namespace tarvex::chrome {

// Lays the pieces `lt` .. `rb` out for the form's client size, in single
// precision, each step reading what the steps before it wrote. `mt`.Top is
// never assigned. Pieces whose geometry changed are repainted.
void LayoutFrame(ui::FormView& view, ui::Form& form);

}  // namespace tarvex::chrome
