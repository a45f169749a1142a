// ZIP reader: see zip_reader.h for what it accepts. The archive is read as
// the format lays it out from its end: the end of central directory record
// (and the ZIP64 end record it may point to), the central directory, then
// each entry's local header before its data.
#include "extract/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <string_view>

#include "extract/le_bytes.h"
#include "extract/utf8.h"

namespace tarvex::extract {

namespace {

// Values that mean "the real value is in the ZIP64 record or field".
constexpr std::uint16_t kMarker16 = 0xFFFF;
constexpr std::uint32_t kMarker32 = 0xFFFFFFFF;

// End of central directory record; offsets from its signature.
namespace eocd {
constexpr std::uint32_t kSignature = 0x06054b50;
constexpr std::size_t kSize = 22;
constexpr std::size_t kDisk = 4, kCentralDisk = 6;           // 16 bits each
constexpr std::size_t kEntriesHere = 8, kEntriesTotal = 10;  // 16 bits each
constexpr std::size_t kCentralSize = 12, kCentralOffset = 16;  // 32 bits each
constexpr std::size_t kCommentLength = 20;
constexpr std::size_t kMaxComment = 65535;
}  // namespace eocd

// ZIP64 end of central directory locator, right before the end record.
namespace zip64locator {
constexpr std::uint32_t kSignature = 0x07064b50;
constexpr std::size_t kSize = 20;
constexpr std::size_t kRecordDisk = 4;    // 32 bits
constexpr std::size_t kRecordOffset = 8;  // 64 bits
constexpr std::size_t kDiskCount = 16;    // 32 bits
}  // namespace zip64locator

// ZIP64 end of central directory record (its fixed part).
namespace zip64eocd {
constexpr std::uint32_t kSignature = 0x06064b50;
constexpr std::size_t kSize = 56;
constexpr std::size_t kDisk = 16, kCentralDisk = 20;            // 32 bits each
constexpr std::size_t kEntriesHere = 24, kEntriesTotal = 32;    // 64 bits each
constexpr std::size_t kCentralSize = 40, kCentralOffset = 48;  // 64 bits each
}  // namespace zip64eocd

// Central directory file header, followed by name, extra field and comment.
namespace central {
constexpr std::uint32_t kSignature = 0x02014b50;
constexpr std::size_t kSize = 46;
constexpr std::size_t kMadeBy = 4, kFlags = 8, kMethod = 10, kTime = 12, kDate = 14;  // 16 bits each
constexpr std::size_t kCrc = 16, kCompressedSize = 20, kUncompressedSize = 24;        // 32 bits each
constexpr std::size_t kNameLength = 28, kExtraLength = 30, kCommentLength = 32, kDiskStart = 34;
constexpr std::size_t kExternalAttributes = 38, kLocalOffset = 42;  // 32 bits each
}  // namespace central

// Local file header, followed by name, extra field and the entry's data.
namespace local {
constexpr std::uint32_t kSignature = 0x04034b50;
constexpr std::size_t kSize = 30;
constexpr std::size_t kFlags = 6, kNameLength = 26, kExtraLength = 28;  // 16 bits each
}  // namespace local

// Extra fields: id and length (16 bits each), then the data.
constexpr std::size_t kExtHeaderSize = 4;
constexpr std::uint16_t kExtZip64 = 0x0001;        // sizes, offset, disk: the values marked
constexpr std::uint16_t kExtNtfs = 0x000A;         // reserved 32 bits, then tagged attributes
constexpr std::uint16_t kExtUnixTime = 0x5455;     // flags, then 32-bit Unix times
constexpr std::uint16_t kExtUnicodePath = 0x7075;  // version, CRC-32 of the header name, UTF-8 name
constexpr std::size_t kNtfsReserved = 4;
constexpr std::uint16_t kNtfsTimesTag = 1;         // modified, accessed, created FILETIMEs
constexpr std::size_t kNtfsTimesSize = 24;
constexpr std::uint8_t kUnixTimeHasModified = 0x01;
constexpr std::uint8_t kUnicodePathVersion = 1;
constexpr std::size_t kUnicodePathHeader = 5;  // version and CRC

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kMethodStored = 0, kMethodDeflated = 8, kMethodAes = 99;
constexpr int kHostUnix = 3, kHostMacOs = 19;
constexpr std::uint32_t kUnixTypeMask = 0xF000, kUnixSymlink = 0xA000, kUnixDirectory = 0x4000;
constexpr std::uint32_t kDosDirectory = 0x10;

// Sequential reads through a window, for the central directory and the
// local headers (read in offset order); never larger than the file.
class Window {
 public:
  explicit Window(InputFile& f)
      : f_(f), buf_(static_cast<std::size_t>(std::min<std::uint64_t>(f.Size(), 1 << 16))) {}
  // Makes [offset, offset+n) available; returns a pointer into the window.
  Status Get(std::uint64_t offset, std::size_t n, const std::uint8_t*& out) {
    if (offset > f_.Size() || n > f_.Size() - offset) return Status::Corrupt;
    if (offset < start_ || offset + n > start_ + len_) {
      if (n > buf_.size()) buf_.resize(n);
      const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(buf_.size(), f_.Size() - offset));
      const std::int64_t r = f_.ReadAt(offset, buf_.data(), want);
      if (r < 0) return Status::IoError;
      start_ = offset;
      len_ = static_cast<std::size_t>(r);
      if (len_ < n) return Status::Corrupt;
    }
    out = buf_.data() + (offset - start_);
    return Status::Ok;
  }

 private:
  InputFile& f_;
  std::vector<std::uint8_t> buf_;
  std::uint64_t start_ = 0;
  std::size_t len_ = 0;
};

bool SameName(const std::string& a, const std::uint8_t* b, std::size_t n) {
  if (a.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const char x = a[i] == '\\' ? '/' : a[i];
    const char y = b[i] == '\\' ? '/' : static_cast<char>(b[i]);
    if (x != y) return false;
  }
  return true;
}

// Whether the file starts like a ZIP (a local header): then a missing end
// record means damage rather than another format.
Status NoEndRecord(InputFile& file) {
  std::uint8_t head[4];
  if (ReadExact(file, 0, head, sizeof head) == Status::Ok && Le32(head) == local::kSignature)
    return Status::Corrupt;
  return Status::NotThisFormat;
}

// What the end records say about the central directory.
struct Directory {
  std::uint64_t endPos = 0;  // file offset of the end record (or of the ZIP64 one)
  std::uint32_t disk = 0, centralDisk = 0;
  std::uint64_t entriesHere = 0, entries = 0;
  std::uint64_t size = 0, offset = 0;
  bool zip64 = false;
};

// Finds the end record: the last signature whose comment reaches exactly to
// the end of the file, else the last one whose comment fits in the file.
Status FindEndRecord(InputFile& file, Directory& dir) {
  const std::uint64_t size = file.Size();
  const auto tailLen = static_cast<std::size_t>(std::min<std::uint64_t>(size, eocd::kSize + eocd::kMaxComment + 1024));
  if (tailLen < eocd::kSize) return NoEndRecord(file);
  std::vector<std::uint8_t> tail(tailLen);
  const Status st = ReadExact(file, size - tailLen, tail.data(), tailLen);
  if (st != Status::Ok) return st == Status::Corrupt ? Status::IoError : st;
  // Every signature in the tail, found by its first byte (memchr rather
  // than a look at each of up to 66 KB positions); the last of each kind wins.
  std::int64_t endAt = -1, fallback = -1;
  const std::size_t lastStart = tailLen - eocd::kSize;
  for (std::size_t i = 0; i <= lastStart; ++i) {
    const void* hit = std::memchr(&tail[i], eocd::kSignature & 0xFF, lastStart + 1 - i);
    if (hit == nullptr) break;
    i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - tail.data());
    const std::uint8_t* e = &tail[i];
    if (Le32(e) != eocd::kSignature) continue;
    const std::uint64_t commentEnd = i + eocd::kSize + Le16(e + eocd::kCommentLength);
    if (commentEnd == tailLen) endAt = static_cast<std::int64_t>(i);
    else if (commentEnd < tailLen) fallback = static_cast<std::int64_t>(i);
  }
  if (endAt < 0) endAt = fallback;
  if (endAt < 0) return NoEndRecord(file);
  const std::uint8_t* e = &tail[static_cast<std::size_t>(endAt)];
  dir.endPos = size - tailLen + static_cast<std::uint64_t>(endAt);
  dir.disk = Le16(e + eocd::kDisk);
  dir.centralDisk = Le16(e + eocd::kCentralDisk);
  dir.entriesHere = Le16(e + eocd::kEntriesHere);
  dir.entries = Le16(e + eocd::kEntriesTotal);
  dir.size = Le32(e + eocd::kCentralSize);
  dir.offset = Le32(e + eocd::kCentralOffset);
  return Status::Ok;
}

// Reads the ZIP64 end record through its locator right before the end
// record. When there is one, its values replace every value of the classic
// record, whatever the writer left there.
Status ReadZip64EndRecord(InputFile& file, Directory& dir) {
  if (dir.endPos < zip64locator::kSize) return Status::Ok;
  const std::uint64_t locatorPos = dir.endPos - zip64locator::kSize;
  std::uint8_t loc[zip64locator::kSize];
  Status st = ReadExact(file, locatorPos, loc, sizeof loc);
  if (st != Status::Ok) return st;
  if (Le32(loc) != zip64locator::kSignature) return Status::Ok;
  if (Le32(loc + zip64locator::kRecordDisk) != 0 || Le32(loc + zip64locator::kDiskCount) > 1)
    return Status::Unsupported;
  std::uint8_t z[zip64eocd::kSize];
  std::uint64_t zpos = Le64(loc + zip64locator::kRecordOffset);
  bool found = zpos <= locatorPos && locatorPos - zpos >= sizeof z && ReadExact(file, zpos, z, sizeof z) == Status::Ok &&
               Le32(z) == zip64eocd::kSignature;
  if (!found && locatorPos >= sizeof z) {  // a prefix moved it: try right before the locator
    zpos = locatorPos - sizeof z;
    found = ReadExact(file, zpos, z, sizeof z) == Status::Ok && Le32(z) == zip64eocd::kSignature;
  }
  if (!found) return Status::Corrupt;
  dir.zip64 = true;
  dir.endPos = zpos;
  dir.disk = Le32(z + zip64eocd::kDisk);
  dir.centralDisk = Le32(z + zip64eocd::kCentralDisk);
  dir.entriesHere = Le64(z + zip64eocd::kEntriesHere);
  dir.entries = Le64(z + zip64eocd::kEntriesTotal);
  dir.size = Le64(z + zip64eocd::kCentralSize);
  dir.offset = Le64(z + zip64eocd::kCentralOffset);
  return Status::Ok;
}

// Where the central directory really is: at its recorded offset, or, for an
// archive with bytes in front of it (a self-extractor), right before the end
// records; delta is then the length of those bytes.
Status LocateCentralDirectory(InputFile& file, const Directory& dir, std::uint64_t& start, std::uint64_t& delta) {
  if (dir.size > dir.endPos) return Status::Corrupt;
  delta = 0;
  std::uint8_t sig[4];
  if (dir.size == 0) {
    if (dir.entries != 0) return Status::Corrupt;
    start = dir.endPos;
    delta = dir.endPos >= dir.offset ? dir.endPos - dir.offset : 0;
    return Status::Ok;
  }
  if (dir.offset + dir.size <= dir.endPos && ReadExact(file, dir.offset, sig, 4) == Status::Ok &&
      Le32(sig) == central::kSignature) {
    start = dir.offset;
    return Status::Ok;
  }
  const std::uint64_t actual = dir.endPos - dir.size;
  if (actual < dir.offset || ReadExact(file, actual, sig, 4) != Status::Ok || Le32(sig) != central::kSignature)
    return Status::Corrupt;
  start = actual;
  delta = actual - dir.offset;
  return Status::Ok;
}

// One central directory entry: the header fields and what its extra fields add.
struct CentralEntry {
  std::uint16_t madeBy = 0, flags = 0, method = 0, dosTime = 0, dosDate = 0;
  std::uint32_t crc = 0, externalAttributes = 0;
  std::uint64_t compressedSize = 0, size = 0, localOffset = 0;
  std::uint32_t diskStart = 0;
  std::string name;        // as stored in the header
  std::string unicodeName;  // from a valid Unicode path field
  FileTime ntfsTime, unixTime;
};

// The ZIP64 field holds, in this order, the values marked in the header.
bool TakeZip64Values(const std::uint8_t* d, std::size_t len, CentralEntry& c) {
  std::size_t at = 0;
  for (std::uint64_t* field : {&c.size, &c.compressedSize, &c.localOffset}) {
    if (*field != kMarker32) continue;
    if (at + 8 > len) return false;  // a value needed and missing
    *field = Le64(d + at);
    at += 8;
  }
  if (c.diskStart == kMarker16 && at + 4 <= len) c.diskStart = Le32(d + at);
  return true;
}

// The extra fields of a central entry. Optional fields that fail their own
// checks are ignored; only a ZIP64 field that lacks a needed value is damage.
bool TakeExtraFields(const std::uint8_t* x, std::size_t extraLen, CentralEntry& c) {
  const std::uint8_t* const end = x + extraLen;
  while (static_cast<std::size_t>(end - x) >= kExtHeaderSize) {
    const std::uint16_t id = Le16(x), len = Le16(x + 2);
    const std::uint8_t* d = x + kExtHeaderSize;
    if (len > end - d) break;  // a damaged extra field: ignore the rest
    if (id == kExtZip64) {
      if (!TakeZip64Values(d, len, c)) return false;
    } else if (id == kExtUnicodePath && len > kUnicodePathHeader && d[0] == kUnicodePathVersion &&
               !(c.flags & kFlagUtf8)) {
      // Valid only while it belongs to the stored name (its CRC matches) and
      // is UTF-8; beside the UTF-8 flag the stored name rules.
      const std::string_view path(reinterpret_cast<const char*>(d + kUnicodePathHeader), len - kUnicodePathHeader);
      const auto nameCrc = static_cast<std::uint32_t>(
          crc32(0L, reinterpret_cast<const Bytef*>(c.name.data()), static_cast<uInt>(c.name.size())));
      if (Le32(d + 1) == nameCrc && utf8::IsValid(path)) c.unicodeName.assign(path);
    } else if (id == kExtUnixTime && len >= 5 && (d[0] & kUnixTimeHasModified)) {
      c.unixTime = FileTimeFromUnix(static_cast<std::int32_t>(Le32(d + 1)));
    } else if (id == kExtNtfs && len >= kNtfsReserved) {
      for (std::size_t at = kNtfsReserved; at + 4 <= len;) {
        const std::uint16_t tag = Le16(d + at), tagLen = Le16(d + at + 2);
        at += 4;
        if (tagLen > len - at) break;
        if (tag == kNtfsTimesTag && tagLen >= kNtfsTimesSize && Le64(d + at) != 0)
          c.ntfsTime = {FileTime::Utc, Le64(d + at)};
        at += tagLen;
      }
    }
    x = d + len;
  }
  return true;
}

CentralEntry CentralFields(const std::uint8_t* h, const std::uint8_t* name) {
  CentralEntry c;
  c.madeBy = Le16(h + central::kMadeBy);
  c.flags = Le16(h + central::kFlags);
  c.method = Le16(h + central::kMethod);
  c.dosTime = Le16(h + central::kTime);
  c.dosDate = Le16(h + central::kDate);
  c.crc = Le32(h + central::kCrc);
  c.compressedSize = Le32(h + central::kCompressedSize);
  c.size = Le32(h + central::kUncompressedSize);
  c.diskStart = Le16(h + central::kDiskStart);
  c.externalAttributes = Le32(h + central::kExternalAttributes);
  c.localOffset = Le32(h + central::kLocalOffset);
  c.name.assign(reinterpret_cast<const char*>(name), Le16(h + central::kNameLength));
  return c;
}

// The entry as the engine sees it.
EntryInfo ToEntryInfo(const CentralEntry& c) {
  EntryInfo info;
  const int host = c.madeBy >> 8;
  const std::uint32_t unixMode = c.externalAttributes >> 16;
  if (!c.unicodeName.empty()) {
    info.rawName = c.unicodeName;
    info.encoding = NameEncoding::Utf8;
  } else {
    info.rawName = c.name;
    // Zips made on Unix or macOS without the UTF-8 flag nearly always hold
    // UTF-8 names (the system's own encoding); CP932 text is almost never
    // well-formed UTF-8, so such names are read as UTF-8. Names from DOS and
    // Windows hosts stay CP932.
    const bool utf8 = (c.flags & kFlagUtf8) ||
                      ((host == kHostUnix || host == kHostMacOs) && utf8::IsValidMultibyte(c.name));
    info.encoding = utf8 ? NameEncoding::Utf8 : NameEncoding::Cp932;
  }
  info.backslashIsSeparator = true;
  info.isSymlink = host == kHostUnix && (unixMode & kUnixTypeMask) == kUnixSymlink;
  const bool endsInSlash = !c.name.empty() && (c.name.back() == '/' || c.name.back() == '\\');
  info.isDirectory = endsInSlash || (c.size == 0 && (c.externalAttributes & kDosDirectory) && !info.isSymlink) ||
                     (host == kHostUnix && (unixMode & kUnixTypeMask) == kUnixDirectory && c.size == 0);
  info.size = info.isDirectory ? 0 : c.size;
  info.dosAttributes = c.externalAttributes & 0xFF;
  if (c.ntfsTime.kind != FileTime::None) info.mtime = c.ntfsTime;
  else if (c.unixTime.kind != FileTime::None) info.mtime = c.unixTime;
  else info.mtime = {FileTime::DosLocal, (static_cast<std::uint64_t>(c.dosDate) << 16) | c.dosTime};
  return info;
}

}  // namespace

Status ZipReader::Open(InputFile& file) {
  file_ = &file;
  entries_.clear();
  layout_.clear();
  storedNames_.clear();
  Directory dir;
  Status st = FindEndRecord(file, dir);
  if (st == Status::Ok) st = ReadZip64EndRecord(file, dir);
  if (st != Status::Ok) return st;
  if (dir.disk != 0 || dir.centralDisk != 0 || dir.entriesHere != dir.entries) return Status::Unsupported;
  std::uint64_t delta = 0;
  if ((st = LocateCentralDirectory(file, dir, centralStart_, delta)) != Status::Ok) return st;
  if ((st = ReadCentralDirectory(dir.size, delta, dir.entries)) != Status::Ok) return st;
  // The count in the end record must agree with the entries found (the
  // 16-bit count of a plain end record wraps above 65,535 entries).
  const std::uint64_t found = entries_.size();
  if (dir.zip64 ? found != dir.entries : (found & 0xFFFF) != (dir.entries & 0xFFFF)) return Status::Corrupt;
  return CheckLocalHeaders();
}

Status ZipReader::ReadCentralDirectory(std::uint64_t size, std::uint64_t delta, std::uint64_t entries) {
  // Room for the entries the end record announces, as far as the directory
  // can hold them: no copies while the lists grow.
  const auto room = static_cast<std::size_t>(std::min(entries, size / central::kSize));
  entries_.reserve(room);
  layout_.reserve(room);
  Window win(*file_);
  std::uint64_t pos = centralStart_;
  const std::uint64_t stop = centralStart_ + size;
  while (pos + central::kSize <= stop) {
    const std::uint8_t* h;
    Status st = win.Get(pos, central::kSize, h);
    if (st != Status::Ok) return st;
    if (Le32(h) != central::kSignature) break;  // e.g. a digital signature record
    const std::size_t nameLen = Le16(h + central::kNameLength), extraLen = Le16(h + central::kExtraLength);
    const std::size_t varLen = nameLen + extraLen + Le16(h + central::kCommentLength);
    if (pos + central::kSize + varLen > stop) return Status::Corrupt;
    // The whole entry in one piece: a second read may move the window.
    if ((st = win.Get(pos, central::kSize + varLen, h)) != Status::Ok) return st;
    const std::uint8_t* v = h + central::kSize;
    CentralEntry c = CentralFields(h, v);
    if (!TakeExtraFields(v + nameLen, extraLen, c)) return Status::Corrupt;
    // A disk number marked as ZIP64 without its value tells nothing: the end
    // record already says that the archive is one file.
    if (c.diskStart != 0 && c.diskStart != kMarker16) return Status::Unsupported;
    // Encrypted and AES entries cannot be extracted without a password;
    // methods other than stored and deflated are not decoded.
    if ((c.flags & (kFlagEncrypted | kFlagStrongEncryption)) || c.method == kMethodAes) return Status::Unsupported;
    if (c.method != kMethodStored && c.method != kMethodDeflated) return Status::Unsupported;

    EntryInfo info = ToEntryInfo(c);
    if (c.method == kMethodStored && !info.isDirectory && c.compressedSize != c.size) return Status::Corrupt;
    if (c.localOffset > UINT64_MAX - delta) return Status::Corrupt;
    Layout lay;
    lay.method = c.method;
    lay.crc = c.crc;
    lay.compressedSize = c.compressedSize;
    lay.offset = c.localOffset + delta;
    lay.otherStoredName = !c.unicodeName.empty();
    if (lay.otherStoredName) storedNames_.emplace_back(entries_.size(), std::move(c.name));
    entries_.push_back(std::move(info));
    layout_.push_back(lay);
    pos += central::kSize + varLen;
  }
  return Status::Ok;
}

Status ZipReader::CheckLocalHeaders() {
  order_.resize(entries_.size());
  std::iota(order_.begin(), order_.end(), std::size_t{0});
  std::sort(order_.begin(), order_.end(),
            [&](std::size_t a, std::size_t b) { return layout_[a].offset < layout_[b].offset; });
  Window win(*file_);
  std::uint64_t previousEnd = 0;
  for (std::size_t i : order_) {
    Layout& lay = layout_[i];
    // Entries may not share bytes: an entry starts after the previous one's data.
    if (lay.offset < previousEnd) return Status::Corrupt;
    const std::uint8_t* h;
    Status st = win.Get(lay.offset, local::kSize, h);
    if (st != Status::Ok) return st;
    if (Le32(h) != local::kSignature) return Status::Corrupt;
    if (Le16(h + local::kFlags) & (kFlagEncrypted | kFlagStrongEncryption)) return Status::Unsupported;
    const std::size_t nameLen = Le16(h + local::kNameLength), extraLen = Le16(h + local::kExtraLength);
    const std::uint8_t* name;
    if ((st = win.Get(lay.offset + local::kSize, nameLen, name)) != Status::Ok) return st;
    const std::string* central = &entries_[i].rawName;
    if (lay.otherStoredName)
      central = &std::lower_bound(storedNames_.begin(), storedNames_.end(), i,
                                  [](const auto& stored, std::size_t index) { return stored.first < index; })
                     ->second;
    if (!SameName(*central, name, nameLen)) return Status::Corrupt;
    lay.offset += local::kSize + nameLen + extraLen;  // now the data's offset
    if (lay.compressedSize > centralStart_ || lay.offset > centralStart_ - lay.compressedSize)
      return Status::Corrupt;
    previousEnd = lay.offset + lay.compressedSize;
  }
  storedNames_.clear();
  storedNames_.shrink_to_fit();
  return Status::Ok;
}

ZipReader::~ZipReader() {
  if (zInit_) inflateEnd(static_cast<z_stream*>(z_));
  delete static_cast<z_stream*>(z_);
}

Status ZipReader::ExtractAll(const std::function<EntrySink*(std::size_t)>& sinkFor) {
  if (!file_) return Status::IoError;
  // Buffers as large as the largest entry needs, up to their limits (left
  // uncleared: only bytes read or decoded into them are used).
  std::uint64_t packed = 1, unpacked = 1;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    packed = std::max(packed, layout_[i].compressedSize);
    unpacked = std::max(unpacked, entries_[i].size);
  }
  inSize_ = static_cast<std::size_t>(std::min<std::uint64_t>(packed, kInBuffer));
  outSize_ = static_cast<std::size_t>(std::min<std::uint64_t>(unpacked, kOutBuffer));  // stored: packed == unpacked
  in_.reset(new std::uint8_t[inSize_]);
  out_.reset(new std::uint8_t[outSize_]);
  for (std::size_t i : order_) {
    EntrySink* sink = sinkFor(i);
    if (entries_[i].isDirectory) continue;
    Status st = ExtractOne(i, sink);
    if (st != Status::Ok) return st;
  }
  return Status::Ok;
}

Status ZipReader::ExtractOne(std::size_t index, EntrySink* sink) {
  const Layout& lay = layout_[index];
  const std::uint64_t expected = entries_[index].size;
  std::uint32_t crc = static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
  std::uint64_t produced = 0;
  std::uint64_t inPos = lay.offset;
  std::uint64_t inLeft = lay.compressedSize;

  if (lay.method == kMethodStored) {
    while (inLeft > 0) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(inLeft, outSize_));
      Status st = ReadExact(*file_, inPos, out_.get(), n);
      if (st != Status::Ok) return st;
      crc = static_cast<std::uint32_t>(crc32_z(crc, out_.get(), n));
      if (sink && !sink->Write(out_.get(), n)) return Status::Aborted;
      inPos += n;
      inLeft -= n;
      produced += n;
    }
  } else {
    auto* z = static_cast<z_stream*>(z_);
    if (!z) {
      z = new z_stream();
      z_ = z;
    }
    if (!zInit_) {
      std::memset(z, 0, sizeof *z);
      if (inflateInit2(z, -MAX_WBITS) != Z_OK) return Status::IoError;
      zInit_ = true;
    } else if (inflateReset(z) != Z_OK) {
      return Status::IoError;
    }
    z->avail_in = 0;
    bool ended = false;
    while (!ended) {
      if (z->avail_in == 0 && inLeft > 0) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(inLeft, inSize_));
        Status st = ReadExact(*file_, inPos, in_.get(), n);
        if (st != Status::Ok) return st;
        inPos += n;
        inLeft -= n;
        z->next_in = in_.get();
        z->avail_in = static_cast<uInt>(n);
      }
      z->next_out = out_.get();
      z->avail_out = static_cast<uInt>(outSize_);
      int r = inflate(z, Z_NO_FLUSH);
      std::size_t got = outSize_ - z->avail_out;
      if (r == Z_STREAM_END) ended = true;
      else if (r == Z_BUF_ERROR) {
        if (z->avail_in == 0 && inLeft == 0) return Status::Corrupt;  // data ends inside the stream
      } else if (r != Z_OK) {
        return Status::Corrupt;
      }
      if (got > expected - produced) return Status::Corrupt;  // more data than the entry holds
      if (got) {
        crc = static_cast<std::uint32_t>(crc32_z(crc, out_.get(), got));
        if (sink && !sink->Write(out_.get(), got)) return Status::Aborted;
        produced += got;
      }
    }
  }
  if (produced != expected || crc != lay.crc) return Status::Corrupt;
  return Status::Ok;
}

}  // namespace tarvex::extract
