#include "chrome/picture_buttons.h"

#include "ui/model_ops.h"

namespace tarvex::chrome {

namespace {

const ButtonLooks* FindButton(std::string_view button) {
  for (const auto& b : kButtonLooks)
    if (b.button == button) return &b;
  return nullptr;
}

bool ShowFrom(ui::FormView& view, ui::Form& form, std::string_view button, std::string_view holder) {
  const ui::Element* source = form.Find(holder);
  if (!source) return false;
  ui::SetPicture(view, form, button, source->picture);
  return true;
}

}  // namespace

bool ShowPressed(ui::FormView& view, ui::Form& form, std::string_view button) {
  const ButtonLooks* b = FindButton(button);
  return b && ShowFrom(view, form, b->button, b->pressed);
}

bool ShowNormal(ui::FormView& view, ui::Form& form, std::string_view button) {
  const ButtonLooks* b = FindButton(button);
  return b && ShowFrom(view, form, b->button, b->normal);
}

}  // namespace tarvex::chrome
