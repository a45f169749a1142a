// The ZIP format reader. The central directory is the source of truth; each
// local header is checked against it (signature, name) and the entries' byte
// ranges may not overlap. Methods: stored and deflate (zlib raw inflate,
// streamed). ZIP64 sizes, offsets and entry counts; data descriptors; a
// prefix before the archive (self-extractors); UTF-8 names (flag bit 11 or
// the Unicode path extra field 0x7075); times from the NTFS (0x000A) or
// extended timestamp (0x5455) fields, else the DOS date and time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
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
  // What extraction needs of an entry besides its EntryInfo: 24 bytes, as
  // an archive may hold millions of entries.
  struct Layout {
    std::uint16_t method = 0;
    bool otherStoredName = false;  // rawName is the Unicode path field's, not the header's name
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t offset = 0;  // the local header's (adjusted for a prefix), then the data's
  };
  Status ReadCentralDirectory(std::uint64_t size, std::uint64_t delta, std::uint64_t entries);
  Status CheckLocalHeaders();
  Status ExtractOne(std::size_t index, EntrySink* sink);

  // Largest read and decode buffers; smaller when no entry needs as much.
  static constexpr std::size_t kInBuffer = 1 << 18;
  static constexpr std::size_t kOutBuffer = 1 << 20;

  InputFile* file_ = nullptr;
  // The header names of entries whose rawName came from elsewhere, by entry
  // index, for the local header check; every other name is kept once, in
  // its EntryInfo.
  std::vector<std::pair<std::size_t, std::string>> storedNames_;
  std::vector<std::size_t> order_;   // entry indices by position in the file
  std::unique_ptr<std::uint8_t[]> in_, out_;
  std::size_t inSize_ = 0, outSize_ = 0;
  void* z_ = nullptr;                // the inflate state (z_stream), reused
  bool zInit_ = false;
  std::vector<EntryInfo> entries_;
  std::vector<Layout> layout_;
  std::uint64_t centralStart_ = 0;  // where the central directory really starts
};

}  // namespace tarvex::extract
