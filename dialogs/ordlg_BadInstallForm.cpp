#include "ordlg_BadInstallForm.h"

TBadInstallForm::TBadInstallForm(TComponent* owner) : TInstallPageForm(owner) {
  LoadLayout("TBadInstallForm");
  DM = FindDialogManager(dmAfterBadInstall);
  Order = 10;
}
