// The block decoders on their own: hand-built LZX stored blocks (alignment,
// odd-length padding, blocks spanning frames, the E8 call translation),
// MSZIP dictionaries, and damaged input for all three.
#include <gtest/gtest.h>

#include <random>

#include "cab/cab_support.h"
#include "extract/lzx.h"
#include "extract/mszip.h"
#include "extract/quantum.h"

namespace {

using namespace cabtest;
using tarvex::extract::LzxDecoder;
using tarvex::extract::MszipDecoder;
using tarvex::extract::QuantumDecoder;

// LZX bits: 16-bit little-endian words, filled from the top bit down.
class LzxBits {
 public:
  void Put(std::uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) {
      word_ = static_cast<std::uint16_t>((word_ << 1) | ((v >> i) & 1));
      if (++used_ == 16) Flush();
    }
  }
  // Pads to the next word boundary (stored-block rule: 1..16 bits).
  void PadForStored() {
    if (used_ == 0) Put(0, 16);
    else Put(0, 16 - used_);
  }
  void Align() {
    if (used_) Put(0, 16 - used_);
  }
  void Raw(const Bytes& b) {
    out.insert(out.end(), b.begin(), b.end());
  }
  void Raw32(std::uint32_t v) { Add32(out, v); }
  Bytes out;

 private:
  void Flush() {
    out.push_back(static_cast<std::uint8_t>(word_));
    out.push_back(static_cast<std::uint8_t>(word_ >> 8));
    word_ = 0;
    used_ = 0;
  }
  std::uint16_t word_ = 0;
  int used_ = 0;
};

void StoredHeader(LzxBits& w, std::uint32_t size) {
  w.Put(3, 3);
  w.Put(size >> 8, 16);
  w.Put(size & 0xFF, 8);
  w.PadForStored();
  w.Raw32(1);
  w.Raw32(1);
  w.Raw32(1);
}

TEST(Lzx, StoredBlocksWithOddLengthAndFrameSpanning) {
  // Frame 1: header bit (no translation), stored block of 33000 bytes of
  // which 32768 land here; frame 2 continues its raw bytes, then its pad
  // byte, then a second stored block of 3 bytes.
  Bytes data = Pattern(33003, 11);
  LzxBits f1;
  f1.Put(0, 1);
  StoredHeader(f1, 33001);
  f1.Raw(Bytes(data.begin(), data.begin() + 32768));
  LzxBits f2;
  f2.Raw(Bytes(data.begin() + 32768, data.begin() + 33001));
  f2.Raw({0x00});  // pad after an odd-length stored block
  StoredHeader(f2, 2);
  f2.Raw(Bytes(data.begin() + 33001, data.end()));

  for (int bits = 15; bits <= 21; ++bits) {
    auto d = LzxDecoder::Create(bits);
    ASSERT_TRUE(d);
    Bytes out(32768);
    ASSERT_TRUE(d->DecodeBlock(f1.out.data(), f1.out.size(), out.data(), 32768)) << bits;
    EXPECT_EQ(out, Bytes(data.begin(), data.begin() + 32768));
    Bytes out2(235);
    ASSERT_TRUE(d->DecodeBlock(f2.out.data(), f2.out.size(), out2.data(), out2.size())) << bits;
    EXPECT_EQ(out2, Bytes(data.begin() + 32768, data.end()));
  }
}

// The compressor stores the targets of E8 (CALL) bytes as absolute
// positions; the decoder makes them relative again, per frame, with the
// frame's offset in the stream, and leaves the last 10 bytes of a frame and
// targets out of range. It works per 64-byte block with a bit mask, so an E8
// at a block's offsets 59-63 has its operand in the next block, where those
// bytes are no code. Dense E8 bytes put calls at every offset; the output
// must equal the plain byte-by-byte rule.
TEST(Lzx, CallTranslationIsUndone) {
  const std::int64_t kSize = 12000000;
  std::mt19937 rng(3);
  Bytes stored(2 * 32768);
  for (auto& b : stored) b = static_cast<std::uint8_t>("\xE8\xE8\x00\x01\xFF\xB7"[rng() % 6]);
  Bytes want = stored;
  for (std::size_t frame = 0; frame < want.size(); frame += 32768) {
    for (std::size_t i = frame; i + 10 < frame + 32768;) {
      if (want[i] != 0xE8) {
        ++i;
        continue;
      }
      const std::int64_t cur = static_cast<std::int64_t>(i);
      const auto abs = static_cast<std::int32_t>(want[i + 1] | want[i + 2] << 8 | want[i + 3] << 16 |
                                                 static_cast<std::uint32_t>(want[i + 4]) << 24);
      if (abs >= -cur && abs < kSize) {
        const auto rel = static_cast<std::uint32_t>(abs >= 0 ? abs - cur : abs + kSize);
        for (int k = 0; k < 4; ++k) want[i + 1 + k] = static_cast<std::uint8_t>(rel >> (8 * k));
      }
      i += 5;
    }
  }
  LzxBits w;
  w.Put(1, 1);
  w.Put(kSize >> 16, 16);
  w.Put(kSize & 0xFFFF, 16);
  StoredHeader(w, 65536);
  const std::size_t head = w.out.size();
  w.Raw(stored);
  auto d = LzxDecoder::Create(16);
  Bytes out(32768);
  ASSERT_TRUE(d->DecodeBlock(w.out.data(), head + 32768, out.data(), out.size()));
  EXPECT_EQ(out, Bytes(want.begin(), want.begin() + 32768));
  ASSERT_TRUE(d->DecodeBlock(w.out.data() + head + 32768, 32768, out.data(), out.size()));
  EXPECT_EQ(out, Bytes(want.begin() + 32768, want.end()));
}

TEST(Lzx, DamagedStreamsFail) {
  auto decodeOne = [](const Bytes& in, std::size_t outSize = 100) {
    auto d = LzxDecoder::Create(15);
    Bytes out(outSize);
    return d->DecodeBlock(in.data(), in.size(), out.data(), out.size());
  };
  for (std::uint32_t type : {0u, 4u, 5u, 6u, 7u}) {
    LzxBits w;
    w.Put(0, 1);
    w.Put(type, 3);
    w.Put(0, 16);
    w.Put(100, 8);
    w.Align();
    w.Raw(Bytes(200, 0));
    EXPECT_FALSE(decodeOne(w.out)) << type;
  }
  {
    LzxBits w;  // a block of size 0 would never advance
    w.Put(0, 1);
    StoredHeader(w, 0);
    EXPECT_FALSE(decodeOne(w.out));
  }
  {
    LzxBits w;  // stored data shorter than the frame needs
    w.Put(0, 1);
    StoredHeader(w, 100);
    w.Raw(Bytes(60, 1));
    EXPECT_FALSE(decodeOne(w.out));
  }
  EXPECT_FALSE(decodeOne(Bytes{}));
  // Frame sizes outside 1..32768 are refused.
  auto d = LzxDecoder::Create(15);
  Bytes in(10, 0), out(40000);
  EXPECT_FALSE(d->DecodeBlock(in.data(), in.size(), out.data(), 0));
  EXPECT_FALSE(d->DecodeBlock(in.data(), in.size(), out.data(), 32769));
}

// Random input never crashes or hangs a decoder of any window size, a
// verbatim block of garbage is nearly always refused, and Quantum refuses to
// decode from nothing.
TEST(Decoders, RandomInputIsHandled) {
  std::mt19937 rng(7);
  Bytes out(32768);
  int lzxOk = 0;
  for (int round = 0; round < 300; ++round) {
    Bytes in(1 + rng() % 3000);
    for (auto& c : in) c = static_cast<std::uint8_t>(rng());
    auto lzx = LzxDecoder::Create(15 + round % 7);
    if (lzx->DecodeBlock(in.data(), in.size(), out.data(), 1 + rng() % 32768)) ++lzxOk;
    auto qtm = QuantumDecoder::Create(10 + round % 12);
    if (round < 12) EXPECT_FALSE(qtm->DecodeBlock(nullptr, 0, out.data(), 1000));  // nothing to decode from
    qtm->Reset();
    qtm->DecodeBlock(in.data(), in.size(), out.data(), 1 + rng() % 32768);
    auto mszip = MszipDecoder::Create();
    in[0] = 'C';
    in[1] = 'K';
    mszip->DecodeBlock(in.data(), in.size(), out.data(), 1 + rng() % 32768);
  }
  EXPECT_LT(lzxOk, 30);
}

TEST(Mszip, DictionaryCarriesAcrossBlocksAndSizesMustMatch) {
  Bytes first = Pattern(32768, 3);
  Bytes second(first.begin() + 3000, first.end());  // all matches into block 1
  Bytes z1 = CabSpec::Deflate({}, first.data(), first.size());
  Bytes z2 = CabSpec::Deflate(first, second.data(), second.size());
  auto ck = [](const Bytes& z) {
    Bytes b = {'C', 'K'};
    b.insert(b.end(), z.begin(), z.end());
    return b;
  };
  Bytes b1 = ck(z1), b2 = ck(z2);
  EXPECT_LT(b2.size(), 1000u);  // the second block really refers back

  auto d = MszipDecoder::Create();
  Bytes out(32768);
  ASSERT_TRUE(d->DecodeBlock(b1.data(), b1.size(), out.data(), first.size()));
  EXPECT_EQ(out, first);
  Bytes out2(second.size());
  ASSERT_TRUE(d->DecodeBlock(b2.data(), b2.size(), out2.data(), out2.size()));
  EXPECT_EQ(out2, second);

  // Without the history the second block cannot be decoded.
  d->Reset();
  EXPECT_FALSE(d->DecodeBlock(b2.data(), b2.size(), out2.data(), out2.size()));

  // A block that yields one byte more, or one byte less, than recorded.
  Bytes big(32769);
  d->Reset();
  EXPECT_FALSE(d->DecodeBlock(b1.data(), b1.size(), big.data(), 32767));
  d->Reset();
  EXPECT_FALSE(d->DecodeBlock(b1.data(), b1.size(), big.data(), 32769));
  // A stream cut short.
  d->Reset();
  EXPECT_FALSE(d->DecodeBlock(b1.data(), b1.size() / 2, out.data(), first.size()));
}

}  // namespace
