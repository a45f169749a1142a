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
  std::vector<std::string> infoTexts;  // every text `info` was repainted with

  void SetUp() override {
    p.onInvalidate = [this](FormId f, std::string_view e) {
      if (f == FormId::Main && e == names::kInfo) infoTexts.push_back(app.MainForm().Find(names::kInfo)->text);
    };
  }
  void StartAndSettle() {
    app.Start();
    app.OnTimer(FormId::Main, names::kTimer2);
  }
};

TEST_F(Gadget, StartAnnouncesTimersThenRunsTheLoadStepInOrder) {
  app.Start();
  const Calls expected = {
      "TimerChanged(Main,DateCheck,1000,1)",
      "TimerChanged(Main,Timer1,0,1)",
      "TimerChanged(Main,Timer2,1000,1)",
      "GetSetting(Tarvex,startup,Top,Topf)",
      "GetSetting(Tarvex,startup,Left,Leftf)",
      "GetSetting(Tarvex,startup,Act,acA)",
      "MoveWindowPx(Main,200,0)",    // Left 3000 first
      "MoveWindowPx(Main,200,247)",  // then Top 3700
      "TraySetTip(Tarvex)",
      "TrayShow()",
      "ClearWindowRegion(Main)",
  };
  ASSERT_GE(p.calls.size(), expected.size());
  EXPECT_EQ(Calls(p.calls.begin(), p.calls.begin() + expected.size()), expected);
  // Tooltips come before the hook, and the hook is the last step.
  EXPECT_EQ(Calls(p.calls.end() - 5, p.calls.end()),
            (Calls{"AddBalloonTip(Main,b_close)", "AddBalloonTip(Main,b_hide)",
                   "AddBalloonTip(Main,b_thaw)", "AddBalloonTip(Main,b_rach)",
                   "SetWindowProc(0x1000,0xc0de)"}));
  EXPECT_EQ(app.MainForm().left, 3000.0f);
  EXPECT_EQ(app.MainForm().top, 3700.0f);
  EXPECT_EQ(p.Count("CreateForm"), 0u);
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

TEST_F(Gadget, SettleStepRunsInOrderAndMakesTopmostOnlyForActOne) {
  p.settings = {{"Top", "1500"}, {"Left", "4500"}, {"Act", "1"}};
  app.Start();
  p.Clear();
  app.OnTimer(FormId::Main, names::kTimer2);
  const Calls expected = {
      "GetMemoryStatus()",
      "TimerChanged(Main,Timer2,0,1)",
      "TimerChanged(Main,Timer1,200,1)",
      "Invalidate(Main,info)",
      "GetSetting(Tarvex,startup,Top,Topf)",
      "GetSetting(Tarvex,startup,Left,Leftf)",
      "GetSetting(Tarvex,startup,Act,acA)",
      "MoveWindowPx(Main,300,100)",
      "MoveWindowPx(Main,300,100)",
      "SetTopmost(Main)",
      "CreateForm(Care)",
      "SetCheck(Care,actc,1)",
  };
  EXPECT_EQ(p.Only({"GetMemoryStatus", "TimerChanged", "Invalidate(Main,info)", "GetSetting",
                    "MoveWindowPx", "SetTopmost", "CreateForm", "SetCheck"}),
            expected);
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
  for (const char* act : {"0", "", "abc", "2", "1.6", "0.5"}) {
    FakePlatform q;
    q.settings = {{"Act", act}};
    App a(q);
    a.Start();
    a.OnTimer(FormId::Main, names::kTimer2);
    EXPECT_EQ(q.Count("SetTopmost"), 0u) << act;
  }
  FakePlatform q;
  q.settings = {{"Act", " 1.4"}};  // rounds to 1
  App a(q);
  a.Start();
  a.OnTimer(FormId::Main, names::kTimer2);
  EXPECT_EQ(q.Count("SetTopmost"), 1u);
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

TEST_F(Gadget, ShutdownSavesThenTearsDownInOrder) {
  p.settings = {{"Top", "1500"}, {"Left", "4500"}, {"Act", "1"}};
  StartAndSettle();
  p.Clear();
  infoTexts.clear();
  app.OnClick(FormId::Main, names::kBClose);
  const Calls expected = {
      "SaveSetting(Tarvex,startup,Top,1500)",
      "SaveSetting(Tarvex,startup,Left,4500)",
      "SaveSetting(Tarvex,startup,Act,1)",
      "SetWindowProc(0x1000,0xaaaa)",
      "RemoveBalloonTips(Main)",
      "DestroyForm(Care)",
      "TrayRemove()",
      "DestroyForm(Main)",
  };
  EXPECT_EQ(p.Only({"SaveSetting", "SetWindowProc", "RemoveBalloonTips", "DestroyForm",
                    "TrayRemove"}),
            expected);
  EXPECT_EQ(infoTexts, (Calls{"サブクラス化解除中...", "ウィンドウ破棄中...", "",
                              "ウィンドウ破棄中..."}));
  EXPECT_EQ(app.CareForm(), nullptr);
  // Nothing runs after the window is gone.
  p.Clear();
  app.OnTimer(FormId::Main, names::kDateCheck);
  app.OnCloseRequest(FormId::Main);
  app.OnMouseMove(FormId::Main, "", 0, 0, 0, 0);
  EXPECT_TRUE(p.calls.empty());
}

TEST_F(Gadget, CloseBeforeSettleCreatesTheSettingsWindowAndKeepsStoredAct) {
  p.settings = {{"Act", "1"}};
  app.Start();
  p.Clear();
  app.OnCloseRequest(FormId::Main);  // e.g. session end in the first second
  EXPECT_EQ(p.Only({"CreateForm", "SaveSetting", "DestroyForm"}),
            (Calls{"CreateForm(Care)", "SaveSetting(Tarvex,startup,Top,3700)",
                   "SaveSetting(Tarvex,startup,Left,3000)", "SaveSetting(Tarvex,startup,Act,1)",
                   "DestroyForm(Care)", "DestroyForm(Main)"}));
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
