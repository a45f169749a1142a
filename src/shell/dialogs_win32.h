// The dialog service of the core with the system's own boxes: message boxes
// and the folder picker, modal to a form window, with their texts in a font
// that has the Japanese glyphs whatever the system's language.
#pragma once

#include "ui/handles_win32.h"

#include <functional>

#include "shell/platform.h"

namespace tarvex::win32 {

class Win32Dialogs final : public Dialogs {
 public:
  // windowOf gives a form's window, or nullptr while it does not exist.
  explicit Win32Dialogs(std::function<HWND(FormId)> windowOf) : windowOf_(std::move(windowOf)) {}

  MsgResult MessageBox(FormId owner, std::string_view text, std::string_view caption, MsgIcon icon,
                       MsgButtons buttons) override;
  std::optional<std::string> BrowseForFolder(FormId owner, std::string_view title) override;

 private:
  // The owner form's window while it is shown, else the main window.
  HWND OwnerOf(FormId form) const;

  std::function<HWND(FormId)> windowOf_;
};

}  // namespace tarvex::win32
