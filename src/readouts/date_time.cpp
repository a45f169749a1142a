#include "readouts/date_time.h"

#include <optional>

#include "readouts/digit_strip.h"
#include "ui/element_names.h"

namespace tarvex::readouts {

namespace {

// The tens or units digit of a two-digit field; nothing for a value that has
// no two-digit form (the cell then keeps what it shows).
std::optional<char> TensOf(int v) {
  if (v < 0 || v > 99) return std::nullopt;
  return static_cast<char>('0' + v / 10);
}
std::optional<char> UnitsOf(int v) {
  if (v < 0 || v > 99) return std::nullopt;
  return static_cast<char>('0' + v % 10);
}

}  // namespace

void ShowDateTime(ui::FormView& view, ui::Form& form, const ClockTime& now) {
  namespace names = ui::names;
  ShowDigit(view, form, names::kT1, TensOf(now.month), "01");
  ShowDigit(view, form, names::kT2, UnitsOf(now.month), kAllDigits);
  ShowDigit(view, form, names::kT3, TensOf(now.day), "0123");
  ShowDigit(view, form, names::kT4, UnitsOf(now.day), kAllDigits);
  ShowDigit(view, form, names::kTt1, TensOf(now.hour), "012");
  ShowDigit(view, form, names::kTt2, UnitsOf(now.hour), kAllDigits);
  ShowDigit(view, form, names::kTt3, TensOf(now.minute), "012345");
  ShowDigit(view, form, names::kTt4, UnitsOf(now.minute), kAllDigits);
}

}  // namespace tarvex::readouts
