#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <set>

#include "chrome/picture_buttons.h"
#include "fake_platform.h"
#include "ui/elements.h"

namespace tarvex::ui {
namespace {

// Right and bottom edge of an element in its container.
float Right(const Element& e) { return e.left + e.width; }
float Bottom(const Element& e) { return e.top + e.height; }

TEST(MainForm, NamesAreUniqueAndContainersExist) {
  for (const Form& f : {MakeMainForm(), MakeCareForm()}) {
    std::set<std::string> seen;
    for (const auto& e : f.elements) {
      EXPECT_TRUE(seen.insert(e.name).second) << "duplicate " << e.name;
      if (!e.container.empty()) {
        const Element* c = f.Find(e.container);
        ASSERT_NE(c, nullptr) << e.name;
        EXPECT_EQ(c->kind, Kind::PictureBox) << e.name;
      }
    }
  }
}

TEST(BothForms, AnUnknownNameIsReportedNotIgnored) {
  Form f = MakeCareForm();
  EXPECT_NONFATAL_FAILURE(EXPECT_EQ(f.Find("Text1"), nullptr), "has no element 'Text1'");
  EXPECT_NE(f.Find(names::kCareText1), nullptr);
}

TEST(MainForm, ButtonsShowTheirNormalLookAndTakeThePointerAndDrops) {
  const Form f = MakeMainForm();
  for (const auto& r : chrome::kButtonLooks) {
    const Element* b = f.Find(r.button);
    const Element* n = f.Find(r.normal);
    ASSERT_TRUE(b && n) << r.button;
    EXPECT_EQ(b->picture, n->picture) << r.button;
    EXPECT_EQ(b->width, n->width) << r.button;   // a pair and its button share a size
    EXPECT_EQ(b->height, n->height) << r.button;
    EXPECT_TRUE(b->handPointer);
    EXPECT_EQ(b->acceptsDrops, r.button == names::kBThaw);
  }
  int hands = 0;
  for (const auto& e : f.elements) hands += e.handPointer;
  EXPECT_EQ(hands, 4);
}

TEST(MainForm, EveryDigitCellShowsZeroInsideItsPanel) {
  const Form f = MakeMainForm();
  int cells = 0;
  for (const auto& e : f.elements) {
    if (e.picture != Asset::Digit0 || e.container == names::kPicture3) continue;
    ++cells;
    const Element* panel = f.Find(e.container);
    ASSERT_NE(panel, nullptr) << e.name;
    EXPECT_EQ(e.width, 90.0f);
    EXPECT_EQ(e.height, 105.0f);
    EXPECT_LE(Right(e), panel->width) << e.name;
    EXPECT_LE(Bottom(e), panel->height) << e.name;
  }
  EXPECT_EQ(cells, 8 + 14);
  // The glyph images hold the ten digits in order.
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(f.Find(names::kGlyphs[i])->picture, DigitAsset(i));
}

TEST(MainForm, ParkedElementsLieOutsideTheClientArea) {
  const Form f = MakeMainForm();
  for (auto name : {names::kPicture3, names::kMleft, names::kMtop, names::kText1, names::kDatac,
                    names::kMemc, names::kMemt}) {
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

TEST(MainForm, StatusLineIsDrawnAboveItsBar) {
  const Form f = MakeMainForm();
  EXPECT_LT(f.Find(names::kImage5) - f.elements.data(), f.Find(names::kInfo) - f.elements.data());
  EXPECT_TRUE(f.Find(names::kInfo)->transparent);
}

TEST(BothForms, FramePiecesStretchAsDesigned) {
  for (const Form& f : {MakeMainForm(), MakeCareForm()}) {
    for (auto n : names::kFramePieces) {
      const Element* e = f.Find(n);
      ASSERT_NE(e, nullptr) << n;
      EXPECT_EQ(e->stretch, n != names::kLt && n != names::kRt) << n;
    }
    EXPECT_EQ(f.Find(names::kMt)->top, 0.0f);  // the one Top the frame layout never sets
  }
}

}  // namespace
}  // namespace tarvex::ui
