#include <gtest/gtest.h>

#include "drop/extraction_flow.h"
#include "fake_platform.h"
#include "shell/app.h"

namespace tarvex {
namespace {

using Calls = std::vector<std::string>;
using drop::Archiver;

const std::string kFailure =
    "解凍は失敗しました。\r\n--考えられる原因--\r\n・ZIP,CAB,LZH形式の書庫ファイルではない。\r\n"
    "・書庫ファイルが壊れている。\r\n・書庫ファイル名を含むパスに半角スペースがある。";

struct Drop : ::testing::Test {
  test::FakePlatform p;
  App app{p, p};
  std::vector<std::string> infoTexts;
  void SetUp() override {
    app.Start();
    app.OnTimer(FormId::Main, "Timer2");
    p.onInvalidate = [this](FormId f, std::string_view e) {
      if (f == FormId::Main && e == "info") infoTexts.push_back(app.MainForm().Find("info")->text);
    };
    p.Clear();
  }
  void ExpectResumed() {
    EXPECT_TRUE(app.MainForm().Find("DateCheck")->enabled);
    EXPECT_TRUE(app.MainForm().Find("Timer1")->enabled);
    EXPECT_EQ(app.MainForm().Find("info")->text, "");
    EXPECT_EQ(p.Only("TimerChanged").back(), "TimerChanged(Main,Timer1,200,1)");
  }
  std::string Text1() { return app.MainForm().Find("Text1")->text; }
};

TEST(ArchiverCommand, OptionArchiveSpaceFolderBackslash) {
  EXPECT_EQ(drop::BuildArchiverCommand("-xs ", "C:\\data\\a.zip", "D:\\out"),
            "-xs C:\\data\\a.zip D:\\out\\");
  EXPECT_EQ(drop::BuildArchiverCommand("e ", "C:\\a b.lzh", "D:\\"), "e C:\\a b.lzh D:\\\\");
}

TEST_F(Drop, ZipSucceedsFirstAndOnlyTheFirstFileIsUsed) {
  p.folder = "D:\\out";
  p.archiverResult[Archiver::UnZip] = 0;
  app.OnDrop(FormId::Main, "b_thaw", {"C:\\data\\a.zip", "C:\\b.cab", "C:\\c.lzh"}, true);
  EXPECT_EQ(p.Only({"TimerChanged", "BrowseForFolder", "CallArchiver", "MessageBox"}),
            (Calls{"TimerChanged(Main,DateCheck,1000,0)", "TimerChanged(Main,Timer1,200,0)",
                   "BrowseForFolder(Main,解凍するフォルダを選択してください)",
                   "CallArchiver(UnZip,-xs C:\\data\\a.zip D:\\out\\,0)",
                   "MessageBox(Main,Tarvex,Information,Ok)",
                   "TimerChanged(Main,DateCheck,1000,1)", "TimerChanged(Main,Timer1,200,1)"}));
  EXPECT_EQ(p.messageTexts.back(),
            "解凍は正常に完了しました。\r\n以下のフォルダに解凍されています。\r\nD:\\out");
  EXPECT_EQ(Text1(), "C:\\data\\a.zip");
  EXPECT_EQ(infoTexts, (Calls{"解凍中...", ""}));
  ExpectResumed();
}

TEST_F(Drop, LzhIsReachedOnlyAfterZipAndCabFailAtADriveRoot) {
  p.folder = "E:\\";
  p.archiverResult[Archiver::Unlha] = 0;
  app.OnDrop(FormId::Main, "b_thaw", {"C:\\x.lzh"}, true);
  EXPECT_EQ(p.Only("CallArchiver"),
            (Calls{"CallArchiver(UnZip,-xs C:\\x.lzh E:\\\\,0)", "CallArchiver(Cab,-x C:\\x.lzh E:\\\\,0)",
                   "CallArchiver(Unlha,e C:\\x.lzh E:\\\\,255)"}));
  EXPECT_EQ(p.messageTexts.back(),
            "解凍は正常に完了しました。\r\n以下のフォルダに解凍されています。\r\nE:\\");
  ExpectResumed();
}

TEST_F(Drop, AllFailShowsTheWarningBox) {
  p.folder = "D:\\out";
  app.OnDrop(FormId::Main, "b_thaw", {"C:\\some folder"}, true);
  EXPECT_EQ(p.Count("CallArchiver"), 3u);
  EXPECT_EQ(p.Only("MessageBox"), (Calls{"MessageBox(Main,Tarvex,Warning,Ok)"}));
  EXPECT_EQ(p.messageTexts.back(), kFailure);
  ExpectResumed();
}

TEST_F(Drop, OriginalsAFailedArchiverKeptAreListedAfterTheFailureText) {
  p.folder = "D:\\out";
  p.keptOriginals[Archiver::UnZip] = {"D:\\out\\a.txt.tarvex-original", "D:\\out\\d\\b.txt.tarvex-original"};
  app.OnDrop(FormId::Main, "b_thaw", {"C:\\a.zip"}, true);
  EXPECT_EQ(p.messageTexts.back(), kFailure +
                                       "\r\n\r\n元のファイルを元に戻せなかったため、次の名前で残しています。"
                                       "\r\nD:\\out\\a.txt.tarvex-original\r\nD:\\out\\d\\b.txt.tarvex-original");
}

TEST_F(Drop, TheLibrarysQuestionIsABoxOfTheMainWindowAndItsAnswerGoesBack) {
  p.folder = "D:\\out";
  p.overwriteCount[Archiver::UnZip] = 3;
  p.messageAnswer = MsgResult::Cancel;  // UnZip then fails; Cab and Unlha are tried
  app.OnDrop(FormId::Main, "b_thaw", {"C:\\a.zip"}, true);
  EXPECT_EQ(p.Only({"CallArchiver", "MessageBox"}),
            (Calls{"CallArchiver(UnZip,-xs C:\\a.zip D:\\out\\,0)", "MessageBox(Main,Tarvex,Question,YesNoCancel)",
                   "CallArchiver(Cab,-x C:\\a.zip D:\\out\\,0)", "CallArchiver(Unlha,e C:\\a.zip D:\\out\\,255)",
                   "MessageBox(Main,Tarvex,Warning,Ok)"}));
  EXPECT_EQ(p.messageTexts.front(), "解凍先に同じ名前のファイルが 3 個あります。\r\n上書きしますか？");
}

TEST_F(Drop, CancelledPickerKeepsText1AndShowsNothing) {
  p.folder = "D:\\out";
  p.archiverResult[Archiver::UnZip] = 0;
  app.OnDrop(FormId::Main, "b_thaw", {"C:\\first.zip"}, true);
  p.Clear();
  for (std::optional<std::string> answer : {std::optional<std::string>(), std::optional<std::string>("")}) {
    p.folder = answer;
    app.OnDrop(FormId::Main, "b_thaw", {"C:\\second.zip"}, true);
  }
  EXPECT_EQ(p.Count("CallArchiver") + p.Count("MessageBox"), 0u);
  EXPECT_EQ(Text1(), "C:\\first.zip");
  ExpectResumed();
}

TEST_F(Drop, DataWithoutFilesIsIgnored) {
  p.folder = "D:\\out";
  app.OnDrop(FormId::Main, "b_thaw", {}, false);
  app.OnDrop(FormId::Main, "b_thaw", {}, true);
  app.OnDrop(FormId::Main, "b_thaw", {"C:\\a.zip"}, false);
  EXPECT_EQ(p.Count("BrowseForFolder") + p.Count("CallArchiver") + p.Count("MessageBox"), 0u);
  ExpectResumed();
}

TEST_F(Drop, ArchiverThatThrowsCountsAsFailedAndTheFlowEnds) {
  struct Throwing : test::FakePlatform {
    int Run(Archiver which, std::string_view cmd, int size, extract::ExtractHost& host) override {
      FakePlatform::Run(which, cmd, size, host);
      if (which == Archiver::UnZip) throw std::runtime_error("broken");
      return which == Archiver::Cab ? 0 : 1;
    }
  } q;
  App a(q, q);
  a.Start();
  q.folder = "D:\\out";
  a.OnDrop(FormId::Main, "b_thaw", {"C:\\a.cab"}, true);
  EXPECT_EQ(q.Count("CallArchiver"), 2u);
  EXPECT_EQ(q.Only("MessageBox"), (Calls{"MessageBox(Main,Tarvex,Information,Ok)"}));
  EXPECT_TRUE(a.MainForm().Find("DateCheck")->enabled);
}

TEST_F(Drop, ClickShowsHelpBetweenPauseAndResumeAndNeverExtracts) {
  p.onMessageBox = [this](std::string_view) {
    EXPECT_FALSE(app.MainForm().Find("DateCheck")->enabled);
    EXPECT_FALSE(app.MainForm().Find("Timer1")->enabled);
  };
  app.OnClick(FormId::Main, "b_thaw");
  EXPECT_EQ(p.Only("MessageBox"), (Calls{"MessageBox(Main,Tarvex,Information,Ok)"}));
  EXPECT_EQ(p.messageTexts.back(),
            "ここに書庫ファイルをドロップすると解凍できます。\r\n解凍可能な書庫形式は、\r\nZIP,CAB,LZHです。");
  EXPECT_EQ(p.Count("BrowseForFolder"), 0u);
  EXPECT_TRUE(app.MainForm().Find("DateCheck")->enabled);
  EXPECT_TRUE(app.MainForm().Find("Timer1")->enabled);
  // Drops on anything but the extract button do nothing.
  p.Clear();
  app.OnDrop(FormId::Main, "b_rach", {"C:\\a.zip"}, true);
  EXPECT_TRUE(p.calls.empty());
}

}  // namespace
}  // namespace tarvex

namespace tarvex {
namespace {

TEST(DropShutdown, SessionEndDuringTheResultBoxLeavesTheClosedWindowAlone) {
  test::FakePlatform p;
  App app(p, p);
  app.Start();
  p.folder = "D:\\out";
  p.archiverResult[Archiver::UnZip] = 0;
  p.onMessageBox = [&](std::string_view) { app.OnCloseRequest(FormId::Main); };
  app.OnDrop(FormId::Main, "b_thaw", {"C:\\a.zip"}, true);
  EXPECT_EQ(p.calls.back(), "DestroyForm(Main)");
  EXPECT_EQ(p.settings["Top"], "3700");
}

}  // namespace
}  // namespace tarvex
