#include <gtest/gtest.h>

#include "chrome/tooltips.h"
#include "fake_platform.h"

namespace tarvex::chrome {
namespace {

using Calls = std::vector<std::string>;

std::string Rule() {
  std::string r;
  for (int i = 0; i < 30; ++i) r += "\xE2\x94\x81";  // U+2501
  return r;
}
const std::string kSp = "\xE3\x80\x80";  // U+3000
std::string Seven() { return kSp + kSp + kSp + kSp + kSp + kSp + kSp; }

TEST(Tooltips, BodiesByteForByte) {
  const auto& s = TooltipSpecs();
  EXPECT_EQ(TooltipBody(s[0].sentences),
            Rule() + "\r\n" + kSp + "このアプリケーションを終了します。" + Seven() + "\r\n" + Rule());
  EXPECT_EQ(TooltipBody(s[1].sentences),
            Rule() + "\r\n" + kSp + "このアプリケーションを最小化します。" + Seven() + "\r\n" + kSp +
                "元に戻すにはタスクトレイのアイコンをクリックしてください。" + Seven() + "\r\n" +
                Rule());
  EXPECT_EQ(TooltipBody(s[2].sentences),
            Rule() + "\r\n" + kSp + "ここに書庫ファイルをドロップするとその書庫を解凍できます。" +
                Seven() + "\r\n" + kSp + "解凍可能な形式はZIP,CAB,LZHです。" + Seven() + "\r\n" +
                Rule());
  EXPECT_EQ(TooltipBody(s[3].sentences),
            Rule() + "\r\n" + kSp + "設定画面を開きます。" + Seven() + "\r\n" + Rule());
}

TEST(Tooltips, SetUpOrderAndTearDown) {
  test::FakePlatform p;
  TooltipHandles tips = SetUpTooltips(p);
  const Calls expected = {
      "CreateTooltipWindow(0x1000,0x41)", "CreateTooltipWindow(0x1000,0x41)",
      "CreateTooltipWindow(0x1000,0x41)", "CreateTooltipWindow(0x1000,0x41)",
      "TooltipSetMaxWidth(0x501,1000)",   "TooltipSetMaxWidth(0x502,1000)",
      "TooltipSetMaxWidth(0x503,1000)",   "TooltipSetMaxWidth(0x504,1000)",
      "TooltipSetBkColor(0x501,0xa87038)", "TooltipSetTextColor(0x501,0xffffff)",
      "TooltipSetBkColor(0x502,0xa87038)", "TooltipSetTextColor(0x502,0xffffff)",
      "TooltipSetBkColor(0x503,0xa87038)", "TooltipSetTextColor(0x503,0xffffff)",
      "TooltipSetBkColor(0x504,0xa87038)", "TooltipSetTextColor(0x504,0xffffff)",
      "TooltipSetTitle(0x501,1,終了)",     "TooltipSetTitle(0x502,1,最小化)",
      "TooltipSetTitle(0x503,1,解凍)",     "TooltipSetTitle(0x504,1,設定)",
      // tool id = the button's own handle: close, hide, extract, settings
      "TooltipAddTool(0x501,0x11,0x1000,0x3000)", "TooltipAddTool(0x502,0x11,0x1000,0x3001)",
      "TooltipAddTool(0x503,0x11,0x1000,0x3003)", "TooltipAddTool(0x504,0x11,0x1000,0x3002)",
  };
  EXPECT_EQ(p.calls, expected);
  EXPECT_EQ(p.toolTexts[0x503], TooltipBody(TooltipSpecs()[2].sentences));
  p.Clear();
  TearDownTooltips(p, tips);
  EXPECT_EQ(p.calls, (Calls{"DestroyWindowHandle(0x501)", "DestroyWindowHandle(0x502)",
                            "DestroyWindowHandle(0x503)", "DestroyWindowHandle(0x504)"}));
  p.Clear();
  TearDownTooltips(p, tips);  // a second tear-down has nothing left to destroy
  EXPECT_TRUE(p.calls.empty());
}

TEST(Tooltips, FailedWindowIsSkippedAndTheOthersWork) {
  test::FakePlatform p;
  p.tooltipHandles = {0x501, 0, 0x503, 0x504};
  TooltipHandles tips = SetUpTooltips(p);
  EXPECT_EQ(tips[1], 0u);
  for (const auto& c : p.calls) EXPECT_EQ(c.find("(0x0,"), std::string::npos) << c;
  EXPECT_EQ(p.Count("TooltipAddTool"), 3u);
  p.Clear();
  TearDownTooltips(p, tips);
  EXPECT_EQ(p.calls, (Calls{"DestroyWindowHandle(0x501)", "DestroyWindowHandle(0x503)",
                            "DestroyWindowHandle(0x504)"}));
}

}  // namespace
}  // namespace tarvex::chrome
