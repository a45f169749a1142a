// The shared extraction engine: command line, safe names, the overwrite
// question, staging, all-or-nothing placement, and the journal that lets the
// next run undo (or finish) a run that was killed.
#include "extract/engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "extract/fileio.h"

namespace tarvex::extract {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr std::string_view kStagingPrefix = ".tarvex-staging-";
constexpr const char* kJournalName = "journal.txt";
constexpr std::string_view kJournalHeader = "tarvex extraction journal 1";
constexpr std::size_t kMaxPart = 255;      // UTF-16 units in one name
constexpr std::size_t kMaxPath = 32767;    // UTF-16 units in a path, "\\?\" prefix included
// What a path in the staging folder may add to its final path: the longest
// is an original waiting as ".tarvex-staging-u<time>-<n>/originals/<node>/name".
constexpr std::size_t kStagingRoom = 64;

void SetOutput(char* output, std::size_t size, const std::string& text) {
  if (!output || size == 0) return;
  std::size_t n = std::min(size - 1, text.size());
  std::memcpy(output, text.data(), n);
  output[n] = '\0';
}

std::string Join(const std::string& folder, std::string_view rel) {
  std::string out = folder;
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') out += '/';
  out += rel;
  return out;
}

// UTF-16 units of UTF-8 text: one per character, two above U+FFFF.
std::size_t Utf16Length(std::string_view s) {
  std::size_t n = 0;
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    if ((c & 0xC0) != 0x80) ++n;
    if (c >= 0xF0) ++n;
  }
  return n;
}

// Whether a part is spelt like an 8.3 alias: "PROGRA~1", "LONGFI~1.TXT".
bool LooksShort(std::string_view part) {
  std::size_t dot = part.rfind('.');
  std::string_view base = part.substr(0, dot);
  if (base.size() > 8 || (dot != std::string_view::npos && part.size() - dot - 1 > 3)) return false;
  std::size_t tilde = base.rfind('~');
  if (tilde == std::string_view::npos || tilde == 0 || tilde + 1 == base.size()) return false;
  return std::all_of(base.begin() + tilde + 1, base.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int FromStatus(Status s) {
  switch (s) {
    case Status::Ok: return kOk;
    case Status::NotThisFormat: return kNotThisFormat;
    case Status::Corrupt: return kCorrupt;
    case Status::Unsupported: return kUnsupported;
    case Status::IoError: return kReadError;
    case Status::Aborted: return kWriteError;
  }
  return kCorrupt;
}

const char* Describe(int rc) {
  switch (rc) {
    case kOk: return "ok";
    case kBadCommandLine: return "archive file or destination folder not found";
    case kNotThisFormat: return "not an archive of this format";
    case kCorrupt: return "the archive is damaged";
    case kUnsupported: return "the archive uses a feature that cannot be extracted";
    case kReadError: return "the archive could not be read";
    case kWriteError: return "a file could not be written";
    case kCancelled: return "cancelled";
    case kUnsafeName: return "an entry name points outside the destination folder";
    case kConflict: return "entry names clash with each other or with existing files";
    case kBusy: return "another extraction into this folder is running";
    case kTooLong: return "an entry name is longer than Windows allows";
  }
  return "error";
}

std::string IdText(const FileId& id) {
  char s[64];
  std::snprintf(s, sizeof s, "%llx:%llx:%llx", static_cast<unsigned long long>(id.volume),
                static_cast<unsigned long long>(id.high), static_cast<unsigned long long>(id.low));
  return s;
}

bool ParseId(const std::string& s, FileId& id) {
  unsigned long long v, h, l;
  if (std::sscanf(s.c_str(), "%llx:%llx:%llx", &v, &h, &l) != 3) return false;
  id = {v, h, l};
  return true;
}

std::string TimeText(const FileTime& t) {
  return (t.kind == FileTime::DosLocal ? "dos:" : "utc:") + std::to_string(t.value);
}

bool ParseTime(const std::string& s, FileTime& t) {
  if (s.size() < 5 || (s.compare(0, 4, "utc:") != 0 && s.compare(0, 4, "dos:") != 0)) return false;
  t = {s[0] == 'd' ? FileTime::DosLocal : FileTime::Utc, std::strtoull(s.c_str() + 4, nullptr, 10)};
  return true;
}

// The staging folder's name carries the destination's time from before the
// run, so that the time can be put back even after a run that was killed
// before its journal was written: ".tarvex-staging-u<time>-<attempt>".
std::string StagingName(const FileTime& folderTime, int attempt) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%c%llx-%d", kStagingPrefix.data(),
                folderTime.kind == FileTime::Utc ? 'u' : folderTime.kind == FileTime::DosLocal ? 'd' : 'n',
                static_cast<unsigned long long>(folderTime.value), attempt);
  return name;
}

FileTime FolderTimeOf(std::string_view stagingName) {
  std::string rest(stagingName.substr(std::min(stagingName.size(), kStagingPrefix.size())));
  if (rest.size() < 2 || (rest[0] != 'u' && rest[0] != 'd')) return {};
  return {rest[0] == 'u' ? FileTime::Utc : FileTime::DosLocal, std::strtoull(rest.c_str() + 1, nullptr, 16)};
}

// Calls each(fields) for every complete line of a journal (a line cut short
// by a kill was never acted on).
void ForEachRecord(InputFile& in, const std::function<void(const std::vector<std::string>&)>& each) {
  std::string line;
  std::vector<char> buf(static_cast<std::size_t>(std::clamp<std::uint64_t>(in.Size(), 1, 1 << 16)));
  std::vector<std::string> fields;
  for (std::uint64_t at = 0;;) {
    std::int64_t got = in.ReadAt(at, buf.data(), buf.size());
    if (got <= 0) return;
    at += static_cast<std::uint64_t>(got);
    for (std::int64_t i = 0; i < got; ++i) {
      if (buf[i] != '\n') {
        line += buf[i];
        continue;
      }
      fields.clear();
      for (std::size_t s = 0;;) {
        std::size_t tab = line.find('\t', s);
        fields.push_back(line.substr(s, tab == std::string::npos ? std::string::npos : tab - s));
        if (tab == std::string::npos) break;
        s = tab + 1;
      }
      each(fields);
      line.clear();
    }
  }
}

bool RemoveAnyFile(FileSystem& fs, const std::string& path) {
  if (fs.RemoveFile(path)) return true;
  return fs.ClearReadOnly(path) && fs.RemoveFile(path);  // Windows refuses read-only files
}

// Removes a folder and everything in it, without recursion (trees may be
// thousands of levels deep); `last` at the top is removed after the rest.
bool RemoveTree(FileSystem& fs, const std::string& top, std::string_view last = {}) {
  struct Level {
    std::size_t pathSize;
    std::vector<std::pair<std::string, PathKind>> rest;
  };
  std::vector<Level> stack;
  std::string path = top;
  auto open = [&] {
    Level level{path.size(), {}};
    fs.ListDir(path, [&](const std::string& name, PathKind kind) {
      if (stack.empty() && name == last) level.rest.insert(level.rest.begin(), {name, kind});
      else level.rest.push_back({name, kind});
    });
    stack.push_back(std::move(level));
  };
  bool ok = true;
  open();
  while (!stack.empty()) {
    if (stack.back().rest.empty()) {
      ok = fs.RemoveDir(path) && ok;
      stack.pop_back();
      if (!stack.empty()) path.resize(stack.back().pathSize);
      continue;
    }
    auto [name, kind] = std::move(stack.back().rest.back());
    stack.back().rest.pop_back();
    if (kind == PathKind::Directory) {
      path = Join(path, name);
      open();
    } else {
      ok = RemoveAnyFile(fs, Join(path, name)) && ok;
    }
  }
  return ok;
}

// The journal goes last, so that a removal cut short is still recognised;
// a second attempt gets past a call that failed once.
bool RemoveStaging(FileSystem& fs, const std::string& staging) {
  return RemoveTree(fs, staging, kJournalName) || RemoveTree(fs, staging, kJournalName);
}

// Puts the destination back as a journal describes it, after a failed run
// or one that was killed. Every step looks at what is there first, so it can
// be repeated after a kill; nothing that this run did not place is touched,
// and an original is never deleted.
class Recovery {
 public:
  Recovery(FileSystem& fs, ExtractHost& host, std::string folder, std::string staging)
      : fs_(fs), host_(host), folder_(std::move(folder)), staging_(std::move(staging)) {}

  // True when the folder is as it was before the run: nothing committed,
  // everything put back, the staging folder gone.
  bool Run() {
    std::size_t slash = staging_.find_last_of("/\\");
    FileTime folderTime = FolderTimeOf(staging_.substr(slash == std::string::npos ? 0 : slash + 1));
    auto restored = [&] {
      if (folderTime.kind != FileTime::None) fs_.SetTime(folder_, folderTime);
      return true;
    };
    std::string journal = Join(staging_, kJournalName);
    std::unique_ptr<InputFile> in = fs_.OpenRead(journal);
    if (!in) return fs_.RemoveDir(staging_) && restored();  // killed before its journal
    bool valid = false, committed = false;
    std::vector<std::pair<std::string, FileTime>> times;
    ForEachRecord(*in, [&](const std::vector<std::string>& f) {
      if (!valid) valid = f[0] == kJournalHeader;
      else if (f[0] == "committed") committed = true;
      else if (FileTime t; f[0] == "time" && f.size() == 3 && ParseTime(f[2], t)) times.emplace_back(f[1], t);
    });
    if (!valid) {
      // A journal cut before its first line: nothing was moved yet. Any
      // other folder of that name is not ours.
      bool alone = true;
      fs_.ListDir(staging_, [&](const std::string& name, PathKind) { alone = alone && name == kJournalName; });
      in.reset();
      return alone && RemoveStaging(fs_, staging_) && restored();
    }
    if (!committed) {
      // New items go first, so that the originals' places are free again.
      ForEachRecord(*in, [&](const std::vector<std::string>& f) {
        FileId id;
        if (f[0] == "new" && f.size() == 4 && ParseId(f[3], id)) UndoNew(f[1], f[2], id);
      });
      ForEachRecord(*in, [&](const std::vector<std::string>& f) {
        if (f[0] == "original" && f.size() == 3) UndoOriginal(f[1], f[2]);
      });
    }
    in.reset();
    if (keptInStaging_) return false;
    // Folder times after the moves that changed them; the destination's own
    // after the staging folder has gone from it.
    if (!committed && clean_)
      for (const auto& [rel, time] : times) fs_.SetTime(Join(folder_, rel), time);
    bool removed = RemoveStaging(fs_, staging_);
    return !committed && clean_ && removed && restored();
  }

 private:
  void UndoNew(const std::string& rel, const std::string& staged, const FileId& id) {
    std::string target = Join(folder_, rel);
    FileId now;
    if (!fs_.Identify(target, now) || !(now == id)) return;  // never placed, or not ours
    if (fs_.Rename(target, Join(staging_, staged), false)) return;
    // Held open by another program: remove what can be removed.
    bool gone = fs_.Kind(target) == PathKind::Directory ? RemoveTree(fs_, target) : RemoveAnyFile(fs_, target);
    clean_ = clean_ && gone;
  }

  void UndoOriginal(const std::string& rel, const std::string& backup) {
    std::string from = Join(staging_, backup);
    if (fs_.Kind(from) != PathKind::File) return;  // never moved, or back already
    std::string to = Join(folder_, rel);
    if (fs_.Rename(from, to, false)) return;
    // Its place is still taken (the new file could not be moved away): keep
    // the original beside it under a name that says what it is.
    clean_ = false;
    for (int n = 1; n < 100; ++n) {
      std::string kept = to + ".tarvex-original" + (n > 1 ? " (" + std::to_string(n) + ")" : "");
      if (fs_.Kind(kept) != PathKind::None) continue;
      if (fs_.Rename(from, kept, false)) {
        host_.OriginalKept(to, kept);
        return;
      }
      break;
    }
    host_.OriginalKept(to, from);  // it stays in the staging folder, which stays too
    keptInStaging_ = true;
  }

  FileSystem& fs_;
  ExtractHost& host_;
  std::string folder_;
  std::string staging_;
  bool clean_ = true;
  bool keptInStaging_ = false;
};

// Undoes or finishes every run into the folder that was killed: their
// staging folders are left behind with a journal.
void RecoverLeftovers(FileSystem& fs, ExtractHost& host, const std::string& folder) {
  std::vector<std::string> leftovers;
  fs.ListDir(folder, [&](const std::string& name, PathKind kind) {
    if (kind == PathKind::Directory && name.compare(0, kStagingPrefix.size(), kStagingPrefix) == 0)
      leftovers.push_back(name);
  });
  for (const std::string& name : leftovers) Recovery(fs, host, folder, Join(folder, name)).Run();
}

// One part of a planned path below the destination. Parents come before
// their children in the list; node 0 is the destination itself. Kept small:
// an archive may hold millions of entries.
struct Node {
  std::uint32_t parent = kNone;
  std::uint32_t entry = kNone;  // a file's entry
  std::uint64_t key = 0;        // hash of the parent and the file system's fold of the name
  std::string name;             // the part as it will be written
  bool dir = false;
  bool exists = false;          // in the destination before the run
  bool wanted = true;           // a file to extract (not a kept existing one)
  bool staged = false;          // its staging file has been created and filled
};

// 64-bit FNV-1a.
std::uint64_t Hash(std::string_view s, std::uint64_t h = 14695981039346656037ull) {
  for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

// Buffered writer into one staging file. Counts the bytes for the size
// check and refuses more bytes than the entry can hold.
class StagingSink final : public EntrySink {
 public:
  StagingSink(std::unique_ptr<OutputFile> file, std::uint64_t size) : file_(std::move(file)), size_(size) {}
  bool Write(const std::uint8_t* data, std::size_t n) override {
    if (failed_) return false;
    if (n > size_ - written_) {
      overflow_ = true;
      failed_ = true;
      return false;
    }
    written_ += n;
    if (!file_->Write(data, n)) {
      failed_ = true;
      return false;
    }
    return true;
  }
  bool Close() { return file_->Close() && !failed_; }
  bool overflow() const { return overflow_; }
  bool complete() const { return written_ == size_; }

 private:
  std::unique_ptr<OutputFile> file_;
  std::uint64_t size_;
  std::uint64_t written_ = 0;
  bool failed_ = false;
  bool overflow_ = false;
};

class Extraction {
 public:
  Extraction(FileSystem& fs, ExtractHost& host, std::string folder, std::string archive)
      : fs_(fs), host_(host), folder_(std::move(folder)), archive_(std::move(archive)) {}
  // Finish runs from the destructor only while an exception passes.
  ~Extraction() { Finish(); }

  // Everything up to a fully decoded and checked staging folder.
  int Prepare(ArchiveReader& reader) {
    int rc = Plan(reader.Entries());
    if (rc != kOk) return rc;
    rc = AskOverwrite();
    if (rc != kOk) return rc;
    if (!MakeStaging()) return kWriteError;
    return Decode(reader);
  }

  // Moves the staged items into place (the archive is closed by then, so
  // that even an entry of the archive's own name can replace it).
  int Place() {
    // The journal first: every move, flushed before the first one is made.
    std::string records;
    std::unordered_set<std::uint32_t> touched;  // existing folders whose entries change
    for (std::uint32_t n = 1; n < nodes_.size(); ++n)
      if (Moved(n) && nodes_[n].parent != 0 && touched.insert(nodes_[n].parent).second) {
        FileTime t;
        if (fs_.GetTime(Path(nodes_[n].parent), t))
          records += "time\t" + Rel(nodes_[n].parent) + "\t" + TimeText(t) + "\n";
      }
    for (std::uint32_t n = 1; n < nodes_.size(); ++n) {
      if (!Moved(n)) continue;
      std::string rel = Rel(n);
      if (nodes_[n].exists) {
        std::string longName, shortName;
        if (!fs_.StoredNames(Path(n), longName, shortName)) return kWriteError;
        std::string parentRel = nodes_[n].parent == 0 ? "" : Rel(nodes_[n].parent) + "/";
        records += "original\t" + parentRel + longName + "\toriginals/" + std::to_string(n) + "/" + longName + "\n";
      }
      records += "new\t" + rel + "\t" + std::to_string(n) + "\t" + IdText(ids_[n]) + "\n";
      if (records.size() > (1u << 16)) {
        if (!journal_->Write(records.data(), records.size())) return kWriteError;
        records.clear();
      }
    }
    if (!journal_->Write(records.data(), records.size()) || !journal_->Sync()) return kWriteError;

    bool originalsMade = false;
    for (std::uint32_t n = 1; n < nodes_.size(); ++n) {
      if (!Moved(n)) continue;
      std::string target = Path(n);
      if (nodes_[n].exists) {
        // The replaced file waits in the staging folder, under its own name,
        // until the whole call has succeeded.
        std::string longName, shortName;
        std::string holder = Join(staging_, "originals/" + std::to_string(n));
        if (!fs_.StoredNames(target, longName, shortName) ||
            (!originalsMade && !(originalsMade = fs_.MakeDir(Join(staging_, "originals")))) ||
            !fs_.MakeDir(holder) || !fs_.Rename(target, Join(holder, longName), false))
          return kWriteError;
      }
      if (!fs_.Rename(Staged(n), target, false)) return kWriteError;
    }
    // Folder times last: placing items inside a folder changes its time.
    for (const auto& [n, time] : dirTimes_)
      if (!nodes_[n].exists) fs_.SetTime(Path(n), time);
    // Everything is in place; the run has succeeded once the journal says so.
    // When the mark may not have been written, the journal decides: the
    // originals are deleted only after a run it calls committed.
    static constexpr char kCommitted[] = "committed\n";
    if (journal_->Write(kCommitted, sizeof kCommitted - 1) && journal_->Sync()) {
      committed_ = true;
    } else {
      journal_->Close();
      journal_.reset();
      std::unique_ptr<InputFile> in = fs_.OpenRead(Join(staging_, kJournalName));
      if (in) ForEachRecord(*in, [&](const std::vector<std::string>& f) { committed_ |= f[0] == "committed"; });
      if (!committed_) return kWriteError;
    }
    for (const Node& node : nodes_)
      if (!node.dir && node.wanted) ++placedFiles_;
    return kOk;
  }

  std::size_t placedFiles() const { return placedFiles_; }
  std::size_t skippedLinks() const { return skippedLinks_; }

  // Undoes everything not committed (by the journal, the same way as after
  // a kill), then removes the staging folder.
  void Finish() {
    if (finished_ || staging_.empty()) return;
    finished_ = true;
    if (journal_) journal_->Close();
    journal_.reset();
    if (!committed_) {
      Recovery(fs_, host_, folder_, staging_).Run();
      return;
    }
    // The replaced originals go with it. When no name was added at the top,
    // the folder's entries are as they were, and so is its time.
    bool added = false;
    for (std::uint32_t n = 1; n < nodes_.size() && !added; ++n) added = nodes_[n].parent == 0 && Root(n);
    if (RemoveStaging(fs_, staging_) && !added && folderTime_.kind != FileTime::None)
      fs_.SetTime(folder_, folderTime_);
  }

 private:
  // --- the tree of planned paths ---
  // The nodes by (parent, folded name): open addressing over node numbers.
  std::uint64_t KeyOf(std::uint32_t parent, std::string_view fold) const {
    return Hash(fold, parent * 0x9E3779B97F4A7C15ull + 1);
  }

  std::uint32_t Find(std::uint32_t parent, std::string_view part) {
    if (slots_.empty()) return kNone;
    std::string fold = fs_.Fold(part);
    std::uint64_t key = KeyOf(parent, fold);
    for (std::size_t i = key & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
      std::uint32_t n = slots_[i];
      if (n == kNone) return kNone;
      const Node& node = nodes_[n];
      if (node.key == key && node.parent == parent && (node.name == part || fs_.Fold(node.name) == fold)) return n;
    }
  }

  void Index(std::uint32_t n) {
    if ((indexed_ + 1) * 2 > slots_.size()) {  // at most half full
      slots_.assign(std::max<std::size_t>(64, slots_.size() * 2), kNone);
      indexed_ = 0;
      for (std::uint32_t m = 1; m < n; ++m) Index(m);
    }
    std::size_t i = nodes_[n].key & (slots_.size() - 1);
    while (slots_[i] != kNone) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = n;
    ++indexed_;
  }

  // A new node below parent. When the parent is in the destination already,
  // what is there decides: kConflict when it is of the other kind.
  int Add(std::uint32_t parent, std::string name, bool dir, std::uint32_t& out) {
    Node node;
    node.parent = parent;
    node.dir = dir;
    node.key = KeyOf(parent, fs_.Fold(name));
    node.name = std::move(name);
    if (nodes_[parent].exists) {
      PathKind k = fs_.Kind(Join(Path(parent), node.name));
      if (k != PathKind::None && k != (dir ? PathKind::Directory : PathKind::File)) return kConflict;
      node.exists = k != PathKind::None;
    }
    out = static_cast<std::uint32_t>(nodes_.size());
    nodes_.push_back(std::move(node));
    Index(out);
    return kOk;
  }

  std::string Rel(std::uint32_t n) const {
    std::vector<std::uint32_t> chain;
    std::size_t size = 0;
    for (; n != 0; n = nodes_[n].parent) {
      chain.push_back(n);
      size += nodes_[n].name.size() + 1;
    }
    std::string rel;
    rel.reserve(size);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      if (!rel.empty()) rel += '/';
      rel += nodes_[*it].name;
    }
    return rel;
  }
  std::string Path(std::uint32_t n) const { return n == 0 ? folder_ : Join(folder_, Rel(n)); }

  // A node that is new while its parent exists: it is built in the staging
  // folder (as "<n>", a whole tree for a folder) and moved in one step.
  bool Root(std::uint32_t n) const { return !nodes_[n].exists && nodes_[nodes_[n].parent].exists; }
  bool Moved(std::uint32_t n) const {
    return Root(n) || (!nodes_[n].dir && nodes_[n].exists && nodes_[n].wanted);
  }
  std::string Staged(std::uint32_t n) const {
    std::vector<std::uint32_t> chain;
    for (; !Moved(n); n = nodes_[n].parent) chain.push_back(n);
    std::string path = Join(staging_, std::to_string(n));
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      path += '/';
      path += nodes_[*it].name;
    }
    return path;
  }

  // Same name in the archive: the same parts once separators, "." and empty
  // parts are set aside (an archive's update of one file).
  static std::string NormalName(const EntryInfo& e) {
    std::string name = DecodeName(e.rawName, e.encoding), out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
      if (i < name.size() && name[i] != '/' && !(e.backslashIsSeparator && name[i] == '\\')) continue;
      std::string_view part(name.data() + start, i - start);
      if (!part.empty() && part != ".") {
        out += part;
        out += '/';
      }
      start = i + 1;
    }
    return out;
  }

  bool Fits(std::string_view rel) const {
    std::size_t part = 0;
    for (std::size_t i = 0, start = 0; i <= rel.size(); ++i)
      if (i == rel.size() || rel[i] == '/') {
        part = std::max(part, Utf16Length(rel.substr(start, i - start)));
        start = i + 1;
      }
    return part <= kMaxPart && 4 + folderUnits_ + 1 + Utf16Length(rel) + kStagingRoom <= kMaxPath;
  }

  int Plan(const std::vector<EntryInfo>& entries) {
    nodes_.emplace_back();
    nodes_[0].dir = nodes_[0].exists = true;
    entryNode_.assign(entries.size(), kNone);
    folderUnits_ = Utf16Length(folder_);
    reserved_ = fs_.Fold(kStagingPrefix);
    struct Pending {
      std::uint32_t parent;
      std::uint32_t entry;
      std::string name;
    };
    std::vector<Pending> pending;  // files whose path an entry of another name has taken
    std::string rel;
    for (std::uint32_t i = 0; i < entries.size(); ++i) {
      const EntryInfo& e = entries[i];
      NameVerdict v = SafeRelativePath(DecodeName(e.rawName, e.encoding), e.backslashIsSeparator, rel);
      if (v == NameVerdict::Unsafe) return kUnsafeName;
      if (e.isSymlink) {  // links are never created
        ++skippedLinks_;
        continue;
      }
      if (v == NameVerdict::Empty) {
        if (e.isDirectory) continue;  // the destination itself
        return kCorrupt;              // a file without a name
      }
      if (!Fits(rel)) return kTooLong;
      std::uint32_t at = 0;
      for (std::size_t start = 0;;) {
        std::size_t slash = rel.find('/', start);
        std::string part = rel.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        bool last = slash == std::string::npos;
        int rc = ResolveShortName(at, part);
        if (rc != kOk) return rc;
        std::uint32_t found = Find(at, part);
        if (last && !e.isDirectory) {
          if (found == kNone) {
            if ((rc = Add(at, std::move(part), false, found)) != kOk) return rc;
          } else if (nodes_[found].dir || NormalName(entries[nodes_[found].entry]) != NormalName(e)) {
            pending.push_back({at, i, std::move(part)});
            break;
          } else {
            entryNode_[nodes_[found].entry] = kNone;  // the later entry replaces the earlier
          }
          nodes_[found].entry = i;
          entryNode_[i] = found;
          break;
        }
        if (found == kNone) {
          if ((rc = Add(at, std::move(part), true, found)) != kOk) return rc;
        } else if (!nodes_[found].dir) {
          return kConflict;  // a file where a folder is needed
        }
        at = found;
        if (last) {
          dirTimes_[at] = e.mtime;  // the folder's own entry: its time
          break;
        }
        start = slash + 1;
      }
    }
    // Numbered names for the files that met another name's path: the first
    // "name (N).ext" that neither the archive nor the folder holds.
    std::unordered_map<std::string, int> next;
    for (Pending& p : pending) {
      std::size_t dot = p.name.rfind('.');
      if (dot == 0 || dot == std::string::npos) dot = p.name.size();
      std::string base = p.name.substr(0, dot), ext = p.name.substr(dot);
      int& n = next.try_emplace(std::to_string(p.parent) + "/" + fs_.Fold(p.name), 2).first->second;
      std::string parentRel = p.parent == 0 ? "" : Rel(p.parent) + "/";
      for (;; ++n) {
        std::string name = base + " (" + std::to_string(n) + ")" + ext;
        if (!Fits(parentRel + name)) return kTooLong;
        if (Find(p.parent, name) != kNone ||
            (nodes_[p.parent].exists && fs_.Kind(Join(Path(p.parent), name)) != PathKind::None))
          continue;
        std::uint32_t added;
        if (int rc = Add(p.parent, std::move(name), false, added); rc != kOk) return rc;
        nodes_[added].entry = p.entry;
        entryNode_[p.entry] = added;
        break;
      }
    }
    return kOk;
  }

  // A part spelt like the 8.3 alias of an existing item of another long name
  // means that item; no entry may go into a staging folder.
  int ResolveShortName(std::uint32_t parent, std::string& part) {
    if (nodes_[parent].exists && LooksShort(part)) {
      std::string longName, shortName;
      if (fs_.StoredNames(Join(Path(parent), part), longName, shortName) && fs_.Fold(longName) != fs_.Fold(part))
        part = longName;
    }
    if (parent == 0 && fs_.Fold(part).compare(0, reserved_.size(), reserved_) == 0) return kUnsafeName;
    return kOk;
  }

  int AskOverwrite() {
    int count = 0;
    for (const Node& n : nodes_)
      if (!n.dir && n.exists) ++count;
    if (count == 0) return kOk;
    switch (host_.AskOverwrite(count)) {
      case OverwriteAnswer::Yes: return kOk;
      case OverwriteAnswer::Cancel: return kCancelled;
      case OverwriteAnswer::No:
        for (Node& n : nodes_)
          if (!n.dir && n.exists) n.wanted = false;
        return kOk;
    }
    return kCancelled;
  }

  // The staging folder (its name holds the destination's time) and its
  // journal, flushed with its first line before anything else is made.
  bool MakeStaging() {
    fs_.GetTime(folder_, folderTime_);
    std::vector<std::string> refused;  // kept until another is found, so its alias is not given again
    for (int attempt = 0; attempt < 100 && staging_.empty(); ++attempt) {
      std::string name = StagingName(folderTime_, attempt);
      std::string path = Join(folder_, name);
      if (!fs_.MakeDir(path)) continue;
      // No entry may reach the folder by its 8.3 alias either.
      std::string longName, shortName;
      if (fs_.StoredNames(path, longName, shortName) && !shortName.empty() && Find(0, shortName) != kNone)
        refused.push_back(path);
      else
        staging_ = path;
    }
    for (const std::string& path : refused) fs_.RemoveDir(path);
    if (!staging_.empty()) {
      fs_.MarkHidden(staging_);
      journal_ = fs_.CreateNew(Join(staging_, kJournalName));
      std::string head = std::string(kJournalHeader) + "\n";
      return journal_ && journal_->Write(head.data(), head.size()) && journal_->Sync();
    }
    return false;
  }

  int Decode(ArchiveReader& reader) {
    for (std::uint32_t n = 1; n < nodes_.size(); ++n)
      if (nodes_[n].dir && !nodes_[n].exists && !fs_.MakeDir(Staged(n))) return kWriteError;
    zone_ = fs_.ReadZoneIdentifier(archive_);

    const std::vector<EntryInfo>& entries = reader.Entries();
    std::unique_ptr<StagingSink> current;
    std::size_t currentEntry = static_cast<std::size_t>(-1);
    int failure = kOk;
    // complete: the reader is done with the entry, so it must have its size.
    auto closeCurrent = [&](bool complete) {
      if (current) {
        if (!current->Close() && failure == kOk) failure = current->overflow() ? kCorrupt : kWriteError;
        if (complete && !current->complete() && failure == kOk) failure = kCorrupt;
        current.reset();
      }
    };
    auto sinkFor = [&](std::size_t entry) -> EntrySink* {
      if (failure != kOk) return nullptr;
      if (entry == currentEntry && current) return current.get();
      closeCurrent(true);
      currentEntry = entry;
      if (entry >= entryNode_.size() || entryNode_[entry] == kNone || failure != kOk) return nullptr;
      Node& node = nodes_[entryNode_[entry]];
      if (!node.wanted || node.staged) return nullptr;  // asked twice: the data is not wanted again
      auto file = fs_.CreateNew(Staged(entryNode_[entry]));
      if (!file) {
        failure = kWriteError;
        return nullptr;
      }
      node.staged = true;
      current = std::make_unique<StagingSink>(std::move(file), entries[entry].size);
      return current.get();
    };
    Status s = reader.ExtractAll(sinkFor);
    bool overflow = current && current->overflow();
    closeCurrent(s == Status::Ok);
    if (failure != kOk) return failure;
    if (s != Status::Ok) return (s == Status::Aborted && overflow) ? kCorrupt : FromStatus(s);

    // Every wanted file must now be staged with exactly its recorded size,
    // and carry the archive's mark and time.
    for (std::uint32_t n = 1; n < nodes_.size(); ++n) {
      Node& node = nodes_[n];
      if (node.dir || !node.wanted) continue;
      std::string staged = Staged(n);
      if (!node.staged) {  // the reader never asked for it: only an empty file may be so
        if (entries[node.entry].size != 0) return kCorrupt;
        auto file = fs_.CreateNew(staged);
        if (!file) return kWriteError;
        node.staged = true;
        if (!file->Close()) return kWriteError;
      }
      if (!zone_.empty()) fs_.WriteZoneIdentifier(staged, zone_);  // best effort: FAT has no streams
      fs_.SetTime(staged, entries[node.entry].mtime);
    }
    for (std::uint32_t n = 1; n < nodes_.size(); ++n)
      if (Moved(n) && !fs_.Identify(Staged(n), ids_[n])) return kWriteError;
    return kOk;
  }

  FileSystem& fs_;
  ExtractHost& host_;
  std::string folder_;
  std::string archive_;
  std::vector<Node> nodes_;
  std::vector<std::uint32_t> slots_;  // the index of nodes (Find)
  std::size_t indexed_ = 0;
  std::vector<std::uint32_t> entryNode_;                 // entry -> its file's node
  std::unordered_map<std::uint32_t, FileTime> dirTimes_;  // folder node -> its entry's time
  std::unordered_map<std::uint32_t, FileId> ids_;         // moved node -> its staged item
  std::size_t folderUnits_ = 0;
  std::string reserved_;  // folded staging prefix
  std::string staging_;
  std::string zone_;
  FileTime folderTime_;
  std::unique_ptr<OutputFile> journal_;
  bool committed_ = false;
  bool finished_ = false;
  std::size_t placedFiles_ = 0;
  std::size_t skippedLinks_ = 0;
};

}  // namespace

bool SplitCommandLine(std::string_view cmdline, std::string_view optionText, FileSystem& fs,
                      CommandLinePaths& out) {
  if (cmdline.substr(0, optionText.size()) != optionText) return false;
  std::string_view rest = cmdline.substr(optionText.size());
  if (rest.empty() || rest.back() != '\\') return false;
  rest.remove_suffix(1);
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] != ' ') continue;
    std::string archive(rest.substr(0, i));
    std::string folder(rest.substr(i + 1));
    if (archive.empty() || folder.empty()) continue;
    if (fs.Kind(archive, true) == PathKind::File && fs.Kind(folder, true) == PathKind::Directory) {
      out.archive = std::move(archive);
      out.folder = std::move(folder);
      return true;
    }
  }
  return false;
}

int RunArchiver(ExtractHost& host, std::string_view cmdline, std::string_view optionText,
                const std::function<std::unique_ptr<ArchiveReader>()>& makeReader, char* output,
                std::size_t outputSize, FileSystem* fsArg) {
  FileSystem& fs = fsArg ? *fsArg : PlatformFileSystem();
  CommandLinePaths paths;
  if (!SplitCommandLine(cmdline, optionText, fs, paths)) {
    SetOutput(output, outputSize, Describe(kBadCommandLine));
    return kBadCommandLine;
  }
  // One run at a time per folder; the first thing under the lock is to undo
  // (or finish) what a killed run left behind.
  std::unique_ptr<FolderLock> lock = fs.LockFolder(paths.folder, host.LockWaitMs());
  if (!lock) {
    SetOutput(output, outputSize, Describe(kBusy));
    return kBusy;
  }
  RecoverLeftovers(fs, host, paths.folder);
  std::unique_ptr<InputFile> input = fs.OpenRead(paths.archive);
  if (!input) {
    SetOutput(output, outputSize, Describe(kReadError));
    return kReadError;
  }
  std::unique_ptr<ArchiveReader> reader = makeReader();
  int rc = FromStatus(reader->Open(*input));
  if (rc != kOk) {
    SetOutput(output, outputSize, Describe(rc));
    return rc;
  }
  std::size_t files = 0, links = 0;
  {
    Extraction job(fs, host, paths.folder, paths.archive);
    rc = job.Prepare(*reader);
    reader.reset();
    input.reset();
    if (rc == kOk) rc = job.Place();
    job.Finish();
    files = job.placedFiles();
    links = job.skippedLinks();
  }
  if (rc != kOk) {
    SetOutput(output, outputSize, Describe(rc));
    return rc;
  }
  std::string msg = "extracted " + std::to_string(files) + " files";
  if (links) msg += ", skipped " + std::to_string(links) + " links";
  SetOutput(output, outputSize, msg);
  return kOk;
}

}  // namespace tarvex::extract
