// The LZH archive reader: header levels 0 to 3 with their extended headers,
// the methods of lzh_decode.h, and LZH archives inside self-extracting
// executables.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "extract/lzh_decode.h"
#include "extract/reader.h"

namespace tarvex::extract {

namespace lzh {

// One archive member as its header describes it.
struct Member {
  EntryInfo info;
  Method method = Method::Unknown;
  std::string methodId;        // the five id bytes, for messages
  int level = 0;
  std::uint64_t headerOffset = 0;
  std::uint64_t dataOffset = 0;
  std::uint64_t packedSize = 0;
  std::uint16_t crc = 0;
  bool headerVerified = false; // its checksum (levels 0, 1) or header CRC held
};

// Parses the header at `offset`. Ok and the member; NotThisFormat when the
// bytes there are no header at all (or the end marker: then *atEnd is set);
// Corrupt when a header starts there but is damaged or cut short.
Status ParseHeader(InputFile& file, std::uint64_t offset, Member& out, bool* atEnd);

// Where the first header lies: 0 for a plain archive, further in for a
// self-extracting one. NotThisFormat when no header is found.
Status FindFirstHeader(InputFile& file, std::uint64_t& offset);

}  // namespace lzh

class LzhReader : public ArchiveReader {
 public:
  Status Open(InputFile& file) override;
  const std::vector<EntryInfo>& Entries() const override { return entries_; }
  Status ExtractAll(const std::function<EntrySink*(std::size_t)>& sinkFor) override;
  const std::vector<lzh::Member>& Members() const { return members_; }

 private:
  InputFile* file_ = nullptr;
  std::vector<lzh::Member> members_;
  std::vector<EntryInfo> entries_;
};

std::unique_ptr<ArchiveReader> MakeLzhReader();

}  // namespace tarvex::extract
