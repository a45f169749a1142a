// The decoders of a cabinet folder's data: one interface for the four
// methods (stored, MSZIP, Quantum, LZX), and the one place that says which
// methods and window sizes this reader decodes.
//
// A folder's uncompressed data is cut into blocks (of 32 KB as cabinets are
// written); each data block of the cabinet decodes to one of them. For
// Quantum and LZX the blocks are frames of exactly 32 KB (only the last may
// be shorter). The decoder state (history, window, models or trees) carries
// from block to block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace tarvex::extract {

constexpr std::size_t kCabFrameSize = 32768;

enum class CabMethod { Stored = 0, Mszip = 1, Quantum = 2, Lzx = 3 };

// The window sizes (as powers of two) that Quantum and LZX folders may use.
struct WindowBitsRange {
  int min, max;
  bool Holds(int bits) const { return bits >= min && bits <= max; }
};
constexpr WindowBitsRange kQuantumWindowBits{10, 21};
constexpr WindowBitsRange kLzxWindowBits{15, 21};

class FolderDecoder {
 public:
  virtual ~FolderDecoder() = default;
  // Back to the state at the start of a folder.
  virtual void Reset() = 0;
  // Decodes one data block (in[0, inSize)) into exactly outSize bytes (at
  // least 1; at most kCabFrameSize for Quantum and LZX). False when the block
  // is damaged, or does not decode to exactly outSize bytes; the decoder must
  // then be Reset before further use.
  virtual bool DecodeBlock(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize) = 0;
};

// What a folder's type field asks for: the method and, for Quantum and LZX,
// the window bits.
struct FolderCodec {
  CabMethod method;
  int windowBits;  // 0 for stored and MSZIP
  bool operator<(const FolderCodec& o) const {
    return method != o.method ? method < o.method : windowBits < o.windowBits;
  }
};

// The codec of a folder type field, when this reader decodes it.
std::optional<FolderCodec> FolderCodecOf(std::uint16_t typeCompress);

// The ring of a windowed decoder (Quantum, LZX): the window, or less when
// no folder it decodes is that long (a match never reaches back before the
// folder's start), and never less than two frames, so that a frame stays
// whole in the ring until it is copied out. A power of two.
std::size_t RingSize(int windowBits, std::uint64_t folderSize);

// A decoder for the codec, for folders of at most folderSize bytes;
// nullptr when it cannot be set up (no memory).
std::unique_ptr<FolderDecoder> MakeFolderDecoder(FolderCodec codec, std::uint64_t folderSize = UINT64_MAX);

}  // namespace tarvex::extract
