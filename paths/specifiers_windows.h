// Standard specifiers for the shell folders of the user and of all users.
// Each asks the shell for a special folder chosen by the system family (NT:
// NT 4, 2000, XP; 9x: 95, 98, Me); a folder the shell cannot name yields an
// empty path, some classes answer "undefined" instead. Shell results keep a
// trailing backslash the shell returns.
#pragma once
#include <string>

#include "cmp_TPathSpecifier.h"
#include "types_Tarnwick.h"

// The file-system path of special folder csidl; empty on any failure and for
// virtual folders without a path.
std::string GetShellFolder(int csidl);

// Marks in a family table: a CSIDL, or one of these.
inline constexpr int kShellUndefined = -1;  // the text "undefined"
inline constexpr int kShellEmpty = -2;      // an empty path

// The path a family table gives on the running system.
std::string ShellFolderByFamily(int ntCsidl, int win9xCsidl, int otherCsidl);
// The running system as the shell specifiers see it (RunningOSHook; a
// failing query counts as an unidentified system).
TOSVerType ShellSystem();

#define TW_SHELL_SPECIFIER(Cls)                    \
  class Cls : public TStandardPathSpecifier {      \
    TW_STANDARD_SPECIFIER_DECL(Cls)                \
    std::string GetDisplayName() override;         \
  };

TW_SHELL_SPECIFIER(TpsPrinters)
TW_SHELL_SPECIFIER(TpsRecent)
TW_SHELL_SPECIFIER(TpsSendTo)
TW_SHELL_SPECIFIER(TpsStartup)
TW_SHELL_SPECIFIER(TpsControlPanel)
TW_SHELL_SPECIFIER(TpsFavorites)
TW_SHELL_SPECIFIER(TpsBitBucket)
TW_SHELL_SPECIFIER(TpsCookies)
TW_SHELL_SPECIFIER(TpsCommonAltStartup)
TW_SHELL_SPECIFIER(TpsCommonStartup)
TW_SHELL_SPECIFIER(TpsCommonDesktopDirectory)
TW_SHELL_SPECIFIER(TpsCommonFavorites)
TW_SHELL_SPECIFIER(TpsCommonPrograms)
TW_SHELL_SPECIFIER(TpsCommonStartMenu)
// The Quick Launch folder below the application data folder; "undefined"
// when that folder is unknown.
TW_SHELL_SPECIFIER(TpsQuickLaunchMenu)

#undef TW_SHELL_SPECIFIER
