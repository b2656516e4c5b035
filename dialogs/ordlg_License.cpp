#include "ordlg_License.h"

#include "ComCtrls.h"
#include "cmp_TInstall.h"
#include "routines_Strings.h"
#include "stream_WinFile.h"

TLicenseForm::TLicenseForm(TComponent* owner) : TInstallPageForm(owner) {
  LoadLayout("TLicenseForm");
  DM = FindDialogManager(dmBeforeInstall);
  Order = 1;
}

namespace {
std::string AgreementFile() { return AddBackslash(TCustomInstall::GetProgramDir()) + "License.rtf"; }
}  // namespace

bool TLicenseForm::SkipPage() { return !twfile::FileExists(AgreementFile()); }

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
