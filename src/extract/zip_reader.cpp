// ZIP reader: see zip_reader.h for what it accepts.
#include "extract/le_bytes.h"
#include "extract/zip_reader.h"
#include "extract/utf8.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>

namespace tarvex::extract {

namespace {

constexpr std::uint32_t kLocalSig = 0x04034b50;
constexpr std::uint32_t kCentralSig = 0x02014b50;
constexpr std::uint32_t kEndSig = 0x06054b50;
constexpr std::uint32_t kZip64EndSig = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSig = 0x07064b50;
constexpr std::uint64_t kFiletimeUnixEpoch = 116444736000000000ull;


// Reads exactly n bytes at offset: Ok, Corrupt when the file ends first, IoError.
Status ReadExact(InputFile& f, std::uint64_t offset, void* buffer, std::size_t n) {
  if (offset > f.Size() || n > f.Size() - offset) return Status::Corrupt;
  std::int64_t r = f.ReadAt(offset, buffer, n);
  if (r < 0) return Status::IoError;
  return static_cast<std::size_t>(r) == n ? Status::Ok : Status::Corrupt;
}

// Sequential reads through a window, for the central directory and the
// local headers (read in offset order).
class Window {
 public:
  explicit Window(InputFile& f) : f_(f), buf_(1 << 16) {}
  // Makes [offset, offset+n) available; returns a pointer into the window.
  Status Get(std::uint64_t offset, std::size_t n, const std::uint8_t*& out) {
    if (offset > f_.Size() || n > f_.Size() - offset) return Status::Corrupt;
    if (offset < start_ || offset + n > start_ + len_) {
      if (n > buf_.size()) buf_.resize(n);
      std::size_t want = static_cast<std::size_t>(
          std::min<std::uint64_t>(buf_.size(), f_.Size() - offset));
      std::int64_t r = f_.ReadAt(offset, buf_.data(), want);
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

// Whether the bytes are well-formed UTF-8 with at least one non-ASCII character.
bool LooksLikeUtf8(const std::string& s) {
  bool high = false;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    high = true;
    std::size_t len = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || b == 0xC0 || b == 0xC1 || i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return high;
}

bool SameName(const std::string& a, const std::uint8_t* b, std::size_t n) {
  if (a.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char x = a[i] == '\\' ? '/' : a[i];
    char y = b[i] == '\\' ? '/' : static_cast<char>(b[i]);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

Status ZipReader::Open(InputFile& file) {
  file_ = &file;
  entries_.clear();
  layout_.clear();
  const std::uint64_t size = file.Size();

  // Find the end record: the last "PK\5\6" whose comment reaches exactly to
  // the end of the file, else the last one whose comment fits in the file.
  std::size_t tailLen = static_cast<std::size_t>(std::min<std::uint64_t>(size, 22 + 65535 + 1024));
  std::vector<std::uint8_t> tail(tailLen);
  if (tailLen < 22) {
    std::uint8_t head[4] = {};
    if (tailLen >= 4 && ReadExact(file, 0, head, 4) == Status::Ok && Le32(head) == kLocalSig)
      return Status::Corrupt;
    return Status::NotThisFormat;
  }
  Status st = ReadExact(file, size - tailLen, tail.data(), tailLen);
  if (st != Status::Ok) return st == Status::Corrupt ? Status::IoError : st;
  std::int64_t endAt = -1, fallback = -1;
  for (std::int64_t i = static_cast<std::int64_t>(tailLen) - 22; i >= 0; --i) {
    if (Le32(&tail[static_cast<std::size_t>(i)]) != kEndSig) continue;
    std::uint64_t commentEnd = static_cast<std::uint64_t>(i) + 22 + Le16(&tail[static_cast<std::size_t>(i) + 20]);
    if (commentEnd == tailLen) {
      endAt = i;
      break;
    }
    if (commentEnd < tailLen && fallback < 0) fallback = i;
  }
  if (endAt < 0) endAt = fallback;
  if (endAt < 0) {
    std::uint8_t head[4];
    if (ReadExact(file, 0, head, 4) == Status::Ok && Le32(head) == kLocalSig) return Status::Corrupt;
    return Status::NotThisFormat;
  }
  const std::uint8_t* e = &tail[static_cast<std::size_t>(endAt)];
  const std::uint64_t endPos = size - tailLen + static_cast<std::uint64_t>(endAt);
  std::uint32_t disk = Le16(e + 4), cdDisk = Le16(e + 6);
  std::uint64_t entriesHere = Le16(e + 8), total = Le16(e + 10);
  std::uint64_t cdSize = Le32(e + 12), cdOffset = Le32(e + 16);

  // ZIP64 end record, found through its locator just before the end record.
  bool zip64 = false;
  std::uint64_t cdEnd = endPos;  // the central directory ends where the end records begin
  if (endPos >= 20) {
    std::uint8_t loc[20];
    if ((st = ReadExact(file, endPos - 20, loc, 20)) != Status::Ok) return st;
    if (Le32(loc) == kZip64LocatorSig) {
      if (Le32(loc + 4) != 0 || Le32(loc + 16) > 1) return Status::Unsupported;
      std::uint64_t recorded = Le64(loc + 8);
      std::uint8_t z[56];
      std::uint64_t zpos = recorded;
      bool found = zpos <= endPos - 20 && endPos - 20 - zpos >= 56 &&
                   ReadExact(file, zpos, z, 56) == Status::Ok && Le32(z) == kZip64EndSig;
      if (!found && endPos >= 20 + 56) {  // a prefix moved it: try right before the locator
        zpos = endPos - 20 - 56;
        found = ReadExact(file, zpos, z, 56) == Status::Ok && Le32(z) == kZip64EndSig;
      }
      if (!found) return Status::Corrupt;
      // The ZIP64 record replaces every value of the classic one, whatever
      // the writer left there.
      zip64 = true;
      disk = Le32(z + 16);
      cdDisk = Le32(z + 20);
      entriesHere = Le64(z + 24);
      total = Le64(z + 32);
      cdSize = Le64(z + 40);
      cdOffset = Le64(z + 48);
      cdEnd = zpos;
    }
  }

  if (disk != 0 || cdDisk != 0 || entriesHere != total) return Status::Unsupported;

  // Where the central directory really is: at its recorded offset, or, for
  // an archive with bytes in front of it, right before the end records.
  if (cdSize > cdEnd) return Status::Corrupt;
  std::uint64_t delta = 0;
  std::uint8_t sig[4];
  if (cdSize == 0) {
    if (total != 0) return Status::Corrupt;
    centralStart_ = cdEnd;
    delta = cdEnd >= cdOffset ? cdEnd - cdOffset : 0;
  } else if (cdOffset + cdSize <= cdEnd && ReadExact(file, cdOffset, sig, 4) == Status::Ok &&
             Le32(sig) == kCentralSig) {
    centralStart_ = cdOffset;
  } else {
    std::uint64_t actual = cdEnd - cdSize;
    if (actual < cdOffset || ReadExact(file, actual, sig, 4) != Status::Ok || Le32(sig) != kCentralSig)
      return Status::Corrupt;
    centralStart_ = actual;
    delta = actual - cdOffset;
  }

  Window win(file);
  std::uint64_t pos = centralStart_;
  const std::uint64_t stop = centralStart_ + cdSize;
  while (pos + 46 <= stop) {
    const std::uint8_t* h;
    if ((st = win.Get(pos, 46, h)) != Status::Ok) return st;
    if (Le32(h) != kCentralSig) break;  // e.g. a digital signature record
    std::uint16_t made = Le16(h + 4), flags = Le16(h + 8), method = Le16(h + 10);
    std::uint16_t dosTime = Le16(h + 12), dosDate = Le16(h + 14);
    std::uint32_t crc = Le32(h + 16);
    std::uint64_t csize = Le32(h + 20), usize = Le32(h + 24);
    std::size_t nameLen = Le16(h + 28), extraLen = Le16(h + 30), commentLen = Le16(h + 32);
    std::uint32_t diskStart = Le16(h + 34);
    std::uint32_t ext = Le32(h + 38);
    std::uint64_t local = Le32(h + 42);
    std::size_t varLen = nameLen + extraLen + commentLen;
    if (pos + 46 + varLen > stop) return Status::Corrupt;
    const std::uint8_t* v;
    if ((st = win.Get(pos + 46, varLen, v)) != Status::Ok) return st;

    EntryInfo info;
    info.rawName.assign(reinterpret_cast<const char*>(v), nameLen);
    std::string centralName = info.rawName;
    info.encoding = (flags & 0x0800) ? NameEncoding::Utf8 : NameEncoding::Cp932;
    info.backslashIsSeparator = true;
    FileTime ntfs, unixTime;

    const std::uint8_t* x = v + nameLen;
    const std::uint8_t* xEnd = x + extraLen;
    while (xEnd - x >= 4) {
      std::uint16_t id = Le16(x), len = Le16(x + 2);
      const std::uint8_t* d = x + 4;
      if (len > xEnd - d) break;  // a damaged extra field: ignore the rest
      if (id == 0x0001) {
        std::size_t at = 0;
        auto take = [&](std::uint64_t& field) {
          if (at + 8 > len) return false;
          field = Le64(d + at);
          at += 8;
          return true;
        };
        if (usize == 0xFFFFFFFF && !take(usize)) return Status::Corrupt;
        if (csize == 0xFFFFFFFF && !take(csize)) return Status::Corrupt;
        if (local == 0xFFFFFFFF && !take(local)) return Status::Corrupt;
        if (diskStart == 0xFFFF && at + 4 <= len) diskStart = Le32(d + at);
      } else if (id == 0x7075 && len > 5 && d[0] == 1 && !(flags & 0x0800)) {
        // Unicode path: valid only while the CRC of the stored name matches
        // and the path is UTF-8; beside the UTF-8 flag the stored name rules.
        std::string_view path(reinterpret_cast<const char*>(d + 5), len - 5u);
        if (Le32(d + 1) == static_cast<std::uint32_t>(crc32(0L, v, static_cast<uInt>(nameLen))) &&
            utf8::IsValid(path)) {
          info.rawName.assign(path);
          info.encoding = NameEncoding::Utf8;
        }
      } else if (id == 0x5455 && len >= 5 && (d[0] & 1)) {
        std::int64_t t = static_cast<std::int32_t>(Le32(d + 1));
        std::int64_t ft = t * 10000000 + static_cast<std::int64_t>(kFiletimeUnixEpoch);
        if (ft > 0) {
          unixTime.kind = FileTime::Utc;
          unixTime.value = static_cast<std::uint64_t>(ft);
        }
      } else if (id == 0x000A && len >= 4) {
        std::size_t at = 4;
        while (at + 4 <= len) {
          std::uint16_t tag = Le16(d + at), tagLen = Le16(d + at + 2);
          at += 4;
          if (tagLen > len - at) break;
          if (tag == 1 && tagLen >= 24) {
            std::uint64_t m = Le64(d + at);
            if (m != 0) {
              ntfs.kind = FileTime::Utc;
              ntfs.value = m;
            }
          }
          at += tagLen;
        }
      }
      x = d + len;
    }
    // A disk number marked as ZIP64 without its value tells nothing: the end
    // record already says that the archive is one file.
    if (diskStart != 0 && diskStart != 0xFFFF) return Status::Unsupported;
    // Encrypted (bit 0, strong encryption bit 6) and AES (method 99) entries
    // cannot be extracted without a password; other methods are not decoded.
    if ((flags & 0x0041) || method == 99) return Status::Unsupported;
    if (method != 0 && method != 8) return Status::Unsupported;

    int host = made >> 8;
    // Zips made on Unix or macOS without the UTF-8 flag nearly always hold
    // UTF-8 names (the system's own encoding); CP932 text is almost never
    // well-formed UTF-8, so such names are read as UTF-8. Names from DOS and
    // Windows hosts stay CP932.
    if (info.encoding == NameEncoding::Cp932 && (host == 3 || host == 19) && LooksLikeUtf8(info.rawName))
      info.encoding = NameEncoding::Utf8;
    info.isSymlink = host == 3 && ((ext >> 16) & 0xF000) == 0xA000;
    bool endsInSlash = !centralName.empty() && (centralName.back() == '/' || centralName.back() == '\\');
    info.isDirectory = endsInSlash || (usize == 0 && (ext & 0x10) && !info.isSymlink) ||
                       (host == 3 && ((ext >> 16) & 0xF000) == 0x4000 && usize == 0);
    info.size = info.isDirectory ? 0 : usize;
    info.dosAttributes = ext & 0xFF;
    if (ntfs.kind != FileTime::None) info.mtime = ntfs;
    else if (unixTime.kind != FileTime::None) info.mtime = unixTime;
    else {
      info.mtime.kind = FileTime::DosLocal;
      info.mtime.value = (static_cast<std::uint64_t>(dosDate) << 16) | dosTime;
    }

    Layout lay;
    lay.method = method;
    lay.flags = flags;
    lay.crc = crc;
    lay.compressedSize = csize;
    if (local > UINT64_MAX - delta) return Status::Corrupt;
    lay.localOffset = local + delta;
    if (method == 0 && !info.isDirectory && csize != usize) return Status::Corrupt;
    entries_.push_back(std::move(info));
    names_.push_back(std::move(centralName));
    layout_.push_back(lay);
    pos += 46 + varLen;
  }
  // The count in the end record must agree with the entries found (the
  // 16-bit count of a plain end record wraps above 65,535 entries).
  std::uint64_t found = entries_.size();
  if (zip64 ? found != total : (found & 0xFFFF) != (total & 0xFFFF)) return Status::Corrupt;
  return CheckLocalHeaders();
}

Status ZipReader::CheckLocalHeaders() {
  order_.resize(entries_.size());
  std::iota(order_.begin(), order_.end(), std::size_t{0});
  std::sort(order_.begin(), order_.end(),
            [&](std::size_t a, std::size_t b) { return layout_[a].localOffset < layout_[b].localOffset; });
  Window win(*file_);
  std::uint64_t previousEnd = 0;
  for (std::size_t i : order_) {
    Layout& lay = layout_[i];
    // Entries may not share bytes: an entry starts after the previous one's data.
    if (lay.localOffset < previousEnd) return Status::Corrupt;
    const std::uint8_t* h;
    Status st = win.Get(lay.localOffset, 30, h);
    if (st != Status::Ok) return st;
    if (Le32(h) != kLocalSig) return Status::Corrupt;
    if (Le16(h + 6) & 0x0041) return Status::Unsupported;
    std::size_t nameLen = Le16(h + 26), extraLen = Le16(h + 28);
    const std::uint8_t* name;
    if ((st = win.Get(lay.localOffset + 30, nameLen, name)) != Status::Ok) return st;
    if (!SameName(names_[i], name, nameLen)) return Status::Corrupt;
    lay.dataOffset = lay.localOffset + 30 + nameLen + extraLen;
    if (lay.compressedSize > centralStart_ || lay.dataOffset > centralStart_ - lay.compressedSize)
      return Status::Corrupt;
    previousEnd = lay.dataOffset + lay.compressedSize;
  }
  names_.clear();
  names_.shrink_to_fit();
  return Status::Ok;
}

ZipReader::~ZipReader() {
  if (zInit_) inflateEnd(static_cast<z_stream*>(z_));
  delete static_cast<z_stream*>(z_);
}

Status ZipReader::ExtractAll(const std::function<EntrySink*(std::size_t)>& sinkFor) {
  if (!file_) return Status::IoError;
  in_.resize(kInBuffer);
  out_.resize(kOutBuffer);
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
  std::uint64_t inPos = lay.dataOffset;
  std::uint64_t inLeft = lay.compressedSize;

  if (lay.method == 0) {
    while (inLeft > 0) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(inLeft, out_.size()));
      Status st = ReadExact(*file_, inPos, out_.data(), n);
      if (st != Status::Ok) return st;
      crc = static_cast<std::uint32_t>(crc32_z(crc, out_.data(), n));
      if (sink && !sink->Write(out_.data(), n)) return Status::Aborted;
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
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(inLeft, in_.size()));
        Status st = ReadExact(*file_, inPos, in_.data(), n);
        if (st != Status::Ok) return st;
        inPos += n;
        inLeft -= n;
        z->next_in = in_.data();
        z->avail_in = static_cast<uInt>(n);
      }
      z->next_out = out_.data();
      z->avail_out = static_cast<uInt>(out_.size());
      int r = inflate(z, Z_NO_FLUSH);
      std::size_t got = out_.size() - z->avail_out;
      if (r == Z_STREAM_END) ended = true;
      else if (r == Z_BUF_ERROR) {
        if (z->avail_in == 0 && inLeft == 0) return Status::Corrupt;  // data ends inside the stream
      } else if (r != Z_OK) {
        return Status::Corrupt;
      }
      if (got > expected - produced) return Status::Corrupt;  // more data than the entry holds
      if (got) {
        crc = static_cast<std::uint32_t>(crc32_z(crc, out_.data(), got));
        if (sink && !sink->Write(out_.data(), got)) return Status::Aborted;
        produced += got;
      }
    }
  }
  if (produced != expected || crc != lay.crc) return Status::Corrupt;
  return Status::Ok;
}

}  // namespace tarvex::extract
