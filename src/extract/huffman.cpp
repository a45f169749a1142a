#include "extract/huffman.h"

#include <algorithm>

namespace tarvex::extract {

void HuffmanTable::BuildSingle(unsigned symbol) {
  maxBits_ = rootBits_;
  subMask_ = 0;
  table_.assign(std::size_t{1} << rootBits_, symbol);  // length 0
}

bool HuffmanTable::Build(const std::uint8_t* lens, std::size_t n) {
  unsigned count[kMaxCodeBits + 1] = {};
  int longest = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (lens[i] > kMaxCodeBits) return false;
    ++count[lens[i]];
    longest = std::max<int>(longest, lens[i]);
  }
  std::uint32_t space = 0;  // code space used, in units of the longest code
  for (int l = 1; l <= kMaxCodeBits; ++l) space += count[l] << (kMaxCodeBits - l);
  if (space > (1u << kMaxCodeBits)) return false;

  maxBits_ = std::max(longest, rootBits_);
  const int subBits = maxBits_ - rootBits_;
  subMask_ = (1u << subBits) - 1;
  table_.assign(std::size_t{1} << rootBits_, kEmpty);
  std::uint32_t next[kMaxCodeBits + 1];  // next code of each length
  std::uint32_t code = 0;
  for (int l = 1; l <= kMaxCodeBits; ++l) {
    next[l] = code;
    code = (code + count[l]) << 1;
  }
  for (std::size_t sym = 0; sym < n; ++sym) {
    const int l = lens[sym];
    if (l == 0) continue;
    const std::uint32_t c = next[l]++;
    const std::uint32_t entry = static_cast<std::uint32_t>(l) << kLenShift | static_cast<std::uint32_t>(sym);
    if (l <= rootBits_) {
      // Every root index that starts with this code.
      std::fill_n(table_.begin() + (std::size_t{c} << (rootBits_ - l)), std::size_t{1} << (rootBits_ - l), entry);
      continue;
    }
    const std::size_t prefix = c >> (l - rootBits_);
    if (!(table_[prefix] & kSubTable)) {
      const std::size_t at = table_.size();
      table_.resize(at + (std::size_t{1} << subBits), kEmpty);
      table_[prefix] = kSubTable | static_cast<std::uint32_t>(at);
    }
    // Every second-table index that starts with the code's remaining bits.
    const std::size_t base = table_[prefix] & kOffsetMask;
    const std::size_t low = (c & ((1u << (l - rootBits_)) - 1)) << (maxBits_ - l);
    std::fill_n(table_.begin() + static_cast<std::ptrdiff_t>(base + low), std::size_t{1} << (maxBits_ - l), entry);
  }
  return true;
}

}  // namespace tarvex::extract
