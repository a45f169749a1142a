#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <set>

#include "fake_platform.h"
#include "ui/elements.h"

namespace tarvex::ui {
namespace {

TEST(BothForms, NamesAreUniqueAndContainersExist) {
  for (const Form& f : {MakeMainForm(), MakeCareForm()}) {
    std::set<std::string> seen;
    for (const auto& e : f.elements) {
      EXPECT_TRUE(seen.insert(e.name).second) << "duplicate " << e.name;
      if (!e.container.empty()) {
        const Element* c = f.Find(e.container);
        ASSERT_NE(c, nullptr) << e.name;
        EXPECT_EQ(c->kind, Kind::PictureBox) << e.name;
      }
    }
  }
}

TEST(BothForms, AnUnknownNameIsReportedNotIgnored) {
  Form f = MakeCareForm();
  EXPECT_NONFATAL_FAILURE(EXPECT_EQ(f.Find("Text1"), nullptr), "has no element 'Text1'");
  EXPECT_NE(f.Find(names::kCareText1), nullptr);
}

}  // namespace
}  // namespace tarvex::ui
