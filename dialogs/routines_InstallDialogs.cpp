// The program's dialog registrations, in their fixed order.
#include "dlgcmp_TBaseDlg.h"
#include "ordlg_BadInstallForm.h"
#include "ordlg_CopyFile.h"
#include "ordlg_GoodInstallForm.h"
#include "ordlg_License.h"
#include "ordlg_Reboot.h"
#include "ordlg_SelectDestination.h"
#include "ordlg_SelectFolder.h"

namespace {
template <class T>
TFormClass FormClassOf(const char* name) {
  return TFormClass{name, [](TComponent* owner) -> TBaseTarnwickForm* { return new T(owner); }};
}
}  // namespace

void RegisterInstallDialogs() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterDialogPage(FormClassOf<TLicenseForm>("TLicenseForm"), nullptr, 0);
  RegisterDialogPage(FormClassOf<TSelectDestinationForm>("TSelectDestinationForm"), nullptr, 0);
  RegisterDialogPage(FormClassOf<TSelectFolderForm>("TSelectFolderForm"), nullptr, 0);
  RegisterDialogPage(FormClassOf<TBadInstallForm>("TBadInstallForm"), nullptr, 0);
  RegisterDuringCopyForm(FormClassOf<TCopyFileForm>("TCopyFileForm"), nullptr, 0);
  RegisterDialogPage(FormClassOf<TGoodInstallForm>("TGoodInstallForm"), nullptr, 0);
  RegisterDialogPage(FormClassOf<TRebootForm>("TRebootForm"), nullptr, 0);
}
