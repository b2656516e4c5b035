// Shortcuts made by the installation: shell links (.LNK), internet
// shortcuts (.URL) and hard links, contained in link groups. The one main
// link group is the program's folder in the Start menu; every main link
// lives in it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "cmp_TInstallContainer.h"
#include "cmp_TPathSpecifier.h"

// The system's name for its ANSI hard-link call would rename the operation.
#undef CreateHardLink

class TCustomInstallShellLink;
class TInstallMainLink;

enum TMethodType : unsigned char { mtAutoDetect, mtShellLinkInterface };

// Broadcast codes of the shell-link passes.
enum : int {
  bcInstallShellLinks = -970,
  bcInstallShellLinkGroups = -969,
  bcShellLinkGroupInstall = -991,
};

class TCustomShellLinkGroup : public TInstallObject {
public:
  explicit TCustomShellLinkGroup(TComponent* owner);
  ~TCustomShellLinkGroup() override;
  const char* ClassName() const override { return "TCustomShellLinkGroup"; }
  int Rank() const override { return 7000; }
  void InstallObjects() override;
  void Notify(TInstallContainer* sender, int code, TPersistent* parameter) override;
  void ObjectDestroyed(TInstallContainer* object) override;
};

class TMainLinkGroup : public TCustomShellLinkGroup {
public:
  explicit TMainLinkGroup(TComponent* owner);
  ~TMainLinkGroup() override;
  const char* ClassName() const override { return "TMainLinkGroup"; }
  // Always the program-menu specifier, whatever is given.
  void SetDestDirType(TCustomPathSpecifier* value) override;
};

// The project's main link group, or none.
TMainLinkGroup* MainLinkGroup();

class TCustomInstallShellLink : public TInstallObject {
public:
  explicit TCustomInstallShellLink(TComponent* owner);
  ~TCustomInstallShellLink() override;
  const char* ClassName() const override { return "TCustomInstallShellLink"; }
  int Rank() const override { return 8000; }

  virtual void InitializeCom();
  virtual void CreateShellLink();
  virtual void CreateHardLink();
  virtual void CreateInternetShortcut();
  virtual void SetLinkName(const std::string& value);
  virtual void SetObjectLocation(const std::string& value);
  virtual void SetObjectLocationType(TCustomPathSpecifier* value);
  virtual void SetObjectLink(TInstallContainer* value);
  // The shortcut's target: the location type's path for this link followed
  // by ObjectLocation, or ObjectLocation alone.
  virtual std::string GetTargetPath();

  void InstallObjects() override;
  void RecordForUninstall(const std::string& key) override;
  void ObjectDestroyed(TInstallContainer* object) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Notify(TInstallContainer* sender, int code, TPersistent* parameter) override;

  // The shortcut file: the link's folder and LinkName.
  std::string LinkPath();

  const std::string& LinkName() const { return linkName_; }
  TInstallContainer* ObjectLink() const { return objectLink_; }
  const std::string& ObjectLocation() const { return objectLocation_; }
  TCustomPathSpecifier* ObjectLocationType() const { return objectLocationType_; }

  TMethodType Method = mtAutoDetect;
  std::vector<std::string> Strings;
  unsigned short HotKey = 0;
  std::string IconLocation;
  int IconIndex = 0;
  std::string Parameters;
  std::string WorkingDirectory;
  bool HardLink = false;

protected:
  bool comReady_ = false;
  bool made_ = false;  // the last install step wrote the shortcut
  std::string linkName_;
  TInstallContainer* objectLink_ = nullptr;
  std::string objectLocation_;
  TCustomPathSpecifier* objectLocationType_ = nullptr;
};

class TInstallMainLink : public TCustomInstallShellLink {
public:
  explicit TInstallMainLink(TComponent* owner);
  ~TInstallMainLink() override;
  const char* ClassName() const override { return "TInstallMainLink"; }
  // Only the main link group may contain a main link.
  void SetContainer(TInstallContainer* value) override;
  // Always the container-destination specifier.
  void SetDestDirType(TCustomPathSpecifier* value) override;
};

// The path of the linked install object.
class TpsObjectLink : public TStandardPathSpecifier {
public:
  static constexpr const char* kClassName = "TpsObjectLink";
  explicit TpsObjectLink(TComponent* owner);
  const char* ClassName() const override { return kClassName; }
  void CheckObject(TInstallContainer* obj) override;
  std::string GetDescription() override;
  std::string GetPath(TInstallContainer* obj) override;
};

// Process-wide lists of live links and main links, in creation order.
using TInstallShellLinkList = TInstallRegistry<TCustomInstallShellLink, IEInstallShellLinkList>;
TInstallShellLinkList& ShellLinks();
TInstallShellLinkList& MainLinks();

// The project's TpsObjectLink, or none.
TpsObjectLink* ProjectObjectLinkSpecifier();

// Registers the shell-link classes for streaming; the program calls it at
// start.
void RegisterShellLinkClasses();
