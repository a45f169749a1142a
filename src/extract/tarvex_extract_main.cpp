// tarvex-extract: the native harness around the three archiver entry points.
//
//   tarvex-extract [--overwrite=yes|no|cancel] [--wait=MS] LIBRARY ARCHIVE FOLDER
//   tarvex-extract [--overwrite=yes|no|cancel] [--wait=MS] ARCHIVE FOLDER
//
// LIBRARY is UnZip, Cab or Unlha. Without it the three are tried in the
// program's order (UnZip, Cab, Unlha) until one returns 0. The command line
// each entry receives is built exactly as the gadget builds it: the option
// text, the archive path, one space, the folder path as given here, and one
// backslash (the engine takes that last backslash as the end of the folder
// path, so on Linux "/tmp/out" arrives as "/tmp/out\"). The answer to the
// overwrite question comes from --overwrite (default: no); --wait is how
// long a run waits for another run into the same folder (default 10000 ms).
// An original file that a failed run could not put back is reported on
// stderr as "kept the original of PATH as PATH".
// Exit status: 0 when an entry returned 0, 1 otherwise, 2 for a usage error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "extract/archiver.h"

namespace {

using tarvex::extract::ExtractHost;
using tarvex::extract::OverwriteAnswer;

class FixedAnswer final : public ExtractHost {
 public:
  OverwriteAnswer AskOverwrite(int count) override {
    std::fprintf(stderr, "tarvex-extract: %d existing file(s) of the same name\n", count);
    return answer;
  }
  void OriginalKept(const std::string& original, const std::string& keptAs) override {
    std::fprintf(stderr, "tarvex-extract: kept the original of %s as %s\n", original.c_str(), keptAs.c_str());
  }
  int LockWaitMs() override { return waitMs; }
  OverwriteAnswer answer = OverwriteAnswer::No;
  int waitMs = 10000;
};

struct Library {
  const char* name;
  const char* option;
  int (*entry)(ExtractHost&, std::string_view, char*, std::size_t);
};

const Library kLibraries[] = {
    {"UnZip", "-xs ", tarvex::extract::UnZip},
    {"Cab", "-x ", tarvex::extract::Cab},
    {"Unlha", "e ", tarvex::extract::Unlha},
};

int Usage() {
  std::fprintf(stderr,
               "usage: tarvex-extract [--overwrite=yes|no|cancel] [--wait=MS] [UnZip|Cab|Unlha] ARCHIVE FOLDER\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  FixedAnswer host;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "--overwrite=yes") host.answer = OverwriteAnswer::Yes;
    else if (a == "--overwrite=no") host.answer = OverwriteAnswer::No;
    else if (a == "--overwrite=cancel") host.answer = OverwriteAnswer::Cancel;
    else if (a.substr(0, 7) == "--wait=") host.waitMs = std::atoi(argv[i] + 7);
    else if (a.substr(0, 2) == "--") return Usage();
    else args.emplace_back(a);
  }
  std::vector<const Library*> order;
  if (args.size() == 3) {
    for (const Library& l : kLibraries)
      if (args[0] == l.name) order.push_back(&l);
    if (order.empty()) return Usage();
    args.erase(args.begin());
  } else if (args.size() == 2) {
    for (const Library& l : kLibraries) order.push_back(&l);
  } else {
    return Usage();
  }
  for (const Library* l : order) {
    std::string cmdline = std::string(l->option) + args[0] + " " + args[1] + "\\";
    char output[256] = {};
    int rc = l->entry(host, cmdline, output, sizeof output);
    std::fprintf(stderr, "tarvex-extract: %s returned %d: %s\n", l->name, rc, output);
    if (rc == 0) return 0;
  }
  return 1;
}
