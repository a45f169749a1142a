// Windows check of the extraction engine's Win32 file layer, run under Wine:
// copies a ZIP to a name with Japanese characters and a space, extracts it
// with UnZip into a folder with such a name, and checks the Japanese file
// names, contents and times through the wide API. Then checks that a damaged
// copy leaves the folder as it was, that the overwrite answer No keeps a file,
// that replacing a read-only file leaves no staging folder, that names equal
// but for case ("Ä", "ä") are both kept, and that a run waits for another run
// into the same folder. (The Mark of the Web is not checked here: Wine has no
// alternate data streams; it makes a file named "name:Zone.Identifier".)
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
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

class Host final : public ExtractHost {
 public:
  OverwriteAnswer answer = OverwriteAnswer::No;
  int asked = 0;
  OverwriteAnswer AskOverwrite(int) override {
    ++asked;
    return answer;
  }
  int LockWaitMs() override { return 300; }
};

int failures = 0;
void Check(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++failures;
}

std::string ReadAll(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string s(4096, '\0');
  DWORD got = 0;
  ReadFile(h, s.data(), static_cast<DWORD>(s.size()), &got, nullptr);
  CloseHandle(h);
  s.resize(got);
  return s;
}

int CountItems(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return -1;
  int n = 0;
  do {
    std::wstring name = fd.cFileName;
    if (name != L"." && name != L"..") ++n;
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return n;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  std::wstring work = argv[1];
  std::wstring archive = work + L"\\書庫 テスト.zip";
  std::wstring dest = work + L"\\出力 先 表";
  CopyFileW(argv[2], archive.c_str(), FALSE);
  CreateDirectoryW(dest.c_str(), nullptr);

  Host host;
  char output[256] = {};
  std::string cmdline = "-xs " + Utf8(archive) + " " + Utf8(dest) + "\\";
  int rc = UnZip(host, cmdline, output, sizeof output);
  std::printf("UnZip returned %d: %s\n", rc, output);
  Check(rc == 0, "extracts into a folder with Japanese characters and spaces");
  Check(ReadAll(dest + L"\\表だよ\\ソース.txt") == "cp932 name", "CP932 name with a 0x5C trail byte");
  Check(ReadAll(dest + L"\\日本語\\ファイル①.txt") == "utf8 name", "UTF-8 name");
  Check(CountItems(dest) == 2, "no staging folder left behind");

  // The DOS time in the archive is 2025-01-01 12:00:00 local time.
  HANDLE h = CreateFileW((dest + L"\\日本語\\ファイル①.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  FILETIME ft = {}, local = {};
  GetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  SYSTEMTIME st = {};
  FileTimeToLocalFileTime(&ft, &local);
  FileTimeToSystemTime(&local, &st);
  Check(st.wYear == 2025 && st.wMonth == 1 && st.wDay == 1 && st.wHour == 12 && st.wMinute == 0,
        "file time restored as local time");

  // Overwrite answer No: the existing file is kept, the call succeeds.
  HANDLE w = CreateFileW((dest + L"\\表だよ\\ソース.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(w, "mine", 4, &written, nullptr);
  CloseHandle(w);
  rc = UnZip(host, cmdline, output, sizeof output);
  Check(rc == 0 && host.asked == 1 && ReadAll(dest + L"\\表だよ\\ソース.txt") == "mine",
        "overwrite No keeps the existing file");

  // A damaged copy (last data byte changed) fails and leaves the folder alone.
  std::wstring damaged = work + L"\\壊れた 書庫.zip";
  CopyFileW(archive.c_str(), damaged.c_str(), FALSE);
  std::wstring fresh = work + L"\\空 フォルダ";
  CreateDirectoryW(fresh.c_str(), nullptr);
  HANDLE d = CreateFileW(damaged.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  char byte = 0;
  DWORD n = 0;
  SetFilePointer(d, 30 + 17, nullptr, FILE_BEGIN);  // inside the first entry's data
  ReadFile(d, &byte, 1, &n, nullptr);
  byte ^= 0x20;
  SetFilePointer(d, 30 + 17, nullptr, FILE_BEGIN);
  WriteFile(d, &byte, 1, &n, nullptr);
  CloseHandle(d);
  rc = UnZip(host, "-xs " + Utf8(damaged) + " " + Utf8(fresh) + "\\", output, sizeof output);
  Check(rc != 0 && CountItems(fresh) == 0, "a damaged archive leaves the folder empty");

  // A read-only file replaced: Windows refuses to delete it until the mark
  // is cleared, and the staging folder must not stay behind.
  std::wstring ro = work + L"\\読み取り 専用";
  CreateDirectoryW(ro.c_str(), nullptr);
  CreateDirectoryW((ro + L"\\日本語").c_str(), nullptr);
  std::wstring roFile = ro + L"\\日本語\\ファイル①.txt";
  w = CreateFileW(roFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY, nullptr);
  WriteFile(w, "mine", 4, &written, nullptr);
  CloseHandle(w);
  host.answer = OverwriteAnswer::Yes;
  rc = UnZip(host, "-xs " + Utf8(archive) + " " + Utf8(ro) + "\\", output, sizeof output);
  Check(rc == 0 && ReadAll(roFile) == "utf8 name" && CountItems(ro) == 2,
        "a read-only file is replaced and no staging folder is left");

  // Names that differ only in case are one name here: both files are kept.
  std::wstring cased = work + L"\\大文字";
  CreateDirectoryW(cased.c_str(), nullptr);
  rc = UnZip(host, "-xs " + Utf8(argv[3]) + " " + Utf8(cased) + "\\", output, sizeof output);
  Check(rc == 0 && ReadAll(cased + L"\\Ä.txt") == "upper" && ReadAll(cased + L"\\ä (2).txt") == "lower",
        "\"Ä.txt\" and \"ä.txt\" are both kept");

  // Runs into one folder take turns: while another thread holds the folder,
  // a run waits and gives up (10: busy); afterwards it runs.
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr), release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    auto lock = PlatformFileSystem().LockFolder(Utf8(cased), 0);
    SetEvent(held);
    WaitForSingleObject(release, INFINITE);
  });
  WaitForSingleObject(held, INFINITE);
  int busy = UnZip(host, "-xs " + Utf8(argv[3]) + " " + Utf8(cased) + "\\", output, sizeof output);
  SetEvent(release);
  holder.join();
  rc = UnZip(host, "-xs " + Utf8(argv[3]) + " " + Utf8(cased) + "\\", output, sizeof output);
  Check(busy == 10 && rc == 0, "a run waits for another run into the same folder");

  std::printf(failures ? "FAILED\n" : "OK\n");
  return failures ? 1 : 0;
}
