// Program entry of the setup program.
#include <windows.h>

#include "cmp_TInstallShellLink.h"
#include "cmp_TTranslator.h"
#include "dlgcmp_TBaseDlg.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_Log.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Classes reached only through the project stream.
  RegisterTranslatorClasses();
  RegisterDialogManagerClasses();
  RegisterShellLinkClasses();
  try {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExA(&info);
    LogLine(Format("Windows version: %s (platform %d, %d.%d)",
                   {OSVerTypeName(GetOSVersion()), static_cast<int>(info.dwPlatformId),
                    static_cast<int>(info.dwMajorVersion), static_cast<int>(info.dwMinorVersion)}));
    LogLine("Windows directory: " + GetWindowsDir());
    LogLine("System directory: " + GetSystemDir());
    LogLine("Temporary directory: " + GetTempDir());
  } catch (const Exception& e) {
    LogLine(std::string("Failure: ") + e.Message());
    return 1;
  }
  return 0;
}
