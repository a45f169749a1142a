// The interface every archive format reader implements. The shared engine
// (engine.h) drives a reader: it opens the archive, looks at the whole entry
// list first (names, sizes, the overwrite question), then lets the reader
// decode every entry in the archive's own order into sinks that the engine
// provides (staging files), and places the files only when all went well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarvex::extract {

// Random access to the archive file. Implementations read through the
// platform's own file API; tests use memory.
class InputFile {
 public:
  virtual ~InputFile() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads up to n bytes at offset; returns the count read (less only at the
  // end of the file), or -1 on a read error.
  virtual std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t n) = 0;
};

// Where the bytes of one entry go. Write returns false to stop the decode
// (disk full, cancelled); the reader then returns Status::Aborted.
class EntrySink {
 public:
  virtual ~EntrySink() = default;
  virtual bool Write(const std::uint8_t* data, std::size_t n) = 0;
};

enum class Status {
  Ok,
  NotThisFormat,  // no signature of this format: the next archiver may try
  Corrupt,        // damaged headers or data, bad CRC/checksum, truncated
  Unsupported,    // encrypted, multi-part, unknown method, ...
  IoError,        // the archive could not be read
  Aborted,        // a sink refused data
};

enum class NameEncoding { Cp932, Utf8 };

// A file time as the archive records it.
struct FileTime {
  enum Kind { None, DosLocal, Utc } kind = None;
  // DosLocal: (date << 16) | time in MS-DOS packed form, local time.
  // Utc: 100-nanosecond intervals since 1601-01-01 UTC (the Windows FILETIME).
  std::uint64_t value = 0;
};

// The Windows FILETIME of the Unix epoch (1970-01-01 UTC), and its ticks.
constexpr std::uint64_t kFileTimeUnixEpoch = 116444736000000000ull;
constexpr std::uint64_t kFileTimeTicksPerSecond = 10000000;

// A Unix time (seconds since 1970 UTC) as a file time; None before 1601.
inline FileTime FileTimeFromUnix(std::int64_t seconds) {
  constexpr std::int64_t kEpochSeconds = static_cast<std::int64_t>(kFileTimeUnixEpoch / kFileTimeTicksPerSecond);
  if (seconds <= -kEpochSeconds) return {};
  return {FileTime::Utc, static_cast<std::uint64_t>(seconds + kEpochSeconds) * kFileTimeTicksPerSecond};
}

struct EntryInfo {
  std::string rawName;  // the name bytes as stored (separators as stored)
  NameEncoding encoding = NameEncoding::Cp932;
  // Separator bytes the format uses inside rawName besides '/', decoded
  // before the name is split (for example '\\' in ZIP from DOS, 0xFF in LZH
  // level 2 directory fields is turned into '/' by the reader itself).
  bool backslashIsSeparator = true;
  bool isDirectory = false;
  bool isSymlink = false;  // never created; the engine skips or neutralises it
  std::uint64_t size = 0;  // uncompressed size as recorded
  FileTime mtime;
  std::uint32_t dosAttributes = 0;  // read-only, hidden, system, archive bits
};

class ArchiveReader {
 public:
  virtual ~ArchiveReader() = default;
  // Reads the archive's directory of entries. NotThisFormat when the file is
  // not of this format at all; any other failure status when it is but cannot
  // be read.
  virtual Status Open(InputFile& file) = 0;
  virtual const std::vector<EntryInfo>& Entries() const = 0;
  // Decodes every entry, in the archive's order. sinkFor(i) gives the sink for
  // entry i, or nullptr when the entry's data is not wanted (it is then
  // skipped, or decoded and discarded where the format is solid). Every
  // entry's check value (CRC, checksum) is verified; a mismatch is Corrupt.
  virtual Status ExtractAll(const std::function<EntrySink*(std::size_t)>& sinkFor) = 0;
};

}  // namespace tarvex::extract
