// The bit input of the LZX, Quantum and LZH decoders: bits taken most
// significant first from a stream of units, where a unit is a byte (LZH,
// Quantum) or a 16-bit little-endian word (LZX).
//
// Up to 64 bits wait in a buffer, the next bit at its top. A refill tops the
// buffer up with whole units, 8 bytes at a time while the input has them.
// Past the end of the input the reader supplies zero units and counts them,
// so a decoder may look ahead freely and ask PastEnd() whether it consumed
// bits the input does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tarvex::extract {

// Hands a BitReader the next piece of a stream that does not sit in memory
// as a whole; asked only when the current piece is used up.
class ByteChunks {
 public:
  virtual ~ByteChunks() = default;
  // The next piece, or false at the end of the stream (or after a read error,
  // which the implementation records for its owner).
  virtual bool Next(const std::uint8_t*& begin, const std::uint8_t*& end) = 0;
};

template <int kUnitBytes>
class BitReader {
  static_assert(kUnitBytes == 1 || kUnitBytes == 2, "bytes or 16-bit words");
  static constexpr int kUnitBits = 8 * kUnitBytes;

 public:
  // Bits buffered after Refill(): at least 57 (bytes) or 49 (words).
  static constexpr int kRefillBits = 64 - kUnitBits + 1;

  // Reads data[0, size), then asks `more` (if any) for further pieces; the
  // stream is `total` bytes long (size when there are no further pieces).
  void Start(const std::uint8_t* data, std::size_t size, ByteChunks* more = nullptr,
             std::uint64_t total = 0) {
    begin_ = cur_ = data;
    end_ = data + size;
    more_ = more;
    total_ = more ? total : size;
    loaded_ = 0;
    bits_ = 0;
    count_ = 0;
  }

  // Makes at least kRefillBits bits available.
  inline void Refill() {
    if (count_ >= kRefillBits) return;
    if (end_ - cur_ >= 8) {
      // Bytes in stream order, first byte highest; for words, the two bytes
      // of each word swapped so that the word's high byte comes first. Bits
      // of a partial unit below the accounted ones are the stream's next
      // bits and are loaded again, in the same place, by the next refill.
      std::uint64_t v;
      std::memcpy(&v, cur_, 8);
      v = ToStreamOrder(v);
      bits_ |= v >> count_;
      const int bytes = (64 - count_) / kUnitBits * kUnitBytes;
      cur_ += bytes;
      loaded_ += static_cast<std::uint64_t>(bytes);
      count_ += 8 * bytes;
      return;
    }
    SlowRefill();
  }

  // The next n bits (1 <= n <= 32, n <= the bits available).
  inline std::uint32_t Peek(int n) const { return static_cast<std::uint32_t>(bits_ >> (64 - n)); }
  inline void Skip(int n) {
    bits_ <<= n;
    count_ -= n;
  }
  // The next n bits (0 <= n <= 32), refilling first when needed.
  inline std::uint32_t Read(int n) {
    if (count_ < n) Refill();
    const auto v = static_cast<std::uint32_t>((bits_ >> 1) >> (63 - n));
    Skip(n);
    return v;
  }

  // Bits consumed since Start().
  std::uint64_t Consumed() const { return loaded_ * 8 - static_cast<std::uint64_t>(count_); }
  // Whether more bits were consumed than the stream holds.
  bool PastEnd() const { return Consumed() > total_ * 8; }
  // Whether the reader went far past the end: garbage, to be stopped early.
  bool FarPastEnd() const { return loaded_ > total_ + 64; }

  // Drops the bits up to the next unit boundary, or a whole unit when already
  // on one (as LZX pads before an uncompressed block).
  void SkipToNextUnit() {
    Refill();
    const int rem = count_ % kUnitBits;
    Skip(rem == 0 ? kUnitBits : rem);
  }
  // Stream offset of the next unread byte; meaningful on a unit boundary.
  std::uint64_t BytePosition() const { return Consumed() / 8; }
  // Continues at byte offset `at` of an in-memory stream (no further pieces).
  void SeekByte(std::size_t at) {
    cur_ = begin_ + at;
    loaded_ = at;
    bits_ = 0;
    count_ = 0;
  }

 private:
  static std::uint64_t ToStreamOrder(std::uint64_t v) {
    // Bytes as they lie in memory: first byte lowest on little-endian hosts.
    std::uint8_t b[8];
    std::memcpy(b, &v, 8);
    std::uint64_t be = 0;
    for (int i = 0; i < 8; ++i) be = (be << 8) | b[i];
    if constexpr (kUnitBytes == 2)
      be = ((be & 0x00FF00FF00FF00FFull) << 8) | ((be >> 8) & 0x00FF00FF00FF00FFull);
    return be;
  }

  void SlowRefill() {
    while (count_ < kRefillBits) {
      std::uint64_t unit = NextByte();
      if constexpr (kUnitBytes == 2) unit |= static_cast<std::uint64_t>(NextByte()) << 8;
      bits_ |= unit << (64 - kUnitBits - count_);
      count_ += kUnitBits;
    }
  }

  std::uint8_t NextByte() {
    ++loaded_;
    if (cur_ == end_ && !(more_ && more_->Next(cur_, end_))) {
      cur_ = end_;
      return 0;
    }
    return *cur_++;
  }

  const std::uint8_t* begin_ = nullptr;
  const std::uint8_t* cur_ = nullptr;
  const std::uint8_t* end_ = nullptr;
  ByteChunks* more_ = nullptr;
  std::uint64_t total_ = 0;
  std::uint64_t loaded_ = 0;  // bytes moved into the buffer, zeros past the end included
  std::uint64_t bits_ = 0;
  int count_ = 0;
};

}  // namespace tarvex::extract
