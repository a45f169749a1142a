// The decoders on archives written by an independent encoder (jLHA, run by
// the test): -lh5-, -lh6-, -lh7- and stored data at header levels 0-2, data
// made to cross block and window boundaries; then damaged and hostile
// compressed data, and the Unlha entry point end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <unistd.h>

#include "extract/archiver.h"
#include "lzh_support.h"

namespace tarvex::extract {
namespace {

using namespace lzhtest;
namespace fs = std::filesystem;

using testing::ReadFile;
using testing::WriteFile;

// Test files: text with long-range repeats, incompressible bytes, long runs,
// a period that straddles the 64 KB window, and the empty and 1-byte cases.
std::map<std::string, std::string> MakeTree() {
  std::mt19937 rng(12345);
  const char* words[] = {"archive ", "window ", "huffman ", "block ", "table ", "日本語 ", "\r\n", "match "};
  std::string text;
  while (text.size() < 1300000) text += words[rng() % 8];
  std::string random(150000, '\0');
  for (char& c : random) c = static_cast<char>(rng());
  std::string period;
  for (int i = 0; i < 65537; ++i) period.push_back(static_cast<char>(rng() % 7 + 'a'));
  period += period + period;
  return {{"t/text.txt", text},       {"t/bin/random.bin", random}, {"t/bin/zeros", std::string(300000, '\0')},
          {"t/period.dat", period},   {"t/empty", ""},              {"t/one", "1"}};
}

class JlhaArchives : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::system("command -v jlha >/dev/null 2>&1") != 0) return;
    // One folder per process: CTest may run these tests side by side.
    dir_ = fs::path(TARVEX_BINARY_DIR) / "lzh-test-tmp" / ("jlha-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    tree_ = MakeTree();
    for (const auto& [name, data] : tree_) WriteFile(dir_ / name, data);
    available_ = true;
  }
  static void TearDownTestSuite() {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  // Makes an archive with jlha options like "a1o6"; returns its bytes.
  static std::string Make(const std::string& options) {
    const std::string out = options + ".lzh";
    const std::string cmd = "cd '" + dir_.string() + "' && rm -f " + out + " && TZ=UTC jlha " + options + " " +
                            out + " t >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return {};
    return ReadFile(dir_ / out);
  }
  static inline fs::path dir_;
  static inline std::map<std::string, std::string> tree_;
  static inline bool available_ = false;
};

TEST_F(JlhaArchives, EveryLevelAndMethodDecodesToTheOriginalFiles) {
  if (!available_) GTEST_SKIP() << "jlha not installed";
  const struct {
    const char* options;
    const char* method;
  } cases[] = {{"a0o5", "-lh5-"}, {"a1o6", "-lh6-"}, {"a2o7", "-lh7-"}, {"a1o7", "-lh7-"}, {"a2z", "-lh0-"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string archive = Make(c.options);
    ASSERT_FALSE(archive.empty());
    MemFile f(archive);
    LzhReader reader;
    ASSERT_EQ(reader.Open(f), Status::Ok);
    std::map<std::size_t, StringSink> sinks;
    ASSERT_EQ(reader.ExtractAll([&](std::size_t i) { return &sinks[i]; }), Status::Ok);
    std::size_t files = 0;
    bool sawMethod = false;
    for (std::size_t i = 0; i < reader.Members().size(); ++i) {
      const lzh::Member& m = reader.Members()[i];
      if (m.info.isDirectory) continue;
      std::string name = m.info.rawName;
      for (char& ch : name)
        if (ch == '\\') ch = '/';
      ASSERT_TRUE(tree_.count(name)) << name;
      EXPECT_EQ(sinks[i].data, tree_.at(name)) << name;
      if (m.info.size > 1000) sawMethod |= m.methodId == c.method;
      ++files;
    }
    EXPECT_EQ(files, tree_.size());
    EXPECT_TRUE(sawMethod);
  }
}

TEST_F(JlhaArchives, DamagedCompressedDataNeverPassesAsGood) {
  if (!available_) GTEST_SKIP() << "jlha not installed";
  for (const char* options : {"a2o5", "a2o7"}) {
    SCOPED_TRACE(options);
    const std::string archive = Make(options);
    ASSERT_FALSE(archive.empty());
    const Result good = ReadAll(archive);
    ASSERT_EQ(good.extract, Status::Ok);
    std::mt19937 rng(777);
    for (int round = 0; round < 60; ++round) {
      std::string bad = archive;
      const std::size_t at = 200 + rng() % (bad.size() - 200);
      bad[at] = static_cast<char>(bad[at] ^ (1 + rng() % 255));
      const Result r = ReadAll(bad);
      ASSERT_TRUE(r.open == Status::Ok || r.open == Status::Corrupt || r.open == Status::Unsupported);
      if (r.open == Status::Ok && r.extract == Status::Ok) {
        EXPECT_EQ(r.data, good.data) << "flip at " << at;  // only harmless bits may change
      } else if (r.open == Status::Ok) {
        EXPECT_TRUE(r.extract == Status::Corrupt || r.extract == Status::Unsupported);
      }
    }
    // A sink that stops taking data ends the decode.
    EXPECT_EQ(ReadAll(archive, 5000).extract, Status::Aborted);
  }
}

// Bit fields (value, width) written most significant bit first.
std::string MsbBits(const std::vector<std::pair<unsigned, int>>& fields) {
  std::string out;
  unsigned acc = 0;
  int n = 0;
  for (auto [value, width] : fields) {
    for (int i = width - 1; i >= 0; --i) {
      acc = (acc << 1) | ((value >> i) & 1);
      if (++n == 8) out.push_back(static_cast<char>(acc)), acc = 0, n = 0;
    }
  }
  if (n) out.push_back(static_cast<char>(acc << (8 - n)));
  return out;
}

// Sizes the data cannot expand to are refused before decoding (the 64-bit
// sizes of extension 0x42 too, at level 1 as at level 2), and decoding stops
// where the compressed data ends instead of decoding zeros past it.
TEST(LzhDecoders, OutputIsBoundedByTheCompressedData) {
  auto sizes64 = [](std::uint64_t packed, std::uint64_t original) {
    std::string e;
    Put32(e, static_cast<std::uint32_t>(packed)), Put32(e, static_cast<std::uint32_t>(packed >> 32));
    Put32(e, static_cast<std::uint32_t>(original)), Put32(e, static_cast<std::uint32_t>(original >> 32));
    return Ext{0x42, e};
  };
  for (const char* method : {"-lh0-", "-lh1-", "-lh5-", "-lh7-", "-lzs-", "-lz5-"}) {
    SCOPED_TRACE(method);
    Spec s = Stored(2, "big", std::string(16, '\0'));
    s.method = method;
    s.exts.push_back(sizes64(16, std::uint64_t{1} << 40));
    EXPECT_EQ(ReadAll(Archive({s})).open, Status::Corrupt);
  }
  Spec level1 = Stored(1, "l1", "abc");
  level1.original = 0;
  level1.exts.push_back(sizes64(3, 3));
  EXPECT_EQ(ReadAll(Archive({level1})).data.at(0), "abc");

  // One -lh5- block of 65535 symbols whose code gives '0' to a 256-byte match
  // and '10' to 'A'; the data ends after three 'A's. Zeros past the end would
  // decode as matches, 16 MB of them.
  const std::string block = MsbBits({{0xFFFF, 16},
                                     {5, 5}, {0, 3}, {0, 3}, {1, 3}, {0, 2}, {2, 3}, {2, 3},  // T: 2:'0' 3:'10' 4:'11'
                                     {510, 9}, {0, 1}, {45, 9}, {3, 2}, {0, 1}, {423, 9}, {2, 2},  // C: 'A':2 509:1
                                     {0, 4}, {0, 4},                                           // P: one distance
                                     {2, 2}, {2, 2}, {2, 2}});
  Spec bomb = Stored(2, "bomb", block);
  bomb.method = "-lh5-";
  bomb.original = 20 << 20;
  const Result r = ReadAll(Archive({bomb}));
  ASSERT_EQ(r.open, Status::Ok);
  EXPECT_EQ(r.extract, Status::Corrupt);
  EXPECT_LT(r.data.at(0).size(), std::size_t{1} << 20);
}

// The hand-made headers of the other tests are checked here against the
// reference reader (lhasa), so that the writer and the reader in this project
// cannot share one misreading of the format: the same files, the same names
// (folders, and the case of names from systems without case) and contents.
TEST(LzhPeer, LhasaReadsTheHandMadeHeadersAlike) {
  if (std::system("command -v lhasa >/dev/null 2>&1") != 0) GTEST_SKIP() << "lhasa not installed";
  const fs::path dir = fs::path(TARVEX_BINARY_DIR) / "lzh-test-tmp" / ("peer-" + std::to_string(getpid()));
  for (int level = 0; level <= 3; ++level) {
    SCOPED_TRACE(level);
    // Level 0 names carry their folders with '\\'; the others use the folder
    // extension (level 1 is read by the peer with '\\' as an ordinary byte).
    Spec s = Stored(level, level == 0 ? "dir\\sub\\f.txt" : "f.txt", "peer check " + std::to_string(level));
    if (level >= 1) s.exts.push_back({0x02, std::string("dir\xFFsub\xFF")});
    if (level == 1) s.exts.push_back({0x3F, "comment"});
    std::vector<Spec> specs = {s, Stored(level, "g", std::string(300, 'g')), Stored(level, "CAPS.TXT", "c")};
    for (char os : std::string("\0M2awWJ3AU", 11)) {  // (lhasa reads 'K' level-2 headers otherwise)
      specs.push_back(Stored(level, "OS" + std::to_string(os) + ".TXT", "o"));
      specs.back().os = os;
    }
    const std::string archive = Archive(specs);
    fs::remove_all(dir);
    fs::create_directories(dir);
    WriteFile(dir / "a.lzh", archive);
    const std::string cmd = "cd '" + dir.string() + "' && lhasa xq a.lzh </dev/null >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    fs::remove(dir / "a.lzh");
    std::map<std::string, std::string> theirs, mine;
    for (const auto& e : fs::recursive_directory_iterator(dir))
      if (e.is_regular_file()) theirs[fs::relative(e.path(), dir).string()] = ReadFile(e.path());
    const Result r = ReadAll(archive);
    ASSERT_EQ(r.extract, Status::Ok);
    for (const auto& [i, data] : r.data) {
      std::string name = r.entries[i].rawName;
      std::replace(name.begin(), name.end(), '\\', '/');
      mine[name] = data;
    }
    EXPECT_EQ(mine, theirs);
  }
  fs::remove_all(dir);
}

class AnswerYes : public ExtractHost {
 public:
  OverwriteAnswer AskOverwrite(int) override { return OverwriteAnswer::Yes; }
};

TEST_F(JlhaArchives, UnlhaKeepsTheFoldersOfTheArchive) {
  if (!available_) GTEST_SKIP() << "jlha not installed";
  ASSERT_FALSE(Make("a1o5").empty());
  const fs::path dest = dir_ / "out dir";  // a space in the folder path
  fs::remove_all(dest);
  fs::create_directories(dest);
  const std::string cmd = "e " + (dir_ / "a1o5.lzh").string() + " " + dest.string() + "\\";
  char out[256] = {};
  AnswerYes host;
  ASSERT_EQ(Unlha(host, cmd, out, sizeof out), 0) << out;
  for (const auto& [name, data] : tree_) EXPECT_EQ(ReadFile(dest / name), data) << name;
  // A damaged archive leaves the folder as it was.
  std::string bad = ReadFile(dir_ / "a1o5.lzh");
  bad[bad.size() / 2] ^= 0x55;
  WriteFile(dir_ / "bad.lzh", bad);
  const fs::path dest2 = dir_ / "out2";
  fs::remove_all(dest2);
  fs::create_directories(dest2);
  EXPECT_NE(Unlha(host, "e " + (dir_ / "bad.lzh").string() + " " + dest2.string() + "\\", out, sizeof out), 0);
  EXPECT_TRUE(fs::is_empty(dest2));
}

}  // namespace
}  // namespace tarvex::extract
