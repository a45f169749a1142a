#include "readouts/date_time.h"

#include <optional>

#include "readouts/digit_strip.h"

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

void ShowDateTime(Platform& p, ui::Form& form, const ClockTime& now) {
  ShowDigit(p, form, "t1", TensOf(now.month), "01");
  ShowDigit(p, form, "t2", UnitsOf(now.month), kAllDigits);
  ShowDigit(p, form, "t3", TensOf(now.day), "0123");
  ShowDigit(p, form, "t4", UnitsOf(now.day), kAllDigits);
  ShowDigit(p, form, "tt1", TensOf(now.hour), "012");
  ShowDigit(p, form, "tt2", UnitsOf(now.hour), kAllDigits);
  ShowDigit(p, form, "tt3", TensOf(now.minute), "012345");
  ShowDigit(p, form, "tt4", UnitsOf(now.minute), kAllDigits);
}

}  // namespace tarvex::readouts
