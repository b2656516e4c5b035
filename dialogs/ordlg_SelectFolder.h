// The Start-menu folder page: the main link group's folder below the
// user's Programs menu, typed or picked from the existing folders.
#pragma once
#include <string>
#include <vector>

#include "dlgcmp_TBaseDlg.h"

class TEdit;
class TListBox;

// The folders below the user's Programs menu that the page offers, in the
// order the directory lists them; none on a system without a Start menu
// (RunningOSHook neither the 9x nor the NT family).
std::vector<std::string> StartMenuFolderChoices();
// Makes name the Start-menu folder below the Programs menu, as the page does.
void SetStartMenuFolder(const std::string& name);

class TSelectFolderForm : public TInstallPageForm {
public:
  explicit TSelectFolderForm(TComponent* owner);
  const char* ClassName() const override { return "TSelectFolderForm"; }
  // Passed over when the project has no main link group.
  bool SkipPage() override { return Container == nullptr; }
  void InitializeDialog() override;
  void FolderListBoxClick(TComponent* sender);
  // Writes "\" + the folder name under the Programs-menu specifier.
  void FolderEditChange(TComponent* sender);
  void FormResize(TComponent* sender);

private:
  TEdit* Edit() const;
  TListBox* List() const;
};
