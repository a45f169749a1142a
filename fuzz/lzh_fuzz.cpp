// libFuzzer target: the LZH reader (headers, the search for an archive inside
// other bytes, every decoder) and the extraction engine (Unlha's call), on
// the in-memory file system with the checks of fuzz_engine.h.
//
// Short run: the CTest entry lzh_fuzz_smoke (tests/extract/fuzz_smoke.sh, 25 s,
// seeded with the corpus archives). Long run, seeded the same way:
//   tests/extract/fuzz_smoke.sh build/fuzz/fuzz_lzh ../shared/corpus /tmp/lzhfuzz 1 lzh
//   cd /tmp/lzhfuzz && ASAN_OPTIONS=malloc_context_size=0:quarantine_size_mb=16 \
//     REPO/build/fuzz/fuzz_lzh -runs=10000000 -timeout=20 -rss_limit_mb=2048 -max_len=65536 seeds
#include "extract/lzh_reader.h"
#include "fuzz_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex::extract;
  fuzz::CheckedRun(data, size, "e ", [] { return std::make_unique<LzhReader>(); });
  return 0;
}
