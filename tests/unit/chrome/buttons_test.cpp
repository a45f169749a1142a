#include <gtest/gtest.h>

#include "chrome/picture_buttons.h"
#include "fake_platform.h"
#include "shell/app.h"

namespace tarvex {
namespace {

using Calls = std::vector<std::string>;
namespace names = ui::names;

struct Buttons : ::testing::Test {
  test::FakePlatform p;
  App app{p};
  void SetUp() override {
    app.Start();
    p.Clear();
  }
  Asset Pic(std::string_view name) { return app.MainForm().Find(name)->picture; }
};

TEST_F(Buttons, AnyButtonPressesAndTheFirstReleaseRestores) {
  for (const auto& x : chrome::kButtonLooks) {
    for (int button : {1, 2, 4}) {
      app.OnMouseDown(FormId::Main, x.button, button, 3, 1, 1);
      EXPECT_EQ(Pic(x.button), Pic(x.pressed)) << x.button << button;
      app.OnMouseDown(FormId::Main, x.button, 1, 0, 1, 1);        // a second button held too
      app.OnMouseUp(FormId::Main, x.button, button, 0, -50, -50);  // released off the button
      EXPECT_EQ(Pic(x.button), Pic(x.normal)) << x.button << button;
    }
  }
  // The holders never change.
  EXPECT_EQ(Pic(names::kC1), Asset::Close1);
  EXPECT_EQ(Pic(names::kC2), Asset::Close2);
  EXPECT_EQ(Pic(names::kW2), Asset::Extract2);
}

TEST_F(Buttons, RepaintOnlyWhenTheLookChanges) {
  app.OnMouseDown(FormId::Main, names::kBHide, 1, 0, 0, 0);
  app.OnMouseDown(FormId::Main, names::kBHide, 2, 0, 0, 0);
  app.OnMouseUp(FormId::Main, names::kBHide, 2, 0, 0, 0);
  app.OnMouseUp(FormId::Main, names::kBHide, 1, 0, 0, 0);
  EXPECT_EQ(p.calls, (Calls{"Invalidate(Main,b_hide)", "Invalidate(Main,b_hide)"}));
  p.Clear();
  app.OnMouseDown(FormId::Main, names::kPicture1, 1, 0, 0, 0);
  app.OnMouseDown(FormId::Main, "", 1, 0, 0, 0);
  EXPECT_TRUE(p.calls.empty());
}

TEST_F(Buttons, DropDoesNotChangeTheExtractButtonsLook) {
  p.folder.reset();
  app.OnDrop(FormId::Main, names::kBThaw, {"C:\\a.zip"}, true);
  EXPECT_EQ(Pic(names::kBThaw), Pic(names::kW1));
  EXPECT_EQ(p.Count("Invalidate(Main,b_thaw)"), 0u);
}

}  // namespace
}  // namespace tarvex
