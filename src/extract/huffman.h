// Decoding tables for canonical Huffman codes, as LZX and LZH send them: a
// code length per symbol (0: unused, at most 16 bits), codes assigned in
// order of length and, within a length, of symbol number, read most
// significant bit first.
//
// The next `rootBits` bits index a root table that resolves every code of at
// most rootBits bits at once; a longer code's first rootBits bits lead to a
// second table, indexed by the bits after them. Bit patterns that no code
// reaches (an incomplete code) decode as -1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarvex::extract {

class HuffmanTable {
 public:
  static constexpr int kMaxCodeBits = 16;

  explicit HuffmanTable(int rootBits) : rootBits_(rootBits) {}

  // Builds the table from lens[0, n). False when the lengths over-subscribe
  // the code space (or exceed 16); an incomplete code, even an empty one, is
  // accepted.
  bool Build(const std::uint8_t* lens, std::size_t n);

  // A code of one symbol that takes no bits at all.
  void BuildSingle(unsigned symbol);

  // The next symbol, or -1 for a pattern no code reaches. The reader must
  // hold at least 16 bits (its Refill() gives them).
  template <class Bits>
  inline int Decode(Bits& in) const {
    std::uint32_t e = table_[in.Peek(rootBits_)];
    if (e & kSubTable) e = table_[(e & kOffsetMask) + (in.Peek(maxBits_) & subMask_)];
    const int len = static_cast<int>(e >> kLenShift);
    if (len == kNoCode) return -1;
    in.Skip(len);
    return static_cast<int>(e & kSymbolMask);
  }

 private:
  // Entry: code length << 16 | symbol, or kSubTable | offset of a second table.
  static constexpr std::uint32_t kSubTable = 0x80000000u;
  static constexpr std::uint32_t kOffsetMask = 0x00FFFFFFu;
  static constexpr std::uint32_t kSymbolMask = 0xFFFFu;
  static constexpr int kLenShift = 16;
  static constexpr int kNoCode = 31;
  static constexpr std::uint32_t kEmpty = static_cast<std::uint32_t>(kNoCode) << kLenShift;

  // Makes the table `size` entries long, entries from `from` on empty; the
  // storage is kept from build to build (a block may rebuild its codes).
  void Resize(std::size_t from, std::size_t size);

  int rootBits_;
  int maxBits_ = 0;          // the longest code, at least rootBits
  std::uint32_t subMask_ = 0;  // bits of a second-table index
  std::unique_ptr<std::uint32_t[]> table_;
  std::size_t size_ = 0, capacity_ = 0;
};

}  // namespace tarvex::extract
