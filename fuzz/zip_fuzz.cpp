// libFuzzer target: the ZIP reader and the extraction engine (UnZip's call),
// on the in-memory file system with the checks of fuzz_engine.h.
//
// Short run (CTest, tests/extract/fuzz_smoke.sh): 25 seconds.
// Long run, e.g. ten million executions on one core:
//   mkdir -p /tmp/zipfuzz/corpus && cd /tmp/zipfuzz && REPO/build/fuzz/fuzz_zip -runs=10000000 -timeout=20 \
//       -rss_limit_mb=2048 -max_len=65536 corpus/ <folder with the corpus ZIPs>
#include "extract/zip_reader.h"
#include "fuzz_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex::extract;
  fuzz::CheckedRun(data, size, "-xs ", [] { return std::make_unique<ZipReader>(); });
  return 0;
}
