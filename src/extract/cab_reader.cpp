#include "extract/le_bytes.h"
#include "extract/cab_reader.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "extract/lzx.h"
#include "extract/mszip.h"
#include "extract/quantum.h"

namespace tarvex::extract {

namespace {

constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kFolderSize = 8;
constexpr std::size_t kFileSize = 16;
constexpr std::size_t kDataHeaderSize = 8;
constexpr std::size_t kMaxName = 1024;
constexpr std::uint32_t kFrame = 32768;

constexpr std::uint16_t kFlagPrevCabinet = 0x0001;
constexpr std::uint16_t kFlagNextCabinet = 0x0002;
constexpr std::uint16_t kFlagReservePresent = 0x0004;
constexpr std::uint16_t kFolderContinuedFirst = 0xFFFD;  // 0xFFFD..0xFFFF: spans cabinets
constexpr std::uint16_t kAttrNameIsUtf8 = 0x80;
constexpr std::uint16_t kAttrKept = 0x27;  // read-only, hidden, system, archive

enum Method { kNone = 0, kMszip = 1, kQuantum = 2, kLzx = 3 };


struct Folder {
  std::uint64_t dataStart = 0;  // file offset of the first data block
  std::uint16_t blocks = 0;
  int method = kNone;
  int windowBits = 0;
  std::uint64_t size = 0;  // uncompressed bytes, summed over the blocks
  bool used = false;
};

struct FileRecord {
  std::uint32_t size = 0;
  std::uint32_t offset = 0;  // inside the folder's uncompressed data
  std::uint16_t folder = 0;
};

}  // namespace

std::uint32_t CabChecksum(const std::uint8_t* data, std::size_t n, std::uint32_t seed) {
  std::uint32_t sum = seed;
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) sum ^= Le32(data + i);
  std::uint32_t tail = 0;
  switch (n - i) {
    case 3: tail = (static_cast<std::uint32_t>(data[i]) << 16) | (static_cast<std::uint32_t>(data[i + 1]) << 8) | data[i + 2]; break;
    case 2: tail = (static_cast<std::uint32_t>(data[i]) << 8) | data[i + 1]; break;
    case 1: tail = data[i]; break;
    default: break;
  }
  return sum ^ tail;
}

namespace {

// The open archive file and the cabinet's extent inside it.
struct Source {
  InputFile* file = nullptr;
  std::uint64_t fileSize = 0;
  std::uint64_t cabinetEnd = 0;
  std::size_t dataReserve = 0;  // bytes reserved in every data block header

  Status ReadExact(std::uint64_t at, void* buf, std::size_t n) {
    if (at > fileSize || fileSize - at < n) return Status::Corrupt;
    std::int64_t got = file->ReadAt(at, buf, n);
    if (got < 0) return Status::IoError;
    return static_cast<std::size_t>(got) == n ? Status::Ok : Status::Corrupt;
  }
};

}  // namespace

struct CabReader::Impl : Source {
  std::uint64_t base = 0;
  std::vector<Folder> folders;
  std::vector<FileRecord> records;
  std::vector<EntryInfo> entries;

  void Clear() {
    folders.clear();
    records.clear();
    entries.clear();
  }

  // Parses the cabinet that starts at file offset `at`.
  Status ParseAt(std::uint64_t at) {
    Clear();
    base = at;
    std::uint8_t h[kHeaderSize];
    Status s = ReadExact(at, h, sizeof h);
    if (s != Status::Ok) return s == Status::Corrupt ? Status::NotThisFormat : s;
    if (std::memcmp(h, "MSCF", 4) != 0) return Status::NotThisFormat;
    const std::uint32_t cbCabinet = Le32(h + 8);
    const std::uint32_t coffFiles = Le32(h + 16);
    const std::uint16_t cFolders = Le16(h + 26);
    const std::uint16_t cFiles = Le16(h + 28);
    const std::uint16_t flags = Le16(h + 30);
    if (flags & (kFlagPrevCabinet | kFlagNextCabinet)) return Status::Unsupported;
    if (cbCabinet < kHeaderSize || cbCabinet > fileSize - at) return Status::Corrupt;  // truncated
    cabinetEnd = at + cbCabinet;
    if (cFolders == 0 || cFiles == 0) return Status::Corrupt;

    std::uint64_t pos = at + kHeaderSize;
    std::size_t folderReserve = 0;
    dataReserve = 0;
    if (flags & kFlagReservePresent) {
      std::uint8_t r[4];
      if ((s = ReadExact(pos, r, 4)) != Status::Ok) return s;
      folderReserve = r[2];
      dataReserve = r[3];
      pos += 4 + Le16(r);
    }

    // Folder table.
    const std::size_t folderRec = kFolderSize + folderReserve;
    if (pos + std::uint64_t{cFolders} * folderRec > cabinetEnd) return Status::Corrupt;
    std::vector<std::uint8_t> table(std::size_t{cFolders} * folderRec);
    if ((s = ReadExact(pos, table.data(), table.size())) != Status::Ok) return s;
    folders.resize(cFolders);
    for (std::size_t i = 0; i < cFolders; ++i) {
      const std::uint8_t* f = table.data() + i * folderRec;
      Folder& fo = folders[i];
      fo.dataStart = at + Le32(f);
      fo.blocks = Le16(f + 4);
      std::uint16_t type = Le16(f + 6);
      fo.method = type & 0x0F;
      fo.windowBits = (type >> 8) & 0x1F;
    }

    // File table: fixed part and a NUL-terminated name for each file, read
    // through a window of the file so that memory stays small.
    if (coffFiles >= cbCabinet) return Status::Corrupt;
    constexpr std::size_t kRecordMax = kFileSize + kMaxName + 1;
    std::uint64_t tablePos = at + coffFiles;  // file offset of table[0]
    std::size_t have = 0, p = 0;
    table.assign(std::size_t{64} << 10, 0);
    records.resize(cFiles);
    entries.resize(cFiles);
    for (std::size_t i = 0; i < cFiles; ++i) {
      if (have - p < kRecordMax && tablePos + have < cabinetEnd) {
        tablePos += p;
        have -= p;
        std::memmove(table.data(), table.data() + p, have);
        p = 0;
        std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>(table.size() - have, cabinetEnd - (tablePos + have)));
        if ((s = ReadExact(tablePos + have, table.data() + have, n)) != Status::Ok) return s;
        have += n;
      }
      if (have - p < kFileSize + 1) return Status::Corrupt;
      const std::uint8_t* r = table.data() + p;
      FileRecord& rec = records[i];
      rec.size = Le32(r);
      rec.offset = Le32(r + 4);
      rec.folder = Le16(r + 8);
      std::uint16_t date = Le16(r + 10), time = Le16(r + 12), attribs = Le16(r + 14);
      p += kFileSize;
      const void* nul = std::memchr(table.data() + p, 0, std::min(have - p, kMaxName + 1));
      if (nul == nullptr) return Status::Corrupt;
      std::size_t len = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - (table.data() + p));
      EntryInfo& e = entries[i];
      e.rawName.assign(reinterpret_cast<const char*>(table.data() + p), len);
      p += len + 1;
      e.encoding = (attribs & kAttrNameIsUtf8) ? NameEncoding::Utf8 : NameEncoding::Cp932;
      e.backslashIsSeparator = true;
      e.size = rec.size;
      e.mtime.kind = FileTime::DosLocal;
      e.mtime.value = (std::uint64_t{date} << 16) | time;
      e.dosAttributes = attribs & kAttrKept;
      if (rec.folder >= kFolderContinuedFirst) return Status::Unsupported;
      if (rec.folder >= cFolders) return Status::Corrupt;
      folders[rec.folder].used = true;
    }

    // Walk the data blocks of every folder in use: the chain must lie inside
    // the cabinet, and gives each folder's uncompressed size. Each block
    // header takes at least 8 bytes, which bounds the walk by the file size.
    std::uint64_t blocksLeft = (cbCabinet / kDataHeaderSize) + 1;
    for (Folder& fo : folders) {
      if (!fo.used) continue;
      switch (fo.method) {
        case kNone: case kMszip: break;
        case kQuantum: if (fo.windowBits < 10 || fo.windowBits > 21) return Status::Unsupported; break;
        case kLzx: if (fo.windowBits < 15 || fo.windowBits > 21) return Status::Unsupported; break;
        default: return Status::Unsupported;
      }
      if (fo.blocks > blocksLeft) return Status::Corrupt;
      blocksLeft -= fo.blocks;
      std::uint64_t bp = fo.dataStart;
      std::uint8_t dh[kDataHeaderSize];
      for (std::uint32_t b = 0; b < fo.blocks; ++b) {
        if (bp < at + kHeaderSize || bp > cabinetEnd) return Status::Corrupt;
        if ((s = ReadExact(bp, dh, sizeof dh)) != Status::Ok) return s;
        std::uint16_t cbData = Le16(dh + 4), cbUncomp = Le16(dh + 6);
        if (fo.method == kNone && cbData != cbUncomp) return Status::Corrupt;
        if ((fo.method == kLzx || fo.method == kQuantum) &&
            (cbUncomp > kFrame || (b + 1u < fo.blocks && cbUncomp != kFrame)))
          return Status::Corrupt;
        bp += kDataHeaderSize + dataReserve + cbData;
        if (bp > cabinetEnd) return Status::Corrupt;
        fo.size += cbUncomp;
      }
    }
    for (const FileRecord& rec : records)
      if (std::uint64_t{rec.offset} + rec.size > folders[rec.folder].size) return Status::Corrupt;
    return Status::Ok;
  }

  // Looks for an embedded cabinet in a Windows program: a signature followed
  // by a header that makes sense and a cabinet that parses completely.
  Status SearchInProgram() {
    constexpr std::size_t kChunk = 1 << 20;
    std::vector<std::uint8_t> buf(kChunk + 3);
    for (std::uint64_t off = 0; off < fileSize; off += kChunk) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk + 3, fileSize - off));
      std::int64_t got = file->ReadAt(off, buf.data(), n);
      if (got < 0) return Status::IoError;
      n = static_cast<std::size_t>(got);
      for (std::size_t i = 0; i + 4 <= n && i < kChunk; ++i) {
        if (buf[i] != 'M' || std::memcmp(buf.data() + i, "MSCF", 4) != 0) continue;
        std::uint64_t at = off + i;
        if (at == 0) continue;
        std::uint8_t h[kHeaderSize];
        if (ReadExact(at, h, sizeof h) != Status::Ok) continue;
        std::uint32_t cbCabinet = Le32(h + 8), coffFiles = Le32(h + 16);
        bool plausible = Le32(h + 4) == 0 && h[25] == 1 && h[24] == 3 && cbCabinet >= kHeaderSize &&
                         cbCabinet <= fileSize - at && coffFiles < cbCabinet && Le16(h + 26) > 0 &&
                         Le16(h + 28) > 0;
        if (!plausible) continue;
        Status s = ParseAt(at);
        if (s == Status::Ok) return s;
        if (s == Status::IoError) return s;
      }
    }
    Clear();
    return Status::NotThisFormat;
  }
};

namespace {

// The decoders and buffers of one extraction, shared by its folders: a
// folder resets them instead of allocating its own (a cabinet may hold
// thousands of folders).
struct Workspace {
  std::vector<std::uint8_t> in = std::vector<std::uint8_t>(65535);
  std::vector<std::uint8_t> out = std::vector<std::uint8_t>(65535);
  std::unique_ptr<MszipDecoder> mszip;
  std::unique_ptr<LzxDecoder> lzx[22];
  std::unique_ptr<QuantumDecoder> quantum[22];
  std::uint64_t budget = 0;  // bytes that may still be decoded
};

// Decodes one folder's data blocks in order, one block at a time, and hands
// out byte ranges of the folder's uncompressed data.
class FolderStream {
 public:
  FolderStream(Source& cab, const Folder& folder, Workspace& ws) : cab_(cab), folder_(folder), ws_(ws) {}

  Status Init() {
    switch (folder_.method) {
      case kMszip:
        if (!ws_.mszip) ws_.mszip = std::make_unique<MszipDecoder>();
        if (!ws_.mszip->ok()) return Status::IoError;
        mszip_ = ws_.mszip.get();
        break;
      case kLzx:
        if (folder_.windowBits < 15 || folder_.windowBits > 21) return Status::Unsupported;
        if (!ws_.lzx[folder_.windowBits]) ws_.lzx[folder_.windowBits] = LzxDecoder::Create(folder_.windowBits);
        lzx_ = ws_.lzx[folder_.windowBits].get();
        break;
      case kQuantum:
        if (folder_.windowBits < 10 || folder_.windowBits > 21) return Status::Unsupported;
        if (!ws_.quantum[folder_.windowBits])
          ws_.quantum[folder_.windowBits] = QuantumDecoder::Create(folder_.windowBits);
        quantum_ = ws_.quantum[folder_.windowBits].get();
        break;
      default:
        break;
    }
    Restart();
    return Status::Ok;
  }

  // Writes bytes [from, to) of the folder's data into sink.
  Status Copy(std::uint64_t from, std::uint64_t to, EntrySink& sink) {
    if (from < outStart_) {
      // A file that begins before the data decoded last (files sharing or
      // listed out of order): decode the folder again from its start, within
      // a budget so that a hostile table cannot make this endless.
      if (ws_.budget < from) return Status::Unsupported;
      Restart();
    }
    while (from < to) {
      while (outStart_ + outLen_ <= from) {
        Status s = NextBlock();
        if (s != Status::Ok) return s;
      }
      std::size_t at = static_cast<std::size_t>(from - outStart_);
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(to - from, outLen_ - at));
      if (!sink.Write(ws_.out.data() + at, n)) return Status::Aborted;
      from += n;
    }
    return Status::Ok;
  }

 private:
  void Restart() {
    nextBlock_ = 0;
    nextPos_ = folder_.dataStart;
    outStart_ = 0;
    outLen_ = 0;
    if (mszip_) mszip_->Reset();
    if (lzx_) lzx_->Reset();
    if (quantum_) quantum_->Reset();
  }

  Status NextBlock() {
    if (nextBlock_ >= folder_.blocks) return Status::Corrupt;  // data ends before the files do
    std::uint8_t h[kDataHeaderSize];
    Status s = cab_.ReadExact(nextPos_, h, sizeof h);
    if (s != Status::Ok) return s;
    const std::uint32_t csum = Le32(h);
    const std::uint16_t cbData = Le16(h + 4), cbUncomp = Le16(h + 6);
    const std::uint64_t dataAt = nextPos_ + kDataHeaderSize + cab_.dataReserve;
    if (dataAt + cbData > cab_.cabinetEnd) return Status::Corrupt;
    if ((s = cab_.ReadExact(dataAt, ws_.in.data(), cbData)) != Status::Ok) return s;
    if (csum != 0 && CabChecksum(h + 4, 4, CabChecksum(ws_.in.data(), cbData, 0)) != csum)
      return Status::Corrupt;
    nextPos_ = dataAt + cbData;
    ++nextBlock_;
    outStart_ += outLen_;
    outLen_ = cbUncomp;
    if (ws_.budget < cbUncomp) return Status::Unsupported;
    ws_.budget -= cbUncomp;
    if (cbUncomp == 0) return Status::Ok;
    bool ok = false;
    switch (folder_.method) {
      case kNone:
        ok = cbData == cbUncomp;
        if (ok) std::memcpy(ws_.out.data(), ws_.in.data(), cbData);
        break;
      case kMszip: ok = mszip_->DecodeBlock(ws_.in.data(), cbData, ws_.out.data(), cbUncomp); break;
      case kLzx: ok = cbUncomp <= kFrame && lzx_->DecodeFrame(ws_.in.data(), cbData, ws_.out.data(), cbUncomp); break;
      case kQuantum:
        ok = cbUncomp <= kFrame && quantum_->DecodeFrame(ws_.in.data(), cbData, ws_.out.data(), cbUncomp);
        break;
      default: break;
    }
    return ok ? Status::Ok : Status::Corrupt;
  }

  Source& cab_;
  const Folder& folder_;
  Workspace& ws_;
  MszipDecoder* mszip_ = nullptr;
  LzxDecoder* lzx_ = nullptr;
  QuantumDecoder* quantum_ = nullptr;
  std::uint32_t nextBlock_ = 0;
  std::uint64_t nextPos_ = 0;
  std::uint64_t outStart_ = 0;  // folder offset of out_[0]
  std::size_t outLen_ = 0;
};

}  // namespace

CabReader::CabReader() : impl_(std::make_unique<Impl>()) {}
CabReader::~CabReader() = default;

const std::vector<EntryInfo>& CabReader::Entries() const { return impl_->entries; }
std::uint64_t CabReader::cabinetOffset() const { return impl_->base; }

Status CabReader::Open(InputFile& file) {
  Impl& d = *impl_;
  d.Clear();
  d.file = &file;
  d.fileSize = file.Size();
  std::uint8_t sig[4];
  if (d.fileSize < 4) return Status::NotThisFormat;
  std::int64_t got = file.ReadAt(0, sig, 4);
  if (got < 0) return Status::IoError;
  if (got != 4) return Status::NotThisFormat;
  Status s;
  if (std::memcmp(sig, "MSCF", 4) == 0) s = d.ParseAt(0);
  else if (sig[0] == 'M' && sig[1] == 'Z') s = d.SearchInProgram();
  else return Status::NotThisFormat;
  if (s != Status::Ok) d.Clear();
  return s;
}

Status CabReader::ExtractAll(const std::function<EntrySink*(std::size_t)>& sinkFor) {
  Impl& d = *impl_;
  // Decoding the same data twice is allowed up to a bound: all the data the
  // files need once, plus 256 MiB.
  Workspace ws;
  ws.budget = std::uint64_t{256} << 20;
  for (const Folder& fo : d.folders)
    if (fo.used) ws.budget += fo.size;

  std::vector<std::vector<std::size_t>> byFolder(d.folders.size());
  for (std::size_t i = 0; i < d.records.size(); ++i) byFolder[d.records[i].folder].push_back(i);
  for (std::size_t f = 0; f < d.folders.size(); ++f) {
    auto& list = byFolder[f];
    if (list.empty()) continue;
    std::stable_sort(list.begin(), list.end(), [&](std::size_t a, std::size_t b) {
      return d.records[a].offset < d.records[b].offset;
    });
    FolderStream stream(d, d.folders[f], ws);
    Status s = stream.Init();
    if (s != Status::Ok) return s;
    for (std::size_t i : list) {
      EntrySink* sink = sinkFor(i);
      const FileRecord& rec = d.records[i];
      if (sink == nullptr || rec.size == 0) continue;
      s = stream.Copy(rec.offset, std::uint64_t{rec.offset} + rec.size, *sink);
      if (s != Status::Ok) return s;
    }
  }
  return Status::Ok;
}

}  // namespace tarvex::extract
