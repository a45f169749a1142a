// The cabinet container: tables, block chains, checksums, the ways a header
// can lie, and what comes out for each file.
#include <gtest/gtest.h>

#include <functional>

#include "cab/cab_support.h"

namespace {

using namespace cabtest;
using tarvex::extract::CabReader;
using tarvex::extract::NameEncoding;
using tarvex::extract::Status;

// Files of several sizes, laid over block boundaries, in two folders with
// different methods; what goes in must come out, file by file.
TEST(CabReader, StoredAndMszipFoldersAcrossBlockBoundaries) {
  for (std::uint16_t type : {std::uint16_t{0}, std::uint16_t{1}}) {
    CabSpec spec;
    Bytes a = Pattern(40000, 1), b = Pattern(0, 2), c = Pattern(70001, 3);
    // Repeat the start of c much later, so MSZIP must reach into an earlier block.
    c.insert(c.end(), c.begin(), c.begin() + 20000);
    spec.AddFiles(0, {{"dir\\a.txt", a}, {"empty", b}, {"dir\\sub\\c.bin", c}});
    spec.AddFiles(1, {{"d.txt", Pattern(5, 4)}});
    spec.folders[0].type = type;
    spec.folders[1].type = static_cast<std::uint16_t>(1 - type);
    Extracted r = ExtractInMemory(spec.Build());
    ASSERT_EQ(r.status, Status::Ok) << "type " << type;
    ASSERT_EQ(r.entries.size(), 4u);
    EXPECT_EQ(r.entries[0].rawName, "dir\\a.txt");
    EXPECT_TRUE(r.entries[0].backslashIsSeparator);
    EXPECT_EQ(r.data[0], a);
    EXPECT_TRUE(r.data[1].empty());
    EXPECT_EQ(r.data[2], c);
    EXPECT_EQ(r.data[3], Pattern(5, 4));
  }
}

// Entry fields, in a cabinet with reserved areas in its header, folder
// entries and data blocks (skipped by the reader).
TEST(CabReader, EntryFieldsBehindReservedAreas) {
  CabSpec spec;
  spec.AddFiles(0, {{"plain", Pattern(50000, 1)}, {"\xE5\x90\x8D", Pattern(3, 2)}});
  spec.folders[0].type = 1;
  spec.headerReserve = 20;
  spec.folderReserve = 7;
  spec.dataReserve = 5;
  spec.files[0].attribs = 0x01 | 0x02 | 0x04 | 0x20 | 0x40;  // +exec, which is dropped
  spec.files[1].attribs = 0x80;                             // name is UTF-8
  Extracted r = ExtractInMemory(spec.Build());
  ASSERT_EQ(r.status, Status::Ok);
  EXPECT_EQ(r.data[0], Pattern(50000, 1));
  EXPECT_EQ(r.entries[0].encoding, NameEncoding::Cp932);
  EXPECT_EQ(r.entries[1].encoding, NameEncoding::Utf8);
  EXPECT_EQ(r.entries[0].dosAttributes, 0x27u);
  EXPECT_EQ(r.entries[1].dosAttributes, 0u);
  EXPECT_EQ(r.entries[0].mtime.kind, tarvex::extract::FileTime::DosLocal);
  EXPECT_EQ(r.entries[0].mtime.value, (0x5A21ull << 16) | 0x6C22);
  EXPECT_EQ(r.entries[1].size, 3u);
}

// A file table far larger than the reader's read window (long names, many
// files): every name and range must still come out right.
TEST(CabReader, LargeFileTable) {
  CabSpec spec;
  std::vector<std::pair<std::string, Bytes>> files;
  for (int i = 0; i < 400; ++i) {
    std::string name = "d" + std::to_string(i % 7) + "\\" + std::string(200 + (i * 37) % 800, 'a' + i % 26) +
                       std::to_string(i);
    files.emplace_back(name, Pattern(static_cast<std::size_t>(i % 50), static_cast<std::uint32_t>(i)));
  }
  spec.AddFiles(0, files);
  Extracted r = ExtractInMemory(spec.Build());
  ASSERT_EQ(r.status, Status::Ok);
  ASSERT_EQ(r.entries.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(r.entries[i].rawName, files[i].first) << i;
    EXPECT_EQ(r.data[i], files[i].second) << i;
  }
}

// Two files naming the same bytes, and files listed out of folder order:
// each still gets its own range (the folder is decoded again as needed).
TEST(CabReader, SharedAndUnorderedRanges) {
  CabSpec spec;
  Bytes all = Pattern(100000, 5);
  spec.AddFiles(0, {{"all", all}});
  spec.folders[0].type = 1;
  CabSpec::File tail{"tail", 1000, 99000, 0};
  CabSpec::File head{"head", 10, 0, 0};
  spec.files.push_back(tail);
  spec.files.push_back(head);
  Extracted r = ExtractInMemory(spec.Build());
  ASSERT_EQ(r.status, Status::Ok);
  EXPECT_EQ(r.data[0], all);
  EXPECT_EQ(r.data[1], Bytes(all.end() - 1000, all.end()));
  EXPECT_EQ(r.data[2], Bytes(all.begin(), all.begin() + 10));
}

TEST(CabReader, OtherFormatsAreNotThisFormat) {
  const char* heads[] = {"PK\x03\x04 zip local header........................",
                         "\x1f\x8b gzip", "!\x00-lh5- lzh header.........................", "MSC",
                         "FILLERMSCF"};
  for (const char* h : heads) {
    Bytes b(h, h + std::strlen(h) + 40);
    auto f = InMemory(b);
    CabReader reader;
    EXPECT_EQ(reader.Open(f), Status::NotThisFormat) << h;
  }
  auto empty = InMemory(Bytes{});
  CabReader reader;
  EXPECT_EQ(reader.Open(empty), Status::NotThisFormat);
}

// A cabinet inside a Windows program is found; the same cabinet after other
// bytes in any other file is not looked for.
TEST(CabReader, CabinetInsideProgramIsFoundOnlyThere) {
  CabSpec spec;
  spec.AddFiles(0, {{"inner.txt", Pattern(1234, 7)}});
  spec.folders[0].type = 1;
  Bytes cab = spec.Build();
  Bytes program = {'M', 'Z'};
  program.resize(5000, 0x90);
  // A stray signature with a nonsense header comes first: it must be passed over.
  std::memcpy(program.data() + 100, "MSCF\x01\x02\x03", 7);
  program.insert(program.end(), cab.begin(), cab.end());
  program.resize(program.size() + 300, 0);

  auto f = InMemory(program);
  CabReader reader;
  ASSERT_EQ(reader.Open(f), Status::Ok);
  EXPECT_EQ(reader.cabinetOffset(), 5000u);
  CollectSink sink;
  ASSERT_EQ(reader.ExtractAll([&](std::size_t) { return &sink; }), Status::Ok);
  EXPECT_EQ(sink.bytes, Pattern(1234, 7));

  Bytes other = program;
  other[0] = 'X';
  auto g = InMemory(other);
  CabReader reader2;
  EXPECT_EQ(reader2.Open(g), Status::NotThisFormat);

  // A program with no cabinet at all.
  Bytes plain = {'M', 'Z'};
  plain.resize(3000, 0);
  auto h = InMemory(plain);
  CabReader reader3;
  EXPECT_EQ(reader3.Open(h), Status::NotThisFormat);
}

// Cabinet sets (flags or files continued across cabinets), unknown methods
// and window sizes outside LZX 2^15..2^21 and Quantum 2^10..2^21.
TEST(CabReader, SetsAndUnknownMethodsAreUnsupported) {
  const std::function<void(CabSpec&)> cases[] = {
      [](CabSpec& c) { c.flags = 1; },  [](CabSpec& c) { c.flags = 2; },
      [](CabSpec& c) { c.files[0].folder = 0xFFFD; }, [](CabSpec& c) { c.files[0].folder = 0xFFFF; },
      [](CabSpec& c) { c.folders[0].type = 0x0004; }, [](CabSpec& c) { c.folders[0].type = 0x1603; },
      [](CabSpec& c) { c.folders[0].type = 0x0E03; }, [](CabSpec& c) { c.folders[0].type = 0x0912; },
      [](CabSpec& c) { c.folders[0].type = 0x1612; },
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    CabSpec spec;
    spec.AddFiles(0, {{"a", Pattern(10, 1)}});
    cases[i](spec);
    EXPECT_EQ(ExtractInMemory(spec.Build()).status, Status::Unsupported) << i;
  }
}

// Every way the tables can disagree with the file is Corrupt, found before
// any data is handed out where the tables alone show it.
TEST(CabReader, InconsistentTablesAreCorrupt) {
  CabSpec base;
  base.AddFiles(0, {{"a.txt", Pattern(40000, 1)}, {"b.txt", Pattern(100, 2)}});
  base.folders[0].type = 1;
  const std::size_t folderEntry = 36;
  const struct {
    const char* what;
    std::function<void(CabSpec&)> spec;
    std::function<void(Bytes&)> bytes;
  } cases[] = {
      {"file runs past the folder's data", [](CabSpec& c) { c.files[1].size = 101; }, nullptr},
      {"offset + size overflows 32 bits", [](CabSpec& c) { c.files[1].offset = 0xFFFFFFF0u; }, nullptr},
      {"no such folder", [](CabSpec& c) { c.files[1].folder = 1; }, nullptr},
      {"one file more than the table holds", nullptr, [](Bytes& b) { Put16(b, 28, 3); }},
      {"no files at all", nullptr, [](Bytes& b) { Put16(b, 28, 0); }},
      {"shorter than the header says", nullptr, [](Bytes& b) { b.pop_back(); }},
      {"more blocks than the file can hold", nullptr, [&](Bytes& b) { Put16(b, folderEntry + 4, 60000); }},
      {"first block beyond the file", nullptr, [&](Bytes& b) { Put32(b, folderEntry, 0x7FFFFFF0u); }},
      {"name without its NUL, too long", nullptr,
       [](Bytes& b) {
         // The last name runs into the folder data, then is too long.
         b.resize((b[16] | (b[17] << 8)) + 16);
         b.insert(b.end(), 2000, 'n');
         Put32(b, 8, static_cast<std::uint32_t>(b.size()));
       }},
  };
  for (const auto& c : cases) {
    CabSpec spec = base;
    if (c.spec) c.spec(spec);
    Bytes cab = spec.Build();
    if (c.bytes) c.bytes(cab);
    EXPECT_EQ(ExtractInMemory(cab).status, Status::Corrupt) << c.what;
  }
}

TEST(CabReader, DamagedBlocksAreCorrupt) {
  CabSpec spec;
  spec.AddFiles(0, {{"a.txt", Pattern(70000, 1)}});
  spec.folders[0].type = 1;
  Bytes good = spec.Build();
  std::size_t firstBlock = good[36] | (good[37] << 8);

  Bytes badSum = good;
  badSum[firstBlock] ^= 1;  // checksum field
  EXPECT_EQ(ExtractInMemory(badSum).status, Status::Corrupt);

  Bytes badData = good;
  badData[firstBlock + 8 + 40] ^= 0x55;  // inside the deflate data
  EXPECT_EQ(ExtractInMemory(badData).status, Status::Corrupt);

  // With checksums absent (0), damage is caught by the decoder or by sizes.
  spec.checksums = false;
  Bytes noSum = spec.Build();
  ASSERT_EQ(ExtractInMemory(noSum).status, Status::Ok);
  noSum[firstBlock + 8] = 'X';  // the "CK" signature
  EXPECT_EQ(ExtractInMemory(noSum).status, Status::Corrupt);

  // A stored block whose data and uncompressed sizes disagree.
  CabSpec stored;
  stored.AddFiles(0, {{"s", Pattern(100, 1)}});
  Bytes s = stored.Build();
  std::size_t blk = s[36] | (s[37] << 8);
  Put16(s, blk + 6, 99);
  EXPECT_EQ(ExtractInMemory(s).status, Status::Corrupt);
}

// Buffers and windows are sized by the blocks that Open walked: a block
// that claims more once the file has changed (a download still being
// written) is damage, never a write past them.
TEST(CabReader, BlocksThatGrowAfterOpenAreCorrupt) {
  CabSpec spec;
  spec.checksums = false;
  spec.AddFiles(0, {{"a", Pattern(100, 1)}});
  spec.AddFiles(1, {{"unused", Pattern(5000, 2)}});
  spec.files.pop_back();  // folder 1 is not walked: its bytes only give room
  Bytes cab = spec.Build();
  tarvex::extract::MemoryInput file(cab.data(), cab.size());
  CabReader reader;
  ASSERT_EQ(reader.Open(file), Status::Ok);
  const std::size_t block = cab[36] | (cab[37] << 8);
  Put16(cab, block + 4, 3000);
  Put16(cab, block + 6, 3000);
  CollectSink sink;
  EXPECT_EQ(reader.ExtractAll([&](std::size_t) { return &sink; }), Status::Corrupt);
}

TEST(CabReader, RefusingSinkAborts) {
  CabSpec spec;
  spec.AddFiles(0, {{"a", Pattern(5000, 1)}});
  auto f = InMemory(spec.Build());
  CabReader reader;
  ASSERT_EQ(reader.Open(f), Status::Ok);
  CollectSink sink;
  sink.refuseAfter = 100;
  EXPECT_EQ(reader.ExtractAll([&](std::size_t) { return &sink; }), Status::Aborted);
  // Unwanted entries (no sink) are skipped without error.
  CabReader again;
  ASSERT_EQ(again.Open(f), Status::Ok);
  EXPECT_EQ(again.ExtractAll([](std::size_t) { return nullptr; }), Status::Ok);
}

TEST(CabChecksum, KnownValuesAndTailPacking) {
  const std::uint8_t d[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
  EXPECT_EQ(tarvex::extract::CabChecksum(d, 4, 0), 0x04030201u);
  // The 1-3 trailing bytes pack first byte highest.
  EXPECT_EQ(tarvex::extract::CabChecksum(d, 7, 0), 0x04030201u ^ 0x00050607u);
  EXPECT_EQ(tarvex::extract::CabChecksum(d, 6, 0), 0x04030201u ^ 0x00000506u);
  EXPECT_EQ(tarvex::extract::CabChecksum(d, 5, 0xFF), 0x04030201u ^ 0x05u ^ 0xFFu);
}

}  // namespace
