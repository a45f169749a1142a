// UTF-8 <-> UTF-16 for the Win32 API, shared by the extraction library's file
// layer and the gadget's Win32 layer.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::win32 {

// Invalid input is replaced by U+FFFD, never dropped silently.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace tarvex::win32
