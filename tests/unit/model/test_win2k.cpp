#include <gtest/gtest.h>

#include "SysUtils.h"
#include "routines_win2k.h"

namespace {
void Fill(TControlPanelExtensionInformation& info, const std::string& tag) {
  info.SetHelpLink("http://help/" + tag);
  info.SetHelpTelephone("555-" + tag);
  info.SetURLInfoAbout("http://about/" + tag);
  info.SetProductID("PID-" + tag);
  info.SetURLUpdateInfo("http://update/" + tag);
  info.SetComments("comments " + tag);
  info.SetContact("contact " + tag);
}
}  // namespace

TEST(ControlPanelExtensionInformation, StartsEmptyAndAssignCopiesEveryProperty) {
  TComponent owner(nullptr);
  auto* a = new TControlPanelExtensionInformation(&owner);
  auto* b = new TControlPanelExtensionInformation(&owner);
  EXPECT_EQ(a->DisplayIcon(), nullptr);
  EXPECT_EQ(a->ReadMe(), nullptr);
  for (const std::string* s : {&a->HelpLink(), &a->HelpTelephone(), &a->URLInfoAbout(), &a->ProductID(),
                               &a->URLUpdateInfo(), &a->Comments(), &a->Contact()})
    EXPECT_TRUE(s->empty());
  Fill(*a, "a");
  Fill(*b, "b");
  b->Assign(*a);
  EXPECT_EQ(b->HelpLink(), "http://help/a");
  EXPECT_EQ(b->HelpTelephone(), "555-a");
  EXPECT_EQ(b->URLInfoAbout(), "http://about/a");
  EXPECT_EQ(b->ProductID(), "PID-a");
  EXPECT_EQ(b->URLUpdateInfo(), "http://update/a");
  EXPECT_EQ(b->Comments(), "comments a");
  EXPECT_EQ(b->Contact(), "contact a");
  EXPECT_EQ(b->DisplayIcon(), nullptr);
  // Owned: freed with the owner.
  EXPECT_EQ(owner.ComponentCount(), 2);
}

TEST(ControlPanelExtensionInformation, RefusesToAssignOtherClasses) {
  TControlPanelExtensionInformation info(nullptr);
  TComponent other(nullptr);
  EXPECT_THROW(info.Assign(other), Exception);
}
