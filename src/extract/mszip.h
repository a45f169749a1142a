// MSZIP decoder for cabinet folders: every data block holds the bytes "CK"
// and a complete raw deflate stream; the 32 KB of output before the block
// serve as its preset dictionary, so matches may reach into earlier blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarvex::extract {

class MszipDecoder {
 public:
  MszipDecoder();
  ~MszipDecoder();
  MszipDecoder(const MszipDecoder&) = delete;
  MszipDecoder& operator=(const MszipDecoder&) = delete;

  // Forgets the history (start of a folder).
  void Reset();

  // Inflates one block into exactly outSize bytes. False when the block is
  // damaged, or its stream yields more or fewer bytes than outSize.
  bool DecodeBlock(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                   std::size_t outSize);

  // False when the inflater could not be set up (out of memory).
  bool ok() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarvex::extract
