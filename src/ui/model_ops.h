// Changes to the element model that keep the window layer informed: a
// picture or text that really changes is repainted (FormView::Invalidate); a
// timer whose interval or enabled flag changes is restarted or stopped
// (FormView::TimerChanged). Setting a value equal to the current one tells
// the layer nothing.
#pragma once

#include <string_view>

#include "ui/elements.h"

namespace tarvex::ui {

// Each returns true when the value changed.
bool SetPicture(FormView& view, Form& form, std::string_view element, Asset picture);
bool SetText(FormView& view, Form& form, std::string_view element, std::string_view text);
bool SetTimerInterval(FormView& view, Form& form, std::string_view timer, int interval);
bool SetTimerEnabled(FormView& view, Form& form, std::string_view timer, bool enabled);

// The text of an element.
std::string_view TextOf(const Form& form, std::string_view element);

// A timer fires only while enabled with an interval above 0.
bool TimerRunning(const Form& form, std::string_view timer);

}  // namespace tarvex::ui
