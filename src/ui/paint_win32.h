// Painting of the windowless elements (images, labels, lines) onto their
// container, and the hit test that finds the element under a point.
#pragma once

#include "ui/handles_win32.h"

#include <map>
#include <string>
#include <string_view>

#include "ui/convert_win32.h"
#include "ui/elements.h"
#include "ui/pictures_win32.h"

namespace tarvex::win32 {

// Rectangles last drawn for windowless elements (container pixels), so that
// a moved element's old area is repainted too.
using DrawnAreas = std::map<std::string, RECT, std::less<>>;

class ElementPainter {
 public:
  // labelFont nullptr: the system's GUI font.
  ElementPainter(PictureCache& pictures, HFONT labelFont, const Scale& scale);

  // The area (container pixels) an element covers when drawn: an image its
  // picture's natural size unless stretched, a label its text, a line its
  // stroke. Empty for elements that are not drawn windowless.
  RECT Area(const ui::Element& e);
  // The place of a picture box's child window: its picture's size for the
  // flat visible ones, the design size for bordered (parked) ones.
  RECT PictureBoxRect(const ui::Element& e);
  // Paints the container (the form when container is "", else a picture box)
  // into dc: background, then its windowless elements, each recorded in drawn.
  void PaintContainer(HDC dc, const ui::Form& form, std::string_view container, const RECT& client,
                      DrawnAreas& drawn);
  // The topmost windowless element of a container under a point that takes
  // mouse events (labels above images; lines take none), or nullptr.
  const ui::Element* HitTest(const ui::Form& form, std::string_view container, POINT pt);

 private:
  RECT LabelTextRect(const ui::Element& e);
  void PaintLine(HDC dc, const ui::Element& e);
  void PaintLabel(HDC dc, const ui::Element& e);

  PictureCache& pictures_;
  HGDIOBJ labelFont_;
  const Scale& scale_;
};

}  // namespace tarvex::win32
