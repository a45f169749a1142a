// The shared extraction engine: command line, safe names, the overwrite
// question, staging and all-or-nothing placement.
#include "extract/engine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "extract/fileio.h"

namespace tarvex::extract {

namespace {

void SetOutput(char* output, std::size_t size, const std::string& text) {
  if (!output || size == 0) return;
  std::size_t n = std::min(size - 1, text.size());
  std::memcpy(output, text.data(), n);
  output[n] = '\0';
}

// Case-insensitive key for names that Windows treats as one (ASCII letters).
std::string FoldKey(const std::string& rel) {
  std::string k = rel;
  for (char& c : k)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return k;
}

std::string Join(const std::string& folder, const std::string& rel) {
  if (folder.empty()) return rel;
  char last = folder.back();
  if (last == '/' || last == '\\') return folder + rel;
  return folder + "/" + rel;
}

std::string Parent(const std::string& rel) {
  std::size_t p = rel.rfind('/');
  return p == std::string::npos ? std::string() : rel.substr(0, p);
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
  }
  return "error";
}

// One planned output: a file or a directory below the destination.
struct Item {
  std::size_t entry = 0;
  std::string rel;       // safe relative path, '/'-separated
  bool isDir = false;
  bool wanted = true;    // false: skipped (kept existing file, superseded, link)
  bool exists = false;   // a file of that name is in the destination already
  FileTime mtime;
  std::string staged;    // staging file name
  bool stagedCreated = false;
  std::uint64_t written = 0;
};

// Buffered writer into one staging file. Keeps the byte count for the size
// check and refuses more bytes than the entry can hold.
class StagingSink final : public EntrySink {
 public:
  StagingSink(std::unique_ptr<OutputFile> file, Item& item, std::uint64_t limit)
      : file_(std::move(file)), item_(item), limit_(limit) {}
  bool Write(const std::uint8_t* data, std::size_t n) override {
    if (failed_) return false;
    if (n > limit_ - item_.written) {
      overflow_ = true;
      failed_ = true;
      return false;
    }
    item_.written += n;
    if (!file_->Write(data, n)) {
      failed_ = true;
      return false;
    }
    return true;
  }
  bool Close() {
    bool ok = file_->Close() && !failed_;
    return ok;
  }
  bool overflow() const { return overflow_; }
  bool failed() const { return failed_; }

 private:
  std::unique_ptr<OutputFile> file_;
  Item& item_;
  std::uint64_t limit_;
  bool failed_ = false;
  bool overflow_ = false;
};

class Extraction {
 public:
  Extraction(FileSystem& fs, ExtractHost& host, std::string folder)
      : fs_(fs), host_(host), folder_(std::move(folder)) {}
  ~Extraction() { Cleanup(); }

  // Everything up to a fully decoded and checked staging folder.
  int Prepare(ArchiveReader& reader) {
    int rc = Plan(reader.Entries());
    if (rc != kOk) return rc;
    rc = AskOverwrite();
    if (rc != kOk) return rc;
    if (!MakeStaging()) return kWriteError;
    return Decode(reader);
  }

  std::size_t placedFiles() const { return placedFiles_; }
  std::size_t skippedLinks() const { return skippedLinks_; }

 private:
  int Plan(const std::vector<EntryInfo>& entries) {
    std::map<std::string, std::size_t> byKey;  // folded path -> index in items_
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const EntryInfo& e = entries[i];
      std::string rel;
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
      Item item;
      item.entry = i;
      item.rel = rel;
      item.isDir = e.isDirectory;
      item.mtime = e.mtime;
      std::string key = FoldKey(rel);
      auto found = byKey.find(key);
      if (found != byKey.end()) {
        Item& prev = items_[found->second];
        if (prev.isDir && item.isDir) continue;  // the same folder twice
        if (prev.isDir != item.isDir) return kConflict;
        prev.wanted = false;  // a later entry of the same name replaces it
        found->second = items_.size();
      } else {
        byKey.emplace(key, items_.size());
      }
      items_.push_back(std::move(item));
    }
    // Every parent of an item must be a folder: no entry may be a file that
    // another entry needs as a folder.
    for (const Item& it : items_) {
      for (std::string p = Parent(it.rel); !p.empty(); p = Parent(p)) {
        auto f = byKey.find(FoldKey(p));
        if (f != byKey.end() && !items_[f->second].isDir) return kConflict;
        dirs_.insert(p);
      }
      if (it.isDir) dirs_.insert(it.rel);
      topLevel_.insert(FoldKey(it.rel.substr(0, it.rel.find('/'))));
    }
    // A first path part that names nothing in the destination starts a new
    // tree: it is built whole inside the staging folder and moved into place
    // in one step, and nothing below it needs checking against the folder.
    // Parts spelt in more than one case are left to the one-by-one way.
    std::map<std::string, std::string> spelling;  // folded first part -> spelling
    std::set<std::string> mixed;
    for (const Item& it : items_) {
      std::string top = Top(it.rel);
      auto [f, added] = spelling.emplace(FoldKey(top), top);
      if (!added && f->second != top) mixed.insert(f->first);
    }
    for (const auto& [key, top] : spelling)
      if (!mixed.count(key) && fs_.Kind(Join(folder_, top)) == PathKind::None) newTops_.insert(top);
    // Compare the rest with what the destination holds already.
    for (const std::string& d : dirs_) {
      if (newTops_.count(Top(d))) continue;
      PathKind k = fs_.Kind(Join(folder_, d));
      if (k != PathKind::None && k != PathKind::Directory) return kConflict;
    }
    for (Item& it : items_) {
      if (it.isDir || !it.wanted || newTops_.count(Top(it.rel))) continue;
      PathKind k = fs_.Kind(Join(folder_, it.rel));
      if (k == PathKind::File) it.exists = true;
      else if (k != PathKind::None) return kConflict;
    }
    return kOk;
  }

  static std::string Top(const std::string& rel) { return rel.substr(0, rel.find('/')); }
  bool InNewTree(const std::string& rel) const { return newTops_.count(Top(rel)) != 0; }

  // Where an item is staged: inside the new tree's copy, or a numbered file.
  std::string StagedPath(const Item& it, std::size_t& counter) const {
    if (InNewTree(it.rel)) return Join(newTree_, it.rel);
    char name[32];
    std::snprintf(name, sizeof name, "f%06zu", counter++);
    return Join(staging_, name);
  }

  int AskOverwrite() {
    int count = 0;
    for (const Item& it : items_)
      if (it.wanted && it.exists) ++count;
    if (count == 0) return kOk;
    switch (host_.AskOverwrite(count)) {
      case OverwriteAnswer::Yes: return kOk;
      case OverwriteAnswer::Cancel: return kCancelled;
      case OverwriteAnswer::No:
        for (Item& it : items_)
          if (it.exists) it.wanted = false;
        return kOk;
    }
    return kCancelled;
  }

  bool MakeStaging() {
    auto tick = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
      char name[64];
      std::snprintf(name, sizeof name, ".tarvex-staging-%llx-%d", tick & 0xFFFFFFFFull, attempt);
      if (topLevel_.count(FoldKey(name))) continue;  // an entry of that name is planned
      std::string path = Join(folder_, name);
      if (fs_.MakeDir(path)) {
        staging_ = path;
        fs_.MarkHidden(path);
        return MakeNewTreeFolders();
      }
    }
    return false;
  }

  bool MakeNewTreeFolders() {
    if (newTops_.empty()) return true;
    newTree_ = Join(staging_, "n");
    if (!fs_.MakeDir(newTree_)) return false;
    for (const std::string& d : dirs_) {  // parents before children
      if (!InNewTree(d)) continue;
      std::string path = Join(newTree_, d);
      if (fs_.MakeDir(path)) {
        stagingDirs_.push_back(path);
      } else if (fs_.Kind(path) == PathKind::Directory) {
        // The file system ignores a case difference the names have: the
        // folder is shared, and a first part is then moved only once.
        if (d.find('/') == std::string::npos) mergedTops_.insert(d);
      } else {
        return false;
      }
    }
    return true;
  }

  int Decode(ArchiveReader& reader) {
    // entry index -> item, for the wanted files only
    std::map<std::size_t, std::size_t> wantedByEntry;
    for (std::size_t i = 0; i < items_.size(); ++i)
      if (items_[i].wanted && !items_[i].isDir) wantedByEntry[items_[i].entry] = i;

    const std::vector<EntryInfo>& entries = reader.Entries();
    std::unique_ptr<StagingSink> current;
    std::size_t currentEntry = static_cast<std::size_t>(-1);
    int failure = kOk;
    std::size_t counter = 0;

    auto closeCurrent = [&]() {
      if (current) {
        if (!current->Close() && failure == kOk)
          failure = current->overflow() ? kCorrupt : kWriteError;
        current.reset();
      }
    };

    auto sinkFor = [&](std::size_t entry) -> EntrySink* {
      if (failure != kOk) return nullptr;
      if (entry == currentEntry && current) return current.get();
      closeCurrent();
      currentEntry = entry;
      auto f = wantedByEntry.find(entry);
      if (f == wantedByEntry.end() || failure != kOk) return nullptr;
      Item& it = items_[f->second];
      if (it.stagedCreated) return nullptr;  // asked twice: the data is not wanted again
      it.staged = StagedPath(it, counter);
      auto file = fs_.CreateNew(it.staged);
      if (!file) {
        failure = kWriteError;
        return nullptr;
      }
      it.stagedCreated = true;
      current = std::make_unique<StagingSink>(std::move(file), it, entries[entry].size);
      return current.get();
    };

    Status s = reader.ExtractAll(sinkFor);
    bool overflow = current && current->overflow();
    closeCurrent();
    if (failure != kOk) return failure;
    if (s != Status::Ok) return (s == Status::Aborted && overflow) ? kCorrupt : FromStatus(s);

    // Every wanted file must now be staged with exactly its recorded size.
    for (Item& it : items_) {
      if (!it.wanted || it.isDir) continue;
      if (!it.stagedCreated) {
        if (entries[it.entry].size != 0) return kCorrupt;
        it.staged = StagedPath(it, counter);
        auto file = fs_.CreateNew(it.staged);
        if (!file) return kWriteError;
        it.stagedCreated = true;
        if (!file->Close()) return kWriteError;
      }
      if (it.written != entries[it.entry].size) return kCorrupt;
      fs_.SetTime(it.staged, entries[it.entry].mtime);
    }
    return kOk;
  }

 public:
  // Moves the staged files into place (the archive is closed by then, so
  // that even an entry of the archive's own name can replace it).
  int Place() {
    // Folders first, shallow before deep (std::set orders a parent before its children).
    std::set<std::string> created;
    for (const std::string& d : dirs_) {
      if (InNewTree(d)) continue;
      std::string path = Join(folder_, d);
      if (fs_.Kind(path) == PathKind::Directory) continue;
      if (!fs_.MakeDir(path)) return kWriteError;
      createdDirs_.push_back(path);
      created.insert(d);
    }
    std::size_t backupCounter = 0;
    for (Item& it : items_) {
      if (!it.wanted || it.isDir || InNewTree(it.rel)) continue;
      std::string target = Join(folder_, it.rel);
      if (it.exists) {
        // Keep the old file in the staging folder until the whole call has
        // succeeded, so that a later failure can put it back.
        char name[32];
        std::snprintf(name, sizeof name, "b%06zu", backupCounter++);
        std::string backup = Join(staging_, name);
        if (!fs_.Rename(target, backup, false)) return kWriteError;
        backups_.push_back({backup, target});
      }
      if (!fs_.Rename(it.staged, target, false)) return kWriteError;
      placed_.push_back({it.staged, target});
    }
    for (const std::string& top : newTops_) {
      if (mergedTops_.count(top)) continue;
      std::string from = Join(newTree_, top), to = Join(folder_, top);
      if (!fs_.Rename(from, to, false)) return kWriteError;
      placed_.push_back({from, to});
    }
    // Folder times last: placing files inside a folder changes its time.
    for (const Item& it : items_)
      if (it.isDir && (InNewTree(it.rel) || created.count(it.rel)))
        fs_.SetTime(Join(folder_, it.rel), it.mtime);
    for (const Item& it : items_)
      if (it.wanted && !it.isDir) ++placedFiles_;
    committed_ = true;
    return kOk;
  }

 private:
  // Undoes everything not committed, then removes the staging folder.
  void Cleanup() {
    if (!committed_) {
      for (auto p = placed_.rbegin(); p != placed_.rend(); ++p)
        if (!fs_.Rename(p->second, p->first, false)) RemoveFromDestination(p->first, p->second);
      for (auto b = backups_.rbegin(); b != backups_.rend(); ++b) fs_.Rename(b->first, b->second, true);
      for (auto d = createdDirs_.rbegin(); d != createdDirs_.rend(); ++d) fs_.RemoveDir(*d);
    }
    if (staging_.empty()) return;
    if (!committed_) {  // after success all of this has been moved away
      for (const Item& it : items_)
        if (it.stagedCreated) fs_.RemoveFile(it.staged);
      for (auto d = stagingDirs_.rbegin(); d != stagingDirs_.rend(); ++d) fs_.RemoveDir(*d);
    }
    for (const auto& b : backups_) fs_.RemoveFile(b.first);
    if (!newTree_.empty()) fs_.RemoveDir(newTree_);
    fs_.RemoveDir(staging_);
    staging_.clear();
  }

  // Last resort when something placed cannot be moved back: remove it.
  void RemoveFromDestination(const std::string& staged, const std::string& placed) {
    if (newTree_.empty() || staged.compare(0, newTree_.size() + 1, newTree_ + "/") != 0) {
      fs_.RemoveFile(placed);
      return;
    }
    std::string top = staged.substr(newTree_.size() + 1);  // a whole new tree
    for (const Item& it : items_)
      if (it.stagedCreated && Top(it.rel) == top) fs_.RemoveFile(Join(folder_, it.rel));
    for (auto d = dirs_.rbegin(); d != dirs_.rend(); ++d)
      if (Top(*d) == top) fs_.RemoveDir(Join(folder_, *d));
  }

  FileSystem& fs_;
  ExtractHost& host_;
  std::string folder_;
  std::vector<Item> items_;
  std::set<std::string> dirs_;
  std::set<std::string> topLevel_;  // folded first parts of all planned paths
  std::set<std::string> newTops_;   // first parts that start a new tree
  std::set<std::string> mergedTops_;
  std::string newTree_;             // staging copy of the new trees
  std::vector<std::string> stagingDirs_;
  std::string staging_;
  std::vector<std::string> createdDirs_;
  std::vector<std::pair<std::string, std::string>> placed_;   // staged, target
  std::vector<std::pair<std::string, std::string>> backups_;  // backup, original
  bool committed_ = false;
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
    Extraction job(fs, host, paths.folder);
    rc = job.Prepare(*reader);
    reader.reset();
    input.reset();
    if (rc == kOk) rc = job.Place();
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
