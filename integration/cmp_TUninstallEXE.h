// The install file that carries the uninstaller; recording it for uninstall
// writes the product's entry in the Windows list of installed programs.
#pragma once
#include <string>

#include "cmp_TInstallFile.h"

class TUninstallEXE : public TCustomInstallFile {
public:
  explicit TUninstallEXE(TComponent* owner);
  const char* ClassName() const override { return "TUninstallEXE"; }

  // Writes the display name, the uninstall commands (interactive and
  // /VERYSILENT) and the support information of the current install under
  // key (HKEY_LOCAL_MACHINE).
  void RecordForUninstall(const std::string& key) override;
};

// Registers the stream class; the program calls it at start.
void RegisterUninstallEXEClass();
