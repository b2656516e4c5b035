#include "ordlg_SelectDestination.h"

#include <windows.h>

#include <string>
#include <vector>

#include "ComCtrls.h"
#include "ScopeExit.h"
#include "cmp_TInstall.h"
#include "routines_FileSystem.h"
#include "routines_Strings.h"

TSelectDestinationForm::TSelectDestinationForm(TComponent* owner) : TInstallPageForm(owner) {
  DefineMethod("edDestDirChange", [this](TComponent* sender) { edDestDirChange(sender); });
  DefineMethod("BrowseBtnClick", [this](TComponent* sender) { BrowseBtnClick(sender); });
  LoadLayout("TSelectDestinationForm");
  DM = FindDialogManager(dmBeforeInstall);
  Order = 45;
  Container = CurrentInstall;
}

TEdit* TSelectDestinationForm::Edit() const { return Find<TEdit>("edDestDir"); }

void TSelectDestinationForm::InitializeDialog() {
  suppress_ = true;
  ShowBackButton();
  const std::string dest = Container ? Container->GetDestPath() : std::string();
  if (auto* group = Find<TControl>("gbDirectory")) group->SetVisible(!dest.empty());
  if (TEdit* edit = Edit()) edit->SetText(dest);
  suppress_ = false;
  FocusProceedButton();
}

void TSelectDestinationForm::edDestDirChange(TComponent*) {
  if (suppress_ || !Container) return;
  Container->SetDestDirType(nullptr);
  Container->SetDestDir(Edit() ? Edit()->Text() : std::string());
}

namespace {
// The levels of path that do not exist, deepest first.
std::vector<std::string> MissingLevels(const std::string& path) {
  std::vector<std::string> missing;
  for (std::string p = StripBackslash(path); !Trim(p).empty() && !IsDirectory(p);) {
    missing.push_back(p);
    std::string parent = StripBackslash(ExtractFileDir(p));
    if (parent.size() >= p.size()) break;
    p = std::move(parent);
  }
  return missing;
}
}  // namespace

void TSelectDestinationForm::BrowseBtnClick(TComponent*) {
  TOpenFolderDialog dialog(nullptr);
  const std::string dest = Container ? Container->GetDestPath() : std::string();
  // Every level made for the dialog is removed again, deepest first, unless
  // something was put into it meanwhile.
  const std::vector<std::string> made = MissingLevels(dest);
  if (!made.empty()) CreateDirectoryTree(dest);
  TScopeExit removeMade([&made] {
    for (const std::string& level : made) ::RemoveDirectoryA(level.c_str());  // only when empty
  });
  dialog.Directory = dest;
  if (dialog.Execute() && Container) {
    Container->SetDestDirType(nullptr);
    Container->SetDestDir(StripBackslash(dialog.Directory));
    suppress_ = true;
    if (TEdit* edit = Edit()) edit->SetText(Container->DestDir());
    suppress_ = false;
  }
}
