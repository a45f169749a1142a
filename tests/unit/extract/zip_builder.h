// Builds small ZIP archives in memory for the tests, including broken ones:
// every field the reader checks can be overridden.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::extract::testing {

struct ZipEntrySpec {
  std::string name;
  std::string data;
  std::uint16_t method = 8;  // 0 stored, 8 deflate (anything else: data stored as is)
  std::uint16_t flags = 0;
  std::uint16_t madeBy = 20;  // host 0 (DOS)
  std::uint32_t externalAttributes = 0;
  std::uint16_t dosTime = 0x6000;  // 12:00:00
  std::uint16_t dosDate = 0x5A21;  // 2025-01-01
  std::string centralExtra;
  std::optional<std::string> localName;  // when the local header should differ
  std::optional<std::uint32_t> crc;      // override the CRC
  std::optional<std::uint32_t> uncompressedSize;
  std::optional<std::uint64_t> localOffset;  // override the central offset field
  bool zip64 = false;  // sizes and offset as 0xFFFFFFFF plus a ZIP64 extra field
  std::uint16_t diskStart = 0;
};

struct BuiltZip {
  std::string bytes;
  std::vector<std::size_t> dataOffsets;  // where each entry's stored data starts
  std::vector<std::size_t> dataSizes;
};

inline void Put16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
inline void Put64(std::string& s, std::uint64_t v) {
  Put32(s, static_cast<std::uint32_t>(v));
  Put32(s, static_cast<std::uint32_t>(v >> 32));
}

inline std::string RawDeflate(const std::string& in) {
  z_stream z = {};
  deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
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

// prefix: bytes before the archive (a self-extractor stub); the offsets are
// written as if the archive started at 0, as such tools leave them.
// zip64End: write ZIP64 end records (with the locator) before the end record.
// base: the archive is read as if `base` bytes (not in `bytes`) came before it,
// with every offset counting them (for offsets beyond 4 GiB).
inline BuiltZip BuildZip(const std::vector<ZipEntrySpec>& entries, const std::string& prefix = "",
                         bool zip64End = false, std::uint16_t diskNumber = 0, std::uint64_t base = 0) {
  BuiltZip z;
  std::string body, central;
  for (const ZipEntrySpec& e : entries) {
    std::string packed = e.method == 8 ? RawDeflate(e.data) : e.data;
    std::uint32_t crc = e.crc ? *e.crc
                              : static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()),
                                                                 static_cast<uInt>(e.data.size())));
    std::uint32_t usize = e.uncompressedSize ? *e.uncompressedSize : static_cast<std::uint32_t>(e.data.size());
    std::uint64_t offset = base + body.size();
    const std::string& lname = e.localName ? *e.localName : e.name;
    Put32(body, 0x04034b50);
    Put16(body, 20);
    Put16(body, e.flags);
    Put16(body, e.method);
    Put16(body, e.dosTime);
    Put16(body, e.dosDate);
    Put32(body, crc);
    Put32(body, static_cast<std::uint32_t>(packed.size()));
    Put32(body, usize);
    Put16(body, static_cast<std::uint32_t>(lname.size()));
    Put16(body, 0);
    body += lname;
    z.dataOffsets.push_back(prefix.size() + body.size());
    z.dataSizes.push_back(packed.size());
    body += packed;

    std::string extra = e.centralExtra;
    if (e.zip64) {
      std::string x;
      Put16(x, 0x0001);
      Put16(x, 24);
      Put64(x, usize);
      Put64(x, packed.size());
      Put64(x, e.localOffset ? *e.localOffset : offset);
      extra = x + extra;
    }
    Put32(central, 0x02014b50);
    Put16(central, e.madeBy);
    Put16(central, 20);
    Put16(central, e.flags);
    Put16(central, e.method);
    Put16(central, e.dosTime);
    Put16(central, e.dosDate);
    Put32(central, crc);
    Put32(central, e.zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(packed.size()));
    Put32(central, e.zip64 ? 0xFFFFFFFF : usize);
    Put16(central, static_cast<std::uint32_t>(e.name.size()));
    Put16(central, static_cast<std::uint32_t>(extra.size()));
    Put16(central, 0);
    Put16(central, e.diskStart);
    Put16(central, 0);
    Put32(central, e.externalAttributes);
    Put32(central, e.zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(e.localOffset ? *e.localOffset : offset));
    central += e.name;
    central += extra;
  }
  std::uint64_t cdOffset = base + body.size();
  std::string out = prefix + body + central;
  if (zip64End) {
    std::uint64_t zpos = base + out.size() - prefix.size();
    Put32(out, 0x06064b50);
    Put64(out, 44);
    Put16(out, 45);
    Put16(out, 45);
    Put32(out, 0);
    Put32(out, 0);
    Put64(out, entries.size());
    Put64(out, entries.size());
    Put64(out, central.size());
    Put64(out, cdOffset);
    Put32(out, 0x07064b50);
    Put32(out, 0);
    Put64(out, zpos);
    Put32(out, 1);
  }
  Put32(out, 0x06054b50);
  Put16(out, diskNumber);
  Put16(out, diskNumber);
  Put16(out, zip64End ? 0xFFFF : static_cast<std::uint32_t>(entries.size()));
  Put16(out, zip64End ? 0xFFFF : static_cast<std::uint32_t>(entries.size()));
  Put32(out, zip64End ? 0xFFFFFFFF : static_cast<std::uint32_t>(central.size()));
  Put32(out, zip64End ? 0xFFFFFFFF : static_cast<std::uint32_t>(cdOffset));
  Put16(out, 0);
  z.bytes = std::move(out);
  return z;
}

}  // namespace tarvex::extract::testing
