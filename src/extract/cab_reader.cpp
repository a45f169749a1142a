// Cabinet reader: see cab_reader.h. A cabinet is a header, a table of
// folders (compressed streams), a table of files (each a byte range of one
// folder's uncompressed data) and, per folder, a chain of data blocks.
#include "extract/cab_reader.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "extract/folder_decoder.h"
#include "extract/le_bytes.h"

namespace tarvex::extract {

namespace {

// The cabinet header; offsets from the signature.
namespace cfheader {
constexpr std::size_t kSize = 36;
constexpr char kSignature[4] = {'M', 'S', 'C', 'F'};
constexpr std::size_t kReserved1 = 4;     // 32 bits, 0
constexpr std::size_t kCabinetSize = 8;   // 32 bits
constexpr std::size_t kFilesOffset = 16;  // 32 bits
constexpr std::size_t kVersionMinor = 24;
constexpr std::size_t kVersionMajor = 25;
constexpr std::size_t kFolderCount = 26;  // 16 bits
constexpr std::size_t kFileCount = 28;    // 16 bits
constexpr std::size_t kFlags = 30;        // 16 bits
constexpr std::uint8_t kVersionMajorValue = 1, kVersionMinorValue = 3;  // format version 1.3
constexpr std::uint16_t kFlagPrevCabinet = 0x0001;
constexpr std::uint16_t kFlagNextCabinet = 0x0002;
constexpr std::uint16_t kFlagReservePresent = 0x0004;
// With kFlagReservePresent the fixed part is followed by the reserve sizes:
// header reserve (16 bits, its bytes follow), folder and data reserve (8 bits each).
constexpr std::size_t kReserveSizesLength = 4;
constexpr std::size_t kHeaderReserve = 0, kFolderReserve = 2, kDataReserve = 3;
}  // namespace cfheader

// One entry of the folder table.
namespace cffolder {
constexpr std::size_t kSize = 8;
constexpr std::size_t kFirstBlock = 0;  // 32 bits, from the cabinet's start
constexpr std::size_t kBlockCount = 4;  // 16 bits
constexpr std::size_t kType = 6;        // 16 bits: method and window
}  // namespace cffolder

// One entry of the file table, followed by the NUL-terminated name.
namespace cffile {
constexpr std::size_t kSize = 16;
constexpr std::size_t kLength = 0;       // 32 bits, uncompressed
constexpr std::size_t kFolderOffset = 4;  // 32 bits, in the folder's data
constexpr std::size_t kFolder = 8;        // 16 bits
constexpr std::size_t kDate = 10, kTime = 12, kAttributes = 14;
constexpr std::uint16_t kFolderContinuedFirst = 0xFFFD;  // 0xFFFD..0xFFFF: spans cabinets
constexpr std::uint16_t kAttrNameIsUtf8 = 0x80;
constexpr std::uint16_t kAttrKept = 0x27;  // read-only, hidden, system, archive
constexpr std::size_t kMaxName = 1024;
}  // namespace cffile

// The header of a data block, followed by its reserve and its data.
namespace cfdata {
constexpr std::size_t kSize = 8;
constexpr std::size_t kChecksum = 0;          // 32 bits, 0 for none
constexpr std::size_t kCompressedSize = 4;    // 16 bits
constexpr std::size_t kUncompressedSize = 6;  // 16 bits
}  // namespace cfdata

struct Folder {
  std::uint64_t firstBlock = 0;  // file offset of the first data block
  std::uint16_t blocks = 0;
  std::optional<FolderCodec> codec;  // none: a method this reader does not decode
  std::uint64_t size = 0;            // uncompressed bytes, summed over the blocks
  bool used = false;
};

struct FileRecord {
  std::uint32_t size = 0;
  std::uint32_t offset = 0;  // inside the folder's uncompressed data
  std::uint16_t folder = 0;
};

// Whether a method's blocks are frames that must be full but for the last.
bool NeedsFullFrames(CabMethod m) { return m == CabMethod::Lzx || m == CabMethod::Quantum; }

}  // namespace

std::uint32_t CabChecksum(const std::uint8_t* data, std::size_t n, std::uint32_t seed) {
  std::uint32_t sum = seed;
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) sum ^= Le32(data + i);
  std::uint32_t tail = 0;
  for (; i < n; ++i) tail = (tail << 8) | data[i];
  return sum ^ tail;
}

namespace {

// The open archive file and the cabinet's extent inside it.
struct Source {
  InputFile* file = nullptr;
  std::uint64_t fileSize = 0;
  std::uint64_t cabinetEnd = 0;
  std::size_t dataReserve = 0;  // bytes reserved in every data block header

  Status Read(std::uint64_t at, void* buf, std::size_t n) { return ReadExact(*file, at, buf, n); }
};

// The fields of the cabinet header that the reader uses.
struct Header {
  std::uint32_t cabinetSize = 0;
  std::uint32_t filesOffset = 0;
  std::uint16_t folderCount = 0;
  std::uint16_t fileCount = 0;
  std::uint16_t flags = 0;
};

Header HeaderFields(const std::uint8_t* h) {
  Header hd;
  hd.cabinetSize = Le32(h + cfheader::kCabinetSize);
  hd.filesOffset = Le32(h + cfheader::kFilesOffset);
  hd.folderCount = Le16(h + cfheader::kFolderCount);
  hd.fileCount = Le16(h + cfheader::kFileCount);
  hd.flags = Le16(h + cfheader::kFlags);
  return hd;
}

}  // namespace

struct CabReader::Impl : Source {
  std::uint64_t base = 0;
  std::vector<Folder> folders;
  std::vector<FileRecord> records;
  std::vector<EntryInfo> entries;
  // The largest data block (packed and unpacked) and folder in use: what the
  // buffers and decoder windows of an extraction must hold.
  std::size_t largestPacked = 0, largestUnpacked = 0;
  std::uint64_t largestFolder = 0;

  void Clear() {
    folders.clear();
    records.clear();
    entries.clear();
    largestPacked = largestUnpacked = 0;
    largestFolder = 0;
  }

  // Parses the cabinet that starts at file offset `at`.
  Status ParseAt(std::uint64_t at) {
    Clear();
    base = at;
    Header hd;
    std::uint64_t pos = 0;  // after the header and its reserve
    std::size_t folderReserve = 0;
    Status s = ReadHeader(at, hd, pos, folderReserve);
    if (s == Status::Ok) s = ReadFolders(pos, hd, folderReserve);
    if (s == Status::Ok) s = ReadFiles(hd);
    if (s == Status::Ok) s = WalkDataBlocks(hd);
    return s;
  }

  // The header: signature, sizes and counts, flags, reserve sizes.
  Status ReadHeader(std::uint64_t at, Header& hd, std::uint64_t& pos, std::size_t& folderReserve) {
    std::uint8_t h[cfheader::kSize];
    Status s = Read(at, h, sizeof h);
    if (s != Status::Ok) return s == Status::Corrupt ? Status::NotThisFormat : s;
    if (std::memcmp(h, cfheader::kSignature, sizeof cfheader::kSignature) != 0) return Status::NotThisFormat;
    hd = HeaderFields(h);
    if (hd.flags & (cfheader::kFlagPrevCabinet | cfheader::kFlagNextCabinet)) return Status::Unsupported;
    if (hd.cabinetSize < cfheader::kSize || hd.cabinetSize > fileSize - at) return Status::Corrupt;  // truncated
    cabinetEnd = at + hd.cabinetSize;
    if (hd.folderCount == 0 || hd.fileCount == 0) return Status::Corrupt;
    if (hd.filesOffset >= hd.cabinetSize) return Status::Corrupt;
    // Every file takes its fixed part and a name's NUL in the table, which
    // ends with the cabinet: the count is checked before anything is sized by it.
    if (std::uint64_t{hd.fileCount} * (cffile::kSize + 1) > hd.cabinetSize - hd.filesOffset) return Status::Corrupt;
    pos = at + cfheader::kSize;
    folderReserve = 0;
    dataReserve = 0;
    if (hd.flags & cfheader::kFlagReservePresent) {
      std::uint8_t r[cfheader::kReserveSizesLength];
      if ((s = Read(pos, r, sizeof r)) != Status::Ok) return s;
      folderReserve = r[cfheader::kFolderReserve];
      dataReserve = r[cfheader::kDataReserve];
      pos += sizeof r + Le16(r + cfheader::kHeaderReserve);
    }
    return Status::Ok;
  }

  // The folder table, right after the header.
  Status ReadFolders(std::uint64_t pos, const Header& hd, std::size_t folderReserve) {
    const std::size_t entrySize = cffolder::kSize + folderReserve;
    if (pos + std::uint64_t{hd.folderCount} * entrySize > cabinetEnd) return Status::Corrupt;
    std::vector<std::uint8_t> table(std::size_t{hd.folderCount} * entrySize);
    Status s = Read(pos, table.data(), table.size());
    if (s != Status::Ok) return s;
    folders.resize(hd.folderCount);
    for (std::size_t i = 0; i < hd.folderCount; ++i) {
      const std::uint8_t* f = table.data() + i * entrySize;
      folders[i].firstBlock = base + Le32(f + cffolder::kFirstBlock);
      folders[i].blocks = Le16(f + cffolder::kBlockCount);
      folders[i].codec = FolderCodecOf(Le16(f + cffolder::kType));
    }
    return Status::Ok;
  }

  // The file table: fixed part and a NUL-terminated name for each file,
  // read through a window of the file (at most 64 KB, and no more than the
  // table's part of the cabinet) so that memory stays small.
  Status ReadFiles(const Header& hd) {
    constexpr std::size_t kRecordMax = cffile::kSize + cffile::kMaxName + 1;
    std::uint64_t windowPos = base + hd.filesOffset;  // file offset of window[0]
    std::vector<std::uint8_t> window(
        static_cast<std::size_t>(std::min<std::uint64_t>(std::size_t{64} << 10, cabinetEnd - windowPos)));
    std::size_t have = 0, p = 0;
    records.resize(hd.fileCount);
    entries.resize(hd.fileCount);
    for (std::size_t i = 0; i < hd.fileCount; ++i) {
      if (have - p < kRecordMax && windowPos + have < cabinetEnd) {
        windowPos += p;
        have -= p;
        std::memmove(window.data(), window.data() + p, have);
        p = 0;
        const auto n = static_cast<std::size_t>(
            std::min<std::uint64_t>(window.size() - have, cabinetEnd - (windowPos + have)));
        Status s = Read(windowPos + have, window.data() + have, n);
        if (s != Status::Ok) return s;
        have += n;
      }
      if (have - p < cffile::kSize + 1) return Status::Corrupt;
      const std::uint8_t* r = window.data() + p;
      FileRecord& rec = records[i];
      rec.size = Le32(r + cffile::kLength);
      rec.offset = Le32(r + cffile::kFolderOffset);
      rec.folder = Le16(r + cffile::kFolder);
      const std::uint16_t attribs = Le16(r + cffile::kAttributes);
      EntryInfo& e = entries[i];
      e.mtime.kind = FileTime::DosLocal;
      e.mtime.value = (std::uint64_t{Le16(r + cffile::kDate)} << 16) | Le16(r + cffile::kTime);
      p += cffile::kSize;
      const void* nul = std::memchr(window.data() + p, 0, std::min(have - p, cffile::kMaxName + 1));
      if (nul == nullptr) return Status::Corrupt;
      const auto len = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - (window.data() + p));
      e.rawName.assign(reinterpret_cast<const char*>(window.data() + p), len);
      p += len + 1;
      e.encoding = (attribs & cffile::kAttrNameIsUtf8) ? NameEncoding::Utf8 : NameEncoding::Cp932;
      e.backslashIsSeparator = true;
      e.size = rec.size;
      e.dosAttributes = attribs & cffile::kAttrKept;
      if (rec.folder >= cffile::kFolderContinuedFirst) return Status::Unsupported;
      if (rec.folder >= hd.folderCount) return Status::Corrupt;
      folders[rec.folder].used = true;
    }
    return Status::Ok;
  }

  // Walks the data blocks of every folder in use: the chain must lie inside
  // the cabinet, and gives each folder's uncompressed size. Each block
  // header takes at least 8 bytes, which bounds the walk by the file size.
  Status WalkDataBlocks(const Header& hd) {
    std::uint64_t blocksLeft = hd.cabinetSize / cfdata::kSize + 1;
    for (Folder& fo : folders) {
      if (!fo.used) continue;
      if (!fo.codec) return Status::Unsupported;
      if (fo.blocks > blocksLeft) return Status::Corrupt;
      blocksLeft -= fo.blocks;
      std::uint64_t bp = fo.firstBlock;
      for (std::uint32_t b = 0; b < fo.blocks; ++b) {
        std::uint8_t dh[cfdata::kSize];
        if (bp < base + cfheader::kSize || bp > cabinetEnd) return Status::Corrupt;
        Status s = Read(bp, dh, sizeof dh);
        if (s != Status::Ok) return s;
        const std::uint16_t packed = Le16(dh + cfdata::kCompressedSize);
        const std::uint16_t unpacked = Le16(dh + cfdata::kUncompressedSize);
        if (fo.codec->method == CabMethod::Stored && packed != unpacked) return Status::Corrupt;
        if (NeedsFullFrames(fo.codec->method) &&
            (unpacked > kCabFrameSize || (b + 1u < fo.blocks && unpacked != kCabFrameSize)))
          return Status::Corrupt;
        bp += cfdata::kSize + dataReserve + packed;
        if (bp > cabinetEnd) return Status::Corrupt;
        fo.size += unpacked;
        largestPacked = std::max<std::size_t>(largestPacked, packed);
        largestUnpacked = std::max<std::size_t>(largestUnpacked, unpacked);
      }
      largestFolder = std::max(largestFolder, fo.size);
    }
    for (const FileRecord& rec : records)
      if (std::uint64_t{rec.offset} + rec.size > folders[rec.folder].size) return Status::Corrupt;
    return Status::Ok;
  }

  // Looks for an embedded cabinet in a Windows program: a signature followed
  // by a header that makes sense and a cabinet that parses completely.
  Status SearchInProgram() {
    constexpr std::size_t kChunk = 1 << 20;
    constexpr std::size_t kSig = sizeof cfheader::kSignature;
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk + kSig - 1, fileSize)));
    for (std::uint64_t off = 0; off < fileSize; off += kChunk) {
      auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), fileSize - off));
      const std::int64_t got = file->ReadAt(off, buf.data(), n);
      if (got < 0) return Status::IoError;
      n = static_cast<std::size_t>(got);
      // Positions where a signature may start in this chunk, found by memchr.
      const std::size_t lastStart = std::min(n - std::min(n, kSig), kChunk - 1);
      for (std::size_t i = 0; i + kSig <= n && i <= lastStart; ++i) {
        const void* hit = std::memchr(buf.data() + i, cfheader::kSignature[0], lastStart + 1 - i);
        if (hit == nullptr) break;
        i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - buf.data());
        if (std::memcmp(buf.data() + i, cfheader::kSignature, kSig) != 0) continue;
        const std::uint64_t at = off + i;
        if (at == 0) continue;
        std::uint8_t h[cfheader::kSize];
        if (Read(at, h, sizeof h) != Status::Ok) continue;
        const Header hd = HeaderFields(h);
        const bool plausible = Le32(h + cfheader::kReserved1) == 0 &&
                               h[cfheader::kVersionMajor] == cfheader::kVersionMajorValue &&
                               h[cfheader::kVersionMinor] == cfheader::kVersionMinorValue &&
                               hd.cabinetSize >= cfheader::kSize && hd.cabinetSize <= fileSize - at &&
                               hd.filesOffset < hd.cabinetSize && hd.folderCount > 0 && hd.fileCount > 0;
        if (!plausible) continue;
        const Status s = ParseAt(at);
        if (s == Status::Ok || s == Status::IoError) return s;
      }
    }
    Clear();
    return Status::NotThisFormat;
  }
};

namespace {

// The decoders and buffers of one extraction, shared by its folders: a
// folder resets a decoder instead of making its own (a cabinet may hold
// thousands of folders). Buffers and windows are as large as the cabinet's
// largest block and folder need.
struct Workspace {
  Workspace(std::size_t packed, std::size_t unpacked, std::uint64_t folder)
      : in(std::max<std::size_t>(packed, 1)), out(std::max<std::size_t>(unpacked, 1)), largestFolder(folder) {}
  std::vector<std::uint8_t> in, out;
  std::uint64_t largestFolder;
  std::map<FolderCodec, std::unique_ptr<FolderDecoder>> decoders;
  std::uint64_t budget = 0;  // bytes that may still be decoded

  FolderDecoder* DecoderFor(FolderCodec codec) {
    auto& d = decoders[codec];
    if (!d) d = MakeFolderDecoder(codec, largestFolder);
    return d.get();
  }
};

// Decodes one folder's data blocks in order, one block at a time, and hands
// out byte ranges of the folder's uncompressed data.
class FolderStream {
 public:
  FolderStream(Source& cab, const Folder& folder, Workspace& ws) : cab_(cab), folder_(folder), ws_(ws) {}

  Status Init() {
    decoder_ = ws_.DecoderFor(*folder_.codec);
    if (!decoder_) return Status::IoError;
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
      const auto at = static_cast<std::size_t>(from - outStart_);
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(to - from, outLen_ - at));
      if (!sink.Write(ws_.out.data() + at, n)) return Status::Aborted;
      from += n;
    }
    return Status::Ok;
  }

 private:
  void Restart() {
    nextBlock_ = 0;
    nextPos_ = folder_.firstBlock;
    outStart_ = 0;
    outLen_ = 0;
    decoder_->Reset();
  }

  Status NextBlock() {
    if (nextBlock_ >= folder_.blocks) return Status::Corrupt;  // data ends before the files do
    std::uint8_t h[cfdata::kSize];
    Status s = cab_.Read(nextPos_, h, sizeof h);
    if (s != Status::Ok) return s;
    const std::uint32_t checksum = Le32(h + cfdata::kChecksum);
    const std::uint16_t packed = Le16(h + cfdata::kCompressedSize);
    const std::uint16_t unpacked = Le16(h + cfdata::kUncompressedSize);
    const std::uint64_t dataAt = nextPos_ + cfdata::kSize + cab_.dataReserve;
    if (dataAt + packed > cab_.cabinetEnd) return Status::Corrupt;
    // The blocks must be those that Open walked (the file may have changed
    // since): the buffers and windows are sized by them.
    if (packed > ws_.in.size() || unpacked > ws_.out.size() || outStart_ + outLen_ + unpacked > folder_.size)
      return Status::Corrupt;
    if ((s = cab_.Read(dataAt, ws_.in.data(), packed)) != Status::Ok) return s;
    // The checksum covers the data, then the two size fields.
    const std::uint32_t sum = CabChecksum(ws_.in.data(), packed, 0);
    if (checksum != 0 && CabChecksum(h + cfdata::kCompressedSize, 4, sum) != checksum) return Status::Corrupt;
    nextPos_ = dataAt + packed;
    ++nextBlock_;
    outStart_ += outLen_;
    outLen_ = unpacked;
    if (ws_.budget < unpacked) return Status::Unsupported;
    ws_.budget -= unpacked;
    if (unpacked == 0) return Status::Ok;
    return decoder_->DecodeBlock(ws_.in.data(), packed, ws_.out.data(), unpacked) ? Status::Ok
                                                                                  : Status::Corrupt;
  }

  Source& cab_;
  const Folder& folder_;
  Workspace& ws_;
  FolderDecoder* decoder_ = nullptr;
  std::uint32_t nextBlock_ = 0;
  std::uint64_t nextPos_ = 0;
  std::uint64_t outStart_ = 0;  // folder offset of ws_.out[0]
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
  std::uint8_t sig[sizeof cfheader::kSignature];
  if (d.fileSize < sizeof sig) return Status::NotThisFormat;
  const std::int64_t got = file.ReadAt(0, sig, sizeof sig);
  if (got < 0) return Status::IoError;
  if (got != static_cast<std::int64_t>(sizeof sig)) return Status::NotThisFormat;
  Status s;
  if (std::memcmp(sig, cfheader::kSignature, sizeof sig) == 0) s = d.ParseAt(0);
  else if (sig[0] == 'M' && sig[1] == 'Z') s = d.SearchInProgram();  // a Windows program
  else return Status::NotThisFormat;
  if (s != Status::Ok) d.Clear();
  return s;
}

Status CabReader::ExtractAll(const std::function<EntrySink*(std::size_t)>& sinkFor) {
  Impl& d = *impl_;
  // Decoding the same data twice is allowed up to a bound: all the data the
  // files need once, plus 256 MiB.
  Workspace ws(d.largestPacked, d.largestUnpacked, d.largestFolder);
  ws.budget = std::uint64_t{256} << 20;
  for (const Folder& fo : d.folders)
    if (fo.used) ws.budget += fo.size;

  std::vector<std::vector<std::size_t>> byFolder(d.folders.size());
  for (std::size_t i = 0; i < d.records.size(); ++i) byFolder[d.records[i].folder].push_back(i);
  for (std::size_t f = 0; f < d.folders.size(); ++f) {
    auto& list = byFolder[f];
    if (list.empty()) continue;
    std::stable_sort(list.begin(), list.end(),
                     [&](std::size_t a, std::size_t b) { return d.records[a].offset < d.records[b].offset; });
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
