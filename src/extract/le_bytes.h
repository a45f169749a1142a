// Reading archive headers: exact reads from the archive file, and the
// little-endian integers that all three archive formats store their header
// fields in.
#pragma once

#include <cstddef>
#include <cstdint>

#include "extract/reader.h"

namespace tarvex::extract {

inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Le64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(Le32(p)) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}

// Reads exactly n bytes at offset: Ok; Corrupt when the file ends first;
// IoError when the file cannot be read.
inline Status ReadExact(InputFile& file, std::uint64_t offset, void* buffer, std::size_t n) {
  const std::uint64_t size = file.Size();
  if (offset > size || n > size - offset) return Status::Corrupt;
  const std::int64_t got = file.ReadAt(offset, buffer, n);
  if (got < 0) return Status::IoError;
  return static_cast<std::size_t>(got) == n ? Status::Ok : Status::Corrupt;
}

}  // namespace tarvex::extract
