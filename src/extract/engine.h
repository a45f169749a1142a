// The shared extraction engine behind the three archiver entry points
// (UnZip, Cab, Unlha). It parses the command line, opens the archive with a
// format reader, maps every entry name to a safe path inside the destination
// folder, asks the one overwrite question, decodes everything into a hidden
// staging folder inside the destination, and only when every entry has been
// decoded and checked moves the files into place. Any failure leaves the
// destination as it was.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "extract/archiver.h"
#include "extract/reader.h"

namespace tarvex::extract {

class FileSystem;

// What happens to each kind of entry (all decided before anything is written):
//   absolute names, drive letters, UNC prefixes  prefix dropped, extracted inside
//   a name that is only a drive ("x:")          a file named "x_"
//   ".." as a path part                          whole call fails (kUnsafeName)
//   ':' (alternate data streams), <>"|?*, controls  replaced by '_'
//   trailing dots and spaces of a part           replaced by '_'
//   device names (CON, NUL, COM1, LPT1, ...)     renamed with a leading '_'
//   a part longer than 255 UTF-16 units, or a
//   path longer than Windows allows (32,767
//   units with the folder and the staging room)  whole call fails (kTooLong)
//   a first part starting ".tarvex-staging-"     whole call fails (kUnsafeName)
//   a part spelt like an 8.3 alias (PROGRA~1,
//   LONGFI~1.TXT) of an existing item            means that item (so it is
//                                                counted by the overwrite question)
//   symbolic links                               skipped, never created
//   two entries of the very same name            the later one is extracted
//   distinct names that end as one path (after
//   the rules above or the file system's case
//   folding, e.g. "a." and "a_", "Ä" and "ä")    all kept: a later file gets
//                                                "name (2).ext", "name (3).ext"...;
//                                                folders of one path merge
//   a file where a folder is needed, or an
//   existing link or non-file in the way         whole call fails (kConflict)
//   a name that is empty after all this         folder: skipped; file: kCorrupt
// Every file is decoded into a hidden staging folder inside the destination
// (".tarvex-staging-..."), checked (CRC by the reader, size by the engine),
// and moved into place only when the whole archive has been decoded; a new
// folder is built whole in the staging folder and moved in one step. Files it
// replaces wait in the staging folder ("originals/N/<their own name>") until
// the end, so that a failure while placing puts everything back. The staging
// folder's "journal.txt" lists every move before the first one is made, so
// that the next run into the folder puts things back (or finishes) after a
// run that was killed. Runs into one folder take turns (FileSystem::LockFolder).
// A failed run leaves the folder as it was, its time included; an original
// that cannot be put back is kept beside its place, never deleted.

// Results of RunArchiver (and so of UnZip, Cab, Unlha). 0 is success only.
enum ArchiverResult : int {
  kOk = 0,
  kBadCommandLine = 1,   // no archive file / destination folder split fits
  kNotThisFormat = 2,    // the reader does not know the file
  kCorrupt = 3,          // damaged headers or data, bad CRC, truncated
  kUnsupported = 4,      // encrypted, multi-part, unknown method
  kReadError = 5,        // the archive could not be read
  kWriteError = 6,       // a file or folder could not be written (disk full...)
  kCancelled = 7,        // the user answered Cancel to the overwrite question
  kUnsafeName = 8,       // an entry name tries to leave the folder (".." parts)
  kConflict = 9,         // entry paths clash with each other or with the folder's contents
  kBusy = 10,            // another extraction into the folder did not end in time
  kTooLong = 11,         // an entry's path is longer than Windows allows
};

// The two paths recovered from a command line.
struct CommandLinePaths {
  std::string archive;
  std::string folder;  // without the terminating backslash
};

// Splits the text after the option text into archive path and folder path.
// The command line ends in one backslash that terminates the folder path (it
// is removed; a drive root "D:\" therefore arrives as "D:\\\\" and becomes
// "D:\\"). The words between are separated by single spaces; every split point
// is tried from the left, and the first one where the archive part names an
// existing regular file and the folder part an existing folder wins (the
// shortest archive path). Only that last backslash is treated specially; '/'
// and '\\' inside the paths are left to the platform.
bool SplitCommandLine(std::string_view cmdline, std::string_view optionText, FileSystem& fs,
                      CommandLinePaths& out);

// Runs one archiver call: parses the command line (option text, archive path, one
// space, folder path, one backslash; spaces in paths recovered as above), opens the
// archive with a reader from makeReader, and extracts all-or-nothing.
// fs defaults to the platform's file system.
int RunArchiver(ExtractHost& host, std::string_view cmdline, std::string_view optionText,
                const std::function<std::unique_ptr<ArchiveReader>()>& makeReader,
                char* output, std::size_t outputSize, FileSystem* fs = nullptr);

// Name handling, exposed for tests.
// Decodes raw name bytes to UTF-8 (CP932 or UTF-8; invalid bytes become U+FFFD).
std::string DecodeName(std::string_view raw, NameEncoding encoding);

enum class NameVerdict { Ok, Empty, Unsafe };
// Turns a decoded entry name into a relative path of safe components joined
// by '/': separators are '/' (and '\\' when backslashIsSeparator); leading
// separators, drive prefixes ("C:") and UNC prefixes are dropped; "." and empty
// parts are dropped; a ".." part makes the name Unsafe; a name that is only a
// drive ("x:") is the part "x:" (so "x_"); characters Windows
// does not allow in names (<>:"/\|?* and controls) become '_'; trailing dots
// and spaces become '_'; device names (CON, NUL, PRN, AUX, COM1-9, LPT1-9,
// CONIN$, CONOUT$, with or without extension) get a leading '_'.
NameVerdict SafeRelativePath(std::string_view utf8Name, bool backslashIsSeparator,
                             std::string& out);

}  // namespace tarvex::extract
