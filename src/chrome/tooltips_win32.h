// The balloon tooltip windows of the picture buttons: one window of the
// tooltip class per balloon, owned by the form window, with the wide
// messages, the theme switched off so that the chosen colours show, and a
// font that renders the Japanese texts on a Windows of any language.
#pragma once

#include "ui/handles_win32.h"

#include <vector>

#include "chrome/tooltips.h"
#include "ui/resources_win32.h"

namespace tarvex::win32 {

class BalloonTips {
 public:
  explicit BalloonTips(const Resources& resources) : resources_(resources) {}

  // A tooltip window owned by `owner` that shows `tip` while the pointer
  // rests on `tool` (a child window of owner). Nothing when it cannot be made.
  void Add(HWND owner, HWND tool, const chrome::BalloonTip& tip);
  // Destroys every tooltip window.
  void Clear() { windows_.clear(); }

 private:
  const Resources& resources_;
  std::vector<OwnedWindow> windows_;
};

}  // namespace tarvex::win32
