// Helpers for the LZH tests: a collecting sink and a small writer of LZH
// headers (stored data) for hand-made archives.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "extract/lzh_reader.h"
#include "extract/support.h"

namespace tarvex::extract::lzhtest {

using MemFile = testing::MemoryInput;

class StringSink : public EntrySink {
 public:
  bool Write(const std::uint8_t* d, std::size_t n) override {
    if (limit_ && data.size() + n > limit_) return false;
    data.append(reinterpret_cast<const char*>(d), n);
    return true;
  }
  std::string data;
  std::size_t limit_ = 0;
};

// Opens and extracts everything; contents by entry index.
struct Result {
  Status open = Status::NotThisFormat;
  Status extract = Status::NotThisFormat;
  std::vector<EntryInfo> entries;
  std::map<std::size_t, std::string> data;
};

inline Result ReadAll(const std::string& archive, std::size_t sinkLimit = 0) {
  Result r;
  MemFile f(archive);
  LzhReader reader;
  r.open = reader.Open(f);
  if (r.open != Status::Ok) return r;
  r.entries = reader.Entries();
  std::map<std::size_t, StringSink> sinks;
  r.extract = reader.ExtractAll([&](std::size_t i) -> EntrySink* {
    sinks[i].limit_ = sinkLimit;
    return &sinks[i];
  });
  for (auto& [i, s] : sinks) r.data[i] = s.data;
  return r;
}

inline void Put16(std::string& s, unsigned v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
inline std::uint16_t Crc(const std::string& s) {
  return lzh::Crc16(0, reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

struct Ext {
  std::uint8_t type;
  std::string data;
};

struct Spec {
  int level = 2;
  std::string method = "-lh0-";
  std::string name;          // base-header name (levels 0, 1)
  std::string packed;        // the member's data as stored
  std::uint32_t original = 0;
  std::uint16_t crc = 0;
  std::uint32_t time = 0;    // DOS (levels 0, 1) or Unix (2, 3)
  std::uint8_t attr = 0x20;
  char os = 'M';
  std::vector<Ext> exts;
  bool headerCrc = true;     // add a 0x00 header-CRC extension (levels 1-3)
};

// A member whose data is `content`, stored.
inline Spec Stored(int level, std::string name, std::string content) {
  Spec s;
  s.level = level;
  s.packed = content;
  s.original = static_cast<std::uint32_t>(content.size());
  s.crc = Crc(content);
  s.time = level <= 1 ? 0x5A2B6000u : 1700000000u;  // 2025-01-11 12:00 (DOS), 2023-11-14 (Unix)
  if (level <= 1) {
    s.name = std::move(name);
  } else {
    s.exts.push_back({0x01, std::move(name)});
  }
  return s;
}

inline std::string Member(const Spec& s) {
  std::vector<Ext> exts = s.exts;
  if (s.headerCrc && s.level >= 1) exts.insert(exts.begin(), Ext{0x00, std::string(2, '\0')});
  std::string h;
  std::size_t crcAt = 0;
  if (s.level <= 1) {
    // Level-1 extensions: [size][type][data] ..., ended by a zero size.
    std::string chain;
    for (const Ext& e : exts) {
      Put16(chain, static_cast<unsigned>(e.data.size() + 3));
      chain.push_back(static_cast<char>(e.type));
      chain += e.data;
    }
    Put16(chain, 0);
    h.resize(2);
    h += s.method;
    const std::uint32_t extLen = static_cast<std::uint32_t>(chain.size() - 2);
    Put32(h, static_cast<std::uint32_t>(s.packed.size()) + (s.level == 1 ? extLen : 0));
    Put32(h, s.original);
    Put32(h, s.time);
    h.push_back(static_cast<char>(s.level == 0 ? s.attr : 0x20));
    h.push_back(static_cast<char>(s.level));
    h.push_back(static_cast<char>(s.name.size()));
    h += s.name;
    Put16(h, s.crc);
    if (s.level == 1) {
      h.push_back(s.os);
      const std::size_t base = h.size() + 2;  // the first size field ends the base header
      h += chain;
      h[0] = static_cast<char>(base - 2);
      unsigned sum = 0;
      for (std::size_t i = 2; i < base; ++i) sum += static_cast<unsigned char>(h[i]);
      h[1] = static_cast<char>(sum & 0xFF);
      if (s.headerCrc) {
        crcAt = base + 1;  // type byte of the first extension, then its data
        const std::uint16_t c = Crc(h);
        h[crcAt] = static_cast<char>(c & 0xFF);
        h[crcAt + 1] = static_cast<char>(c >> 8);
      }
    } else {
      h[0] = static_cast<char>(h.size() - 2);
      unsigned sum = 0;
      for (std::size_t i = 2; i < h.size(); ++i) sum += static_cast<unsigned char>(h[i]);
      h[1] = static_cast<char>(sum & 0xFF);
    }
    return h + s.packed;
  }
  const bool l3 = s.level == 3;
  if (l3) Put16(h, 4); else Put16(h, 0);  // size filled in below
  h += s.method;
  Put32(h, static_cast<std::uint32_t>(s.packed.size()));
  Put32(h, s.original);
  Put32(h, s.time);
  h.push_back(0x20);
  h.push_back(static_cast<char>(s.level));
  Put16(h, s.crc);
  h.push_back(s.os);
  if (l3) Put32(h, 0);  // total size, filled in below
  for (const Ext& e : exts) {
    if (l3) Put32(h, static_cast<std::uint32_t>(e.data.size() + 5));
    else Put16(h, static_cast<unsigned>(e.data.size() + 3));
    if (e.type == 0x00) crcAt = h.size() + 1;
    h.push_back(static_cast<char>(e.type));
    h += e.data;
  }
  if (l3) Put32(h, 0); else Put16(h, 0);
  if (l3) {
    const std::uint32_t n = static_cast<std::uint32_t>(h.size());
    for (int i = 0; i < 4; ++i) h[24 + i] = static_cast<char>((n >> (8 * i)) & 0xFF);
  } else {
    h[0] = static_cast<char>(h.size() & 0xFF);
    h[1] = static_cast<char>(h.size() >> 8);
  }
  if (s.headerCrc) {
    const std::uint16_t c = Crc(h);
    h[crcAt] = static_cast<char>(c & 0xFF);
    h[crcAt + 1] = static_cast<char>(c >> 8);
  }
  return h + s.packed;
}

inline std::string Archive(const std::vector<Spec>& members) {
  std::string a;
  for (const Spec& s : members) a += Member(s);
  return a + std::string(1, '\0');
}

}  // namespace tarvex::extract::lzhtest
