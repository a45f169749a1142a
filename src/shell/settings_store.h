// The per-user settings store as the gadget uses it: three text values under
// application "Tarvex", section "startup", and the rules that turn the stored
// texts into numbers and numbers into texts.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/platform.h"

namespace tarvex {

inline constexpr std::string_view kSettingsApp = "Tarvex";
inline constexpr std::string_view kSettingsSection = "startup";
inline constexpr std::string_view kKeyTop = "Top";
inline constexpr std::string_view kKeyLeft = "Left";
inline constexpr std::string_view kKeyAct = "Act";
// Default strings passed on read; none begins with a number, so each reads 0.
inline constexpr std::string_view kDefaultTop = "Topf";
inline constexpr std::string_view kDefaultLeft = "Leftf";
inline constexpr std::string_view kDefaultAct = "acA";

// The number a text begins with: leading blanks skipped, optional sign,
// decimal digits, optional "." with digits, optional exponent. nullopt when
// the text begins with no number or the number overflows a double.
std::optional<double> LeadingNumber(std::string_view text);

// Text to whole number: the leading number rounded to the nearest whole
// number, halves to the even neighbour. Text that begins with no number, and
// a number outside the signed 32-bit range, read as 0.
std::int32_t TextToWhole(std::string_view text);

// Text to single-precision number (no rounding to a whole number); 0 when the
// text begins with no number.
float TextToSingle(std::string_view text);

// Shortest decimal text that reads back as exactly this single-precision
// value: 3700 -> "3700", -50000 -> "-50000", 2.5 -> "2.5".
std::string SingleText(float value);

// Reading a stored value whose size is only known by asking: another copy of
// the program may write a longer value between the asking and the reading.
// query(buffer, bytes) is given a buffer of `bytes` bytes; it answers Done
// with `bytes` set to the size read, TooSmall with `bytes` set to the size the
// value has now, or Failed. The read is tried again with each reported size;
// nullopt when the query fails or the value never stays still long enough.
enum class SizedRead { Done, TooSmall, Failed };
using SizedQuery = std::function<SizedRead(unsigned char* buffer, std::uint32_t& bytes)>;
std::optional<std::vector<unsigned char>> ReadSizedValue(const SizedQuery& query);

// Reads and writes of the three values, always under the program's
// application and section names.
class SettingsStore {
 public:
  explicit SettingsStore(Platform& platform) : platform_(platform) {}
  std::int32_t ReadWhole(std::string_view key, std::string_view def);
  void Write(std::string_view key, std::string_view value);

 private:
  Platform& platform_;
};

}  // namespace tarvex
