// Unlha: the LZH archiver entry point. The gadget calls it with the option
// text "e ". Traditionally "e" drops the folders stored in the archive; here
// the folder structure is kept, because flattening would let two files of the
// same name from different folders collide and one of them would be lost.
#include "extract/archiver.h"
#include "extract/engine.h"
#include "extract/lzh_reader.h"

namespace tarvex::extract {

int Unlha(ExtractHost& host, std::string_view cmdline, char* output, std::size_t outputSize) {
  return RunArchiver(host, cmdline, "e ", [] { return MakeLzhReader(); }, output, outputSize);
}

}  // namespace tarvex::extract
