#include <gtest/gtest.h>

#include "fake_platform.h"
#include "readouts/date_time.h"
#include "readouts/digit_strip.h"
#include "readouts/memory_meter.h"
#include "shell/app.h"

namespace tarvex::readouts {
namespace {

namespace names = ui::names;

// The digits a row of cells shows, left to right ('?' for a non-digit picture).
template <typename Cells>
std::string Shown(const ui::Form& f, const Cells& cells) {
  std::string s;
  for (std::string_view c : cells) {
    const int v = static_cast<int>(f.Find(c)->picture) - static_cast<int>(Asset::Digit0);
    s += (v >= 0 && v <= 9) ? char('0' + v) : '?';
  }
  return s;
}
std::string Total(const ui::Form& f) { return Shown(f, names::kTotalCells); }
std::string Free(const ui::Form& f) { return Shown(f, names::kFreeCells); }
std::string DateTime(const ui::Form& f) {
  const std::string d =
      Shown(f, std::array{names::kT1, names::kT2, names::kT3, names::kT4, names::kTt1,
                          names::kTt2, names::kTt3, names::kTt4});
  return d.substr(0, 2) + "/" + d.substr(2, 2) + " " + d.substr(4, 2) + ":" + d.substr(6, 2);
}

struct Strip : ::testing::Test {
  test::FakePlatform p;
  ui::Form f = ui::MakeMainForm();
  void Fill(std::string_view text) { FillFromRight(p, f, names::kTotalCells, text); }
};

TEST_F(Strip, FillsFromTheRightWithLeadingZeros) {
  EXPECT_EQ(Total(f), "0000000");
  Fill("523760");
  EXPECT_EQ(Total(f), "0523760");
  Fill("1048576");
  EXPECT_EQ(Total(f), "1048576");
  Fill("65432");
  EXPECT_EQ(Total(f), "0065432");
  Fill("");
  EXPECT_EQ(Total(f), "0000000");
  Fill("-2097152");  // eight characters: the minus sign is beyond the seventh
  EXPECT_EQ(Total(f), "2097152");
}

TEST_F(Strip, ShorterTextLeavesNoStaleDigitAndNonDigitsKeepTheCell) {
  Fill("1000123");
  Fill("999999");
  EXPECT_EQ(Total(f), "0999999");
  Fill("1234567");
  Fill("12a4");
  EXPECT_EQ(Total(f), "0001264");  // the cell under the letter keeps its 6
}

TEST_F(Strip, RepaintsOnlyCellsWhosePictureChanged) {
  Fill("523760");
  p.Clear();
  Fill("523761");
  EXPECT_EQ(p.calls, (std::vector<std::string>{"Invalidate(Main,m6)"}));
}

TEST_F(Strip, ShowDigitHonoursTheAllowedSet) {
  ShowDigit(p, f, names::kT1, '5', "01");
  EXPECT_EQ(f.Find(names::kT1)->picture, Asset::Digit0);
  ShowDigit(p, f, names::kT1, '1', "01");
  EXPECT_EQ(f.Find(names::kT1)->picture, DigitAsset(1));
  ShowDigit(p, f, names::kT1, std::nullopt);
  ShowDigit(p, f, names::kT1, '/');
  EXPECT_EQ(f.Find(names::kT1)->picture, DigitAsset(1));
}

TEST(MemoryUnit, KilobytesUntilTheTotalNeedsMoreThanSevenDigits) {
  MemoryMeter kb;
  kb.ChooseUnit(512ull << 20);  // 512 MiB
  EXPECT_EQ(kb.unit(), MemoryMeter::Unit::KiloBytes);
  EXPECT_EQ(kb.ShownText(512ull << 20), "524288");
  EXPECT_EQ(kb.ShownText(2147483647ull), "2097151");
  EXPECT_EQ(kb.ShownText(1023), "0");  // rounded down
  kb.ChooseUnit(64ull << 30);  // chosen once: a later total changes nothing
  EXPECT_EQ(kb.unit(), MemoryMeter::Unit::KiloBytes);
  EXPECT_EQ(kb.ShownText(20ull << 30), "9999999");  // more than seven digits

  MemoryMeter edge;
  edge.ChooseUnit(9'999'999ull * 1024 + 1023);
  EXPECT_EQ(edge.unit(), MemoryMeter::Unit::KiloBytes);
  MemoryMeter over;
  over.ChooseUnit(10'000'000ull * 1024);
  EXPECT_EQ(over.unit(), MemoryMeter::Unit::MegaBytes);

  MemoryMeter mb;
  mb.ChooseUnit(16ull << 30);  // 16 GiB
  EXPECT_EQ(mb.unit(), MemoryMeter::Unit::MegaBytes);
  EXPECT_EQ(mb.ShownText(16ull << 30), "16384");
  EXPECT_EQ(mb.ShownText((1ull << 20) - 1), "0");
  EXPECT_EQ(mb.ShownText(~0ull), "9999999");
}

TEST(MemoryMeterTicks, TotalOnceThenFreeEveryTickInTheSameUnit) {
  test::FakePlatform p;
  App app(p);
  p.memory = MemoryStatus{16ull << 30, 5ull << 30};
  app.Start();
  app.OnTimer(FormId::Main, names::kTimer2);
  EXPECT_EQ(Total(app.MainForm()), "0016384");
  EXPECT_EQ(Free(app.MainForm()), "0000000");
  app.OnTimer(FormId::Main, names::kTimer1);
  EXPECT_EQ(Free(app.MainForm()), "0005120");
  p.memory.reset();  // a failed reading leaves the strip as it was
  app.OnTimer(FormId::Main, names::kTimer1);
  EXPECT_EQ(Free(app.MainForm()), "0005120");
  p.memory = MemoryStatus{16ull << 30, 1ull << 30};
  app.OnTimer(FormId::Main, names::kTimer1);
  EXPECT_EQ(Free(app.MainForm()), "0001024");
  EXPECT_EQ(Total(app.MainForm()), "0016384");
}

TEST(MemoryMeterTicks, FailedFirstReadingChoosesTheUnitAtTheNextReading) {
  test::FakePlatform p;
  App app(p);
  p.memory.reset();
  app.Start();
  app.OnTimer(FormId::Main, names::kTimer2);
  EXPECT_EQ(Total(app.MainForm()), "0000000");
  p.memory = MemoryStatus{536870912ull, 523760ull * 1024};
  app.OnTimer(FormId::Main, names::kTimer1);
  EXPECT_EQ(Free(app.MainForm()), "0523760");
}

struct Clock : ::testing::Test {
  test::FakePlatform p;
  ui::Form f = ui::MakeMainForm();
};

TEST_F(Clock, CellsShowTheTrueFieldsWithLeadingZeros) {
  // Run in order on one form: each line must replace every digit of the last.
  const struct {
    ClockTime now;
    const char* shown;
  } cases[] = {
      {{8, 7, 9, 5}, "08/07 09:05"},     // one-digit fields get a leading 0
      {{12, 31, 23, 59}, "12/31 23:59"},  // the last minute of the year
      {{1, 1, 0, 0}, "01/01 00:00"},      // midnight of the new year
      {{11, 28, 14, 37}, "11/28 14:37"},  // every cell its own digit
      {{10, 20, 10, 0}, "10/20 10:00"},
  };
  for (const auto& c : cases) {
    ShowDateTime(p, f, c.now);
    EXPECT_EQ(DateTime(f), c.shown);
  }
}

TEST(ClockTicks, PausedReadoutsDoNotTickAndResumeAtTheInterval) {
  test::FakePlatform p;
  App app(p);
  app.Start();
  app.OnTimer(FormId::Main, names::kTimer2);
  p.onShowModal = [&] {
    EXPECT_FALSE(app.MainForm().Find(names::kDateCheck)->enabled);
    EXPECT_FALSE(app.MainForm().Find(names::kTimer1)->enabled);
    p.Clear();
    app.OnTimer(FormId::Main, names::kDateCheck);
    app.OnTimer(FormId::Main, names::kTimer1);
    EXPECT_TRUE(p.calls.empty());
    app.OnClick(FormId::Care, names::kCommand1);
  };
  app.OnClick(FormId::Main, names::kBRach);
  EXPECT_EQ(app.MainForm().Find(names::kTimer1)->interval, 200);
  EXPECT_EQ(app.MainForm().Find(names::kDateCheck)->interval, 1000);
  p.Clear();
  app.OnTimer(FormId::Main, names::kDateCheck);
  EXPECT_EQ(p.Count("LocalTime"), 1u);
}

}  // namespace
}  // namespace tarvex::readouts
