// The Win32 implementation of the core's platform services.
#pragma once

#include <memory>

#include "shell/platform.h"

namespace tarvex::win32 {

std::unique_ptr<Platform> MakeWin32Platform();

}  // namespace tarvex::win32
