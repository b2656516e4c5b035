#include "routines_ExpandPaths.h"

#include <windows.h>

#include <cctype>

#include "cmp_TInstallContainer.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_PathText.h"
#include "routines_Registry.h"
#include "routines_Strings.h"

namespace {
std::string CurrentDrive() {
  char buf[MAX_PATH + 1] = {};
  DWORD n = GetCurrentDirectoryA(sizeof(buf), buf);
  if (n == 0 || n > sizeof(buf)) return std::string();
  return DrivePart(buf);
}

std::string ShellFolder(const char* value, const std::string& fallback) {
  return StripBackslash(ReadRegistryString(kHKCU, kShellFoldersKey, value, fallback));
}
}  // namespace

std::string GetStartMenuDir() {
  return ShellFolder("Start Menu", AddBackslash(GetWindowsDir()) + "Startmen");
}

std::string GetProgramsMenuDir() {
  return ShellFolder("Programs", AddBackslash(GetStartMenuDir()) + "Programs");
}

std::string GetDesktopDir() { return ShellFolder("Desktop", AddBackslash(GetWindowsDir()) + "Desktop"); }

std::string GetStartupMenuDir() { return ShellFolder("Startup", AddBackslash(GetWindowsDir()) + "Startup"); }

std::string GetProgramFilesDir() {
  return StripBackslash(ReadRegistryString(kHKLM, kCurrentVersionKey, "ProgramFilesDir",
                                           AddBackslash(CurrentDrive()) + "Program Files"));
}

std::string GetCommonFilesDir() {
  return StripBackslash(ReadRegistryString(kHKLM, kCurrentVersionKey, "CommonFilesDir",
                                           AddBackslash(CurrentDrive()) + "Program Files\\Common Files"));
}

std::string ExpandMetaVariables(const std::string& text, TInstallContainer* component) {
  return ScanMetaVariables(text, [component](char letter, std::string& value) {
    switch (std::tolower(static_cast<unsigned char>(letter))) {
      case 'a':
        if (!component)
          throw EAICannotExpandContainerDirMV(
              TranslateExceptionMessage("Cannot expand the %a meta variable because the component is Nil"));
        value = component->GetDestPath();
        return true;
      case 'b':
        value = GetProgramsMenuDir();
        return true;
      case 'c': {
        if (!component)
          throw EAICannotExpandContainerDirMV(
              TranslateExceptionMessage("Cannot expand the %c meta variable because the component is Nil"));
        auto* object = dynamic_cast<TInstallObject*>(component);
        if (!object || !object->Container())
          throw EAICannotExpandContainerDirMV(TranslateExceptionMessage(
              "Cannot expand the %c meta variable because the Container property is Nil"));
        value = object->Container()->GetDestPath();
        return true;
      }
      case 'd':
        value = GetDesktopDir();
        return true;
      case 'f':
        value = GetCommonFilesDir();
        return true;
      case 'i':
        if (!CurrentInstall)
          throw EAICannotExpandInstallDirMV(TranslateExceptionMessage(
              "Cannot expand the %i meta variable because there is no TInstall component"));
        value = CurrentInstall->GetDestPath();
        return true;
      case 'm':
        value = GetStartMenuDir();
        return true;
      case 'p':
        value = GetProgramFilesDir();
        return true;
      case 's':
        value = GetSystemDir();
        return true;
      case 'w':
        value = GetWindowsDir();
        return true;
      default:
        return false;
    }
  });
}
