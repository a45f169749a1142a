// Reader for cabinet (.cab) files: one cabinet, not part of a set, with its
// folders stored, MSZIP, LZX or Quantum compressed.
//
// A file that does not start with the cabinet signature is not this format,
// with one exception: a Windows program (starting with "MZ") is searched for
// a cabinet stored inside it, as self-extracting programs do. Other files
// are not searched, so that an archive of another kind that merely holds a
// cabinet among its members is left to its own reader.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "extract/reader.h"

namespace tarvex::extract {

class CabReader : public ArchiveReader {
 public:
  CabReader();
  ~CabReader() override;
  Status Open(InputFile& file) override;
  const std::vector<EntryInfo>& Entries() const override;
  Status ExtractAll(const std::function<EntrySink*(std::size_t)>& sinkFor) override;

  // Offset of the cabinet inside the file (0 unless found inside a program).
  std::uint64_t cabinetOffset() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The checksum of a cabinet data block: the XOR of the data as 32-bit
// little-endian words, the last 1-3 bytes packed first-byte-highest, seeded.
std::uint32_t CabChecksum(const std::uint8_t* data, std::size_t n, std::uint32_t seed);

}  // namespace tarvex::extract
