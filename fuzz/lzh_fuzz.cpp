// Fuzz target for the LZH reader: headers, the search for an archive inside
// other bytes, and every decoder, from memory. Some of the inputs the reader
// accepts are then run through Unlha into a fresh temporary folder, which
// must hold nothing outside the destination afterwards.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "extract/archiver.h"
#include "extract/lzh_reader.h"

namespace {

using namespace tarvex::extract;

class MemFile : public InputFile {
 public:
  MemFile(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
  std::uint64_t Size() const override { return n_; }
  std::int64_t ReadAt(std::uint64_t off, void* buf, std::size_t n) override {
    if (off >= n_) return 0;
    const std::size_t k = n < n_ - off ? n : static_cast<std::size_t>(n_ - off);
    std::memcpy(buf, d_ + off, k);
    return static_cast<std::int64_t>(k);
  }

 private:
  const std::uint8_t* d_;
  std::size_t n_;
};

// Keeps a running checksum so the decoded bytes are really read; refuses
// more than a cap so one input cannot run for long.
class CountingSink : public EntrySink {
 public:
  bool Write(const std::uint8_t* d, std::size_t n) override {
    for (std::size_t i = 0; i < n; ++i) sum_ += d[i];
    total_ += n;
    return total_ <= (8u << 20);
  }
  unsigned sum_ = 0;
  std::size_t total_ = 0;
};

class Yes : public ExtractHost {
 public:
  OverwriteAnswer AskOverwrite(int) override { return OverwriteAnswer::Yes; }
};

void RunEngine(const std::uint8_t* data, std::size_t size) {
  namespace fs = std::filesystem;
  // The scratch folder's name lives in a plain array so that the exit
  // handler that removes the folder never sees a destroyed object.
  static char rootName[] = "/tmp/lzh_fuzz_XXXXXX";
  static const fs::path root = [] {
    if (!mkdtemp(rootName)) std::abort();
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(rootName, ignored);
    });
    return fs::path(rootName);
  }();
  const fs::path work = root / "w";
  fs::remove_all(work);
  fs::create_directories(work / "dest");
  {
    std::ofstream f(work / "a.lzh", std::ios::binary);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  Yes host;
  char out[256];
  const std::string cmd = "e " + (work / "a.lzh").string() + " " + (work / "dest").string() + "\\";
  const int rc = Unlha(host, cmd, out, sizeof out);
  // Nothing may appear beside the destination folder, and no link anywhere.
  for (const auto& e : fs::directory_iterator(work)) {
    const std::string n = e.path().filename().string();
    if (n != "dest" && n != "a.lzh") std::abort();
  }
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(work / "dest", ec); it != fs::recursive_directory_iterator();
       ++it) {
    if (it->is_symlink()) std::abort();
  }
  // A failed call leaves the folder empty.
  if (rc != 0 && !fs::is_empty(work / "dest")) std::abort();
  fs::remove_all(work);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemFile file(data, size);
  LzhReader reader;
  if (reader.Open(file) != Status::Ok) return 0;
  std::uint64_t declared = 0;
  for (const EntryInfo& e : reader.Entries()) declared += e.size;
  CountingSink sink;
  const Status s = reader.ExtractAll([&](std::size_t) { return &sink; });
  // The engine run touches the disk and is slow; it is given one accepted
  // input in eight (chosen by content, so a crash reproduces).
  std::uint32_t h = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
  if (s == Status::Ok && declared < (1u << 20) && reader.Entries().size() < 64 && h % 8 == 0)
    RunEngine(data, size);
  return 0;
}
