// The file-system interface on Windows, through the wide (UTF-16) Win32 API,
// so that paths with any characters work whatever the system's code page.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <utility>
#include <vector>

#include "base/text_win32.h"
#include "base/unique_handle.h"
#include "extract/fileio.h"

namespace tarvex::extract {

namespace {

// UTF-8 to UTF-16, '/' turned into '\\'. Absolute paths get the "\\?\" prefix
// so that deep trees are not cut at MAX_PATH (the engine only builds paths of
// plain, already safe parts, which that prefix requires).
std::wstring Wide(const std::string& path) {
  std::wstring w = win32::Widen(path);
  for (wchar_t& c : w)
    if (c == L'/') c = L'\\';
  if (w.size() >= 3 && w[1] == L':' && w[2] == L'\\') {
    // Collapse doubled separators, which "\\?\" paths do not allow.
    std::wstring clean;
    for (wchar_t c : w)
      if (!(c == L'\\' && !clean.empty() && clean.back() == L'\\')) clean += c;
    return L"\\\\?\\" + clean;
  }
  if (w.size() >= 3 && w[0] == L'\\' && w[1] == L'\\' && w[2] != L'?' && w[2] != L'.')
    return L"\\\\?\\UNC\\" + w.substr(2);
  return w;
}

// Kernel handles (files, mutexes) and directory searches. CreateFileW and
// FindFirstFileExW say "none" with INVALID_HANDLE_VALUE; Own() turns that into
// an empty owner, so an owner is either empty or holds a handle to release.
using Handle = Unique<HANDLE, &::CloseHandle>;
using Search = Unique<HANDLE, &::FindClose>;
template <typename Owner>
Owner Own(HANDLE h) {
  return Owner(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

class WinInput final : public InputFile {
 public:
  WinInput(Handle h, std::uint64_t size) : h_(std::move(h)), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t n) override {
    std::size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < n) {
      OVERLAPPED ov = {};
      std::uint64_t at = offset + done;
      ov.Offset = static_cast<DWORD>(at);
      ov.OffsetHigh = static_cast<DWORD>(at >> 32);
      DWORD want = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(h_.get(), out + done, want, &got, &ov)) {
        if (GetLastError() == ERROR_HANDLE_EOF) break;
        return -1;
      }
      if (got == 0) break;
      done += got;
    }
    return static_cast<std::int64_t>(done);
  }

 private:
  Handle h_;
  std::uint64_t size_;
};

class WinOutput final : public OutputFile {
 public:
  explicit WinOutput(Handle h) : h_(std::move(h)) { buffer_.reserve(kBuffer); }
  bool Write(const void* data, std::size_t n) override {
    if (failed_) return false;
    const char* p = static_cast<const char*>(data);
    if (buffer_.size() + n <= kBuffer) {
      buffer_.insert(buffer_.end(), p, p + n);
      return true;
    }
    if (!Flush()) return false;
    if (n >= kBuffer) return WriteAll(p, n);
    buffer_.insert(buffer_.end(), p, p + n);
    return true;
  }
  bool Sync() override { return Flush() && FlushFileBuffers(h_.get()) != 0; }
  bool Close() override {
    bool ok = Flush();
    if (!h_ || !h_.close()) ok = false;
    return ok && !failed_;
  }

 private:
  static constexpr std::size_t kBuffer = 1 << 18;
  bool Flush() {
    if (buffer_.empty()) return !failed_;
    bool ok = WriteAll(buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
  }
  bool WriteAll(const char* p, std::size_t n) {
    while (n > 0) {
      DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
      DWORD written = 0;
      if (!WriteFile(h_.get(), p, chunk, &written, nullptr) || written == 0) {
        failed_ = true;
        return false;
      }
      p += written;
      n -= written;
    }
    return true;
  }
  Handle h_;
  std::vector<char> buffer_;
  bool failed_ = false;
};

PathKind KindOf(DWORD attributes, bool followLinks) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !followLinks) return PathKind::Other;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return PathKind::Other;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory : PathKind::File;
}

// Opens an item for its metadata only (a folder too), never through a link.
Handle OpenForInfo(const std::wstring& path) {
  return Own<Handle>(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool IdOfHandle(HANDLE h, FileId& id) {
  FILE_ID_INFO info;
  if (GetFileInformationByHandleEx(h, FileIdInfo, &info, sizeof info)) {
    std::uint64_t parts[2];
    static_assert(sizeof parts == sizeof info.FileId.Identifier);
    std::memcpy(parts, info.FileId.Identifier, sizeof parts);
    id = {info.VolumeSerialNumber, parts[1], parts[0]};
    return true;
  }
  BY_HANDLE_FILE_INFORMATION bh;
  if (!GetFileInformationByHandle(h, &bh)) return false;
  id = {bh.dwVolumeSerialNumber, 0, (static_cast<std::uint64_t>(bh.nFileIndexHigh) << 32) | bh.nFileIndexLow};
  return true;
}

class MutexLock final : public FolderLock {
 public:
  explicit MutexLock(Handle owned) : m_(std::move(owned)) {}
  ~MutexLock() override { ReleaseMutex(m_.get()); }

 private:
  Handle m_;  // a mutex this thread owns
};

class WinFileSystem final : public FileSystem {
 public:
  std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
    Handle h = Own<Handle>(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size;
    if (!h || !GetFileSizeEx(h.get(), &size) || GetFileType(h.get()) != FILE_TYPE_DISK) return nullptr;
    return std::make_unique<WinInput>(std::move(h), static_cast<std::uint64_t>(size.QuadPart));
  }
  std::unique_ptr<OutputFile> CreateNew(const std::string& path) override {
    Handle h = Own<Handle>(
        CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return nullptr;
    return std::make_unique<WinOutput>(std::move(h));
  }
  bool MakeDir(const std::string& path) override {
    return CreateDirectoryW(Wide(path).c_str(), nullptr) != 0;
  }
  bool Rename(const std::string& from, const std::string& to, bool replace) override {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0) != 0;
  }
  bool RemoveFile(const std::string& path) override { return DeleteFileW(Wide(path).c_str()) != 0; }
  bool ClearReadOnly(const std::string& path) override {
    std::wstring w = Wide(path);
    DWORD a = GetFileAttributesW(w.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return false;
    return !(a & FILE_ATTRIBUTE_READONLY) || SetFileAttributesW(w.c_str(), a & ~FILE_ATTRIBUTE_READONLY) != 0;
  }
  bool RemoveDir(const std::string& path) override {
    std::wstring w = Wide(path);
    SetFileAttributesW(w.c_str(), FILE_ATTRIBUTE_NORMAL);  // the staging folder is hidden
    return RemoveDirectoryW(w.c_str()) != 0;
  }
  PathKind Kind(const std::string& path, bool followLinks) override {
    DWORD a = GetFileAttributesW(Wide(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return PathKind::None;
    return KindOf(a, followLinks);
  }
  bool ListDir(const std::string& path,
               const std::function<void(const std::string&, PathKind)>& each) override {
    WIN32_FIND_DATAW fd;
    const Search search = Own<Search>(FindFirstFileExW(Wide(path + "/*").c_str(), FindExInfoBasic, &fd,
                                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!search) return false;
    do {
      if (std::wcscmp(fd.cFileName, L".") == 0 || std::wcscmp(fd.cFileName, L"..") == 0) continue;
      each(win32::Narrow(fd.cFileName), KindOf(fd.dwFileAttributes, false));
    } while (FindNextFileW(search.get(), &fd));
    return true;
  }
  bool StoredNames(const std::string& path, std::string& longName, std::string& shortName) override {
    WIN32_FIND_DATAW fd;
    if (!Own<Search>(FindFirstFileExW(Wide(path).c_str(), FindExInfoStandard, &fd, FindExSearchNameMatch, nullptr, 0)))
      return false;
    longName = win32::Narrow(fd.cFileName);
    shortName = win32::Narrow(fd.cAlternateFileName);
    return true;
  }
  // Upper case by the invariant rules, as NTFS compares names.
  std::string Fold(std::string_view part) override {
    std::wstring w = Wide(std::string(part));
    if (w.empty()) return {};
    int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, w.c_str(), static_cast<int>(w.size()), nullptr, 0,
                          nullptr, nullptr, 0);
    std::wstring up(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n <= 0 || LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, w.c_str(), static_cast<int>(w.size()),
                                up.data(), n, nullptr, nullptr, 0) != n)
      return std::string(part);
    return win32::Narrow(up);
  }
  bool Identify(const std::string& path, FileId& id) override {
    const Handle h = OpenForInfo(Wide(path));
    return h && IdOfHandle(h.get(), id);
  }
  bool GetTime(const std::string& path, FileTime& time) override {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &d)) return false;
    time = {FileTime::Utc, (static_cast<std::uint64_t>(d.ftLastWriteTime.dwHighDateTime) << 32) |
                               d.ftLastWriteTime.dwLowDateTime};
    return true;
  }
  bool SetTime(const std::string& path, const FileTime& time) override {
    FILETIME ft;
    if (time.kind == FileTime::Utc) {
      ft.dwLowDateTime = static_cast<DWORD>(time.value);
      ft.dwHighDateTime = static_cast<DWORD>(time.value >> 32);
    } else if (time.kind == FileTime::DosLocal) {
      // The DOS time is the local time of the archive's writer: turn it into
      // UTC by the time-zone rules in force at that date.
      FILETIME local;
      SYSTEMTIME localSt, utcSt;
      if (!DosDateTimeToFileTime(static_cast<WORD>(time.value >> 16), static_cast<WORD>(time.value),
                                 &local) ||
          !FileTimeToSystemTime(&local, &localSt) ||
          !TzSpecificLocalTimeToSystemTime(nullptr, &localSt, &utcSt) ||
          !SystemTimeToFileTime(&utcSt, &ft))
        return false;
    } else {
      return false;
    }
    const Handle h = Own<Handle>(CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                             nullptr));
    return h && SetFileTime(h.get(), nullptr, nullptr, &ft) != 0;
  }
  void MarkHidden(const std::string& path) override {
    SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_HIDDEN);
  }
  // A named mutex per folder, named by the folder's volume and file ID so
  // that every spelling of the path (drive letter, UNC, short names) meets
  // the same one; in the Global namespace so that runs in other sessions
  // meet it too. A mutex whose owner died is abandoned and ours at once.
  std::unique_ptr<FolderLock> LockFolder(const std::string& folder, int waitMs) override {
    FileId id;
    const Handle dir = OpenForInfo(Wide(folder));
    if (!dir || !IdOfHandle(dir.get(), id)) return std::make_unique<FolderLock>();  // nothing to lock: the run fails later
    Handle m;
    for (const wchar_t* space : {L"Global", L"Local"}) {  // Local where Global is refused
      wchar_t name[112];
      swprintf(name, 112, L"%ls\\Tarvex-extract-%08llx-%016llx%016llx", space,
               static_cast<unsigned long long>(id.volume), static_cast<unsigned long long>(id.high),
               static_cast<unsigned long long>(id.low));
      m.reset(CreateMutexW(nullptr, FALSE, name));
      if (m) break;
    }
    if (!m) return std::make_unique<FolderLock>();
    const DWORD r = WaitForSingleObject(m.get(), static_cast<DWORD>(waitMs));
    if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) return nullptr;
    return std::make_unique<MutexLock>(std::move(m));
  }
  std::string ReadZoneIdentifier(const std::string& path) override {
    const Handle h = Own<Handle>(CreateFileW(Wide(path + ":Zone.Identifier").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
    if (!h) return {};
    std::string data(65536, '\0');
    DWORD got = 0;
    if (!ReadFile(h.get(), data.data(), static_cast<DWORD>(data.size()), &got, nullptr)) got = 0;
    data.resize(got);
    return data;
  }
  bool WriteZoneIdentifier(const std::string& path, const std::string& data) override {
    Handle h = Own<Handle>(CreateFileW(Wide(path + ":Zone.Identifier").c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(h.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) && written == data.size();
    return h.close() && ok;
  }
};

}  // namespace

FileSystem& PlatformFileSystem() {
  static WinFileSystem fs;
  return fs;
}

}  // namespace tarvex::extract
