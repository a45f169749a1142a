// The memory meter: total physical memory (upper strip, once) and free
// physical memory (lower strip, every tick) in seven cells with a fixed dot.
// The unit is chosen once, at the first reading, from the total: kilobytes
// while the total in KB fits seven digits, otherwise megabytes for both
// strips for the rest of the run. Values are rounded down; a value that still
// has more than seven digits shows 9999999.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "shell/platform.h"
#include "ui/elements.h"

namespace tarvex::readouts {

inline constexpr std::array<std::string_view, 7> kTotalCells = {"m0", "m1", "m2", "m3",
                                                                 "m4", "m5", "m6"};
inline constexpr std::array<std::string_view, 7> kFreeCells = {"mm0", "mm1", "mm2", "mm3",
                                                                "mm4", "mm5", "mm6"};

class MemoryMeter {
 public:
  enum class Unit { Undecided, KiloBytes, MegaBytes };

  // Chooses the unit from the total if not chosen yet.
  void ChooseUnit(std::uint64_t totalBytes);
  Unit unit() const { return unit_; }
  // The text drawn for a byte count in the chosen unit (KB if undecided).
  std::string ShownText(std::uint64_t bytes) const;

  // First memory tick: draws the total into the upper strip. Returns false
  // when the reading failed (nothing drawn).
  bool DrawTotal(Platform& p, ui::Form& form);
  // Meter tick: draws the free memory into the lower strip.
  bool DrawFree(Platform& p, ui::Form& form);

 private:
  Unit unit_ = Unit::Undecided;
};

}  // namespace tarvex::readouts
