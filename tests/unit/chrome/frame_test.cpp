#include <gtest/gtest.h>

#include "chrome/frame.h"
#include "fake_platform.h"

namespace tarvex::chrome {
namespace {

namespace names = ui::names;

// The frame at the windows' real sizes is checked on the screen by the
// end-to-end tests; here: other sizes, the top edge's own Top, and repaints.
TEST(FrameLayout, EdgesFollowTheSizeAndOnlyChangesRepaint) {
  test::FakePlatform p;
  ui::Form f = ui::MakeMainForm();
  f.Find(names::kMt)->top = 7;  // whatever it holds, the layout leaves it
  f.clientWidth = 4500;
  f.clientHeight = 600;
  LayoutFrame(p, f);
  const ui::Element &mt = *f.Find(names::kMt), &rb = *f.Find(names::kRb), &lm = *f.Find(names::kLm);
  EXPECT_EQ((std::array<float, 4>{mt.left, mt.top, mt.width, mt.height}), (std::array<float, 4>{30, 7, 4440, 30}));
  EXPECT_EQ((std::array<float, 4>{rb.left, rb.top, rb.width, rb.height}), (std::array<float, 4>{4470, 570, 30, 30}));
  EXPECT_EQ(lm.height, 540.0f);
  p.Clear();
  LayoutFrame(p, f);
  EXPECT_TRUE(p.calls.empty());
  // Smaller than its corners: no negative edge lengths.
  f.clientWidth = 45;
  f.clientHeight = 20;
  LayoutFrame(p, f);
  EXPECT_EQ(mt.width, 0.0f);
  EXPECT_EQ(lm.height, 0.0f);
}

}  // namespace
}  // namespace tarvex::chrome
