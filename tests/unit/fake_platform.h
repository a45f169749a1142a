// A recording Platform for the core's unit tests: every call is kept in
// order as one line "Name(arg,arg,...)", and the answers come from scripted
// values (settings, memory figures, the clock, folder choice,
// archiver results, handles). Callbacks let a test act inside a blocking
// call (the modal settings window, the move loop).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "shell/platform.h"

namespace tarvex::test {

inline std::string FormName(FormId f) { return f == FormId::Main ? "Main" : "Care"; }

class FakePlatform : public Platform {
 public:
  // ---- scripted answers ----
  std::map<std::string, std::string, std::less<>> settings;  // key -> stored text
  std::optional<MemoryStatus> memory = MemoryStatus{536870912ull, 268435456ull};
  ClockTime clock{8, 7, 9, 5};
  std::optional<std::string> folder;               // folder picker answer
  std::map<Archiver, int> archiverResult = {{Archiver::UnZip, 1}, {Archiver::Cab, 1},
                                            {Archiver::Unlha, 1}};
  std::map<Archiver, std::vector<std::string>> keptOriginals;  // reported by each archiver
  MsgResult messageAnswer = MsgResult::Ok;
  Handle mainHandle = 0x1000;
  Handle careHandle = 0x2000;
  std::deque<Handle> tooltipHandles = {0x501, 0x502, 0x503, 0x504};
  Proc subclassProc = 0xC0DE;
  std::map<Handle, Proc> windowProcs = {{0x1000, 0xAAAA}};
  std::map<Proc, std::function<LResult(Handle, std::uint32_t, std::uintptr_t, std::intptr_t)>>
      procTable;
  std::function<void()> onShowModal;    // runs inside ShowModal
  std::function<void()> onCaptionDrag;  // runs inside SendCaptionDrag
  std::function<void(std::string_view)> onMessageBox;
  std::function<void(FormId, std::string_view)> onInvalidate;

  // ---- the record ----
  std::vector<std::string> calls;
  bool careExists = false;

  void Clear() { calls.clear(); }
  // Calls whose line starts with `prefix`, in order.
  std::vector<std::string> Only(std::string_view prefix) const {
    std::vector<std::string> out;
    for (const auto& c : calls)
      if (std::string_view(c).substr(0, prefix.size()) == prefix) out.push_back(c);
    return out;
  }
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
  std::size_t Count(std::string_view prefix) const { return Only(prefix).size(); }
  // Position of the first call starting with prefix, or -1.
  int IndexOf(std::string_view prefix, std::size_t from = 0) const {
    for (std::size_t i = from; i < calls.size(); ++i)
      if (std::string_view(calls[i]).substr(0, prefix.size()) == prefix) return int(i);
    return -1;
  }

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
  Handle WindowHandle(FormId form) override {
    if (form == FormId::Main) return mainHandle;
    return careExists ? careHandle : 0;
  }
  Handle ElementHandle(FormId form, std::string_view element) override {
    static const char* kButtons[] = {"b_close", "b_hide", "b_rach", "b_thaw"};
    if (form != FormId::Main) return 0;
    for (int i = 0; i < 4; ++i)
      if (element == kButtons[i]) return 0x3000 + i;
    return 0;
  }
  void MoveWindowPx(FormId form, int leftPx, int topPx) override {
    Rec("MoveWindowPx", FormName(form), leftPx, topPx);
  }
  void SetTopmost(FormId form, int x, int y) override { Rec("SetTopmost", FormName(form), x, y); }
  void ClearWindowRegion(FormId form) override { Rec("ClearWindowRegion", FormName(form)); }
  void Invalidate(FormId form, std::string_view element) override {
    Rec("Invalidate", FormName(form), element);
    if (onInvalidate) onInvalidate(form, element);
  }
  void TimerChanged(FormId form, std::string_view timer, int interval, bool enabled) override {
    Rec("TimerChanged", FormName(form), timer, interval, enabled ? 1 : 0);
  }
  void CreateForm(FormId form) override {
    Rec("CreateForm", FormName(form));
    if (form == FormId::Care) careExists = true;
  }
  void DestroyForm(FormId form) override {
    Rec("DestroyForm", FormName(form));
    if (form == FormId::Care) careExists = false;
  }
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
  Handle CreateTooltipWindow(Handle owner, std::uint32_t style) override {
    Rec("CreateTooltipWindow", Hex(owner), Hex(style));
    if (tooltipHandles.empty()) return 0;
    Handle h = tooltipHandles.front();
    tooltipHandles.pop_front();
    return h;
  }
  void TooltipSetMaxWidth(Handle tip, int width) override {
    Rec("TooltipSetMaxWidth", Hex(tip), width);
  }
  void TooltipSetBkColor(Handle tip, std::uint32_t c) override {
    Rec("TooltipSetBkColor", Hex(tip), Hex(c));
  }
  void TooltipSetTextColor(Handle tip, std::uint32_t c) override {
    Rec("TooltipSetTextColor", Hex(tip), Hex(c));
  }
  void TooltipSetTitle(Handle tip, int icon, std::string_view title) override {
    Rec("TooltipSetTitle", Hex(tip), icon, title);
  }
  std::map<Handle, std::string> toolTexts;  // tooltip -> body text
  void TooltipAddTool(Handle tip, std::uint32_t flags, Handle owner, Handle toolId,
                      std::string_view text) override {
    Rec("TooltipAddTool", Hex(tip), Hex(flags), Hex(owner), Hex(toolId));
    toolTexts[tip] = std::string(text);
  }
  void DestroyWindowHandle(Handle window) override { Rec("DestroyWindowHandle", Hex(window)); }
  Proc SetWindowProc(Handle window, Proc proc) override {
    Rec("SetWindowProc", Hex(window), Hex(proc));
    Proc old = windowProcs[window];
    windowProcs[window] = proc;
    return old;
  }
  LResult CallWindowProcedure(Proc proc, Handle window, std::uint32_t msg, std::uintptr_t wParam,
                              std::intptr_t lParam) override {
    Rec("CallWindowProcedure", Hex(proc), Hex(window), Hex(msg), wParam, lParam);
    auto it = procTable.find(proc);
    return it == procTable.end() ? 0 : it->second(window, msg, wParam, lParam);
  }
  Proc SubclassProcAddress() override { return subclassProc; }
  void ReleaseMouseCapture() override { Rec("ReleaseMouseCapture"); }
  void SendCaptionDrag(FormId form) override {
    Rec("SendCaptionDrag", FormName(form));
    if (onCaptionDrag) onCaptionDrag();
  }
  std::vector<std::string> messageTexts;
  MsgResult MessageBox(FormId owner, std::string_view text, std::string_view caption, MsgIcon icon,
                       MsgButtons buttons) override {
    Rec("MessageBox", FormName(owner), caption, IconName(icon),
        buttons == MsgButtons::Ok ? "Ok" : "YesNoCancel");
    messageTexts.emplace_back(text);
    if (onMessageBox) onMessageBox(text);
    return messageAnswer;
  }
  std::optional<std::string> BrowseForFolder(FormId owner, std::string_view title) override {
    Rec("BrowseForFolder", FormName(owner), title);
    return folder;
  }
  int CallArchiver(Archiver which, std::string_view cmdline, int outputSize,
                   std::vector<std::string>& kept) override {
    Rec("CallArchiver", ArchiverName(which), cmdline, outputSize);
    kept.insert(kept.end(), keptOriginals[which].begin(), keptOriginals[which].end());
    return archiverResult[which];
  }

  static std::string Hex(std::uint64_t v) {
    std::ostringstream o;
    o << "0x" << std::hex << v;
    return o.str();
  }

 private:
  static const char* IconName(MsgIcon i) {
    switch (i) {
      case MsgIcon::Information: return "Information";
      case MsgIcon::Warning: return "Warning";
      default: return "Question";
    }
  }
  static const char* ArchiverName(Archiver a) {
    switch (a) {
      case Archiver::UnZip: return "UnZip";
      case Archiver::Cab: return "Cab";
      default: return "Unlha";
    }
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
