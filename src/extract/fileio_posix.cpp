// The file-system interface on Linux and other POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include "extract/fileio.h"

namespace tarvex::extract {

namespace {

class PosixInput final : public InputFile {
 public:
  PosixInput(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  ~PosixInput() override { ::close(fd_); }
  std::uint64_t Size() const override { return size_; }
  std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t n) override {
    std::size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < n) {
      ssize_t r = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      if (r == 0) break;
      done += static_cast<std::size_t>(r);
    }
    return static_cast<std::int64_t>(done);
  }

 private:
  int fd_;
  std::uint64_t size_;
};

class PosixOutput final : public OutputFile {
 public:
  explicit PosixOutput(int fd) : fd_(fd) { buffer_.reserve(kBuffer); }
  ~PosixOutput() override {
    if (fd_ >= 0) ::close(fd_);
  }
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
  bool Sync() override { return Flush() && ::fsync(fd_) == 0; }
  bool Close() override {
    bool ok = Flush();
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
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
      ssize_t w = ::write(fd_, p, n);
      if (w < 0) {
        if (errno == EINTR) continue;
        failed_ = true;
        return false;
      }
      p += w;
      n -= static_cast<std::size_t>(w);
    }
    return true;
  }
  int fd_;
  std::vector<char> buffer_;
  bool failed_ = false;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixInput>(fd, static_cast<std::uint64_t>(st.st_size));
  }
  std::unique_ptr<OutputFile> CreateNew(const std::string& path) override {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixOutput>(fd);
  }
  bool MakeDir(const std::string& path) override { return ::mkdir(path.c_str(), 0777) == 0; }
  bool Rename(const std::string& from, const std::string& to, bool replace) override {
    if (replace) return ::rename(from.c_str(), to.c_str()) == 0;
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
    // Without an atomic no-replace rename: a hard link fails when `to` exists.
    struct stat st;
    if (::lstat(from.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) {
      if (::lstat(to.c_str(), &st) == 0) return false;
      return ::rename(from.c_str(), to.c_str()) == 0;
    }
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
  }
  // unlink works on read-only files; there is no attribute to clear.
  bool RemoveFile(const std::string& path) override { return ::unlink(path.c_str()) == 0; }
  bool ClearReadOnly(const std::string&) override { return true; }
  bool RemoveDir(const std::string& path) override { return ::rmdir(path.c_str()) == 0; }
  PathKind Kind(const std::string& path, bool followLinks) override {
    struct stat st;
    int r = followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (r != 0) return PathKind::None;
    if (S_ISREG(st.st_mode)) return PathKind::File;
    if (S_ISDIR(st.st_mode)) return PathKind::Directory;
    return PathKind::Other;
  }
  bool ListDir(const std::string& path,
               const std::function<void(const std::string&, PathKind)>& each) override {
    DIR* d = ::opendir(path.c_str());
    if (!d) return false;
    while (const dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      each(name, Kind(path + "/" + name, false));
    }
    ::closedir(d);
    return true;
  }
  bool StoredNames(const std::string& path, std::string& longName, std::string& shortName) override {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return false;
    std::size_t slash = path.find_last_of('/');
    longName = slash == std::string::npos ? path : path.substr(slash + 1);
    shortName.clear();
    return true;
  }
  // A case-sensitive file system: every spelling is its own name.
  std::string Fold(std::string_view part) override { return std::string(part); }
  bool Identify(const std::string& path, FileId& id) override {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return false;
    id = {static_cast<std::uint64_t>(st.st_dev), 0, static_cast<std::uint64_t>(st.st_ino)};
    return true;
  }
  bool GetTime(const std::string& path, FileTime& time) override {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return false;
    std::int64_t t = static_cast<std::int64_t>(st.st_mtim.tv_sec) * static_cast<std::int64_t>(kFileTimeTicksPerSecond) +
                     st.st_mtim.tv_nsec / 100 + static_cast<std::int64_t>(kFileTimeUnixEpoch);
    if (t < 0) return false;
    time = {FileTime::Utc, static_cast<std::uint64_t>(t)};
    return true;
  }
  bool SetTime(const std::string& path, const FileTime& time) override {
    struct timespec ts[2];
    if (time.kind == FileTime::Utc) {
      if (time.value < kFileTimeUnixEpoch) return false;
      std::uint64_t t = time.value - kFileTimeUnixEpoch;
      ts[1].tv_sec = static_cast<time_t>(t / kFileTimeTicksPerSecond);
      ts[1].tv_nsec = static_cast<long>((t % kFileTimeTicksPerSecond) * 100);
    } else if (time.kind == FileTime::DosLocal) {
      std::uint32_t d = static_cast<std::uint32_t>(time.value >> 16) & 0xFFFF;
      std::uint32_t t = static_cast<std::uint32_t>(time.value) & 0xFFFF;
      struct tm tm;
      std::memset(&tm, 0, sizeof tm);
      tm.tm_year = static_cast<int>((d >> 9) + 80);
      tm.tm_mon = static_cast<int>(((d >> 5) & 15)) - 1;
      tm.tm_mday = static_cast<int>(d & 31);
      tm.tm_hour = static_cast<int>(t >> 11);
      tm.tm_min = static_cast<int>((t >> 5) & 63);
      tm.tm_sec = static_cast<int>((t & 31) * 2);
      tm.tm_isdst = -1;  // let the local rules decide summer time
      if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_hour > 23 || tm.tm_min > 59 ||
          tm.tm_sec > 59)
        return false;
      time_t s = ::mktime(&tm);
      if (s == static_cast<time_t>(-1)) return false;
      ts[1].tv_sec = s;
      ts[1].tv_nsec = 0;
    } else {
      return false;
    }
    ts[0].tv_sec = 0;
    ts[0].tv_nsec = UTIME_OMIT;  // access time: leave as it is
    return ::utimensat(AT_FDCWD, path.c_str(), ts, AT_SYMLINK_NOFOLLOW) == 0;
  }
  void MarkHidden(const std::string&) override {}
  // flock on the folder itself: released when the descriptor is closed,
  // which the system does for a process that dies.
  std::unique_ptr<FolderLock> LockFolder(const std::string& folder, int waitMs) override {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return std::make_unique<FolderLock>();  // nothing to lock: the open fails later
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      // A file system without locks cannot serialise runs; go on unlocked.
      if (errno != EWOULDBLOCK && errno != EINTR) break;
      if (std::chrono::steady_clock::now() >= deadline) {
        ::close(fd);
        return nullptr;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::make_unique<FdLock>(fd);
  }
  std::string ReadZoneIdentifier(const std::string&) override { return {}; }
  bool WriteZoneIdentifier(const std::string&, const std::string&) override { return true; }

 private:
  struct FdLock final : FolderLock {
    explicit FdLock(int fd) : fd(fd) {}
    ~FdLock() override { ::close(fd); }
    int fd;
  };
};

}  // namespace

FileSystem& PlatformFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace tarvex::extract
