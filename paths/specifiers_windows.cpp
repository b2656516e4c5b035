#include "specifiers_windows.h"

#include <windows.h>
#include <shlobj.h>

#include "cmp_TInstallContainer.h"
#include "routines_API.h"
#include "routines_PathText.h"
#include "routines_Strings.h"
#include "SysUtils.h"

std::string GetShellFolder(int csidl) {
  LPITEMIDLIST pidl = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &pidl)) || !pidl) return std::string();
  char buf[MAX_PATH + 1] = {};
  BOOL ok = SHGetPathFromIDListA(pidl, buf);
  CoTaskMemFree(pidl);
  if (!ok) return std::string();
  std::string path = buf;
  if (IsShellPseudoPath(path)) return std::string();
  return path;
}

TOSVerType ShellSystem() {
  try {
    return RunningOSHook ? RunningOSHook() : GetOSVersion();
  } catch (const Exception&) {
    return osUnidentified;
  }
}

std::string ShellFolderByFamily(int ntCsidl, int win9xCsidl, int otherCsidl) {
  const TOSVerType os = ShellSystem();
  int entry = otherCsidl;
  if (IsNTFamilyOS(os))
    entry = ntCsidl;
  else if (Is9xFamilyOS(os))
    entry = win9xCsidl;
  if (entry == kShellUndefined) return "undefined";
  if (entry == kShellEmpty) return std::string();
  return GetShellFolder(entry);
}

#define TW_SHELL_DEF(Cls, name, description, displayName, nt, win9x, other)       \
  Cls::Cls(TComponent* owner) : TStandardPathSpecifier(owner) { defaultName_ = name; } \
  std::string Cls::GetDescription() { return description; }                     \
  std::string Cls::GetDisplayName() { return displayName; }                      \
  std::string Cls::GetPath(TInstallContainer*) { return ShellFolderByFamily(nt, win9x, other); }

constexpr int U = kShellUndefined;
constexpr int E = kShellEmpty;

TW_SHELL_DEF(TpsPrinters, "psPrinters", "virtual folder containing installed printers", "Installed Printers",
             CSIDL_PRINTERS, U, U)
TW_SHELL_DEF(TpsRecent, "psRecent", "Recently Used Documents", "Recently Used", CSIDL_RECENT, U, U)
TW_SHELL_DEF(TpsSendTo, "psSendTo", "Send To Menu", "Send To", CSIDL_SENDTO, E, E)
TW_SHELL_DEF(TpsStartup, "psStartup", "User Startup", "Startup", CSIDL_STARTUP, E, E)
TW_SHELL_DEF(TpsControlPanel, "psControlPanel", "Control Panel", "Control Panel", CSIDL_CONTROLS, E, E)
TW_SHELL_DEF(TpsFavorites, "psFavorites", "Favorites", "Favorites", CSIDL_FAVORITES, U, U)
TW_SHELL_DEF(TpsBitBucket, "psBitBucket", "Recycle bin", "Recycle bin", CSIDL_BITBUCKET, E, E)
TW_SHELL_DEF(TpsCookies, "psCookies", "Cookies", "Cookies", CSIDL_COOKIES, E, E)
TW_SHELL_DEF(TpsCommonAltStartup, "psCommonAltStartup", "Alternate Startup folder for (All Users profile)",
             "Common Alternate Startup folder", CSIDL_COMMON_ALTSTARTUP, CSIDL_ALTSTARTUP, E)
// The all-users startup folder on the whole NT family, XP included.
TW_SHELL_DEF(TpsCommonStartup, "psCommonStartup", "Common Startup directory", "Common Startup",
             CSIDL_COMMON_STARTUP, CSIDL_STARTUP, E)
TW_SHELL_DEF(TpsCommonDesktopDirectory, "psCommonDesktopDirectory", "Common Desktop Directory", "Common Desktop",
             CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY, U)
TW_SHELL_DEF(TpsCommonFavorites, "psCommonFavorites", "Common Favorites", "Common Favorites",
             CSIDL_COMMON_FAVORITES, CSIDL_FAVORITES, E)
TW_SHELL_DEF(TpsCommonPrograms, "psCommonPrograms", "Common Programs", "Common Programs", CSIDL_COMMON_PROGRAMS,
             CSIDL_PROGRAMS, E)
TW_SHELL_DEF(TpsCommonStartMenu, "psCommonStartMenu", "Common Start Menu", "Common Start Menu",
             CSIDL_COMMON_STARTMENU, CSIDL_STARTMENU, E)

TpsQuickLaunchMenu::TpsQuickLaunchMenu(TComponent* owner) : TStandardPathSpecifier(owner) {
  defaultName_ = "psQuickLaunchMenu";
}
std::string TpsQuickLaunchMenu::GetDescription() { return "Path of the Quick Launch Toolbar Menu"; }
std::string TpsQuickLaunchMenu::GetDisplayName() { return "Quick Launch Toolbar menu"; }
std::string TpsQuickLaunchMenu::GetPath(TInstallContainer*) {
  std::string appData = StripBackslash(GetShellFolder(CSIDL_APPDATA));
  if (appData.empty()) return "undefined";
  return StripBackslash(appData + "\\Microsoft\\Internet Explorer\\Quick Launch");
}
