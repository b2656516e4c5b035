#include "ordlg_License.h"

#include "ComCtrls.h"
#include "cmp_TInstall.h"
#include "routines_Strings.h"

TLicenseForm::TLicenseForm(TComponent* owner) : TInstallPageForm(owner) {
  LoadLayout("TLicenseForm");
  DM = FindDialogManager(dmBeforeInstall);
  Order = 1;
}

void TLicenseForm::InitializeDialog() {
  if (auto* agreement = Find<TRichEdit>("Agreement"))
    agreement->LoadFromFile(AddBackslash(TCustomInstall::GetProgramDir()) + "License.rtf");
  ShowBackButton();
  FocusProceedButton();
}
