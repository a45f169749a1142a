// While an object of this type lives, every system dialog that the thread
// opens (message box, folder picker) shows its texts in a font that has the
// Japanese glyphs, whatever the system's language.
#pragma once

#include "shell/layer_win32.h"

namespace tarvex::win32 {

class JapaneseDialogFont {
 public:
  JapaneseDialogFont();
  ~JapaneseDialogFont();
  JapaneseDialogFont(const JapaneseDialogFont&) = delete;
  JapaneseDialogFont& operator=(const JapaneseDialogFont&) = delete;
};

}  // namespace tarvex::win32
