// Path specifiers: components that stand for a directory used by install
// objects. This header holds the base class with its virtual operations and
// the lookup of the standard container-destination specifier.
#pragma once
#include <functional>
#include <string>

#include "Classes.h"

class TInstallContainer;

class TCustomPathSpecifier : public TComponent {
public:
  using TComponent::TComponent;
  const char* ClassName() const override { return "TCustomPathSpecifier"; }

  // Raises IEPathSpecifier when obj cannot use this specifier.
  virtual void CheckObject(TInstallContainer* obj) {}
  virtual std::string GetDescription() { return "Unspecified"; }
  virtual std::string GetObjectDescription(TInstallContainer* obj) { return GetDescription(); }
  // The directory without a trailing backslash.
  virtual std::string GetPath(TInstallContainer* obj) {
    std::string path;
    if (OnGetPath) OnGetPath(obj, path);
    return path;
  }
  virtual std::string GetDisplayName() { return GetDescription(); }
  virtual std::string GetObjectDisplayName(TInstallContainer* obj) { return GetObjectDescription(obj); }
  // True for the specifier that stands for an object's container directory.
  virtual bool IsContainerDestDir() const { return false; }

  std::function<void(TInstallContainer* obj, std::string& path)> OnGetPath;
};

// The standard container-destination specifier of the project, or none.
// The standard specifier set registers it when created.
TCustomPathSpecifier* StandardContainerDestDir();
void SetStandardContainerDestDir(TCustomPathSpecifier* specifier);
