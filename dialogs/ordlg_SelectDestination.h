// The destination page: the install's directory, typed or chosen with the
// folder-browse dialog.
#pragma once
#include "dlgcmp_TBaseDlg.h"

class TEdit;

class TSelectDestinationForm : public TInstallPageForm {
public:
  explicit TSelectDestinationForm(TComponent* owner);
  const char* ClassName() const override { return "TSelectDestinationForm"; }
  void InitializeDialog() override;
  // Every keystroke writes the install's destination.
  void edDestDirChange(TComponent* sender);
  // The levels of a destination that does not exist yet are created for the
  // dialog and removed again afterwards, those still empty.
  void BrowseBtnClick(TComponent* sender);

private:
  TEdit* Edit() const;
  bool suppress_ = false;
};
