// The small file-system interface the extraction engine works through. Paths
// are UTF-8 text; the native implementation (fileio_posix.cpp) passes them on
// as they are, the Windows one (fileio_win32.cpp) turns them into UTF-16 and
// calls the wide Win32 API, so names with any characters work on both.
// Inside the destination folder the engine joins path parts with '/'; the
// Windows implementation turns every '/' into '\\' before calling the API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "extract/reader.h"

namespace tarvex::extract {

// A file opened for writing. Write returns false on any error (disk full...).
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const void* data, std::size_t n) = 0;
  // Flushes and closes; false when the data may not all have reached the disk.
  virtual bool Close() = 0;
};

enum class PathKind { None, File, Directory, Other };

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual std::unique_ptr<InputFile> OpenRead(const std::string& path) = 0;
  // Creates a new file; fails when the path exists already.
  virtual std::unique_ptr<OutputFile> CreateNew(const std::string& path) = 0;
  // Creates one directory; fails when it exists already or the parent is missing.
  virtual bool MakeDir(const std::string& path) = 0;
  // Renames a file or directory. With replace, an existing file at `to` is
  // replaced in one step; without it the call fails when `to` exists.
  virtual bool Rename(const std::string& from, const std::string& to, bool replace) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Removes an empty directory.
  virtual bool RemoveDir(const std::string& path) = 0;
  // What is at the path. Without followLinks a symbolic link (or any other
  // reparse point) is Other, so nothing is ever written through one.
  virtual PathKind Kind(const std::string& path, bool followLinks = false) = 0;
  // Sets the modification time (the last-write time on Windows). DosLocal
  // times are local time, converted by the platform's own local-time rules.
  virtual bool SetTime(const std::string& path, const FileTime& time) = 0;
  // Marks a directory hidden where the platform has such a mark (Windows);
  // elsewhere a leading dot in its name hides it.
  virtual void MarkHidden(const std::string& path) = 0;
};

// The platform's file system (fileio_posix.cpp or fileio_win32.cpp).
FileSystem& PlatformFileSystem();

}  // namespace tarvex::extract
