#include "uInstMain.h"

#include <cmath>

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

namespace {

void LoadPngResource(TPicture& picture, const char* name) {
  try {
    picture.LoadFromResource(GetModuleHandleA(nullptr), name, MAKEINTRESOURCEA(10));  // RT_RCDATA
  } catch (const std::exception& e) {
    LogLine(std::string("Picture ") + name + " not loaded: " + e.what());
  }
}

std::string VersionText() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  GetVersionExA(&info);
  return Format("%s (platform %d, %d.%d)", {OSVerTypeName(GetOSVersion()), static_cast<int>(info.dwPlatformId),
                                             static_cast<int>(info.dwMajorVersion),
                                             static_cast<int>(info.dwMinorVersion)});
}

}  // namespace

TColor PageColorFor(int displayBits, COLORREF window, COLORREF buttonFace) {
  if (displayBits <= 8) return clBtnFace;
  auto mix = [](int from, int to) {
    return static_cast<int>(std::nearbyint(from + 0.45 * (to - from)));
  };
  return static_cast<TColor>(RGB(mix(GetRValue(window), GetRValue(buttonFace)),
                                 mix(GetGValue(window), GetGValue(buttonFace)),
                                 mix(GetBValue(window), GetBValue(buttonFace))));
}

TmainForm::TmainForm(TComponent* owner) : TForm(owner) {
  DefineMethod("FormCreate", [this](TComponent* sender) { FormCreate(sender); });
  DefineMethod("FormActivate", [this](TComponent* sender) { FormActivate(sender); });
  ReadFormResource(this, ClassName());
}

TImage* TmainForm::LogoImage() const { return dynamic_cast<TImage*>(FindComponent("LogoImage")); }

void TmainForm::FormCreate(TComponent*) {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  DialogPageColor = PageColorFor(bits, GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_BTNFACE));

  const bool shellFolders = LibraryLoads(kShellFolderLibrary);
  if (auto* redistributable = dynamic_cast<TInstallContainer*>(FindComponent("IFShFolder_Exe")))
    redistributable->Include = !shellFolders;
  LogLine(std::string(kShellFolderLibrary) + (shellFolders ? " loads" : " does not load"));

  if (TImage* logo = LogoImage()) LoadPngResource(logo->Picture(), "LOGO_PNG");
  if (auto* install = dynamic_cast<TCustomInstall*>(CurrentInstall)) {
    LoadPngResource(install->DialogThemeBitmap(), "INSTALL_PNG");
    // Cancel asks before the installation is abandoned.
    if (!install->OnUserAbort)
      install->OnUserAbort = [](TCustomInstall*, bool& quit) {
        quit = InstallMessageBox(kCancelQuestion, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
      };
  }
}

void TmainForm::FormActivate(TComponent*) {
  if (LibraryLoads(kPrerequisiteLibrary)) return;
  LogLine(std::string(kPrerequisiteLibrary) + " does not load; nothing is installed");
  InstallMessageBox(kPrerequisiteWarning, MB_OK | MB_ICONWARNING);
  InstallExitCode = 1;
  Close();
}

void RegisterEngineClasses() {
  RegisterControlClasses();
  RegisterBackdropClass();
  RegisterPathSpecifierClasses();
  RegisterTranslatorClasses();
  RegisterDialogManagerClasses();
  RegisterShellLinkClasses();
  RegisterInstallFileClasses();
  RegisterUninstallEXEClass();
  RegisterInstallClasses();
  RegisterNetLocationClasses();
  RegisterClassInfo("TmainForm", "TForm", nullptr);
}

int RunSetupProgram() {
  RegisterEngineClasses();
  RegisterInstallDialogs();
  TApplication app(nullptr);
  Application = &app;
  app.SetTitle(kApplicationTitle);
  LogLine("Windows version: " + VersionText());
  LogLine(std::string("Command line: ") + GetCommandLineA());
  int exitCode = 0;
  TmainForm* form = nullptr;
  try {
    form = new TmainForm(nullptr);
  } catch (const std::exception& e) {
    // Without its main form the program cannot go on.
    LogLine(std::string("The project could not be loaded: ") + e.what());
    ShowInstallException(e);
    exitCode = 1;
  }
  if (form) {
    app.SetMainForm(form);
    if (!app.Terminated()) {
      form->Show();
      app.Run();
    }
    exitCode = InstallExitCode;
    delete form;
  }
  Application = nullptr;
  return exitCode;
}
