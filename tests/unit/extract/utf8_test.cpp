// The shared UTF-8 checks: what counts as well-formed, and the repair.
#include <gtest/gtest.h>

#include "extract/utf8.h"

namespace tarvex::extract {
namespace {

TEST(Utf8, WellFormedSequencesOnly) {
  const struct {
    const char* bytes;
    bool valid, multibyte;
  } cases[] = {
      {"plain", true, false},
      {"\xE8\xA1\xA8", true, true},           // U+8868
      {"\xF0\x9F\x98\x80", true, true},       // U+1F600
      {"\xC0\xAF", false, false},             // overlong '/'
      {"\xE0\x80\xAF", false, false},         // overlong '/'
      {"\xED\xA0\x80", false, false},         // a surrogate
      {"\xF4\x90\x80\x80", false, false},     // above U+10FFFF
      {"\xE8\xA1", false, false},             // cut short
      {"\x95\x5C", false, false},             // CP932
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(utf8::IsValid(c.bytes), c.valid);
    EXPECT_EQ(utf8::IsValidMultibyte(c.bytes), c.multibyte);
  }
  EXPECT_EQ(utf8::Sanitise("a\xE8\xA1\xA8\xC0\xAF" "b\xE8"), "a\xE8\xA1\xA8\xEF\xBF\xBD\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tarvex::extract
