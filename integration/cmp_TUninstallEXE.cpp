#include "cmp_TUninstallEXE.h"

#include "ClassReg.h"
#include "cmp_TInstallInformation.h"
#include "routines_Registry.h"
#include "routines_Strings.h"
#include "routines_win2k.h"

TUninstallEXE::TUninstallEXE(TComponent* owner) : TCustomInstallFile(owner) { net_ = true; }

namespace {
// The installed path of a file installed in this run, or empty.
std::string ProcessedFilePath(TCustomInstallFile* file) {
  if (!file || !file->Processed) return std::string();
  return file->InstalledPath();
}
}  // namespace

void TUninstallEXE::RecordForUninstall(const std::string& key) {
  if (!CurrentInstall)
    throw IException(
        "%s could not write information about the uninstall to the registry because there was no "
        "TInstall component",
        {Name()});
  const TInstallInformation* info = CurrentInstall->Information();
  const TControlPanelExtensionInformation* extended = CurrentInstall->win2KExtendedInformation();
  const TRegistrationInformation* registration = CurrentInstall->RegistrationInformation();
  const std::string product = Trim(info ? info->ProductName : std::string());

  WriteRegistryString(kHKLM, key, "DisplayName", product);
  // The path goes in unquoted; the uninstaller takes the product name after
  // it, and its switches before the name.
  WriteRegistryString(kHKLM, key, "UninstallString", InstalledPath() + " " + product);
  WriteRegistryString(kHKLM, key, "QuietUninstallString", InstalledPath() + " /VERYSILENT " + product);

  auto optional = [&key](const char* name, const std::string& value) {
    if (!value.empty()) WriteRegistryString(kHKLM, key, name, value);
  };
  optional("Comments", extended ? extended->Comments() : std::string());
  optional("Contact", extended ? extended->Contact() : std::string());
  optional("DisplayIcon", extended ? ProcessedFilePath(extended->DisplayIcon()) : std::string());
  optional("DisplayVersion", info ? info->Version : std::string());
  optional("HelpLink", extended ? extended->HelpLink() : std::string());
  optional("HelpTelephone", extended ? extended->HelpTelephone() : std::string());
  optional("Publisher", info ? info->CompanyName : std::string());
  optional("ProductID", extended ? extended->ProductID() : std::string());
  optional("Readme", extended ? ProcessedFilePath(extended->ReadMe()) : std::string());
  optional("URLInfoAbout", extended ? extended->URLInfoAbout() : std::string());
  optional("URLUpdateInfo", extended ? extended->URLUpdateInfo() : std::string());
  optional("RegCompany", registration ? registration->RegCompany : std::string());
  optional("RegOwner", registration ? registration->RegOwner : std::string());
}

namespace {
TClassRegistrar<TUninstallEXE> regUninstall("TUninstallEXE", "TCustomInstallFile", nullptr);
}

void RegisterUninstallEXEClass() { RegisterInstallFileClasses(); }
