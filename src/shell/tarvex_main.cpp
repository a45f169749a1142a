// tarvex.exe: the gadget's Win32 entry point. Sets up the platform services,
// creates the main window from the core's model, runs the core's start-up,
// shows the window and runs the message loop until the window is gone.
#include "shell/layer_win32.h"  // first: <windows.h> without its MessageBox macro

#include <commctrl.h>
#include <ole2.h>

#include "shell/app.h"
#include "shell/platform_win32.h"

using namespace tarvex;

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
