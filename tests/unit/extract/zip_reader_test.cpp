// The ZIP reader on archives built in the test: what it accepts, and that
// every kind of damage is refused rather than decoded into wrong output.
#include <gtest/gtest.h>

#include <map>

#include "extract/zip_reader.h"
#include "extract/support.h"
#include "extract/zip_builder.h"

namespace tarvex::extract {
namespace {

using testing::BuildZip;
using testing::MemoryInput;
using testing::Put16;
using testing::Put32;
using testing::Put64;
using testing::StringSink;
using testing::ZipEntrySpec;

struct Result {
  Status open = Status::IoError;
  Status extract = Status::IoError;
  std::vector<EntryInfo> entries;
  std::map<std::string, std::string> data;  // raw name -> bytes
};

Result Read(const std::string& bytes) {
  Result r;
  MemoryInput in(bytes);
  ZipReader reader;
  r.open = reader.Open(in);
  if (r.open != Status::Ok) return r;
  r.entries = reader.Entries();
  std::map<std::size_t, StringSink> sinks;
  r.extract = reader.ExtractAll([&](std::size_t i) -> EntrySink* { return &sinks[i]; });
  for (auto& [i, s] : sinks) r.data[r.entries[i].rawName] = s.text;
  return r;
}

std::string Text(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i * 7919 % 1000) + "\n";
  s.resize(n);
  return s;
}

TEST(ZipReader, ReadsStoredDeflatedEmptyAndDirectoryEntries) {
  ZipEntrySpec dir{.name = "folder/", .data = "", .method = 0, .externalAttributes = 0x10};
  auto zip = BuildZip({{.name = "folder/a.txt", .data = Text(200000)},
                       {.name = "b.bin", .data = std::string(5000, '\x07'), .method = 0},
                       {.name = "empty", .data = ""},
                       dir});
  Result r = Read(zip.bytes);
  ASSERT_EQ(r.open, Status::Ok);
  ASSERT_EQ(r.extract, Status::Ok);
  ASSERT_EQ(r.entries.size(), 4u);
  EXPECT_EQ(r.data["folder/a.txt"], Text(200000));
  EXPECT_EQ(r.data["b.bin"], std::string(5000, '\x07'));
  EXPECT_EQ(r.data["empty"], "");
  EXPECT_TRUE(r.entries[3].isDirectory);
  EXPECT_FALSE(r.entries[2].isDirectory);
  EXPECT_EQ(r.entries[0].encoding, NameEncoding::Cp932);
  EXPECT_EQ(r.entries[0].mtime.kind, FileTime::DosLocal);
  EXPECT_EQ(r.entries[0].mtime.value, (0x5A21u << 16) | 0x6000u);
}

TEST(ZipReader, NameEncodingAndTimesFromFlagsAndExtraFields) {
  std::string cp932Name = "\x95\x5C.txt";
  std::string unicodePath;  // 0x7075: version 1, CRC of the stored name, UTF-8 name
  Put16(unicodePath, 0x7075);
  Put16(unicodePath, 5 + 7);
  unicodePath += '\x01';
  Put32(unicodePath, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(cp932Name.data()), 6)));
  unicodePath += "表.txt";
  std::string ntfs;
  Put16(ntfs, 0x000A);
  Put16(ntfs, 32);
  Put32(ntfs, 0);
  Put16(ntfs, 1);
  Put16(ntfs, 24);
  Put64(ntfs, 133000000000000000ull);
  Put64(ntfs, 1);
  Put64(ntfs, 2);
  std::string ut;
  Put16(ut, 0x5455);
  Put16(ut, 5);
  ut += '\x01';
  Put32(ut, 1700000000);

  auto zip = BuildZip({{.name = "名前.txt", .data = "u", .flags = 0x0800},
                       {.name = cp932Name, .data = "p", .centralExtra = unicodePath},
                       {.name = "ntfs", .data = "n", .centralExtra = ut + ntfs},
                       {.name = "unix", .data = "x", .centralExtra = ut},
                       // No flag: UTF-8 bytes from a Unix host are UTF-8, from DOS they stay CP932,
                       // and CP932 bytes from a Unix host stay CP932.
                       {.name = "名前", .data = "1", .madeBy = 0x031E},
                       {.name = "名前", .data = "2", .madeBy = 0x0014},
                       {.name = "\x96\xBC\x91\x4F", .data = "3", .madeBy = 0x031E}});
  Result r = Read(zip.bytes);
  ASSERT_EQ(r.open, Status::Ok);
  EXPECT_EQ(r.entries[0].encoding, NameEncoding::Utf8);
  EXPECT_EQ(r.entries[1].rawName, "表.txt");
  EXPECT_EQ(r.entries[1].encoding, NameEncoding::Utf8);
  EXPECT_EQ(r.entries[2].mtime.kind, FileTime::Utc);  // NTFS wins over the Unix time
  EXPECT_EQ(r.entries[2].mtime.value, 133000000000000000ull);
  EXPECT_EQ(r.entries[3].mtime.value, 1700000000ull * 10000000 + 116444736000000000ull);
  EXPECT_EQ(r.entries[4].encoding, NameEncoding::Utf8);
  EXPECT_EQ(r.entries[5].encoding, NameEncoding::Cp932);
  EXPECT_EQ(r.entries[6].encoding, NameEncoding::Cp932);
  EXPECT_EQ(r.extract, Status::Ok);
}

// A central directory larger than the reader's 64 KB read window: entries
// that straddle the window's end must come out whole.
TEST(ZipReader, CentralDirectoryLargerThanTheReadWindow) {
  std::vector<ZipEntrySpec> specs;
  for (int i = 0; i < 1000; ++i)
    specs.push_back({.name = std::to_string(i) + std::string(150, 'n'), .data = std::to_string(i), .method = 0});
  Result r = Read(BuildZip(specs).bytes);
  ASSERT_EQ(r.open, Status::Ok);
  ASSERT_EQ(r.extract, Status::Ok);
  for (const auto& s : specs) EXPECT_EQ(r.data[s.name], s.data) << s.name;
}

TEST(ZipReader, FindsArchivesBehindAPrefixAndInZip64Form) {
  std::string stub = "MZ" + std::string(3000, '\x90');
  auto sfx = BuildZip({{.name = "a", .data = Text(3000)}, {.name = "b", .data = "bb", .method = 0}}, stub);
  Result r = Read(sfx.bytes);
  ASSERT_EQ(r.open, Status::Ok);
  EXPECT_EQ(r.extract, Status::Ok);
  EXPECT_EQ(r.data["a"], Text(3000));

  auto z64 = BuildZip({{.name = "a", .data = Text(3000), .zip64 = true}, {.name = "b", .data = "bb", .zip64 = true}},
                      "", true);
  r = Read(z64.bytes);
  ASSERT_EQ(r.open, Status::Ok);
  EXPECT_EQ(r.extract, Status::Ok);
  EXPECT_EQ(r.data["b"], "bb");

  // Offsets beyond 4 GiB: the archive sits behind 5 GiB of other data.
  class Behind final : public InputFile {
   public:
    Behind(std::uint64_t gap, std::string tail) : gap_(gap), tail_(std::move(tail)) {}
    std::uint64_t Size() const override { return gap_ + tail_.size(); }
    std::int64_t ReadAt(std::uint64_t off, void* buf, std::size_t n) override {
      auto* out = static_cast<char*>(buf);
      std::size_t done = 0;
      for (; done < n && off + done < Size(); ++done)
        out[done] = off + done < gap_ ? '\0' : tail_[off + done - gap_];
      return static_cast<std::int64_t>(done);
    }

   private:
    std::uint64_t gap_;
    std::string tail_;
  };
  const std::uint64_t gap = 5ull << 30;
  auto far = BuildZip({{.name = "far", .data = Text(5000), .zip64 = true}}, "", true, 0, gap);
  Behind in(gap, far.bytes);
  ZipReader reader;
  ASSERT_EQ(reader.Open(in), Status::Ok);
  StringSink sink;
  EXPECT_EQ(reader.ExtractAll([&](std::size_t) -> EntrySink* { return &sink; }), Status::Ok);
  EXPECT_EQ(sink.text, Text(5000));

  auto both = BuildZip({{.name = "a", .data = Text(100), .zip64 = true}}, stub, true);
  r = Read(both.bytes);
  ASSERT_EQ(r.open, Status::Ok);
  EXPECT_EQ(r.data["a"], Text(100));
}

std::string Extra(std::uint16_t id, const std::string& body) {
  std::string x;
  Put16(x, id);
  Put16(x, static_cast<std::uint32_t>(body.size()));
  return x + body;
}

// An optional extra field whose own check fails, or that is not needed, is
// ignored: the entry keeps its header name and the archive still extracts.
TEST(ZipReader, OptionalExtraFieldsThatFailTheirOwnCheckAreIgnored) {
  const std::string name = "plain.txt";
  auto unicodePath = [&](std::uint8_t version, const std::string& checked, const std::string& utf8) {
    std::string body(1, static_cast<char>(version));
    Put32(body, static_cast<std::uint32_t>(
                    crc32(0, reinterpret_cast<const Bytef*>(checked.data()), static_cast<uInt>(checked.size()))));
    return Extra(0x7075, body + utf8);
  };
  std::string shortZip64;  // nothing in the header is 0xFFFFFFFF: not needed
  Put32(shortZip64, 7);
  const struct {
    const char* what;
    std::string extra;
    std::uint16_t flags;
    std::uint16_t diskStart;
  } cases[] = {
      {"unicode path, CRC of another name", unicodePath(1, "other", "u.txt"), 0, 0},
      {"unicode path, unknown version", unicodePath(2, name, "u.txt"), 0, 0},
      {"unicode path, empty", unicodePath(1, name, ""), 0, 0},
      {"unicode path, not UTF-8", unicodePath(1, name, "u\xFF\xFE.txt"), 0, 0},
      {"unicode path beside the UTF-8 flag", unicodePath(1, name, "u.txt"), 0x0800, 0},
      {"ZIP64 field that is not needed", Extra(0x0001, shortZip64), 0, 0},
      {"disk number marked ZIP64 without the field", "", 0, 0xFFFF},
      {"field longer than the extra area", std::string("\x55\x54\x32\x00\x01" "ab", 7), 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Result r = Read(BuildZip({{.name = name, .data = "p", .flags = c.flags, .centralExtra = c.extra,
                               .diskStart = c.diskStart}})
                        .bytes);
    ASSERT_EQ(r.open, Status::Ok);
    EXPECT_EQ(r.extract, Status::Ok);
    EXPECT_EQ(r.entries[0].rawName, name);
  }
}

// Writers that fill the classic end record with markers or stale values
// while the ZIP64 end record is right: the ZIP64 record is the one used.
TEST(ZipReader, Zip64EndRecordWinsOverInvalidClassicValues) {
  const auto zip = BuildZip({{.name = "a", .data = Text(300)}, {.name = "b", .data = "bb", .method = 0}}, "", true);
  const std::size_t end = zip.bytes.size() - 22;
  const struct {
    const char* what;
    std::size_t field;  // offset in the end record
    std::uint32_t value;
    int bytes;
  } cases[] = {
      {"disk numbers as markers", 4, 0xFFFFFFFF, 4},
      {"entries on this disk differ from the total", 8, 2, 2},
      {"entry counts wrong", 8, 0x00070007, 4},
      {"directory size and offset wrong", 12, 12345, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bytes = zip.bytes;
    for (int i = 0; i < c.bytes; ++i) bytes[end + c.field + i] = static_cast<char>(c.value >> (8 * (i % 4)));
    Result r = Read(bytes);
    ASSERT_EQ(r.open, Status::Ok);
    EXPECT_EQ(r.extract, Status::Ok);
    EXPECT_EQ(r.data["a"], Text(300));
  }
}

TEST(ZipReader, RefusesOtherFormatsUnsupportedFeaturesAndInconsistentHeaders) {
  EXPECT_EQ(Read("").open, Status::NotThisFormat);
  EXPECT_EQ(Read("MSCF\0\0\0\0" + std::string(200, '\0')).open, Status::NotThisFormat);
  EXPECT_EQ(Read(std::string("\x20\x00-lh5-", 7) + std::string(100, 'x')).open, Status::NotThisFormat);

  EXPECT_EQ(Read(BuildZip({{.name = "e", .data = "x", .flags = 1}}).bytes).open, Status::Unsupported);
  EXPECT_EQ(Read(BuildZip({{.name = "bz", .data = "x", .method = 12}}).bytes).open, Status::Unsupported);
  EXPECT_EQ(Read(BuildZip({{.name = "aes", .data = "x", .method = 99}}).bytes).open, Status::Unsupported);
  EXPECT_EQ(Read(BuildZip({{.name = "a", .data = "x"}}, "", false, 1).bytes).open, Status::Unsupported);

  // The local header must carry the central name and sit where the central directory says.
  EXPECT_EQ(Read(BuildZip({{.name = "a.txt", .data = "x", .localName = "b.txt"}}).bytes).open, Status::Corrupt);
  EXPECT_EQ(Read(BuildZip({{.name = "a", .data = "x"}, {.name = "b", .data = "y", .localOffset = 5}}).bytes).open,
            Status::Corrupt);
  // Two central entries over the same local entry (overlap bomb).
  EXPECT_EQ(Read(BuildZip({{.name = "a", .data = Text(1000)}, {.name = "a", .data = Text(1000), .localOffset = 0}})
                     .bytes)
                .open,
            Status::Corrupt);
}

TEST(ZipReader, DamagedDataIsNeverReportedAsGood) {
  // Wrong CRC, sizes that do not match the data (bigger, smaller), for both methods.
  for (std::uint16_t method : {0, 8}) {
    SCOPED_TRACE(method);
    Result r = Read(BuildZip({{.name = "a", .data = Text(5000), .method = method, .crc = 1234}}).bytes);
    EXPECT_EQ(r.extract, Status::Corrupt);
    r = Read(BuildZip({{.name = "a", .data = Text(5000), .method = method, .uncompressedSize = 4000}}).bytes);
    EXPECT_NE(r.open == Status::Ok ? r.extract : r.open, Status::Ok);
    EXPECT_LE(r.data["a"].size(), 4000u);  // never more than the entry holds
    r = Read(BuildZip({{.name = "a", .data = Text(5000), .method = method, .uncompressedSize = 6000}}).bytes);
    EXPECT_NE(r.open == Status::Ok ? r.extract : r.open, Status::Ok);
  }
  // A deflate bomb whose recorded size is small stops at that size.
  Result r = Read(BuildZip({{.name = "z", .data = std::string(50 << 20, '\0'), .uncompressedSize = 10}}).bytes);
  EXPECT_EQ(r.extract, Status::Corrupt);
  EXPECT_LE(r.data["z"].size(), 10u);

  // Every single-byte change of the packed data, every cut of the archive.
  auto zip = BuildZip({{.name = "d", .data = Text(3000)}, {.name = "s", .data = Text(700), .method = 0}});
  for (int entry = 0; entry < 2; ++entry) {
    for (std::size_t k = 0; k < zip.dataSizes[entry]; ++k) {
      std::string bad = zip.bytes;
      bad[zip.dataOffsets[entry] + k] ^= 0x5A;
      Result b = Read(bad);
      ASSERT_EQ(b.open, Status::Ok);
      ASSERT_NE(b.extract, Status::Ok) << "entry " << entry << " byte " << k;
    }
  }
  for (std::size_t len = 0; len < zip.bytes.size(); ++len) {
    Result b = Read(zip.bytes.substr(0, len));
    ASSERT_TRUE(b.open != Status::Ok || b.extract != Status::Ok) << "cut at " << len;
  }
}

}  // namespace
}  // namespace tarvex::extract
