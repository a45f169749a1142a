#include <gtest/gtest.h>

#include <cstring>

#include "fake_platform.h"
#include "shell/settings_store.h"

namespace tarvex {
namespace {

TEST(TextToWhole, TakesTheNumberTheTextBeginsWith) {
  EXPECT_EQ(TextToWhole("3700"), 3700);
  EXPECT_EQ(TextToWhole(" 120"), 120);
  EXPECT_EQ(TextToWhole("\t  -50000"), -50000);
  EXPECT_EQ(TextToWhole("+42"), 42);
  EXPECT_EQ(TextToWhole("12abc"), 12);
  EXPECT_EQ(TextToWhole("12 34"), 12);
  EXPECT_EQ(TextToWhole("1e3"), 1000);
  EXPECT_EQ(TextToWhole("1.5E+2x"), 150);
  EXPECT_EQ(TextToWhole("7e"), 7);     // marker without digits is not an exponent
  EXPECT_EQ(TextToWhole("7e+"), 7);
  EXPECT_EQ(TextToWhole(".75"), 1);
  EXPECT_EQ(TextToWhole("5."), 5);
}

TEST(TextToWhole, TextWithoutANumberReadsZero) {
  for (const char* t : {"", "abc", "Topf", "Leftf", "acA", "-", "+", ".", "-.", " ", "e5", "--1"})
    EXPECT_EQ(TextToWhole(t), 0) << "'" << t << "'";
}

TEST(TextToWhole, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(TextToWhole("2.5"), 2);
  EXPECT_EQ(TextToWhole("3.5"), 4);
  EXPECT_EQ(TextToWhole("-2.5"), -2);
  EXPECT_EQ(TextToWhole("-3.5"), -4);
  EXPECT_EQ(TextToWhole("0.5"), 0);
  EXPECT_EQ(TextToWhole("2.5000001"), 3);
  EXPECT_EQ(TextToWhole("-0.4"), 0);
}

TEST(TextToWhole, NumbersOutsideTheSigned32BitRangeReadZero) {
  EXPECT_EQ(TextToWhole("2147483647"), 2147483647);
  EXPECT_EQ(TextToWhole("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(TextToWhole("2147483648"), 0);
  EXPECT_EQ(TextToWhole("-2147483649"), 0);
  EXPECT_EQ(TextToWhole("99999999999999999999999"), 0);
  EXPECT_EQ(TextToWhole("1e999"), 0);
  EXPECT_EQ(TextToWhole("-1e999"), 0);
  EXPECT_EQ(TextToWhole("1e-999"), 0);
  EXPECT_EQ(TextToWhole(std::string(400, '9')), 0);
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

TEST(SettingsStore, AddressesTheProgramsApplicationAndSection) {
  test::FakePlatform p;
  p.settings["Top"] = " 120";
  SettingsStore store(p);
  EXPECT_EQ(store.ReadWhole(kKeyTop, kDefaultTop), 120);
  EXPECT_EQ(store.ReadWhole(kKeyLeft, kDefaultLeft), 0);  // absent: "Leftf" reads 0
  store.Write(kKeyAct, "1");
  EXPECT_EQ(p.calls, (std::vector<std::string>{"GetSetting(Tarvex,startup,Top,Topf)",
                                               "GetSetting(Tarvex,startup,Left,Leftf)",
                                               "SaveSetting(Tarvex,startup,Act,1)"}));
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
