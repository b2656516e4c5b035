#include <gtest/gtest.h>

#include "routines_win2k.h"

// Stand-ins for the install file classes: components, as the real ones.
class TCustomInstallFile : public TComponent {
public:
  using TComponent::TComponent;
};
class TStandInInstallFile : public TCustomInstallFile {
public:
  using TCustomInstallFile::TCustomInstallFile;
};

TEST(ControlPanelExtensionReferences, ClearedWhenTheFileIsDestroyed) {
  TComponent form(nullptr);
  auto* info = new TControlPanelExtensionInformation(&form);
  auto* icon = new TStandInInstallFile(&form);
  auto* readMe = new TCustomInstallFile(&form);
  info->SetDisplayIcon(icon);
  info->SetReadMe(icon);
  EXPECT_EQ(info->DisplayIcon(), icon);
  EXPECT_EQ(info->ReadMe(), icon);
  // Moving one reference away keeps the other one watched.
  info->SetReadMe(readMe);
  delete icon;
  EXPECT_EQ(info->DisplayIcon(), nullptr);
  EXPECT_EQ(info->ReadMe(), readMe);
  info->SetReadMe(nullptr);
  delete readMe;  // no longer referenced: nothing to clear, nothing dangling
  EXPECT_EQ(info->ReadMe(), nullptr);
}

TEST(ControlPanelExtensionReferences, AssignedCopiesWatchTheFilesToo) {
  TComponent form(nullptr);
  auto* file = new TCustomInstallFile(&form);
  TControlPanelExtensionInformation original(nullptr);
  original.SetDisplayIcon(file);
  original.SetReadMe(file);
  {
    TControlPanelExtensionInformation copy(nullptr);
    copy.Assign(original);
    EXPECT_EQ(copy.DisplayIcon(), file);
    EXPECT_EQ(copy.ReadMe(), file);
  }  // the copy goes first: the file must not keep it as a listener
  delete file;
  EXPECT_EQ(original.DisplayIcon(), nullptr);
  EXPECT_EQ(original.ReadMe(), nullptr);
}
