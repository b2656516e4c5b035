// The licence page: "License.rtf" from the program's directory, read-only.
// A project whose pre-setup files hold no "License.rtf" has no licence
// page. The button strip shows the product's version.
#pragma once
#include "dlgcmp_TBaseDlg.h"

class TLicenseForm : public TInstallPageForm {
public:
  explicit TLicenseForm(TComponent* owner);
  const char* ClassName() const override { return "TLicenseForm"; }
  // Loads the agreement afresh; a missing file raises the loader's error.
  void InitializeDialog() override;
  bool SkipPage() override;
};
