// mToolTips: the balloon tooltips of the four picture buttons, one tooltip
// window per button, created at load and destroyed at shutdown.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shell/platform.h"

namespace tarvex::chrome {

inline constexpr std::uint32_t kTooltipStyle = 0x41;      // always tip + balloon
inline constexpr int kTooltipMaxWidth = 1000;
inline constexpr std::uint32_t kTooltipBkColor = 0x00A87038;   // COLORREF of RGB(56, 112, 168)
inline constexpr std::uint32_t kTooltipTextColor = 0x00FFFFFF;
inline constexpr int kTooltipIconInfo = 1;
inline constexpr std::uint32_t kToolFlags = 0x11;         // id is hwnd + subclass

struct TooltipSpec {
  std::string_view button;
  std::string_view title;
  std::vector<std::string_view> sentences;
};

// The four tooltips in set-up order: close, hide, extract, settings.
const std::array<TooltipSpec, 4>& TooltipSpecs();

// Body text: a rule of 30 heavy horizontal lines, CR LF, each sentence framed
// by one ideographic space before and seven after (lines joined by CR LF),
// CR LF, the rule again.
std::string TooltipBody(const std::vector<std::string_view>& sentences);

using TooltipHandles = std::array<Handle, 4>;

// Creates and configures the four tooltip windows owned by the main window.
// A window whose creation failed keeps handle 0 and gets no further calls.
TooltipHandles SetUpTooltips(Platform& p);

// Destroys every tooltip window whose handle is not 0 and zeroes the handles.
void TearDownTooltips(Platform& p, TooltipHandles& handles);

}  // namespace tarvex::chrome
