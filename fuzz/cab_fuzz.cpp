// libFuzzer target: the cabinet reader, its decoders and the extraction
// engine (Cab's call), on the in-memory file system with the checks of
// fuzz_engine.h.
//
// Short run: the CTest entry cab_fuzz_smoke (tests/extract/fuzz_smoke.sh, 25 s,
// seeded with the corpus archives and cabgen.py streams). Long run, seeded the same way:
//   tests/extract/fuzz_smoke.sh build/fuzz/fuzz_cab ../shared/corpus /tmp/cabfuzz 1 cab
//   cd /tmp/cabfuzz && ASAN_OPTIONS=malloc_context_size=0:quarantine_size_mb=16 \
//     REPO/build/fuzz/fuzz_cab -runs=10000000 -timeout=20 -rss_limit_mb=2048 -max_len=65536 seeds
#include "extract/cab_reader.h"
#include "fuzz_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex::extract;
  fuzz::CheckedRun(data, size, "-x ", [] { return std::make_unique<CabReader>(); });
  return 0;
}
