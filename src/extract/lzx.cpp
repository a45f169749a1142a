#include "extract/lzx.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "extract/bit_reader.h"
#include "extract/huffman.h"
#include "extract/le_bytes.h"
#if defined(_MSC_VER) && !defined(__clang__)
#include <xmmintrin.h>
#endif

// A hint to fetch a match's source into the cache before it is copied.
static inline void Prefetch(const void* p) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(p);
#elif defined(_MSC_VER)
  _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0);
#else
  (void)p;
#endif
}

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
// Block types.
constexpr int kVerbatim = 1, kAligned = 2, kUncompressed = 3;

// Bits of 16-bit little-endian words, most significant bit first.
using Bits = BitReader<2>;

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
  return kSlots[windowBits - kLzxWindowBits.min];
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
  HuffmanTable mainTree{12};
  HuffmanTable lengthTree{11};
  HuffmanTable alignedTree{7};
  HuffmanTable pretree{7};

  Impl(int bits, std::uint64_t folderSize)
      : windowBits(bits),
        windowSize(1u << bits),
        mainSymbols(kNumChars + PositionSlotsFor(bits) * 8),
        ring(RingSize(bits, folderSize)),
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
  bool ReadLengths(Bits& in, std::uint8_t* lens, int first, int last) {
    std::array<std::uint8_t, kPretreeSymbols> pl{};
    for (auto& l : pl) l = static_cast<std::uint8_t>(in.Read(4));
    if (!pretree.Build(pl.data(), kPretreeSymbols)) return false;
    int i = first;
    while (i < last) {
      if (in.FarPastEnd()) return false;
      in.Refill();
      int s = pretree.Decode(in);
      if (s < 0) return false;
      if (s == 17 || s == 18) {
        int run = (s == 17) ? static_cast<int>(in.Read(4)) + 4 : static_cast<int>(in.Read(5)) + 20;
        run = std::min(run, last - i);
        std::memset(lens + i, 0, static_cast<std::size_t>(run));
        i += run;
      } else if (s == 19) {
        int run = static_cast<int>(in.Read(1)) + 4;
        in.Refill();
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

  bool ReadBlockHeader(Bits& in, const std::uint8_t* data, std::size_t size) {
    blockType = static_cast<int>(in.Read(3));
    std::uint32_t hi = in.Read(16);
    std::uint32_t lo = in.Read(8);
    blockLength = blockRemaining = (hi << 8) | lo;
    if (blockLength == 0) return false;
    switch (blockType) {
      case kAligned:
        for (auto& l : alignedLens) l = static_cast<std::uint8_t>(in.Read(3));
        if (!alignedTree.Build(alignedLens.data(), kAlignedSymbols)) return false;
        [[fallthrough]];
      case kVerbatim:
        if (!ReadLengths(in, mainLens.data(), 0, kNumChars)) return false;
        if (!ReadLengths(in, mainLens.data(), kNumChars, mainSymbols)) return false;
        if (!mainTree.Build(mainLens.data(), mainSymbols)) return false;
        if (!ReadLengths(in, lengthLens.data(), 0, kLengthSymbols)) return false;
        if (!lengthTree.Build(lengthLens.data(), kLengthSymbols)) return false;
        return !in.PastEnd();
      case kUncompressed: {
        in.SkipToNextUnit();
        std::size_t p = static_cast<std::size_t>(in.BytePosition());
        if (p > size || size - p < 12) return false;
        r0 = Le32(data + p);
        r1 = Le32(data + p + 4);
        r2 = Le32(data + p + 8);
        in.SeekByte(p + 12);
        return true;
      }
      default:
        return false;
    }
  }

  // Copies a match of len bytes at distance dist (1..windowSize, checked by
  // the caller) into the ring at pos.
  void CopyMatch(std::uint8_t* r, std::uint32_t pos, std::uint32_t dist, std::uint32_t len) const {
    const std::uint32_t size = ringMask + 1;
    const std::uint32_t src = (pos - dist) & ringMask;
    // gap: how far the source lies behind (dist) or, when it comes from the
    // ring's far end, ahead of the destination.
    const std::uint32_t gap = src < pos ? dist : src - pos;
    if (gap >= 8 && src + len + 8 <= size && pos + len + 8 <= size) {
      std::uint8_t* d = r + pos;
      const std::uint8_t* s = r + src;
      if (len <= 8) {
        // One 8-byte store: the match's bytes from the source, the bytes
        // after it written back as they are.
        const std::uint64_t keep = ~std::uint64_t{0} << (8 * len - 1) << 1;
        Store64(d, (Load64(s) & ~keep) | (Load64(d) & keep));
        return;
      }
      // Each 8-byte piece reads bytes not written by this copy before it
      // (the source is at least 8 bytes behind or ahead); the last piece is
      // redone from len - 8, rewriting bytes with the same values.
      std::uint32_t k = 0;
      for (; k + 8 <= len; k += 8) Move8(d + k, s + k);
      if (k < len) Move8(d + len - 8, s + len - 8);
      return;
    }
    if (src + len <= size && pos + len <= size) {
      // No wrap: forward byte order gives the ring's meaning whether the
      // source is a few bytes behind or a few bytes ahead.
      std::uint8_t* d = r + pos;
      const std::uint8_t* s = r + src;
      if (dist == 1) {
        std::memset(d, s[0], len);
      } else {
        for (std::uint32_t k = 0; k < len; ++k) d[k] = s[k];
      }
      return;
    }
    // Source or destination wraps around the ring end: byte by byte.
    for (std::uint32_t k = 0; k < len; ++k) r[(pos + k) & ringMask] = r[(src + k) & ringMask];
  }

  static void Move8(std::uint8_t* d, const std::uint8_t* s) {
    std::uint64_t v;
    std::memcpy(&v, s, 8);
    std::memcpy(d, &v, 8);
  }

  // Decodes symbols of a verbatim or aligned block until exactly `want`
  // bytes came out. A match may not run past the end of its block or of its
  // frame (compressors cut matches there, and reference readers refuse
  // streams that do not). The hot state lives in locals for the loop.
  //
  // Symbols are decoded in batches, first into a short list of literals and
  // matches (the bits never depend on the window), with the source of each
  // match fetched ahead into the cache; then the list is played into the
  // ring. Far matches then wait for memory once per batch rather than once
  // per match.
  bool DecodeSymbols(Bits& in, std::uint32_t want) {
    struct Token {
      std::uint32_t len;   // match length, or the literal byte when dist is 0
      std::uint32_t dist;  // 0 for a literal
    };
    constexpr int kBatch = 64;
    Token toks[kBatch];
    Bits bits = in;
    const bool aligned = blockType == kAligned;
    std::uint8_t* const r = ring.data();
    const std::uint32_t mask = ringMask;
    const std::uint32_t window = windowSize;
    const HuffmanTable& mainT = mainTree;
    const HuffmanTable& lengthT = lengthTree;
    const HuffmanTable& alignedT = alignedTree;
    std::uint64_t done = produced;  // bytes decoded (planned) so far
    const std::uint64_t goal = produced + want;
    std::uint32_t pos = static_cast<std::uint32_t>(done) & mask;  // play position
    std::uint32_t a0 = r0, a1 = r1, a2 = r2;
    bool ok = true;
    while (ok && done < goal) {
      int n = 0;
      std::uint32_t ahead = static_cast<std::uint32_t>(done) & mask;  // plan position
      while (n < kBatch && done < goal) {
        bits.Refill();
        int sym = mainT.Decode(bits);
        if (sym < kNumChars) {
          if (sym < 0) {
            ok = false;
            break;
          }
          toks[n++] = Token{static_cast<std::uint32_t>(sym), 0};
          ahead = (ahead + 1) & mask;
          ++done;
          continue;
        }
        sym -= kNumChars;
        std::uint32_t len = static_cast<std::uint32_t>(sym & 7);
        const int slot = sym >> 3;
        if (len == kPrimaryLengths) {
          int l = lengthT.Decode(bits);
          if (l < 0) {
            ok = false;
            break;
          }
          len += static_cast<std::uint32_t>(l);
        }
        len += kMinMatch;
        std::uint32_t dist;
        if (slot == 0) {
          dist = a0;
        } else if (slot == 1) {
          dist = a1;
          a1 = a0;
          a0 = dist;
        } else if (slot == 2) {
          dist = a2;
          a2 = a0;
          a0 = dist;
        } else {
          const int extra = kSlots.extra[slot];
          std::uint32_t off = kSlots.base[slot];
          if (aligned && extra >= 3) {
            off += bits.Read(extra - 3) << 3;
            bits.Refill();
            int a = alignedT.Decode(bits);
            if (a < 0) {
              ok = false;
              break;
            }
            off += static_cast<std::uint32_t>(a);
          } else if (extra > 0) {
            off += bits.Read(extra);
          }
          dist = off - 2;
          a2 = a1;
          a1 = a0;
          a0 = dist;
        }
        if (dist == 0 || dist > window || dist > done || len > goal - done || bits.FarPastEnd()) {
          ok = false;
          break;
        }
        Prefetch(r + ((ahead - dist) & mask));
        toks[n++] = Token{len, dist};
        ahead = (ahead + len) & mask;
        done += len;
      }
      // Play the batch (on damage, only what was checked before it).
      for (int k = 0; k < n; ++k) {
        const Token t = toks[k];
        if (t.dist == 0) {
          r[pos] = static_cast<std::uint8_t>(t.len);
          pos = (pos + 1) & mask;
        } else {
          CopyMatch(r, pos, t.dist, t.len);
          pos = (pos + t.len) & mask;
        }
      }
    }
    in = bits;
    produced = done;
    r0 = a0;
    r1 = a1;
    r2 = a2;
    return ok && done == goal;
  }

  bool DecodeFrame(const std::uint8_t* data, std::size_t size, std::uint8_t* out, std::size_t outSize) {
    if (outSize == 0 || outSize > kCabFrameSize) return false;
    Bits in;
    in.Start(data, size);
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
      if (blockType == kUncompressed) {
        // Stored data: `in` sits on a byte boundary (after the header's R0-R2,
        // or at the start of a frame that continues the block).
        std::size_t p = static_cast<std::size_t>(in.BytePosition());
        if (p > size || size - p < want) return false;
        std::uint32_t dst = static_cast<std::uint32_t>(produced) & ringMask;
        for (std::uint32_t k = 0; k < want;) {
          std::uint32_t chunk = std::min<std::uint32_t>(want - k, ringMask + 1 - ((dst + k) & ringMask));
          std::memcpy(ring.data() + ((dst + k) & ringMask), data + p + k, chunk);
          k += chunk;
        }
        produced += want;
        blockRemaining -= want;
        p += want;
        if (blockRemaining == 0 && (blockLength & 1)) p = std::min(p + 1, size);
        in.SeekByte(p);
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
    const std::size_t end = n - 10;  // an E8 in the last 10 bytes is left alone
    std::size_t base = 0;
    unsigned skip = 0;  // leading bytes of this block that are an operand
    // Whole blocks of 64 positions: a bit mask of the E8 bytes is made
    // first (no dependence between its words), then walked; each E8 found
    // hides the 4 bytes after it.
    while (end - base >= 64) {
      std::uint64_t m = 0;
      for (int k = 0; k < 8; ++k) m |= E8Bits(Load64(buf + base + 8 * k)) << (8 * k);
      m &= ~std::uint64_t{0} << skip;
      skip = 0;
      while (m != 0) {
        const unsigned p = static_cast<unsigned>(std::countr_zero(m));
        TranslateAt(buf, base + p);
        if (p >= 59) {
          skip = p + 5 - 64;
          break;
        }
        m &= ~std::uint64_t{0} << (p + 5);
      }
      base += 64;
    }
    for (std::size_t i = base + skip; i < end;) {
      if (buf[i] == 0xE8) {
        TranslateAt(buf, i);
        i += 5;
      } else {
        ++i;
      }
    }
  }

  // One bit per byte of w (bit k for byte k) telling whether it is E8.
  static std::uint64_t E8Bits(std::uint64_t w) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    const std::uint64_t x = w ^ 0xE8E8E8E8E8E8E8E8ull;  // zero bytes where E8
    const std::uint64_t nonzero = ((x & kLow7) + kLow7) | x;
    const std::uint64_t zero = ~nonzero & ~kLow7;      // bit 8k+7 set for zero bytes
    return ((zero >> 7) * 0x0102040810204080ull) >> 56;  // gathered into 8 bits
  }

  // Turns the absolute target after the E8 at buf[i] back into a relative
  // one; targets outside -position..e8Size were left alone by the
  // compressor. Branch-free: such targets are written back unchanged.
  void TranslateAt(std::uint8_t* buf, std::size_t i) const {
    const std::int64_t cur = static_cast<std::int64_t>(frameStart + i);
    const std::int32_t abs = static_cast<std::int32_t>(Load32(buf + i + 1));
    // abs in -cur..e8Size-1  <=>  abs + cur in 0..e8Size+cur-1
    const bool inRange = static_cast<std::uint64_t>(abs + cur) < e8Size + static_cast<std::uint64_t>(cur);
    const std::int64_t rel = abs - (abs >= 0 ? cur : -static_cast<std::int64_t>(e8Size));
    Store32(buf + i + 1, static_cast<std::uint32_t>(inRange ? rel : abs));
  }

  // Little-endian loads and stores of unaligned bytes.
  static std::uint64_t Swap(std::uint64_t v) {
    v = ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
    v = ((v & 0x0000FFFF0000FFFFull) << 16) | ((v >> 16) & 0x0000FFFF0000FFFFull);
    return (v << 32) | (v >> 32);
  }
  static std::uint32_t Swap(std::uint32_t v) {
    v = ((v & 0x00FF00FFu) << 8) | ((v >> 8) & 0x00FF00FFu);
    return (v << 16) | (v >> 16);
  }
  static std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big) v = Swap(v);
    return v;
  }
  static void Store64(std::uint8_t* p, std::uint64_t v) {
    if constexpr (std::endian::native == std::endian::big) v = Swap(v);
    std::memcpy(p, &v, 8);
  }
  static std::uint32_t Load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) v = Swap(v);
    return v;
  }
  static void Store32(std::uint8_t* p, std::uint32_t v) {
    if constexpr (std::endian::native == std::endian::big) v = Swap(v);
    std::memcpy(p, &v, 4);
  }
};

LzxDecoder::LzxDecoder(int windowBits, std::uint64_t folderSize)
    : impl_(std::make_unique<Impl>(windowBits, folderSize)) {}
LzxDecoder::~LzxDecoder() = default;

std::unique_ptr<LzxDecoder> LzxDecoder::Create(int windowBits, std::uint64_t folderSize) {
  if (!kLzxWindowBits.Holds(windowBits)) return nullptr;
  return std::unique_ptr<LzxDecoder>(new LzxDecoder(windowBits, folderSize));
}

void LzxDecoder::Reset() { impl_->Reset(); }

bool LzxDecoder::DecodeBlock(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize) {
  return impl_->DecodeFrame(in, inSize, out, outSize);
}

}  // namespace tarvex::extract
