// The four picture buttons of the main window and their two looks, taken
// from the hidden holders inside `Picture3`.
#pragma once

#include <string_view>

#include "shell/platform.h"
#include "ui/elements.h"

namespace tarvex::chrome {

struct ButtonLooks {
  std::string_view button;
  std::string_view normal;   // holder of the normal picture
  std::string_view pressed;  // holder of the pressed picture
};

inline constexpr ButtonLooks kButtonLooks[] = {
    {"b_close", "c1", "c2"},
    {"b_hide", "h1", "h2"},
    {"b_rach", "r1", "r2"},
    {"b_thaw", "w1", "w2"},
};

// The looks of a button, or nullptr when the element is not a picture button.
const ButtonLooks* FindButton(std::string_view button);

// Mouse down with any button: the pressed picture. Mouse up: the normal one.
// Returns false when the element is not a picture button.
bool ShowPressed(Platform& p, ui::Form& form, std::string_view button);
bool ShowNormal(Platform& p, ui::Form& form, std::string_view button);

}  // namespace tarvex::chrome
