// The install object tree: containers, install objects, their ranks, the
// downward broadcast, the processing step and the process-wide registries.
#pragma once
#include <cstdint>
#include <functional>
#include <typeinfo>
#include <string>
#include <memory>
#include <utility>
#include <vector>

#include "Classes.h"
#include "exceptions_Tarnwick.h"
#include "format_UninstallRecord.h"
#include "types_Tarnwick.h"

class TInstallContainer;
class TInstallObject;
class TCustomInstallFile;
class TCustomPathSpecifier;
class TTrnwCompress;
class TInstallInformation;
class TRegistrationInformation;
class TControlPanelExtensionInformation;

// Broadcast codes of the install object model.
enum : int {
  bcBeforeProcess = -990,
  bcIncluded = -999,
  bcAfterProcess = -989,
  bcShowStatusMessage = -974,
  bcHideStatusMessage = -973,
};

// Broadcast codes of the install run's stages, sent by the install to its
// helper components; the dialog managers show their pages on some of them.
enum : int {
  bcBeforeReadArchiveInfo = -984,
  bcAfterReadArchiveInfo = -983,
  bcAfterInitialized = -986,
  bcBeforeInstall = -980,
  bcReboot = -987,
  bcBeforeGoodInstall = -995,
  bcAfterGoodInstall = -979,
  bcBeforeBadInstall = -994,
  bcAfterBadInstall = -978,
  // The registration stage's; no run sends it.
  bcRegistration = -962,
};

// Parameter of a status-message broadcast; belongs to the sender.
class TMessageParameter : public TPersistent {
public:
  explicit TMessageParameter(std::string text) : Text(std::move(text)) {}
  const char* ClassName() const override { return "TMessageParameter"; }
  std::string Text;
};

using TInstallContainerNotifyEvent = std::function<void(TInstallContainer* container)>;
using TAfterInstallObjectsEvent = std::function<void(TInstallContainer* container, bool wasAborted)>;
using TInstallFileNotifyEvent = std::function<void(TCustomInstallFile* installFile)>;
using TInstallFileStatusEvent =
    std::function<void(TCustomInstallFile* installFile, int filePercentDone, int totalPercentDone)>;
using TInstallFileNewDiskEvent =
    std::function<void(TCustomInstallFile* installFile, int newDisk, std::string& path)>;

// Calls one of the project's handlers, if set, once the files record holds
// every entry handed over: the handler sees it as written.
template <class F, class... A>
void CallHandler(const F& handler, A&&... args) {
  if (!handler) return;
  uninstallrecord::Settle();
  handler(std::forward<A>(args)...);
}

// Tests whether a helper component is of a class or a descendant.
using TInstallClassTest = bool (*)(const TInstallObject* object);
template <class T>
bool IsInstallClass(const TInstallObject* o) {
  return dynamic_cast<const T*>(o) != nullptr;
}

class TInstallContainer : public TComponent {
public:
  explicit TInstallContainer(TComponent* owner);
  ~TInstallContainer() override;
  const char* ClassName() const override { return "TInstallContainer"; }

  // Virtual operations.
  virtual int FileContainerCount();
  virtual TInstallObject* FileContainers(int index);
  virtual void SetDestDir(const std::string& value);
  virtual void SetDestDirType(TCustomPathSpecifier* value);
  virtual void ObjectDestroyed(TInstallContainer* object);
  virtual void ShowStatusMessage(const std::string& text);
  virtual void DoInformationEventControl(TInstallContainer* sender, int code, TPersistent* parameter) {}
  virtual void Notify(TInstallContainer* sender, int code, TPersistent* parameter) {}
  // Whether Broadcast need call Notify at all; false only where Notify is
  // empty and final.
  virtual bool HearsBroadcasts() const { return true; }
  virtual std::string GetDestPath();
  virtual int Rank() const;
  virtual void AddObject(TInstallObject* object);
  virtual void Install();
  virtual void InstallObjects();
  virtual bool IsSelected() const;
  virtual void ContinueAfterReboot() {}
  virtual void RemoveObject(TInstallObject* object);
  virtual void RecordForUninstall(const std::string& key) {}

  // Answered by the install component (the root of the project).
  virtual bool IsInstalling() const { return false; }
  virtual std::string UninstallProductName() const { return std::string(); }
  // Whether installed objects record themselves for the uninstaller.
  virtual bool RecordsForUninstall() const { return true; }
  // True for file containers (counted by FileContainerCount).
  virtual bool IsFileContainer() const { return false; }
  // Where archives come from; the effective type without an install
  // component is dtTraditionalNet (EffectiveDistributeType).
  virtual TDistributeType DistributeType() const { return dtTraditionalNet; }
  // The installation needs a restart; install files set it when they must
  // replace a file in use.
  virtual bool Reboot() const { return false; }
  virtual void SetReboot(bool value) {}
  // Records an object (kind 0, by component name) or a file (kind 1) to be
  // finished after the restart. The default writes below CurrentInstallKey.
  virtual void AddUnfinished(const std::string& text, int kind);
  // The product data of the install; none for other objects.
  virtual TInstallInformation* Information() { return nullptr; }
  virtual TControlPanelExtensionInformation* win2KExtendedInformation() { return nullptr; }
  virtual TRegistrationInformation* RegistrationInformation() { return nullptr; }

  // Non-virtual operations.
  int ObjectCount() const { return static_cast<int>(helpers_.size()); }
  TInstallObject* HelperComponent(int index) const;
  int CountOfClass(TInstallClassTest isClass) const;
  TInstallObject* Comp(int index, TInstallClassTest isClass, const char* className) const;
  template <class T>
  T* Comp(int index) const {
    return static_cast<T*>(Comp(index, &IsInstallClass<T>, typeid(T).name()));
  }
  void FreeObjectsOfClass(TInstallClassTest isClass);
  void Broadcast(int code, TPersistent* parameter);
  void SetInstallType(TInstallType type);
  void HideStatusMessage();

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  // Fields.
  bool Include = true;
  bool Processed = false;
  TInstallType CurrentInstallType = itFull;
  bool Uninstall = true;
  OSSet OS;
  TInstallContainerNotifyEvent OnAfterProcess;
  TInstallContainerNotifyEvent OnBeforeProcess;

  const std::string& DestDir() const { return destDir_; }
  TCustomPathSpecifier* DestDirType() const { return destDirType_; }
  TInstallTypeSet InstallTypes() const { return installTypes_; }
  // An empty set stores [itFull].
  void SetInstallTypes(TInstallTypeSet value);
  int Order() const { return order_; }
  void SetOrder(int value) { order_ = value; }
  bool DestDirTypeAssigned() const { return destDirTypeAssigned_; }
  bool DestDirTypeDefaulted() const { return destDirTypeDefaulted_; }
  // Tells the container's processing pass to process this object.
  bool AutoProcess() const { return autoProcess_; }

protected:
  // The processing step shared by every object.
  void ProcessStep();
  // Leaves the registry and tells every other container; runs once, from
  // the most derived destructor that calls it.
  void AnnounceDestruction();

  // Whether object is still a helper, given the change count of the list
  // when a walk over a copy of it began.
  bool StillHelper(TInstallObject* object, std::uint64_t changesBefore) const;

  std::vector<TInstallObject*> helpers_;
  std::uint64_t helpersChanges_ = 0;
  // The helpers a broadcast reaches (rank 2000 and above), as of the change
  // count beside them.
  std::shared_ptr<const std::vector<TInstallObject*>> receivers_;
  std::uint64_t receiversChanges_ = 0;
  std::string destDir_;
  TCustomPathSpecifier* destDirType_ = nullptr;
  TInstallTypeSet installTypes_{itFull, itDefault, itCompact};
  int order_ = -1;
  bool destDirTypeAssigned_ = false;
  bool destDirTypeDefaulted_ = false;
  bool autoProcess_ = false;

private:
  bool registered_ = false;
};

class TInstallObject : public TInstallContainer {
public:
  explicit TInstallObject(TComponent* owner);
  ~TInstallObject() override;
  const char* ClassName() const override { return "TInstallObject"; }

  TInstallContainer* Container() const { return container_; }
  virtual void SetContainer(TInstallContainer* value);
  bool ContainerAssigned() const { return containerAssigned_; }
  bool ContainerDefaulted() const { return containerDefaulted_; }

  void ObjectDestroyed(TInstallContainer* object) override;
  void Install() override;
  void Loaded() override;

protected:
  bool containerAssigned_ = false;
  bool containerDefaulted_ = false;
  TInstallContainer* container_ = nullptr;
};

// An ordered registry of objects in creation order; does not own them.
template <class T, class E>
class TInstallRegistry {
public:
  explicit TInstallRegistry(const char* blankMessage) : blankMessage_(blankMessage) {}
  void Add(T* item) {
    if (!item) throw E(blankMessage_);
    items_.push_back(item);
  }
  void Remove(T* item) {
    for (auto it = items_.begin(); it != items_.end(); ++it)
      if (*it == item) {
        items_.erase(it);
        ++removals_;
        return;
      }
  }
  // Counts what left the registry: while it stays the same, every item seen
  // in it is still there.
  std::uint64_t Removals() const { return removals_; }
  int Count() const { return static_cast<int>(items_.size()); }
  T* Items(int i) const { return items_.at(static_cast<std::size_t>(i)); }
  bool Contains(const T* item) const {
    for (T* i : items_)
      if (i == item) return true;
    return false;
  }
  void Clear() {
    items_.clear();
    ++removals_;
  }

private:
  const char* blankMessage_;
  std::vector<T*> items_;
  std::uint64_t removals_ = 0;
};

using TInstallContainerList = TInstallRegistry<TInstallContainer, IEContainerList>;
using TCustomInstallFileList = TInstallRegistry<TCustomInstallFile, IECustomInstallFileList>;

// Process-wide registries.
TInstallContainerList& InstallContainers();
TCustomInstallFileList& InstallFiles();
TCustomInstallFileList& DeferredRegistrations();
// True outside an installation run; the sequence clears it when a run starts.
extern bool OutsideRun;
// The install component of the project, or none.
extern TInstallContainer* CurrentInstall;
// The registry key (below HKEY_LOCAL_MACHINE) of this setup program's
// record; empty when none is known. The install component assigns it.
extern std::string CurrentInstallKey;
// The shared archive extractor, created on first use.
TTrnwCompress* SharedCompressor();
// The install component's DistributeType, or dtTraditionalNet without one.
TDistributeType EffectiveDistributeType();
// Creates the standard path specifiers on a form owner where missing; set by
// the path specifier unit, called by container constructors.
extern void (*CreateStandardSpecifiersHook)(TComponent* formOwner);
// Tells whether an owner is a form; set by the form toolkit.
extern bool (*IsFormHook)(TComponent* owner);
// The running system; replaceable for tests of the operating-system rule.
extern TOSVerType (*RunningOSHook)();

constexpr const char* kUninstallKeyPrefix = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
