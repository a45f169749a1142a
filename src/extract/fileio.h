// The file-system interface the extraction engine works through. Paths are
// UTF-8 text; the native implementation (fileio_posix.cpp) passes them on as
// they are, the Windows one (fileio_win32.cpp) turns them into UTF-16 and
// calls the wide Win32 API, so names with any characters work on both. The
// in-memory implementation (memory_fs.h) behaves like a Windows volume and
// serves the tests and the fuzz targets.
// Inside the destination folder the engine joins path parts with '/'; the
// Windows implementation turns every '/' into '\\' before calling the API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "extract/reader.h"

namespace tarvex::extract {

// A file opened for writing. Write returns false on any error (disk full...).
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const void* data, std::size_t n) = 0;
  // Hands everything written so far to the system and waits until it is on
  // the disk (a power cut after this keeps it).
  virtual bool Sync() = 0;
  // Flushes and closes; false when the data may not all have reached the disk.
  virtual bool Close() = 0;
};

enum class PathKind { None, File, Directory, Other };

// What makes a file the same file after renames: the volume and the file's
// number on it (device and inode on POSIX, serial and file ID on Windows).
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t high = 0;
  std::uint64_t low = 0;
  bool operator==(const FileId&) const = default;
};

// Held for the life of one extraction into a folder; released when destroyed
// (and by the system when the process dies).
class FolderLock {
 public:
  virtual ~FolderLock() = default;
};

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
  // Removes a file. Like Windows, it fails on a read-only file.
  virtual bool RemoveFile(const std::string& path) = 0;
  virtual bool ClearReadOnly(const std::string& path) = 0;
  // Removes an empty directory.
  virtual bool RemoveDir(const std::string& path) = 0;
  // What is at the path. Without followLinks a symbolic link (or any other
  // reparse point) is Other, so nothing is ever written through one.
  virtual PathKind Kind(const std::string& path, bool followLinks = false) = 0;
  // The names of a directory's items (without "." and ".."), links not followed.
  virtual bool ListDir(const std::string& path,
                       const std::function<void(const std::string& name, PathKind kind)>& each) = 0;
  // The item at path as the file system stores its name: its long name (the
  // spelling it was created with) and its 8.3 alias, empty when it has none.
  // False when nothing is at the path.
  virtual bool StoredNames(const std::string& path, std::string& longName, std::string& shortName) = 0;
  // The key under which the file system compares one name part: two parts
  // with equal keys name the same item (Windows: upper case by the invariant
  // rules; POSIX: the part itself).
  virtual std::string Fold(std::string_view part) = 0;
  virtual bool Identify(const std::string& path, FileId& id) = 0;
  // The modification time (the last-write time on Windows), as Utc.
  virtual bool GetTime(const std::string& path, FileTime& time) = 0;
  // Sets the modification time. DosLocal times are local time, converted by
  // the platform's own local-time rules.
  virtual bool SetTime(const std::string& path, const FileTime& time) = 0;
  // Marks a directory hidden where the platform has such a mark (Windows);
  // elsewhere a leading dot in its name hides it.
  virtual void MarkHidden(const std::string& path) = 0;
  // Serialises extractions into one folder, across processes: waits up to
  // waitMs for a run that holds the folder; nullptr when it still does.
  virtual std::unique_ptr<FolderLock> LockFolder(const std::string& folder, int waitMs) = 0;
  // The "Mark of the Web" a downloaded file carries (the Zone.Identifier
  // stream on Windows): read from the archive, written onto every extracted
  // file. Empty / no effect where the platform has no such mark.
  virtual std::string ReadZoneIdentifier(const std::string& path) = 0;
  virtual bool WriteZoneIdentifier(const std::string& path, const std::string& data) = 0;
};

// The platform's file system (fileio_posix.cpp or fileio_win32.cpp).
FileSystem& PlatformFileSystem();

}  // namespace tarvex::extract
