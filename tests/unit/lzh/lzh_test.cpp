// The LZH reader on archives written by the test: every header level with
// its extensions, names, times, links, the search for an archive inside other
// bytes, damaged headers, and the bound on what compressed data may expand to.
// Archives of real archivers and every method are the corpus rows.
#include "extract/lzh_reader.h"

#include "extract/support.h"

namespace tarvex::extract::testing {
namespace {

Result Read(const std::string& archive) { return ReadAll<LzhReader>(archive); }
std::uint64_t UnixTicks(std::uint64_t seconds) { return seconds * kFileTimeTicksPerSecond + kFileTimeUnixEpoch; }

TEST(LzhHeaders, EveryLevelGivesNameSizeTimeAndData) {
  for (int level = 0; level <= 3; ++level) {
    const Result r = Read(LzhArchive({Lzh::Stored(level, "hello.txt", "Hello\n"), Lzh::Stored(level, "two", Text(3000))}));
    ASSERT_TRUE(r.ok()) << level;
    EXPECT_EQ(r.entries[0].rawName, "hello.txt");
    EXPECT_EQ(r.entries[0].size, 6u);
    EXPECT_EQ(r.data, (std::map<std::size_t, std::string>{{0, "Hello\n"}, {1, Text(3000)}}));
    EXPECT_EQ(r.entries[0].mtime.kind, level <= 1 ? FileTime::DosLocal : FileTime::Utc);
    EXPECT_EQ(r.entries[0].mtime.value, level <= 1 ? 0x5A2B6000u : UnixTicks(1700000000));
  }
}

TEST(LzhHeaders, ExtensionsGiveNamesFoldersTimesAndAttributes) {
  Lzh one = Lzh::Stored(1, "", "level one");  // the skip size counts the extensions: the data must still be found
  one.exts = {{0x01, "file.bin"}, {0x02, "dir\xFFsub\xFF"}, {0x40, std::string("\x21\x00", 2)},
              {0x54, Le(0x6553F100, 4)}, {0x3F, "a comment"}};
  Lzh two = Lzh::Stored(2, "w.txt", "level two");  // Windows times beat the Unix time of the base header
  two.exts = {{0x41, Le(0x01D0000011111111, 8) + Le(0x01D1000022222222, 8) + Le(0x01D2000033333333, 8)},
              {0x02, "a\xFF" "b"}};  // no separator at the end
  Lzh three = Lzh::Stored(3, "deep.txt", "three");
  three.exts = {{0x02, "x\xFFy\xFF"}};
  const Result r = Read(LzhArchive({one, two, three}));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.data, (std::map<std::size_t, std::string>{{0, "level one"}, {1, "level two"}, {2, "three"}}));
  EXPECT_EQ(r.entries[0].rawName, "dir/sub/file.bin");
  EXPECT_EQ(r.entries[0].dosAttributes, 0x21u);
  EXPECT_EQ(r.entries[0].mtime.value, UnixTicks(0x6553F100));
  EXPECT_EQ(r.entries[1].rawName, "a/b/w.txt");
  EXPECT_EQ(r.entries[1].mtime.value, 0x01D1000022222222ull);
  EXPECT_EQ(r.entries[2].rawName, "x/y/deep.txt");
}

// The reader hands name bytes on untouched (表 is 0x95 0x5C: its trail byte
// must not become a separator before decoding); names all in capitals from
// systems without case (generic, MS-DOS, OS/2, Atari) are lowered, as the
// reference reader does, double-byte characters left alone; a '|' ends a
// link's name unless it is the trail byte of ポ (0x83 0x7C).
TEST(LzhHeaders, NamesKeepTheirBytesCaseAndEncodingLinksAndFolders) {
  std::vector<Lzh> specs = {Lzh::Stored(0, "DIR\\\x95\x5C.TXT", "x"), Lzh::Stored(0, "\x83\x7C.txt", "p")};
  const std::string lowered = std::string("\0M2a", 4), kept = "UwWJK3AHm";
  for (char os : lowered + kept) {
    specs.push_back(Lzh::Stored(2, "DIR\xFF" "A\x83\x41Z.TXT", "x"));
    specs.back().os = os;
  }
  specs.push_back(Lzh::Stored(1, "Mixed.TXT", "x"));
  for (const char* name : {"\xE6\x97\xA5.txt", "\x93\xFA\x96\x7B.txt"}) {  // UTF-8 日, CP932 日本 from Unix
    specs.push_back(Lzh::Stored(2, name, "u"));
    specs.back().os = 'U';
  }
  Lzh link = Lzh::Stored(2, "ln|../../etc/passwd", ""), modeLink = Lzh::Stored(2, "other", "");  // mode alone says link
  link.method = "-lhd-";
  for (Lzh* l : {&link, &modeLink}) {
    l->os = 'U';
    l->exts = {{0x50, Le(0xA1FF, 2)}};
  }
  Lzh dir = Lzh::Stored(2, "", "");
  dir.method = "-lhd-";
  dir.original = 100;  // a size on a folder means nothing
  dir.exts = {{0x02, "d1\xFF" "d2\xFF"}};
  specs.insert(specs.end(), {link, modeLink, dir});
  const Result r = Read(LzhArchive(specs));
  ASSERT_TRUE(r.ok());
  std::vector<std::string> names;
  for (const EntryInfo& e : r.entries) names.push_back(e.rawName + (e.isSymlink ? "@" : e.isDirectory ? "/" : ""));
  const std::string low = "dir/a\x83\x41z.txt", caps = "DIR/A\x83\x41Z.TXT";
  EXPECT_EQ(names, (std::vector<std::string>{"dir\\\x95\x5C.txt", "\x83\x7C.txt", low, low, low, low, caps, caps, caps,
                                             caps, caps, caps, caps, caps, caps, "Mixed.TXT", "\xE6\x97\xA5.txt",
                                             "\x93\xFA\x96\x7B.txt", "ln@", "other@", "d1/d2//"}));
  EXPECT_EQ(r.entries[0].encoding, NameEncoding::Cp932);
  EXPECT_EQ(r.entries[16].encoding, NameEncoding::Utf8);
  EXPECT_EQ(r.entries[17].encoding, NameEncoding::Cp932);
  EXPECT_EQ(r.data.count(18) + r.data.count(19) + r.data.count(20), 0u);  // links and folders carry no data
}

TEST(LzhHeaders, ALevelTwoHeaderOfSizeMultipleOf256StartsWithZero) {
  Lzh m = Lzh::Stored(2, "n", "data");
  m.exts = {{0x3F, std::string(512 - m.Build().size() + 4 - 3, 'c')}};
  const std::string member = m.Build();
  ASSERT_EQ(member[0], '\0');
  EXPECT_EQ(Read(member + '\0').data.at(0), "data");
}

TEST(LzhHeaders, DamageIsReportedNotGuessed) {
  const std::string good = LzhArchive({Lzh::Stored(1, "a", "alpha"), Lzh::Stored(2, "b", "beta")});
  auto flip = [&](std::size_t at) { std::string s = good; s[at] ^= 0x01; return s; };
  Lzh wrongCrc = Lzh::Stored(2, "c", "gamma"), unknown = Lzh::Stored(2, "u", "x"), chain = Lzh::Stored(2, "e", "x");
  wrongCrc.crc ^= 0x1234;
  unknown.method = "-lhx-";
  chain.exts = {{0x3F, "zz"}};
  std::string badChain = chain.Build() + '\0';
  badChain[26 + 5 + 2] = '\x7F';  // the second extension's size runs off the header
  Lzh noCrc = Lzh::Stored(0, "n", "no crc");  // a level-0 header that ends with its name (old writers)
  std::string noCrcField = noCrc.Build().erase(23, 2);
  noCrcField[0] = static_cast<char>(noCrcField[0] - 2);
  noCrcField[1] = static_cast<char>(noCrcField[1] - (noCrc.crc & 0xFF) - (noCrc.crc >> 8));
  const struct {
    const char* what;
    std::string archive;
    Status open, extract;
  } cases[] = {
      {"level-1 checksum", flip(10), Status::Corrupt, Status::Ok},
      {"level-1 header CRC extension", flip(29), Status::Corrupt, Status::Ok},
      {"second header", flip(good.size() - 8), Status::Corrupt, Status::Ok},
      {"file CRC", LzhArchive({Lzh::Stored(2, "ok", "ok"), wrongCrc}), Status::Ok, Status::Corrupt},
      {"unknown method", LzhArchive({Lzh::Stored(2, "ok", "ok"), unknown}), Status::Unsupported, Status::Ok},
      {"extension chain", badChain, Status::Corrupt, Status::Ok},
      {"data cut short", good.substr(0, good.size() - 3), Status::Corrupt, Status::Ok},
      {"level-0 header too short for its CRC", noCrcField + '\0', Status::Corrupt, Status::Ok},
  };
  for (const auto& c : cases) {
    const Result r = Read(c.archive);
    EXPECT_EQ(r.open, c.open) << c.what;
    if (c.open == Status::Ok) EXPECT_EQ(r.extract, c.extract) << c.what;
  }
  // Some writers leave out the end marker: the end of the file after a whole
  // member ends the archive; any other cut or change fails.
  std::string all = LzhArchive({Lzh::Stored(0, "x0", "zero"), Lzh::Stored(1, "x1", "one"), Lzh::Stored(2, "x2", "two"),
                                Lzh::Stored(3, "x3", "three")});
  EXPECT_EQ(Read(all.substr(0, all.size() - 1)).data.size(), 4u);
  // (A first header whose method or level bytes are damaged no longer starts
  // an archive; the reader then searches on, as in a self-extractor.)
  ExpectDamageNeverPassesAsGood<LzhReader>(all, 21);
}

TEST(LzhDetection, FindsSelfExtractingArchivesAndRefusesOtherFormats) {
  const std::string lzh = LzhArchive({Lzh::Stored(1, "inner.txt", "inside an exe")});
  // A program, then a decoy that looks like a header but fails its checksum.
  const std::string exe = "MZ" + std::string(70000, '\x90') + std::string("\x20\x00-lh5-", 7) + std::string(30, '\x01');
  EXPECT_EQ(Read(exe + lzh).data.at(0), "inside an exe");
  EXPECT_EQ(Read(std::string(1000, 'a') + lzh).data.at(0), "inside an exe");
  const struct {
    std::string bytes;
    const char* what;
  } refused[] = {
      {std::string("PK\x03\x04", 4) + std::string(26, '\0') + lzh, "a ZIP holding an LZH archive"},
      {"MSCF" + std::string(40, '\0') + lzh, "a cabinet holding one"},
      {"", "nothing"},
      {std::string(100000, 'a'), "no archive"},
      {std::string(70000, 'a') + lzh, "an archive beyond the first 64 KB of a file that is no program"},
  };
  for (const auto& c : refused) EXPECT_EQ(Read(c.bytes).open, Status::NotThisFormat) << c.what;
}

// Sizes the data cannot expand to are refused before decoding (the 64-bit
// sizes of extension 0x42 too), and decoding stops where the compressed data
// ends instead of decoding zeros past it.
TEST(LzhDecoders, OutputIsBoundedByTheCompressedData) {
  auto sizes = [](std::uint64_t packed, std::uint64_t original) {
    return std::pair<std::uint8_t, std::string>{0x42, Le(packed, 8) + Le(original, 8)};
  };
  for (const char* method : {"-lh0-", "-lh1-", "-lh5-", "-lh7-", "-lzs-", "-lz5-"}) {
    Lzh m = Lzh::Stored(2, "big", std::string(16, '\0'));
    m.method = method;
    m.exts = {sizes(16, std::uint64_t{1} << 40)};
    EXPECT_EQ(Read(LzhArchive({m})).open, Status::Corrupt) << method;
  }
  Lzh level1 = Lzh::Stored(1, "l1", "abc");
  level1.original = 0;
  level1.exts = {sizes(3, 3)};
  EXPECT_EQ(Read(LzhArchive({level1})).data.at(0), "abc");
  // One -lh5- block of 65535 symbols whose code gives '0' to a 256-byte match
  // and '10' to 'A'; the data ends after three 'A's. Zeros past the end would
  // decode as matches, 16 MB of them.
  std::string bits;
  for (auto [value, width] : std::initializer_list<std::pair<unsigned, int>>{
           {0xFFFF, 16}, {5, 5}, {0, 3}, {0, 3}, {1, 3}, {0, 2}, {2, 3}, {2, 3},      // T: 2:'0' 3:'10' 4:'11'
           {510, 9}, {0, 1}, {45, 9}, {3, 2}, {0, 1}, {423, 9}, {2, 2},              // C: 'A':2 509:1
           {0, 4}, {0, 4}, {2, 2}, {2, 2}, {2, 2}})                                  // P: one distance; AAA
    for (int i = width - 1; i >= 0; --i) bits += (value >> i & 1) ? '1' : '0';
  std::string block;
  for (std::size_t i = 0; i < bits.size(); i += 8) block += static_cast<char>(std::stoi((bits + "0000000").substr(i, 8), nullptr, 2));
  Lzh bomb = Lzh::Stored(2, "bomb", block);
  bomb.method = "-lh5-";
  bomb.original = 20 << 20;
  const Result r = Read(LzhArchive({bomb}));
  ASSERT_EQ(r.open, Status::Ok);
  EXPECT_EQ(r.extract, Status::Corrupt);
  EXPECT_LT(r.data.at(0).size(), std::size_t{1} << 20);
}

}  // namespace
}  // namespace tarvex::extract::testing
