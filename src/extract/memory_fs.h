// A file system in memory that behaves like a Windows volume, for the tests
// and the fuzz targets: names compare without regard to case (by the fold
// below), items may carry 8.3 aliases, read-only files refuse removal, files
// held open by someone else refuse rename and removal, the disk can fill up,
// any call of a kind can be made to fail, and the whole "process" can be
// killed at any changing call. Folder times follow Windows: adding, removing
// or renaming an item changes its folder's time (a logical clock).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "extract/fileio.h"

namespace tarvex::extract {

// An archive (or any file) in memory: a copy of a string, or a view of bytes
// that outlive it.
class MemoryInput final : public InputFile {
 public:
  explicit MemoryInput(std::string data) : owned_(std::move(data)), view_(owned_) {}
  MemoryInput(const void* data, std::size_t size) : view_(static_cast<const char*>(data), size) {}
  std::uint64_t Size() const override { return view_.size(); }
  std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t n) override;

 private:
  std::string owned_;
  std::string_view view_;
};

// Upper case of the common scripts (Latin, Greek, Cyrillic, full-width
// Latin), one code point to one, as Windows compares names.
std::string WindowsFold(std::string_view utf8);

class MemoryFs final : public FileSystem {
 public:
  // The calls that change the volume, counted for failures and kills.
  enum class Op { Create, Write, Sync, Close, MakeDir, Rename, RemoveFile, ClearReadOnly, RemoveDir, SetTime,
                  MarkHidden, WriteZone, kCount };
  // Thrown by the call chosen with KillAt; from then on every call fails
  // without effect, as for a process that has died.
  struct Killed {};

  explicit MemoryFs(bool shortNames = false);
  ~MemoryFs() override;

  // --- setting up (creates missing parent folders) ---
  void AddFile(const std::string& path, std::string data);
  void AddDir(const std::string& path);
  void AddOther(const std::string& path);  // a link or device: never written through
  void SetReadOnly(const std::string& path);
  void SetZone(const std::string& path, std::string data);
  // The file is held open by another program without delete sharing: it
  // cannot be renamed, replaced or removed. HoldOnArrival does that to the
  // next file that comes to the path (an indexer or virus scanner).
  void Hold(const std::string& path);
  void HoldOnArrival(const std::string& path);
  std::uint64_t freeSpace = UINT64_MAX;  // bytes the disk still takes

  // --- faults ---
  void FailAt(Op op, std::size_t nth);  // the nth call of that kind (from 0) fails without effect
  void FailChange(std::size_t nth);     // the nth changing call of any kind fails
  void KillAt(std::size_t nth);         // the nth changing call of any kind throws Killed
  void Revive();                        // a new process: locks and kills are gone
  std::size_t changes() const { return changes_; }
  // Called before every changing call, with its kind and path.
  std::function<void(Op, const std::string&)> beforeChange;

  // --- looking ---
  // Every item below dir by relative path: "d", or "f" and the contents, then
  // the time, and the marks (read-only, hidden, zone); with times, the
  // folder's own time as ".".
  std::map<std::string, std::string> Snapshot(const std::string& dir, bool times = true);
  std::string Read(const std::string& path);
  std::uint64_t Time(const std::string& path);
  std::string Zone(const std::string& path);

  // --- FileSystem ---
  std::unique_ptr<InputFile> OpenRead(const std::string& path) override;
  std::unique_ptr<OutputFile> CreateNew(const std::string& path) override;
  bool MakeDir(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to, bool replace) override;
  bool RemoveFile(const std::string& path) override;
  bool ClearReadOnly(const std::string& path) override;
  bool RemoveDir(const std::string& path) override;
  PathKind Kind(const std::string& path, bool followLinks = false) override;
  bool ListDir(const std::string& path, const std::function<void(const std::string&, PathKind)>& each) override;
  bool StoredNames(const std::string& path, std::string& longName, std::string& shortName) override;
  std::string Fold(std::string_view part) override { return WindowsFold(part); }
  bool Identify(const std::string& path, FileId& id) override;
  bool GetTime(const std::string& path, FileTime& time) override;
  bool SetTime(const std::string& path, const FileTime& time) override;
  void MarkHidden(const std::string& path) override;
  std::unique_ptr<FolderLock> LockFolder(const std::string& folder, int waitMs) override;
  std::string ReadZoneIdentifier(const std::string& path) override;
  bool WriteZoneIdentifier(const std::string& path, const std::string& data) override;

 private:
  struct Item;
  class Output;
  class Lock;
  struct Where {
    Item* parent = nullptr;
    Item* item = nullptr;
    std::string name;  // the last part as given
  };
  Where Find(const std::string& path);
  Item* Ensure(const std::string& path, int kind);
  Item* Attach(Item* parent, std::unique_ptr<Item> item);
  std::unique_ptr<Item> Detach(Item* parent, Item* item);
  bool Begin(Op op, const std::string& path);  // false: the call fails
  void Touch(Item* item);
  bool Busy(const Item* item) const;
  void Arrived(Item* item, const std::string& path);
  void Free(std::int64_t bytes);

  bool shortNames_;
  std::unique_ptr<Item> root_;
  std::uint64_t clock_ = 1;
  std::uint64_t nextId_ = 1;
  std::size_t changes_ = 0;
  std::size_t killAt_ = SIZE_MAX;
  bool dead_ = false;
  bool inHook_ = false;
  std::size_t calls_[static_cast<int>(Op::kCount)] = {};
  std::set<std::pair<int, std::size_t>> failures_;  // (kind, nth); kind kCount: any kind
  std::set<std::string> holdOnArrival_;  // folded paths
  std::shared_ptr<std::set<const Item*>> locked_;
  std::string key_;  // the folded name being looked up (its storage reused)
};

}  // namespace tarvex::extract
