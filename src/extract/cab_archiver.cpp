// Cab: the cabinet archiver entry point.
#include <memory>

#include "extract/archiver.h"
#include "extract/cab_reader.h"
#include "extract/engine.h"

namespace tarvex::extract {

int Cab(ExtractHost& host, std::string_view cmdline, char* output, std::size_t outputSize) {
  return RunArchiver(host, cmdline, "-x ", [] { return std::make_unique<CabReader>(); }, output,
                     outputSize);
}

}  // namespace tarvex::extract
