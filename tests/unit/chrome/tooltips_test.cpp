#include <gtest/gtest.h>

#include "chrome/tooltips.h"
#include "fake_platform.h"

namespace tarvex::chrome {
namespace {

std::string Rule() {
  std::string r;
  for (int i = 0; i < 30; ++i) r += "\xE2\x94\x81";  // U+2501
  return r;
}
const std::string kSp = "\xE3\x80\x80";  // U+3000
std::string Line(const std::string& sentence) {
  return kSp + sentence + kSp + kSp + kSp + kSp + kSp + kSp + kSp;
}

TEST(Tooltips, FourBlueBalloonsWithTitleAndFramedBodyInSetUpOrder) {
  namespace names = ui::names;
  const struct {
    std::string_view button, title;
    std::string body;
  } want[] = {
      {names::kBClose, "終了", Line("このアプリケーションを終了します。")},
      {names::kBHide, "最小化",
       Line("このアプリケーションを最小化します。") + "\r\n" +
           Line("元に戻すにはタスクトレイのアイコンをクリックしてください。")},
      {names::kBThaw, "解凍",
       Line("ここに書庫ファイルをドロップするとその書庫を解凍できます。") + "\r\n" +
           Line("解凍可能な形式はZIP,CAB,LZHです。")},
      {names::kBRach, "設定", Line("設定画面を開きます。")},
  };
  const auto& tips = ButtonTips();
  for (std::size_t i = 0; i < tips.size(); ++i) {
    EXPECT_EQ(tips[i].button, want[i].button);
    EXPECT_EQ(tips[i].title, want[i].title);
    EXPECT_EQ(tips[i].body, Rule() + "\r\n" + want[i].body + "\r\n" + Rule()) << want[i].title;
    EXPECT_EQ(tips[i].icon, TipIcon::Info);
    EXPECT_EQ(tips[i].backColor, ui::Rgb(56, 112, 168));
    EXPECT_EQ(tips[i].textColor, ui::Rgb(255, 255, 255));
  }
}

}  // namespace
}  // namespace tarvex::chrome
