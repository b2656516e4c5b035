// The uninstaller: started from the product's uninstall entry with the
// product name as its command line.
#include <windows.h>

#include "Uninstaller.h"
#include "exceptions_Tarnwick.h"
#include "routines_Strings.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char self[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  TUninstallCommand cmd = ParseUninstallCommandLine(GetCommandLineA(), self);
  TUninstaller un(cmd.ProductName);
  const char* title = "Uninstall";
  if (!un.IsInstalled()) {
    if (!cmd.Silent) {
      std::string text = cmd.ProductName.empty()
                             ? std::string("Start the uninstaller from the list of installed programs.")
                             : "\"" + cmd.ProductName + "\" is not installed on this computer.";
      MessageBoxA(nullptr, text.c_str(), title, MB_OK | MB_ICONERROR);
    }
    return 1;
  }
  std::string name = un.DisplayName();
  if (!cmd.Silent) {
    std::string q = "Are you sure you want to remove " + name + " and all of its components?";
    if (MessageBoxA(nullptr, q.c_str(), title, MB_YESNO | MB_ICONQUESTION) != IDYES) return 2;
  }
  try {
    un.Run(self);
  } catch (const Exception& e) {
    if (!cmd.Silent) MessageBoxA(nullptr, e.Message().c_str(), title, MB_OK | MB_ICONERROR);
    return 3;
  }
  if (!cmd.Silent) {
    if (un.Failed.empty()) {
      std::string text = name + " was removed from your computer.";
      MessageBoxA(nullptr, text.c_str(), title, MB_OK | MB_ICONINFORMATION);
    } else {
      std::string text = name + " was not removed completely. These files could not be removed:\r\n";
      for (const std::string& f : un.Failed) text += "\r\n" + f;
      text += "\r\n\r\nClose the programs that use them, then remove " + name +
              " again from the list of installed programs.";
      MessageBoxA(nullptr, text.c_str(), title, MB_OK | MB_ICONWARNING);
    }
  }
  return un.Failed.empty() ? 0 : 4;
}
