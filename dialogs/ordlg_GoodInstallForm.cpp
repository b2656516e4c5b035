#include "ordlg_GoodInstallForm.h"

TGoodInstallForm::TGoodInstallForm(TComponent* owner) : TInstallPageForm(owner) {
  LoadLayout("TGoodInstallForm");
  DM = FindDialogManager(dmAfterGoodInstall);
  Order = 10;
}
