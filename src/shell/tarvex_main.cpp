// tarvex.exe: the gadget's Win32 entry point. Sets up the platform services,
// creates the main window from the core's model, runs the core's start-up,
// shows the window and runs the message loop until the window is gone.
#include "shell/layer_win32.h"  // first: <windows.h> without its MessageBox macro

#include <commctrl.h>
#include <ntsecapi.h>
#include <ole2.h>

#include <cerrno>

#include "shell/app.h"
#include "shell/platform_win32.h"

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
  const HRESULT ole = OleInitialize(nullptr);  // the folder picker needs COM

  win32::InitLayer(instance);
  int code = 1;
  if (win32::RegisterWindowClasses(instance)) {
    std::unique_ptr<Platform> platform = win32::MakeWin32Platform();
    {
      App app(*platform);
      if (win32::OpenMainWindow(app)) code = win32::RunMessageLoop();
      win32::CloseLayerWindows();
    }
  }
  win32::ShutdownLayer();
  if (SUCCEEDED(ole)) OleUninitialize();
  return code;
}
