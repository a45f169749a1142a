// The element table of the gadget window `main`, in its state at creation.
#include "ui/element_names.h"
#include "ui/elements.h"
#include "ui/form_tables.h"

namespace tarvex::ui {

using namespace names;

namespace {

constexpr std::uint32_t kFaceColor = Rgb(162, 181, 255);

Element Pic(std::string_view name, float l, float t, float w, float h, Asset pic,
            std::string_view container = "") {
  Element e;
  e.name = std::string(name);
  e.kind = Kind::PictureBox;
  e.container = std::string(container);
  e.left = l;
  e.top = t;
  e.width = w;
  e.height = h;
  e.picture = pic;
  return e;
}

Element Img(std::string_view name, float l, float t, float w, float h, Asset pic,
            std::string_view container = "", bool stretch = false) {
  Element e = Pic(name, l, t, w, h, pic, container);
  e.kind = Kind::Image;
  e.stretch = stretch;
  return e;
}

Element Lbl(std::string_view name, float l, float t, float w, float h, std::string text) {
  Element e;
  e.name = std::string(name);
  e.kind = Kind::Label;
  e.left = l;
  e.top = t;
  e.width = w;
  e.height = h;
  e.text = std::move(text);
  e.transparent = true;
  return e;
}

Element Txt(std::string_view name, float l, float t, float w, float h, std::string text = "") {
  Element e = Lbl(name, l, t, w, h, std::move(text));
  e.kind = Kind::TextField;
  e.transparent = false;
  e.backColor = Rgb(255, 255, 255);
  return e;
}

Element Tmr(std::string_view name, int interval) {
  Element e;
  e.name = std::string(name);
  e.kind = Kind::Timer;
  e.interval = interval;
  e.enabled = true;
  return e;
}

Element Ln(std::string_view name, float x1, float y1, float x2, float y2, std::uint32_t color,
           int width) {
  Element e;
  e.name = std::string(name);
  e.kind = Kind::Line;
  e.left = x1;
  e.top = y1;
  e.x2 = x2;
  e.y2 = y2;
  e.width = x2 - x1;
  e.height = y2 - y1;
  e.foreColor = color;
  e.lineWidth = width;
  return e;
}

Element Button(std::string_view name, float l, float t, float w, float h, Asset pic) {
  Element e = Pic(name, l, t, w, h, pic);
  e.handPointer = true;
  return e;
}

}  // namespace

void AppendFramePieces(Form& form) {
  // Design geometry; the frame layout on every resize overwrites the
  // positions and the lengths of the edges. `mt` keeps its design Top of 0.
  const float w = form.clientWidth, h = form.clientHeight;
  form.elements.push_back(Img(kLt, 0, 0, 30, 30, Asset::FrameLT, "", false));
  form.elements.push_back(Img(kMt, 30, 0, 540, 30, Asset::FrameMT, "", true));
  form.elements.push_back(Img(kRt, w - 30, 0, 30, 30, Asset::FrameRT, "", false));
  form.elements.push_back(Img(kLm, 0, 30, 30, 285, Asset::FrameLM, "", true));
  form.elements.push_back(Img(kRm, w - 30, 30, 30, 105, Asset::FrameRM, "", true));
  form.elements.push_back(Img(kLb, 0, h - 30, 30, 30, Asset::FrameLB, "", true));
  form.elements.push_back(Img(kMb, 30, h - 30, 285, 30, Asset::FrameMB, "", true));
  form.elements.push_back(Img(kRb, w - 30, h - 30, 30, 30, Asset::FrameRB, "", true));
}

Form MakeMainForm() {
  Form f;
  f.id = FormId::Main;
  f.name = "main";
  f.caption = "Tarvex";
  f.clientWidth = 2865;
  f.clientHeight = 1425;
  f.backColor = kFaceColor;
  f.icon = Asset::AppIcon;
  f.showInTaskbar = false;
  auto& v = f.elements;

  // Panels of the readouts.
  v.push_back(Pic(kPicture1, 60, 75, 1335, 360, Asset::DatePanel));
  v.push_back(Pic(kPicture2, 60, 480, 1335, 555, Asset::MemoryPanel));

  // Holder of the button looks and the digit glyphs, parked right of the
  // client area with its default sunken border.
  Element p3 = Pic(kPicture3, 3960, 135, 4410, 1230, Asset::None);
  p3.border = true;
  v.push_back(p3);

  // The four picture buttons.
  v.push_back(Button(kBClose, 1425, 75, 255, 255, Asset::Close1));
  v.push_back(Button(kBHide, 1680, 75, 255, 255, Asset::Hide1));
  v.push_back(Button(kBRach, 1935, 75, 525, 375, Asset::Settings1));
  Element thaw = Button(kBThaw, 1410, 330, 525, 705, Asset::Extract1);
  thaw.acceptsDrops = true;
  v.push_back(thaw);

  // Grip, separator and status bar.
  v.push_back(Img(kImage6, 2565, 60, 240, 1320, Asset::Logo));
  v.push_back(Ln(kLine1, 2535, 75, 2535, 1350, Rgb(128, 128, 128), 2));
  v.push_back(Ln(kLine2, 2535, 75, 2535, 1365, Rgb(255, 255, 255), 1));
  v.push_back(Img(kImage5, 60, 1080, 2400, 285, Asset::DatePanel, "", true));
  Element info = Lbl(kInfo, 150, 1125, 1425, 180, "メモリ情報取得中...");
  info.foreColor = Rgb(183, 198, 255);
  v.push_back(info);

  // Parked stores of strings.
  v.push_back(Lbl(kMleft, 1980, 3225, 1305, 180, "0"));
  v.push_back(Lbl(kMtop, 1965, 3450, 1260, 195, "0"));
  v.push_back(Txt(kText1, 315, -540, 2625, 315));
  v.push_back(Txt(kDatac, 570, 3015, 840, 270));
  v.push_back(Txt(kMemc, 570, 3450, 840, 270));
  v.push_back(Txt(kMemt, 570, 3855, 840, 270));

  // Timers: all enabled at creation; Timer1 gets its interval later.
  v.push_back(Tmr(kDateCheck, 1000));
  v.push_back(Tmr(kTimer1, 0));
  v.push_back(Tmr(kTimer2, 1000));

  Element syst;
  syst.name = std::string(kSyst);
  syst.kind = Kind::TrayIcon;
  syst.picture = Asset::AppIcon;
  v.push_back(syst);

  // Date and time strip inside Picture1: cells 90 x 105 at Top 120.
  const struct { std::string_view name; float left; Asset pic; float width; } dateCells[] = {
      {kT1, 120, Asset::Digit0, 90},    {kT2, 225, Asset::Digit0, 90},
      {kImage11, 330, Asset::Slash, 45}, {kT3, 390, Asset::Digit0, 90},
      {kT4, 495, Asset::Digit0, 90},    {kTt1, 735, Asset::Digit0, 90},
      {kTt2, 840, Asset::Digit0, 90},   {kImage12, 945, Asset::Colon, 45},
      {kTt3, 1005, Asset::Digit0, 90},  {kTt4, 1110, Asset::Digit0, 90},
  };
  for (const auto& c : dateCells) v.push_back(Img(c.name, c.left, 120, c.width, 105, c.pic, kPicture1));

  // Two memory strips inside Picture2.
  const struct {
    const std::array<std::string_view, 7>& cells;
    std::string_view level;
    Asset levelPic;
    std::string_view dot;
    float top;
  } rows[] = {
      {kTotalCells, kImage3, Asset::LevelTotal, kImage1, 135},
      {kFreeCells, kImage4, Asset::LevelFree, kImage2, 345},
  };
  const float digitLeft[] = {420, 525, 630, 735, 900, 1005, 1110};
  for (const auto& r : rows) {
    v.push_back(Img(r.level, 90, r.top, 300, 105, r.levelPic, kPicture2));
    for (int i = 0; i < 7; ++i) {
      if (i == 4) v.push_back(Img(r.dot, 840, r.top, 45, 105, Asset::Dot, kPicture2));
      v.push_back(Img(r.cells[i], digitLeft[i], r.top, 90, 105, Asset::Digit0, kPicture2));
    }
  }

  // Button looks and glyph images inside Picture3 (never visible).
  const struct { std::string_view name; float left; float w; float h; Asset pic; } looks[] = {
      {kC1, 60, 255, 255, Asset::Close1},     {kC2, 375, 255, 255, Asset::Close2},
      {kH1, 690, 255, 255, Asset::Hide1},     {kH2, 1005, 255, 255, Asset::Hide2},
      {kR1, 1320, 525, 375, Asset::Settings1}, {kR2, 1905, 525, 375, Asset::Settings2},
      {kW1, 2490, 525, 705, Asset::Extract1},  {kW2, 3075, 525, 705, Asset::Extract2},
  };
  for (const auto& l : looks) v.push_back(Pic(l.name, l.left, 60, l.w, l.h, l.pic, kPicture3));
  for (int i = 0; i < 10; ++i)
    v.push_back(Img(kGlyphs[i], 60 + 150.0f * i, 840, 90, 105, DigitAsset(i), kPicture3));

  AppendFramePieces(f);
  return f;
}

}  // namespace tarvex::ui
