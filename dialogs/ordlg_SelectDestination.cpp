#include "ordlg_SelectDestination.h"

#include <windows.h>

#include "ComCtrls.h"
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

void TSelectDestinationForm::BrowseBtnClick(TComponent*) {
  TOpenFolderDialog dialog(nullptr);
  const std::string dest = Container ? Container->GetDestPath() : std::string();
  const bool existed = !Trim(dest).empty() && IsDirectory(dest);
  if (!existed) CreateDirectoryTree(dest);
  dialog.Directory = dest;
  if (dialog.Execute() && Container) {
    Container->SetDestDirType(nullptr);
    Container->SetDestDir(StripBackslash(dialog.Directory));
    suppress_ = true;
    if (TEdit* edit = Edit()) edit->SetText(Container->DestDir());
    suppress_ = false;
  }
  if (!existed && !dest.empty()) ::RemoveDirectoryA(dest.c_str());  // only when empty
}
