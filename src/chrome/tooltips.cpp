#include "chrome/tooltips.h"

namespace tarvex::chrome {

const std::array<TooltipSpec, 4>& TooltipSpecs() {
  static const std::array<TooltipSpec, 4> specs = {{
      {"b_close", "終了", {"このアプリケーションを終了します。"}},
      {"b_hide",
       "最小化",
       {"このアプリケーションを最小化します。",
        "元に戻すにはタスクトレイのアイコンをクリックしてください。"}},
      {"b_thaw",
       "解凍",
       {"ここに書庫ファイルをドロップするとその書庫を解凍できます。",
        "解凍可能な形式はZIP,CAB,LZHです。"}},
      {"b_rach", "設定", {"設定画面を開きます。"}},
  }};
  return specs;
}

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

TooltipHandles SetUpTooltips(Platform& p) {
  const Handle owner = p.WindowHandle(FormId::Main);
  const auto& specs = TooltipSpecs();
  TooltipHandles tips{};
  for (std::size_t i = 0; i < tips.size(); ++i) tips[i] = p.CreateTooltipWindow(owner, kTooltipStyle);
  for (Handle t : tips)
    if (t) p.TooltipSetMaxWidth(t, kTooltipMaxWidth);
  for (Handle t : tips) {
    if (!t) continue;
    p.TooltipSetBkColor(t, kTooltipBkColor);
    p.TooltipSetTextColor(t, kTooltipTextColor);
  }
  for (std::size_t i = 0; i < tips.size(); ++i)
    if (tips[i]) p.TooltipSetTitle(tips[i], kTooltipIconInfo, specs[i].title);
  for (std::size_t i = 0; i < tips.size(); ++i) {
    if (!tips[i]) continue;
    p.TooltipAddTool(tips[i], kToolFlags, owner, p.ElementHandle(FormId::Main, specs[i].button),
                     TooltipBody(specs[i].sentences));
  }
  return tips;
}

void TearDownTooltips(Platform& p, TooltipHandles& handles) {
  for (Handle& h : handles) {
    if (h) p.DestroyWindowHandle(h);
    h = 0;
  }
}

}  // namespace tarvex::chrome
