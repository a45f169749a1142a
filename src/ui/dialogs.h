// The one service every box of the program goes through: message boxes and
// the folder picker. The core asks for a box by what it says and which
// buttons it has; the Win32 layer shows it with the real system dialog.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ui/layer.h"

namespace tarvex {

// The caption of every message box, and the tray icon's tip.
inline constexpr std::string_view kCaption = "Tarvex";

enum class MsgIcon { Information, Warning, Question };
enum class MsgButtons { Ok, YesNoCancel };
enum class MsgResult { Ok, Yes, No, Cancel };

// Each box is modal to the owner form's window (the main window when the
// owner is not shown) and returns when it is closed; the window's thread
// keeps handling messages meanwhile.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Escape or the close button of an OK box answers Ok.
  virtual MsgResult MessageBox(FormId owner, std::string_view text, std::string_view caption,
                               MsgIcon icon, MsgButtons buttons) = 0;
  // A folder of the file system, or nullopt when cancelled or when the
  // choice has no file-system path.
  virtual std::optional<std::string> BrowseForFolder(FormId owner, std::string_view title) = 0;
};

}  // namespace tarvex
