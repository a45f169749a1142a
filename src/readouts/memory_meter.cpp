#include "readouts/memory_meter.h"

#include "readouts/digit_strip.h"

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

bool MemoryMeter::DrawTotal(Platform& p, ui::Form& form) {
  const auto status = p.GetMemoryStatus();
  if (!status) return false;
  ChooseUnit(status->totalPhys);
  FillFromRight(p, form, kTotalCells, ShownText(status->totalPhys));
  return true;
}

bool MemoryMeter::DrawFree(Platform& p, ui::Form& form) {
  const auto status = p.GetMemoryStatus();
  if (!status) return false;
  ChooseUnit(status->totalPhys);
  FillFromRight(p, form, kFreeCells, ShownText(status->availPhys));
  return true;
}

}  // namespace tarvex::readouts
