// "Setup incomplete", the page after a failed or cancelled installation.
#pragma once
#include "dlgcmp_TBaseDlg.h"

class TBadInstallForm : public TInstallPageForm {
public:
  explicit TBadInstallForm(TComponent* owner);
  const char* ClassName() const override { return "TBadInstallForm"; }
  void InitializeDialog() override { ShowClosingButtons(true); }
};
