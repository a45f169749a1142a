// Quantum decoder for cabinet folders: an LZ77 window of 2^10..2^21 bytes
// whose literals, match lengths and match positions are coded with a 16-bit
// arithmetic coder over adaptive frequency models.
//
// Output comes in frames of 32768 bytes (the last one may be shorter). Every
// frame restarts the arithmetic coder on fresh input (one cabinet data block);
// the window and the models carry from frame to frame until Reset().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarvex::extract {

class QuantumDecoder {
 public:
  static constexpr std::size_t kFrameSize = 32768;

  // windowBits must lie in 10..21; returns nullptr otherwise.
  static std::unique_ptr<QuantumDecoder> Create(int windowBits);

  void Reset();

  // Decodes one frame of exactly outSize bytes (1..kFrameSize) from
  // in[0..inSize). Returns false when the input is damaged.
  bool DecodeFrame(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                   std::size_t outSize);

  ~QuantumDecoder();

 private:
  explicit QuantumDecoder(int windowBits);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarvex::extract
