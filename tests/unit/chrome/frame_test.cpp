#include <gtest/gtest.h>

#include "chrome/frame.h"
#include "fake_platform.h"
#include "shell/app.h"

namespace tarvex::chrome {
namespace {

struct Piece { const char* name; float left, top, width, height; };

void ExpectLayout(const ui::Form& f, std::initializer_list<Piece> pieces) {
  for (const auto& x : pieces) {
    const ui::Element* e = f.Find(x.name);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->left, x.left) << x.name;
    EXPECT_EQ(e->top, x.top) << x.name;
    EXPECT_EQ(e->width, x.width) << x.name;
    EXPECT_EQ(e->height, x.height) << x.name;
  }
}

TEST(FrameLayout, MainWindow) {
  test::FakePlatform p;
  ui::Form f = ui::MakeMainForm();
  LayoutFrame(p, f);
  ExpectLayout(f, {{"lt", 0, 0, 30, 30},       {"mt", 30, 0, 2805, 30},
                   {"rt", 2835, 0, 30, 30},    {"lm", 0, 30, 30, 1365},
                   {"lb", 0, 1395, 30, 30},    {"mb", 30, 1395, 2805, 30},
                   {"rb", 2835, 1395, 30, 30}, {"rm", 2835, 30, 30, 1365}});
  // A second layout at the same size changes nothing and repaints nothing.
  p.Clear();
  LayoutFrame(p, f);
  EXPECT_TRUE(p.calls.empty());
}

TEST(FrameLayout, SettingsWindowThroughTheResizeEvent) {
  test::FakePlatform p;
  App app(p);
  app.Start();
  app.OnClick(FormId::Main, "b_rach");  // loads the settings window
  ASSERT_NE(app.CareForm(), nullptr);
  app.OnResize(FormId::Care);
  ExpectLayout(*app.CareForm(), {{"lt", 0, 0, 30, 30},      {"mt", 30, 0, 2805, 30},
                                 {"rt", 2835, 0, 30, 30},   {"lm", 0, 30, 30, 915},
                                 {"lb", 0, 945, 30, 30},    {"mb", 30, 945, 2805, 30},
                                 {"rb", 2835, 945, 30, 30}, {"rm", 2835, 30, 30, 915}});
}

TEST(FrameLayout, TopEdgeKeepsItsTopAndEdgesFollowTheSize) {
  test::FakePlatform p;
  ui::Form f = ui::MakeMainForm();
  f.Find("mt")->top = 7;  // whatever it holds, the layout leaves it
  f.clientWidth = 4500;
  f.clientHeight = 600;
  LayoutFrame(p, f);
  ExpectLayout(f, {{"mt", 30, 7, 4440, 30}, {"rt", 4470, 0, 30, 30}, {"rm", 4470, 30, 30, 540},
                   {"rb", 4470, 570, 30, 30}});
  EXPECT_EQ(p.Count("Invalidate(Main,mt)"), 1u);
  // Smaller than its corners: no negative edge lengths.
  f.clientWidth = 45;
  f.clientHeight = 20;
  LayoutFrame(p, f);
  EXPECT_EQ(f.Find("mt")->width, 0.0f);
  EXPECT_EQ(f.Find("lm")->height, 0.0f);
}

}  // namespace
}  // namespace tarvex::chrome
