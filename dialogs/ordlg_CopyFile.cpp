#include "ordlg_CopyFile.h"

#include <windows.h>

#include <algorithm>

#include "Application.h"
#include "ComCtrls.h"
#include "FormResource.h"
#include "cmp_TFileContainer.h"
#include "cmp_TTrnwCompress.h"
#include "cmp_TNetInstallLocation.h"

namespace {
void LoadPicture(TImage* image, const char* resource) {
  if (!image) return;
  HMODULE module = ::GetModuleHandleA(nullptr);
  if (!::FindResourceA(module, resource, MAKEINTRESOURCEA(10))) return;  // RT_RCDATA
  try {
    image->Picture().LoadFromResource(module, resource, MAKEINTRESOURCEA(10));
  } catch (const std::exception&) {
    // A form without its picture still shows the progress.
  }
}
}  // namespace

TCopyFileForm::TCopyFileForm(TComponent* owner) : TBaseDuringCopyForm(owner) {
  DefineMethod("CancelBtnClick", [this](TComponent* sender) { CancelBtnClick(sender); });
  ReadFormResource(this, "TCopyFileForm");
  DM = FindDialogManager(dmDuringCopyFiles);
  LoadPicture(Find<TImage>("UnZipImage"), "UNZIP_PNG");
  LoadPicture(Find<TImage>("TransferBitmap"), "TRANSFER_PNG");
}

void TCopyFileForm::InitializeDialog() {
  total_ = 0;
  if (auto* bar = Find<TProgressBar>("ProgressBar1")) bar->SetPosition(0);
  if (auto* bar = Find<TProgressBar>("ProgressBar2")) bar->SetPosition(0);
}

void TCopyFileForm::UpdateStatus(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus) {
  auto* fileBar = Find<TProgressBar>("ProgressBar1");
  auto* totalBar = Find<TProgressBar>("ProgressBar2");
  auto* name = Find<TControl>("lblCopyingFile");
  auto* transfer = Find<TControl>("TransferBitmap");
  auto clamp = [](int v) { return std::max(0, std::min(100, v)); };
  if (fileStatus) {
    if (transfer) transfer->SetVisible(false);
    total_ = std::max(total_, clamp(fileStatus->TotalPercent));
    if (totalBar) totalBar->SetPosition(total_);
    if (fileBar) fileBar->SetPosition(clamp(fileStatus->FilePercent));
    if (name && name->Caption() != fileStatus->FileName) name->SetCaption(fileStatus->FileName);
  } else if (downloadStatus) {
    if (transfer) transfer->SetVisible(true);
    if (fileBar) fileBar->SetPosition(clamp(downloadStatus->Percent));
    if (name && name->Caption() != downloadStatus->FileName) name->SetCaption(downloadStatus->FileName);
  }
  if (HandleAllocated()) ::UpdateWindow(Handle());
  // The copy does not return to the message loop between blocks: here the
  // form repaints and Cancel can be clicked (or Escape pressed), as often as
  // the pump's throttle allows.
  ProcessPendingMessages();
}
