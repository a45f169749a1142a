#include "readouts/memory_meter.h"

#include "readouts/digit_strip.h"
#include "ui/element_names.h"

namespace tarvex::readouts {

namespace {
constexpr std::uint64_t kMaxShown = 9'999'999;
}

void MemoryMeter::ChooseUnit(std::uint64_t totalBytes) {
  if (unit_ != Unit::Undecided) return;
  unit_ = totalBytes / 1024 <= kMaxShown ? Unit::KiloBytes : Unit::MegaBytes;
}

std::string MemoryMeter::ShownText(std::uint64_t bytes) const {
  std::uint64_t v = unit_ == Unit::MegaBytes ? bytes / (1024 * 1024) : bytes / 1024;
  if (v > kMaxShown) v = kMaxShown;
  return std::to_string(v);
}

bool MemoryMeter::DrawTotal(ui::FormView& view, ui::Form& form,
                            const std::optional<MemoryStatus>& status) {
  if (!status) return false;
  ChooseUnit(status->totalPhys);
  FillFromRight(view, form, ui::names::kTotalCells, ShownText(status->totalPhys));
  return true;
}

bool MemoryMeter::DrawFree(ui::FormView& view, ui::Form& form,
                           const std::optional<MemoryStatus>& status) {
  if (!status) return false;
  ChooseUnit(status->totalPhys);
  FillFromRight(view, form, ui::names::kFreeCells, ShownText(status->availPhys));
  return true;
}

}  // namespace tarvex::readouts
