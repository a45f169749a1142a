#include "ui/convert_win32.h"

namespace tarvex::win32 {

COLORREF ToColorRef(std::uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

}  // namespace tarvex::win32
