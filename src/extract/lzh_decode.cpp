#include "extract/lzh_decode.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "extract/bit_reader.h"
#include "extract/huffman.h"

namespace tarvex::extract::lzh {

namespace {

// Byte-at-a-time table, and seven more for eight bytes per step: t[k][i] is
// the CRC of byte i followed by k zero bytes.
struct CrcTable {
  std::uint16_t t[8][256];
  CrcTable() {
    for (unsigned i = 0; i < 256; ++i) {
      unsigned c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
      t[0][i] = static_cast<std::uint16_t>(c);
    }
    for (int k = 1; k < 8; ++k)
      for (unsigned i = 0; i < 256; ++i)
        t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
  }
};
const CrcTable kCrc;

// ---------------------------------------------------------------------------
// Bit input: the compressed bytes of one entry, most significant bit first,
// read from the archive through a bounded buffer.

using Bits = BitReader<1>;

class FileChunks final : public ByteChunks {
 public:
  static constexpr std::size_t kBuffer = 64 * 1024;  // or the whole entry, when smaller
  FileChunks(InputFile& file, std::uint64_t offset, std::uint64_t size)
      : file_(file),
        next_(offset),
        left_(size),
        size_(static_cast<std::size_t>(std::min<std::uint64_t>(size, kBuffer))),
        buf_(new std::uint8_t[size_]) {}
  bool Next(const std::uint8_t*& begin, const std::uint8_t*& end) override {
    if (left_ == 0 || ioError_) return false;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left_, size_));
    const std::int64_t got = file_.ReadAt(next_, buf_.get(), want);
    if (got <= 0) {  // an error, or the file is shorter than its header says
      ioError_ = got < 0;
      left_ = 0;
      return false;
    }
    next_ += static_cast<std::uint64_t>(got);
    left_ -= static_cast<std::uint64_t>(got);
    begin = buf_.get();
    end = buf_.get() + got;
    return true;
  }
  bool IoFailed() const { return ioError_; }

 private:
  InputFile& file_;
  std::uint64_t next_, left_;
  std::size_t size_;
  std::unique_ptr<std::uint8_t[]> buf_;  // not cleared: only bytes read into it are used
  bool ioError_ = false;
};

// ---------------------------------------------------------------------------
// Sliding window and output. The buffer holds the dictionary followed by a
// chunk of new output; when the chunk is full it is handed on and the last
// dictionary-size bytes move to the front. Before the first byte the
// dictionary part holds a method-specific preset (spaces for most methods).

class Window {
 public:
  static constexpr std::size_t kChunk = 256 * 1024;
  static constexpr std::size_t kSlack = 512;  // longest match plus wide-copy overrun

  // The chunk need not be larger than the whole output (small files).
  Window(std::size_t dict, std::uint64_t total, const OutputFn& out)
      : dict_(dict),
        chunk_(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, total))),
        out_(out),
        buf_(new std::uint8_t[dict + chunk_ + kSlack]) {
    std::memset(buf_.get(), ' ', dict);
    pos_ = flushed_ = dict;
  }
  // The dictionary as it stands before the first output byte; byte i is the
  // one dict-i positions back from the first output byte.
  std::uint8_t* Preset() { return buf_.get(); }

  // Makes room for one literal or match; false when the output refused data.
  inline bool Room() {
    if (pos_ < dict_ + chunk_) return true;
    if (!Flush()) return false;
    std::memmove(buf_.get(), buf_.get() + pos_ - dict_, dict_);
    pos_ = flushed_ = dict_;
    return true;
  }
  inline void Put(std::uint8_t b) { buf_[pos_++] = b; }
  // Copies len (<= 256 + a few) bytes from dist (1..dict) bytes back.
  inline void Copy(std::size_t dist, std::size_t len) {
    std::uint8_t* d = buf_.get() + pos_;
    const std::uint8_t* s = d - dist;
    if (dist >= 8) {
      for (std::size_t i = 0; i < len; i += 8) std::memcpy(d + i, s + i, 8);
    } else {
      for (std::size_t i = 0; i < len; ++i) d[i] = s[i];
    }
    pos_ += len;
  }
  bool Flush() {
    const bool ok = pos_ == flushed_ || out_(buf_.get() + flushed_, pos_ - flushed_);
    flushed_ = pos_;
    return ok;
  }

 private:
  std::size_t dict_;
  std::size_t chunk_;
  const OutputFn& out_;
  std::unique_ptr<std::uint8_t[]> buf_;  // not cleared: only written bytes are read
  std::size_t pos_, flushed_;
};

// ---------------------------------------------------------------------------
// -lh4- .. -lh7-: blocks of static Huffman codes. Each block starts with its
// symbol count and three code-length tables: the lengths of the code that
// codes the literal/length lengths, the literal/length code itself (510
// symbols: 256 literals, match lengths 3..256), and the distance-class code.

constexpr unsigned kNC = 510;
// Symbols decoded between checks that the data has not run out: decoding
// stops soon after the end of the compressed bytes, not after a whole block
// decoded from the zeros that follow it.
constexpr unsigned kCheckEvery = 256;
constexpr unsigned kNT = 19;

bool ReadSmallLengths(Bits& in, unsigned nn, int nbit, unsigned special, HuffmanTable& h) {
  std::uint8_t len[32] = {};
  const unsigned n = in.Read(nbit);
  if (n == 0) {
    const unsigned c = in.Read(nbit);
    if (c >= nn) return false;
    h.BuildSingle(c);
    return true;
  }
  if (n > nn) return false;
  unsigned i = 0;
  while (i < n) {
    in.Refill();
    unsigned c = in.Peek(3);
    if (c == 7) {
      const std::uint32_t look = in.Peek(16);
      for (std::uint32_t m = 1u << 12; look & m; m >>= 1) {
        if (++c > 16) return false;
      }
      in.Skip(static_cast<int>(c) - 3);
    } else {
      in.Skip(3);
    }
    len[i++] = static_cast<std::uint8_t>(c);
    if (i == special) {
      unsigned zeros = in.Read(2);
      if (i + zeros > n) return false;
      while (zeros-- > 0) len[i++] = 0;
    }
  }
  return h.Build(len, nn);
}

bool ReadLiteralLengths(Bits& in, const HuffmanTable& tcode, HuffmanTable& h) {
  std::uint8_t len[kNC] = {};
  const unsigned n = in.Read(9);
  if (n == 0) {
    const unsigned c = in.Read(9);
    if (c >= kNC) return false;
    h.BuildSingle(c);
    return true;
  }
  if (n > kNC) return false;
  unsigned i = 0;
  while (i < n) {
    in.Refill();
    const int c = tcode.Decode(in);
    if (c < 0) return false;
    if (c <= 2) {
      unsigned zeros = c == 0 ? 1 : c == 1 ? in.Read(4) + 3 : in.Read(9) + 20;
      if (i + zeros > n) return false;
      while (zeros-- > 0) len[i++] = 0;
    } else {
      len[i++] = static_cast<std::uint8_t>(c - 2);
    }
  }
  return h.Build(len, kNC);
}

Status DecodeStatic(Bits& in, Window& w, std::uint64_t total, int dicbit) {
  const unsigned np = static_cast<unsigned>(dicbit) + 1;
  const int pbit = dicbit <= 13 ? 4 : 5;
  HuffmanTable tcode(8), ccode(12), pcode(8);
  std::uint64_t left = total;
  while (left > 0) {
    unsigned blockSize = in.Read(16);
    if (!ReadSmallLengths(in, kNT, 5, 3, tcode) || !ReadLiteralLengths(in, tcode, ccode) ||
        !ReadSmallLengths(in, np, pbit, 0, pcode) || in.PastEnd())
      return Status::Corrupt;
    for (; blockSize > 0 && left > 0; --blockSize) {
      if (blockSize % kCheckEvery == 0 && in.PastEnd()) return Status::Corrupt;
      if (!w.Room()) return Status::Aborted;
      in.Refill();
      const int c = ccode.Decode(in);
      if (c < 0) return Status::Corrupt;
      if (c < 256) {
        w.Put(static_cast<std::uint8_t>(c));
        --left;
        continue;
      }
      std::uint64_t len = static_cast<unsigned>(c) - 253;
      int p = pcode.Decode(in);
      if (p < 0) return Status::Corrupt;
      std::size_t dist = static_cast<std::size_t>(p);
      if (p > 1) dist = (std::size_t{1} << (p - 1)) + in.Read(p - 1);
      len = std::min(len, left);
      w.Copy(dist + 1, static_cast<std::size_t>(len));
      left -= len;
    }
    if (in.PastEnd()) return Status::Corrupt;
  }
  return Status::Ok;
}

// ---------------------------------------------------------------------------
// -lh1-: 4 KB window; literals and match lengths (3..60) share one adaptive
// Huffman code whose tree is rebuilt as symbol frequencies change; the
// distance's upper 6 bits use a fixed code of 3 to 8 bits, its lower 6 bits
// follow as they are.

class AdaptiveHuffman {
 public:
  static constexpr int kChars = 314;             // 256 literals + 58 lengths
  static constexpr int kNodes = 2 * kChars - 1;  // tree size
  static constexpr int kRoot = kNodes - 1;
  static constexpr unsigned kMaxFreq = 0x8000;

  AdaptiveHuffman() {
    for (int i = 0; i < kChars; ++i) {
      freq_[i] = 1;
      son_[i] = i + kNodes;
      parent_[i + kNodes] = i;
    }
    for (int i = 0, j = kChars; j <= kRoot; i += 2, ++j) {
      freq_[j] = freq_[i] + freq_[i + 1];
      son_[j] = i;
      parent_[i] = parent_[i + 1] = j;
    }
    freq_[kNodes] = 0xFFFF;  // sentinel above every real frequency
    parent_[kRoot] = 0;
  }

  inline int Decode(Bits& in) {
    int c = son_[kRoot];
    while (c < kNodes) {
      if (in.Peek(1) != 0) ++c;  // 0 takes the left child, 1 the right
      in.Skip(1);
      in.Refill();
      c = son_[c];
    }
    c -= kNodes;
    Update(c);
    return c;
  }

 private:
  void Rebuild() {
    // Halve the leaf counts, then rebuild the internal nodes in order.
    int j = 0;
    for (int i = 0; i < kNodes; ++i) {
      if (son_[i] >= kNodes) {
        freq_[j] = (freq_[i] + 1) / 2;
        son_[j] = son_[i];
        ++j;
      }
    }
    for (int i = 0, k = kChars; k < kNodes; i += 2, ++k) {
      const unsigned f = freq_[i] + freq_[i + 1];
      int at = k - 1;
      while (f < freq_[at]) --at;
      ++at;
      std::memmove(&freq_[at + 1], &freq_[at], (k - at) * sizeof freq_[0]);
      std::memmove(&son_[at + 1], &son_[at], (k - at) * sizeof son_[0]);
      freq_[at] = f;
      son_[at] = i;
    }
    for (int i = 0; i < kNodes; ++i) {
      const int s = son_[i];
      parent_[s] = i;
      if (s < kNodes) parent_[s + 1] = i;
    }
  }

  void Update(int sym) {
    if (freq_[kRoot] == kMaxFreq) Rebuild();
    int c = parent_[sym + kNodes];
    do {
      const unsigned k = ++freq_[c];
      int l = c + 1;
      if (k > freq_[l]) {
        // Move the node past all nodes of lower frequency to keep the
        // sibling order, swapping subtrees.
        while (k > freq_[++l]) {
        }
        --l;
        freq_[c] = freq_[l];
        freq_[l] = k;
        const int i = son_[c];
        parent_[i] = l;
        if (i < kNodes) parent_[i + 1] = l;
        const int j = son_[l];
        son_[l] = i;
        parent_[j] = c;
        if (j < kNodes) parent_[j + 1] = c;
        son_[c] = j;
        c = l;
      }
      c = parent_[c];
    } while (c != 0);
  }

  unsigned freq_[kNodes + 1];
  int parent_[kNodes + kChars];
  int son_[kNodes];
};

struct DistanceCode {
  std::uint8_t upper[256], bits[256];
  DistanceCode() {
    // (number of codes, code length) for the upper 6 distance bits, in order.
    static const int kGroups[][2] = {{1, 3}, {3, 4}, {8, 5}, {12, 6}, {24, 7}, {16, 8}};
    int prefix = 0, value = 0;
    for (const auto& g : kGroups) {
      for (int k = 0; k < g[0]; ++k, ++value) {
        for (int r = 0; r < (1 << (8 - g[1])); ++r, ++prefix) {
          upper[prefix] = static_cast<std::uint8_t>(value);
          bits[prefix] = static_cast<std::uint8_t>(g[1]);
        }
      }
    }
  }
};
const DistanceCode kLh1Distance;

Status DecodeLh1(Bits& in, Window& w, std::uint64_t total, int) {
  auto tree = std::make_unique<AdaptiveHuffman>();
  std::uint64_t left = total;
  std::uint64_t sinceCheck = 0;
  while (left > 0) {
    if (!w.Room()) return Status::Aborted;
    in.Refill();
    const int c = tree->Decode(in);
    if (c < 256) {
      w.Put(static_cast<std::uint8_t>(c));
      --left;
    } else {
      in.Refill();
      const unsigned prefix = in.Peek(8);
      const int n = kLh1Distance.bits[prefix] + 6;
      const std::size_t dist = ((std::size_t{kLh1Distance.upper[prefix]} << 6) | (in.Read(n) & 0x3F)) + 1;
      const std::uint64_t len = std::min<std::uint64_t>(static_cast<unsigned>(c) - 253, left);
      w.Copy(dist, static_cast<std::size_t>(len));
      left -= len;
    }
    if (++sinceCheck == kCheckEvery) {
      sinceCheck = 0;
      if (in.PastEnd()) return Status::Corrupt;
    }
  }
  return Status::Ok;
}

// ---------------------------------------------------------------------------
// -lzs- and -lz5-: LZSS over a ring buffer whose match positions are absolute
// ring indices. Output starts at ring index ringSize - maxMatch.

std::size_t RingDistance(std::size_t ringPos, std::size_t matchPos, std::size_t ringSize) {
  const std::size_t d = (ringPos - matchPos) & (ringSize - 1);
  return d == 0 ? ringSize : d;
}

// -lzs-: 2 KB ring; a 1 bit announces a literal byte, a 0 bit an 11-bit
// position and a 4-bit length (2..17).
Status DecodeLzs(Bits& in, Window& w, std::uint64_t total, int) {
  constexpr std::size_t kRing = 2048;
  std::size_t r = kRing - 17;
  std::uint64_t left = total;
  std::uint64_t sinceCheck = 0;
  while (left > 0) {
    if (!w.Room()) return Status::Aborted;
    in.Refill();
    if (in.Read(1)) {
      w.Put(static_cast<std::uint8_t>(in.Read(8)));
      --left;
      r = (r + 1) & (kRing - 1);
    } else {
      const std::size_t pos = in.Read(11);
      const std::uint64_t len = std::min<std::uint64_t>(in.Read(4) + 2, left);
      w.Copy(RingDistance(r, pos, kRing), static_cast<std::size_t>(len));
      left -= len;
      r = (r + len) & (kRing - 1);
    }
    if (++sinceCheck == kCheckEvery) {
      sinceCheck = 0;
      if (in.PastEnd()) return Status::Corrupt;
    }
  }
  return Status::Ok;
}

// -lz5-: 4 KB ring with a preset dictionary; a flag byte announces, lowest bit
// first, eight items: 1 a literal byte, 0 a two-byte match (12-bit position,
// 4-bit length 3..18).
void PresetLz5(std::uint8_t* dict) {
  constexpr std::size_t kRing = 4096;
  constexpr std::size_t kStart = kRing - 18;
  std::uint8_t ring[kRing];
  std::size_t i = 0;
  for (int v = 0; v < 256; ++v)
    for (int k = 0; k < 13; ++k) ring[i++] = static_cast<std::uint8_t>(v);
  for (int v = 0; v < 256; ++v) ring[i++] = static_cast<std::uint8_t>(v);
  for (int v = 255; v >= 0; --v) ring[i++] = static_cast<std::uint8_t>(v);
  for (int k = 0; k < 128; ++k) ring[i++] = 0;
  while (i < kRing) ring[i++] = ' ';
  // The window's byte j lies kRing - j positions before the first output byte.
  for (std::size_t j = 0; j < kRing; ++j) dict[j] = ring[(kStart + j) & (kRing - 1)];
}

Status DecodeLz5(Bits& in, Window& w, std::uint64_t total, int) {
  constexpr std::size_t kRing = 4096;
  PresetLz5(w.Preset());
  std::size_t r = kRing - 18;
  std::uint64_t left = total;
  std::uint64_t sinceCheck = 0;
  while (left > 0) {
    in.Refill();
    unsigned flags = in.Read(8);
    for (int item = 0; item < 8 && left > 0; ++item, flags >>= 1) {
      if (!w.Room()) return Status::Aborted;
      in.Refill();
      if (flags & 1) {
        w.Put(static_cast<std::uint8_t>(in.Read(8)));
        --left;
        r = (r + 1) & (kRing - 1);
      } else {
        const unsigned b1 = in.Read(8), b2 = in.Read(8);
        const std::size_t pos = b1 | ((b2 & 0xF0u) << 4);
        const std::uint64_t len = std::min<std::uint64_t>((b2 & 0x0Fu) + 3, left);
        w.Copy(RingDistance(r, pos, kRing), static_cast<std::size_t>(len));
        left -= len;
        r = (r + len) & (kRing - 1);
      }
    }
    if (++sinceCheck == kCheckEvery / 8) {
      sinceCheck = 0;
      if (in.PastEnd()) return Status::Corrupt;
    }
  }
  return Status::Ok;
}

Status CopyStored(InputFile& file, std::uint64_t offset, std::uint64_t packed, std::uint64_t total,
                  const OutputFn& out) {
  if (packed < total) return Status::Corrupt;
  const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(total, 256 * 1024));
  const std::unique_ptr<std::uint8_t[]> buf(new std::uint8_t[size]);  // not cleared: read into first
  while (total > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(total, size));
    const std::int64_t got = file.ReadAt(offset, buf.get(), n);
    if (got < 0) return Status::IoError;
    if (static_cast<std::size_t>(got) != n) return Status::Corrupt;  // truncated
    if (!out(buf.get(), n)) return Status::Aborted;
    offset += n;
    total -= n;
  }
  return Status::Ok;
}

// The methods: id, window, decoder, and the most output per input (at
// most `unitBytes` for every `unitBits` bits of data) for MaxOutput.
using DecodeFn = Status (*)(Bits&, Window&, std::uint64_t total, int dictBits);
struct MethodSpec {
  char id[6];
  Method method;
  int dictBits;     // window of 2^dictBits bytes; 0: no window
  DecodeFn decode;  // nullptr: stored data (or, for directories, none)
  std::uint32_t unitBits;
  std::uint64_t unitBytes;
};

// -lh4- to -lh7-: a block of 65535 matches of 256 bytes costs at least 52
// bits of headers when its codes have one symbol each (and no bits per
// symbol). -lh1-: a match of 60 bytes costs at least 10 bits. -lzs-: 17
// bytes in 16 bits; -lz5-: 18 bytes in 17 bits (with its share of a flag byte).
constexpr std::uint64_t kStaticBlockMax = 65535 * 256;
constexpr MethodSpec kMethods[] = {
    {"-lh0-", Method::Lh0, 0, nullptr, 8, 1},
    {"-lh1-", Method::Lh1, 12, DecodeLh1, 10, 60},
    {"-lh4-", Method::Lh4, 12, DecodeStatic, 52, kStaticBlockMax},
    {"-lh5-", Method::Lh5, 13, DecodeStatic, 52, kStaticBlockMax},
    {"-lh6-", Method::Lh6, 15, DecodeStatic, 52, kStaticBlockMax},
    {"-lh7-", Method::Lh7, 16, DecodeStatic, 52, kStaticBlockMax},
    {"-lzs-", Method::Lzs, 11, DecodeLzs, 16, 17},
    {"-lz4-", Method::Lz4, 0, nullptr, 8, 1},
    {"-lz5-", Method::Lz5, 12, DecodeLz5, 17, 18},
    {"-lhd-", Method::Lhd, 0, nullptr, 8, 0},  // a folder: no data
};

const MethodSpec* SpecOf(Method method) {
  for (const MethodSpec& m : kMethods)
    if (m.method == method) return &m;
  return nullptr;
}

}  // namespace

Method MethodFromId(const std::uint8_t* id5) {
  for (const MethodSpec& m : kMethods)
    if (std::memcmp(id5, m.id, 5) == 0) return m.method;
  return Method::Unknown;
}

std::uint16_t Crc16(std::uint16_t crc, const std::uint8_t* p, std::size_t n) {
  const auto& t = kCrc.t;
  for (; n >= 8; n -= 8, p += 8) {
    crc = static_cast<std::uint16_t>(t[7][(crc ^ p[0]) & 0xFF] ^ t[6][((crc >> 8) ^ p[1]) & 0xFF] ^ t[5][p[2]] ^
                                     t[4][p[3]] ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
  }
  for (; n > 0; --n, ++p) crc = static_cast<std::uint16_t>((crc >> 8) ^ t[0][(crc ^ *p) & 0xFF]);
  return crc;
}

std::uint64_t MaxOutput(Method method, std::uint64_t packed) {
  const MethodSpec* m = SpecOf(method);
  if (!m || packed > (std::uint64_t{1} << 40)) return UINT64_MAX;
  return (packed * 8 + m->unitBits - 1) / m->unitBits * m->unitBytes;
}

Status Decode(Method method, InputFile& file, std::uint64_t offset, std::uint64_t packedSize,
              std::uint64_t originalSize, const OutputFn& out) {
  const MethodSpec* m = SpecOf(method);
  if (!m || method == Method::Lhd) return Status::Unsupported;
  if (!m->decode) return CopyStored(file, offset, packedSize, originalSize, out);
  if (originalSize == 0) return Status::Ok;
  auto chunks = std::make_unique<FileChunks>(file, offset, packedSize);
  Bits in;
  in.Start(nullptr, 0, chunks.get(), packedSize);
  Window w(std::size_t{1} << m->dictBits, originalSize, out);
  const Status st = m->decode(in, w, originalSize, m->dictBits);
  if (chunks->IoFailed()) return Status::IoError;
  if (st != Status::Ok) return st;
  if (in.PastEnd()) return Status::Corrupt;
  return w.Flush() ? Status::Ok : Status::Aborted;
}

}  // namespace tarvex::extract::lzh
