// The date and time readout: MM/DD hh:mm in eight digit cells, from the local
// month, day, hour (24-hour clock) and minute, whatever the user's display
// formats. Each cell accepts only the digits that can stand at its place.
#pragma once

#include "ui/elements.h"

namespace tarvex::readouts {

// The local date and time of day, as far as the readout shows them.
struct ClockTime {
  int month = 1;   // 1..12
  int day = 1;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
};

// Sets all eight cells from the clock: 9:05 on 7 August shows 08/07 09:05.
void ShowDateTime(ui::FormView& view, ui::Form& form, const ClockTime& now);

}  // namespace tarvex::readouts
