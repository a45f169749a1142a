// libFuzzer target: the ZIP reader and the extraction engine, writing into a
// real temporary folder. Besides the sanitizers' checks it stops on:
// anything appearing outside the destination folder, and a failed call that
// changes the destination (the extraction must be all-or-nothing).
//
// Short run (CTest, tests/extract/fuzz_smoke.sh): 25 seconds.
// Long run, e.g. ten million executions on one core, from a scratch folder
// (the target extracts into a "tarvex-fuzz-*" folder it makes there):
//   mkdir -p /tmp/zipfuzz/corpus && cd /tmp/zipfuzz && REPO/build/fuzz/fuzz_zip -runs=10000000 -timeout=20 \
//       -rss_limit_mb=2048 -max_len=65536 corpus/ <folder with the corpus ZIPs>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "extract/engine.h"
#include "extract/zip_reader.h"

namespace fs = std::filesystem;
using namespace tarvex::extract;

namespace {

class MemoryInput final : public InputFile {
 public:
  MemoryInput(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
  std::uint64_t Size() const override { return n_; }
  std::int64_t ReadAt(std::uint64_t off, void* buf, std::size_t n) override {
    if (off >= n_) return 0;
    std::size_t k = n < n_ - off ? n : static_cast<std::size_t>(n_ - off);
    std::copy(d_ + off, d_ + off + k, static_cast<std::uint8_t*>(buf));
    return static_cast<std::int64_t>(k);
  }

 private:
  const std::uint8_t* d_;
  std::size_t n_;
};

class Host final : public ExtractHost {
 public:
  OverwriteAnswer answer = OverwriteAnswer::No;
  OverwriteAnswer AskOverwrite(int) override { return answer; }
};

std::string Listing(const fs::path& root) {
  std::string out;
  for (auto& e : fs::recursive_directory_iterator(root)) {
    out += fs::relative(e.path(), root).string();
    out += e.is_symlink() ? "@l\n" : e.is_directory() ? "@d\n" : "@f" + std::to_string(e.file_size()) + "\n";
  }
  return out;
}

const fs::path& Parent() {
  static fs::path parent = [] {
    // In the working folder, where the run's other files go too (libFuzzer
    // ends without running exit handlers, so the caller removes it).
    std::string t = (fs::current_path() / "tarvex-fuzz-XXXXXX").string();
    fs::path p = mkdtemp(t.data());
    return p;
  }();
  return parent;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Skip inputs that would write more than 64 MiB: they only slow the run.
  {
    MemoryInput in(data, size);
    ZipReader probe;
    if (probe.Open(in) == Status::Ok) {
      std::uint64_t total = 0;
      for (const EntryInfo& e : probe.Entries()) total += e.size;
      if (total > (64u << 20) || probe.Entries().size() > 5000) return 0;
    }
  }
  const fs::path& parent = Parent();
  fs::path dest = parent / "dest";
  fs::path archive = parent / "in.zip";
  // The destination holds one file, "existing.txt", before every call; it is
  // rebuilt only when the previous call changed it.
  static const std::string kFresh = "existing.txt@f8\n";
  if (!fs::exists(dest) || Listing(dest) != kFresh) {
    fs::remove_all(dest);
    fs::create_directory(dest);
    std::ofstream(dest / "existing.txt") << "existing";
  }
  std::ofstream(archive, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  const std::string before = kFresh;

  Host host;
  host.answer = size ? static_cast<OverwriteAnswer>(data[size - 1] % 3) : OverwriteAnswer::No;
  std::string cmdline = "-xs " + archive.string() + " " + dest.string() + "\\";
  char output[64];
  int rc = RunArchiver(host, cmdline, "-xs ", [] { return std::make_unique<ZipReader>(); }, output, sizeof output);

  for (auto& e : fs::directory_iterator(parent)) {
    if (e.path() != dest && e.path() != archive) {
      std::fprintf(stderr, "written outside the destination: %s\n", e.path().c_str());
      abort();
    }
  }
  if (rc != 0 && Listing(dest) != before) {
    std::fprintf(stderr, "failed call (%d) changed the destination\n", rc);
    abort();
  }
  for (auto& e : fs::recursive_directory_iterator(dest)) {
    if (e.is_symlink()) {
      std::fprintf(stderr, "link created: %s\n", e.path().c_str());
      abort();
    }
  }
  return 0;
}
