#include "readouts/date_time.h"

#include "readouts/digit_strip.h"
#include "ui/model_ops.h"

namespace tarvex::readouts {

void ShowDateTime(Platform& p, ui::Form& form, std::string_view date, std::string_view time) {
  // Date: characters 0..4 (year and separator) and 7 (separator) are skipped.
  ShowDigit(p, form, "t1", CharAt(date, 5), "01");
  ShowDigit(p, form, "t2", CharAt(date, 6), kAllDigits);
  ShowDigit(p, form, "t3", CharAt(date, 8), "0123");
  ShowDigit(p, form, "t4", CharAt(date, 9), kAllDigits);

  // Time: a ":" at position 1 means a one-digit hour, shown with a forced 0.
  if (CharAt(time, 1) == ':') {
    ShowDigit(p, form, "tt1", '0', "0");
    ShowDigit(p, form, "tt2", CharAt(time, 0), kAllDigits);
    ShowDigit(p, form, "tt3", CharAt(time, 2), "012345");
    ShowDigit(p, form, "tt4", CharAt(time, 3), kAllDigits);
  } else {
    ShowDigit(p, form, "tt1", CharAt(time, 0), "012");
    ShowDigit(p, form, "tt2", CharAt(time, 1), kAllDigits);
    ShowDigit(p, form, "tt3", CharAt(time, 3), "012345");
    ShowDigit(p, form, "tt4", CharAt(time, 4), kAllDigits);
  }
}

}  // namespace tarvex::readouts
