#include <gtest/gtest.h>

#include <stdexcept>

#include "chrome/subclass.h"
#include "fake_platform.h"

namespace tarvex::chrome {
namespace {

using Calls = std::vector<std::string>;
constexpr Handle kWnd = 0x1000;
constexpr Proc kOrig = 0xAAAA;

struct Hook : ::testing::Test {
  test::FakePlatform p;
  std::vector<std::string> events;  // "procN" and "eventN" in the order they ran
  void SetUp() override {
    p.procTable[kOrig] = [this](Handle, std::uint32_t msg, std::uintptr_t w, std::intptr_t l) {
      events.push_back("proc" + std::to_string(msg));
      return LResult(msg * 10 + w + l);
    };
  }
  std::shared_ptr<CSubclass> Make(Handle h) {
    auto obj = std::make_shared<CSubclass>();
    obj->set_hwnd(h);
    obj->WndProc = [this](std::uint32_t msg, std::uintptr_t w, std::intptr_t l) {
      events.push_back("event" + std::to_string(msg) + "," + std::to_string(w) + "," +
                       std::to_string(l));
    };
    return obj;
  }
};

TEST_F(Hook, NormalHandlingFirstObserversAfterResultUnchanged) {
  basSubclass reg(p);
  auto obj = Make(kWnd);
  reg.SubclassWindow(obj);
  EXPECT_EQ(obj->ProcOrg(), kOrig);
  EXPECT_EQ(p.windowProcs[kWnd], p.subclassProc);
  EXPECT_EQ(reg.SubclassWndProc(kWnd, 5, 2, 3), 55);
  EXPECT_EQ(events, (Calls{"proc5", "event5,2,3"}));
  EXPECT_EQ(reg.SubclassWndProc(0x7777, 5, 2, 3), 0);  // no object for that window
}

TEST_F(Hook, WithoutDefaultProcOnlyTheEventRuns) {
  basSubclass reg(p);
  auto obj = Make(kWnd);
  obj->set_CallDefaultProc(false);
  reg.SubclassWindow(obj);
  EXPECT_EQ(reg.SubclassWndProc(kWnd, 5, 2, 3), 0);
  EXPECT_EQ(events, (Calls{"event5,2,3"}));
}

TEST_F(Hook, DuplicateWindowIsIgnoredAndItsRemovalTouchesNothing) {
  basSubclass reg(p);
  auto first = Make(kWnd);
  auto second = Make(kWnd);
  reg.SubclassWindow(first);
  p.Clear();
  reg.SubclassWindow(second);
  EXPECT_EQ(second->ProcOrg(), 0u);
  EXPECT_EQ(reg.size(), 1u);
  reg.UnsubclassWindow(*second);  // must not put a null procedure on the window
  EXPECT_TRUE(p.calls.empty());
  EXPECT_EQ(p.windowProcs[kWnd], p.subclassProc);
}

TEST_F(Hook, RemovalRestoresOnceAndTheEntryStays) {
  {
    basSubclass reg(p);
    auto obj = Make(kWnd);
    reg.SubclassWindow(obj);
    reg.UnsubclassWindow(*obj);
    EXPECT_EQ(p.windowProcs[kWnd], kOrig);
    EXPECT_EQ(obj->ProcOrg(), 0u);
    EXPECT_EQ(reg.size(), 1u);
    // A stray message for the removed entry reaches no procedure.
    events.clear();
    EXPECT_EQ(reg.SubclassWndProc(kWnd, 5, 0, 0), 0);
    EXPECT_EQ(events, (Calls{"event5,0,0"}));
    p.Clear();
    reg.UnsubclassWindow(*obj);
    EXPECT_TRUE(p.calls.empty());
  }
  EXPECT_EQ(p.Count("SetWindowProc"), 0u);  // the end of the objects touches nothing more
}

TEST_F(Hook, ObjectsStillInstalledRestoreTheWindowWhenTheyEnd) {
  {
    basSubclass reg(p);
    reg.SubclassWindow(Make(kWnd));
  }
  EXPECT_EQ(p.windowProcs[kWnd], kOrig);
}

TEST_F(Hook, ErrorsAreSwallowedAndNestedCallsWalkIndependently) {
  basSubclass reg(p);
  p.windowProcs[0x2000] = 0xBBBB;
  auto obj = Make(kWnd);
  auto other = Make(0x2000);
  int depth = 0;
  obj->WndProc = [&](std::uint32_t msg, std::uintptr_t, std::intptr_t) {
    events.push_back("event" + std::to_string(msg));
    if (msg == 1 && depth++ == 0) {
      // Handling sends another message to the same window.
      EXPECT_EQ(reg.SubclassWndProc(kWnd, 2, 0, 0), 20);
    }
    if (msg == 3) throw std::runtime_error("observer failed");
  };
  reg.SubclassWindow(obj);
  reg.SubclassWindow(other);
  EXPECT_EQ(reg.SubclassWndProc(kWnd, 1, 0, 0), 10);
  EXPECT_EQ(events, (Calls{"proc1", "event1", "proc2", "event2"}));
  // The failing observer neither escapes nor loses the window's own result.
  EXPECT_EQ(reg.SubclassWndProc(kWnd, 3, 0, 0), 30);
  // A failing window procedure is swallowed too; the walk goes on.
  p.procTable[0xBBBB] = [](Handle, std::uint32_t, std::uintptr_t, std::intptr_t) -> LResult {
    throw std::runtime_error("procedure failed");
  };
  EXPECT_EQ(reg.SubclassWndProc(0x2000, 4, 0, 0), 0);
}

}  // namespace
}  // namespace tarvex::chrome
