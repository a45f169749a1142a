#include "extract/huffman.h"

#include <algorithm>
#include <cstring>

namespace tarvex::extract {

namespace {
// Plain loops rather than std::fill: in the fuzz build a library template
// may come from a file compiled with comparison tracing.
void Fill(std::uint32_t* at, std::size_t n, std::uint32_t value) {
  for (std::uint32_t* const end = at + n; at != end; ++at) *at = value;
}
}  // namespace

void HuffmanTable::Resize(std::size_t from, std::size_t size) {
  if (size > capacity_) {
    const std::size_t capacity = std::max(size, 2 * capacity_);
    std::unique_ptr<std::uint32_t[]> grown(new std::uint32_t[capacity]);
    if (from > 0) std::memcpy(grown.get(), table_.get(), from * sizeof table_[0]);
    table_ = std::move(grown);
    capacity_ = capacity;
  }
  Fill(table_.get() + from, size - from, kEmpty);
  size_ = size;
}

void HuffmanTable::BuildSingle(unsigned symbol) {
  maxBits_ = rootBits_;
  subMask_ = 0;
  Resize(0, std::size_t{1} << rootBits_);
  Fill(table_.get(), size_, symbol);  // length 0
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
  Resize(0, std::size_t{1} << rootBits_);
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
      Fill(table_.get() + (std::size_t{c} << (rootBits_ - l)), std::size_t{1} << (rootBits_ - l), entry);
      continue;
    }
    const std::size_t prefix = c >> (l - rootBits_);
    if (!(table_[prefix] & kSubTable)) {
      const std::size_t at = size_;
      Resize(at, at + (std::size_t{1} << subBits));
      table_[prefix] = kSubTable | static_cast<std::uint32_t>(at);
    }
    // Every second-table index that starts with the code's remaining bits.
    const std::size_t base = table_[prefix] & kOffsetMask;
    const std::size_t low = (c & ((1u << (l - rootBits_)) - 1)) << (maxBits_ - l);
    Fill(table_.get() + base + low, std::size_t{1} << (maxBits_ - l), entry);
  }
  return true;
}

}  // namespace tarvex::extract
