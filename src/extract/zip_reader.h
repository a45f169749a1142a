// The ZIP format reader. The central directory is the source of truth; each
// local header is checked against it (signature, name) and the entries' byte
// ranges may not overlap. Methods: stored and deflate (zlib raw inflate,
// streamed). ZIP64 sizes, offsets and entry counts; data descriptors; a
// prefix before the archive (self-extractors); UTF-8 names (flag bit 11 or
// the Unicode path extra field 0x7075); times from the NTFS (0x000A) or
// extended timestamp (0x5455) fields, else the DOS date and time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "extract/reader.h"

namespace tarvex::extract {

class ZipReader final : public ArchiveReader {
 public:
  ZipReader() = default;
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;
  ~ZipReader() override;
  Status Open(InputFile& file) override;
  const std::vector<EntryInfo>& Entries() const override { return entries_; }
  Status ExtractAll(const std::function<EntrySink*(std::size_t)>& sinkFor) override;

 private:
  struct Layout {
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t localOffset = 0;  // adjusted for a prefix
    std::uint64_t dataOffset = 0;   // filled in after the local header check
  };
  Status ReadCentralDirectory(std::uint64_t size, std::uint64_t delta);
  Status CheckLocalHeaders();
  Status ExtractOne(std::size_t index, EntrySink* sink);

  static constexpr std::size_t kInBuffer = 1 << 18;
  static constexpr std::size_t kOutBuffer = 1 << 20;

  InputFile* file_ = nullptr;
  std::vector<std::string> names_;   // central names, for the local header check
  std::vector<std::size_t> order_;   // entry indices by position in the file
  std::vector<std::uint8_t> in_, out_;
  void* z_ = nullptr;                // the inflate state (z_stream), reused
  bool zInit_ = false;
  std::vector<EntryInfo> entries_;
  std::vector<Layout> layout_;
  std::uint64_t centralStart_ = 0;  // where the central directory really starts
};

}  // namespace tarvex::extract
