// The file system in memory (see memory_fs.h).
#include "extract/memory_fs.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tarvex::extract {

std::int64_t MemoryInput::ReadAt(std::uint64_t offset, void* buffer, std::size_t n) {
  if (offset >= view_.size()) return 0;
  std::size_t k = std::min<std::size_t>(n, view_.size() - offset);
  std::memcpy(buffer, view_.data() + offset, k);
  return static_cast<std::int64_t>(k);
}

namespace {

char32_t Upper(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : c - 32;
  if (c == 0xFF) return 0x178;
  // Latin Extended-A: pairs of upper and lower case.
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & ~1u;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
  if (c >= 0x3B1 && c <= 0x3C9) return c == 0x3C2 ? 0x3A3 : c - 32;  // Greek, final sigma too
  if (c >= 0x430 && c <= 0x44F) return c - 32;                       // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 32;  // full-width Latin
  return c;
}

// The UTF-8 form of c (below U+110000) in out; returns its length.
int Encode(char32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

// The parts of a path, split at '/' and '\\' with empty parts skipped,
// one at a time: the next part from `at` on (and `at` moved past it);
// false when none is left.
bool NextPart(std::string_view path, std::size_t& at, std::string_view& part) {
  while (at < path.size() && (path[at] == '/' || path[at] == '\\')) ++at;
  if (at == path.size()) return false;
  const std::size_t start = at;
  while (at < path.size() && path[at] != '/' && path[at] != '\\') ++at;
  part = path.substr(start, at - start);
  return true;
}

bool IsLastPart(std::string_view path, std::size_t at) {
  std::string_view rest;
  return !NextPart(path, at, rest);
}

// Folds s into out (which is overwritten): the copy is changed in place, as
// every mapping keeps the length of the UTF-8 form; out's storage is reused.
void FoldInto(std::string& out, std::string_view s) {
  out.assign(s.data(), s.size());
  for (std::size_t i = 0; i < out.size();) {
    unsigned char b = static_cast<unsigned char>(out[i]);
    if (b < 0x80) {
      if (b >= 'a' && b <= 'z') out[i] = static_cast<char>(b - 32);
      ++i;
      continue;
    }
    int len = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > out.size()) {  // not UTF-8: compared as it is
      ++i;
      continue;
    }
    char32_t c = b & (0x7F >> len);
    for (int k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(out[i + k]) & 0x3F);
    char up[4];
    if (Encode(Upper(c), up) == len) std::memcpy(&out[i], up, static_cast<std::size_t>(len));
    i += len;
  }
}

std::string FoldedPath(const std::string& path) {
  std::string out, fold;
  std::size_t at = 0;
  for (std::string_view p; NextPart(path, at, p);) {
    FoldInto(fold, p);
    out += '/';
    out += fold;
  }
  return out;
}

bool ShortChar(char c) {
  return c > 0x20 && static_cast<unsigned char>(c) < 0x7F && !std::strchr("\"*+,./:;<=>?[\\]|", c);
}

// Whether a name needs no 8.3 alias: base of 1-8 and extension of 0-3 DOS characters.
bool FitsShort(const std::string& name) {
  std::size_t dot = name.find('.');
  std::string base = name.substr(0, dot);
  std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string::npos) return false;
  return std::all_of(base.begin(), base.end(), ShortChar) && std::all_of(ext.begin(), ext.end(), ShortChar);
}

std::string ShortPart(const std::string& s, std::size_t max) {
  std::string out;
  for (char c : s) {
    if (out.size() == max) break;
    if (c == ' ' || c == '.') continue;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    out += ShortChar(c) ? c : '_';
  }
  return out;
}

}  // namespace

std::string WindowsFold(std::string_view s) {
  std::string out;
  FoldInto(out, s);
  return out;
}

struct MemoryFs::Item {
  enum Type { kFile, kDir, kOther } type = kFile;
  std::string name, alias;
  Item* parent = nullptr;
  std::map<std::string, std::unique_ptr<Item>> children;  // by folded name
  std::map<std::string, Item*> aliases;                   // children by folded 8.3 alias
  std::string data, zone;
  FileTime time;
  std::uint64_t id = 0;
  bool readOnly = false, held = false, hidden = false;
  int writers = 0;
};

class MemoryFs::Output final : public OutputFile {
 public:
  Output(MemoryFs& fs, Item* item, std::string path) : fs_(fs), item_(item), path_(std::move(path)) {
    ++item_->writers;
  }
  ~Output() override {
    if (item_) --item_->writers;
  }
  bool Write(const void* data, std::size_t n) override {
    if (!item_ || !fs_.Begin(Op::Write, path_)) return false;
    if (fs_.freeSpace != UINT64_MAX && pending_.size() + n > fs_.freeSpace) return false;
    pending_.append(static_cast<const char*>(data), n);
    return true;
  }
  bool Sync() override { return item_ && fs_.Begin(Op::Sync, path_) && Flush(); }
  bool Close() override {
    if (!item_ || !fs_.Begin(Op::Close, path_)) return false;
    Flush();
    --item_->writers;
    item_ = nullptr;
    return true;
  }

 private:
  bool Flush() {
    if (!pending_.empty()) {
      item_->data += pending_;
      fs_.Free(-static_cast<std::int64_t>(pending_.size()));
      pending_.clear();
      fs_.Touch(item_);
    }
    return true;
  }
  MemoryFs& fs_;
  Item* item_;
  std::string path_;
  std::string pending_;  // lost when the process is killed before a flush
};

class MemoryFs::Lock final : public FolderLock {
 public:
  Lock(std::shared_ptr<std::set<const Item*>> set, const Item* item) : set_(std::move(set)), item_(item) {}
  ~Lock() override { set_->erase(item_); }

 private:
  std::shared_ptr<std::set<const Item*>> set_;
  const Item* item_;
};

MemoryFs::MemoryFs(bool shortNames)
    : shortNames_(shortNames), root_(std::make_unique<Item>()), locked_(std::make_shared<std::set<const Item*>>()) {
  root_->type = Item::kDir;
}

MemoryFs::~MemoryFs() = default;

MemoryFs::Where MemoryFs::Find(const std::string& path) {
  Where w;
  Item* at = root_.get();
  std::size_t pos = 0;
  for (std::string_view part; NextPart(path, pos, part);) {
    if (!at || at->type != Item::kDir) return Where{};
    Item* next = nullptr;
    FoldInto(key_, part);
    if (auto f = at->children.find(key_); f != at->children.end()) {
      next = f->second.get();
    } else if (auto a = at->aliases.find(key_); a != at->aliases.end()) {
      next = a->second;
    }
    if (IsLastPart(path, pos)) {
      w.parent = at;
      w.name = part;
    }
    at = next;
  }
  w.item = w.parent ? at : root_.get();
  return w;
}

MemoryFs::Item* MemoryFs::Attach(Item* parent, std::unique_ptr<Item> item) {
  item->parent = parent;
  item->alias.clear();
  if (shortNames_ && !FitsShort(item->name)) {
    std::string name = item->name.substr(item->name.find_first_not_of('.') == std::string::npos
                                             ? 0
                                             : item->name.find_first_not_of('.'));
    std::size_t dot = name.rfind('.');
    std::string base = ShortPart(name.substr(0, dot), 8);
    std::string ext = dot == std::string::npos ? "" : ShortPart(name.substr(dot + 1), 3);
    if (base.empty()) base.push_back('_');
    for (int n = 1;; ++n) {
      std::string num = std::to_string(n);
      std::string alias = base.substr(0, std::min<std::size_t>(base.size(), 7 - num.size()));
      alias += '~';
      alias += num;
      if (!ext.empty()) {
        alias += '.';
        alias += ext;
      }
      std::string key = WindowsFold(alias);
      if (!parent->children.count(key) && !parent->aliases.count(key)) {
        item->alias = alias;
        parent->aliases[key] = item.get();
        break;
      }
    }
  }
  Item* raw = item.get();
  parent->children[WindowsFold(raw->name)] = std::move(item);
  Touch(parent);
  return raw;
}

std::unique_ptr<MemoryFs::Item> MemoryFs::Detach(Item* parent, Item* item) {
  FoldInto(key_, item->name);
  auto f = parent->children.find(key_);
  if (!item->alias.empty()) {
    FoldInto(key_, item->alias);
    parent->aliases.erase(key_);
  }
  std::unique_ptr<Item> owned = std::move(f->second);
  parent->children.erase(f);
  Touch(parent);
  return owned;
}

MemoryFs::Item* MemoryFs::Ensure(const std::string& path, int type) {
  Item* at = root_.get();
  std::size_t pos = 0;
  for (std::string_view part; NextPart(path, pos, part);) {
    FoldInto(key_, part);
    auto f = at->children.find(key_);
    if (f != at->children.end()) {
      at = f->second.get();
      continue;
    }
    auto item = std::make_unique<Item>();
    item->name = std::string(part);
    item->type = IsLastPart(path, pos) ? static_cast<Item::Type>(type) : Item::kDir;
    item->id = nextId_++;
    at = Attach(at, std::move(item));
    Touch(at);
  }
  return at;
}

void MemoryFs::AddFile(const std::string& path, std::string data) {
  Item* item = Ensure(path, Item::kFile);
  item->data = std::move(data);
  Touch(item);
}
void MemoryFs::AddDir(const std::string& path) { Ensure(path, Item::kDir); }
void MemoryFs::AddOther(const std::string& path) { Ensure(path, Item::kOther); }
void MemoryFs::SetReadOnly(const std::string& path) { Ensure(path, Item::kFile)->readOnly = true; }
void MemoryFs::SetZone(const std::string& path, std::string data) { Ensure(path, Item::kFile)->zone = std::move(data); }
void MemoryFs::Hold(const std::string& path) { Ensure(path, Item::kFile)->held = true; }
void MemoryFs::HoldOnArrival(const std::string& path) { holdOnArrival_.insert(FoldedPath(path)); }
void MemoryFs::FailAt(Op op, std::size_t nth) { failures_.insert({static_cast<int>(op), nth}); }
void MemoryFs::FailChange(std::size_t nth) { failures_.insert({static_cast<int>(Op::kCount), nth}); }
void MemoryFs::KillAt(std::size_t nth) { killAt_ = nth; }
void MemoryFs::Free(std::int64_t bytes) {
  if (freeSpace != UINT64_MAX) freeSpace += static_cast<std::uint64_t>(bytes);
}
void MemoryFs::Revive() {
  dead_ = false;
  killAt_ = SIZE_MAX;
}

bool MemoryFs::Begin(Op op, const std::string& path) {
  if (dead_) return false;
  if (inHook_) return true;  // another program acting meanwhile: not counted
  std::size_t change = changes_++;
  if (change == killAt_) {
    dead_ = true;
    throw Killed{};
  }
  std::size_t nth = calls_[static_cast<int>(op)]++;
  if (beforeChange) {
    inHook_ = true;
    beforeChange(op, path);
    inHook_ = false;
  }
  return failures_.count({static_cast<int>(op), nth}) == 0 &&
         failures_.count({static_cast<int>(Op::kCount), change}) == 0;
}

void MemoryFs::Touch(Item* item) { item->time = {FileTime::Utc, clock_++}; }

bool MemoryFs::Busy(const Item* item) const {
  if (item->held || item->writers > 0) return true;
  for (auto& [key, child] : item->children)
    if (Busy(child.get())) return true;
  return false;
}

void MemoryFs::Arrived(Item* item, const std::string& path) {
  if (!holdOnArrival_.empty() && holdOnArrival_.erase(FoldedPath(path))) item->held = true;
}

std::map<std::string, std::string> MemoryFs::Snapshot(const std::string& dir, bool times) {
  std::map<std::string, std::string> out;
  std::function<void(const Item*, const std::string&)> walk = [&](const Item* at, const std::string& prefix) {
    for (auto& [key, c] : at->children) {
      std::string rel = prefix + c->name;
      std::string& v = out[rel];
      v.push_back(c->type == Item::kDir ? 'd' : c->type == Item::kOther ? 'o' : 'f');
      if (c->type == Item::kFile) v += c->data;
      if (times) {
        v += c->time.kind == FileTime::DosLocal ? "@dos" : "@";
        v += std::to_string(c->time.value);
      }
      if (c->readOnly) v += " read-only";
      if (c->hidden) v += " hidden";
      if (!c->zone.empty()) v += " zone=" + c->zone;
      if (c->type == Item::kDir) walk(c.get(), rel + "/");
    }
  };
  Where w = Find(dir);
  if (!w.item) return out;
  walk(w.item, "");
  if (times) out["."].append("@").append(std::to_string(w.item->time.value));
  return out;
}

std::string MemoryFs::Read(const std::string& path) {
  Where w = Find(path);
  return w.item && w.item->type == Item::kFile ? w.item->data : "<none>";
}

std::uint64_t MemoryFs::Time(const std::string& path) {
  Where w = Find(path);
  return w.item ? w.item->time.value : 0;
}

std::string MemoryFs::Zone(const std::string& path) {
  Where w = Find(path);
  return w.item ? w.item->zone : "";
}

std::unique_ptr<InputFile> MemoryFs::OpenRead(const std::string& path) {
  Where w = Find(path);
  if (dead_ || !w.item || w.item->type != Item::kFile) return nullptr;
  return std::make_unique<MemoryInput>(w.item->data);
}

std::unique_ptr<OutputFile> MemoryFs::CreateNew(const std::string& path) {
  if (!Begin(Op::Create, path)) return nullptr;
  Where w = Find(path);
  if (!w.parent || w.parent->type != Item::kDir || w.item) return nullptr;
  auto item = std::make_unique<Item>();
  item->name = w.name;
  item->id = nextId_++;
  Item* raw = Attach(w.parent, std::move(item));
  Touch(raw);
  Arrived(raw, path);
  return std::make_unique<Output>(*this, raw, path);
}

bool MemoryFs::MakeDir(const std::string& path) {
  if (!Begin(Op::MakeDir, path)) return false;
  Where w = Find(path);
  if (!w.parent || w.parent->type != Item::kDir || w.item) return false;
  auto item = std::make_unique<Item>();
  item->type = Item::kDir;
  item->name = w.name;
  item->id = nextId_++;
  Touch(Attach(w.parent, std::move(item)));
  return true;
}

bool MemoryFs::Rename(const std::string& from, const std::string& to, bool replace) {
  if (!Begin(Op::Rename, from)) return false;
  Where a = Find(from);
  Where b = Find(to);
  if (!a.item || a.item == root_.get() || !b.parent || b.parent->type != Item::kDir || Busy(a.item)) return false;
  for (const Item* p = b.parent; p; p = p->parent)
    if (p == a.item) return false;  // into itself
  if (b.item && b.item != a.item) {
    if (!replace || b.item->type != Item::kFile || a.item->type != Item::kFile || b.item->readOnly ||
        Busy(b.item))
      return false;
    Free(static_cast<std::int64_t>(b.item->data.size()));
    Detach(b.parent, b.item);
  }
  std::unique_ptr<Item> moving = Detach(a.parent, a.item);
  moving->name = b.name;
  Item* raw = Attach(b.parent, std::move(moving));
  Arrived(raw, to);
  return true;
}

bool MemoryFs::RemoveFile(const std::string& path) {
  if (!Begin(Op::RemoveFile, path)) return false;
  Where w = Find(path);
  if (!w.item || w.item->type == Item::kDir || w.item->readOnly || Busy(w.item)) return false;
  Free(static_cast<std::int64_t>(w.item->data.size()));
  Detach(w.parent, w.item);
  return true;
}

bool MemoryFs::ClearReadOnly(const std::string& path) {
  if (!Begin(Op::ClearReadOnly, path)) return false;
  Where w = Find(path);
  if (!w.item) return false;
  w.item->readOnly = false;
  return true;
}

bool MemoryFs::RemoveDir(const std::string& path) {
  if (!Begin(Op::RemoveDir, path)) return false;
  Where w = Find(path);
  if (!w.item || w.item == root_.get() || w.item->type != Item::kDir || !w.item->children.empty()) return false;
  Detach(w.parent, w.item);
  return true;
}

PathKind MemoryFs::Kind(const std::string& path, bool) {
  Where w = Find(path);
  if (dead_ || !w.item) return PathKind::None;
  return w.item->type == Item::kDir ? PathKind::Directory : w.item->type == Item::kFile ? PathKind::File
                                                                                        : PathKind::Other;
}

bool MemoryFs::ListDir(const std::string& path, const std::function<void(const std::string&, PathKind)>& each) {
  Where w = Find(path);
  if (dead_ || !w.item || w.item->type != Item::kDir) return false;
  std::vector<std::pair<std::string, PathKind>> list;
  for (auto& [key, c] : w.item->children)
    list.push_back({c->name, c->type == Item::kDir    ? PathKind::Directory
                             : c->type == Item::kFile ? PathKind::File
                                                      : PathKind::Other});
  for (auto& [name, kind] : list) each(name, kind);
  return true;
}

bool MemoryFs::StoredNames(const std::string& path, std::string& longName, std::string& shortName) {
  Where w = Find(path);
  if (dead_ || !w.item || w.item == root_.get()) return false;
  longName = w.item->name;
  shortName = w.item->alias;
  return true;
}

bool MemoryFs::Identify(const std::string& path, FileId& id) {
  Where w = Find(path);
  if (dead_ || !w.item) return false;
  id = {1, 0, w.item->id};
  return true;
}

bool MemoryFs::GetTime(const std::string& path, FileTime& time) {
  Where w = Find(path);
  if (dead_ || !w.item) return false;
  time = w.item->time;
  return true;
}

bool MemoryFs::SetTime(const std::string& path, const FileTime& time) {
  if (!Begin(Op::SetTime, path)) return false;
  Where w = Find(path);
  if (!w.item || time.kind == FileTime::None) return false;
  w.item->time = time;
  return true;
}

void MemoryFs::MarkHidden(const std::string& path) {
  if (!Begin(Op::MarkHidden, path)) return;
  Where w = Find(path);
  if (w.item) w.item->hidden = true;
}

std::unique_ptr<FolderLock> MemoryFs::LockFolder(const std::string& folder, int) {
  Where w = Find(folder);
  if (dead_ || !w.item) return nullptr;
  if (!locked_->insert(w.item).second) return nullptr;  // held by another run: no waiting here
  return std::make_unique<Lock>(locked_, w.item);
}

std::string MemoryFs::ReadZoneIdentifier(const std::string& path) { return Zone(path); }

bool MemoryFs::WriteZoneIdentifier(const std::string& path, const std::string& data) {
  if (!Begin(Op::WriteZone, path)) return false;
  Where w = Find(path);
  if (!w.item || w.item->type != Item::kFile) return false;
  w.item->zone = data;
  Touch(w.item);
  return true;
}

}  // namespace tarvex::extract
