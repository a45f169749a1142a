#include "ui/elements.h"

namespace tarvex::ui {

Element* Form::Find(std::string_view elementName) {
  for (auto& e : elements)
    if (e.name == elementName) return &e;
  return nullptr;
}

const Element* Form::Find(std::string_view elementName) const {
  for (const auto& e : elements)
    if (e.name == elementName) return &e;
  return nullptr;
}

}  // namespace tarvex::ui
