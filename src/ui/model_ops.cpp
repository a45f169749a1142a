#include "ui/model_ops.h"

namespace tarvex::ui {

bool SetPicture(FormView& view, Form& form, std::string_view element, Asset picture) {
  Element* e = form.Find(element);
  if (!e || e->picture == picture) return false;
  e->picture = picture;
  view.Invalidate(form.id, element);
  return true;
}

bool SetText(FormView& view, Form& form, std::string_view element, std::string_view text) {
  Element* e = form.Find(element);
  if (!e || e->text == text) return false;
  e->text = std::string(text);
  view.Invalidate(form.id, element);
  return true;
}

bool SetTimerInterval(FormView& view, Form& form, std::string_view timer, int interval) {
  Element* e = form.Find(timer);
  if (!e || e->interval == interval) return false;
  e->interval = interval;
  view.TimerChanged(form.id, timer, e->interval, e->enabled);
  return true;
}

bool SetTimerEnabled(FormView& view, Form& form, std::string_view timer, bool enabled) {
  Element* e = form.Find(timer);
  if (!e || e->enabled == enabled) return false;
  e->enabled = enabled;
  view.TimerChanged(form.id, timer, e->interval, e->enabled);
  return true;
}

std::string_view TextOf(const Form& form, std::string_view element) {
  const Element* e = form.Find(element);
  return e ? std::string_view(e->text) : std::string_view();
}

bool TimerRunning(const Form& form, std::string_view timer) {
  const Element* e = form.Find(timer);
  return e && e->kind == Kind::Timer && e->enabled && e->interval > 0;
}

}  // namespace tarvex::ui
