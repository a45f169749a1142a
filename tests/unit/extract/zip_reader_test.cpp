// The ZIP reader on archives written by the test: what it takes from the
// headers and extra fields, layouts only a hand-made archive shows, and that
// damage is refused rather than decoded into wrong output. Archives of real
// writers are the corpus rows (tests/extract/conformance.py).
#include "extract/zip_reader.h"

#include "extract/support.h"

namespace tarvex::extract::testing {
namespace {

Result Read(const std::string& bytes) { return ReadAll<ZipReader>(bytes); }

TEST(ZipReader, EntriesNamesEncodingsTimesAndData) {
  const std::string cp932 = "\x95\x5C.txt";  // 表.txt
  const std::string unicodePath = Le(0x7075, 2) + Le(12, 2) + "\x01" + Le(Crc32(cp932), 4) + "表.txt";
  const std::string ut = Le(0x5455, 2) + Le(5, 2) + "\x01" + Le(1700000000, 4);
  const std::string ntfs = Le(0x000A, 2) + Le(32, 2) + Le(0, 4) + Le(1, 2) + Le(24, 2) +
                           Le(133000000000000000ull, 8) + Le(1, 8) + Le(2, 8);
  const Result r = Read(Zip({{.name = "dir/", .data = "", .method = 0, .attributes = 0x10},
                             {.name = "big.txt", .data = Text(200000)},
                             {.name = "stored", .data = std::string(5000, '\7'), .method = 0},
                             {.name = "名前", .data = "u", .flags = 0x0800},
                             {.name = cp932, .data = "p", .extra = unicodePath},
                             {.name = "ntfs", .data = "n", .extra = ut + ntfs},  // NTFS beats Unix
                             {.name = "unix", .data = "x", .extra = ut},
                             // No flag: UTF-8 from a Unix host is UTF-8; from DOS, or
                             // not UTF-8 at all, it stays CP932.
                             {.name = "名前", .data = "1", .madeBy = 0x031E},
                             {.name = "名前", .data = "2"},
                             {.name = "\x96\xBC\x91\x4F", .data = "3", .madeBy = 0x031E}}));
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(r.entries[0].isDirectory);
  EXPECT_FALSE(r.entries[2].isDirectory);
  EXPECT_EQ(r.data.at(1), Text(200000));
  EXPECT_EQ(r.data.at(2), std::string(5000, '\7'));
  EXPECT_EQ(r.entries[4].rawName, "表.txt");
  std::vector<NameEncoding> encodings;
  for (const EntryInfo& e : r.entries) encodings.push_back(e.encoding);
  const NameEncoding C = NameEncoding::Cp932, U = NameEncoding::Utf8;
  EXPECT_EQ(encodings, (std::vector<NameEncoding>{C, C, C, U, U, C, C, U, C, C}));
  EXPECT_EQ(r.entries[1].mtime.kind, FileTime::DosLocal);
  EXPECT_EQ(r.entries[1].mtime.value, (0x5A21u << 16) | 0x6000u);
  EXPECT_EQ(r.entries[5].mtime.value, 133000000000000000ull);
  EXPECT_EQ(r.entries[6].mtime.kind, FileTime::Utc);
  EXPECT_EQ(r.entries[6].mtime.value, 1700000000ull * 10000000 + kFileTimeUnixEpoch);
}

// Offsets beyond 4 GiB (the archive behind 5 GiB of other data), and ZIP64
// end records moved by a self-extractor's stub.
TEST(ZipReader, Zip64OffsetsAndRecordsBehindOtherData) {
  class Behind final : public InputFile {
   public:
    Behind(std::uint64_t gap, std::string tail) : gap_(gap), tail_(std::move(tail)) {}
    std::uint64_t Size() const override { return gap_ + tail_.size(); }
    std::int64_t ReadAt(std::uint64_t off, void* buf, std::size_t n) override {
      std::size_t done = 0;
      for (auto* out = static_cast<char*>(buf); done < n && off + done < Size(); ++done)
        out[done] = off + done < gap_ ? '\0' : tail_[off + done - gap_];
      return static_cast<std::int64_t>(done);
    }

   private:
    std::uint64_t gap_;
    std::string tail_;
  } far(5ull << 30, Zip({{.name = "far", .data = Text(5000), .zip64 = true}}, true, 5ull << 30));
  Result r = ReadAll<ZipReader>(far);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.data.at(0), Text(5000));
  r = Read("MZ" + std::string(3000, '\x90') + Zip({{.name = "a", .data = Text(100), .zip64 = true}}, true));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.data.at(0), Text(100));
}

// Writers that leave markers or stale values in the classic end record while
// the ZIP64 end record is right: the ZIP64 record is the one used.
TEST(ZipReader, Zip64EndRecordWinsOverTheClassicValues) {
  const std::string zip = Zip({{.name = "a", .data = Text(300)}, {.name = "b", .data = "bb", .method = 0}}, true);
  const std::size_t end = zip.size() - 22;
  const struct {
    std::size_t field;  // in the end record
    std::uint64_t value;
    int bytes;
  } cases[] = {{4, 0xFFFFFFFF, 4}, {8, 2, 2}, {8, 0x00070007, 4}, {12, 12345, 8}};
  for (const auto& c : cases) {
    std::string bytes = zip;
    SetLe(bytes, end + c.field, c.value, c.bytes);
    const Result r = Read(bytes);
    ASSERT_TRUE(r.ok()) << c.field;
    EXPECT_EQ(r.data.at(0), Text(300));
  }
}

// An optional extra field that fails its own check, or is not needed, is
// ignored: the entry keeps its header name and the archive extracts.
TEST(ZipReader, OptionalExtraFieldsThatFailTheirCheckAreIgnored) {
  const std::string name = "plain.txt";
  auto unicodePath = [](int version, const std::string& named, const std::string& utf8) {
    return Le(0x7075, 2) + Le(5 + utf8.size(), 2) + static_cast<char>(version) + Le(Crc32(named), 4) + utf8;
  };
  const ZipEntry cases[] = {
      {.extra = unicodePath(1, "other", "u.txt")},      // CRC of another name
      {.extra = unicodePath(2, name, "u.txt")},         // unknown version
      {.extra = unicodePath(1, name, "")},              // empty
      {.extra = unicodePath(1, name, "u\xFF\xFE.txt")},  // not UTF-8
      {.flags = 0x0800, .extra = unicodePath(1, name, "u.txt")},  // beside the UTF-8 flag
      {.extra = Le(1, 2) + Le(4, 2) + Le(7, 4)},        // ZIP64 field not needed
      {.extra = std::string("\x55\x54\x32\x00\x01" "ab", 7)},  // longer than the extra area
      {.disk = 0xFFFF},                                 // disk marked ZIP64, no field
  };
  for (ZipEntry e : cases) {
    e.name = name;
    e.data = "p";
    const Result r = Read(Zip({e}));
    EXPECT_TRUE(r.ok()) << e.extra.size();
    EXPECT_EQ(r.entries.at(0).rawName, name);
  }
}

TEST(ZipReader, RefusesOtherFormatsUnsupportedFeaturesAndInconsistentHeaders) {
  const struct {
    std::string bytes;
    Status open;
  } cases[] = {
      {"", Status::NotThisFormat},
      {"MSCF" + std::string(200, '\0'), Status::NotThisFormat},
      {std::string("\x20\x00-lh5-", 7) + std::string(100, 'x'), Status::NotThisFormat},
      {Zip({{.name = "e", .data = "x", .flags = 1}}), Status::Unsupported},  // encrypted
      {Zip({{.name = "bz", .data = "x", .method = 12}}), Status::Unsupported},
      {Zip({{.name = "aes", .data = "x", .method = 99}}), Status::Unsupported},
      {Zip({{.name = "a", .data = "x"}}, false, 0, 1), Status::Unsupported},  // a part of a set
      // The local header must carry the central name and sit where the central directory says,
      // and two central entries may not share one local entry (an overlap bomb).
      {Zip({{.name = "a.txt", .data = "x", .localName = "b.txt"}}), Status::Corrupt},
      {Zip({{.name = "a", .data = "x"}, {.name = "b", .data = "y", .offset = 5}}), Status::Corrupt},
      {Zip({{.name = "a", .data = Text(1000)}, {.name = "a", .data = Text(1000), .offset = 0}}), Status::Corrupt},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.bytes).open, c.open) << c.bytes.size();
}

TEST(ZipReader, DamageIsNeverPassedOnAsData) {
  for (std::uint16_t method : {0, 8}) {
    EXPECT_EQ(Read(Zip({{.name = "a", .data = Text(5000), .method = method, .crc = 1234}})).extract, Status::Corrupt);
    for (std::uint32_t size : {4000, 6000}) {
      const Result r = Read(Zip({{.name = "a", .data = Text(5000), .method = method, .size = size}}));
      EXPECT_FALSE(r.ok()) << method << " " << size;
      EXPECT_LE(r.data.count(0) ? r.data.at(0).size() : 0u, size);  // never more than the entry holds
    }
  }
  // A deflate bomb whose recorded size is small stops at that size.
  const Result bomb = Read(Zip({{.name = "z", .data = std::string(50 << 20, '\0'), .size = 10}}));
  EXPECT_EQ(bomb.extract, Status::Corrupt);
  EXPECT_LE(bomb.data.at(0).size(), 10u);
  ExpectDamageNeverPassesAsGood<ZipReader>(
      Zip({{.name = "d", .data = Text(3000)}, {.name = "s", .data = Text(700), .method = 0}}));
}

}  // namespace
}  // namespace tarvex::extract::testing
