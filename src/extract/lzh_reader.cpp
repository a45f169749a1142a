#include "extract/le_bytes.h"
#include "extract/lzh_reader.h"

#include <algorithm>
#include <cstring>

namespace tarvex::extract {
namespace lzh {
namespace {

constexpr std::size_t kMaxExtHeader = 64 * 1024;        // one level-1 extended header
constexpr std::uint64_t kMaxHeader = 1024 * 1024;       // a whole header, any level
constexpr std::uint64_t kScanPlain = 64 * 1024;         // search range in other files
constexpr std::uint64_t kScanExecutable = 1024 * 1024;  // search range in an .exe
constexpr std::uint64_t kUnixToFileTime = 11644473600ull;  // seconds 1601..1970


bool ReadExact(InputFile& f, std::uint64_t off, void* buf, std::size_t n, Status& err) {
  const std::int64_t got = f.ReadAt(off, buf, n);
  if (got < 0) {
    err = Status::IoError;
    return false;
  }
  if (static_cast<std::size_t>(got) != n) {
    err = Status::Corrupt;
    return false;
  }
  return true;
}

bool LooksLikeMethodId(const std::uint8_t* p) {
  return p[0] == '-' && p[4] == '-' && p[1] >= 0x20 && p[1] < 0x7F && p[2] >= 0x20 && p[2] < 0x7F &&
         p[3] >= 0x20 && p[3] < 0x7F;
}

bool IsValidUtf8(const std::string& s, bool& hasMultibyte) {
  hasMultibyte = false;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t more;
    if (c >= 0xC2 && c <= 0xDF) more = 1;
    else if (c >= 0xE0 && c <= 0xEF) more = 2;
    else if (c >= 0xF0 && c <= 0xF4) more = 3;
    else return false;
    if (s.size() - i <= more) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    hasMultibyte = true;
    i += more + 1;
  }
  return true;
}

// Position of the first '|' that is a character of its own: in CP932 the byte
// 0x7C can also be the second byte of a double-byte character.
std::size_t FindLinkBar(const std::string& s, NameEncoding enc) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '|') return i;
    if (enc == NameEncoding::Cp932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC))) ++i;
  }
  return std::string::npos;
}

// Lowers the ASCII letters of a CP932 name that has no small letter; the
// bytes of double-byte characters are kept.
void LowerCapitalsOnlyName(std::string& s) {
  auto isLead = [](unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); };
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (isLead(static_cast<unsigned char>(s[i]))) ++i;
    else if (s[i] >= 'a' && s[i] <= 'z') return;
  }
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (isLead(static_cast<unsigned char>(s[i]))) ++i;
    else if (s[i] >= 'A' && s[i] <= 'Z') s[i] = static_cast<char>(s[i] - 'A' + 'a');
  }
}

// What the extended headers and level-specific fields contribute.
struct Extras {
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

// One extended header: type byte at hdr[at], data of dataLen bytes after it.
void TakeExtended(const std::vector<std::uint8_t>& hdr, std::size_t at, std::size_t dataLen, Extras& x) {
  const std::uint8_t* d = hdr.data() + at + 1;
  switch (hdr[at]) {
    case 0x00:
      if (dataLen >= 2) {
        x.haveCrc = true;
        x.headerCrc = Le16(d);
        x.crcAt = at + 1;
      }
      break;
    case 0x01:
      x.haveName = true;
      x.name.assign(reinterpret_cast<const char*>(d), dataLen);
      break;
    case 0x02:
      x.dir.assign(reinterpret_cast<const char*>(d), dataLen);
      break;
    case 0x40:
      if (dataLen >= 2) {
        x.haveAttr = true;
        x.attr = Le16(d);
      }
      break;
    case 0x41:  // creation, last write, last access: Windows FILETIMEs
      if (dataLen >= 24) {
        x.haveFileTime = true;
        x.fileTime = Le64(d + 8);
      }
      break;
    case 0x42:
      if (dataLen >= 16) {
        x.haveSizes = true;
        x.packed64 = Le64(d);
        x.original64 = Le64(d + 8);
      }
      break;
    case 0x50:
      if (dataLen >= 2) {
        x.haveUnixMode = true;
        x.unixMode = Le16(d);
      }
      break;
    case 0x54:
      if (dataLen >= 4) {
        x.haveUnixTime = true;
        x.unixTime = Le32(d);
      }
      break;
    default: break;  // comments, owners and others carry nothing we use
  }
}

// Walks a chain of extended headers held inside hdr, starting with the size
// field at hdr[at]. sizeBytes is 2 (levels 1, 2) or 4 (level 3).
bool WalkChain(const std::vector<std::uint8_t>& hdr, std::size_t at, int sizeBytes, Extras& x) {
  for (int count = 0;; ++count) {
    if (at + sizeBytes > hdr.size()) return false;
    const std::uint64_t size = sizeBytes == 2 ? Le16(hdr.data() + at) : Le32(hdr.data() + at);
    if (size == 0) return true;
    const std::size_t start = at + sizeBytes;  // the type byte
    if (size < 1u + sizeBytes || size > hdr.size() - start || count > 4096) return false;
    TakeExtended(hdr, start, static_cast<std::size_t>(size) - 1 - sizeBytes, x);
    at = start + static_cast<std::size_t>(size) - sizeBytes;
  }
}

}  // namespace

Status ParseHeader(InputFile& file, std::uint64_t offset, Member& m, bool* atEnd) {
  if (atEnd) *atEnd = false;
  const std::uint64_t fileSize = file.Size();
  if (offset >= fileSize) {
    if (atEnd) *atEnd = true;
    return Status::NotThisFormat;
  }
  std::uint8_t fixed[26] = {};
  const std::uint64_t avail = fileSize - offset;
  const std::size_t fixedLen = static_cast<std::size_t>(std::min<std::uint64_t>(avail, sizeof fixed));
  Status err = Status::Corrupt;
  if (!ReadExact(file, offset, fixed, fixedLen, err)) return err;
  // A lone zero byte (or the end of the file) ends the archive. A level-2
  // header whose size is a multiple of 256 also starts with a zero byte.
  const bool level2ish = fixedLen >= 22 && fixed[20] == 2 && LooksLikeMethodId(fixed + 2);
  if (fixed[0] == 0 && !level2ish) {
    if (atEnd) *atEnd = true;
    return Status::NotThisFormat;
  }
  if (fixedLen < 22 || !LooksLikeMethodId(fixed + 2)) return Status::NotThisFormat;

  Extras x;
  std::vector<std::uint8_t> hdr;
  const int level = fixed[20];
  m = Member{};
  m.level = level;
  m.headerOffset = offset;
  m.methodId.assign(reinterpret_cast<const char*>(fixed + 2), 5);
  m.method = MethodFromId(fixed + 2);
  std::string baseName;
  std::uint64_t packed = 0;
  std::uint64_t headerLen = 0;  // bytes from offset to the data
  std::uint8_t osId = 0;

  if (level == 0 || level == 1) {
    const std::size_t total = static_cast<std::size_t>(fixed[0]) + 2;
    const std::size_t nameLen = fixed[21];
    if (total < 22 + nameLen || (level == 1 && total < 27 + nameLen)) return Status::NotThisFormat;
    if (total > avail) return Status::Corrupt;
    hdr.resize(total);
    if (!ReadExact(file, offset, hdr.data(), total, err)) return err;
    unsigned sum = 0;
    for (std::size_t i = 2; i < total; ++i) sum += hdr[i];
    if ((sum & 0xFF) != hdr[1]) return Status::NotThisFormat;
    baseName.assign(reinterpret_cast<const char*>(hdr.data() + 22), nameLen);
    m.info.mtime.kind = FileTime::DosLocal;
    m.info.mtime.value = Le32(hdr.data() + 15);
    packed = Le32(hdr.data() + 7);
    m.info.size = Le32(hdr.data() + 11);
    const std::size_t after = 22 + nameLen;
    if (total < after + 2) return Status::Corrupt;  // no room for the data's CRC
    m.crc = Le16(hdr.data() + after);
    if (level == 0) {
      m.info.dosAttributes = hdr[19];
      // Unix extension: 'U', version, mtime, mode, uid, gid.
      if (total == after + 14 && hdr[after + 2] == 'U') {
        osId = 'U';
        x.haveUnixTime = true;
        x.unixTime = Le32(hdr.data() + after + 4);
        x.haveUnixMode = true;
        x.unixMode = Le16(hdr.data() + after + 8);
      }
      headerLen = total;
    } else {
      osId = hdr[after + 2];
      // The extended headers follow the base header; their sizes count
      // towards the "skip size" in the packed-size field.
      std::uint64_t next = Le16(hdr.data() + total - 2);
      std::uint64_t pos = offset + total;
      std::uint64_t extTotal = 0;
      for (int count = 0; next != 0; ++count) {
        if (next < 3 || next > kMaxExtHeader || count > 4096 || hdr.size() + next > kMaxHeader)
          return Status::Corrupt;
        if (pos + next > fileSize) return Status::Corrupt;
        const std::size_t at = hdr.size();
        hdr.resize(at + next);
        if (!ReadExact(file, pos, hdr.data() + at, static_cast<std::size_t>(next), err)) return err;
        TakeExtended(hdr, at, static_cast<std::size_t>(next) - 3, x);
        pos += next;
        extTotal += next;
        next = Le16(hdr.data() + hdr.size() - 2);
      }
      if (extTotal > packed) return Status::Corrupt;
      packed -= extTotal;
      headerLen = total + extTotal;
      if (x.haveSizes) {
        packed = x.packed64;
        m.info.size = x.original64;
      }
    }
  } else if (level == 2) {
    const std::size_t total = Le16(fixed);
    if (total < 26) return Status::NotThisFormat;
    if (total > avail) return Status::Corrupt;
    hdr.resize(total);
    if (!ReadExact(file, offset, hdr.data(), total, err)) return err;
    if (!WalkChain(hdr, 24, 2, x)) return Status::Corrupt;
    headerLen = total;
  } else if (level == 3) {
    if (Le16(fixed) != 4 || fixedLen < 26) return Status::NotThisFormat;
    std::uint8_t more[4];
    if (avail < 32) return Status::Corrupt;
    if (!ReadExact(file, offset + 24, more, 4, err)) return err;
    const std::uint64_t total = Le32(more);
    if (total < 32 || total > kMaxHeader) return Status::Corrupt;
    if (total > avail) return Status::Corrupt;
    hdr.resize(static_cast<std::size_t>(total));
    if (!ReadExact(file, offset, hdr.data(), hdr.size(), err)) return err;
    if (!WalkChain(hdr, 28, 4, x)) return Status::Corrupt;
    headerLen = total;
  } else {
    return Status::NotThisFormat;
  }

  if (level >= 2) {
    packed = Le32(hdr.data() + 7);
    m.info.size = Le32(hdr.data() + 11);
    m.crc = Le16(hdr.data() + 21);
    osId = hdr[23];
    const std::uint32_t t = Le32(hdr.data() + 15);
    if (t != 0) {
      m.info.mtime.kind = FileTime::Utc;
      m.info.mtime.value = (t + kUnixToFileTime) * 10000000ull;
    }
    if (x.haveSizes) {
      packed = x.packed64;
      m.info.size = x.original64;
    }
  }

  if (x.haveCrc) {
    std::vector<std::uint8_t> copy(hdr);
    copy[x.crcAt] = copy[x.crcAt + 1] = 0;
    if (Crc16(0, copy.data(), copy.size()) != x.headerCrc) return Status::Corrupt;
  }
  m.headerVerified = level < 2 || x.haveCrc;
  m.dataOffset = offset + headerLen;
  m.packedSize = packed;

  // Times: a Windows FILETIME beats a Unix time, which beats the DOS time.
  if (x.haveFileTime && x.fileTime != 0) {
    m.info.mtime.kind = FileTime::Utc;
    m.info.mtime.value = x.fileTime;
  } else if (x.haveUnixTime && x.unixTime != 0 && level < 2) {
    m.info.mtime.kind = FileTime::Utc;
    m.info.mtime.value = (x.unixTime + kUnixToFileTime) * 10000000ull;
  }
  if (m.info.mtime.kind == FileTime::DosLocal && m.info.mtime.value == 0) m.info.mtime.kind = FileTime::None;
  if (x.haveAttr) m.info.dosAttributes = x.attr;
  m.info.dosAttributes &= 0x27;  // read-only, hidden, system, archive

  // Name: the folder part (0xFF separated) and the file name.
  std::string name = x.haveName ? x.name : baseName;
  std::string dir = x.dir;
  if (!dir.empty() && dir.back() != '\xFF' && dir.back() != '/') dir.push_back('/');
  std::string raw = dir + name;
  // 0xFF is neither a lead nor a trail byte in CP932 (nor part of UTF-8), so
  // it can be turned into '/' before the name is decoded.
  std::replace(raw.begin(), raw.end(), '\xFF', '/');
  // Archivers of systems without case in file names (generic, MS-DOS, OS/2,
  // Atari) wrote names in capitals; a name with no small letter is given in
  // lower case, as the reference reader does. The letters of double-byte
  // characters are left alone.
  const bool caseless = level == 0 ? osId != 'U' : osId == 0 || osId == 'M' || osId == '2' || osId == 'a';
  if (caseless) LowerCapitalsOnlyName(raw);
  bool multibyte = false;
  m.info.encoding = (osId == 'U' && IsValidUtf8(raw, multibyte) && multibyte) ? NameEncoding::Utf8
                                                                             : NameEncoding::Cp932;
  m.info.backslashIsSeparator = true;
  m.info.isDirectory = m.method == Method::Lhd;
  // A Unix symbolic link is stored as "name|target".
  const bool modeSaysLink = x.haveUnixMode && (x.unixMode & 0xF000) == 0xA000;
  const std::size_t bar = FindLinkBar(raw, m.info.encoding);
  if (bar != std::string::npos) {
    raw.resize(bar);
    m.info.isSymlink = true;
    m.info.isDirectory = false;
  } else if (modeSaysLink) {
    m.info.isSymlink = true;
    m.info.isDirectory = false;
  }
  m.info.rawName = std::move(raw);
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
  std::uint8_t head[22];
  if (file.ReadAt(0, head, sizeof head) == static_cast<std::int64_t>(sizeof head) &&
      LooksLikeMethodId(head + 2) && head[2 + 1] == 'l' && head[20] <= 3)
    return Status::Corrupt;
  // A self-extracting archive: an LZH archive after a program. Only headers
  // whose method is known and whose checksum or CRC holds are accepted, so
  // that stray bytes in the program do not match.
  const bool exe = got >= 2 && sig[0] == 'M' && sig[1] == 'Z';
  const std::uint64_t limit = std::min(size, exe ? kScanExecutable : kScanPlain);
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(limit));
  const std::int64_t n = file.ReadAt(0, buf.data(), buf.size());
  if (n < 0) return Status::IoError;
  for (std::uint64_t p = 1; p + 22 <= static_cast<std::uint64_t>(n); ++p) {
    const std::uint8_t* h = buf.data() + p;
    if (h[2] != '-' || h[3] != 'l' || h[6] != '-') continue;
    const Method method = MethodFromId(h + 2);
    if (method == Method::Unknown || h[20] > 3) continue;
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
    if (m.info.size > lzh::MaxOutput(m.method, m.packedSize)) return Status::Corrupt;
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
