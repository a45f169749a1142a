// mToolTips: the balloon tooltips of the four picture buttons, one per
// button, set up at load and removed at shutdown. The core says what each
// balloon shows; the window layer builds it (shell/platform.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/elements.h"

namespace tarvex::chrome {

enum class TipIcon { Info };

// A balloon that shows while the pointer rests on a button of the main window.
struct BalloonTip {
  std::string_view button;  // element name
  std::string_view title;
  TipIcon icon = TipIcon::Info;
  std::string body;             // UTF-8; lines separated by CR LF
  std::uint32_t backColor = 0;  // 0x00RRGGBB, as the element model's colours
  std::uint32_t textColor = 0;
};

inline constexpr std::uint32_t kTipBackColor = ui::Rgb(56, 112, 168);
inline constexpr std::uint32_t kTipTextColor = ui::Rgb(255, 255, 255);

// Body text: a rule of 30 heavy horizontal lines, CR LF, each sentence framed
// by one ideographic space before and seven after (lines joined by CR LF),
// CR LF, the rule again.
std::string TooltipBody(const std::vector<std::string_view>& sentences);

// The four balloons in set-up order: close, hide, extract, settings.
const std::array<BalloonTip, 4>& ButtonTips();

}  // namespace tarvex::chrome
