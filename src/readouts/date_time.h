// The date and time readout: MM/DD hh:mm in eight digit cells, taken by
// character position from the user's short date text and time text. Each
// cell accepts only the digits that can stand at its place.
#pragma once

#include <string_view>

#include "shell/platform.h"
#include "ui/elements.h"

namespace tarvex::readouts {

// Sets the eight cells from a formatted date (e.g. "2002/08/07") and time
// (e.g. "9:05:03" or "21:05:03").
void ShowDateTime(Platform& p, ui::Form& form, std::string_view date, std::string_view time);

}  // namespace tarvex::readouts
