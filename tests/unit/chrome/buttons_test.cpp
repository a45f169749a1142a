#include <gtest/gtest.h>

#include "fake_platform.h"
#include "shell/app.h"

namespace tarvex {
namespace {

using Calls = std::vector<std::string>;

struct Buttons : ::testing::Test {
  test::FakePlatform p;
  App app{p};
  void SetUp() override {
    app.Start();
    p.Clear();
  }
  Asset Pic(const char* name) { return app.MainForm().Find(name)->picture; }
};

TEST_F(Buttons, AnyButtonPressesAndTheFirstReleaseRestores) {
  const struct { const char* b; const char* n; const char* pr; } pairs[] = {
      {"b_close", "c1", "c2"}, {"b_hide", "h1", "h2"}, {"b_rach", "r1", "r2"}, {"b_thaw", "w1", "w2"}};
  for (const auto& x : pairs) {
    for (int button : {1, 2, 4}) {
      app.OnMouseDown(FormId::Main, x.b, button, 3, 1, 1);
      EXPECT_EQ(Pic(x.b), Pic(x.pr)) << x.b << button;
      app.OnMouseDown(FormId::Main, x.b, 1, 0, 1, 1);  // a second button held too
      app.OnMouseUp(FormId::Main, x.b, button, 0, -50, -50);  // released off the button
      EXPECT_EQ(Pic(x.b), Pic(x.n)) << x.b << button;
    }
  }
  // The holders never change.
  EXPECT_EQ(Pic("c1"), Asset::Close1);
  EXPECT_EQ(Pic("c2"), Asset::Close2);
  EXPECT_EQ(Pic("w2"), Asset::Extract2);
}

TEST_F(Buttons, RepaintOnlyWhenTheLookChanges) {
  app.OnMouseDown(FormId::Main, "b_hide", 1, 0, 0, 0);
  app.OnMouseDown(FormId::Main, "b_hide", 2, 0, 0, 0);
  app.OnMouseUp(FormId::Main, "b_hide", 2, 0, 0, 0);
  app.OnMouseUp(FormId::Main, "b_hide", 1, 0, 0, 0);
  EXPECT_EQ(p.calls, (Calls{"Invalidate(Main,b_hide)", "Invalidate(Main,b_hide)"}));
  p.Clear();
  app.OnMouseDown(FormId::Main, "Picture1", 1, 0, 0, 0);
  app.OnMouseDown(FormId::Main, "", 1, 0, 0, 0);
  EXPECT_TRUE(p.calls.empty());
}

TEST_F(Buttons, DropDoesNotChangeTheExtractButtonsLook) {
  p.folder.reset();
  app.OnDrop(FormId::Main, "b_thaw", {"C:\\a.zip"}, true);
  EXPECT_EQ(Pic("b_thaw"), Pic("w1"));
  EXPECT_EQ(p.Count("Invalidate(Main,b_thaw)"), 0u);
}

}  // namespace
}  // namespace tarvex
