// LZH reader: see lzh_reader.h. An archive is a sequence of members, each a
// header and its compressed data, ended by a zero byte. Four header levels
// exist: levels 0 and 1 start with a header of at most 257 bytes protected by
// an 8-bit checksum (level 1 followed by extended headers), levels 2 and 3
// with one 16- or 32-bit sized header that holds the extended headers and
// whose integrity a CRC-16 extended header guards.
#include "extract/lzh_reader.h"

#include <algorithm>
#include <cstring>

#include "extract/le_bytes.h"
#include "extract/utf8.h"

namespace tarvex::extract {
namespace lzh {
namespace {

// Offsets of the base header fields shared by every level.
constexpr std::size_t kMethodId = 2;       // five bytes, "-lh5-"
constexpr std::size_t kPackedSize = 7;     // 32 bits (level 1: data and extended headers)
constexpr std::size_t kOriginalSize = 11;  // 32 bits
constexpr std::size_t kTime = 15;          // levels 0, 1: DOS date and time; 2, 3: Unix time
constexpr std::size_t kLevel = 20;
constexpr std::uint8_t kMaxLevel = 3;
constexpr std::size_t kFixedPart = 22;     // up to and including the level (and name length)
// Levels 0 and 1: size and checksum of the base header, attribute, name.
constexpr std::size_t kHeaderSize01 = 0;    // 8 bits: bytes after the first two
constexpr std::size_t kChecksum01 = 1;      // 8-bit sum of those bytes
constexpr std::size_t kAttribute01 = 19;
constexpr std::size_t kNameLength01 = 21;
constexpr std::size_t kName01 = 22;         // then CRC (16 bits); level 1: OS id, first extended size
constexpr std::size_t kLevel1Tail = 5;      // CRC, OS id, first extended header size
// Level 0 Unix extension after the CRC: 'U', version, mtime (32), mode, uid, gid (16 each).
constexpr std::size_t kUnixExtension0 = 12;
constexpr std::size_t kUnixExtensionTime = 2, kUnixExtensionMode = 6;
// Levels 2 and 3.
constexpr std::size_t kHeaderSize2 = 0;     // 16 bits: the whole header
constexpr std::size_t kCrc23 = 21;          // 16 bits: CRC of the data
constexpr std::size_t kOsId23 = 23;
constexpr std::size_t kFirstExt2 = 24;      // 16-bit size of the first extended header
constexpr std::size_t kMinSize2 = 26;
constexpr std::size_t kSizeFieldWidth3 = 0; // 16 bits: 4, the width of level 3 size fields
constexpr std::size_t kHeaderSize3 = 24;    // 32 bits: the whole header
constexpr std::size_t kFirstExt3 = 28;      // 32-bit size of the first extended header
constexpr std::size_t kMinSize3 = 32;
constexpr std::size_t kBaseRead = 28;       // bytes read to tell the level (and level 3's size)

// Extended headers: size, id, data (the size counts all three).
constexpr std::uint8_t kExtCommon = 0x00;         // CRC-16 of the whole header
constexpr std::uint8_t kExtFileName = 0x01;
constexpr std::uint8_t kExtDirName = 0x02;        // 0xFF-separated folders
constexpr std::uint8_t kExtDosAttributes = 0x40;
constexpr std::uint8_t kExtWindowsTimes = 0x41;   // creation, last write, last access FILETIMEs
constexpr std::uint8_t kExtFileSizes = 0x42;      // 64-bit packed and original size
constexpr std::uint8_t kExtUnixPermission = 0x50;
constexpr std::uint8_t kExtUnixTime = 0x54;
constexpr char kDirSeparator = '\xFF';

// Systems (OS id byte) whose archivers wrote names in capitals: generic
// (level 0 has no id), MS-DOS, OS/2, Atari. And Unix.
constexpr std::uint8_t kOsGeneric = 0, kOsMsDos = 'M', kOsOs2 = '2', kOsAtari = 'a', kOsUnix = 'U';

constexpr std::size_t kMaxExtHeader = 64 * 1024;        // one level-1 extended header
constexpr std::uint64_t kMaxHeader = 1024 * 1024;       // a whole header, any level
constexpr std::uint64_t kScanPlain = 64 * 1024;         // search range in other files
constexpr std::uint64_t kScanExecutable = 1024 * 1024;  // search range in an .exe
constexpr std::uint32_t kDosAttributesKept = 0x27;      // read-only, hidden, system, archive
constexpr std::uint16_t kUnixTypeMask = 0xF000, kUnixSymlink = 0xA000;

bool LooksLikeMethodId(const std::uint8_t* p) {
  return p[0] == '-' && p[4] == '-' && p[1] >= 0x20 && p[1] < 0x7F && p[2] >= 0x20 && p[2] < 0x7F &&
         p[3] >= 0x20 && p[3] < 0x7F;
}

bool IsCp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Position of the first '|' that is a character of its own: in CP932 the byte
// 0x7C can also be the second byte of a double-byte character.
std::size_t FindLinkBar(const std::string& s, NameEncoding enc) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '|') return i;
    if (enc == NameEncoding::Cp932 && IsCp932Lead(c)) ++i;
  }
  return std::string::npos;
}

// Lowers the ASCII letters of a CP932 name that has no small letter; the
// bytes of double-byte characters are kept.
void LowerCapitalsOnlyName(std::string& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (IsCp932Lead(static_cast<unsigned char>(s[i]))) ++i;
    else if (s[i] >= 'a' && s[i] <= 'z') return;
  }
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (IsCp932Lead(static_cast<unsigned char>(s[i]))) ++i;
    else if (s[i] >= 'A' && s[i] <= 'Z') s[i] = static_cast<char>(s[i] - 'A' + 'a');
  }
}

// What the level-specific fields and the extended headers contribute.
struct Extras {
  std::uint8_t osId = kOsGeneric;
  std::string baseName;  // levels 0, 1
  bool haveName = false;
  std::string name;
  std::string dir;
  bool haveCrc = false;
  std::uint16_t headerCrc = 0;
  std::size_t crcAt = 0;  // offset of the header CRC field within the header bytes
  bool haveAttr = false;
  std::uint32_t attr = 0;
  bool haveUnixMode = false;
  std::uint16_t unixMode = 0;
  bool haveUnixTime = false;
  std::uint32_t unixTime = 0;
  bool haveFileTime = false;
  std::uint64_t fileTime = 0;
  bool haveSizes = false;
  std::uint64_t packed64 = 0, original64 = 0;
};

// One extended header: id byte at hdr[at], data of dataLen bytes after it.
void TakeExtended(const std::vector<std::uint8_t>& hdr, std::size_t at, std::size_t dataLen, Extras& x) {
  const std::uint8_t* d = hdr.data() + at + 1;
  switch (hdr[at]) {
    case kExtCommon:
      if (dataLen >= 2) {
        x.haveCrc = true;
        x.headerCrc = Le16(d);
        x.crcAt = at + 1;
      }
      break;
    case kExtFileName:
      x.haveName = true;
      x.name.assign(reinterpret_cast<const char*>(d), dataLen);
      break;
    case kExtDirName:
      x.dir.assign(reinterpret_cast<const char*>(d), dataLen);
      break;
    case kExtDosAttributes:
      if (dataLen >= 2) {
        x.haveAttr = true;
        x.attr = Le16(d);
      }
      break;
    case kExtWindowsTimes:
      if (dataLen >= 24) {
        x.haveFileTime = true;
        x.fileTime = Le64(d + 8);  // last write
      }
      break;
    case kExtFileSizes:
      if (dataLen >= 16) {
        x.haveSizes = true;
        x.packed64 = Le64(d);
        x.original64 = Le64(d + 8);
      }
      break;
    case kExtUnixPermission:
      if (dataLen >= 2) {
        x.haveUnixMode = true;
        x.unixMode = Le16(d);
      }
      break;
    case kExtUnixTime:
      if (dataLen >= 4) {
        x.haveUnixTime = true;
        x.unixTime = Le32(d);
      }
      break;
    default: break;  // comments, owners and others carry nothing used here
  }
}

// Walks a chain of extended headers held inside hdr, starting with the size
// field at hdr[at]. sizeBytes is 2 (level 2) or 4 (level 3).
bool WalkChain(const std::vector<std::uint8_t>& hdr, std::size_t at, std::size_t sizeBytes, Extras& x) {
  for (int count = 0;; ++count) {
    if (at + sizeBytes > hdr.size()) return false;
    const std::uint64_t size = sizeBytes == 2 ? Le16(hdr.data() + at) : Le32(hdr.data() + at);
    if (size == 0) return true;
    const std::size_t start = at + sizeBytes;  // the id byte
    if (size < 1u + sizeBytes || size > hdr.size() - start || count > 4096) return false;
    TakeExtended(hdr, start, static_cast<std::size_t>(size) - 1 - sizeBytes, x);
    at = start + static_cast<std::size_t>(size) - sizeBytes;
  }
}

// Reads the header bytes [offset, offset + n) into hdr (from `at` on).
Status ReadHeaderBytes(InputFile& file, std::uint64_t offset, std::vector<std::uint8_t>& hdr, std::size_t at,
                       std::size_t n) {
  hdr.resize(at + n);
  return ReadExact(file, offset, hdr.data() + at, n);
}

// Levels 0 and 1: the base header, its checksum, name and CRC; level 0's Unix
// extension; level 1's extended headers, which follow the base header and
// count towards its packed size.
Status ParseLevel01(InputFile& file, std::uint64_t offset, const std::uint8_t* fixed, std::vector<std::uint8_t>& hdr,
                    Member& m, Extras& x) {
  const std::size_t total = static_cast<std::size_t>(fixed[kHeaderSize01]) + 2;
  const std::size_t nameLen = fixed[kNameLength01];
  const std::size_t afterName = kName01 + nameLen;
  if (total < afterName || (m.level == 1 && total < afterName + kLevel1Tail)) return Status::NotThisFormat;
  Status st = ReadHeaderBytes(file, offset, hdr, 0, total);
  if (st != Status::Ok) return st;
  unsigned sum = 0;
  for (std::size_t i = kChecksum01 + 1; i < total; ++i) sum += hdr[i];
  if ((sum & 0xFF) != hdr[kChecksum01]) return Status::NotThisFormat;
  // A header too short to hold the CRC of the data is damage.
  if (total < afterName + 2) return Status::Corrupt;
  x.baseName.assign(reinterpret_cast<const char*>(hdr.data() + kName01), nameLen);
  m.info.mtime = {FileTime::DosLocal, Le32(hdr.data() + kTime)};
  m.packedSize = Le32(hdr.data() + kPackedSize);
  m.info.size = Le32(hdr.data() + kOriginalSize);
  m.crc = Le16(hdr.data() + afterName);
  m.info.dosAttributes = hdr[kAttribute01];
  m.dataOffset = offset + total;
  if (m.level == 0) {
    const std::uint8_t* ext = hdr.data() + afterName + 2;
    if (total == afterName + 2 + kUnixExtension0 && ext[0] == kOsUnix) {
      x.osId = kOsUnix;
      x.haveUnixTime = true;
      x.unixTime = Le32(ext + kUnixExtensionTime);
      x.haveUnixMode = true;
      x.unixMode = Le16(ext + kUnixExtensionMode);
    }
    return Status::Ok;
  }
  x.osId = hdr[afterName + 2];
  std::uint64_t next = Le16(hdr.data() + total - 2);
  std::uint64_t extTotal = 0;
  for (int count = 0; next != 0; ++count) {
    if (next < 3 || next > kMaxExtHeader || count > 4096 || hdr.size() + next > kMaxHeader) return Status::Corrupt;
    const std::size_t at = hdr.size();
    if ((st = ReadHeaderBytes(file, offset + at, hdr, at, static_cast<std::size_t>(next))) != Status::Ok) return st;
    TakeExtended(hdr, at, static_cast<std::size_t>(next) - 3, x);
    extTotal += next;
    next = Le16(hdr.data() + hdr.size() - 2);
  }
  if (extTotal > m.packedSize) return Status::Corrupt;
  m.packedSize -= extTotal;
  m.dataOffset += extTotal;
  return Status::Ok;
}

// Level 2: one header of 16-bit size holding the extended headers.
Status ParseLevel2(InputFile& file, std::uint64_t offset, const std::uint8_t* fixed, std::uint64_t avail,
                   std::vector<std::uint8_t>& hdr, Extras& x) {
  const std::size_t total = Le16(fixed + kHeaderSize2);
  if (total < kMinSize2) return Status::NotThisFormat;
  if (total > avail) return Status::Corrupt;
  const Status st = ReadHeaderBytes(file, offset, hdr, 0, total);
  if (st != Status::Ok) return st;
  return WalkChain(hdr, kFirstExt2, 2, x) ? Status::Ok : Status::Corrupt;
}

// Level 3: one header of 32-bit size, extended headers with 32-bit sizes.
Status ParseLevel3(InputFile& file, std::uint64_t offset, const std::uint8_t* fixed, std::uint64_t avail,
                   std::vector<std::uint8_t>& hdr, Extras& x) {
  if (Le16(fixed + kSizeFieldWidth3) != 4) return Status::NotThisFormat;
  if (avail < kMinSize3) return Status::Corrupt;
  const std::uint64_t total = Le32(fixed + kHeaderSize3);
  if (total < kMinSize3 || total > kMaxHeader || total > avail) return Status::Corrupt;
  const Status st = ReadHeaderBytes(file, offset, hdr, 0, static_cast<std::size_t>(total));
  if (st != Status::Ok) return st;
  return WalkChain(hdr, kFirstExt3, 4, x) ? Status::Ok : Status::Corrupt;
}

// The entry's name: folder part and file name, lowered when it comes in
// capitals from a system without case, its encoding, and whether it is a
// directory or a link.
void SetName(Member& m, const Extras& x) {
  std::string dir = x.dir;
  if (!dir.empty() && dir.back() != kDirSeparator && dir.back() != '/') dir.push_back('/');
  std::string raw = dir + (x.haveName ? x.name : x.baseName);
  // 0xFF is neither a lead nor a trail byte in CP932 (nor part of UTF-8), so
  // it can be turned into '/' before the name is decoded.
  std::replace(raw.begin(), raw.end(), kDirSeparator, '/');
  // A name with no small letter from a system without case in file names is
  // given in lower case, as the reference reader does.
  if (x.osId == kOsGeneric || x.osId == kOsMsDos || x.osId == kOsOs2 || x.osId == kOsAtari)
    LowerCapitalsOnlyName(raw);
  m.info.encoding = x.osId == kOsUnix && utf8::IsValidMultibyte(raw) ? NameEncoding::Utf8 : NameEncoding::Cp932;
  m.info.backslashIsSeparator = true;
  m.info.isDirectory = m.method == Method::Lhd;
  // A Unix symbolic link is stored as "name|target".
  const bool modeSaysLink = x.haveUnixMode && (x.unixMode & kUnixTypeMask) == kUnixSymlink;
  const std::size_t bar = FindLinkBar(raw, m.info.encoding);
  if (bar != std::string::npos) raw.resize(bar);
  if (bar != std::string::npos || modeSaysLink) {
    m.info.isSymlink = true;
    m.info.isDirectory = false;
  }
  m.info.rawName = std::move(raw);
}

}  // namespace

Status ParseHeader(InputFile& file, std::uint64_t offset, Member& m, bool* atEnd) {
  if (atEnd) *atEnd = false;
  const std::uint64_t fileSize = file.Size();
  if (offset >= fileSize) {
    if (atEnd) *atEnd = true;
    return Status::NotThisFormat;
  }
  std::uint8_t fixed[kBaseRead] = {};
  const std::uint64_t avail = fileSize - offset;
  const auto fixedLen = static_cast<std::size_t>(std::min<std::uint64_t>(avail, sizeof fixed));
  Status st = ReadExact(file, offset, fixed, fixedLen);
  if (st != Status::Ok) return st;
  // A lone zero byte (or the end of the file) ends the archive. A level-2
  // header whose size is a multiple of 256 also starts with a zero byte.
  const bool level2ish = fixedLen >= kFixedPart && fixed[kLevel] == 2 && LooksLikeMethodId(fixed + kMethodId);
  if (fixed[0] == 0 && !level2ish) {
    if (atEnd) *atEnd = true;
    return Status::NotThisFormat;
  }
  if (fixedLen < kFixedPart || !LooksLikeMethodId(fixed + kMethodId)) return Status::NotThisFormat;

  m = Member{};
  m.level = fixed[kLevel];
  m.headerOffset = offset;
  m.methodId.assign(reinterpret_cast<const char*>(fixed + kMethodId), 5);
  m.method = MethodFromId(fixed + kMethodId);
  Extras x;
  std::vector<std::uint8_t> hdr;
  switch (m.level) {
    case 0:
    case 1: st = ParseLevel01(file, offset, fixed, hdr, m, x); break;
    case 2: st = ParseLevel2(file, offset, fixed, avail, hdr, x); break;
    case 3: st = ParseLevel3(file, offset, fixed, avail, hdr, x); break;
    default: return Status::NotThisFormat;
  }
  if (st != Status::Ok) return st;
  if (m.level >= 2) {
    m.packedSize = Le32(hdr.data() + kPackedSize);
    m.info.size = Le32(hdr.data() + kOriginalSize);
    m.crc = Le16(hdr.data() + kCrc23);
    x.osId = hdr[kOsId23];
    if (const std::uint32_t t = Le32(hdr.data() + kTime); t != 0) m.info.mtime = FileTimeFromUnix(t);
    m.dataOffset = offset + hdr.size();
  }
  if (x.haveSizes) {
    m.packedSize = x.packed64;
    m.info.size = x.original64;
  }
  if (x.haveCrc) {
    std::vector<std::uint8_t> copy(hdr);
    copy[x.crcAt] = copy[x.crcAt + 1] = 0;
    if (Crc16(0, copy.data(), copy.size()) != x.headerCrc) return Status::Corrupt;
  }
  m.headerVerified = m.level < 2 || x.haveCrc;

  // Times: a Windows FILETIME beats a Unix time, which beats the DOS time.
  if (x.haveFileTime && x.fileTime != 0) m.info.mtime = {FileTime::Utc, x.fileTime};
  else if (x.haveUnixTime && x.unixTime != 0 && m.level < 2) m.info.mtime = FileTimeFromUnix(x.unixTime);
  if (m.info.mtime.kind == FileTime::DosLocal && m.info.mtime.value == 0) m.info.mtime.kind = FileTime::None;
  if (x.haveAttr) m.info.dosAttributes = x.attr;
  m.info.dosAttributes &= kDosAttributesKept;
  SetName(m, x);
  return Status::Ok;
}

Status FindFirstHeader(InputFile& file, std::uint64_t& offset) {
  const std::uint64_t size = file.Size();
  std::uint8_t sig[4] = {};
  const std::int64_t got = file.ReadAt(0, sig, sizeof sig);
  if (got < 0) return Status::IoError;
  if (got >= 4) {
    // ZIP and CAB files are left to their own readers at once, even when they
    // hold an LZH archive as a stored member.
    if (sig[0] == 'P' && sig[1] == 'K' && sig[2] < 9 && sig[3] < 9) return Status::NotThisFormat;
    if (std::memcmp(sig, "MSCF", 4) == 0) return Status::NotThisFormat;
  }
  Member m;
  bool atEnd = false;
  Status s = ParseHeader(file, 0, m, &atEnd);
  if (s == Status::Ok) {
    offset = 0;
    return Status::Ok;
  }
  if (s == Status::IoError || s == Status::Corrupt) return s;
  // A file that starts like an LZH header whose checksum fails is a damaged
  // archive; searching on would silently drop its first member.
  std::uint8_t head[kFixedPart];
  if (file.ReadAt(0, head, sizeof head) == static_cast<std::int64_t>(sizeof head) &&
      LooksLikeMethodId(head + kMethodId) && head[kMethodId + 1] == 'l' && head[kLevel] <= kMaxLevel)
    return Status::Corrupt;
  // A self-extracting archive: an LZH archive after a program. Only headers
  // whose method is known and whose checksum or CRC holds are accepted, so
  // that stray bytes in the program do not match.
  const bool exe = got >= 2 && sig[0] == 'M' && sig[1] == 'Z';
  const std::uint64_t limit = std::min(size, exe ? kScanExecutable : kScanPlain);
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(limit));
  const std::int64_t n = file.ReadAt(0, buf.data(), buf.size());
  if (n < 0) return Status::IoError;
  const auto lastStart = static_cast<std::size_t>(n) - std::min<std::size_t>(static_cast<std::size_t>(n), kFixedPart);
  for (std::size_t p = 1; p + kFixedPart <= static_cast<std::size_t>(n); ++p) {
    // The next '-' where a method id would begin (memchr rather than a look
    // at each of up to 1 MB positions).
    const void* dash = std::memchr(buf.data() + p + kMethodId, '-', lastStart + 1 - p);
    if (dash == nullptr) break;
    p = static_cast<std::size_t>(static_cast<const std::uint8_t*>(dash) - buf.data()) - kMethodId;
    const std::uint8_t* h = buf.data() + p;
    if (h[kMethodId + 1] != 'l' || h[kMethodId + 4] != '-') continue;
    if (MethodFromId(h + kMethodId) == Method::Unknown || h[kLevel] > kMaxLevel) continue;
    if (ParseHeader(file, p, m, &atEnd) != Status::Ok) continue;
    if (!m.headerVerified) continue;  // level 2/3 without a header CRC
    if (m.dataOffset + m.packedSize > size) continue;
    offset = p;
    return Status::Ok;
  }
  return Status::NotThisFormat;
}

}  // namespace lzh

Status LzhReader::Open(InputFile& file) {
  file_ = &file;
  members_.clear();
  entries_.clear();
  std::uint64_t pos = 0;
  Status s = lzh::FindFirstHeader(file, pos);
  if (s != Status::Ok) return s;
  const std::uint64_t size = file.Size();
  bool unknownMethod = false;
  while (pos < size) {
    lzh::Member m;
    bool atEnd = false;
    s = lzh::ParseHeader(file, pos, m, &atEnd);
    if (atEnd) break;
    if (s == Status::NotThisFormat) return members_.empty() ? s : Status::Corrupt;
    if (s != Status::Ok) return s;
    if (m.packedSize > size - m.dataOffset || m.dataOffset > size) return Status::Corrupt;  // cut short
    // A size the data cannot expand to (folders and links carry no data).
    const bool hasData = !m.info.isDirectory && !m.info.isSymlink;
    if (hasData && m.info.size > lzh::MaxOutput(m.method, m.packedSize)) return Status::Corrupt;
    if (m.method == lzh::Method::Unknown) unknownMethod = true;
    pos = m.dataOffset + m.packedSize;
    entries_.push_back(m.info);
    members_.push_back(std::move(m));
  }
  if (members_.empty()) return Status::NotThisFormat;
  if (unknownMethod) return Status::Unsupported;
  return Status::Ok;
}

namespace {
class CrcSink {
 public:
  explicit CrcSink(EntrySink* sink) : sink_(sink) {}
  bool Write(const std::uint8_t* p, std::size_t n) {
    crc_ = lzh::Crc16(crc_, p, n);
    return sink_ == nullptr || sink_->Write(p, n);
  }
  std::uint16_t crc() const { return crc_; }

 private:
  EntrySink* sink_;
  std::uint16_t crc_ = 0;
};
}  // namespace

Status LzhReader::ExtractAll(const std::function<EntrySink*(std::size_t)>& sinkFor) {
  if (!file_) return Status::IoError;
  for (std::size_t i = 0; i < members_.size(); ++i) {
    const lzh::Member& m = members_[i];
    if (m.info.isDirectory || m.info.isSymlink) continue;
    EntrySink* sink = sinkFor(i);
    if (!sink) continue;  // not wanted: every member's data stands on its own
    CrcSink crc(sink);
    const Status s = lzh::Decode(m.method, *file_, m.dataOffset, m.packedSize, m.info.size,
                                 [&crc](const std::uint8_t* p, std::size_t n) { return crc.Write(p, n); });
    if (s != Status::Ok) return s;
    if (crc.crc() != m.crc) return Status::Corrupt;
  }
  return Status::Ok;
}

std::unique_ptr<ArchiveReader> MakeLzhReader() { return std::make_unique<LzhReader>(); }

}  // namespace tarvex::extract
