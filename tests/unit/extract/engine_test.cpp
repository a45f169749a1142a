// The engine with a scripted reader and the real file system in a temporary
// folder: names, the overwrite question, and that every failure leaves the
// folder exactly as it was.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "extract/engine.h"
#include "extract/fileio.h"
#include "extract/support.h"

namespace tarvex::extract {
namespace {

using testing::ReadFile;
using testing::Snapshot;
using testing::TempDir;
using testing::WriteFile;

struct FakeEntry {
  std::string name;
  std::string data;
  bool dir = false;
  bool link = false;
  NameEncoding encoding = NameEncoding::Utf8;
  FileTime mtime = {};
  std::int64_t recordedSize = -1;  // -1: the data's size
};

// A reader that hands out fixed entries; it can fail after a given entry.
class FakeReader final : public ArchiveReader {
 public:
  FakeReader(std::vector<FakeEntry> entries, int failAfter = -1, Status failure = Status::Corrupt)
      : fake_(std::move(entries)), failAfter_(failAfter), failure_(failure) {
    for (const FakeEntry& f : fake_) {
      EntryInfo e;
      e.rawName = f.name;
      e.encoding = f.encoding;
      e.isDirectory = f.dir;
      e.isSymlink = f.link;
      e.size = f.recordedSize >= 0 ? static_cast<std::uint64_t>(f.recordedSize) : f.data.size();
      e.mtime = f.mtime;
      info_.push_back(e);
    }
  }
  Status Open(InputFile&) override { return Status::Ok; }
  const std::vector<EntryInfo>& Entries() const override { return info_; }
  Status ExtractAll(const std::function<EntrySink*(std::size_t)>& sinkFor) override {
    for (std::size_t i = 0; i < fake_.size(); ++i) {
      EntrySink* s = sinkFor(i);
      // Two writes per entry, so that a sink sees data in pieces.
      const std::string& d = fake_[i].data;
      std::size_t half = d.size() / 2;
      if (s && (!s->Write(reinterpret_cast<const std::uint8_t*>(d.data()), half) ||
                !s->Write(reinterpret_cast<const std::uint8_t*>(d.data()) + half, d.size() - half)))
        return Status::Aborted;
      if (static_cast<int>(i) == failAfter_) return failure_;
    }
    return Status::Ok;
  }

 private:
  std::vector<FakeEntry> fake_;
  std::vector<EntryInfo> info_;
  int failAfter_;
  Status failure_;
};

class Answer final : public ExtractHost {
 public:
  explicit Answer(OverwriteAnswer a) : answer(a) {}
  OverwriteAnswer AskOverwrite(int count) override {
    ++asked;
    lastCount = count;
    return answer;
  }
  OverwriteAnswer answer;
  int asked = 0;
  int lastCount = 0;
};

// The platform file system with faults to order: a write that fails after
// some bytes (disk full), or the n-th rename that fails.
class FaultyFs final : public FileSystem {
 public:
  std::int64_t writeBudget = -1;
  int failRenameAt = -1;
  int renames = 0;

  std::unique_ptr<InputFile> OpenRead(const std::string& p) override { return real().OpenRead(p); }
  std::unique_ptr<OutputFile> CreateNew(const std::string& p) override {
    auto f = real().CreateNew(p);
    if (!f) return f;
    return std::make_unique<Limited>(std::move(f), writeBudget);
  }
  bool MakeDir(const std::string& p) override { return real().MakeDir(p); }
  bool Rename(const std::string& a, const std::string& b, bool r) override {
    if (renames++ == failRenameAt) return false;
    return real().Rename(a, b, r);
  }
  bool RemoveFile(const std::string& p) override { return real().RemoveFile(p); }
  bool RemoveDir(const std::string& p) override { return real().RemoveDir(p); }
  PathKind Kind(const std::string& p, bool f) override { return real().Kind(p, f); }
  bool SetTime(const std::string& p, const FileTime& t) override { return real().SetTime(p, t); }
  void MarkHidden(const std::string& p) override { real().MarkHidden(p); }

 private:
  struct Limited final : OutputFile {
    Limited(std::unique_ptr<OutputFile> f, std::int64_t& budget) : f(std::move(f)), budget(budget) {}
    bool Write(const void* d, std::size_t n) override {
      if (budget >= 0) {
        if (static_cast<std::int64_t>(n) > budget) return false;
        budget -= static_cast<std::int64_t>(n);
      }
      return f->Write(d, n);
    }
    bool Close() override { return f->Close(); }
    std::unique_ptr<OutputFile> f;
    std::int64_t& budget;
  };
  static FileSystem& real() { return PlatformFileSystem(); }
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(dir / "archive.bin", "not read by the fake reader"); }

  int Run(std::vector<FakeEntry> entries, ExtractHost& host, int failAfter = -1,
          Status failure = Status::Corrupt, FileSystem* fs = nullptr) {
    std::string cmdline = "-xs " + (dir / "archive.bin") + " " + (dir / "dest") + "\\";
    std::filesystem::create_directories(dir / "dest");
    return RunArchiver(host, cmdline, "-xs ",
                       [&] { return std::make_unique<FakeReader>(entries, failAfter, failure); }, nullptr, 0,
                       fs);
  }
  std::string dest(const std::string& rel) { return dir / ("dest/" + rel); }

  TempDir dir;
  Answer yes{OverwriteAnswer::Yes};
};

TEST_F(EngineTest, ExtractsFoldersEmptyFilesAndDecodedNames) {
  FakeEntry cp932{.name = "\x95\x5C\x82\xBE\x82\xE6\\\x83\x5C.txt", .data = "sjis", .encoding = NameEncoding::Cp932};
  ASSERT_EQ(Run({{.name = "a/b/c.txt", .data = "hello"},
                 {.name = "empty.txt", .data = ""},
                 {.name = "only/dir/", .dir = true},
                 cp932,
                 {.name = "名前/ファイル.txt", .data = "utf8"}},
                yes),
            kOk);
  EXPECT_EQ(ReadFile(dest("a/b/c.txt")), "hello");
  EXPECT_TRUE(std::filesystem::is_regular_file(dest("empty.txt")));
  EXPECT_TRUE(std::filesystem::is_directory(dest("only/dir")));
  EXPECT_EQ(ReadFile(dest("表だよ/ソ.txt")), "sjis");
  EXPECT_EQ(ReadFile(dest("名前/ファイル.txt")), "utf8");
  EXPECT_EQ(yes.asked, 0);
  // Only the extracted items are left: no staging folder.
  EXPECT_EQ(Snapshot(dir / "dest").size(), 10u);
}

TEST_F(EngineTest, RestoresFileTimesWithLocalRulesForDosTimes) {
  ::setenv("TZ", "JST-9", 1);
  ::tzset();
  FileTime dos{FileTime::DosLocal, (static_cast<std::uint64_t>(((2020 - 1980) << 9) | (6 << 5) | 15) << 16) |
                                       ((13 << 11) | (30 << 5) | (20 / 2))};
  FileTime utc{FileTime::Utc, 1600000000ull * 10000000 + 116444736000000000ull};
  ASSERT_EQ(Run({{.name = "dos.txt", .data = "d", .mtime = dos},
                 {.name = "utc.txt", .data = "u", .mtime = utc},
                 {.name = "folder/", .dir = true, .mtime = utc}},
                yes),
            kOk);
  struct stat st;
  ASSERT_EQ(::stat(dest("dos.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1592195420);  // 2020-06-15 13:30:20 in Tokyo = 04:30:20 UTC
  ASSERT_EQ(::stat(dest("utc.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1600000000);
  ASSERT_EQ(::stat(dest("folder").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1600000000);
  ::unsetenv("TZ");
  ::tzset();
}

TEST_F(EngineTest, EveryFailureLeavesTheFolderAsItWas) {
  WriteFile(dest("keep.txt"), "old");
  WriteFile(dest("sub/keep2.txt"), "old2");
  const auto before = Snapshot(dir / "dest");
  std::vector<FakeEntry> entries = {{.name = "keep.txt", .data = "new"},
                                    {.name = "sub/keep2.txt", .data = "new2"},
                                    {.name = "new/dir/file.txt", .data = std::string(100000, 'n')},
                                    {.name = "last.txt", .data = "last"}};
  // The reader fails at the last entry, with each kind of failure.
  for (Status s : {Status::Corrupt, Status::Unsupported, Status::IoError}) {
    EXPECT_NE(Run(entries, yes, 3, s), kOk);
    EXPECT_EQ(Snapshot(dir / "dest"), before);
  }
  // The disk fills up in the middle of the third file.
  FaultyFs full;
  full.writeBudget = 3 + 4 + 5000;
  EXPECT_EQ(Run(entries, yes, -1, Status::Ok, &full), kWriteError);
  EXPECT_EQ(Snapshot(dir / "dest"), before);
  // A rename fails while files are being put into place, after existing files
  // have already been replaced: they come back.
  for (int k = 0; k < 6; ++k) {
    FaultyFs fs;
    fs.failRenameAt = k;
    EXPECT_EQ(Run(entries, yes, -1, Status::Ok, &fs), kWriteError) << k;
    EXPECT_EQ(Snapshot(dir / "dest"), before) << k;
  }
  // A size that does not match what the reader wrote.
  EXPECT_EQ(Run({{.name = "short.txt", .data = "abc", .recordedSize = 4}}, yes), kCorrupt);
  EXPECT_EQ(Run({{.name = "long.txt", .data = "abcde", .recordedSize = 4}}, yes), kCorrupt);
  EXPECT_EQ(Snapshot(dir / "dest"), before);
  // Unsafe names and clashes are refused before anything is written.
  EXPECT_EQ(Run({{.name = "fine.txt", .data = "x"}, {.name = "a/../../up.txt", .data = "x"}}, yes), kUnsafeName);
  EXPECT_EQ(Run({{.name = "x", .data = "file"}, {.name = "x/y", .data = "below a file"}}, yes), kConflict);
  EXPECT_EQ(Run({{.name = "keep.txt/inner", .data = "x"}}, yes), kConflict);
  EXPECT_EQ(Snapshot(dir / "dest"), before);
  EXPECT_FALSE(std::filesystem::exists(dir / "up.txt"));
}

TEST_F(EngineTest, OverwriteQuestionIsAskedOnceAndHonoured) {
  WriteFile(dest("one.txt"), "old1");
  WriteFile(dest("d/two.txt"), "old2");
  std::vector<FakeEntry> entries = {{.name = "one.txt", .data = "new1"},
                                    {.name = "d/two.txt", .data = "new2"},
                                    {.name = "three.txt", .data = "new3"}};
  const auto before = Snapshot(dir / "dest");

  Answer cancel{OverwriteAnswer::Cancel};
  EXPECT_EQ(Run(entries, cancel), kCancelled);
  EXPECT_EQ(cancel.asked, 1);
  EXPECT_EQ(cancel.lastCount, 2);
  EXPECT_EQ(Snapshot(dir / "dest"), before);

  Answer no{OverwriteAnswer::No};
  EXPECT_EQ(Run(entries, no), kOk);
  EXPECT_EQ(ReadFile(dest("one.txt")), "old1");
  EXPECT_EQ(ReadFile(dest("d/two.txt")), "old2");
  EXPECT_EQ(ReadFile(dest("three.txt")), "new3");

  EXPECT_EQ(Run(entries, yes), kOk);
  EXPECT_EQ(yes.asked, 1);
  EXPECT_EQ(yes.lastCount, 3);
  EXPECT_EQ(ReadFile(dest("one.txt")), "new1");
  EXPECT_EQ(ReadFile(dest("d/two.txt")), "new2");
}

TEST_F(EngineTest, HostileNamesStayInsideAndLinksAreNeverCreated) {
  std::filesystem::create_directories(dir / "outside");
  std::filesystem::create_directories(dir / "dest");
  std::filesystem::create_directory_symlink(dir / "outside", dest("linkdir"));
  // Writing through an existing link in the folder is refused.
  EXPECT_EQ(Run({{.name = "linkdir/x.txt", .data = "x"}}, yes), kConflict);
  std::filesystem::remove(dest("linkdir"));

  ASSERT_EQ(Run({{.name = "/abs.txt", .data = "1"},
                 {.name = "C:\\drive.txt", .data = "2"},
                 {.name = "stream.txt:ads", .data = "3"},
                 {.name = "CON", .data = "4"},
                 {.name = "link", .data = "../outside", .link = true},
                 {.name = "Case.TXT", .data = "first"},
                 {.name = "case.txt", .data = "second"}},
                yes),
            kOk);
  EXPECT_EQ(ReadFile(dest("abs.txt")), "1");
  EXPECT_EQ(ReadFile(dest("drive.txt")), "2");
  EXPECT_EQ(ReadFile(dest("stream.txt_ads")), "3");
  EXPECT_EQ(ReadFile(dest("_CON")), "4");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dest("link"))));
  // Names that Windows treats as one: the later entry wins, only one file.
  EXPECT_EQ(ReadFile(dest("case.txt")), "second");
  EXPECT_FALSE(std::filesystem::exists(dest("Case.TXT")));
  EXPECT_TRUE(std::filesystem::is_empty(dir / "outside"));
}

// A file system that answers Kind from a list, for command lines in Windows form.
class ListFs final : public FileSystem {
 public:
  std::map<std::string, PathKind> kinds;
  std::unique_ptr<InputFile> OpenRead(const std::string&) override { return nullptr; }
  std::unique_ptr<OutputFile> CreateNew(const std::string&) override { return nullptr; }
  bool MakeDir(const std::string&) override { return false; }
  bool Rename(const std::string&, const std::string&, bool) override { return false; }
  bool RemoveFile(const std::string&) override { return false; }
  bool RemoveDir(const std::string&) override { return false; }
  PathKind Kind(const std::string& p, bool) override {
    auto f = kinds.find(p);
    return f == kinds.end() ? PathKind::None : f->second;
  }
  bool SetTime(const std::string&, const FileTime&) override { return false; }
  void MarkHidden(const std::string&) override {}
};

TEST(SplitCommandLine, RecoversPathsWithSpacesTakingTheShortestArchivePath) {
  ListFs fs;
  fs.kinds = {{"C:\\my data\\a b.zip", PathKind::File},
              {"D:\\", PathKind::Directory},
              {"D:\\out dir", PathKind::Directory},
              {"C:\\x", PathKind::File},
              {"C:\\x y", PathKind::File},
              {"y D:\\o", PathKind::Directory},
              {"D:\\o", PathKind::Directory}};
  CommandLinePaths p;
  ASSERT_TRUE(SplitCommandLine("-xs C:\\my data\\a b.zip D:\\out dir\\", "-xs ", fs, p));
  EXPECT_EQ(p.archive, "C:\\my data\\a b.zip");
  EXPECT_EQ(p.folder, "D:\\out dir");
  ASSERT_TRUE(SplitCommandLine("e C:\\my data\\a b.zip D:\\\\", "e ", fs, p));  // a drive root
  EXPECT_EQ(p.folder, "D:\\");
  ASSERT_TRUE(SplitCommandLine("-x C:\\x y D:\\o\\", "-x ", fs, p));  // both splits fit
  EXPECT_EQ(p.archive, "C:\\x");
  EXPECT_EQ(p.folder, "y D:\\o");

  EXPECT_FALSE(SplitCommandLine("-xs C:\\x D:\\o", "-xs ", fs, p));          // no final backslash
  EXPECT_FALSE(SplitCommandLine("-x C:\\x D:\\o\\", "-xs ", fs, p));         // another option text
  EXPECT_FALSE(SplitCommandLine("-xs C:\\missing.zip D:\\o\\", "-xs ", fs, p));
  EXPECT_FALSE(SplitCommandLine("-xs D:\\o C:\\x\\", "-xs ", fs, p));        // archive is a folder
}

}  // namespace
}  // namespace tarvex::extract
