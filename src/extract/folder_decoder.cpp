#include "extract/folder_decoder.h"

#include <cstring>

#include "extract/lzx.h"
#include "extract/mszip.h"
#include "extract/quantum.h"

namespace tarvex::extract {

namespace {

// The type field: method in bits 0-3, window bits in bits 8-12.
constexpr std::uint16_t kTypeMethodMask = 0x000F;
constexpr int kTypeWindowShift = 8;
constexpr std::uint16_t kTypeWindowMask = 0x1F;

class StoredDecoder final : public FolderDecoder {
 public:
  void Reset() override {}
  bool DecodeBlock(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize) override {
    if (inSize != outSize) return false;
    std::memcpy(out, in, outSize);
    return true;
  }
};

}  // namespace

std::optional<FolderCodec> FolderCodecOf(std::uint16_t typeCompress) {
  const int bits = (typeCompress >> kTypeWindowShift) & kTypeWindowMask;
  switch (typeCompress & kTypeMethodMask) {
    case 0: return FolderCodec{CabMethod::Stored, 0};
    case 1: return FolderCodec{CabMethod::Mszip, 0};
    case 2:
      if (kQuantumWindowBits.Holds(bits)) return FolderCodec{CabMethod::Quantum, bits};
      return std::nullopt;
    case 3:
      if (kLzxWindowBits.Holds(bits)) return FolderCodec{CabMethod::Lzx, bits};
      return std::nullopt;
    default: return std::nullopt;
  }
}

std::size_t RingSize(int windowBits, std::uint64_t folderSize) {
  std::size_t ring = 2 * kCabFrameSize;
  while (ring < (std::size_t{1} << windowBits) && ring < folderSize) ring *= 2;
  return ring;
}

std::unique_ptr<FolderDecoder> MakeFolderDecoder(FolderCodec codec, std::uint64_t folderSize) {
  switch (codec.method) {
    case CabMethod::Stored: return std::make_unique<StoredDecoder>();
    case CabMethod::Mszip: return MszipDecoder::Create();
    case CabMethod::Quantum: return QuantumDecoder::Create(codec.windowBits, folderSize);
    case CabMethod::Lzx: return LzxDecoder::Create(codec.windowBits, folderSize);
  }
  return nullptr;
}

}  // namespace tarvex::extract
