// MSZIP decoder for cabinet folders: every data block holds the bytes "CK"
// and a complete raw deflate stream; the 32 KB of output before the block
// serve as its preset dictionary, so matches may reach into earlier blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "extract/folder_decoder.h"

namespace tarvex::extract {

class MszipDecoder final : public FolderDecoder {
 public:
  // nullptr when the inflater cannot be set up (out of memory).
  static std::unique_ptr<MszipDecoder> Create();
  ~MszipDecoder() override;

  // Forgets the history (start of a folder).
  void Reset() override;
  // Inflates one block into exactly outSize bytes; false when the block is
  // damaged, or its stream yields more or fewer bytes than outSize.
  bool DecodeBlock(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize) override;

 private:
  MszipDecoder();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarvex::extract
