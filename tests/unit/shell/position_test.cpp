#include <gtest/gtest.h>

#include "fake_platform.h"
#include "shell/app.h"

namespace tarvex {
namespace {

using test::FakePlatform;
using Calls = std::vector<std::string>;
namespace names = ui::names;

struct Position : ::testing::Test {
  FakePlatform p;
  App app{p};
  void SetUp() override {
    p.settings = {{"Top", "1500"}, {"Left", "4500"}, {"Act", "0"}};
    app.Start();
    app.OnTimer(FormId::Main, names::kTimer2);
    p.Clear();
  }
};

TEST_F(Position, HideAndRestoreReturnToTheTwip) {
  app.OnWindowMoved(FormId::Main, 333, 107);  // dragged somewhere: 4995, 1605
  app.OnClick(FormId::Main, names::kBHide);
  EXPECT_EQ(app.MainForm().Find(names::kMtop)->text, "1605");
  EXPECT_EQ(app.MainForm().Find(names::kMleft)->text, "4995");
  EXPECT_EQ(app.MainForm().left, -50000.0f);
  EXPECT_EQ(app.MainForm().top, 1605.0f);
  EXPECT_EQ(p.Only("MoveWindowPx").back(), "MoveWindowPx(Main,-3333,107)");
  app.OnTrayClick();
  EXPECT_EQ(app.MainForm().left, 4995.0f);
  EXPECT_EQ(app.MainForm().top, 1605.0f);
  // Restore sets Top, then Left.
  EXPECT_EQ(p.Only("MoveWindowPx"), (Calls{"MoveWindowPx(Main,-3333,107)",
                                            "MoveWindowPx(Main,-3333,107)",
                                            "MoveWindowPx(Main,333,107)"}));
  // A restore while shown jumps back to the last hide position.
  app.OnWindowMoved(FormId::Main, 0, 0);
  app.OnTrayClick();
  EXPECT_EQ(app.MainForm().left, 4995.0f);
}

TEST_F(Position, RestoreWithoutHideGoesToTheCorner) {
  app.OnTrayClick();
  EXPECT_EQ(app.MainForm().left, 0.0f);
  EXPECT_EQ(app.MainForm().top, 0.0f);
}

TEST_F(Position, BodyMoveWritesTopLeftActWhateverTheButtons) {
  for (int button : {0, int(kRightButton), kLeftButton | kRightButton, int(kMiddleButton)}) {
    p.Clear();
    app.OnMouseMove(FormId::Main, "", button, 0, 5, 5);
    EXPECT_EQ(p.calls, (Calls{"SaveSetting(Tarvex,startup,Top,1500)",
                              "SaveSetting(Tarvex,startup,Left,4500)",
                              "SaveSetting(Tarvex,startup,Act,0)"}))
        << button;
  }
}

TEST_F(Position, LeftButtonAloneDragsAndTheNewPositionIsWritten) {
  p.onDrag = [this] { app.OnWindowMoved(FormId::Main, 40, 50); };
  app.OnMouseMove(FormId::Main, "", kLeftButton, 0, 5, 5);
  EXPECT_EQ(p.calls, (Calls{"DragWindow(Main)",
                            "SaveSetting(Tarvex,startup,Top,750)",
                            "SaveSetting(Tarvex,startup,Left,600)",
                            "SaveSetting(Tarvex,startup,Act,0)"}));
}

TEST_F(Position, GripDragsButWritesNothing) {
  app.OnMouseMove(FormId::Main, names::kImage6, kLeftButton, 0, 5, 5);
  EXPECT_EQ(p.calls, (Calls{"DragWindow(Main)"}));
  p.Clear();
  app.OnMouseMove(FormId::Main, names::kImage6, kLeftButton | kRightButton, 0, 5, 5);
  app.OnMouseMove(FormId::Main, names::kImage6, 0, 0, 5, 5);
  for (auto other : {names::kBClose, names::kPicture1, names::kInfo, names::kLt, names::kImage5})
    app.OnMouseMove(FormId::Main, other, kLeftButton, 0, 5, 5);
  EXPECT_TRUE(p.calls.empty());
}

TEST(PositionEarly, FirstBodyMoveCreatesTheSettingsWindowHidden) {
  FakePlatform p;
  App app(p);
  app.Start();
  p.Clear();
  app.OnMouseMove(FormId::Main, "", 0, 0, 1, 1);
  EXPECT_EQ(p.calls.front(), "CreateForm(Care)");
  EXPECT_EQ(p.Count("ShowModal"), 0u);
  p.Clear();
  app.OnMouseMove(FormId::Main, "", 0, 0, 1, 1);
  EXPECT_EQ(p.Count("CreateForm"), 0u);
  EXPECT_EQ(p.settings["Act"], "0");
}

}  // namespace
}  // namespace tarvex
