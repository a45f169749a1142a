#include <gtest/gtest.h>

#include "fake_platform.h"
#include "shell/app.h"

namespace tarvex {
namespace {

using test::FakePlatform;
using Calls = std::vector<std::string>;
namespace names = ui::names;

struct Gadget : ::testing::Test {
  FakePlatform p;
  App app{p};
  void StartAndSettle() {
    app.Start();
    app.OnTimer(FormId::Main, names::kTimer2);
  }
};

TEST_F(Gadget, LoadStepPlacesTheWindowAndHooksItLast) {
  app.Start();
  EXPECT_EQ(p.Only("MoveWindowPx").back(), "MoveWindowPx(Main,200,247)");  // 3000/3700 without a stored Top
  EXPECT_EQ(p.Count("TrayShow"), 1u);
  EXPECT_EQ(p.Count("AddBalloonTip"), 4u);
  EXPECT_EQ(p.calls.back(), "SetWindowProc(0x1000,0xc0de)");
  EXPECT_EQ(app.CareForm(), nullptr);
}

TEST_F(Gadget, StoredTopZeroMeansNoStoredPositionAtBothReads) {
  p.settings = {{"Top", "0"}, {"Left", "5000"}};
  app.Start();
  EXPECT_EQ(app.MainForm().left, 3000.0f);
  EXPECT_EQ(app.MainForm().top, 3700.0f);
  app.OnTimer(FormId::Main, names::kTimer2);
  EXPECT_EQ(app.MainForm().left, 0.0f);
  EXPECT_EQ(app.MainForm().top, 0.0f);
  EXPECT_EQ(p.calls.back(), "SetCheck(Care,actc,0)");
}

TEST_F(Gadget, StoredPositionIsAppliedAtLoad) {
  p.settings = {{"Top", " 120"}, {"Left", "-4500.4"}};
  app.Start();
  EXPECT_EQ(app.MainForm().top, 120.0f);
  EXPECT_EQ(app.MainForm().left, -4500.0f);
  EXPECT_EQ(p.Only("MoveWindowPx"), (Calls{"MoveWindowPx(Main,-300,0)", "MoveWindowPx(Main,-300,8)"}));
}

TEST_F(Gadget, SettleStepStartsTimer1AndMakesTopmostForActOne) {
  p.settings = {{"Top", "1500"}, {"Left", "4500"}, {"Act", "1"}};
  StartAndSettle();
  EXPECT_EQ(p.Only("MoveWindowPx").back(), "MoveWindowPx(Main,300,100)");
  EXPECT_EQ(p.Count("SetTopmost"), 1u);
  EXPECT_EQ(app.MainForm().Find(names::kInfo)->text, "");
  ASSERT_NE(app.CareForm(), nullptr);
  EXPECT_EQ(app.CareForm()->Find(names::kActc)->value, 1);
  // Timer2 never fires again; Timer1 now ticks.
  p.Clear();
  app.OnTimer(FormId::Main, names::kTimer2);
  EXPECT_TRUE(p.calls.empty());
  app.OnTimer(FormId::Main, names::kTimer1);
  EXPECT_EQ(p.Count("GetMemoryStatus"), 1u);
}

TEST_F(Gadget, ActOtherThanExactlyOneIsNotTopmost) {
  for (const char* act : {"0", "", "abc", "2", "1.6", "0.5", " 1.4"}) {  // " 1.4" rounds to 1
    FakePlatform q;
    q.settings = {{"Act", act}};
    App a(q);
    a.Start();
    a.OnTimer(FormId::Main, names::kTimer2);
    EXPECT_EQ(q.Count("SetTopmost"), act == std::string(" 1.4") ? 1u : 0u) << act;
  }
}

TEST_F(Gadget, FailedFirstReadingStillSettles) {
  p.memory.reset();
  app.Start();
  app.OnTimer(FormId::Main, names::kTimer2);
  EXPECT_EQ(app.MainForm().Find(names::kTimer2)->interval, 0);
  EXPECT_EQ(app.MainForm().Find(names::kTimer1)->interval, 200);
  EXPECT_EQ(app.MainForm().Find(names::kInfo)->text, "");
  EXPECT_NE(app.CareForm(), nullptr);
}

TEST_F(Gadget, TimersFireOnlyWhenEnabledWithAnInterval) {
  app.Start();
  p.Clear();
  app.OnTimer(FormId::Main, names::kTimer1);  // interval 0 before the settle step
  EXPECT_TRUE(p.calls.empty());
  app.OnTimer(FormId::Main, names::kDateCheck);
  EXPECT_EQ(p.Count("LocalTime"), 1u);
}

TEST_F(Gadget, ShutdownSavesUnhooksAndEndsEverything) {
  p.settings = {{"Top", "1500"}, {"Left", "4500"}, {"Act", "1"}};
  StartAndSettle();
  p.settings.clear();
  p.Clear();
  app.OnClick(FormId::Main, names::kBClose);
  EXPECT_EQ(p.settings, (decltype(p.settings){{"Top", "1500"}, {"Left", "4500"}, {"Act", "1"}}));
  EXPECT_EQ(p.windowProcs[0x1000], 0xAAAAu);  // the window's own procedure back
  EXPECT_EQ(p.Only({"TrayRemove", "DestroyForm"}), (Calls{"DestroyForm(Care)", "TrayRemove()", "DestroyForm(Main)"}));
  EXPECT_EQ(app.CareForm(), nullptr);
  // Nothing runs after the window is gone.
  p.Clear();
  app.OnTimer(FormId::Main, names::kDateCheck);
  app.OnCloseRequest(FormId::Main);
  app.OnMouseMove(FormId::Main, "", 0, 0, 0, 0);
  EXPECT_TRUE(p.calls.empty());
}

TEST_F(Gadget, CloseBeforeSettleStoresTheLoadPlaceAndKeepsStoredAct) {
  p.settings = {{"Act", "1"}};
  app.Start();
  p.Clear();
  app.OnCloseRequest(FormId::Main);  // e.g. session end in the first second
  EXPECT_EQ(p.settings, (decltype(p.settings){{"Top", "3700"}, {"Left", "3000"}, {"Act", "1"}}));
  EXPECT_EQ(p.Only("DestroyForm"), (Calls{"DestroyForm(Care)", "DestroyForm(Main)"}));
}

TEST_F(Gadget, EarlyBodyMoveKeepsStoredActUntilTheSettleStep) {
  p.settings = {{"Act", "1"}};
  app.Start();
  app.OnMouseMove(FormId::Main, "", 0, 0, 10, 10);
  EXPECT_EQ(p.settings["Act"], "1");
  app.OnTimer(FormId::Main, names::kTimer2);
  EXPECT_EQ(p.Count("SetTopmost"), 1u);
  // From now on the check box is the source.
  app.OnCheckChanged(FormId::Care, names::kActc, 0);
  app.OnMouseMove(FormId::Main, "", 0, 0, 10, 10);
  EXPECT_EQ(p.settings["Act"], "0");
}

TEST_F(Gadget, HiddenWindowIsSavedOffScreen) {
  p.settings = {{"Top", "1500"}, {"Left", "4500"}};
  StartAndSettle();
  app.OnClick(FormId::Main, names::kBHide);
  app.OnCloseRequest(FormId::Main);
  EXPECT_EQ(p.settings["Left"], "-50000");
  EXPECT_EQ(p.settings["Top"], "1500");
}

TEST_F(Gadget, WindowMovesUpdateTwipsOnlyWhenThePixelsDiffer) {
  app.Start();
  app.OnClick(FormId::Main, names::kBHide);
  // The layer reports the hidden position back: -50000 twips stay exact.
  app.OnWindowMoved(FormId::Main, -3333, 247);
  EXPECT_EQ(app.MainForm().left, -50000.0f);
  EXPECT_EQ(app.MainForm().top, 3700.0f);
  app.OnWindowMoved(FormId::Main, 10, 20);
  EXPECT_EQ(app.MainForm().left, 150.0f);
  EXPECT_EQ(app.MainForm().top, 300.0f);
}

TEST_F(Gadget, HookRoutesMessagesToTheWindowsOwnProcedure) {
  p.procTable[0xAAAA] = [](Handle, std::uint32_t msg, std::uintptr_t, std::intptr_t) {
    return LResult(msg + 1);
  };
  app.Start();
  EXPECT_EQ(app.SubclassWndProc(0x1000, 0x200, 1, 2), 0x201);
  // WM_NOTIFY is observed only: the result is the window's own, and the
  // address it carries is never read.
  EXPECT_EQ(app.SubclassWndProc(0x1000, 0x4E, 0, 0x1234), 0x4F);
  EXPECT_EQ(app.SubclassWndProc(0x9999, 0x200, 1, 2), 0);  // not a hooked window
}

}  // namespace
}  // namespace tarvex
