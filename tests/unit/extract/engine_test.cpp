// The engine with a scripted reader, mostly on the in-memory file system that
// behaves like a Windows volume (memory_fs.h): names, the overwrite
// question, and that every failure, fault and kill leaves the folder as it
// was. A few tests run on the real disk through the POSIX layer.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "extract/engine.h"
#include "extract/fileio.h"
#include "extract/memory_fs.h"
#include "extract/support.h"

namespace tarvex::extract {
namespace {

using Files = std::map<std::string, std::string>;
using Op = MemoryFs::Op;

struct FakeEntry {
  std::string name;
  std::string data;
  bool dir = false;
  bool link = false;
  NameEncoding encoding = NameEncoding::Utf8;
  FileTime mtime = {};
  std::int64_t recordedSize = -1;  // -1: the data's size
};

// A reader that hands out fixed entries; it can fail after a given entry,
// or refuse the archive (failAfter -2).
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
  Status Open(InputFile&) override { return failAfter_ == -2 ? Status::NotThisFormat : Status::Ok; }
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
  void OriginalKept(const std::string& original, const std::string& keptAs) override {
    kept.push_back(original + " -> " + keptAs);
  }
  OverwriteAnswer answer;
  int asked = 0;
  int lastCount = 0;
  std::vector<std::string> kept;
};

// Extracts the entries as the archive /a.zip into /dest of fs.
int Extract(MemoryFs& fs, const std::vector<FakeEntry>& entries, ExtractHost& host, int failAfter = -1,
        Status failure = Status::Corrupt) {
  if (fs.Kind("/a.zip") == PathKind::None) fs.AddFile("/a.zip", "archive");
  if (fs.Kind("/dest") == PathKind::None) fs.AddDir("/dest");
  return RunArchiver(host, "-xs /a.zip /dest\\", "-xs ",
                     [&] { return std::make_unique<FakeReader>(entries, failAfter, failure); }, nullptr, 0, &fs);
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override { fs.AddDir("/dest"); }
  int Run(const std::vector<FakeEntry>& entries, ExtractHost& host, int failAfter = -1,
          Status failure = Status::Corrupt) {
    return Extract(fs, entries, host, failAfter, failure);
  }
  MemoryFs fs;
  Answer yes{OverwriteAnswer::Yes};
};

// Entries named by their data: file "name" holds "name!".
std::vector<FakeEntry> Named(const std::vector<std::string>& names) {
  std::vector<FakeEntry> out;
  for (const std::string& n : names) out.push_back({.name = n, .data = n + "!"});
  return out;
}

TEST_F(Engine, ExtractsFoldersFilesNamesTimesAndTheMarkOfTheWeb) {
  const std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\n";
  fs.SetZone("/a.zip", zone);
  fs.AddDir("/dest/old");
  FakeEntry cp932{.name = "\x95\x5C\x82\xBE\x82\xE6\\\x83\x5C.txt", .data = "sjis", .encoding = NameEncoding::Cp932};
  ASSERT_EQ(Run({{.name = "a/b/c.txt", .data = "hello"},
                 {.name = "empty.txt", .data = ""},
                 {.name = "only/dir/", .dir = true, .mtime = {FileTime::Utc, 111}},
                 {.name = "old/new/", .dir = true, .mtime = {FileTime::Utc, 222}},
                 cp932,
                 {.name = "名前/ファイル.txt", .data = "utf8", .mtime = {FileTime::Utc, 333}}},
                yes),
            kOk);
  const std::string z = " zone=" + zone;
  EXPECT_EQ(fs.Snapshot("/dest", false),
            (Files{{"a", "d"}, {"a/b", "d"}, {"a/b/c.txt", "fhello" + z}, {"empty.txt", "f" + z},
                   {"old", "d"}, {"old/new", "d"}, {"only", "d"}, {"only/dir", "d"},
                   {"名前", "d"}, {"名前/ファイル.txt", "futf8" + z}, {"表だよ", "d"}, {"表だよ/ソ.txt", "fsjis" + z}}));
  // Folder times too, for a folder created inside one that was there.
  EXPECT_EQ(fs.Time("/dest/only/dir"), 111u);
  EXPECT_EQ(fs.Time("/dest/old/new"), 222u);
  EXPECT_EQ(fs.Time("/dest/名前/ファイル.txt"), 333u);
  EXPECT_EQ(yes.asked, 0);
}

TEST_F(Engine, EveryFailureLeavesTheFolderAsItWasItsTimesIncluded) {
  auto populate = [](MemoryFs& m) {
    m.AddFile("/dest/keep.txt", "old");
    m.AddFile("/dest/sub/keep2.txt", "old2");
    m.SetZone("/a.zip", "zone");
  };
  populate(fs);
  const Files before = fs.Snapshot("/dest");
  std::vector<FakeEntry> entries = {{.name = "keep.txt", .data = "new"},
                                    {.name = "sub/keep2.txt", .data = "new2"},
                                    {.name = "sub/more/file.txt", .data = std::string(10000, 'n')},
                                    {.name = "new/dir/file.txt", .data = "x", .mtime = {FileTime::Utc, 5}},
                                    {.name = "last.txt", .data = "last"}};
  // The reader fails at the last entry, with each kind of failure.
  for (Status s : {Status::Corrupt, Status::Unsupported, Status::IoError}) {
    EXPECT_NE(Run(entries, yes, 4, s), kOk);
    EXPECT_EQ(fs.Snapshot("/dest"), before);
  }
  // The disk fills up in the middle of the third file.
  fs.freeSpace = 3 + 4 + 5000;
  EXPECT_EQ(Run(entries, yes), kWriteError);
  EXPECT_EQ(fs.Snapshot("/dest"), before);
  fs.freeSpace = UINT64_MAX;
  // Any one call of the file system fails: the run succeeds all the same (a
  // time or a mark left unset) or leaves everything as it was.
  std::size_t calls;
  {
    MemoryFs clean;
    populate(clean);
    ASSERT_EQ(Extract(clean, entries, yes), kOk);
    calls = clean.changes();
  }
  for (std::size_t k = 0; k < calls; ++k) {
    MemoryFs m;
    populate(m);
    m.FailChange(k);
    const Files start = m.Snapshot("/dest");
    if (Extract(m, entries, yes) != kOk) EXPECT_EQ(m.Snapshot("/dest"), start) << "failed call " << k;
    else EXPECT_EQ(m.Read("/dest/sub/keep2.txt"), "new2") << "failed call " << k;
  }
  // A size that does not match what the reader wrote.
  EXPECT_EQ(Run({{.name = "short.txt", .data = "abc", .recordedSize = 4}}, yes), kCorrupt);
  EXPECT_EQ(Run({{.name = "long.txt", .data = "abcde", .recordedSize = 4}}, yes), kCorrupt);
  // Unsafe names and clashes are refused before anything is written.
  EXPECT_EQ(Run({{.name = "fine.txt", .data = "x"}, {.name = "a/../../up.txt", .data = "x"}}, yes), kUnsafeName);
  EXPECT_EQ(Run({{.name = "x", .data = "file"}, {.name = "x/y", .data = "below a file"}}, yes), kConflict);
  EXPECT_EQ(Run({{.name = "keep.txt/inner", .data = "x"}}, yes), kConflict);
  EXPECT_EQ(Run({{.name = ".tarvex-staging-1/x", .data = "x"}}, yes), kUnsafeName);
  EXPECT_EQ(fs.Snapshot("/dest"), before);
}

TEST_F(Engine, OverwriteQuestionIsAskedOnceAndHonoured) {
  fs.AddFile("/dest/one.txt", "old1");
  fs.SetReadOnly("/dest/one.txt");  // Windows will not delete it until the mark is cleared
  fs.AddFile("/dest/d/two.txt", "old2");
  std::vector<FakeEntry> entries = Named({"one.txt", "d/two.txt", "three.txt"});
  const Files before = fs.Snapshot("/dest");

  Answer cancel{OverwriteAnswer::Cancel};
  EXPECT_EQ(Run(entries, cancel), kCancelled);
  EXPECT_EQ(cancel.asked, 1);
  EXPECT_EQ(cancel.lastCount, 2);
  EXPECT_EQ(fs.Snapshot("/dest"), before);

  // No to files that are all there: nothing changes, the folder's time neither.
  Answer no{OverwriteAnswer::No};
  EXPECT_EQ(Run(Named({"one.txt", "d/two.txt"}), no), kOk);
  EXPECT_EQ(fs.Snapshot("/dest"), before);
  EXPECT_EQ(Run(entries, no), kOk);
  EXPECT_EQ(fs.Read("/dest/one.txt"), "old1");
  EXPECT_EQ(fs.Read("/dest/three.txt"), "three.txt!");

  EXPECT_EQ(Run(entries, yes), kOk);
  EXPECT_EQ(yes.lastCount, 3);
  EXPECT_EQ(fs.Snapshot("/dest", false), (Files{{"d", "d"}, {"d/two.txt", "fd/two.txt!"},
                                                {"one.txt", "fone.txt!"}, {"three.txt", "fthree.txt!"}}));
}

TEST_F(Engine, HostileNamesStayInsideAndLinksAreNeverCreated) {
  fs.AddOther("/dest/linkdir");  // writing through an existing link is refused
  EXPECT_EQ(Run({{.name = "linkdir/x.txt", .data = "x"}}, yes), kConflict);
  MemoryFs m;
  ASSERT_EQ(Extract(m,
                         {{.name = "/abs.txt", .data = "1"},
                          {.name = "C:\\drive.txt", .data = "2"},
                          {.name = "stream.txt:ads", .data = "3"},
                          {.name = "CON", .data = "4"},
                          {.name = "link", .data = "../outside", .link = true}},
                         yes),
            kOk);
  EXPECT_EQ(m.Snapshot("/", false), (Files{{"a.zip", "farchive"}, {"dest", "d"}, {"dest/_CON", "f4"},
                                           {"dest/abs.txt", "f1"}, {"dest/drive.txt", "f2"},
                                           {"dest/stream.txt_ads", "f3"}}));
}

TEST(NamePolicy, DistinctNamesThatMeetAreAllKeptAndTheSameNameIsReplaced) {
  struct Case {
    std::vector<std::string> names;
    Files files;  // below the folder, without times
  } cases[] = {
      {{"x:readme", "readme"}, {{"readme", "fx:readme!"}, {"readme (2)", "freadme!"}}},
      {{"x:"}, {{"x_", "fx:!"}}},
      {{"con", "_con"}, {{"_con", "fcon!"}, {"_con (2)", "f_con!"}}},
      {{"a.", "a_", "a "}, {{"a_", "fa.!"}, {"a_ (2)", "fa_!"}, {"a_ (3)", "fa !"}}},
      {{"...", ". ."}, {{"___", "f...!"}, {"___ (2)", "f. .!"}}},
      {{"Case.TXT", "case.txt", "CASE (2).txt"},
       {{"Case.TXT", "fCase.TXT!"}, {"CASE (2).txt", "fCASE (2).txt!"}, {"case (3).txt", "fcase.txt!"}}},
      {{"Ä.txt", "ä.txt", "ÿ", "Ÿ"}, {{"Ä.txt", "fÄ.txt!"}, {"ä (2).txt", "fä.txt!"}, {"ÿ", "fÿ!"}, {"Ÿ (2)", "fŸ!"}}},
      {{"d/same.txt", "d\\same.txt", "/d/./same.txt"}, {{"d", "d"}, {"d/same.txt", "f/d/./same.txt!"}}},
      {{"Dir/a", "DIR/b", "dir"}, {{"Dir", "d"}, {"Dir/a", "fDir/a!"}, {"Dir/b", "fDIR/b!"}, {"dir (2)", "fdir!"}}},
  };
  for (const Case& c : cases) {
    MemoryFs fs;
    Answer yes{OverwriteAnswer::Yes};
    EXPECT_EQ(Extract(fs, Named(c.names), yes), kOk) << c.names[0];
    EXPECT_EQ(fs.Snapshot("/dest", false), c.files) << c.names[0];
  }
  // Numbers the folder holds already are skipped.
  MemoryFs fs;
  fs.AddFile("/dest/n.txt", "mine");
  fs.AddFile("/dest/n (2).txt", "mine too");
  Answer no{OverwriteAnswer::No};
  EXPECT_EQ(Extract(fs, Named({"n.txt", "N.TXT"}), no), kOk);
  EXPECT_EQ(fs.Snapshot("/dest", false),
            (Files{{"n.txt", "fmine"}, {"n (2).txt", "fmine too"}, {"N (3).TXT", "fN.TXT!"}}));
}

TEST(ShortNames, AliasesMeanTheirItemAndNeverReachTheStagingFolder) {
  MemoryFs fs(true);
  fs.AddFile("/dest/Program Files/x", "old x");
  fs.AddFile("/dest/longfilename.txt", "old long");
  Answer yes{OverwriteAnswer::Yes};
  ASSERT_EQ(Extract(fs, Named({"PROGRA~1/x", "Program Files/x", "LONGFI~1.TXT", "longfilename.txt", "TARVEX~1/a.txt"}),
                yes),
            kOk);
  EXPECT_EQ(yes.lastCount, 2);
  EXPECT_EQ(fs.Snapshot("/dest", false),
            (Files{{"Program Files", "d"}, {"Program Files/x", "fPROGRA~1/x!"}, {"Program Files/x (2)", "fProgram Files/x!"},
                   {"longfilename.txt", "fLONGFI~1.TXT!"}, {"longfilename (2).txt", "flongfilename.txt!"},
                   {"TARVEX~1", "d"}, {"TARVEX~1/a.txt", "fTARVEX~1/a.txt!"}}));
}

TEST_F(Engine, AnOriginalThatCannotGoBackIsKeptBesideItAndReported) {
  for (bool nameTaken : {false, true}) {
    MemoryFs m;
    m.AddFile("/dest/a.txt", "old");
    if (nameTaken) m.AddFile("/dest/a.txt.tarvex-original", "something");
    m.HoldOnArrival("/dest/a.txt");  // an indexer opens the new file as soon as it is there
    m.FailAt(Op::Rename, 2);         // placing b.txt (after a.txt's two moves) fails
    Answer host{OverwriteAnswer::Yes};
    EXPECT_EQ(Extract(m, Named({"a.txt", "b.txt"}), host), kWriteError);
    std::string kept = nameTaken ? "/dest/a.txt.tarvex-original (2)" : "/dest/a.txt.tarvex-original";
    EXPECT_EQ(host.kept, std::vector<std::string>{"/dest/a.txt -> " + kept});
    EXPECT_EQ(m.Read(kept), "old");
    EXPECT_EQ(m.Read("/dest/a.txt"), "a.txt!");  // held: it could not be taken away
    EXPECT_EQ(m.Snapshot("/dest", false).size(), nameTaken ? 3u : 2u);  // no staging folder, no b.txt
  }
}

TEST_F(Engine, RunsIntoOneFolderTakeTurnsAndARollbackTouchesOnlyItsOwnFiles) {
  fs.AddFile("/dest/a.txt", "old");
  const Files before = fs.Snapshot("/dest");
  // A second run while the first is placing its files finds the folder busy.
  int second = -1;
  fs.beforeChange = [&](Op op, const std::string&) {
    if (op == Op::Rename && second == -1) {
      Answer other{OverwriteAnswer::Yes};
      second = Extract(fs, Named({"a.txt", "c.txt"}), other);
    }
  };
  fs.FailAt(Op::Rename, 2);
  EXPECT_EQ(Run(Named({"a.txt", "b.txt"}), yes), kWriteError);
  EXPECT_EQ(second, kBusy);
  EXPECT_EQ(fs.Snapshot("/dest"), before);
  // Another program replaces the placed file before the rollback: its file stays.
  MemoryFs m;
  m.AddFile("/dest/a.txt", "old");
  m.beforeChange = [&](Op op, const std::string& path) {
    if (op == Op::Rename && path.find("/2") != std::string::npos) {  // b.txt's staged file
      m.RemoveFile("/dest/a.txt");
      m.AddFile("/dest/a.txt", "theirs");
    }
  };
  m.FailAt(Op::Rename, 2);
  Answer host{OverwriteAnswer::Yes};
  EXPECT_EQ(Extract(m, Named({"a.txt", "b.txt"}), host), kWriteError);
  EXPECT_EQ(m.Read("/dest/a.txt"), "theirs");
  EXPECT_EQ(m.Read("/dest/a.txt.tarvex-original"), "old");
}

TEST(Journal, AKilledRunIsUndoneOrFinishedByTheNextRunEvenIfThatIsKilledToo) {
  auto populate = [](MemoryFs& m) {
    m.AddFile("/dest/keep.txt", "old");
    m.AddFile("/dest/sub/keep2.txt", "old2");
  };
  std::vector<FakeEntry> entries = {{.name = "keep.txt", .data = "new", .mtime = {FileTime::Utc, 7}},
                                    {.name = "sub/keep2.txt", .data = "new2", .mtime = {FileTime::Utc, 7}},
                                    {.name = "new/dir/", .dir = true, .mtime = {FileTime::Utc, 7}},
                                    {.name = "new/dir/f.txt", .data = "f", .mtime = {FileTime::Utc, 7}}};
  Answer yes{OverwriteAnswer::Yes};
  MemoryFs clean;
  populate(clean);
  const Files before = clean.Snapshot("/dest");
  ASSERT_EQ(Extract(clean, entries, yes), kOk);
  const Files after = clean.Snapshot("/dest", false);
  const std::size_t calls = clean.changes();
  // The next run undoes what it finds (then fails to read its own archive).
  auto recover = [&](MemoryFs& m) { return Extract(m, {}, yes, -2) == kNotThisFormat; };
  int finished = 0;
  for (std::size_t k = 0; k < calls; ++k) {
    for (std::size_t j = 0;; ++j) {  // j: the recovery is killed too, at its j-th call
      MemoryFs m;
      populate(m);
      m.KillAt(k);
      EXPECT_THROW(Extract(m, entries, yes), MemoryFs::Killed);
      m.Revive();
      m.KillAt(m.changes() + j);
      bool interrupted = false;
      try {
        recover(m);
      } catch (const MemoryFs::Killed&) {
        interrupted = true;
      }
      m.Revive();
      ASSERT_TRUE(recover(m));
      if (m.Snapshot("/dest", false) == after) {
        ++finished;  // killed after the commit: only the leftover goes
      } else {
        // A recovery killed between removing the staging folder and setting
        // the folder's time back leaves that one time as it is.
        Files now = m.Snapshot("/dest"), want = before;
        if (interrupted) now.erase("."), want.erase(".");
        ASSERT_EQ(now, want) << "killed at " << k << ", recovery at " << j;
        ASSERT_EQ(finished, 0) << "a later kill undid a committed run: " << k;
      }
      if (!interrupted) break;
    }
  }
  EXPECT_GT(finished, 0);
}

TEST(NameLength, NamesWindowsCannotCreateAreRefusedBeforeAnythingIsWritten) {
  std::string deep;  // 32,160 UTF-16 units in 160 parts: near the limit with "/dest"
  for (int i = 0; i < 160; ++i) deep += std::string(200, 'd') + "/";
  const std::string part(250, 'f');
  struct Case {
    std::string name;
    int rc;
  } cases[] = {
      {std::string(255, 'a'), kOk},
      {std::string(256, 'a'), kTooLong},
      {"dir/" + [] { std::string s; for (int i = 0; i < 255; ++i) s += "あ"; return s; }(), kOk},
      {[] { std::string s; for (int i = 0; i < 128; ++i) s += "𝄞"; return s; }(), kTooLong},  // two units each
      {deep + "f", kOk},
      {deep + part + "/" + part + "/" + part, kTooLong},
      {std::string(600000, '/') + "a", kOk},  // long, but only a short name is left
  };
  for (const Case& c : cases) {
    MemoryFs fs;
    Answer yes{OverwriteAnswer::Yes};
    EXPECT_EQ(Extract(fs, {{.name = c.name, .data = "x"}}, yes), c.rc) << c.name.size();
    EXPECT_EQ(fs.Snapshot("/dest", false).empty(), c.rc != kOk);
  }
}

TEST(SplitCommandLine, RecoversPathsWithSpacesTakingTheShortestArchivePath) {
  MemoryFs fs;
  for (const char* f : {"C:\\my data\\a b.zip", "C:\\x", "C:\\x y"}) fs.AddFile(f, "");
  for (const char* d : {"D:\\out dir", "y D:\\o", "D:\\o"}) fs.AddDir(d);
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

// --- the POSIX layer on the real disk ---

class RealDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteFile(dir / "archive.bin", "not read by the fake reader");
    std::filesystem::create_directories(dir / "dest");
  }
  int Run(std::vector<FakeEntry> entries, ExtractHost& host, int failAfter = -1) {
    std::string cmdline = "-xs " + (dir / "archive.bin") + " " + (dir / "dest") + "\\";
    return RunArchiver(host, cmdline, "-xs ", [&] { return std::make_unique<FakeReader>(entries, failAfter); },
                       nullptr, 0);
  }
  std::string dest(const std::string& rel) { return dir / ("dest/" + rel); }
  testing::TempDir dir;
  Answer yes{OverwriteAnswer::Yes};
};

TEST_F(RealDisk, RestoresFileTimesWithLocalRulesForDosTimesAndLeavesNothingBehind) {
  ::setenv("TZ", "JST-9", 1);
  ::tzset();
  FileTime dos{FileTime::DosLocal, (static_cast<std::uint64_t>(((2020 - 1980) << 9) | (6 << 5) | 15) << 16) |
                                       ((13 << 11) | (30 << 5) | (20 / 2))};
  FileTime utc{FileTime::Utc, 1600000000ull * 10000000 + 116444736000000000ull};
  testing::WriteFile(dest("dos.txt"), "replaced");
  ASSERT_EQ(Run({{.name = "dos.txt", .data = "d", .mtime = dos},
                 {.name = "folder/utc.txt", .data = "u", .mtime = utc},
                 {.name = "folder/", .dir = true, .mtime = utc}},
                yes),
            kOk);
  struct stat st;
  ASSERT_EQ(::stat(dest("dos.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1592195420);  // 2020-06-15 13:30:20 in Tokyo = 04:30:20 UTC
  ASSERT_EQ(::stat(dest("folder/utc.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1600000000);
  ASSERT_EQ(::stat(dest("folder").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1600000000);
  EXPECT_EQ(testing::Snapshot(dir / "dest").size(), 3u);  // no staging folder
  ::unsetenv("TZ");
  ::tzset();
}

TEST_F(RealDisk, FailuresThroughLinksAndLocksLeaveTheFolderAlone) {
  std::filesystem::create_directories(dir / "outside");
  std::filesystem::create_directory_symlink(dir / "outside", dest("linkdir"));
  testing::WriteFile(dest("keep.txt"), "old");
  const auto before = testing::Snapshot(dir / "dest");
  EXPECT_EQ(Run({{.name = "linkdir/x.txt", .data = "x"}}, yes), kConflict);
  EXPECT_EQ(Run({{.name = "keep.txt", .data = "new"}, {.name = "b", .data = "b"}}, yes, 1), kCorrupt);
  EXPECT_EQ(testing::Snapshot(dir / "dest"), before);
  EXPECT_TRUE(std::filesystem::is_empty(dir / "outside"));
  // The folder lock is one per folder, also within one process.
  FileSystem& fs = PlatformFileSystem();
  auto first = fs.LockFolder(dir / "dest", 0);
  ASSERT_TRUE(first);
  EXPECT_FALSE(fs.LockFolder(dir / "dest", 50));
  first.reset();
  EXPECT_TRUE(fs.LockFolder(dir / "dest", 0));
}

}  // namespace
}  // namespace tarvex::extract
