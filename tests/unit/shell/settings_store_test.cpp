#include <gtest/gtest.h>

#include <cstring>

#include "shell/settings_store.h"

namespace tarvex {
namespace {

// Leading blanks skipped, the leading number taken (an exponent only with
// digits), halves to the even neighbour; no number, or one outside the signed
// 32-bit range, reads 0.
TEST(TextToWhole, ReadsTheNumberTheTextBeginsWith) {
  const std::pair<std::string, int> cases[] = {
      {"3700", 3700}, {" 120", 120}, {"\t  -50000", -50000}, {"+42", 42}, {"12abc", 12}, {"12 34", 12},
      {"1e3", 1000}, {"1.5E+2x", 150}, {"7e", 7}, {"7e+", 7}, {".75", 1}, {"5.", 5},
      {"", 0}, {"abc", 0}, {"Topf", 0}, {"-", 0}, {"-.", 0}, {" ", 0}, {"e5", 0}, {"--1", 0},
      {"2.5", 2}, {"3.5", 4}, {"-2.5", -2}, {"-3.5", -4}, {"0.5", 0}, {"2.5000001", 3}, {"-0.4", 0},
      {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"2147483648", 0}, {"-2147483649", 0},
      {"99999999999999999999999", 0}, {"1e999", 0}, {"-1e999", 0}, {"1e-999", 0}, {std::string(400, '9'), 0},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(TextToWhole(text), want) << "'" << text << "'";
}

TEST(SingleText, IsTheShortestTextThatReadsBack) {
  EXPECT_EQ(SingleText(3700.0f), "3700");
  EXPECT_EQ(SingleText(-50000.0f), "-50000");
  EXPECT_EQ(SingleText(0.0f), "0");
  EXPECT_EQ(SingleText(-0.0f), "0");
  EXPECT_EQ(SingleText(2.5f), "2.5");
  EXPECT_EQ(SingleText(3000.0f), "3000");
  // Every whole twip a window can stand at survives a write and a read.
  for (float v : {1.0f, -1.0f, 15.0f, 123456.0f, -4995.0f, 16777216.0f, 3e7f}) {
    EXPECT_EQ(TextToSingle(SingleText(v)), v) << v;
    EXPECT_EQ(TextToWhole(SingleText(v)), static_cast<int>(v)) << v;
  }
}

// Another writer makes the value longer than the buffer on each of the first
// `grows` calls; one that never stops is given up.
TEST(ReadSizedValue, RetriesWithTheSizeTheValueHasNow) {
  for (const int grows : {0, 1, 3, 100}) {
    std::string value = "3700";
    int left = grows;
    const auto got = ReadSizedValue([&](unsigned char* buffer, std::uint32_t& bytes) {
      if (left-- > 0) value += std::string(bytes, '7');
      const bool fits = bytes >= value.size();
      if (fits) std::memcpy(buffer, value.data(), value.size());
      bytes = static_cast<std::uint32_t>(value.size());
      return fits ? SizedRead::Done : SizedRead::TooSmall;
    });
    EXPECT_EQ(got ? std::string(got->begin(), got->end()) : "(none)", grows < 100 ? value : "(none)") << grows;
  }
  EXPECT_FALSE(ReadSizedValue([](unsigned char*, std::uint32_t&) { return SizedRead::Failed; }));
}

}  // namespace
}  // namespace tarvex
