// Shared by the fuzz targets: one archiver call on the in-memory file system
// (a Windows-like volume with 8.3 aliases), with the checks every call must
// pass. The archive is /in.arc; the folder /dest holds "existing.txt"; the
// last input byte answers the overwrite question; the disk takes 1 MB, so a
// bomb ends as a failed write. When the call succeeds, every other input (by
// a hash of its bytes) is extracted once more over its own files (answer
// Yes) with one changing call of the file system failing (the hash picks
// which of the first 256), so that rollbacks that must put originals back
// are fuzzed too. A call aborts (a
// crash for libFuzzer) when anything outside the folder changed, when a
// failed call left the folder different in any way (times included), or
// when a staging folder outlived the call.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "extract/engine.h"
#include "extract/memory_fs.h"

namespace tarvex::extract::fuzz {

class Host final : public ExtractHost {
 public:
  OverwriteAnswer answer = OverwriteAnswer::No;
  OverwriteAnswer AskOverwrite(int) override { return answer; }
};

[[noreturn]] inline void Fail(const char* what, int rc) {
  std::fprintf(stderr, "%s (result %d)\n", what, rc);
  std::abort();
}

// What must never change outside the folder: the volume's top level (names
// and time) and the archive.
inline std::string Outside(MemoryFs& fs) {
  std::string s = std::to_string(fs.Time("/")) + "/" + std::to_string(fs.Time("/in.arc"));
  fs.ListDir("/", [&](const std::string& name, PathKind) { s += "/" + name; });
  return s;
}

inline void Populate(MemoryFs& fs, std::string archive) {
  fs.AddFile("/in.arc", std::move(archive));
  fs.AddFile("/dest/existing.txt", "existing");
}

inline void CheckedRun(const std::uint8_t* data, std::size_t size, std::string_view option,
                       const std::function<std::unique_ptr<ArchiveReader>()>& makeReader) {
  // Every run starts from the same volume, so its picture is taken once.
  static const auto start = [] {
    MemoryFs fs(true);
    Populate(fs, "");
    return std::make_pair(Outside(fs), fs.Snapshot("/dest"));
  }();
  MemoryFs fs(true);
  const std::string archive(reinterpret_cast<const char*>(data), size);
  Populate(fs, archive);
  fs.freeSpace = 1u << 20;
  Host host;
  host.answer = size ? static_cast<OverwriteAnswer>(data[size - 1] % 3) : OverwriteAnswer::No;
  const std::string cmdline = std::string(option) + "/in.arc /dest\\";
  auto run = [&](const std::map<std::string, std::string>& before) {
    const int rc = RunArchiver(host, cmdline, option, makeReader, nullptr, 0, &fs);
    if (Outside(fs) != start.first || fs.Read("/in.arc") != archive) Fail("written outside the destination", rc);
    const auto after = fs.Snapshot("/dest");
    if (rc != kOk && after != before) Fail("a failed call changed the destination", rc);
    for (const auto& [path, what] : after)
      if (path.compare(0, 16, ".tarvex-staging-") == 0) Fail("a staging folder outlived the call", rc);
    return rc;
  };
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  if (run(start.second) != kOk || (hash & 0x100)) return;
  const auto made = fs.Snapshot("/dest");
  fs.FailChange(fs.changes() + (hash & 0xFF));
  host.answer = OverwriteAnswer::Yes;
  run(made);
}

}  // namespace tarvex::extract::fuzz
