#include "drop/archivers.h"

#include <vector>

namespace tarvex::drop {
namespace {

class InProcess final : public Archivers {
 public:
  int Run(Archiver which, std::string_view cmdline, int outputSize, extract::ExtractHost& host) override {
    const std::size_t size = outputSize > 0 ? static_cast<std::size_t>(outputSize) : 0;
    std::vector<char> output(size + 1, '\0');
    switch (which) {
      case Archiver::UnZip: return extract::UnZip(host, cmdline, output.data(), size);
      case Archiver::Cab: return extract::Cab(host, cmdline, output.data(), size);
      case Archiver::Unlha: return extract::Unlha(host, cmdline, output.data(), size);
    }
    return -1;
  }
};

}  // namespace

Archivers& InProcessArchivers() {
  static InProcess archivers;
  return archivers;
}

}  // namespace tarvex::drop
