#include "ordlg_Reboot.h"

#include "ComCtrls.h"
#include "cmp_TInstall.h"

TRebootForm::TRebootForm(TComponent* owner) : TInstallPageForm(owner) {
  DefineMethod("RGClick", [this](TComponent* sender) { RGClick(sender); });
  LoadLayout("TRebootForm");
  DM = FindDialogManager(dmReboot);
  Order = 10;
  Container = CurrentInstall;
}

void TRebootForm::InitializeDialog() {
  ShowClosingButtons(false);
  suppress_ = true;
  if (auto* rg = Find<TRadioGroup>("RG")) {
    rg->SetItemIndex(1);
    auto* install = dynamic_cast<TCustomInstall*>(Container);
    if (install && install->Reboot()) rg->SetItemIndex(0);
  }
  suppress_ = false;
}

void TRebootForm::RGClick(TComponent*) {
  auto* install = dynamic_cast<TCustomInstall*>(Container);
  auto* rg = Find<TRadioGroup>("RG");
  if (suppress_ || !install || !rg) return;
  install->SetReboot(rg->ItemIndex() == 0);
}
