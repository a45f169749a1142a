// Helpers shared by the two element tables.
#pragma once

#include "ui/elements.h"

namespace tarvex::ui {

// Appends the eight frame pieces `lt` .. `rb` with their design geometry.
void AppendFramePieces(Form& form);

}  // namespace tarvex::ui
