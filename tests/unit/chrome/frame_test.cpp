#include <gtest/gtest.h>

#include "chrome/frame.h"
#include "fake_platform.h"
#include "shell/app.h"

namespace tarvex::chrome {
namespace {

namespace names = ui::names;

// Left, top, width and height of the eight pieces, lt .. rb.
using Layout = std::array<std::array<float, 4>, 8>;

void ExpectLayout(const ui::Form& f, const Layout& want) {
  for (std::size_t i = 0; i < want.size(); ++i) {
    const ui::Element* e = f.Find(names::kFramePieces[i]);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ((std::array<float, 4>{e->left, e->top, e->width, e->height}), want[i]) << e->name;
  }
}

TEST(FrameLayout, MainWindow) {
  test::FakePlatform p;
  ui::Form f = ui::MakeMainForm();
  LayoutFrame(p, f);
  ExpectLayout(f, {{{0, 0, 30, 30}, {30, 0, 2805, 30}, {2835, 0, 30, 30}, {0, 30, 30, 1365},
                    {2835, 30, 30, 1365}, {0, 1395, 30, 30}, {30, 1395, 2805, 30},
                    {2835, 1395, 30, 30}}});
  // A second layout at the same size changes nothing and repaints nothing.
  p.Clear();
  LayoutFrame(p, f);
  EXPECT_TRUE(p.calls.empty());
}

TEST(FrameLayout, SettingsWindowThroughTheResizeEvent) {
  test::FakePlatform p;
  App app(p);
  app.Start();
  app.OnClick(FormId::Main, names::kBRach);  // loads the settings window
  ASSERT_NE(app.CareForm(), nullptr);
  app.OnResize(FormId::Care);
  ExpectLayout(*app.CareForm(),
               {{{0, 0, 30, 30}, {30, 0, 2805, 30}, {2835, 0, 30, 30}, {0, 30, 30, 915},
                 {2835, 30, 30, 915}, {0, 945, 30, 30}, {30, 945, 2805, 30}, {2835, 945, 30, 30}}});
}

TEST(FrameLayout, TopEdgeKeepsItsTopAndEdgesFollowTheSize) {
  test::FakePlatform p;
  ui::Form f = ui::MakeMainForm();
  f.Find(names::kMt)->top = 7;  // whatever it holds, the layout leaves it
  f.clientWidth = 4500;
  f.clientHeight = 600;
  LayoutFrame(p, f);
  ExpectLayout(f, {{{0, 0, 30, 30}, {30, 7, 4440, 30}, {4470, 0, 30, 30}, {0, 30, 30, 540},
                    {4470, 30, 30, 540}, {0, 570, 30, 30}, {30, 570, 4440, 30},
                    {4470, 570, 30, 30}}});
  EXPECT_EQ(p.Count("Invalidate(Main,mt)"), 1u);
  // Smaller than its corners: no negative edge lengths.
  f.clientWidth = 45;
  f.clientHeight = 20;
  LayoutFrame(p, f);
  EXPECT_EQ(f.Find(names::kMt)->width, 0.0f);
  EXPECT_EQ(f.Find(names::kLm)->height, 0.0f);
}

}  // namespace
}  // namespace tarvex::chrome
