// Quantum decoder for cabinet folders: an LZ77 window of 2^10..2^21 bytes
// whose literals, match lengths and match positions are coded with a 16-bit
// arithmetic coder over adaptive frequency models.
//
// Every frame restarts the arithmetic coder on fresh input (one cabinet data
// block); the window and the models carry from frame to frame until Reset().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "extract/folder_decoder.h"

namespace tarvex::extract {

class QuantumDecoder final : public FolderDecoder {
 public:
  // nullptr unless windowBits lies in kQuantumWindowBits. The window takes
  // no more memory than folders of folderSize bytes need (RingSize).
  static std::unique_ptr<QuantumDecoder> Create(int windowBits, std::uint64_t folderSize = UINT64_MAX);
  ~QuantumDecoder() override;

  void Reset() override;
  bool DecodeBlock(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize) override;

 private:
  QuantumDecoder(int windowBits, std::uint64_t folderSize);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarvex::extract
