#include "uInstMain.h"

#include "Application.h"
#include "ControlReg.h"
#include "FormResource.h"
#include "cmp_TBackDrop.h"
#include "cmp_TInstall.h"
#include "cmp_TInstallShellLink.h"
#include "cmp_TNetInstallLocation.h"
#include "cmp_TPathSpecifier.h"
#include "cmp_TTranslator.h"
#include "cmp_TUninstallEXE.h"
#include "dlgcmp_TBaseDlg.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_InstallBoxes.h"
#include "routines_Log.h"

TmainForm::TmainForm(TComponent* owner) : TForm(owner) {
  DefineMethod("FormCreate", [this](TComponent* sender) { FormCreate(sender); });
  DefineMethod("FormActivate", [this](TComponent* sender) { FormActivate(sender); });
  ReadFormResource(this, ClassName());
}

TImage* TmainForm::LogoImage() const { return dynamic_cast<TImage*>(FindComponent("LogoImage")); }

void TmainForm::FormCreate(TComponent*) {
  PrepareInstallDialogs();

  const bool shellFolders = LibraryLoads(kShellFolderLibrary);
  if (auto* redistributable = dynamic_cast<TInstallContainer*>(FindComponent("IFShFolder_Exe")))
    redistributable->Include = !shellFolders;
  LogLine(std::string(kShellFolderLibrary) + (shellFolders ? " loads" : " does not load"));

  if (TImage* logo = LogoImage()) LoadPictureResource(logo->Picture(), "LOGO_PNG");
  if (auto* install = dynamic_cast<TCustomInstall*>(CurrentInstall))
    LoadPictureResource(install->DialogThemeBitmap(), "INSTALL_PNG");
}

void TmainForm::FormActivate(TComponent*) {
  if (LibraryLoads(kPrerequisiteLibrary)) return;
  LogLine(std::string(kPrerequisiteLibrary) + " does not load; nothing is installed");
  InstallMessageBox(kPrerequisiteWarning, MB_OK | MB_ICONWARNING);
  InstallExitCode = 1;
  Close();
}

int RunSetupProgram() {
  return RunProgram(kApplicationTitle, [] { return new TmainForm(nullptr); });
}
