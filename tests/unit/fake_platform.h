// A recording Platform for the core's unit tests: every call is kept in
// order as one line "Name(arg,arg,...)", and the answers come from scripted
// values (settings, memory figures, the clock, folder choice, archiver
// results). Callbacks let a test act inside a blocking call (the modal
// settings window, the move loop, a box). Including this header also makes
// any lookup of an element name a form does not have fail the running test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "drop/archivers.h"
#include "shell/platform.h"
#include "ui/element_names.h"

namespace tarvex::test {

namespace names = ui::names;

inline const bool kUnknownElementsFail = [] {
  ui::SetUnknownElementHandler([](const ui::Form& form, std::string_view name) {
    ADD_FAILURE() << "form '" << form.name << "' has no element '" << name << "'";
  });
  return true;
}();

inline std::string FormName(FormId f) { return f == FormId::Main ? "Main" : "Care"; }

class FakePlatform : public Platform, public Dialogs, public drop::Archivers {
 public:
  // ---- scripted answers ----
  std::map<std::string, std::string, std::less<>> settings;  // key -> stored text
  std::optional<MemoryStatus> memory = MemoryStatus{536870912ull, 268435456ull};
  ClockTime clock{8, 7, 9, 5};
  std::optional<std::string> folder;  // folder picker answer
  using Archiver = drop::Archiver;
  std::map<Archiver, int> archiverResult = {{Archiver::UnZip, 1}, {Archiver::Cab, 1},
                                            {Archiver::Unlha, 1}};
  std::map<Archiver, int> overwriteCount;                      // the question each archiver asks
  std::map<Archiver, std::vector<std::string>> keptOriginals;  // reported by each archiver
  MsgResult messageAnswer = MsgResult::Ok;                     // answer of every box
  Proc subclassProc = 0xC0DE;
  std::map<Handle, Proc> windowProcs = {{0x1000, 0xAAAA}};
  std::map<Proc, std::function<LResult(Handle, std::uint32_t, std::uintptr_t, std::intptr_t)>>
      procTable;
  std::function<void()> onShowModal;  // runs inside ShowModal
  std::function<void()> onDrag;       // runs inside DragWindow
  std::function<void(std::string_view)> onMessageBox;
  std::function<void(FormId, std::string_view)> onInvalidate;

  // ---- the record ----
  std::vector<std::string> calls;
  std::vector<std::string> messageTexts;

  void Clear() { calls.clear(); }
  // Calls matching any of the prefixes, in order.
  std::vector<std::string> Only(std::initializer_list<std::string_view> prefixes) const {
    std::vector<std::string> out;
    for (const auto& c : calls)
      for (auto p : prefixes)
        if (std::string_view(c).substr(0, p.size()) == p) {
          out.push_back(c);
          break;
        }
    return out;
  }
  std::vector<std::string> Only(std::string_view prefix) const { return Only({prefix}); }
  std::size_t Count(std::string_view prefix) const { return Only(prefix).size(); }

  // ---- Platform ----
  std::string GetSetting(std::string_view app, std::string_view section, std::string_view key,
                         std::string_view def) override {
    Rec("GetSetting", app, section, key, def);
    auto it = settings.find(key);
    return it == settings.end() ? std::string(def) : it->second;
  }
  void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view value) override {
    Rec("SaveSetting", app, section, key, value);
    settings[std::string(key)] = std::string(value);
  }
  Handle WindowHandle(FormId form) override { return form == FormId::Main ? 0x1000 : 0; }
  void MoveWindowPx(FormId form, int leftPx, int topPx) override {
    Rec("MoveWindowPx", FormName(form), leftPx, topPx);
  }
  void SetTopmost(FormId form) override { Rec("SetTopmost", FormName(form)); }
  void ClearWindowRegion(FormId form) override { Rec("ClearWindowRegion", FormName(form)); }
  void DragWindow(FormId form) override {
    Rec("DragWindow", FormName(form));
    if (onDrag) onDrag();
  }
  void Invalidate(FormId form, std::string_view element) override {
    Rec("Invalidate", FormName(form), element);
    if (onInvalidate) onInvalidate(form, element);
  }
  void TimerChanged(FormId form, std::string_view timer, int interval, bool enabled) override {
    Rec("TimerChanged", FormName(form), timer, interval, enabled ? 1 : 0);
  }
  void CreateForm(FormId form) override { Rec("CreateForm", FormName(form)); }
  void DestroyForm(FormId form) override { Rec("DestroyForm", FormName(form)); }
  void HideForm(FormId form) override { Rec("HideForm", FormName(form)); }
  void ShowModal(FormId form) override {
    Rec("ShowModal", FormName(form));
    if (onShowModal) onShowModal();
  }
  void SetCheck(FormId form, std::string_view element, int value) override {
    Rec("SetCheck", FormName(form), element, value);
  }
  std::optional<MemoryStatus> GetMemoryStatus() override {
    Rec("GetMemoryStatus");
    return memory;
  }
  ClockTime LocalTime() override {
    Rec("LocalTime");
    return clock;
  }
  void TraySetTip(std::string_view tip) override { Rec("TraySetTip", tip); }
  void TrayShow() override { Rec("TrayShow"); }
  void TrayRemove() override { Rec("TrayRemove"); }
  void AddBalloonTip(FormId form, const chrome::BalloonTip& tip) override {
    Rec("AddBalloonTip", FormName(form), tip.button);
  }
  void RemoveBalloonTips(FormId form) override { Rec("RemoveBalloonTips", FormName(form)); }
  Proc SetWindowProc(Handle window, Proc proc) override {
    Rec("SetWindowProc", Hex(window), Hex(proc));
    Proc old = windowProcs[window];
    windowProcs[window] = proc;
    return old;
  }
  LResult CallWindowProcedure(Proc proc, Handle window, std::uint32_t msg, std::uintptr_t wParam,
                              std::intptr_t lParam) override {
    auto it = procTable.find(proc);
    return it == procTable.end() ? 0 : it->second(window, msg, wParam, lParam);
  }
  Proc SubclassProcAddress() override { return subclassProc; }
  Dialogs& dialogs() override { return *this; }

  // ---- drop::Archivers: recorded as "CallArchiver(...)" ----
  int Run(Archiver which, std::string_view cmdline, int outputSize, extract::ExtractHost& host) override {
    static const char* const kNames[] = {"UnZip", "Cab", "Unlha"};
    Rec("CallArchiver", kNames[static_cast<int>(which)], cmdline, outputSize);
    if (overwriteCount[which] && host.AskOverwrite(overwriteCount[which]) == extract::OverwriteAnswer::Cancel)
      return 7;
    for (const std::string& kept : keptOriginals[which]) host.OriginalKept("", kept);
    return archiverResult[which];
  }

  // ---- Dialogs ----
  MsgResult MessageBox(FormId owner, std::string_view text, std::string_view caption, MsgIcon icon,
                       MsgButtons buttons) override {
    static const char* const kIcons[] = {"Information", "Warning", "Question"};
    Rec("MessageBox", FormName(owner), caption, kIcons[static_cast<int>(icon)],
        buttons == MsgButtons::Ok ? "Ok" : "YesNoCancel");
    messageTexts.emplace_back(text);
    if (onMessageBox) onMessageBox(text);
    return buttons == MsgButtons::Ok ? MsgResult::Ok : messageAnswer;
  }
  std::optional<std::string> BrowseForFolder(FormId owner, std::string_view title) override {
    Rec("BrowseForFolder", FormName(owner), title);
    return folder;
  }

 private:
  static std::string Hex(std::uint64_t v) {
    std::ostringstream o;
    o << "0x" << std::hex << v;
    return o.str();
  }
  template <typename... A>
  void Rec(std::string_view name, const A&... args) {
    std::ostringstream o;
    o << name << '(';
    bool first = true;
    ((o << (first ? "" : ",") << args, first = false), ...);
    o << ')';
    calls.push_back(o.str());
  }
};

}  // namespace tarvex::test
