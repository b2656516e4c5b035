// The program's dialog registrations, in their fixed order.
#include "dlgcmp_TBaseDlg.h"
#include "ordlg_License.h"
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
}
