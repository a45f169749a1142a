#include <cstdio>
#include <cstdlib>

#include "ui/elements.h"

namespace tarvex::ui {

namespace {

void DefaultUnknownElement([[maybe_unused]] const Form& form,
                           [[maybe_unused]] std::string_view elementName) {
#ifndef NDEBUG
  std::fprintf(stderr, "form '%s' has no element '%.*s'\n", form.name.c_str(),
               static_cast<int>(elementName.size()), elementName.data());
  std::abort();
#endif
}

UnknownElementHandler g_unknownElement = DefaultUnknownElement;

}  // namespace

UnknownElementHandler SetUnknownElementHandler(UnknownElementHandler handler) {
  UnknownElementHandler previous = g_unknownElement;
  g_unknownElement = handler ? handler : DefaultUnknownElement;
  return previous;
}

Element* Form::Find(std::string_view elementName) {
  return const_cast<Element*>(static_cast<const Form&>(*this).Find(elementName));
}

const Element* Form::Find(std::string_view elementName) const {
  for (const auto& e : elements)
    if (e.name == elementName) return &e;
  g_unknownElement(*this, elementName);
  return nullptr;
}

}  // namespace tarvex::ui
