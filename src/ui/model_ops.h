// Changes to the element model that keep the Win32 layer informed: a picture
// or text that really changes is repainted (Platform::Invalidate); a timer
// whose interval or enabled flag changes is restarted or stopped
// (Platform::TimerChanged). Setting a value equal to the current one tells
// the layer nothing.
#pragma once

#include <string_view>

#include "shell/platform.h"
#include "ui/elements.h"

namespace tarvex::ui {

// Each returns true when the value changed. A missing element is ignored.
bool SetPicture(Platform& p, Form& form, std::string_view element, Asset picture);
bool SetText(Platform& p, Form& form, std::string_view element, std::string_view text);
bool SetTimerInterval(Platform& p, Form& form, std::string_view timer, int interval);
bool SetTimerEnabled(Platform& p, Form& form, std::string_view timer, bool enabled);

// The text of an element, or "" when it does not exist.
std::string_view TextOf(const Form& form, std::string_view element);

// A timer fires only while enabled with an interval above 0.
bool TimerRunning(const Form& form, std::string_view timer);

}  // namespace tarvex::ui
