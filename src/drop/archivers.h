// How the extract button reaches the extraction library: the three archivers
// UnZip, Cab and Unlha, each given a command line and a host that answers
// the library's question and hears its notices. The gadget runs the
// library's own code in process; the unit tests put a recording fake here.
#pragma once

#include <string_view>

#include "extract/archiver.h"

namespace tarvex::drop {

enum class Archiver { UnZip, Cab, Unlha };

class Archivers {
 public:
  virtual ~Archivers() = default;
  // The archiver's result: 0 exactly when the whole archive was extracted.
  // outputSize is the size of the message buffer the archiver may fill.
  virtual int Run(Archiver which, std::string_view cmdline, int outputSize, extract::ExtractHost& host) = 0;
};

// The extraction library's UnZip, Cab and Unlha, called in process.
Archivers& InProcessArchivers();

}  // namespace tarvex::drop
