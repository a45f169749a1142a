#include <gtest/gtest.h>

#include "fake_platform.h"
#include "shell/app.h"

namespace tarvex {
namespace {

using Calls = std::vector<std::string>;
namespace names = ui::names;

struct Care : ::testing::Test {
  test::FakePlatform p;
  App app{p};
  std::vector<std::string> infoTexts;
  void SetUp() override {
    p.settings = {{"Top", "1500"}, {"Left", "4500"}, {"Act", "0"}};
    app.Start();
    app.OnTimer(FormId::Main, names::kTimer2);
    p.onInvalidate = [this](FormId f, std::string_view e) {
      if (f == FormId::Main && e == names::kInfo)
        infoTexts.push_back(app.MainForm().Find(names::kInfo)->text);
    };
    p.Clear();
  }
  bool TimersEnabled() {
    const ui::Form& f = app.MainForm();
    return f.Find(names::kDateCheck)->enabled && f.Find(names::kTimer1)->enabled;
  }
};

TEST_F(Care, OpensBelowTheMainWindowPausedThenOkWithTickMakesTopmost) {
  app.OnWindowMoved(FormId::Main, 100, 200);  // 1500, 3000 twips
  p.onShowModal = [this] {
    EXPECT_FALSE(TimersEnabled());
    EXPECT_EQ(app.MainForm().Find(names::kInfo)->text, "監視を一時停止します。");
    app.OnCheckChanged(FormId::Care, names::kActc, 1);
    app.OnClick(FormId::Care, names::kCommand1);
  };
  app.OnClick(FormId::Main, names::kBRach);
  EXPECT_EQ(app.CareForm()->top, 3000.0f + 1425.0f);
  EXPECT_EQ(app.CareForm()->left, 1500.0f);
  EXPECT_EQ(p.Only({"TimerChanged", "MoveWindowPx", "ShowModal", "SetTopmost", "MessageBox",
                    "HideForm"}),
            (Calls{"TimerChanged(Main,DateCheck,1000,0)", "TimerChanged(Main,Timer1,200,0)",
                   "MoveWindowPx(Care,0,295)", "MoveWindowPx(Care,100,295)", "ShowModal(Care)",
                   "SetTopmost(Main)", "MessageBox(Care,Tarvex,Information,Ok)",
                   "TimerChanged(Main,DateCheck,1000,1)", "TimerChanged(Main,Timer1,200,1)",
                   "HideForm(Care)"}));
  EXPECT_EQ(p.messageTexts.back(), "最前面表示機能をOFFにした場合は、次回起動時から有効です。");
  EXPECT_EQ(infoTexts, (Calls{"監視を一時停止します。", ""}));
  // OK writes nothing; the choice goes out with the next body move.
  EXPECT_EQ(p.Count("SaveSetting"), 0u);
  app.OnMouseMove(FormId::Main, "", 0, 0, 1, 1);
  EXPECT_EQ(p.settings["Act"], "1");
  // Opening again shows the box as it was left.
  p.onShowModal = nullptr;
  app.OnClick(FormId::Main, names::kBRach);
  EXPECT_EQ(app.CareForm()->Find(names::kActc)->value, 1);
}

TEST_F(Care, OkWithoutTickShowsTheNoticeOnly) {
  p.onShowModal = [this] { app.OnClick(FormId::Care, names::kCommand1); };
  app.OnClick(FormId::Main, names::kBRach);
  EXPECT_EQ(p.Count("SetTopmost"), 0u);
  EXPECT_EQ(p.Count("MessageBox"), 1u);
  EXPECT_TRUE(TimersEnabled());
}

TEST_F(Care, UnloadWhileShownResumesWithoutTheBox) {
  p.onShowModal = [this] { app.OnCloseRequest(FormId::Care); };
  app.OnClick(FormId::Main, names::kBRach);
  EXPECT_EQ(p.Count("MessageBox"), 0u);
  EXPECT_EQ(p.Count("DestroyForm(Care)"), 1u);
  EXPECT_TRUE(TimersEnabled());
  EXPECT_EQ(app.MainForm().Find(names::kInfo)->text, "");
  EXPECT_EQ(app.CareForm(), nullptr);
}

TEST_F(Care, ChoiceSurvivesAnUnloadOfTheSettingsWindow) {
  p.onShowModal = [this] {
    app.OnCheckChanged(FormId::Care, names::kActc, 1);
    app.OnClick(FormId::Care, names::kCommand1);
  };
  app.OnClick(FormId::Main, names::kBRach);
  app.OnCloseRequest(FormId::Care);  // e.g. Alt+F4 while it has the focus
  p.Clear();
  app.OnMouseMove(FormId::Main, "", 0, 0, 1, 1);
  EXPECT_EQ(p.Only({"CreateForm", "SetCheck"}), (Calls{"CreateForm(Care)", "SetCheck(Care,actc,1)"}));
  EXPECT_EQ(p.settings["Act"], "1");
}

TEST(CareEarly, SettleStepOverridesTheOpenWindowsTick) {
  test::FakePlatform p;
  p.settings = {{"Act", "0"}};
  App app(p);
  app.Start();
  p.onShowModal = [&] {
    app.OnCheckChanged(FormId::Care, names::kActc, 1);
    app.OnTimer(FormId::Main, names::kTimer2);  // Timer2 is never paused
    EXPECT_EQ(app.CareForm()->Find(names::kActc)->value, 0);
    EXPECT_EQ(p.Only("SetCheck").back(), "SetCheck(Care,actc,0)");
    // Timer1 got its interval but stays paused while the window is open.
    EXPECT_EQ(app.MainForm().Find(names::kTimer1)->interval, 200);
    EXPECT_FALSE(app.MainForm().Find(names::kTimer1)->enabled);
    app.OnClick(FormId::Care, names::kCommand1);
  };
  app.OnClick(FormId::Main, names::kBRach);
  EXPECT_EQ(p.Count("CreateForm(Care)"), 1u);
  EXPECT_TRUE(app.MainForm().Find(names::kTimer1)->enabled);
}

TEST(CareEarly, ShutdownWhileTheSettingsWindowIsOpen) {
  test::FakePlatform p;
  p.settings = {{"Act", "1"}, {"Top", "30"}, {"Left", "45"}};
  App app(p);
  app.Start();
  app.OnTimer(FormId::Main, names::kTimer2);
  p.onShowModal = [&] { app.OnCloseRequest(FormId::Main); };  // session end
  app.OnClick(FormId::Main, names::kBRach);
  EXPECT_EQ(p.settings["Act"], "1");
  EXPECT_EQ(p.Only("DestroyForm"), (Calls{"DestroyForm(Care)", "DestroyForm(Main)"}));
  EXPECT_EQ(p.Count("MessageBox"), 0u);
}

}  // namespace
}  // namespace tarvex
