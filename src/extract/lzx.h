// LZX decoder for cabinet folders: a sliding window of 2^15..2^21 bytes,
// Huffman-coded literals and matches in verbatim, aligned-offset and stored
// blocks, and the optional x86 CALL (E8) translation undone on output.
//
// The compressed stream of a folder is cut into frames of 32768 output bytes
// (the last one may be shorter); each frame's bits start on a fresh 16-bit
// word, so a frame is decoded from its own input buffer (one cabinet data
// block). The decoder state (window, trees, repeated offsets, the current
// block) carries from frame to frame until Reset().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tarvex::extract {

class LzxDecoder {
 public:
  static constexpr std::size_t kFrameSize = 32768;

  // windowBits must lie in 15..21; returns nullptr otherwise.
  static std::unique_ptr<LzxDecoder> Create(int windowBits);

  // Back to the state at the start of a folder.
  void Reset();

  // Decodes one frame of exactly outSize bytes (1..kFrameSize; only the last
  // frame of a folder may be shorter than kFrameSize) from in[0..inSize).
  // Returns false when the input is damaged; the decoder must then be Reset
  // before further use.
  bool DecodeFrame(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                   std::size_t outSize);

  ~LzxDecoder();

 private:
  explicit LzxDecoder(int windowBits);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarvex::extract
