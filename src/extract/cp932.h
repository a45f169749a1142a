// CP932 (Windows Shift_JIS) to Unicode, for archive entry names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex::extract::cp932 {

extern const std::uint16_t kSingle[256];
extern const std::uint16_t kDouble[];

inline bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Decodes CP932 bytes to UTF-8. Bytes or pairs without a mapping become U+FFFD.
std::string ToUtf8(std::string_view bytes);

}  // namespace tarvex::extract::cp932
