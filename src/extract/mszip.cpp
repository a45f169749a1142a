#include "extract/mszip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tarvex::extract {

namespace {
constexpr std::size_t kHistory = 32768;  // the deflate window
constexpr char kBlockSignature[2] = {'C', 'K'};
}

struct MszipDecoder::Impl {
  z_stream zs{};
  bool initialised = false;
  // The last kHistory bytes of output, oldest first; `have` of them valid.
  std::vector<std::uint8_t> history = std::vector<std::uint8_t>(kHistory);
  std::size_t have = 0;

  Impl() { initialised = inflateInit2(&zs, -MAX_WBITS) == Z_OK; }
  ~Impl() {
    if (initialised) inflateEnd(&zs);
  }

  void Remember(const std::uint8_t* out, std::size_t n) {
    if (n >= kHistory) {
      std::memcpy(history.data(), out + (n - kHistory), kHistory);
      have = kHistory;
      return;
    }
    std::size_t keep = std::min(have, kHistory - n);
    std::memmove(history.data(), history.data() + (have - keep), keep);
    std::memcpy(history.data() + keep, out, n);
    have = keep + n;
  }
};

MszipDecoder::MszipDecoder() : impl_(std::make_unique<Impl>()) {}
MszipDecoder::~MszipDecoder() = default;

std::unique_ptr<MszipDecoder> MszipDecoder::Create() {
  std::unique_ptr<MszipDecoder> d(new MszipDecoder());
  return d->impl_->initialised ? std::move(d) : nullptr;
}

void MszipDecoder::Reset() { impl_->have = 0; }

bool MszipDecoder::DecodeBlock(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                               std::size_t outSize) {
  Impl& d = *impl_;
  if (inSize < sizeof kBlockSignature || std::memcmp(in, kBlockSignature, sizeof kBlockSignature) != 0) return false;
  if (inflateReset(&d.zs) != Z_OK) return false;
  if (d.have > 0 &&
      inflateSetDictionary(&d.zs, d.history.data(), static_cast<uInt>(d.have)) != Z_OK)
    return false;
  d.zs.next_in = const_cast<Bytef*>(in + sizeof kBlockSignature);
  d.zs.avail_in = static_cast<uInt>(inSize - sizeof kBlockSignature);
  // One spare byte: a stream that would write more than outSize is damaged,
  // and the spare byte lets it show instead of stopping at a full buffer.
  std::uint8_t spare = 0;
  d.zs.next_out = out;
  d.zs.avail_out = static_cast<uInt>(outSize);
  int rc = inflate(&d.zs, Z_FINISH);
  if (rc != Z_STREAM_END && d.zs.avail_out == 0) {
    d.zs.next_out = &spare;
    d.zs.avail_out = 1;
    rc = inflate(&d.zs, Z_FINISH);
  }
  if (rc != Z_STREAM_END || d.zs.total_out != outSize) return false;
  d.Remember(out, outSize);
  return true;
}

}  // namespace tarvex::extract
