// UTF-8 checks and repairs shared by the archive readers and the name
// decoding: one definition of "well-formed" for the whole extraction code.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::extract::utf8 {

// Appends the UTF-8 form of one code point (at most U+10FFFF).
void Append(std::string& out, char32_t c);

// Whether s is well-formed UTF-8: no stray continuation bytes, no cut
// sequences, no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValid(std::string_view s);

// Whether s is well-formed UTF-8 holding at least one multi-byte character:
// the test for names whose encoding is not declared, since text in a legacy
// double-byte code page is almost never well-formed UTF-8.
bool IsValidMultibyte(std::string_view s);

// A copy of s in which every byte that does not start a well-formed
// sequence is replaced by U+FFFD.
std::string Sanitise(std::string_view s);

}  // namespace tarvex::extract::utf8
