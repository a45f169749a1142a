// The element table of the settings window `care`, in its state at creation.
#include "ui/element_names.h"
#include "ui/elements.h"
#include "ui/form_tables.h"

namespace tarvex::ui {

using namespace names;

namespace {

Element Control(std::string_view name, Kind kind, float l, float t, float w, float h, std::string text,
                int tab) {
  Element e;
  e.name = std::string(name);
  e.kind = kind;
  e.left = l;
  e.top = t;
  e.width = w;
  e.height = h;
  e.text = std::move(text);
  e.tabIndex = tab;
  e.foreColor = Rgb(0, 0, 0);
  e.backColor = kind == Kind::TextField ? Rgb(255, 255, 255) : Rgb(162, 181, 255);
  return e;
}

}  // namespace

Form MakeCareForm() {
  Form f;
  f.id = FormId::Care;
  f.name = "care";
  f.caption = "Form1";
  f.clientWidth = 2865;
  f.clientHeight = 975;
  f.backColor = Rgb(162, 181, 255);
  f.icon = Asset::None;
  f.showInTaskbar = false;
  auto& v = f.elements;
  // Created in tab order.
  v.push_back(Control(kCommand1, Kind::PushButton, 180, 465, 1350, 375, "&OK", 0));
  v.push_back(Control(kCareText1, Kind::TextField, 1815, -540, 2175, 390, "Text1", 1));
  v.push_back(Control(kCommand2, Kind::PushButton, 1800, -1020, 1335, 750, "Command2", 2));
  v.push_back(Control(kActc, Kind::CheckBox, 180, 180, 2535, 210, "常に最前面表示", 3));
  v.push_back(Control(kText2, Kind::TextField, 1395, 1530, 1215, 1320, "", 4));
  AppendFramePieces(f);
  return f;
}

}  // namespace tarvex::ui
