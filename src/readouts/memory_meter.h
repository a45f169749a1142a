// The memory meter: total physical memory (upper strip, once) and free
// physical memory (lower strip, every tick) in seven cells with a fixed dot.
// The unit is chosen once, at the first reading, from the total: kilobytes
// while the total in KB fits seven digits, otherwise megabytes for both
// strips for the rest of the run. Values are rounded down; a value that still
// has more than seven digits shows 9999999.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ui/elements.h"

namespace tarvex::readouts {

// A reading of the physical memory.
struct MemoryStatus {
  std::uint64_t totalPhys = 0;  // bytes
  std::uint64_t availPhys = 0;  // bytes
};

class MemoryMeter {
 public:
  enum class Unit { Undecided, KiloBytes, MegaBytes };

  // Chooses the unit from the total if not chosen yet.
  void ChooseUnit(std::uint64_t totalBytes);
  Unit unit() const { return unit_; }
  // The text drawn for a byte count in the chosen unit (KB if undecided).
  std::string ShownText(std::uint64_t bytes) const;

  // First memory tick: draws the total into the upper strip. Returns false
  // when there is no reading (nothing drawn).
  bool DrawTotal(ui::FormView& view, ui::Form& form, const std::optional<MemoryStatus>& status);
  // Meter tick: draws the free memory into the lower strip.
  bool DrawFree(ui::FormView& view, ui::Form& form, const std::optional<MemoryStatus>& status);

 private:
  Unit unit_ = Unit::Undecided;
};

}  // namespace tarvex::readouts
