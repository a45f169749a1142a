// The cabinet reader on cabinets written by the test: tables, block chains,
// checksums, the ways a header can lie, and what comes out for each file.
// Real cabinets of every method are the corpus rows; LZX and Quantum of every
// window size are tests/cab/crosscheck.py.
#include "extract/cab_reader.h"

#include <functional>

#include "extract/lzx.h"
#include "extract/mszip.h"
#include "extract/support.h"

namespace tarvex::extract::testing {
namespace {

Result Read(const std::string& cab) { return ReadAll<CabReader>(cab); }

// Files over block boundaries in a stored and an MSZIP folder (MSZIP reaching
// into earlier blocks), behind reserved areas in the header, folder entries
// and data blocks; attributes, times and the UTF-8 flag of the entries.
TEST(CabReader, FilesOverBlocksFoldersAndReservedAreas) {
  for (std::uint16_t type : {0, 1}) {
    const std::string a = Text(40000, 1), c = Text(70001, 3) + Text(20000, 3);
    Cab cab;
    cab.Add(0, "dir\\a.txt", a).Add(0, "empty", "").Add(0, "dir\\sub\\c.bin", c).Add(1, "\xE5\x90\x8D", "xyz");
    cab.folders[0].type = type;
    cab.folders[1].type = static_cast<std::uint16_t>(1 - type);
    cab.files[0].attributes = 0x01 | 0x02 | 0x04 | 0x20 | 0x40;  // +exec, which is dropped
    cab.files[3].attributes = 0x80;                             // the name is UTF-8
    cab.headerReserve = type ? 20 : 0;
    cab.folderReserve = type ? 7 : 0;
    cab.dataReserve = type ? 5 : 0;
    const Result r = Read(cab.Build());
    ASSERT_TRUE(r.ok()) << type;
    EXPECT_EQ(r.data, (std::map<std::size_t, std::string>{{0, a}, {1, ""}, {2, c}, {3, "xyz"}}));
    EXPECT_EQ(r.entries[0].rawName, "dir\\a.txt");
    EXPECT_TRUE(r.entries[0].backslashIsSeparator);
    EXPECT_EQ(r.entries[0].encoding, NameEncoding::Cp932);
    EXPECT_EQ(r.entries[3].encoding, NameEncoding::Utf8);
    EXPECT_EQ(r.entries[0].dosAttributes, 0x27u);
    EXPECT_EQ(r.entries[3].dosAttributes, 0u);
    EXPECT_EQ(r.entries[0].mtime.kind, FileTime::DosLocal);
    EXPECT_EQ(r.entries[0].mtime.value, (0x5A21ull << 16) | 0x6C22);
    EXPECT_EQ(ReadAll<CabReader>(cab.Build(), 100).extract, Status::Aborted);  // a sink that refuses stops the run
  }
}

// A file table far larger than the reader's read window (long names), and
// files sharing bytes or listed out of order (the folder is decoded again).
TEST(CabReader, LargeFileTablesAndSharedOrUnorderedRanges) {
  Cab big;
  for (int i = 0; i < 400; ++i)
    big.Add(0, "d" + std::to_string(i % 7) + "\\" + std::string(200 + (i * 37) % 800, 'a' + i % 26), Text(i % 50, i));
  Result r = Read(big.Build());
  ASSERT_TRUE(r.ok());
  for (std::size_t i = 0; i < big.files.size(); ++i) {
    EXPECT_EQ(r.entries[i].rawName, big.files[i].name) << i;
    EXPECT_EQ(r.data[i], Text(i % 50, i)) << i;
  }
  Cab shared;
  const std::string all = Text(100000, 5);
  shared.Add(0, "all", all).folders[0].type = 1;
  shared.files.push_back({"tail", 0, 99000, 1000});
  shared.files.push_back({"head", 0, 0, 10});
  r = Read(shared.Build());
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.data, (std::map<std::size_t, std::string>{{0, all}, {1, all.substr(99000)}, {2, all.substr(0, 10)}}));
}

// A cabinet inside a Windows program is found, past a stray signature; in any
// other file, or behind other bytes, it is not looked for.
TEST(CabReader, OtherFormatsAreNotCabinetsAndProgramsAreSearched) {
  Cab inner;
  inner.Add(0, "inner.txt", Text(1234)).folders[0].type = 1;
  std::string program = "MZ" + std::string(4998, '\x90');
  program.replace(100, 7, "MSCF\x01\x02\x03");
  program += inner.Build() + std::string(300, '\0');
  CabReader reader;
  MemoryInput in(program);
  ASSERT_EQ(reader.Open(in), Status::Ok);
  EXPECT_EQ(reader.cabinetOffset(), 5000u);
  EXPECT_EQ(Read(program).data.at(0), Text(1234));
  for (const std::string& other : {"X" + program.substr(1), "MZ" + std::string(3000, '\0'), std::string(),
                                   std::string("PK\x03\x04", 4) + inner.Build(), "FILLER" + inner.Build(), std::string("MSC")})
    EXPECT_EQ(Read(other).open, Status::NotThisFormat) << other.substr(0, 6);
}

TEST(CabReader, SetsUnknownMethodsAndInconsistentTablesAreRefused) {
  const struct {
    Status status;
    std::function<void(Cab&)> bend;
    std::function<void(std::string&)> cut;
  } cases[] = {
      {Status::Unsupported, [](Cab& c) { c.flags = 1; }},  // sets of cabinets
      {Status::Unsupported, [](Cab& c) { c.flags = 2; }},
      {Status::Unsupported, [](Cab& c) { c.files[0].folder = 0xFFFD; }},  // a file continued across cabinets
      {Status::Unsupported, [](Cab& c) { c.files[0].folder = 0xFFFF; }},
      {Status::Unsupported, [](Cab& c) { c.folders[0].type = 0x0004; }},  // unknown method
      {Status::Unsupported, [](Cab& c) { c.folders[0].type = 0x1603; }},  // LZX windows 2^22, 2^14
      {Status::Unsupported, [](Cab& c) { c.folders[0].type = 0x0E03; }},
      {Status::Unsupported, [](Cab& c) { c.folders[0].type = 0x0912; }},  // Quantum windows 2^9, 2^22
      {Status::Unsupported, [](Cab& c) { c.folders[0].type = 0x1612; }},
      {Status::Corrupt, [](Cab& c) { c.files[1].size = 101; }},  // runs past the folder's data
      {Status::Corrupt, [](Cab& c) { c.files[1].offset = 0xFFFFFFF0u; }},  // offset + size overflows
      {Status::Corrupt, [](Cab& c) { c.files[1].folder = 1; }},            // no such folder
      {Status::Corrupt, nullptr, [](std::string& b) { SetLe(b, 28, 3, 2); }},  // one file more than the table
      {Status::Corrupt, nullptr, [](std::string& b) { SetLe(b, 28, 0, 2); }},  // no files
      {Status::Corrupt, nullptr, [](std::string& b) { b.pop_back(); }},        // shorter than the header says
      {Status::Corrupt, nullptr, [](std::string& b) { SetLe(b, 36 + 4, 60000, 2); }},  // more blocks than fit
      {Status::Corrupt, nullptr, [](std::string& b) { SetLe(b, 36, 0x7FFFFFF0u, 4); }},  // first block beyond the end
      {Status::Corrupt, nullptr,
       [](std::string& b) {  // the last name runs into the data without its NUL, then is too long
         b.resize(static_cast<unsigned char>(b[16]) + 16);
         b += std::string(2000, 'n');
         SetLe(b, 8, b.size(), 4);
       }},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    Cab cab;
    cab.Add(0, "a.txt", Text(40000)).Add(0, "b.txt", Text(100, 2)).folders[0].type = 1;
    if (cases[i].bend) cases[i].bend(cab);
    std::string bytes = cab.Build();
    if (cases[i].cut) cases[i].cut(bytes);
    EXPECT_EQ(Read(bytes).open, cases[i].status) << i;
  }
}

TEST(CabReader, DamageIsNeverPassedOnAsData) {
  Cab cab;
  cab.Add(0, "a.txt", Text(70000)).folders[0].type = 1;
  const std::string good = cab.Build();
  const std::size_t block = static_cast<unsigned char>(good[36]) | static_cast<unsigned char>(good[37]) << 8;
  for (std::size_t at : {block, block + 8 + 40}) {  // the checksum field, the deflate data
    std::string bad = good;
    bad[at] ^= 0x55;
    EXPECT_EQ(Read(bad).extract, Status::Corrupt) << at;
  }
  cab.checksums = false;  // without checksums (0) the decoder or the sizes catch damage
  std::string bad = cab.Build();
  ASSERT_TRUE(Read(bad).ok());
  bad[block + 8] = 'X';  // the "CK" signature
  EXPECT_EQ(Read(bad).extract, Status::Corrupt);
  Cab stored;  // a stored block whose sizes disagree
  bad = stored.Add(0, "s", Text(100)).Build();
  SetLe(bad, static_cast<unsigned char>(bad[36]) + 6, 99, 2);
  EXPECT_EQ(Read(bad).open, Status::Corrupt);
  Cab two;
  two.Add(0, "m", Text(3000)).Add(1, "s", Text(200, 2)).folders[0].type = 1;
  bad = two.Build();  // the data blocks (a cabinet has no check of its file table)
  ExpectDamageNeverPassesAsGood<CabReader>(bad, static_cast<unsigned char>(bad[36]));
}

// The first words of an LZX frame without call translation: a block's type
// and size, the padding to a word (1-16 bits), R0-R2.
std::string LzxHead(unsigned type, std::uint32_t size) {
  const std::uint32_t bits = (type << 24 | size) << 4;  // 0 (no translation), type, size; 4 bits of padding
  return Le(bits >> 16, 2) + Le(bits & 0xFFFF, 2) + Le(1, 4) + Le(1, 4) + Le(1, 4);
}

bool LzxDecode(const std::string& in, std::string& out) {
  return LzxDecoder::Create(15)->DecodeBlock(reinterpret_cast<const std::uint8_t*>(in.data()), in.size(),
                                             reinterpret_cast<std::uint8_t*>(out.data()), out.size());
}

// Unknown block types, a block of size 0 (it would never advance), stored
// data shorter than the frame needs, frame sizes outside 1..32768.
TEST(Lzx, DamagedStreamsFail) {
  std::vector<std::string> bad = {"", LzxHead(3, 0), LzxHead(3, 100) + std::string(60, '\1')};
  for (unsigned type : {0, 4, 5, 6, 7}) bad.push_back(LzxHead(type, 100) + std::string(200, '\0'));
  std::string out(100, '\0');
  ASSERT_TRUE(LzxDecode(LzxHead(3, 100) + std::string(100, '\1'), out));
  for (const std::string& in : bad) EXPECT_FALSE(LzxDecode(in, out)) << in.size();
  for (std::size_t size : {0, 32769}) {
    out.assign(size, '\0');
    EXPECT_FALSE(LzxDecode(std::string(10, '\0'), out)) << size;
  }
}

// Buffers and windows are sized by the blocks that Open walked: a block that
// claims more once the file has changed (a download still being written) is
// damage, never a write past them.
TEST(CabReader, BlocksThatGrowAfterOpenAreCorrupt) {
  Cab cab;
  cab.checksums = false;
  cab.Add(0, "a", Text(100)).Add(1, "unused", Text(5000, 2));
  cab.files.pop_back();  // folder 1 is not walked: its bytes only give room
  std::string bytes = cab.Build();
  MemoryInput file(bytes.data(), bytes.size());
  CabReader reader;
  ASSERT_EQ(reader.Open(file), Status::Ok);
  const std::size_t block = static_cast<unsigned char>(bytes[36]) | static_cast<unsigned char>(bytes[37]) << 8;
  SetLe(bytes, block + 4, 3000, 2);
  SetLe(bytes, block + 6, 3000, 2);
  StringSink sink;
  EXPECT_EQ(reader.ExtractAll([&](std::size_t) -> EntrySink* { return &sink; }), Status::Corrupt);
}

TEST(Mszip, HistoryCarriesAcrossBlocksAndSizesMustMatch) {
  const std::string first = Text(32768, 3), second = first.substr(3000);  // all matches into block 1
  const std::string b1 = "CK" + Deflate(first), b2 = "CK" + Deflate(second, first);
  ASSERT_LT(b2.size(), 1000u);
  auto decode = [](MszipDecoder& d, const std::string& in, std::size_t outSize, std::size_t inSize = SIZE_MAX) {
    std::string out(outSize + 1, '\0');
    const bool ok = d.DecodeBlock(reinterpret_cast<const std::uint8_t*>(in.data()), std::min(inSize, in.size()),
                                  reinterpret_cast<std::uint8_t*>(out.data()), outSize);
    return ok ? out.substr(0, outSize) : "<failed>";
  };
  auto d = MszipDecoder::Create();
  EXPECT_EQ(decode(*d, b1, first.size()), first);
  EXPECT_EQ(decode(*d, b2, second.size()), second);
  d->Reset();  // without the history the second block cannot be decoded
  EXPECT_EQ(decode(*d, b2, second.size()), "<failed>");
  for (std::size_t size : {32767, 32769}) {  // a block yields one byte more or less than recorded
    d->Reset();
    EXPECT_EQ(decode(*d, b1, size), "<failed>") << size;
  }
  d->Reset();
  EXPECT_EQ(decode(*d, b1, first.size(), b1.size() / 2), "<failed>");  // cut short
}

}  // namespace
}  // namespace tarvex::extract::testing
