// The copy-progress form: the file being extracted or downloaded, its
// progress and the progress of the whole copy, and Cancel.
#pragma once
#include "dlgcmp_TBaseDlg.h"

class TCopyFileForm : public TBaseDuringCopyForm {
public:
  explicit TCopyFileForm(TComponent* owner);
  const char* ClassName() const override { return "TCopyFileForm"; }
  void InitializeDialog() override;
  // A file status moves both bars, a download status only the file bar and
  // shows the transfer picture. The total never goes back nor past 100.
  // The form repaints at once, and Cancel can be pressed meanwhile.
  void UpdateStatus(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus) override;
  void CancelBtnClick(TComponent* sender) { CancelCopy(); }

private:
  int total_ = 0;
};
