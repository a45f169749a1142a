// Entry names: UTF-8 well-formedness, CP932 and UTF-8 decoding, and the
// mapping of every name to a safe path inside the folder.
#include <gtest/gtest.h>

#include "extract/engine.h"
#include "extract/utf8.h"

namespace tarvex::extract {
namespace {

TEST(Utf8, OnlyWellFormedSequencesCount) {
  const struct {
    const char* bytes;
    bool valid, multibyte;
  } cases[] = {
      {"plain", true, false},          {"\xE8\xA1\xA8", true, true},     {"\xF0\x9F\x98\x80", true, true},
      {"\xC0\xAF", false, false},      {"\xE0\x80\xAF", false, false},   // overlong '/'
      {"\xED\xA0\x80", false, false},  {"\xF4\x90\x80\x80", false, false},  // surrogate, above U+10FFFF
      {"\xE8\xA1", false, false},      {"\x95\x5C", false, false},       // cut short, CP932
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8::IsValid(c.bytes), c.valid) << c.bytes;
    EXPECT_EQ(utf8::IsValidMultibyte(c.bytes), c.multibyte) << c.bytes;
  }
}

TEST(DecodeName, Cp932KeepsTrailBytesAndInvalidUtf8NeverBecomesASeparator) {
  // 表 and ソ have 0x5C ('\') as their second byte; it must not survive as a separator.
  EXPECT_EQ(DecodeName("\x95\x5C\x82\xBE\x82\xE6\\\x88\xEA\x97\x97\x95\x5C.txt", NameEncoding::Cp932),
            "表だよ\\一覧表.txt");
  EXPECT_EQ(DecodeName("\x83\x5C\x81\x5B\x83\x58", NameEncoding::Cp932), "ソース");
  EXPECT_EQ(DecodeName("\x81\x40\x87\x40\x81\x60\xB1", NameEncoding::Cp932), "\u3000①～ｱ");  // ～ is U+FF5E
  EXPECT_EQ(DecodeName("abc\x81", NameEncoding::Cp932), "abc\uFFFD");  // lead byte at the end
  EXPECT_EQ(DecodeName("\x85\x40", NameEncoding::Cp932), "\uFFFD");    // unassigned pair
  EXPECT_EQ(DecodeName("名前/a.txt", NameEncoding::Utf8), "名前/a.txt");
  EXPECT_EQ(DecodeName("a\xC0\xAF..\xC0\xAF" "b", NameEncoding::Utf8), "a\uFFFD\uFFFD..\uFFFD\uFFFDb");
  EXPECT_EQ(DecodeName("\xED\xA0\x80x", NameEncoding::Utf8), "\uFFFD\uFFFD\uFFFDx");  // surrogate
  EXPECT_EQ(DecodeName("\xE3\x81", NameEncoding::Utf8), "\uFFFD\uFFFD");             // cut short
}

TEST(SafeRelativePath, MapsEveryNameInsideTheFolder) {
  const struct {
    const char* name;
    bool backslash;
    NameVerdict verdict;
    const char* path;
  } cases[] = {
      {"dir/sub/file.txt", true, NameVerdict::Ok, "dir/sub/file.txt"},
      {"dir\\sub\\file.txt", true, NameVerdict::Ok, "dir/sub/file.txt"},
      {"dir\\file.txt", false, NameVerdict::Ok, "dir_file.txt"},
      {"./a//b/./c", true, NameVerdict::Ok, "a/b/c"},
      {"/etc/passwd", true, NameVerdict::Ok, "etc/passwd"},
      {"C:\\Windows\\x.dll", true, NameVerdict::Ok, "Windows/x.dll"},
      {"c:x.txt", true, NameVerdict::Ok, "x.txt"},
      {"\\\\server\\share\\dir\\x.txt", true, NameVerdict::Ok, "dir/x.txt"},
      {"//server/share/x.txt", true, NameVerdict::Ok, "x.txt"},
      {"../evil.txt", true, NameVerdict::Unsafe, ""},
      {"ok/../../evil.txt", true, NameVerdict::Unsafe, ""},
      {"..\\evil.txt", true, NameVerdict::Unsafe, ""},
      {"a/..", true, NameVerdict::Unsafe, ""},
      {"..\\evil.txt", false, NameVerdict::Ok, ".._evil.txt"},
      {"stream.txt:hidden", true, NameVerdict::Ok, "stream.txt_hidden"},
      {"a<b>c\"d|e?f*g", true, NameVerdict::Ok, "a_b_c_d_e_f_g"},
      {"tab\there\x01", true, NameVerdict::Ok, "tab_here_"},
      {"name. ", true, NameVerdict::Ok, "name__"},
      {".. /x", true, NameVerdict::Ok, "___/x"},
      {"CON", true, NameVerdict::Ok, "_CON"},
      {"sub/nul", true, NameVerdict::Ok, "sub/_nul"},
      {"aux.txt", true, NameVerdict::Ok, "_aux.txt"},
      {"Com1.log", true, NameVerdict::Ok, "_Com1.log"},
      {"LPT9.tar.gz", true, NameVerdict::Ok, "_LPT9.tar.gz"},
      {"con .txt", true, NameVerdict::Ok, "_con .txt"},
      {"COM\xC2\xB9", true, NameVerdict::Ok, "_COM\xC2\xB9"},
      {"CONOUT$", true, NameVerdict::Ok, "_CONOUT$"},
      {"console.txt", true, NameVerdict::Ok, "console.txt"},
      {"COM10", true, NameVerdict::Ok, "COM10"},
      {"/", true, NameVerdict::Empty, ""},
      {"C:/", true, NameVerdict::Empty, ""},
      {"x:", true, NameVerdict::Ok, "x_"},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(SafeRelativePath(c.name, c.backslash, out), c.verdict) << c.name;
    EXPECT_EQ(out, c.path) << c.name;
  }
}

}  // namespace
}  // namespace tarvex::extract
