// The date and time readout: MM/DD hh:mm in eight digit cells, from the local
// month, day, hour (24-hour clock) and minute, whatever the user's display
// formats. Each cell accepts only the digits that can stand at its place.
#pragma once

#include "shell/platform.h"
#include "ui/elements.h"

namespace tarvex::readouts {

// Sets all eight cells from the clock: 9:05 on 7 August shows 08/07 09:05.
void ShowDateTime(Platform& p, ui::Form& form, const ClockTime& now);

}  // namespace tarvex::readouts
