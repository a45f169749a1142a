#include "chrome/picture_buttons.h"

#include "ui/model_ops.h"

namespace tarvex::chrome {

namespace {

bool ShowFrom(Platform& p, ui::Form& form, std::string_view button, std::string_view holder) {
  const ui::Element* source = form.Find(holder);
  if (!source) return false;
  ui::SetPicture(p, form, button, source->picture);
  return true;
}

}  // namespace

const ButtonLooks* FindButton(std::string_view button) {
  for (const auto& b : kButtonLooks)
    if (b.button == button) return &b;
  return nullptr;
}

bool ShowPressed(Platform& p, ui::Form& form, std::string_view button) {
  const ButtonLooks* b = FindButton(button);
  return b && ShowFrom(p, form, b->button, b->pressed);
}

bool ShowNormal(Platform& p, ui::Form& form, std::string_view button) {
  const ButtonLooks* b = FindButton(button);
  return b && ShowFrom(p, form, b->button, b->normal);
}

}  // namespace tarvex::chrome
