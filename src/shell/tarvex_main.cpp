// tarvex.exe: the gadget's Win32 entry point. Sets up the shared resources
// and the platform services, creates the main window from the core's model,
// runs the core's start-up, shows the window and runs the message loop until
// the window is gone.
#include "ui/handles_win32.h"

#include <commctrl.h>
#include <ntsecapi.h>

#include <cerrno>

#include "shell/app.h"
#include "shell/platform_win32.h"
#include "ui/message_loop_win32.h"

using namespace tarvex;

#if defined(__MINGW32__)
// The static C++ library brings std::random_device along with its string code
// (the program never uses it), and with it a reference to rand_s through the
// pointer __imp_rand_s. The mingw-w64 C runtime's own definition of that
// pointer has a fallback that loads advapi32.dll by its bare name; this one
// asks the system's generator directly, so that nothing in the program loads
// a library by bare name.
namespace {
int __cdecl SystemRandS(unsigned int* value) { return value && RtlGenRandom(value, sizeof *value) ? 0 : EINVAL; }
}  // namespace
extern "C" {
int(__cdecl* __imp_rand_s)(unsigned int*) = SystemRandS;
}
#endif

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Libraries loaded from here on (by this program and by the system's own
  // libraries on its behalf) come from System32, never from the program's
  // folder or the current directory.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_WIN95_CLASSES;  // includes the tooltip class
  InitCommonControlsEx(&icc);
  const win32::OleSession ole;  // the folder picker needs COM

  win32::Resources resources(instance);
  const win32::WindowClasses classes = win32::FormWindow::RegisterClasses(resources);
  if (!classes) return 1;
  // The windows close before the App ends (the platform's Close), the
  // platform's services before the resources they use.
  win32::Win32Platform platform(resources);
  App app(platform);
  const int code = platform.Open(app) ? win32::RunMessageLoop() : 1;
  platform.Close();
  return code;
}
