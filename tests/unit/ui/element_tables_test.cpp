#include <gtest/gtest.h>

#include <set>

#include "ui/elements.h"

namespace tarvex::ui {
namespace {

// Right and bottom edge of an element in its container.
float Right(const Element& e) { return e.left + e.width; }
float Bottom(const Element& e) { return e.top + e.height; }

TEST(MainForm, WindowProperties) {
  const Form f = MakeMainForm();
  EXPECT_EQ(f.id, FormId::Main);
  EXPECT_EQ(f.caption, "Tarvex");
  EXPECT_EQ(f.clientWidth, 2865.0f);
  EXPECT_EQ(f.clientHeight, 1425.0f);
  EXPECT_EQ(f.backColor, Rgb(162, 181, 255));
  EXPECT_EQ(f.icon, Asset::AppIcon);
  EXPECT_FALSE(f.showInTaskbar);
}

TEST(MainForm, NamesAreUniqueAndContainersExist) {
  for (const Form& f : {MakeMainForm(), MakeCareForm()}) {
    std::set<std::string> names;
    for (const auto& e : f.elements) {
      EXPECT_TRUE(names.insert(e.name).second) << "duplicate " << e.name;
      if (!e.container.empty()) {
        const Element* c = f.Find(e.container);
        ASSERT_NE(c, nullptr) << e.name;
        EXPECT_EQ(c->kind, Kind::PictureBox) << e.name;
      }
    }
  }
}

TEST(MainForm, ButtonsShowTheirNormalLookAndTakeThePointerAndDrops) {
  const Form f = MakeMainForm();
  const struct { const char* button; const char* normal; float l, t, w, h; } rows[] = {
      {"b_close", "c1", 1425, 75, 255, 255},
      {"b_hide", "h1", 1680, 75, 255, 255},
      {"b_rach", "r1", 1935, 75, 525, 375},
      {"b_thaw", "w1", 1410, 330, 525, 705},
  };
  for (const auto& r : rows) {
    const Element* b = f.Find(r.button);
    const Element* n = f.Find(r.normal);
    ASSERT_TRUE(b && n) << r.button;
    EXPECT_EQ(b->picture, n->picture) << r.button;
    EXPECT_EQ(b->width, n->width) << r.button;   // a pair and its button share a size
    EXPECT_EQ(b->height, n->height) << r.button;
    EXPECT_EQ(b->left, r.l);
    EXPECT_EQ(b->top, r.t);
    EXPECT_EQ(b->width, r.w);
    EXPECT_EQ(b->height, r.h);
    EXPECT_TRUE(b->handPointer);
    EXPECT_EQ(b->acceptsDrops, std::string(r.button) == "b_thaw");
  }
  int hands = 0;
  for (const auto& e : f.elements) hands += e.handPointer;
  EXPECT_EQ(hands, 4);
}

TEST(MainForm, EveryDigitCellShowsZeroInsideItsPanel) {
  const Form f = MakeMainForm();
  int cells = 0;
  for (const auto& e : f.elements) {
    if (e.picture != Asset::Digit0 || e.container == "Picture3") continue;
    ++cells;
    const Element* panel = f.Find(e.container);
    ASSERT_NE(panel, nullptr) << e.name;
    EXPECT_EQ(e.width, 90.0f);
    EXPECT_EQ(e.height, 105.0f);
    EXPECT_LE(Right(e), panel->width) << e.name;
    EXPECT_LE(Bottom(e), panel->height) << e.name;
  }
  EXPECT_EQ(cells, 8 + 14);
  EXPECT_EQ(f.Find("tt4")->left, 1110.0f);
  EXPECT_EQ(f.Find("mm3")->left, 735.0f);
  EXPECT_EQ(f.Find("mm4")->left, 900.0f);
  EXPECT_EQ(f.Find("mm4")->top, 345.0f);
  EXPECT_EQ(f.Find("Image2")->picture, Asset::Dot);
  EXPECT_EQ(f.Find("Image11")->picture, Asset::Slash);
  EXPECT_EQ(f.Find("Image12")->picture, Asset::Colon);
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(f.Find("s" + std::to_string(i))->picture, DigitAsset(i));
}

TEST(MainForm, ParkedElementsLieOutsideTheClientArea) {
  const Form f = MakeMainForm();
  for (const char* name : {"Picture3", "mleft", "mtop", "Text1", "Datac", "memc", "memt"}) {
    const Element* e = f.Find(name);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_TRUE(Bottom(*e) <= 0 || e->top >= f.clientHeight || e->left >= f.clientWidth) << name;
  }
  // Everything visible on the client area stays inside it.
  for (const auto& e : f.elements) {
    if (!e.container.empty() || e.kind == Kind::Timer || e.kind == Kind::TrayIcon) continue;
    if (e.top >= f.clientHeight || e.left >= f.clientWidth || Bottom(e) <= 0) continue;
    EXPECT_GE(e.left, 0) << e.name;
    EXPECT_LE(Right(e), f.clientWidth) << e.name;
    EXPECT_LE(Bottom(e), f.clientHeight) << e.name;
  }
}

TEST(MainForm, TimersStatusLineAndStores) {
  const Form f = MakeMainForm();
  const struct { const char* n; int interval; } timers[] = {
      {"DateCheck", 1000}, {"Timer1", 0}, {"Timer2", 1000}};
  for (const auto& t : timers) {
    const Element* e = f.Find(t.n);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->kind, Kind::Timer);
    EXPECT_EQ(e->interval, t.interval);
    EXPECT_TRUE(e->enabled);
  }
  const Element* info = f.Find("info");
  EXPECT_EQ(info->text, "メモリ情報取得中...");
  EXPECT_EQ(info->foreColor, Rgb(183, 198, 255));
  EXPECT_TRUE(info->transparent);
  // `info` is drawn after (above) the status bar image.
  EXPECT_LT(f.Find("Image5") - f.elements.data(), info - f.elements.data());
  EXPECT_TRUE(f.Find("Image5")->stretch);
  EXPECT_EQ(f.Find("mtop")->text, "0");
  EXPECT_EQ(f.Find("mleft")->text, "0");
  EXPECT_EQ(f.Find("Text1")->text, "");
  EXPECT_EQ(f.Find("syst")->picture, Asset::AppIcon);
  EXPECT_EQ(f.Find("Line1")->lineWidth, 2);
  EXPECT_EQ(f.Find("Line2")->y2, 1365.0f);
}

TEST(CareForm, WindowAndControls) {
  const Form f = MakeCareForm();
  EXPECT_EQ(f.id, FormId::Care);
  EXPECT_EQ(f.caption, "Form1");
  EXPECT_EQ(f.clientHeight, 975.0f);
  EXPECT_EQ(f.icon, Asset::None);
  const Element* actc = f.Find("actc");
  EXPECT_EQ(actc->kind, Kind::CheckBox);
  EXPECT_EQ(actc->text, "常に最前面表示");
  EXPECT_EQ(actc->value, 0);
  EXPECT_EQ(f.Find("Command1")->text, "&OK");
  const char* tabOrder[] = {"Command1", "text1", "Command2", "actc", "Text2"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(f.Find(tabOrder[i])->tabIndex, i);
}

TEST(BothForms, FramePiecesStretchAsDesigned) {
  for (const Form& f : {MakeMainForm(), MakeCareForm()}) {
    for (const char* n : {"lt", "mt", "rt", "lm", "rm", "lb", "mb", "rb"}) {
      const Element* e = f.Find(n);
      ASSERT_NE(e, nullptr) << n;
      EXPECT_EQ(e->stretch, std::string(n) != "lt" && std::string(n) != "rt") << n;
    }
    EXPECT_EQ(f.Find("mt")->top, 0.0f);
    EXPECT_EQ(f.Find("mt")->width, 540.0f);
    EXPECT_EQ(f.Find("lm")->height, 285.0f);
  }
}

}  // namespace
}  // namespace tarvex::ui
