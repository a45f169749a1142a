#include "extract/lzx.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tarvex::extract {

namespace {

constexpr int kNumChars = 256;
constexpr int kPretreeSymbols = 20;
constexpr int kAlignedSymbols = 8;
constexpr int kLengthSymbols = 249;
constexpr int kMaxPositionSlots = 50;
constexpr int kMainMaxSymbols = kNumChars + kMaxPositionSlots * 8;
constexpr int kMinMatch = 2;
constexpr int kPrimaryLengths = 7;

// Bits of a 16-bit little-endian word stream, most significant bit first.
// Reading past the end yields zero bits and is noted; the caller checks
// PastEnd() at the end of a frame.
class BitIn {
 public:
  void Start(const std::uint8_t* data, std::size_t size, std::size_t at) {
    data_ = data;
    size_ = size;
    loaded_ = at;
    buf_ = 0;
    count_ = 0;
  }
  void Refill() {
    while (count_ <= 48) {
      std::uint64_t w = 0;
      if (loaded_ + 1 < size_) {
        w = static_cast<std::uint64_t>(data_[loaded_]) | (static_cast<std::uint64_t>(data_[loaded_ + 1]) << 8);
      } else if (loaded_ < size_) {
        w = data_[loaded_];
      }
      loaded_ += 2;
      buf_ |= w << (48 - count_);
      count_ += 16;
    }
  }
  // n <= 32; call Refill() first when fewer than n bits may be buffered.
  std::uint32_t Peek(int n) const { return n == 0 ? 0 : static_cast<std::uint32_t>(buf_ >> (64 - n)); }
  void Skip(int n) {
    buf_ <<= n;
    count_ -= n;
  }
  std::uint32_t Read(int n) {
    Refill();
    std::uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  // Drops the rest of the current 16-bit word, or a whole word when already
  // on a word boundary (stored blocks are preceded by 1 to 16 pad bits).
  void AlignForStored() {
    Refill();
    int rem = count_ % 16;
    Skip(rem == 0 ? 16 : rem);
  }
  // Byte offset of the next unread bit; only meaningful on a byte boundary.
  std::size_t BytePos() const { return loaded_ - static_cast<std::size_t>(count_ / 8); }
  bool PastEnd() const { return loaded_ * 8 - static_cast<std::size_t>(count_) > size_ * 8; }
  // Cheap guard for loops: far beyond the end means garbage input.
  bool FarPastEnd() const { return loaded_ > size_ + 64; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t loaded_ = 0;
  std::uint64_t buf_ = 0;
  int count_ = 0;
};

// Canonical Huffman code (codes in order of length, then symbol), decoded
// through a lookup table of tableBits bits with a slow path for longer codes.
class Huffman {
 public:
  Huffman(int maxSymbols, int tableBits)
      : tableBits_(tableBits), table_(std::size_t{1} << tableBits), sorted_(maxSymbols) {}

  // Returns false for an over-subscribed code. An all-zero code is accepted
  // (the tree is then unusable: any decode from it fails), and so is an
  // incomplete one (its unused codes fail when met).
  bool Build(const std::uint8_t* lens, int n) {
    std::array<int, 17> count{};
    for (int i = 0; i < n; ++i) {
      if (lens[i] > 16) return false;
      ++count[lens[i]];
    }
    count[0] = 0;
    int left = 1;
    for (int len = 1; len <= 16; ++len) {
      left = (left << 1) - count[len];
      if (left < 0) return false;
    }
    std::array<int, 17> offs{};
    int code = 0;
    for (int len = 1; len <= 16; ++len) {
      code = (code + count[len - 1]) << 1;
      first_[len] = code;
      count_[len] = count[len];
      offs[len] = (len == 1) ? 0 : offs[len - 1] + count[len - 1];
      start_[len] = offs[len];
    }
    std::fill(table_.begin(), table_.end(), 0u);
    std::array<int, 17> next = first_;
    std::array<int, 17> fill = offs;
    for (int s = 0; s < n; ++s) {
      int len = lens[s];
      if (len == 0) continue;
      sorted_[fill[len]++] = static_cast<std::uint16_t>(s);
      int c = next[len]++;
      if (len <= tableBits_) {
        int shift = tableBits_ - len;
        std::uint32_t entry = (static_cast<std::uint32_t>(s) << 8) | static_cast<std::uint32_t>(len);
        std::size_t base = static_cast<std::size_t>(c) << shift;
        for (std::size_t k = 0; k < (std::size_t{1} << shift); ++k) table_[base + k] = entry;
      }
    }
    return true;
  }

  // The next symbol, or -1 when the bits form no code of this tree.
  int Decode(BitIn& in) const {
    in.Refill();
    std::uint32_t e = table_[in.Peek(tableBits_)];
    if (e != 0) {
      in.Skip(static_cast<int>(e & 0xFF));
      return static_cast<int>(e >> 8);
    }
    std::uint32_t bits = in.Peek(16);
    for (int len = tableBits_ + 1; len <= 16; ++len) {
      int c = static_cast<int>(bits >> (16 - len));
      int idx = c - first_[len];
      if (idx >= 0 && idx < count_[len]) {
        in.Skip(len);
        return sorted_[start_[len] + idx];
      }
    }
    return -1;
  }

 private:
  int tableBits_;
  std::vector<std::uint32_t> table_;
  std::vector<std::uint16_t> sorted_;
  std::array<int, 17> first_{};
  std::array<int, 17> count_{};
  std::array<int, 17> start_{};
};

struct SlotTables {
  std::array<std::uint8_t, kMaxPositionSlots> extra{};
  std::array<std::uint32_t, kMaxPositionSlots> base{};
  SlotTables() {
    std::uint32_t b = 0;
    for (int i = 0; i < kMaxPositionSlots; ++i) {
      int e = i < 4 ? 0 : std::min((i - 2) / 2, 17);
      extra[i] = static_cast<std::uint8_t>(e);
      base[i] = b;
      b += 1u << e;
    }
  }
};
const SlotTables kSlots;

int PositionSlotsFor(int windowBits) {
  static constexpr int kSlots[] = {30, 32, 34, 36, 38, 42, 50};
  return kSlots[windowBits - 15];
}

}  // namespace

struct LzxDecoder::Impl {
  int windowBits;
  std::uint32_t windowSize;
  int mainSymbols;
  std::vector<std::uint8_t> ring;  // the window, at least two frames long so a
  std::uint32_t ringMask;          // frame is whole in it until copied out

  // Folder state.
  std::uint64_t produced = 0;    // bytes decoded into the ring so far
  std::uint64_t frameStart = 0;  // absolute offset of the next frame
  std::uint32_t frameIndex = 0;
  bool headerRead = false;
  std::uint32_t e8Size = 0;  // 0: no call translation
  std::uint32_t r0 = 1, r1 = 1, r2 = 1;
  int blockType = 0;
  std::uint32_t blockLength = 0;
  std::uint32_t blockRemaining = 0;
  std::array<std::uint8_t, kMainMaxSymbols> mainLens{};
  std::array<std::uint8_t, kLengthSymbols> lengthLens{};
  std::array<std::uint8_t, kAlignedSymbols> alignedLens{};
  Huffman mainTree{kMainMaxSymbols, 11};
  Huffman lengthTree{kLengthSymbols, 10};
  Huffman alignedTree{kAlignedSymbols, 7};
  Huffman pretree{kPretreeSymbols, 7};

  explicit Impl(int bits)
      : windowBits(bits),
        windowSize(1u << bits),
        mainSymbols(kNumChars + PositionSlotsFor(bits) * 8),
        ring(std::max<std::size_t>(std::size_t{1} << bits, 2 * kFrameSize)),
        ringMask(static_cast<std::uint32_t>(ring.size() - 1)) {}

  void Reset() {
    produced = 0;
    frameStart = 0;
    frameIndex = 0;
    headerRead = false;
    e8Size = 0;
    r0 = r1 = r2 = 1;
    blockType = 0;
    blockLength = blockRemaining = 0;
    mainLens.fill(0);
    lengthLens.fill(0);
  }

  // Reads code lengths lens[first..last) as deltas against their previous
  // values, through a pretree sent first.
  bool ReadLengths(BitIn& in, std::uint8_t* lens, int first, int last) {
    std::array<std::uint8_t, kPretreeSymbols> pl{};
    for (auto& l : pl) l = static_cast<std::uint8_t>(in.Read(4));
    if (!pretree.Build(pl.data(), kPretreeSymbols)) return false;
    int i = first;
    while (i < last) {
      if (in.FarPastEnd()) return false;
      int s = pretree.Decode(in);
      if (s < 0) return false;
      if (s == 17 || s == 18) {
        int run = (s == 17) ? static_cast<int>(in.Read(4)) + 4 : static_cast<int>(in.Read(5)) + 20;
        run = std::min(run, last - i);
        std::memset(lens + i, 0, static_cast<std::size_t>(run));
        i += run;
      } else if (s == 19) {
        int run = static_cast<int>(in.Read(1)) + 4;
        int d = pretree.Decode(in);
        if (d < 0 || d > 16) return false;
        std::uint8_t v = static_cast<std::uint8_t>((lens[i] + 17 - d) % 17);
        run = std::min(run, last - i);
        std::memset(lens + i, v, static_cast<std::size_t>(run));
        i += run;
      } else {
        lens[i] = static_cast<std::uint8_t>((lens[i] + 17 - s) % 17);
        ++i;
      }
    }
    return true;
  }

  bool ReadBlockHeader(BitIn& in, const std::uint8_t* data, std::size_t size) {
    blockType = static_cast<int>(in.Read(3));
    std::uint32_t hi = in.Read(16);
    std::uint32_t lo = in.Read(8);
    blockLength = blockRemaining = (hi << 8) | lo;
    if (blockLength == 0) return false;
    switch (blockType) {
      case 2:
        for (auto& l : alignedLens) l = static_cast<std::uint8_t>(in.Read(3));
        if (!alignedTree.Build(alignedLens.data(), kAlignedSymbols)) return false;
        [[fallthrough]];
      case 1:
        if (!ReadLengths(in, mainLens.data(), 0, kNumChars)) return false;
        if (!ReadLengths(in, mainLens.data(), kNumChars, mainSymbols)) return false;
        if (!mainTree.Build(mainLens.data(), mainSymbols)) return false;
        if (!ReadLengths(in, lengthLens.data(), 0, kLengthSymbols)) return false;
        if (!lengthTree.Build(lengthLens.data(), kLengthSymbols)) return false;
        return !in.PastEnd();
      case 3: {
        in.AlignForStored();
        std::size_t p = in.BytePos();
        if (p > size || size - p < 12) return false;
        auto le32 = [&](std::size_t o) {
          return static_cast<std::uint32_t>(data[o]) | (static_cast<std::uint32_t>(data[o + 1]) << 8) |
                 (static_cast<std::uint32_t>(data[o + 2]) << 16) | (static_cast<std::uint32_t>(data[o + 3]) << 24);
        };
        r0 = le32(p);
        r1 = le32(p + 4);
        r2 = le32(p + 8);
        in.Start(data, size, p + 12);
        return true;
      }
      default:
        return false;
    }
  }

  // Copies a match of len bytes at distance dist into the ring.
  bool CopyMatch(std::uint32_t dist, std::uint32_t len) {
    if (dist == 0 || dist > windowSize || dist > produced) return false;
    std::uint32_t dst = static_cast<std::uint32_t>(produced) & ringMask;
    std::uint32_t src = (dst - dist) & ringMask;
    std::uint8_t* r = ring.data();
    if (dst + len <= ring.size() && src + len <= ring.size() && src < dst) {
      if (dist >= 8) {
        // 8 bytes at a time: each piece reads bytes already written.
        std::uint32_t k = 0;
        for (; k + 8 <= len; k += 8) std::memcpy(r + dst + k, r + src + k, 8);
        for (; k < len; ++k) r[dst + k] = r[src + k];
      } else {
        for (std::uint32_t k = 0; k < len; ++k) r[dst + k] = r[src + k];
      }
    } else {
      for (std::uint32_t k = 0; k < len; ++k) r[(dst + k) & ringMask] = r[(src + k) & ringMask];
    }
    produced += len;
    return true;
  }

  // Decodes symbols of a verbatim or aligned block until exactly `want`
  // bytes came out. A match may not run past the end of its block or of its
  // frame (compressors cut matches there, and reference readers refuse
  // streams that do not).
  bool DecodeSymbols(BitIn& in, std::uint32_t want) {
    const std::uint64_t goal = produced + want;
    const bool aligned = blockType == 2;
    std::uint8_t* r = ring.data();
    while (produced < goal) {
      int sym = mainTree.Decode(in);
      if (sym < 0) return false;
      if (sym < kNumChars) {
        r[static_cast<std::uint32_t>(produced) & ringMask] = static_cast<std::uint8_t>(sym);
        ++produced;
        continue;
      }
      sym -= kNumChars;
      std::uint32_t len = static_cast<std::uint32_t>(sym & 7);
      int slot = sym >> 3;
      if (len == kPrimaryLengths) {
        int l = lengthTree.Decode(in);
        if (l < 0) return false;
        len += static_cast<std::uint32_t>(l);
      }
      len += kMinMatch;
      std::uint32_t dist;
      if (slot == 0) {
        dist = r0;
      } else if (slot == 1) {
        dist = r1;
        r1 = r0;
        r0 = dist;
      } else if (slot == 2) {
        dist = r2;
        r2 = r0;
        r0 = dist;
      } else {
        int extra = kSlots.extra[slot];
        std::uint32_t off = kSlots.base[slot];
        if (aligned && extra >= 3) {
          off += in.Read(extra - 3) << 3;
          int a = alignedTree.Decode(in);
          if (a < 0) return false;
          off += static_cast<std::uint32_t>(a);
        } else if (extra > 0) {
          off += in.Read(extra);
        }
        dist = off - 2;
        r2 = r1;
        r1 = r0;
        r0 = dist;
      }
      if (!CopyMatch(dist, len)) return false;
      if (in.FarPastEnd()) return false;
    }
    return produced == goal;
  }

  bool DecodeFrame(const std::uint8_t* data, std::size_t size, std::uint8_t* out, std::size_t outSize) {
    if (outSize == 0 || outSize > kFrameSize) return false;
    BitIn in;
    in.Start(data, size, 0);
    if (!headerRead) {
      headerRead = true;
      if (in.Read(1)) {
        std::uint32_t hi = in.Read(16);
        std::uint32_t lo = in.Read(16);
        e8Size = (hi << 16) | lo;
      }
    }
    const std::uint64_t frameEnd = frameStart + outSize;
    while (produced < frameEnd) {
      if (blockRemaining == 0) {
        if (!ReadBlockHeader(in, data, size)) return false;
      }
      std::uint32_t want = static_cast<std::uint32_t>(std::min<std::uint64_t>(blockRemaining, frameEnd - produced));
      if (blockType == 3) {
        // Stored data: `in` sits on a byte boundary (after the header's R0-R2,
        // or at the start of a frame that continues the block).
        std::size_t p = in.BytePos();
        if (p > size || size - p < want) return false;
        std::uint32_t dst = static_cast<std::uint32_t>(produced) & ringMask;
        for (std::uint32_t k = 0; k < want;) {
          std::uint32_t chunk = std::min<std::uint32_t>(want - k, static_cast<std::uint32_t>(ring.size()) - ((dst + k) & ringMask));
          std::memcpy(ring.data() + ((dst + k) & ringMask), data + p + k, chunk);
          k += chunk;
        }
        produced += want;
        blockRemaining -= want;
        p += want;
        if (blockRemaining == 0 && (blockLength & 1)) p = std::min(p + 1, size);
        in.Start(data, size, p);
      } else {
        std::uint64_t before = produced;
        if (!DecodeSymbols(in, want)) return false;
        blockRemaining -= static_cast<std::uint32_t>(produced - before);
      }
    }
    if (in.PastEnd()) return false;

    std::uint32_t at = static_cast<std::uint32_t>(frameStart) & ringMask;
    std::memcpy(out, ring.data() + at, outSize);
    if (e8Size != 0 && outSize > 10 && frameIndex < 32768) UndoCallTranslation(out, outSize);
    frameStart = frameEnd;
    ++frameIndex;
    return true;
  }

  // The compressor replaced the relative target of every E8 (CALL) byte by an
  // absolute one; put the relative value back.
  void UndoCallTranslation(std::uint8_t* buf, std::size_t n) const {
    const std::int64_t size = e8Size;
    std::size_t i = 0;
    const std::size_t end = n - 10;
    while (i < end) {
      if (buf[i] != 0xE8) {
        const void* next = std::memchr(buf + i, 0xE8, end - i);
        if (next == nullptr) break;
        i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - buf);
      }
      std::int64_t cur = static_cast<std::int64_t>(frameStart + i);
      std::int32_t abs = static_cast<std::int32_t>(static_cast<std::uint32_t>(buf[i + 1]) |
                                                   (static_cast<std::uint32_t>(buf[i + 2]) << 8) |
                                                   (static_cast<std::uint32_t>(buf[i + 3]) << 16) |
                                                   (static_cast<std::uint32_t>(buf[i + 4]) << 24));
      if (abs >= -cur && abs < size) {
        std::int64_t rel = abs >= 0 ? abs - cur : abs + size;
        std::uint32_t v = static_cast<std::uint32_t>(rel);
        buf[i + 1] = static_cast<std::uint8_t>(v);
        buf[i + 2] = static_cast<std::uint8_t>(v >> 8);
        buf[i + 3] = static_cast<std::uint8_t>(v >> 16);
        buf[i + 4] = static_cast<std::uint8_t>(v >> 24);
      }
      i += 5;
    }
  }
};

LzxDecoder::LzxDecoder(int windowBits) : impl_(std::make_unique<Impl>(windowBits)) {}
LzxDecoder::~LzxDecoder() = default;

std::unique_ptr<LzxDecoder> LzxDecoder::Create(int windowBits) {
  if (windowBits < 15 || windowBits > 21) return nullptr;
  return std::unique_ptr<LzxDecoder>(new LzxDecoder(windowBits));
}

void LzxDecoder::Reset() { impl_->Reset(); }

bool LzxDecoder::DecodeFrame(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize) {
  return impl_->DecodeFrame(in, inSize, out, outSize);
}

}  // namespace tarvex::extract
