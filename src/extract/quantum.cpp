#include "extract/quantum.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "extract/bit_reader.h"

namespace tarvex::extract {

namespace {

// Position slots: base and number of extra bits, as in LZX but with slots up
// to 41 (window 2^21).
struct PositionTables {
  std::array<std::uint32_t, 42> base{};
  std::array<std::uint8_t, 42> extra{};
  PositionTables() {
    std::uint32_t b = 0;
    for (int i = 0; i < 42; ++i) {
      int e = i < 4 ? 0 : (i - 2) / 2;
      extra[i] = static_cast<std::uint8_t>(e);
      base[i] = b;
      b += 1u << e;
    }
  }
};
const PositionTables kPos;

constexpr std::uint8_t kLengthBase[27] = {0,  1,  2,  3,  4,  5,  6,  8,  10, 12,  14,  18,  22, 26,
                                          30, 38, 46, 54, 62, 78, 94, 110, 126, 158, 190, 222, 254};
constexpr std::uint8_t kLengthExtra[27] = {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                           3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

// An adaptive model: entries kept in table order with cumulative frequencies
// (cum[i] is the frequency of entries i..n-1, so cum[n] == 0 and cum[0] is
// the total). Each decode adds 8 to the decoded entry; past a total of 3800
// the frequencies are halved, and every 50th time (the first after 4) the
// table is re-sorted by frequency.
class Model {
 public:
  void Init(int firstSymbol, int n) {
    n_ = n;
    resortsLeft_ = 4;
    for (int i = 0; i <= n; ++i) {
      sym_[i] = static_cast<std::uint16_t>(firstSymbol + i);
      cum_[i] = static_cast<std::uint16_t>(n - i);
    }
  }
  int size() const { return n_; }
  std::uint16_t total() const { return cum_[0]; }
  // Entry whose range [cum[i+1], cum[i]) holds f (f < total).
  int Find(std::uint32_t f) const {
    int i = 1;
    while (i < n_ && cum_[i] > f) ++i;
    return i - 1;
  }
  std::uint16_t hi(int i) const { return cum_[i]; }
  std::uint16_t lo(int i) const { return cum_[i + 1]; }
  int symbol(int i) const { return sym_[i]; }

  void Update(int i) {
    for (int k = 0; k <= i; ++k) cum_[k] = static_cast<std::uint16_t>(cum_[k] + 8);
    if (cum_[0] > 3800) Rescale();
  }

 private:
  void Rescale() {
    if (--resortsLeft_ != 0) {
      for (int i = n_ - 1; i >= 0; --i) {
        cum_[i] = static_cast<std::uint16_t>(cum_[i] >> 1);
        if (cum_[i] <= cum_[i + 1]) cum_[i] = static_cast<std::uint16_t>(cum_[i + 1] + 1);
      }
      return;
    }
    resortsLeft_ = 50;
    // Cumulative to single frequencies, halved (rounding up).
    for (int i = 0; i < n_; ++i) {
      cum_[i] = static_cast<std::uint16_t>(cum_[i] - cum_[i + 1]);
      cum_[i] = static_cast<std::uint16_t>((cum_[i] + 1) >> 1);
    }
    // Highest frequency first. The exact order of equal entries matters to
    // the coder, so this is the plain exchange sort the format uses.
    for (int i = 0; i < n_ - 1; ++i) {
      for (int j = i + 1; j < n_; ++j) {
        if (cum_[i] < cum_[j]) {
          std::swap(cum_[i], cum_[j]);
          std::swap(sym_[i], sym_[j]);
        }
      }
    }
    for (int i = n_ - 1; i >= 0; --i) cum_[i] = static_cast<std::uint16_t>(cum_[i] + cum_[i + 1]);
  }

  int n_ = 0;
  int resortsLeft_ = 4;
  std::array<std::uint16_t, 65> sym_{};
  std::array<std::uint16_t, 65> cum_{};
};

}  // namespace

struct QuantumDecoder::Impl {
  std::uint32_t windowSize;
  std::vector<std::uint8_t> ring;  // the window, at least two frames long so a
  std::uint32_t ringMask;          // frame is whole in it until copied out
  int windowBits;

  std::uint64_t produced = 0;
  std::uint64_t frameStart = 0;
  Model selector, literal[4], pos3, pos4, pos5, len5;

  // Arithmetic decoder registers (16 bits each), and the input bits, most
  // significant bit of each byte first.
  std::uint32_t H = 0, L = 0, C = 0;
  BitReader<1> in;

  Impl(int bits, std::uint64_t folderSize)
      : windowSize(1u << bits),
        ring(RingSize(bits, folderSize)),
        ringMask(static_cast<std::uint32_t>(ring.size() - 1)),
        windowBits(bits) {
    Reset();
  }

  void Reset() {
    produced = 0;
    frameStart = 0;
    selector.Init(0, 7);
    for (int i = 0; i < 4; ++i) literal[i].Init(i * 64, 64);
    pos3.Init(0, std::min(windowBits * 2, 24));
    pos4.Init(0, std::min(windowBits * 2, 36));
    pos5.Init(0, windowBits * 2);
    len5.Init(0, 27);
  }

  int Decode(Model& m) {
    std::uint32_t range = ((H - L) & 0xFFFF) + 1;
    std::uint32_t total = m.total();
    std::uint32_t f = ((((C - L) & 0xFFFF) + 1) * total - 1) / range;
    int i = m.Find(f & 0xFFFF);
    int sym = m.symbol(i);
    H = (L + (m.hi(i) * range) / total - 1) & 0xFFFF;
    L = (L + (m.lo(i) * range) / total) & 0xFFFF;
    m.Update(i);
    for (;;) {
      if ((L & 0x8000) != (H & 0x8000)) {
        if ((L & 0x4000) && !(H & 0x4000)) {
          // Underflow: the interval straddles the middle; drop the second bit.
          C ^= 0x4000;
          L &= 0x3FFF;
          H |= 0x4000;
        } else {
          break;
        }
      }
      L = (L << 1) & 0xFFFF;
      H = ((H << 1) | 1) & 0xFFFF;
      C = ((C << 1) | in.Read(1)) & 0xFFFF;
    }
    return sym;
  }

  bool CopyMatch(std::uint32_t dist, std::uint32_t len) {
    if (dist == 0 || dist > windowSize || dist > produced) return false;
    std::uint8_t* r = ring.data();
    std::uint32_t dst = static_cast<std::uint32_t>(produced) & ringMask;
    std::uint32_t src = (dst - dist) & ringMask;
    for (std::uint32_t k = 0; k < len; ++k) r[(dst + k) & ringMask] = r[(src + k) & ringMask];
    produced += len;
    return true;
  }

  bool DecodeFrame(const std::uint8_t* data, std::size_t size, std::uint8_t* out, std::size_t outSize) {
    if (outSize == 0 || outSize > kCabFrameSize) return false;
    in.Start(data, size);
    H = 0xFFFF;
    L = 0;
    C = in.Read(16);
    if (produced != frameStart) return false;  // the previous frame ran past its end
    const std::uint64_t frameEnd = frameStart + outSize;
    // A match ends inside its frame, as with LZX; in the last, short frame it
    // may run on past the end of the data (up to the frame's full size), and
    // the bytes past the end are not output.
    const std::uint64_t matchLimit = frameStart + kCabFrameSize;
    while (produced < frameEnd) {
      if (in.FarPastEnd()) return false;
      int sel = Decode(selector);
      if (sel < 4) {
        ring[static_cast<std::uint32_t>(produced) & ringMask] = static_cast<std::uint8_t>(Decode(literal[sel]));
        ++produced;
        continue;
      }
      std::uint32_t len, slot;
      if (sel == 4) {
        len = 3;
        slot = static_cast<std::uint32_t>(Decode(pos3));
      } else if (sel == 5) {
        len = 4;
        slot = static_cast<std::uint32_t>(Decode(pos4));
      } else {
        int ls = Decode(len5);
        len = kLengthBase[ls] + in.Read(kLengthExtra[ls]) + 5;
        slot = static_cast<std::uint32_t>(Decode(pos5));
      }
      std::uint32_t dist = kPos.base[slot] + in.Read(kPos.extra[slot]) + 1;
      if (produced + len > matchLimit || !CopyMatch(dist, len)) return false;
    }
    // The coder reads up to 16 bits ahead of what it needs.
    if (in.Consumed() > size * 8 + 16) return false;
    std::uint32_t at = static_cast<std::uint32_t>(frameStart) & ringMask;
    std::memcpy(out, ring.data() + at, outSize);
    frameStart = frameEnd;
    return true;
  }
};

QuantumDecoder::QuantumDecoder(int windowBits, std::uint64_t folderSize)
    : impl_(std::make_unique<Impl>(windowBits, folderSize)) {}
QuantumDecoder::~QuantumDecoder() = default;

std::unique_ptr<QuantumDecoder> QuantumDecoder::Create(int windowBits, std::uint64_t folderSize) {
  if (!kQuantumWindowBits.Holds(windowBits)) return nullptr;
  return std::unique_ptr<QuantumDecoder>(new QuantumDecoder(windowBits, folderSize));
}

void QuantumDecoder::Reset() { impl_->Reset(); }

bool QuantumDecoder::DecodeBlock(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                                 std::size_t outSize) {
  return impl_->DecodeFrame(in, inSize, out, outSize);
}

}  // namespace tarvex::extract
