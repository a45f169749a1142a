// LZX decoder for cabinet folders: a sliding window of 2^15..2^21 bytes,
// Huffman-coded literals and matches in verbatim, aligned-offset and stored
// blocks, and the optional x86 CALL (E8) translation undone on output.
//
// Each frame's bits start on a fresh 16-bit word, so a frame is decoded from
// its own input buffer (one cabinet data block). The decoder state (window,
// trees, repeated offsets, the current block) carries from frame to frame
// until Reset().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "extract/folder_decoder.h"

namespace tarvex::extract {

class LzxDecoder final : public FolderDecoder {
 public:
  // nullptr unless windowBits lies in kLzxWindowBits. The window takes
  // no more memory than folders of folderSize bytes need (RingSize).
  static std::unique_ptr<LzxDecoder> Create(int windowBits, std::uint64_t folderSize = UINT64_MAX);
  ~LzxDecoder() override;

  void Reset() override;
  bool DecodeBlock(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize) override;

 private:
  LzxDecoder(int windowBits, std::uint64_t folderSize);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarvex::extract
