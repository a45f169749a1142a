// The element model of the program's two windows: every element with its
// kind, geometry in twips, picture, text, timer interval and enabled flag.
// The portable core owns and changes this model; the Win32 layer realises it
// (child windows for picture boxes and controls, painting for the windowless
// elements) and is told of every change through ui::FormView (ui/layer.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "assets/asset_ids.h"
#include "ui/layer.h"
#include "ui/units.h"

namespace tarvex::ui {

enum class Kind { PictureBox, Image, Label, TextField, CheckBox, PushButton, Line, Timer, TrayIcon };

// Colours are RGB packed as 0x00RRGGBB.
constexpr std::uint32_t Rgb(int r, int g, int b) {
  return (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b);
}

struct Element {
  std::string name;
  Kind kind = Kind::Image;
  std::string container;  // "" = the form's client area, else a picture box's name
  // Twips, relative to the container. For a line: (left, top) is the start
  // point and (x2, y2) the end point.
  float left = 0, top = 0, width = 0, height = 0;
  float x2 = 0, y2 = 0;
  int lineWidth = 1;
  Asset picture = Asset::None;
  bool stretch = false;       // images: scale the picture to the element's size
  bool border = false;        // picture boxes: the default sunken border (parked ones)
  std::string text;           // UTF-8: label text, caption, text field contents
  std::uint32_t foreColor = 0;
  std::uint32_t backColor = 0;
  bool transparent = false;   // labels: no background
  int interval = 0;           // timers, milliseconds
  bool enabled = true;        // timers: counting; controls: input allowed
  int value = 0;              // check box: 0 off, 1 on
  bool acceptsDrops = false;  // b_thaw
  bool handPointer = false;   // the four buttons
  int tabIndex = -1;          // controls of the settings window
};

struct Form {
  FormId id = FormId::Main;
  std::string name;        // "main" / "care"
  std::string caption;
  float clientWidth = 0;   // twips
  float clientHeight = 0;  // twips
  std::uint32_t backColor = 0;
  Asset icon = Asset::None;
  bool showInTaskbar = false;
  // The window's position in twips, single precision, as the core knows it.
  float left = 0, top = 0;
  std::vector<Element> elements;  // in creation (and drawing) order

  // The element of that name (one of ui/element_names.h). A name the form
  // does not have is a fault of the program: it is reported through the
  // handler below, and nullptr is returned.
  Element* Find(std::string_view elementName);
  const Element* Find(std::string_view elementName) const;
};

// Called with the form and the name when Form::Find does not know the name.
// The default handler aborts in a debug build and does nothing otherwise; the
// unit tests install one that fails the running test. Returns the previous one.
using UnknownElementHandler = void (*)(const Form& form, std::string_view elementName);
UnknownElementHandler SetUnknownElementHandler(UnknownElementHandler handler);

// The tables of the two windows, in their state at creation.
Form MakeMainForm();
Form MakeCareForm();

}  // namespace tarvex::ui
