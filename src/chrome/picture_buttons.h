// The four picture buttons of the main window and their two looks, taken
// from the hidden holders inside `Picture3`.
#pragma once

#include <string_view>

#include "ui/element_names.h"
#include "ui/elements.h"

namespace tarvex::chrome {

struct ButtonLooks {
  std::string_view button;
  std::string_view normal;   // holder of the normal picture
  std::string_view pressed;  // holder of the pressed picture
};

inline constexpr ButtonLooks kButtonLooks[] = {
    {ui::names::kBClose, ui::names::kC1, ui::names::kC2},
    {ui::names::kBHide, ui::names::kH1, ui::names::kH2},
    {ui::names::kBRach, ui::names::kR1, ui::names::kR2},
    {ui::names::kBThaw, ui::names::kW1, ui::names::kW2},
};

// Mouse down with any button: the pressed picture. Mouse up: the normal one.
// Returns false when the element is not a picture button.
bool ShowPressed(ui::FormView& view, ui::Form& form, std::string_view button);
bool ShowNormal(ui::FormView& view, ui::Form& form, std::string_view button);

}  // namespace tarvex::chrome
