// A stand-in for the install component: the root file container of a run,
// recording what install files ask of the install.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "ClassReg.h"
#include "cmp_TFileContainer.h"
#include "cmp_TInstallInformation.h"
#include "routines_win2k.h"

namespace modeltest {

// The root file container of a run, as the install component would be.
class TTestInstall : public TFileContainer {
public:
  explicit TTestInstall(TComponent* owner) : TFileContainer(owner, false) {
    SetName("TestInstall");
    FireAfterInstallObjects = false;
  }
  const char* ClassName() const override { return "TTestInstall"; }
  bool HasOwnSpecifier() const override { return false; }
  bool IsInstalling() const override { return installing; }
  std::string UninstallProductName() const override { return info.ProductName; }
  TDistributeType DistributeType() const override { return dtTraditional; }
  bool Reboot() const override { return reboot; }
  void SetReboot(bool value) override { reboot = value; }
  void AddUnfinished(const std::string& text, int kind) override { unfinished.emplace_back(text, kind); }
  TInstallInformation* Information() override { return &info; }
  TControlPanelExtensionInformation* win2KExtendedInformation() override { return extended; }
  TRegistrationInformation* RegistrationInformation() override { return &registration; }

  bool installing = false;
  bool reboot = false;
  std::vector<std::pair<std::string, int>> unfinished;
  TInstallInformation info;
  TRegistrationInformation registration;
  TControlPanelExtensionInformation* extended = nullptr;
};

// Known to the class table as a file container, as the install component is.
inline const TClassRegistrar<TTestInstall> regTestInstall("TTestInstall", "TFileContainer", nullptr);

}  // namespace modeltest
