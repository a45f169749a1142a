// Helpers for the cabinet tests: collecting sinks and a small writer of
// cabinets whose every field can be bent.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "extract/cab_reader.h"
#include "extract/reader.h"
#include "extract/support.h"

namespace cabtest {

using Bytes = std::vector<std::uint8_t>;
using tarvex::extract::EntrySink;

// An archive in memory.
inline tarvex::extract::testing::MemoryInput InMemory(const Bytes& data) {
  return tarvex::extract::testing::MemoryInput(std::string(data.begin(), data.end()));
}

class CollectSink final : public EntrySink {
 public:
  bool Write(const std::uint8_t* data, std::size_t n) override {
    if (refuseAfter >= 0 && static_cast<long>(bytes.size() + n) > refuseAfter) return false;
    bytes.insert(bytes.end(), data, data + n);
    return true;
  }
  Bytes bytes;
  long refuseAfter = -1;
};

inline void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Add16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Add32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline Bytes Pattern(std::size_t n, std::uint32_t seed) {
  Bytes b(n);
  std::uint32_t x = seed;
  for (auto& c : b) {
    x = x * 1103515245u + 12345u;
    c = static_cast<std::uint8_t>("abcdefgh  \n"[(x >> 16) % 11]);
  }
  return b;
}

// A cabinet writer for tests. Folders hold raw data cut into blocks; each
// block is stored or MSZIP-compressed (with the previous 32 KB as the
// deflate dictionary, as the format has it).
struct CabSpec {
  struct File {
    std::string name;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
    std::uint16_t folder = 0;
    std::uint16_t date = 0x5A21, time = 0x6C22, attribs = 0x20;
  };
  struct Folder {
    Bytes data;
    std::uint16_t type = 0;  // 0 stored, 1 MSZIP
    std::size_t blockSize = 32768;
  };
  std::vector<Folder> folders;
  std::vector<File> files;
  std::uint16_t flags = 0;
  std::uint16_t headerReserve = 0;
  std::uint8_t folderReserve = 0, dataReserve = 0;
  bool checksums = true;

  // Adds files laid end to end in folder f, taking the data as given.
  void AddFiles(std::uint16_t f, const std::vector<std::pair<std::string, Bytes>>& contents) {
    while (folders.size() <= f) folders.emplace_back();
    for (const auto& [name, bytes] : contents) {
      File file;
      file.name = name;
      file.size = static_cast<std::uint32_t>(bytes.size());
      file.offset = static_cast<std::uint32_t>(folders[f].data.size());
      file.folder = f;
      folders[f].data.insert(folders[f].data.end(), bytes.begin(), bytes.end());
      files.push_back(file);
    }
  }

  static Bytes Deflate(const Bytes& history, const std::uint8_t* p, std::size_t n) {
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    if (!history.empty()) deflateSetDictionary(&zs, history.data(), static_cast<uInt>(history.size()));
    Bytes out(compressBound(static_cast<uLong>(n)) + 64);
    zs.next_in = const_cast<Bytef*>(p);
    zs.avail_in = static_cast<uInt>(n);
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
  }

  Bytes Build() const {
    Bytes b(36, 0);
    std::memcpy(b.data(), "MSCF", 4);
    b[24] = 3;
    b[25] = 1;
    Put16(b, 26, static_cast<std::uint16_t>(folders.size()));
    Put16(b, 28, static_cast<std::uint16_t>(files.size()));
    std::uint16_t fl = flags;
    bool reserve = headerReserve || folderReserve || dataReserve;
    if (reserve) fl |= 4;
    Put16(b, 30, fl);
    if (reserve) {
      Add16(b, headerReserve);
      b.push_back(folderReserve);
      b.push_back(dataReserve);
      b.insert(b.end(), headerReserve, 0xAB);
    }
    if (flags & 1) {
      for (const char* s : {"prev.cab", "disk0"}) b.insert(b.end(), s, s + std::strlen(s) + 1);
    }
    if (flags & 2) {
      for (const char* s : {"next.cab", "disk2"}) b.insert(b.end(), s, s + std::strlen(s) + 1);
    }
    std::size_t folderTable = b.size();
    b.resize(b.size() + folders.size() * (8 + folderReserve), 0xCD);
    Put32(b, 16, static_cast<std::uint32_t>(b.size()));
    for (const File& f : files) {
      Add32(b, f.size);
      Add32(b, f.offset);
      Add16(b, f.folder);
      Add16(b, f.date);
      Add16(b, f.time);
      Add16(b, f.attribs);
      b.insert(b.end(), f.name.begin(), f.name.end());
      b.push_back(0);
    }
    for (std::size_t i = 0; i < folders.size(); ++i) {
      const Folder& fo = folders[i];
      std::size_t rec = folderTable + i * (8 + folderReserve);
      Put32(b, rec, static_cast<std::uint32_t>(b.size()));
      Put16(b, rec + 6, fo.type);
      std::uint16_t blocks = 0;
      Bytes history;
      for (std::size_t at = 0; at < fo.data.size(); at += fo.blockSize) {
        std::size_t n = std::min(fo.blockSize, fo.data.size() - at);
        Bytes payload;
        if ((fo.type & 0x0F) == 1) {
          payload = {'C', 'K'};
          Bytes z = Deflate(history, fo.data.data() + at, n);
          payload.insert(payload.end(), z.begin(), z.end());
          std::size_t hStart = at + n > 32768 ? at + n - 32768 : 0;
          history.assign(fo.data.begin() + static_cast<long>(hStart), fo.data.begin() + static_cast<long>(at + n));
        } else {
          payload.assign(fo.data.begin() + static_cast<long>(at), fo.data.begin() + static_cast<long>(at + n));
        }
        std::size_t hdr = b.size();
        Add32(b, 0);
        Add16(b, static_cast<std::uint16_t>(payload.size()));
        Add16(b, static_cast<std::uint16_t>(n));
        b.insert(b.end(), dataReserve, 0xEF);
        b.insert(b.end(), payload.begin(), payload.end());
        if (checksums) {
          std::uint32_t s = tarvex::extract::CabChecksum(payload.data(), payload.size(), 0);
          Put32(b, hdr, tarvex::extract::CabChecksum(b.data() + hdr + 4, 4, s));
        }
        ++blocks;
      }
      Put16(b, rec + 4, blocks);
    }
    Put32(b, 8, static_cast<std::uint32_t>(b.size()));
    return b;
  }
};

// Opens `cab` and extracts every entry into memory. Returns the status of
// Open, or of ExtractAll when Open succeeded.
struct Extracted {
  tarvex::extract::Status status;
  std::vector<tarvex::extract::EntryInfo> entries;
  std::map<std::size_t, Bytes> data;
};

inline Extracted ExtractInMemory(const Bytes& cab) {
  Extracted r;
  auto file = InMemory(cab);
  tarvex::extract::CabReader reader;
  r.status = reader.Open(file);
  if (r.status != tarvex::extract::Status::Ok) return r;
  r.entries = reader.Entries();
  std::map<std::size_t, CollectSink> sinks;
  r.status = reader.ExtractAll([&](std::size_t i) -> EntrySink* { return &sinks[i]; });
  for (auto& [i, s] : sinks) r.data[i] = s.bytes;
  return r;
}

}  // namespace cabtest
