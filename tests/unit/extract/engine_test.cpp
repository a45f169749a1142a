// The engine with a scripted reader, mostly on the in-memory file system that
// behaves like a Windows volume (memory_fs.h): names, the overwrite
// question, and that every failure, fault and kill leaves the folder as it
// was. The last tests run on the real disk through the POSIX layer.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "extract/engine.h"
#include "extract/fileio.h"
#include "extract/memory_fs.h"

namespace tarvex::extract {
namespace {

using Files = std::map<std::string, std::string>;
using Op = MemoryFs::Op;

struct FakeEntry {
  std::string name, data;
  bool dir = false, link = false;
  NameEncoding encoding = NameEncoding::Utf8;
  FileTime mtime = {};
  std::int64_t recordedSize = -1;  // -1: the data's size
};

// Hands out fixed entries, each in two writes; fails with `failure` after
// entry failAfter, or does not know the archive (failAfter -2).
class FakeReader final : public ArchiveReader {
 public:
  FakeReader(std::vector<FakeEntry> entries, int failAfter, Status failure)
      : fake_(std::move(entries)), failAfter_(failAfter), failure_(failure) {
    for (const FakeEntry& f : fake_)
      info_.push_back({.rawName = f.name, .encoding = f.encoding, .isDirectory = f.dir, .isSymlink = f.link,
                       .size = f.recordedSize >= 0 ? static_cast<std::uint64_t>(f.recordedSize) : f.data.size(),
                       .mtime = f.mtime});
  }
  Status Open(InputFile&) override { return failAfter_ == -2 ? Status::NotThisFormat : Status::Ok; }
  const std::vector<EntryInfo>& Entries() const override { return info_; }
  Status ExtractAll(const std::function<EntrySink*(std::size_t)>& sinkFor) override {
    for (std::size_t i = 0; i < fake_.size(); ++i) {
      const auto* d = reinterpret_cast<const std::uint8_t*>(fake_[i].data.data());
      const std::size_t n = fake_[i].data.size();
      if (EntrySink* s = sinkFor(i); s && (!s->Write(d, n / 2) || !s->Write(d + n / 2, n - n / 2)))
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
  explicit Answer(OverwriteAnswer a = OverwriteAnswer::Yes) : answer(a) {}
  OverwriteAnswer AskOverwrite(int count) override {
    ++asked;
    lastCount = count;
    return answer;
  }
  void OriginalKept(const std::string& original, const std::string& keptAs) override {
    kept.push_back(original + " -> " + keptAs);
  }
  OverwriteAnswer answer;
  int asked = 0, lastCount = 0;
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

// Entries named by their data: file "name" holds "name!".
std::vector<FakeEntry> Named(const std::vector<std::string>& names) {
  std::vector<FakeEntry> out;
  for (const std::string& n : names) out.push_back({.name = n, .data = n + "!"});
  return out;
}

// Hostile names stay inside; links are never created.
TEST(Engine, ExtractsFoldersFilesNamesTimesAndTheMarkOfTheWeb) {
  MemoryFs fs;
  const std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\n";
  fs.AddFile("/a.zip", "archive");
  fs.SetZone("/a.zip", zone);
  fs.AddDir("/dest/old");
  Answer yes;
  ASSERT_EQ(Extract(fs,
                    {{.name = "a/b/c.txt", .data = "hello"},
                     {.name = "empty.txt", .data = ""},
                     {.name = "only/dir/", .dir = true, .mtime = {FileTime::Utc, 111}},
                     {.name = "old/new/", .dir = true, .mtime = {FileTime::Utc, 222}},  // inside an existing folder
                     {.name = "\x95\x5C\x82\xBE\x82\xE6\\\x83\x5C.txt", .data = "sjis", .encoding = NameEncoding::Cp932},
                     {.name = "名前/ファイル.txt", .data = "utf8", .mtime = {FileTime::Utc, 333}},
                     {.name = "C:\\drive.txt", .data = "2"},
                     {.name = "stream.txt:ads", .data = "3"},
                     {.name = "CON", .data = "4"},
                     {.name = "link", .data = "../outside", .link = true}},
                    yes),
            kOk);
  const std::string z = " zone=" + zone;
  EXPECT_EQ(fs.Snapshot("/", false),
            (Files{{"a.zip", "farchive zone=" + zone}, {"dest", "d"}, {"dest/a", "d"}, {"dest/a/b", "d"},
                   {"dest/a/b/c.txt", "fhello" + z}, {"dest/empty.txt", "f" + z}, {"dest/old", "d"},
                   {"dest/old/new", "d"}, {"dest/only", "d"}, {"dest/only/dir", "d"}, {"dest/名前", "d"},
                   {"dest/名前/ファイル.txt", "futf8" + z}, {"dest/表だよ", "d"}, {"dest/表だよ/ソ.txt", "fsjis" + z},
                   {"dest/drive.txt", "f2" + z}, {"dest/stream.txt_ads", "f3" + z}, {"dest/_CON", "f4" + z}}));
  EXPECT_EQ(fs.Time("/dest/only/dir"), 111u);
  EXPECT_EQ(fs.Time("/dest/old/new"), 222u);
  EXPECT_EQ(fs.Time("/dest/名前/ファイル.txt"), 333u);
  EXPECT_EQ(yes.asked, 0);
}

TEST(Engine, EveryFailureLeavesTheFolderAsItWasItsTimesIncluded) {
  auto populate = [](MemoryFs& m) {
    m.AddFile("/dest/keep.txt", "old");
    m.AddFile("/dest/sub/keep2.txt", "old2");
    m.SetZone("/a.zip", "zone");
  };
  MemoryFs fs;
  populate(fs);
  const Files before = fs.Snapshot("/dest");
  const std::vector<FakeEntry> entries = {{.name = "keep.txt", .data = "new"},
                                          {.name = "sub/keep2.txt", .data = "new2"},
                                          {.name = "sub/more/file.txt", .data = std::string(10000, 'n')},
                                          {.name = "new/dir/file.txt", .data = "x", .mtime = {FileTime::Utc, 5}},
                                          {.name = "last.txt", .data = "last"}};
  Answer yes;
  for (Status s : {Status::Corrupt, Status::Unsupported, Status::IoError}) {  // the reader fails at the end
    EXPECT_NE(Extract(fs, entries, yes, 4, s), kOk);
    EXPECT_EQ(fs.Snapshot("/dest"), before);
  }
  fs.freeSpace = 3 + 4 + 5000;  // the disk fills up in the third file
  EXPECT_EQ(Extract(fs, entries, yes), kWriteError);
  EXPECT_EQ(fs.Snapshot("/dest"), before);
  fs.freeSpace = UINT64_MAX;
  // Any one call of the file system fails: the run succeeds all the same (a
  // time or a mark left unset) or leaves everything as it was.
  for (std::size_t k = 0;; ++k) {
    MemoryFs m;
    populate(m);
    m.FailChange(k);
    const Files start = m.Snapshot("/dest");
    const int rc = Extract(m, entries, yes);
    if (rc != kOk) EXPECT_EQ(m.Snapshot("/dest"), start) << "failed call " << k;
    else EXPECT_EQ(m.Read("/dest/sub/keep2.txt"), "new2") << "failed call " << k;
    if (m.changes() <= k) break;  // every call has failed once
  }
  const struct {
    std::vector<FakeEntry> entries;
    int rc;
  } refused[] = {
      {{{.name = "short.txt", .data = "abc", .recordedSize = 4}}, kCorrupt},  // sizes that do not match the data
      {{{.name = "long.txt", .data = "abcde", .recordedSize = 4}}, kCorrupt},
      {{{.name = "fine.txt", .data = "x"}, {.name = "a/../../up.txt", .data = "x"}}, kUnsafeName},
      {{{.name = ".tarvex-staging-1/x", .data = "x"}}, kUnsafeName},
      {{{.name = "x", .data = "file"}, {.name = "x/y", .data = "below a file"}}, kConflict},
      {{{.name = "keep.txt/inner", .data = "x"}}, kConflict},
  };
  for (const auto& c : refused) EXPECT_EQ(Extract(fs, c.entries, yes), c.rc) << c.entries[0].name;
  EXPECT_EQ(fs.Snapshot("/dest"), before);
}

TEST(Engine, OverwriteQuestionIsAskedOnceAndHonoured) {
  MemoryFs fs;
  fs.AddFile("/dest/one.txt", "old1");
  fs.SetReadOnly("/dest/one.txt");  // Windows will not delete it until the mark is cleared
  fs.AddFile("/dest/d/two.txt", "old2");
  const auto entries = Named({"one.txt", "d/two.txt", "three.txt"});
  const Files before = fs.Snapshot("/dest");
  Answer cancel{OverwriteAnswer::Cancel}, no{OverwriteAnswer::No}, yes;
  EXPECT_EQ(Extract(fs, entries, cancel), kCancelled);
  EXPECT_EQ(cancel.asked, 1);
  EXPECT_EQ(cancel.lastCount, 2);
  EXPECT_EQ(fs.Snapshot("/dest"), before);
  EXPECT_EQ(Extract(fs, Named({"one.txt", "d/two.txt"}), no), kOk);  // No to files all there: nothing changes
  EXPECT_EQ(fs.Snapshot("/dest"), before);
  EXPECT_EQ(Extract(fs, entries, no), kOk);
  EXPECT_EQ(fs.Read("/dest/one.txt"), "old1");
  EXPECT_EQ(fs.Read("/dest/three.txt"), "three.txt!");
  EXPECT_EQ(Extract(fs, entries, yes), kOk);
  EXPECT_EQ(yes.lastCount, 3);
  EXPECT_EQ(fs.Snapshot("/dest", false), (Files{{"d", "d"}, {"d/two.txt", "fd/two.txt!"},
                                                {"one.txt", "fone.txt!"}, {"three.txt", "fthree.txt!"}}));
}

TEST(Engine, DistinctNamesThatMeetAreAllKeptAndTheSameNameIsReplaced) {
  const struct {
    std::vector<std::string> names;
    Files files;  // below the folder, without times
  } cases[] = {
      {{"x:readme", "readme"}, {{"readme", "fx:readme!"}, {"readme (2)", "freadme!"}}},
      {{"con", "_con"}, {{"_con", "fcon!"}, {"_con (2)", "f_con!"}}},
      {{"a.", "a_", "a "}, {{"a_", "fa.!"}, {"a_ (2)", "fa_!"}, {"a_ (3)", "fa !"}}},
      {{"Case.TXT", "case.txt", "CASE (2).txt"},
       {{"Case.TXT", "fCase.TXT!"}, {"CASE (2).txt", "fCASE (2).txt!"}, {"case (3).txt", "fcase.txt!"}}},
      {{"Ä.txt", "ä.txt", "ÿ", "Ÿ"}, {{"Ä.txt", "fÄ.txt!"}, {"ä (2).txt", "fä.txt!"}, {"ÿ", "fÿ!"}, {"Ÿ (2)", "fŸ!"}}},
      {{"d/same.txt", "d\\same.txt", "/d/./same.txt"}, {{"d", "d"}, {"d/same.txt", "f/d/./same.txt!"}}},
      {{"Dir/a", "DIR/b", "dir"}, {{"Dir", "d"}, {"Dir/a", "fDir/a!"}, {"Dir/b", "fDIR/b!"}, {"dir (2)", "fdir!"}}},
  };
  for (const auto& c : cases) {
    MemoryFs fs;
    Answer yes;
    EXPECT_EQ(Extract(fs, Named(c.names), yes), kOk) << c.names[0];
    EXPECT_EQ(fs.Snapshot("/dest", false), c.files) << c.names[0];
  }
  MemoryFs fs;  // numbers the folder holds already are skipped
  fs.AddFile("/dest/n.txt", "mine");
  fs.AddFile("/dest/n (2).txt", "mine too");
  Answer no{OverwriteAnswer::No};
  EXPECT_EQ(Extract(fs, Named({"n.txt", "N.TXT"}), no), kOk);
  EXPECT_EQ(fs.Snapshot("/dest", false),
            (Files{{"n.txt", "fmine"}, {"n (2).txt", "fmine too"}, {"N (3).TXT", "fN.TXT!"}}));
}

TEST(Engine, ShortNamesMeanTheirItemAndNeverReachTheStagingFolder) {
  MemoryFs fs(true);
  fs.AddFile("/dest/Program Files/x", "old x");
  fs.AddFile("/dest/longfilename.txt", "old long");
  Answer yes;
  ASSERT_EQ(Extract(fs, Named({"PROGRA~1/x", "Program Files/x", "LONGFI~1.TXT", "longfilename.txt", "TARVEX~1/a.txt"}),
                    yes),
            kOk);
  EXPECT_EQ(yes.lastCount, 2);
  EXPECT_EQ(fs.Snapshot("/dest", false),
            (Files{{"Program Files", "d"}, {"Program Files/x", "fPROGRA~1/x!"}, {"Program Files/x (2)", "fProgram Files/x!"},
                   {"longfilename.txt", "fLONGFI~1.TXT!"}, {"longfilename (2).txt", "flongfilename.txt!"},
                   {"TARVEX~1", "d"}, {"TARVEX~1/a.txt", "fTARVEX~1/a.txt!"}}));
}

TEST(Engine, AnOriginalThatCannotGoBackIsKeptBesideItAndReported) {
  for (bool nameTaken : {false, true}) {
    MemoryFs m;
    m.AddFile("/dest/a.txt", "old");
    if (nameTaken) m.AddFile("/dest/a.txt.tarvex-original", "something");
    m.HoldOnArrival("/dest/a.txt");  // an indexer opens the new file as soon as it is there
    m.FailAt(Op::Rename, 2);         // placing b.txt (after a.txt's two moves) fails
    Answer host;
    EXPECT_EQ(Extract(m, Named({"a.txt", "b.txt"}), host), kWriteError);
    const std::string kept = nameTaken ? "/dest/a.txt.tarvex-original (2)" : "/dest/a.txt.tarvex-original";
    EXPECT_EQ(host.kept, std::vector<std::string>{"/dest/a.txt -> " + kept});
    EXPECT_EQ(m.Read(kept), "old");
    EXPECT_EQ(m.Read("/dest/a.txt"), "a.txt!");  // held: it could not be taken away
    EXPECT_EQ(m.Snapshot("/dest", false).size(), nameTaken ? 3u : 2u);  // no staging folder, no b.txt
  }
}

TEST(Engine, RunsIntoOneFolderTakeTurnsAndARollbackTouchesOnlyItsOwnFiles) {
  MemoryFs fs;
  fs.AddFile("/dest/a.txt", "old");
  const Files before = fs.Snapshot("/dest");
  int second = -1;  // a second run while the first places its files finds the folder busy
  fs.beforeChange = [&](Op op, const std::string&) {
    if (op == Op::Rename && second == -1) {
      Answer other;
      second = Extract(fs, Named({"a.txt", "c.txt"}), other);
    }
  };
  fs.FailAt(Op::Rename, 2);
  Answer yes;
  EXPECT_EQ(Extract(fs, Named({"a.txt", "b.txt"}), yes), kWriteError);
  EXPECT_EQ(second, kBusy);
  EXPECT_EQ(fs.Snapshot("/dest"), before);
  MemoryFs m;  // another program replaces the placed file before the rollback: its file stays
  m.AddFile("/dest/a.txt", "old");
  m.beforeChange = [&](Op op, const std::string& path) {
    if (op == Op::Rename && path.find("/2") != std::string::npos) {  // b.txt's staged file
      m.RemoveFile("/dest/a.txt");
      m.AddFile("/dest/a.txt", "theirs");
    }
  };
  m.FailAt(Op::Rename, 2);
  EXPECT_EQ(Extract(m, Named({"a.txt", "b.txt"}), yes), kWriteError);
  EXPECT_EQ(m.Read("/dest/a.txt"), "theirs");
  EXPECT_EQ(m.Read("/dest/a.txt.tarvex-original"), "old");
}

TEST(Journal, AKilledRunIsUndoneOrFinishedByTheNextRunEvenIfThatIsKilledToo) {
  auto populate = [](MemoryFs& m) {
    m.AddFile("/dest/keep.txt", "old");
    m.AddFile("/dest/sub/keep2.txt", "old2");
  };
  const std::vector<FakeEntry> entries = {{.name = "keep.txt", .data = "new", .mtime = {FileTime::Utc, 7}},
                                          {.name = "sub/keep2.txt", .data = "new2", .mtime = {FileTime::Utc, 7}},
                                          {.name = "new/dir/", .dir = true, .mtime = {FileTime::Utc, 7}},
                                          {.name = "new/dir/f.txt", .data = "f", .mtime = {FileTime::Utc, 7}}};
  Answer yes;
  MemoryFs clean;
  populate(clean);
  const Files before = clean.Snapshot("/dest");
  ASSERT_EQ(Extract(clean, entries, yes), kOk);
  const Files after = clean.Snapshot("/dest", false);
  // The next run undoes what it finds (then fails to read its own archive).
  auto recover = [&](MemoryFs& m) { return Extract(m, {}, yes, -2) == kNotThisFormat; };
  int finished = 0;
  for (std::size_t k = 0; k < clean.changes(); ++k) {
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

TEST(Engine, NamesWindowsCannotCreateAreRefusedBeforeAnythingIsWritten) {
  std::string deep, bmp, astral;  // deep: 32,160 UTF-16 units in 160 parts, near the limit with "/dest"
  for (int i = 0; i < 160; ++i) deep += std::string(200, 'd') + "/";
  for (int i = 0; i < 255; ++i) bmp += "あ";
  for (int i = 0; i < 128; ++i) astral += "𝄞";  // two units each
  const std::string part(250, 'f');
  const struct {
    std::string name;
    int rc;
  } cases[] = {
      {std::string(255, 'a'), kOk}, {std::string(256, 'a'), kTooLong}, {"dir/" + bmp, kOk}, {astral, kTooLong},
      {deep + "f", kOk}, {deep + part + "/" + part + "/" + part, kTooLong},
      {std::string(600000, '/') + "a", kOk},  // long, but only a short name is left
  };
  for (const auto& c : cases) {
    MemoryFs fs;
    Answer yes;
    EXPECT_EQ(Extract(fs, {{.name = c.name, .data = "x"}}, yes), c.rc) << c.name.size();
    EXPECT_EQ(fs.Snapshot("/dest", false).empty(), c.rc != kOk);
  }
}

TEST(SplitCommandLine, RecoversPathsWithSpacesTakingTheShortestArchivePath) {
  MemoryFs fs;
  for (const char* f : {"C:\\my data\\a b.zip", "C:\\x", "C:\\x y"}) fs.AddFile(f, "");
  for (const char* d : {"D:\\out dir", "y D:\\o", "D:\\o"}) fs.AddDir(d);
  const struct {
    const char* cmdline;
    const char* option;
    const char* archive;  // nullptr: refused
    const char* folder;
  } cases[] = {
      {"-xs C:\\my data\\a b.zip D:\\out dir\\", "-xs ", "C:\\my data\\a b.zip", "D:\\out dir"},
      {"e C:\\my data\\a b.zip D:\\\\", "e ", "C:\\my data\\a b.zip", "D:\\"},  // a drive root
      {"-x C:\\x y D:\\o\\", "-x ", "C:\\x", "y D:\\o"},                         // both splits fit
      {"-xs C:\\x D:\\o", "-xs ", nullptr, nullptr},                             // no final backslash
      {"-x C:\\x D:\\o\\", "-xs ", nullptr, nullptr},                            // another option text
      {"-xs C:\\missing.zip D:\\o\\", "-xs ", nullptr, nullptr},
      {"-xs D:\\o C:\\x\\", "-xs ", nullptr, nullptr},  // the archive is a folder
  };
  for (const auto& c : cases) {
    CommandLinePaths p;
    ASSERT_EQ(SplitCommandLine(c.cmdline, c.option, fs, p), c.archive != nullptr) << c.cmdline;
    if (c.archive) EXPECT_EQ(p.archive + "|" + p.folder, std::string(c.archive) + "|" + c.folder);
  }
}

// The POSIX layer on the real disk: times by the local rules for DOS times,
// an existing link in the way, a failure, the folder lock.
TEST(RealDisk, TimesLinksFailuresAndTheLock) {
  namespace fs = std::filesystem;
  std::string tmpl = (fs::temp_directory_path() / "tarvex-test-XXXXXX").string();
  const std::string dir = ::mkdtemp(tmpl.data()), dest = dir + "/dest";
  fs::create_directories(dest);
  fs::create_directories(dir + "/outside");
  std::ofstream(dir + "/archive.bin") << "not read by the fake reader";
  std::ofstream(dest + "/dos.txt") << "replaced";
  Answer yes;
  auto run = [&](const std::vector<FakeEntry>& entries, int failAfter = -1) {
    return RunArchiver(yes, "-xs " + dir + "/archive.bin " + dest + "\\", "-xs ",
                       [&] { return std::make_unique<FakeReader>(entries, failAfter, Status::Corrupt); }, nullptr, 0);
  };
  auto snapshot = [&] {  // every item below dest: kind, time and contents
    Files out;
    for (auto& e : fs::recursive_directory_iterator(dest)) {
      struct stat st;
      ::lstat(e.path().c_str(), &st);
      std::ifstream f(e.path(), std::ios::binary);
      out[e.path()] = std::to_string(st.st_mode) + "@" + std::to_string(st.st_mtime) +
                      (e.is_regular_file() ? std::string(std::istreambuf_iterator<char>(f), {}) : "");
    }
    return out;
  };
  ::setenv("TZ", "JST-9", 1);
  ::tzset();
  const FileTime dos{FileTime::DosLocal, (std::uint64_t{((2020 - 1980) << 9) | (6 << 5) | 15} << 16) |
                                             ((13 << 11) | (30 << 5) | (20 / 2))};
  const int rc = run({{.name = "dos.txt", .data = "d", .mtime = dos},
                      {.name = "folder/utc.txt", .data = "u", .mtime = FileTimeFromUnix(1600000000)},
                      {.name = "folder/", .dir = true, .mtime = FileTimeFromUnix(1600000000)}});
  ::unsetenv("TZ");
  ::tzset();
  ASSERT_EQ(rc, kOk);
  struct stat st;
  for (const auto& [name, time] : {std::pair{"dos.txt", 1592195420},  // 2020-06-15 13:30:20 in Tokyo
                                   std::pair{"folder/utc.txt", 1600000000}, std::pair{"folder", 1600000000}}) {
    ASSERT_EQ(::stat((dest + "/" + name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_mtime, time) << name;
  }
  fs::create_directory_symlink(dir + "/outside", dest + "/linkdir");
  const Files before = snapshot();
  EXPECT_EQ(before.size(), 4u);  // no staging folder left
  EXPECT_EQ(run({{.name = "linkdir/x.txt", .data = "x"}}), kConflict);
  EXPECT_EQ(run({{.name = "dos.txt", .data = "new"}, {.name = "b", .data = "b"}}, 1), kCorrupt);
  EXPECT_EQ(snapshot(), before);
  EXPECT_TRUE(fs::is_empty(dir + "/outside"));
  FileSystem& disk = PlatformFileSystem();  // one lock per folder, also within one process
  auto first = disk.LockFolder(dest, 0);
  ASSERT_TRUE(first);
  EXPECT_FALSE(disk.LockFolder(dest, 50));
  first.reset();
  EXPECT_TRUE(disk.LockFolder(dest, 0));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tarvex::extract
