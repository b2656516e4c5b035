// "Setup complete", the page after a good installation.
#pragma once
#include "dlgcmp_TBaseDlg.h"

class TGoodInstallForm : public TInstallPageForm {
public:
  explicit TGoodInstallForm(TComponent* owner);
  const char* ClassName() const override { return "TGoodInstallForm"; }
  void InitializeDialog() override { ShowClosingButtons(true); }
};
