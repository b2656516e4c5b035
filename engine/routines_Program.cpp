#include "routines_Program.h"

#include <cmath>

#include "Application.h"
#include "ControlReg.h"
#include "Graphics.h"
#include "Registry.h"
#include "cmp_TBackDrop.h"
#include "cmp_TInstall.h"
#include "cmp_TInstallShellLink.h"
#include "cmp_TNetInstallLocation.h"
#include "cmp_TPathSpecifier.h"
#include "cmp_TTranslator.h"
#include "cmp_TUninstallEXE.h"
#include "dlgcmp_TBaseDlg.h"
#include "routines_API.h"
#include "routines_InstallBoxes.h"
#include "routines_Log.h"
#include "routines_Strings.h"
#include "routines_Unattended.h"

namespace {

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

void PrepareInstallDialogs() {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  DialogPageColor = PageColorFor(bits, GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_BTNFACE));
  if (auto* install = dynamic_cast<TCustomInstall*>(CurrentInstall))
    if (!install->OnUserAbort)
      install->OnUserAbort = [](TCustomInstall*, bool& quit) {
        quit = AskInstallQuestion(kCancelQuestion, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
      };
}

void LoadPictureResource(TPicture& picture, const char* name) {
  try {
    picture.LoadFromResource(GetModuleHandleA(nullptr), name, MAKEINTRESOURCEA(10));  // RT_RCDATA
  } catch (const std::exception& e) {
    LogLine(std::string("Picture ") + name + " not loaded: " + e.what());
  }
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

int RunProgram(const std::string& title, const std::function<TForm*()>& create,
               const std::function<void(const std::exception&)>& failed) {
  RegisterEngineClasses();
  RegisterInstallDialogs();
  TApplication app(nullptr);
  Application = &app;
  app.SetTitle(title);
  Unattended = ParseUnattendedOptions(CommandLineArguments());
  if (!Unattended.LogFile.empty()) SetRunLog(Unattended.LogFile);
  if (LogEnabled())
    RegistryWriteObserver = [](const TRegistry& r, const std::string& name, const std::string& value) {
      const char* root = r.RootKey() == HKEY_LOCAL_MACHINE ? "HKLM"
                         : r.RootKey() == HKEY_CURRENT_USER ? "HKCU"
                         : r.RootKey() == HKEY_CLASSES_ROOT ? "HKCR"
                                                            : "HK";
      LogLine(std::string("Registry: ") + root + "\\" + r.CurrentPath() + " " + (name.empty() ? "(default)" : name) +
              " = " + value);
    };
  LogLine("Windows version: " + VersionText());
  LogLine(std::string("Command line: ") + GetCommandLineA());
  if (Unattended.Silent())
    LogLine(Unattended.VerySilent() ? "Mode: very silent (nothing is shown)"
                                    : "Mode: silent (only the copy progress and the restart question show)");
  int exitCode = 0;
  TForm* form = nullptr;
  try {
    form = create();
  } catch (const std::exception& e) {
    // Without its main form the program cannot go on.
    LogLine(std::string("The project could not be loaded: ") + e.what());
    if (failed) failed(e);
    else ShowInstallException(e);
    exitCode = 1;
  }
  if (form) {
    app.SetMainForm(form);
    if (!app.Terminated()) {
      if (Unattended.Silent()) {
        // No backdrop: the form stays hidden and its first activation, which
        // starts the run, comes as a message to its window.
        PostMessageA(form->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
      } else {
        form->Show();
      }
      app.Run();
    }
    exitCode = InstallExitCode;
    delete form;
  }
  LogLine(Format("Exit code %d", {exitCode}));
  Application = nullptr;
  return exitCode;
}
