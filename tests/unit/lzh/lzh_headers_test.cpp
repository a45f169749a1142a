// LZH headers: every level with its extensions, names, times, links, the
// search for an archive inside other bytes, and damaged or hostile headers.
#include <gtest/gtest.h>

#include <algorithm>

#include "lzh_support.h"

namespace tarvex::extract {
namespace {

using namespace lzhtest;

constexpr std::uint64_t kTicks = 10000000ull;
constexpr std::uint64_t kEpochDiff = 11644473600ull;

TEST(LzhCrc, MatchesTheKnownCheckValue) {
  const std::string s = "123456789";
  EXPECT_EQ(Crc(s), 0xBB3D);
}

TEST(LzhHeaders, EveryLevelGivesNameSizeTimeAndData) {
  for (int level = 0; level <= 3; ++level) {
    SCOPED_TRACE(level);
    Spec s = Stored(level, "hello.txt", "Hello, world\n");
    s.time = level <= 1 ? 0x5A2B6000u : 1700000000u;
    const Result r = ReadAll(Archive({s, Stored(level, "two", std::string(3000, 'x'))}));
    ASSERT_EQ(r.open, Status::Ok);
    ASSERT_EQ(r.extract, Status::Ok);
    ASSERT_EQ(r.entries.size(), 2u);
    EXPECT_EQ(r.entries[0].rawName, "hello.txt");
    EXPECT_EQ(r.entries[0].size, 13u);
    EXPECT_EQ(r.data.at(0), "Hello, world\n");
    EXPECT_EQ(r.data.at(1), std::string(3000, 'x'));
    if (level <= 1) {
      EXPECT_EQ(r.entries[0].mtime.kind, FileTime::DosLocal);
      EXPECT_EQ(r.entries[0].mtime.value, 0x5A2B6000u);
    } else {
      EXPECT_EQ(r.entries[0].mtime.kind, FileTime::Utc);
      EXPECT_EQ(r.entries[0].mtime.value, (1700000000u + kEpochDiff) * kTicks);
    }
  }
}

TEST(LzhHeaders, ExtensionsGiveNameFolderTimesAndAttributes) {
  // Level 1: the "skip size" counts the extensions; the data must still be found.
  Spec s1 = Stored(1, "", "level one data");
  s1.exts = {{0x01, "file.bin"}, {0x02, std::string("dir\xFFsub\xFF")}, {0x40, std::string("\x21\x00", 2)},
             {0x54, std::string("\x00\xF1\x53\x65", 4)}, {0x3F, "a comment"}};
  // Level 2: Windows times beat the Unix time of the base header.
  Spec s2 = Stored(2, "w.txt", "level two");
  s2.time = 1000;
  std::string ft;
  Put32(ft, 0x11111111); Put32(ft, 0x01D00000);  // created
  Put32(ft, 0x22222222); Put32(ft, 0x01D10000);  // last written
  Put32(ft, 0x33333333); Put32(ft, 0x01D20000);  // last accessed
  s2.exts.push_back({0x41, ft});
  s2.exts.push_back({0x02, std::string("a\xFF" "b")});  // no trailing separator
  Spec s3 = Stored(3, "deep.txt", "three");
  s3.exts.push_back({0x02, std::string("x\xFFy\xFF")});
  const Result r = ReadAll(Archive({s1, s2, s3}));
  ASSERT_EQ(r.open, Status::Ok);
  ASSERT_EQ(r.extract, Status::Ok);
  EXPECT_EQ(r.entries[0].rawName, "dir/sub/file.bin");
  EXPECT_EQ(r.entries[0].dosAttributes, 0x21u);
  EXPECT_EQ(r.entries[0].mtime.kind, FileTime::Utc);
  EXPECT_EQ(r.entries[0].mtime.value, (0x6553F100ull + kEpochDiff) * kTicks);
  EXPECT_EQ(r.data.at(0), "level one data");
  EXPECT_EQ(r.entries[1].rawName, "a/b/w.txt");
  EXPECT_EQ(r.entries[1].mtime.value, 0x01D1000022222222ull);
  EXPECT_EQ(r.entries[2].rawName, "x/y/deep.txt");
  EXPECT_EQ(r.data.at(2), "three");
}

TEST(LzhHeaders, NamesKeepTheirBytesAndEncoding) {
  // 表 is 0x95 0x5C: the reader must hand the bytes on untouched so that the
  // trail byte is not taken for a separator before decoding; the capitals
  // around it are lowered, the double-byte character is not touched.
  const std::string hyo = "\x95\x5C";
  Spec dos = Stored(0, "DIR\\" + hyo + ".TXT", "x");
  Spec caps = Stored(0, "README.TXT", "y");
  Spec unixCaps = Stored(2, "README.TXT", "z");
  unixCaps.os = 'U';
  Spec utf8 = Stored(2, "\xE6\x97\xA5\xE6\x9C\xAC.txt", "u");
  utf8.os = 'U';
  Spec sjisOnUnix = Stored(2, "\x93\xFA\x96\x7B.txt", "s");  // 日本 in CP932: not UTF-8
  sjisOnUnix.os = 'U';
  Spec utf8FromDos = Stored(2, "\xE6\x97\xA5.txt", "d");   // no claim of UTF-8
  const Result r = ReadAll(Archive({dos, caps, unixCaps, utf8, sjisOnUnix, utf8FromDos}));
  ASSERT_EQ(r.extract, Status::Ok);
  EXPECT_EQ(r.entries[0].rawName, "dir\\" + hyo + ".txt");
  EXPECT_TRUE(r.entries[0].backslashIsSeparator);
  EXPECT_EQ(r.entries[0].encoding, NameEncoding::Cp932);
  EXPECT_EQ(r.entries[1].rawName, "readme.txt");
  EXPECT_EQ(r.entries[2].rawName, "README.TXT");
  EXPECT_EQ(r.entries[3].encoding, NameEncoding::Utf8);
  EXPECT_EQ(r.entries[4].encoding, NameEncoding::Cp932);
  EXPECT_EQ(r.entries[5].encoding, NameEncoding::Cp932);
}

// Names all in capitals come from systems without case in their names; the
// reference reader (lhasa) lowers them for these system ids only: generic,
// MS-DOS, OS/2 and Atari. A name with any small letter is kept as it is.
TEST(LzhHeaders, CapitalNamesAreLoweredForSystemsWithoutCase) {
  const std::string lowered = std::string("\0M2a", 4), kept = "UwWJK3AHm";
  std::vector<Spec> specs;
  for (int level = 1; level <= 3; ++level) {
    for (char os : lowered + kept) {
      specs.push_back(Stored(level, "DIR\xFF" "A\x83\x41Z.TXT", "x"));
      specs.back().os = os;
    }
    specs.push_back(Stored(level, "Mixed.TXT", "x"));
  }
  const Result r = ReadAll(Archive(specs));
  ASSERT_EQ(r.extract, Status::Ok);
  for (std::size_t i = 0; i < specs.size(); ++i) {
    SCOPED_TRACE(i);
    const bool lower = lowered.find(specs[i].os) != std::string::npos && i % 14 != 13;
    EXPECT_EQ(r.entries[i].rawName, i % 14 == 13 ? "Mixed.TXT" : lower ? "dir/a\x83\x41z.txt" : "DIR/A\x83\x41Z.TXT");
  }
}

TEST(LzhHeaders, LinksAndDirectoriesCarryNoData) {
  Spec link = Stored(2, "ln|../../etc/passwd", "");
  link.method = "-lhd-";
  link.os = 'U';
  link.exts.push_back({0x50, std::string("\xFF\xA1", 2)});
  Spec modeLink = Stored(2, "other", "");  // mode alone says link
  modeLink.os = 'U';
  modeLink.exts.push_back({0x50, std::string("\xFF\xA1", 2)});
  Spec dir = Stored(2, "", "");
  dir.method = "-lhd-";
  dir.original = 100;  // a size on a folder means nothing
  dir.exts.push_back({0x02, std::string("d1\xFF" "d2\xFF")});
  // ポ is 0x83 0x7C: a '|' trail byte is no link marker.
  Spec po = Stored(0, "\x83\x7C.txt", "p");
  const Result r = ReadAll(Archive({link, modeLink, dir, po}));
  ASSERT_EQ(r.extract, Status::Ok);
  EXPECT_TRUE(r.entries[0].isSymlink);
  EXPECT_EQ(r.entries[0].rawName, "ln");
  EXPECT_TRUE(r.entries[1].isSymlink);
  EXPECT_TRUE(r.entries[2].isDirectory);
  EXPECT_EQ(r.entries[2].rawName, "d1/d2/");
  EXPECT_FALSE(r.entries[3].isSymlink);
  EXPECT_EQ(r.data.count(0) + r.data.count(1) + r.data.count(2), 0u);  // no sink asked for
  EXPECT_EQ(r.data.at(3), "p");
}

TEST(LzhHeaders, LevelTwoHeaderOfSizeMultipleOf256StartsWithZero) {
  Spec s = Stored(2, "n", "data");
  const std::size_t bare = Member(s).size() - 4;
  s.exts.push_back({0x3F, std::string(512 - bare - 3, 'c')});
  const std::string m = Member(s);
  ASSERT_EQ(m[0], '\0');
  const Result r = ReadAll(m + std::string(1, '\0'));
  ASSERT_EQ(r.open, Status::Ok);
  EXPECT_EQ(r.data.at(0), "data");
}

TEST(LzhHeaders, DamageIsReportedNotGuessed) {
  struct Case {
    const char* what;
    std::string archive;
    Status open, extract;
  };
  const std::string good = Archive({Stored(1, "a", "alpha"), Stored(2, "b", "beta")});
  auto flip = [&](std::size_t at) { std::string s = good; s[at] ^= 0x01; return s; };
  Spec wrongCrc = Stored(2, "c", "gamma");
  wrongCrc.crc ^= 0x1234;
  Spec noCrcField = Stored(0, "n", "no crc");
  Spec unknown = Stored(2, "u", "x");
  unknown.method = "-lhx-";
  Spec badChain = Stored(2, "e", "x");
  badChain.exts.push_back({0x3F, "zz"});
  std::string chain = Member(badChain) + std::string(1, '\0');
  chain[26 + 5 + 2] = '\x7F';  // second extension's size runs off the header
  std::string noCrcArchive = Member(noCrcField);
  noCrcArchive.erase(22 + 1, 2);  // header ends with the name (old writers)
  noCrcArchive[0] = static_cast<char>(noCrcArchive[0] - 2);
  unsigned sum = 0;
  for (int i = 2; i < 22 + 1; ++i) sum += static_cast<unsigned char>(noCrcArchive[i]);
  noCrcArchive[1] = static_cast<char>(sum);
  const Case cases[] = {
      {"level-1 checksum", flip(10), Status::Corrupt, Status::Ok},
      {"level-1 header CRC extension", flip(29), Status::Corrupt, Status::Ok},
      {"second header damaged", flip(good.size() - 8), Status::Corrupt, Status::Ok},
      {"file CRC", Archive({Stored(2, "ok", "ok"), wrongCrc}), Status::Ok, Status::Corrupt},
      {"unknown method", Archive({Stored(2, "ok", "ok"), unknown}), Status::Unsupported, Status::Ok},
      {"extension chain", chain, Status::Corrupt, Status::Ok},
      {"data cut short", good.substr(0, good.size() - 3), Status::Corrupt, Status::Ok},
      {"level-0 header too short for its CRC", noCrcArchive + std::string(1, '\0'), Status::Corrupt, Status::Ok},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Result r = ReadAll(c.archive);
    EXPECT_EQ(r.open, c.open);
    if (c.open == Status::Ok) EXPECT_EQ(r.extract, c.extract);
  }
}

TEST(LzhDetection, FindsSelfExtractingArchivesAndRefusesOtherFormats) {
  const std::string lzh = Archive({Stored(1, "inner.txt", "inside an exe")});
  std::string exe = "MZ" + std::string(70000, '\x90');
  // A decoy that looks like a header but fails its checksum.
  exe += std::string("\x20\x00-lh5-", 7) + std::string(30, '\x01');
  Result r = ReadAll(exe + lzh);
  ASSERT_EQ(r.open, Status::Ok);
  EXPECT_EQ(r.data.at(0), "inside an exe");

  // A ZIP holding an LZH archive as a stored member is not an LZH archive.
  const std::string zip = std::string("PK\x03\x04", 4) + std::string(26, '\0') + lzh;
  EXPECT_EQ(ReadAll(zip).open, Status::NotThisFormat);
  EXPECT_EQ(ReadAll("MSCF" + std::string(40, '\0') + lzh).open, Status::NotThisFormat);
  EXPECT_EQ(ReadAll("").open, Status::NotThisFormat);
  EXPECT_EQ(ReadAll(std::string(100000, 'a')).open, Status::NotThisFormat);
  // Only the first 64 KB of a file that is no program are searched.
  EXPECT_EQ(ReadAll(std::string(70000, 'a') + lzh).open, Status::NotThisFormat);
  EXPECT_EQ(ReadAll(std::string(1000, 'a') + lzh).open, Status::Ok);
}

TEST(LzhHeaders, EveryTruncationFailsExceptAtAMemberBoundary) {
  // Some writers leave out the end marker, so the end of the file after a
  // whole member ends the archive; every other cut must fail.
  const std::vector<Spec> specs = {Stored(0, "x0", "zero"), Stored(1, "x1", "one"), Stored(2, "x2", "two"),
                                   Stored(3, "x3", "three")};
  std::vector<std::size_t> boundaries;
  std::string a;
  for (const Spec& s : specs) {
    a += Member(s);
    boundaries.push_back(a.size());
  }
  a.push_back('\0');
  for (std::size_t n = 0; n + 1 < a.size(); ++n) {
    SCOPED_TRACE(n);
    const Result r = ReadAll(a.substr(0, n));
    const auto at = std::find(boundaries.begin(), boundaries.end(), n);
    if (at == boundaries.end()) {
      EXPECT_FALSE(r.open == Status::Ok && r.extract == Status::Ok);
    } else {
      EXPECT_EQ(r.entries.size(), static_cast<std::size_t>(at - boundaries.begin()) + 1);
    }
  }
}

}  // namespace
}  // namespace tarvex::extract
