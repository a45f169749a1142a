// UnZip: the ZIP archiver entry point.
#include <memory>

#include "extract/archiver.h"
#include "extract/engine.h"
#include "extract/zip_reader.h"

namespace tarvex::extract {

int UnZip(ExtractHost& host, std::string_view cmdline, char* output, std::size_t outputSize) {
  return RunArchiver(host, cmdline, "-xs ", [] { return std::make_unique<ZipReader>(); }, output,
                     outputSize);
}

}  // namespace tarvex::extract
