#include "ordlg_License.h"

#include "ComCtrls.h"
#include "cmp_TInstall.h"
#include "routines_Strings.h"

TLicenseForm::TLicenseForm(TComponent* owner) : TInstallPageForm(owner) {
  LoadLayout("TLicenseForm");
  DM = FindDialogManager(dmBeforeInstall);
  Order = 1;
}

namespace {
std::string AgreementFile() { return AddBackslash(TCustomInstall::GetProgramDir()) + "License.rtf"; }
}  // namespace

bool TLicenseForm::SkipPage() {
  // A project that carries no licence has no licence page; one that does
  // shows it, and a missing file is an error then.
  auto* install = dynamic_cast<TCustomInstall*>(CurrentInstall);
  if (!install) return false;
  for (const std::string& file : install->PresetupFileNames())
    if (SameText(ExtractFileName(Trim(file)), "License.rtf")) return false;
  return true;
}

void TLicenseForm::InitializeDialog() {
  if (auto* agreement = Find<TRichEdit>("Agreement")) agreement->LoadFromFile(AgreementFile());
  // The button strip names the product's version (the layout's text until
  // the project gives one).
  auto* install = dynamic_cast<TCustomInstall*>(CurrentInstall);
  if (auto* version = Find<TLabel>("Label3"); version && install && !Trim(install->Information()->Version).empty())
    version->SetCaption(install->Information()->Version);
  ShowBackButton();
  FocusProceedButton();
}
