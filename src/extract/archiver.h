// The three archiver entry points the gadget calls, in-process, with the
// command lines it builds: option text, archive path, one space, destination
// folder and one backslash. Each returns 0 exactly when the whole archive was
// extracted into the folder, and non-zero otherwise, leaving the folder as it
// was.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvex::extract {

enum class OverwriteAnswer { Yes, No, Cancel };

// What an archiver needs from its caller while it runs.
class ExtractHost {
 public:
  virtual ~ExtractHost() = default;
  // Asked at most once per call, when `count` files of the same names as
  // entries already exist in the folder. The gadget shows a Yes/No/Cancel box
  // owned by its main window; the harness answers from its command line.
  virtual OverwriteAnswer AskOverwrite(int count) = 0;
  // A failed run could not put back a file it had replaced (another program
  // holds the new file open, say): the original is kept under another name
  // instead, never deleted. Paths are UTF-8, with '/' inside the folder.
  virtual void OriginalKept(const std::string& originalPath, const std::string& keptAsPath) {
    (void)originalPath;
    (void)keptAsPath;
  }
  // How long a run waits while another run extracts into the same folder.
  virtual int LockWaitMs() { return 10000; }
};

// cmdline is UTF-8. output/outputSize: a buffer the archiver may write a
// NUL-terminated message into (may be null with size 0).
int UnZip(ExtractHost& host, std::string_view cmdline, char* output, std::size_t outputSize);
int Cab(ExtractHost& host, std::string_view cmdline, char* output, std::size_t outputSize);
int Unlha(ExtractHost& host, std::string_view cmdline, char* output, std::size_t outputSize);

}  // namespace tarvex::extract
