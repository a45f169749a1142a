// Shared by the extraction tests (test_extract, test_cab, test_lzh): small
// writers of ZIP, cabinet and LZH archives whose every checked field can be
// bent, a run of a reader that collects what each entry gives, and the damage
// sweep every reader must pass.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "extract/cab_reader.h"
#include "extract/lzh_decode.h"
#include "extract/memory_fs.h"
#include "extract/reader.h"

namespace tarvex::extract::testing {

// v as n little-endian bytes, appended or written over s[at..].
inline std::string Le(std::uint64_t v, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>(v >> (8 * i));
  return s;
}
inline void SetLe(std::string& s, std::size_t at, std::uint64_t v, int n) { s.replace(at, n, Le(v, n)); }

inline std::uint32_t Crc32(const std::string& s) {
  return static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

// Raw deflate of in, with dict as the preset history (MSZIP blocks).
inline std::string Deflate(const std::string& in, const std::string& dict = "") {
  z_stream z = {};
  deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  if (!dict.empty()) deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dict.data()), static_cast<uInt>(dict.size()));
  std::string out(deflateBound(&z, in.size()) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// n bytes of text with near and far repeats, different for each seed.
inline std::string Text(std::size_t n, unsigned seed = 1) {
  std::string s;
  for (unsigned i = 0; s.size() < n; ++i) s += "line " + std::to_string((i * 7919 + seed * 104729) % 1000) + "\n";
  s.resize(n);
  return s;
}

// --- a reader run ---

class StringSink final : public EntrySink {
 public:
  bool Write(const std::uint8_t* p, std::size_t n) override {
    if (text.size() + n > limit) return false;
    text.append(reinterpret_cast<const char*>(p), n);
    return true;
  }
  std::string text;
  std::size_t limit = SIZE_MAX;
};

struct Result {
  Status open = Status::IoError, extract = Status::IoError;
  std::vector<EntryInfo> entries;
  std::map<std::size_t, std::string> data;  // by entry, for the entries whose data was asked for
  bool ok() const { return open == Status::Ok && extract == Status::Ok; }
};

template <class Reader>
Result ReadAll(InputFile& in, std::size_t sinkLimit = SIZE_MAX) {
  Result r;
  Reader reader;
  if ((r.open = reader.Open(in)) != Status::Ok) return r;
  r.entries = reader.Entries();
  std::map<std::size_t, StringSink> sinks;
  r.extract = reader.ExtractAll([&](std::size_t i) -> EntrySink* {
    sinks[i].limit = sinkLimit;
    return &sinks[i];
  });
  for (auto& [i, s] : sinks) r.data[i] = s.text;
  return r;
}
template <class Reader>
Result ReadAll(const std::string& bytes, std::size_t sinkLimit = SIZE_MAX) {
  MemoryInput in(bytes);
  return ReadAll<Reader>(in, sinkLimit);
}

// Every single-byte change (from byte `from` on) and every cut of a good
// archive either fails or gives exactly the data of the good one: damage is
// never passed on as data.
template <class Reader>
void ExpectDamageNeverPassesAsGood(const std::string& archive, std::size_t from = 0) {
  const Result good = ReadAll<Reader>(archive);
  ASSERT_TRUE(good.ok());
  for (std::size_t k = 0; k < archive.size(); ++k) {
    std::string bad = archive;
    bad[k] ^= 0x5A;
    const Result r = ReadAll<Reader>(bad);
    if (r.ok() && k >= from) {
      ASSERT_EQ(r.data, good.data) << "byte " << k << " changed";
    }
    const Result cut = ReadAll<Reader>(archive.substr(0, k));
    if (cut.ok()) {
      for (const auto& [i, d] : cut.data) ASSERT_EQ(d, good.data.at(i)) << "cut at " << k;
    }
  }
}

// --- ZIP ---

struct ZipEntry {
  std::string name, data;
  std::uint16_t method = 8;  // 8: deflated here; any other: data stored as given
  std::uint16_t flags = 0;
  std::uint16_t madeBy = 20;  // host 0 (DOS)
  std::uint32_t attributes = 0;
  std::string extra;  // the central header's extra field
  std::optional<std::uint32_t> crc, size;
  std::optional<std::string> localName;
  std::optional<std::uint64_t> offset;  // the central offset field
  bool zip64 = false;  // sizes and offset as markers, values in a ZIP64 field
  std::uint16_t disk = 0;
};

// The archive, as if `base` bytes (not in the result) came before it; with
// zip64End the ZIP64 end records are written and the classic one holds markers.
inline std::string Zip(const std::vector<ZipEntry>& entries, bool zip64End = false, std::uint64_t base = 0,
                       std::uint16_t diskNumber = 0) {
  std::string body, central;
  for (const ZipEntry& e : entries) {
    const std::string packed = e.method == 8 ? Deflate(e.data) : e.data;
    const std::uint32_t crc = e.crc.value_or(Crc32(e.data)), size = e.size.value_or(e.data.size());
    const std::uint64_t offset = e.offset.value_or(base + body.size());
    const std::string local = e.localName.value_or(e.name);
    const std::string dosTime = Le(0x6000, 2) + Le(0x5A21, 2);  // 2025-01-01 12:00:00
    body += Le(0x04034b50, 4) + Le(20, 2) + Le(e.flags, 2) + Le(e.method, 2) + dosTime + Le(crc, 4) +
            Le(packed.size(), 4) + Le(size, 4) + Le(local.size(), 2) + Le(0, 2) + local + packed;
    const std::string extra =
        (e.zip64 ? Le(1, 2) + Le(24, 2) + Le(size, 8) + Le(packed.size(), 8) + Le(offset, 8) : "") + e.extra;
    const std::uint32_t mark = 0xFFFFFFFF;
    central += Le(0x02014b50, 4) + Le(e.madeBy, 2) + Le(20, 2) + Le(e.flags, 2) + Le(e.method, 2) + dosTime +
               Le(crc, 4) + Le(e.zip64 ? mark : packed.size(), 4) + Le(e.zip64 ? mark : size, 4) +
               Le(e.name.size(), 2) + Le(extra.size(), 2) + Le(0, 2) + Le(e.disk, 2) + Le(0, 2) +
               Le(e.attributes, 4) + Le(e.zip64 ? mark : offset, 4) + e.name + extra;
  }
  std::string out = body + central;
  const std::uint64_t n = entries.size(), cdOffset = base + body.size();
  if (zip64End)
    out += Le(0x06064b50, 4) + Le(44, 8) + Le(45, 2) + Le(45, 2) + Le(0, 8) + Le(n, 8) + Le(n, 8) +
           Le(central.size(), 8) + Le(cdOffset, 8) + Le(0x07064b50, 4) + Le(0, 4) + Le(base + out.size(), 8) +
           Le(1, 4);
  return out + Le(0x06054b50, 4) + Le(diskNumber, 2) + Le(diskNumber, 2) + Le(zip64End ? 0xFFFF : n, 2) +
         Le(zip64End ? 0xFFFF : n, 2) + Le(zip64End ? 0xFFFFFFFF : central.size(), 4) +
         Le(zip64End ? 0xFFFFFFFF : cdOffset, 4) + Le(0, 2);
}

// --- cabinets ---

struct Cab {
  struct File {
    std::string name;
    std::uint16_t folder = 0;
    std::uint32_t offset = 0, size = 0;
    std::uint16_t attributes = 0x20;
  };
  struct Folder {
    std::string data;
    std::uint16_t type = 0;  // 0 stored, 1 MSZIP (each block deflated with the previous 32 KB as history)
  };
  std::vector<Folder> folders;
  std::vector<File> files;
  std::uint16_t flags = 0;
  std::uint16_t headerReserve = 0;
  std::uint8_t folderReserve = 0, dataReserve = 0;
  bool checksums = true;

  // Files laid end to end in folder f.
  Cab& Add(std::uint16_t f, const std::string& name, const std::string& data) {
    folders.resize(std::max<std::size_t>(folders.size(), f + 1u));
    files.push_back({name, f, static_cast<std::uint32_t>(folders[f].data.size()), static_cast<std::uint32_t>(data.size())});
    folders[f].data += data;
    return *this;
  }

  std::string Build() const {
    const bool reserve = headerReserve || folderReserve || dataReserve;
    std::string b = "MSCF" + Le(0, 4) + Le(0, 4) + Le(0, 4) + Le(0, 4) + Le(0, 4) + "\x03\x01" +
                    Le(folders.size(), 2) + Le(files.size(), 2) + Le(flags | (reserve ? 4 : 0), 2) + Le(0, 4);
    if (reserve) b += Le(headerReserve, 2) + Le(folderReserve, 1) + Le(dataReserve, 1) + std::string(headerReserve, '\xAB');
    const std::size_t folderTable = b.size(), entry = 8u + folderReserve;
    b += std::string(folders.size() * entry, '\xCD');
    SetLe(b, 16, b.size(), 4);
    for (const File& f : files)
      b += Le(f.size, 4) + Le(f.offset, 4) + Le(f.folder, 2) + Le(0x5A21, 2) + Le(0x6C22, 2) + Le(f.attributes, 2) +
           f.name + '\0';
    for (std::size_t i = 0; i < folders.size(); ++i) {
      const Folder& fo = folders[i];
      SetLe(b, folderTable + i * entry, b.size(), 4);
      SetLe(b, folderTable + i * entry + 6, fo.type, 2);
      std::size_t blocks = 0;
      for (std::size_t at = 0; at < fo.data.size(); at += 32768, ++blocks) {
        const std::string raw = fo.data.substr(at, 32768);
        const std::string packed = fo.type == 1 ? "CK" + Deflate(raw, fo.data.substr(at < 32768 ? 0 : at - 32768, std::min<std::size_t>(at, 32768))) : raw;
        std::string head = Le(packed.size(), 2) + Le(raw.size(), 2);
        const auto* p = reinterpret_cast<const std::uint8_t*>(packed.data());
        const std::uint32_t sum = checksums ? CabChecksum(reinterpret_cast<const std::uint8_t*>(head.data()), 4,
                                                          CabChecksum(p, packed.size(), 0))
                                            : 0;
        b += Le(sum, 4) + head + std::string(dataReserve, '\xEF') + packed;
      }
      SetLe(b, folderTable + i * entry + 4, blocks, 2);
    }
    SetLe(b, 8, b.size(), 4);
    return b;
  }
};

// --- LZH ---

struct Lzh {
  int level = 2;
  std::string method = "-lh0-";
  std::string name;  // levels 0, 1: in the base header; 2, 3: a name extension
  std::string data;  // as stored
  std::uint32_t original = 0;
  std::uint16_t crc = 0;
  std::uint32_t time = 0;  // DOS (levels 0, 1) or Unix (2, 3)
  char os = 'M';
  std::vector<std::pair<std::uint8_t, std::string>> exts;  // more extensions (type, data)
  bool headerCrc = true;  // a 0x00 header-CRC extension (levels 1-3)

  static std::uint16_t Crc16(const std::string& s) {
    return lzh::Crc16(0, reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  }
  // A stored member holding content.
  static Lzh Stored(int level, const std::string& name, const std::string& content) {
    Lzh m;
    m.level = level;
    m.name = name;
    m.data = content;
    m.original = static_cast<std::uint32_t>(content.size());
    m.crc = Crc16(content);
    m.time = level <= 1 ? 0x5A2B6000u : 1700000000u;  // 2025-01-11 12:00 (DOS), 2023-11-14 22:13:20 UTC
    return m;
  }

  std::string Build() const {
    std::vector<std::pair<std::uint8_t, std::string>> all;
    if (headerCrc && level >= 1) all.push_back({0x00, std::string(2, '\0')});
    if (level >= 2) all.push_back({0x01, name});
    all.insert(all.end(), exts.begin(), exts.end());
    const int sizeBytes = level == 3 ? 4 : 2;
    std::string chain;
    std::size_t crcAt = std::string::npos;  // in chain
    for (const auto& [type, body] : all) {
      chain += Le(body.size() + 1 + sizeBytes, sizeBytes);
      if (type == 0) crcAt = chain.size() + 1;
      chain += static_cast<char>(type) + body;
    }
    chain += Le(0, sizeBytes);
    std::string h;
    if (level <= 1) {
      const std::uint32_t extLen = level == 1 ? static_cast<std::uint32_t>(chain.size() - 2) : 0;
      h = "??" + method + Le(data.size() + extLen, 4) + Le(original, 4) + Le(time, 4) + "\x20" +
          static_cast<char>(level) + static_cast<char>(name.size()) + name + Le(crc, 2);
      if (level == 1) h += os + chain.substr(0, 2);  // the first extension's size ends the base header
      h[0] = static_cast<char>(h.size() - 2);
      unsigned sum = 0;
      for (std::size_t i = 2; i < h.size(); ++i) sum += static_cast<unsigned char>(h[i]);
      h[1] = static_cast<char>(sum);
      if (level == 1) {
        if (crcAt != std::string::npos) crcAt += h.size() - 2;
        h += chain.substr(2);
      }
    } else {
      h = Le(level == 3 ? 4 : 0, 2) + method + Le(data.size(), 4) + Le(original, 4) + Le(time, 4) + "\x20" +
          static_cast<char>(level) + Le(crc, 2) + os + (level == 3 ? Le(0, 4) : "");
      if (crcAt != std::string::npos) crcAt += h.size();
      h += chain;
      if (level == 3) SetLe(h, 24, h.size(), 4);
      else SetLe(h, 0, h.size(), 2);
    }
    if (crcAt != std::string::npos && level >= 1) SetLe(h, crcAt, Crc16(h), 2);
    return h + data;
  }
};

inline std::string LzhArchive(const std::vector<Lzh>& members) {
  std::string a;
  for (const Lzh& m : members) a += m.Build();
  return a + '\0';
}

}  // namespace tarvex::extract::testing
