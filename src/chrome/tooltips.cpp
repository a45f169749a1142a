#include "chrome/tooltips.h"

#include "ui/element_names.h"

namespace tarvex::chrome {

std::string TooltipBody(const std::vector<std::string_view>& sentences) {
  static const std::string kRuleChar = "\u2501";
  static const std::string kIdeoSpace = "\u3000";
  std::string rule;
  for (int i = 0; i < 30; ++i) rule += kRuleChar;
  std::string body = rule + "\r\n";
  for (std::size_t i = 0; i < sentences.size(); ++i) {
    if (i > 0) body += "\r\n";
    body += kIdeoSpace;
    body += sentences[i];
    for (int k = 0; k < 7; ++k) body += kIdeoSpace;
  }
  body += "\r\n" + rule;
  return body;
}

const std::array<BalloonTip, 4>& ButtonTips() {
  namespace names = ui::names;
  const auto tip = [](std::string_view button, std::string_view title,
                      const std::vector<std::string_view>& sentences) {
    return BalloonTip{button, title, TipIcon::Info, TooltipBody(sentences), kTipBackColor,
                      kTipTextColor};
  };
  static const std::array<BalloonTip, 4> tips = {
      tip(names::kBClose, "終了", {"このアプリケーションを終了します。"}),
      tip(names::kBHide, "最小化",
          {"このアプリケーションを最小化します。",
           "元に戻すにはタスクトレイのアイコンをクリックしてください。"}),
      tip(names::kBThaw, "解凍",
          {"ここに書庫ファイルをドロップするとその書庫を解凍できます。",
           "解凍可能な形式はZIP,CAB,LZHです。"}),
      tip(names::kBRach, "設定", {"設定画面を開きます。"}),
  };
  return tips;
}

}  // namespace tarvex::chrome
