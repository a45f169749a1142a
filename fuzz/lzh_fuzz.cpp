// libFuzzer target: the LZH reader (headers, the search for an archive inside
// other bytes, every decoder) and the extraction engine (Unlha's call), on
// the in-memory file system with the checks of fuzz_engine.h.
// Short run: tests/lzh/tests.cmake (lzh_fuzz_smoke); a longer run: see the
// header of bench/lzh.sh.
#include "extract/lzh_reader.h"
#include "fuzz_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex::extract;
  fuzz::CheckedRun(data, size, "e ", [] { return std::make_unique<LzhReader>(); });
  return 0;
}
