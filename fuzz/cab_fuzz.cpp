// libFuzzer target: the cabinet reader, its decoders and the extraction
// engine (Cab's call), on the in-memory file system with the checks of
// fuzz_engine.h.
//
// Short run: tests/cab/fuzz_smoke.sh (CTest cab_fuzz_smoke). Long run, seeded
// the same way (seeds: the corpus cabinets and tests/cab/cabgen.py output):
//   fuzz_cab -max_len=65536 -timeout=20 -rss_limit_mb=2048 -runs=10000000 -jobs=2 -workers=2 seeds
#include "extract/cab_reader.h"
#include "fuzz_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex::extract;
  fuzz::CheckedRun(data, size, "-x ", [] { return std::make_unique<CabReader>(); });
  return 0;
}
