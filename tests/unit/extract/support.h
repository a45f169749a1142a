// Shared helpers of the extraction tests: archives in memory (the engine's
// own MemoryInput), a temporary folder and a snapshot of a real folder tree
// (names, kinds, contents).
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "extract/memory_fs.h"

namespace tarvex::extract::testing {

using extract::MemoryInput;

class StringSink final : public EntrySink {
 public:
  bool Write(const std::uint8_t* data, std::size_t n) override {
    text.append(reinterpret_cast<const char*>(data), n);
    return true;
  }
  std::string text;
};

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tarvex-test-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& data) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// Every item below root (hidden ones included): "d" for a folder, "l" for a
// link, else "f" plus the contents and the modification time.
inline std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> out;
  for (auto& e : std::filesystem::recursive_directory_iterator(root)) {
    std::string rel = std::filesystem::relative(e.path(), root).string();
    if (e.is_symlink()) out[rel] = "l";
    else if (e.is_directory()) out[rel] = "d";
    else {
      struct stat st;
      ::stat(e.path().c_str(), &st);
      out[rel] = "f" + ReadFile(e.path().string()) + "@" + std::to_string(st.st_mtime);
    }
  }
  return out;
}

}  // namespace tarvex::extract::testing
