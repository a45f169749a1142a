// Fuzz target for the cabinet reader and the Cab entry point.
//
// Every input is read by the reader alone from memory (Open, then ExtractAll
// into counting sinks); one that opens is then also given to Cab() as the
// gadget calls it, from a file into a folder inside a private scratch
// parent. After the call the parent must hold nothing but the archive and
// that folder, and a failed call must leave the folder empty.
//
// Short run: tests/cab/fuzz_smoke.sh (CTest cab_fuzz_smoke). Long run, seeded
// the same way (seeds: the corpus cabinets and tests/cab/cabgen.py output):
//   TARVEX_FUZZ_READER_ONLY=1 fuzz_cab -max_len=65536 -timeout=20 \
//       -rss_limit_mb=2048 -runs=10000000 -jobs=2 -workers=2 seeds
// and without TARVEX_FUZZ_READER_ONLY for the whole call (slower: every run
// that opens writes to disk).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "extract/archiver.h"
#include "extract/cab_reader.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvex::extract;

class Memory final : public InputFile {
 public:
  Memory(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
  std::uint64_t Size() const override { return n_; }
  std::int64_t ReadAt(std::uint64_t off, void* buf, std::size_t n) override {
    if (off >= n_) return 0;
    std::size_t k = n < n_ - off ? n : static_cast<std::size_t>(n_ - off);
    std::memcpy(buf, d_ + off, k);
    return static_cast<std::int64_t>(k);
  }

 private:
  const std::uint8_t* d_;
  std::size_t n_;
};

class Counter final : public EntrySink {
 public:
  bool Write(const std::uint8_t* data, std::size_t n) override {
    if (n > 0) sum += data[0] + data[n - 1];
    total += n;
    return total < (std::uint64_t{64} << 20);  // keep each run short
  }
  std::uint64_t total = 0;
  unsigned sum = 0;
};

class NoHost final : public ExtractHost {
 public:
  OverwriteAnswer AskOverwrite(int) override { return OverwriteAnswer::Cancel; }
};

struct Scratch {
  fs::path parent, archive, folder;
  Scratch() {
    char tmpl[] = "/tmp/fuzz_cab_XXXXXX";
    char* p = mkdtemp(tmpl);
    if (!p) std::abort();
    parent = p;
    archive = parent / "in.cab";
    folder = parent / "out";
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(parent, ec);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    Memory file(data, size);
    CabReader reader;
    if (reader.Open(file) != Status::Ok) return 0;  // the engine would stop there too
    Counter sink;
    reader.ExtractAll([&](std::size_t) -> EntrySink* { return &sink; });
  }
  // The whole call costs file-system work; TARVEX_FUZZ_READER_ONLY=1 skips
  // it for the fastest runs of the decoders.
  static const bool readerOnly = std::getenv("TARVEX_FUZZ_READER_ONLY") != nullptr;
  if (readerOnly) return 0;

  static Scratch scratch;
  std::error_code ec;
  fs::remove_all(scratch.folder, ec);
  fs::create_directory(scratch.folder);
  {
    std::FILE* f = std::fopen(scratch.archive.c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  std::string cmd = "-x " + scratch.archive.string() + " " + scratch.folder.string() + "\\";
  NoHost host;
  char out[256];
  int rc = Cab(host, cmd, out, sizeof out);

  for (const auto& e : fs::directory_iterator(scratch.parent)) {
    if (e.path() != scratch.archive && e.path() != scratch.folder) std::abort();  // wrote outside
  }
  for (const auto& e : fs::recursive_directory_iterator(scratch.folder)) {
    if (e.is_symlink()) std::abort();  // no link is ever made
    if (rc != 0) std::abort();         // a failed call leaves the folder as it was
  }
  return 0;
}
