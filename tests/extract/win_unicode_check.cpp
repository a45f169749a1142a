// Windows check of the extraction engine's Win32 file layer, run under Wine:
// UnZip from an archive whose path has Japanese characters and a space into
// such a folder; the Japanese names (a CP932 one with a 0x5C trail byte, a
// UTF-8 one), contents and local file time through the wide API; a damaged
// copy leaves the folder as it was; the answer No keeps a file; a read-only
// file is replaced without a staging folder left behind; names equal but for
// case ("Ä", "ä") are both kept; a run waits for another run into the same
// folder. (The Mark of the Web is not checked here: Wine has no alternate
// data streams; it makes a file named "name:Zone.Identifier".)
//   win_unicode_check.exe WORKDIR ARCHIVE CASE_ARCHIVE   (prints OK and exits 0 on success)
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "extract/archiver.h"
#include "extract/fileio.h"

using namespace tarvex::extract;

namespace {

std::string Utf8(const std::wstring& w) {
  std::string s(w.size() * 3, '\0');
  s.resize(WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(),
                               static_cast<int>(s.size()), nullptr, nullptr));
  return s;
}

class Host final : public ExtractHost {
 public:
  OverwriteAnswer answer = OverwriteAnswer::No;
  int asked = 0;
  OverwriteAnswer AskOverwrite(int) override { return ++asked, answer; }
  int LockWaitMs() override { return 300; }
} host;

int failures = 0;
void Check(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  failures += !ok;
}

int Extract(const std::wstring& archive, const std::wstring& folder) {
  CreateDirectoryW(folder.c_str(), nullptr);
  char output[256] = {};
  const int rc = UnZip(host, "-xs " + Utf8(archive) + " " + Utf8(folder) + "\\", output, sizeof output);
  std::printf("UnZip returned %d: %s\n", rc, output);
  return rc;
}

std::string Read(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  std::string s(4096, '\0');
  DWORD got = 0;
  if (h == INVALID_HANDLE_VALUE || !ReadFile(h, s.data(), static_cast<DWORD>(s.size()), &got, nullptr)) got = 0;
  CloseHandle(h);
  return h == INVALID_HANDLE_VALUE ? "<missing>" : s.substr(0, got);
}

void Write(const std::wstring& path, const std::string& data, DWORD attributes = 0) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  DWORD written = 0;
  WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  CloseHandle(h);
}

int CountItems(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return -1;
  int n = 0;
  do n += std::wstring(fd.cFileName) != L"." && std::wstring(fd.cFileName) != L"..";
  while (FindNextFileW(h, &fd));
  FindClose(h);
  return n;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  const std::wstring work = argv[1], archive = work + L"\\書庫 テスト.zip", dest = work + L"\\出力 先 表";
  const std::wstring cp932File = dest + L"\\表だよ\\ソース.txt", utf8File = dest + L"\\日本語\\ファイル①.txt";
  CopyFileW(argv[2], archive.c_str(), FALSE);
  Check(Extract(archive, dest) == 0, "extracts into a folder with Japanese characters and spaces");
  Check(Read(cp932File) == "cp932 name", "CP932 name with a 0x5C trail byte");
  Check(Read(utf8File) == "utf8 name", "UTF-8 name");
  Check(CountItems(dest) == 2, "no staging folder left behind");

  HANDLE h = CreateFileW(utf8File.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME ft = {}, local = {};
  GetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  SYSTEMTIME st = {};
  FileTimeToLocalFileTime(&ft, &local);
  FileTimeToSystemTime(&local, &st);
  Check(st.wYear == 2025 && st.wMonth == 1 && st.wDay == 1 && st.wHour == 12 && st.wMinute == 0,
        "file time restored as local time (2025-01-01 12:00 in the archive)");

  Write(cp932File, "mine");
  Check(Extract(archive, dest) == 0 && host.asked == 1 && Read(cp932File) == "mine", "overwrite No keeps the existing file");

  const std::wstring damaged = work + L"\\壊れた 書庫.zip", fresh = work + L"\\空 フォルダ";
  std::string bytes = Read(archive);
  bytes[30 + 17] ^= 0x20;  // inside the first entry's data
  Write(damaged, bytes);
  Check(Extract(damaged, fresh) != 0 && CountItems(fresh) == 0, "a damaged archive leaves the folder empty");

  // Windows refuses to delete a read-only file until the mark is cleared.
  const std::wstring ro = work + L"\\読み取り 専用";
  CreateDirectoryW(ro.c_str(), nullptr);
  CreateDirectoryW((ro + L"\\日本語").c_str(), nullptr);
  Write(ro + L"\\日本語\\ファイル①.txt", "mine", FILE_ATTRIBUTE_READONLY);
  host.answer = OverwriteAnswer::Yes;
  Check(Extract(archive, ro) == 0 && Read(ro + L"\\日本語\\ファイル①.txt") == "utf8 name" && CountItems(ro) == 2,
        "a read-only file is replaced and no staging folder is left");

  const std::wstring cased = work + L"\\大文字";
  Check(Extract(argv[3], cased) == 0 && Read(cased + L"\\Ä.txt") == "upper" && Read(cased + L"\\ä (2).txt") == "lower",
        "\"Ä.txt\" and \"ä.txt\" are both kept");

  // While another thread holds the folder, a run waits and gives up (10: busy).
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr), release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    auto lock = PlatformFileSystem().LockFolder(Utf8(cased), 0);
    SetEvent(held);
    WaitForSingleObject(release, INFINITE);
  });
  WaitForSingleObject(held, INFINITE);
  const int busy = Extract(argv[3], cased);
  SetEvent(release);
  holder.join();
  Check(busy == 10 && Extract(argv[3], cased) == 0, "a run waits for another run into the same folder");

  std::printf(failures ? "FAILED\n" : "OK\n");
  return failures ? 1 : 0;
}
