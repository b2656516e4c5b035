// "Reboot windows": whether Windows restarts now to replace the files in
// use. The choice is written into the install at once.
#pragma once
#include "dlgcmp_TBaseDlg.h"

class TRebootForm : public TInstallPageForm {
public:
  explicit TRebootForm(TComponent* owner);
  const char* ClassName() const override { return "TRebootForm"; }
  // Preselects Yes when the install wants to restart, else No.
  void InitializeDialog() override;
  void RGClick(TComponent* sender);

private:
  bool suppress_ = false;
};
