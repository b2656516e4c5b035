#include "specifiers_Office.h"

#include <windows.h>

#include "routines_API.h"
#include "routines_ExpandPaths.h"
#include "routines_PathText.h"
#include "routines_Registry.h"
#include "routines_Strings.h"
#include "stream_WinFile.h"

namespace {
bool UsableVersion(int v) { return v >= 7 && v <= 19; }

std::string ProgramFilesWith(const std::string& subPath) {
  return AddBackslash(GetProgramFilesDir()) + subPath;
}

// The default value of the file-new key for name, or the program files
// sub-path.
std::string FileNewRule(const std::string& name, const std::string& subPath) {
  const int v = GetOfficeVersion();
  std::string fallback = ProgramFilesWith(subPath);
  if (!UsableVersion(v)) return StripBackslash(fallback);
  return StripBackslash(ReadRegistryString(kHKCU, OfficeFileNewKey(v, name), "", fallback));
}

// Value valueName of Word's options key, or the program files sub-path.
std::string WordOptionsRule(const std::string& valueName, const std::string& subPath) {
  const int v = GetOfficeVersion();
  std::string fallback = ProgramFilesWith(subPath);
  if (!UsableVersion(v)) return StripBackslash(fallback);
  return StripBackslash(ReadRegistryString(kHKCU, OfficeWordOptionsKey(v), valueName, fallback));
}

constexpr const char* kUserTemplates = "Microsoft Office\\Templates";
}  // namespace

int GetOfficeVersion() {
  try {
    std::string curVer = ReadRegistryString(kHKCR, "\\Word.Document\\CurVer", "", "");
    if (curVer.empty()) return -1;
    std::string versionText = OfficeVersionText(curVer);
    if (versionText.empty()) return -1;
    std::string server =
        ReadRegistryString(kHKCR, "\\" + curVer + "\\protocol\\StdFileEditing\\server", "", "");
    if (!twfile::FileExists(Trim(server))) return -1;
    return OfficeVersionNumber(versionText);
  } catch (...) {
    return -1;
  }
}

#define TW_OFFICE_TEXTS(Cls, name, description, displayName)                          \
  Cls::Cls(TComponent* owner) : TStandardPathSpecifier(owner) { defaultName_ = name; } \
  std::string Cls::GetDescription() { return description; }                          \
  std::string Cls::GetDisplayName() { return displayName; }

TW_OFFICE_TEXTS(TpsOfficeUserTemplates, "psOfficeUserTemplates", "Path to the MS Office User Templates directory",
                "User Templates")
std::string TpsOfficeUserTemplates::GetPath(TInstallContainer*) {
  return FileNewRule("LocalTemplates", kUserTemplates);
}

TW_OFFICE_TEXTS(TpsOfficeWorkgroupTemplates, "psOfficeWorkgroupTemplates",
                "Path to the MS Office Workgroup Templates directory", "Workgroup Templates")
std::string TpsOfficeWorkgroupTemplates::GetPath(TInstallContainer*) {
  std::string userTemplates = FileNewRule("LocalTemplates", kUserTemplates);
  const int v = GetOfficeVersion();
  if (!UsableVersion(v)) return userTemplates;
  return StripBackslash(ReadRegistryString(kHKCU, OfficeFileNewKey(v, "SharedTemplates"), "", userTemplates));
}

TW_OFFICE_TEXTS(TpsOfficeClipartDirectory, "psOfficeClipartDirectory", "Path to the MS Office Clipart directory",
                "Office Clipart dir")
std::string TpsOfficeClipartDirectory::GetPath(TInstallContainer*) {
  return WordOptionsRule("PICTURE-PATH", "Microsoft Office\\Clipart");
}

TW_OFFICE_TEXTS(TpsOfficeStartupDirectory, "psOfficeStartupDirectory", "Path to the MS Office Startup directory",
                "Office Startup dir")
std::string TpsOfficeStartupDirectory::GetPath(TInstallContainer*) {
  return WordOptionsRule("STARTUP-PATH", "Microsoft Office\\Office\\Startup");
}

TW_OFFICE_TEXTS(TpsOfficeToolsDirectory, "psOfficeToolsDirectory", "Path to the MS Office Tools directory",
                "Office Tools dir")
std::string TpsOfficeToolsDirectory::GetPath(TInstallContainer*) {
  return WordOptionsRule("TOOLS-PATH", "Microsoft Office\\Office");
}

TW_OFFICE_TEXTS(TpsOfficeFavoritesDirectory, "psOfficeFavoritesDirectory",
                "Path to the MS Office Favorites directory", "Office Favorites dir")
std::string TpsOfficeFavoritesDirectory::GetPath(TInstallContainer*) {
  return StripBackslash(ReadRegistryString(kHKCU, kShellFoldersKey, "Favorites",
                                           AddBackslash(GetWindowsDir()) + "Favorites"));
}
