// The state of the running gadget and its event handlers under their own
// names. Shared by the files of the shell and the settings window; only App (shell/app.h) is seen by the Win32 layer.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chrome/subclass.h"
#include "drop/extraction_flow.h"
#include "readouts/memory_meter.h"
#include "shell/app.h"
#include "shell/settings_store.h"
#include "ui/element_names.h"
#include "ui/elements.h"

namespace tarvex {

inline constexpr std::string_view kInfoReadingMemory = "メモリ情報取得中...";
inline constexpr std::string_view kInfoUnhooking = "サブクラス化解除中...";
inline constexpr std::string_view kInfoDestroying = "ウィンドウ破棄中...";
inline constexpr std::string_view kInfoPaused = "監視を一時停止します。";
inline constexpr float kHiddenLeft = -50000.0f;

struct App::Impl final : drop::Host {
  Impl(Platform& platform, drop::Archivers& archivers);

  Platform& p;
  ui::Form main;
  std::unique_ptr<ui::Form> care;  // the settings window, while loaded
  SettingsStore store;
  readouts::MemoryMeter meter;
  chrome::basSubclass registry;
  std::shared_ptr<chrome::CSubclass> clsSubclass;

  // "Act" as read at start-up; written in place of the check box's initial
  // value until the check box holds a real value (settle step or the user).
  std::int32_t startupAct = 0;
  bool actcSettled = false;

  bool started = false;
  bool closing = false;
  bool closed = false;
  bool careShown = false;
  // The check box value of a settings window unloaded before shutdown.
  std::optional<int> carriedActc;

  // ---- helpers ----
  ui::Form* FormOf(FormId id);
  void SetLeft(ui::Form& f, float twips);
  void SetTop(ui::Form& f, float twips);
  void MoveReal(ui::Form& f);
  void SetInfo(std::string_view text) override;
  void PauseReadouts() override;
  void ResumeReadouts() override;
  void SavePosition();  // read actc, then write Top, Left, Act

  // ---- main window ----
  void Form_Load();
  void Form_Resize(FormId form);
  void Timer2_Timer();
  void Settle();
  void Timer1_Timer();
  void DateCheck_Timer();
  void Form_QueryUnload();
  void Form_Unload();
  void b_close_Click();
  void b_hide_Click();
  // Picture buttons: any mouse button shows the pressed look, its release
  // the normal look.
  void b_close_MouseDown();
  void b_close_MouseUp();
  void b_hide_MouseDown();
  void b_hide_MouseUp();
  void b_rach_MouseDown();
  void b_rach_MouseUp();
  void b_thaw_MouseDown();
  void b_thaw_MouseUp();
  void syst_Click();
  void Form_MouseMove(int button);
  void Image6_MouseMove(int button);
  void StartDrag(int button);
  void clsSubClass_WndProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

  // ---- settings window (settings/care_window.cpp) ----
  ui::Form& EnsureCare();  // creates it hidden when not loaded
  int ReadActc();
  void SetActc(int value);
  void b_rach_Click();
  void Command1_Click();
  void care_Form_Unload();
  void UnloadCare();

  // ---- the extract button's flow (drop/extraction_flow.cpp) ----
  drop::ExtractButton thaw;

  // ---- drop::Host ----
  void SetArchivePath(std::string_view path) override;
  std::string ArchivePath() override;
  bool Closed() const override { return closed; }
  Dialogs& dialogs() override { return p.dialogs(); }
};

}  // namespace tarvex
