#include "cmp_TInstallContainer.h"

#include <algorithm>

#include "ClassReg.h"
#include "cmp_TTrnwCompress.h"
#include "routines_InstallKey.h"
#include "cmp_TPathSpecifier.h"
#include "routines_API.h"
#include "routines_Strings.h"

bool OutsideRun = true;
TInstallContainer* CurrentInstall = nullptr;
std::string CurrentInstallKey;
void (*CreateStandardSpecifiersHook)(TComponent*) = nullptr;
bool (*IsFormHook)(TComponent*) = nullptr;
TOSVerType (*RunningOSHook)() = &GetOSVersion;

TInstallContainerList& InstallContainers() {
  static TInstallContainerList list("Cannot add a blank entry to the TInstallContainerList object");
  return list;
}
TCustomInstallFileList& InstallFiles() {
  static TCustomInstallFileList list("Cannot add a blank entry to the TCustomInstallFileList object");
  return list;
}
TCustomInstallFileList& DeferredRegistrations() {
  static TCustomInstallFileList list("Cannot add a blank entry to the TCustomInstallFileList object");
  return list;
}

TTrnwCompress* SharedCompressor() {
  static TTrnwCompress* shared = new TTrnwCompress(nullptr);
  return shared;
}

TDistributeType EffectiveDistributeType() {
  return CurrentInstall ? CurrentInstall->DistributeType() : dtTraditionalNet;
}

void TInstallContainer::AddUnfinished(const std::string& text, int kind) {
  AddUnfinishedItem(CurrentInstallKey, text, kind);
}

namespace {
constexpr OSSet kWindowsOS{oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP};
}  // namespace

// ------------------------------------------------------------ TInstallContainer

TInstallContainer::TInstallContainer(TComponent* owner) : TComponent(nullptr) {
  if (owner && IsFormHook && IsFormHook(owner) && CreateStandardSpecifiersHook)
    CreateStandardSpecifiersHook(owner);
  if (owner) owner->InsertComponent(this);
  InstallContainers().Add(this);
  registered_ = true;
  OS = RunningOSHook() == osLinux ? OSSet{osLinux} : kWindowsOS;
}

TInstallContainer::~TInstallContainer() {
  BeginDestroy();
  AnnounceDestruction();
  helpers_.clear();
  ++helpersChanges_;
  if (CurrentInstall == this) CurrentInstall = nullptr;
}

void TInstallContainer::AnnounceDestruction() {
  if (!registered_) return;
  InstallContainers().Remove(this);
  registered_ = false;
  // Copy: a receiver may destroy containers.
  auto& all = InstallContainers();
  std::vector<TInstallContainer*> others;
  for (int i = 0; i < all.Count(); ++i) others.push_back(all.Items(i));
  for (TInstallContainer* c : others)
    if (all.Contains(c)) c->ObjectDestroyed(this);
}

int TInstallContainer::FileContainerCount() {
  int n = 0;
  for (TInstallObject* o : helpers_)
    if (o->IsFileContainer()) ++n;
  return n;
}

TInstallObject* TInstallContainer::FileContainers(int index) {
  int n = 0;
  for (TInstallObject* o : helpers_)
    if (o->IsFileContainer() && n++ == index) return o;
  throw IEInstallContainer(
      "Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer "
      "component. The parameters are probably reversed. Index: %d, ComponentType: %d",
      {index, "TFileContainer"});
}

void TInstallContainer::SetDestDir(const std::string& value) { destDir_ = value; }

void TInstallContainer::SetDestDirType(TCustomPathSpecifier* value) {
  destDirTypeAssigned_ = true;
  if (!IsLoading() && value) value->CheckObject(this);
  if (destDirType_ == value) return;
  destDirType_ = value;
  if (value) value->FreeNotification(this);
}

void TInstallContainer::ObjectDestroyed(TInstallContainer* object) {
  if (auto* o = dynamic_cast<TInstallObject*>(object)) RemoveObject(o);
}

void TInstallContainer::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == destDirType_) destDirType_ = nullptr;
}

void TInstallContainer::ShowStatusMessage(const std::string& text) {
  TMessageParameter p(text);
  Broadcast(bcShowStatusMessage, &p);
}

void TInstallContainer::HideStatusMessage() { Broadcast(bcHideStatusMessage, nullptr); }

std::string TInstallContainer::GetDestPath() {
  return StripBackslash(destDirType_ ? destDirType_->GetPath(this) + destDir_ : destDir_);
}

int TInstallContainer::Rank() const {
  throw IEInstallContainer("Class must declare a registered type");
}

void TInstallContainer::AddObject(TInstallObject* object) {
  if (!object)
    throw IEInstallContainer("Cannot add a blank base helper component to %s", {Name()});
  if (object == this) throw IEInstallContainer("Circular reference");
  for (TInstallContainer* c = this; auto* o = dynamic_cast<TInstallObject*>(c);) {
    c = o->Container();
    if (c == object) throw IEInstallContainer("Circular reference");
  }
  std::size_t pos = helpers_.size();
  if (SameText(object->ClassName(), "TINSTALLBDE")) {
    pos = 0;
  } else {
    const int rank = object->Rank();
    for (std::size_t i = 0; i < helpers_.size(); ++i)
      if (helpers_[i]->Rank() >= rank) {
        pos = i;
        break;
      }
  }
  helpers_.insert(helpers_.begin() + static_cast<std::ptrdiff_t>(pos), object);
  ++helpersChanges_;
}

void TInstallContainer::RemoveObject(TInstallObject* object) {
  if (!object) return;
  auto it = std::find(helpers_.begin(), helpers_.end(), object);
  if (it != helpers_.end()) {
    helpers_.erase(it);
    ++helpersChanges_;
  }
}

void TInstallContainer::Install() { ProcessStep(); }

void TInstallContainer::ProcessStep() {
  const TOSVerType os = RunningOSHook();
  if (static_cast<int>(os) > 15 || !OS.Contains(os)) Include = false;
  try {
    CallHandler(OnBeforeProcess, this);
    Broadcast(bcBeforeProcess, nullptr);
    if (!Include) return;
    Broadcast(bcIncluded, nullptr);
    if (CurrentInstallType != itCustom && !installTypes_.Contains(CurrentInstallType)) return;
    InstallObjects();
    Processed = true;
    if (CurrentInstall && Uninstall && CurrentInstall->RecordsForUninstall())
      RecordForUninstall(kUninstallKeyPrefix + CurrentInstall->UninstallProductName());
    CallHandler(OnAfterProcess, this);
    Broadcast(bcAfterProcess, nullptr);
  } catch (const EAbort&) {
  }
}

void TInstallContainer::InstallObjects() {
  Processed = true;
  // Copy: processing may change the tree.
  const std::vector<TInstallObject*> list = helpers_;
  const std::uint64_t changes = helpersChanges_;
  for (TInstallObject* o : list)
    if (StillHelper(o, changes) && o->AutoProcess()) o->Install();
}

bool TInstallContainer::IsSelected() const {
  return Include && (CurrentInstallType == itCustom || installTypes_.Contains(CurrentInstallType));
}

TInstallObject* TInstallContainer::HelperComponent(int index) const {
  if (index < 0 || index >= ObjectCount())
    throw IEInstallContainer(
        "Tried to reference a helper component in the following component: %s. The following "
        "index was used: %d",
        {Name(), index});
  return helpers_[static_cast<std::size_t>(index)];
}

int TInstallContainer::CountOfClass(TInstallClassTest isClass) const {
  return static_cast<int>(std::count_if(helpers_.begin(), helpers_.end(), isClass));
}

TInstallObject* TInstallContainer::Comp(int index, TInstallClassTest isClass,
                                        const char* className) const {
  int n = 0;
  for (TInstallObject* o : helpers_)
    if (isClass(o) && n++ == index) return o;
  throw IEInstallContainer(
      "Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer "
      "component. The parameters are probably reversed. Index: %d, ComponentType: %d",
      {index, className});
}

void TInstallContainer::FreeObjectsOfClass(TInstallClassTest isClass) {
  for (int i = ObjectCount() - 1; i >= 0; --i) {
    if (i >= ObjectCount()) continue;
    TInstallObject* o = helpers_[static_cast<std::size_t>(i)];
    if (isClass(o)) delete o;
  }
}

bool TInstallContainer::StillHelper(TInstallObject* object, std::uint64_t changesBefore) const {
  return changesBefore == helpersChanges_ || std::find(helpers_.begin(), helpers_.end(), object) != helpers_.end();
}

void TInstallContainer::Broadcast(int code, TPersistent* parameter) {
  // Broadcasts run for every block of every file: the receivers are picked
  // out of the helpers again only after the helpers changed. The list held
  // here stays as it is while a receiver changes the helpers; membership is
  // looked up again only once they did change.
  if (!receivers_ || receiversChanges_ != helpersChanges_) {
    auto picked = std::make_shared<std::vector<TInstallObject*>>();
    for (TInstallObject* o : helpers_)
      if (o->Rank() >= 2000 && o->HearsBroadcasts()) picked->push_back(o);
    receivers_ = std::move(picked);
    receiversChanges_ = helpersChanges_;
  }
  const std::shared_ptr<const std::vector<TInstallObject*>> list = receivers_;
  const std::uint64_t changes = helpersChanges_;
  for (TInstallObject* o : *list)
    if (StillHelper(o, changes)) o->Notify(this, code, parameter);
}

void TInstallContainer::SetInstallType(TInstallType type) {
  for (TInstallObject* o : helpers_) o->SetInstallType(type);
  CurrentInstallType = type;
}

void TInstallContainer::SetInstallTypes(TInstallTypeSet value) {
  installTypes_ = value.Empty() ? TInstallTypeSet{itFull} : value;
}

void TInstallContainer::Loaded() {
  if (destDirTypeDefaulted_ && !destDirTypeAssigned_) SetDestDirType(nullptr);
  destDirTypeDefaulted_ = false;
  TComponent::Loaded();
}

// ------------------------------------------------------------ TInstallObject

TInstallObject::TInstallObject(TComponent* owner) : TInstallContainer(owner) {
  if (owner && owner->IsDesigning() && CurrentInstall && CurrentInstall != this) {
    CurrentInstall->AddObject(this);
    container_ = CurrentInstall;
    destDirType_ = StandardContainerDestDir();
    if (destDirType_) destDirType_->FreeNotification(this);
    destDir_.clear();
    containerDefaulted_ = true;
    destDirTypeDefaulted_ = true;
  }
}

TInstallObject::~TInstallObject() {
  BeginDestroy();
  AnnounceDestruction();
}

void TInstallObject::SetContainer(TInstallContainer* value) {
  containerAssigned_ = true;
  if (value == container_) return;
  if (value) value->AddObject(this);
  if (container_) container_->RemoveObject(this);
  container_ = value;
  if (IsLoading()) return;
  if (value) {
    SetDestDirType(StandardContainerDestDir());
    SetDestDir(std::string());
  } else if (destDirType_ && destDirType_->IsContainerDestDir()) {
    SetDestDirType(nullptr);
  }
}

void TInstallObject::ObjectDestroyed(TInstallContainer* object) {
  TInstallContainer::ObjectDestroyed(object);
  if (object == container_) container_ = nullptr;
}

void TInstallObject::Install() {
  if (CurrentInstall && CurrentInstall->IsInstalling() && container_ && !container_->Processed)
    return;
  ProcessStep();
}

void TInstallObject::Loaded() {
  if (containerDefaulted_ && !containerAssigned_) SetContainer(nullptr);
  containerDefaulted_ = false;
  TInstallContainer::Loaded();
}

// ------------------------------------------------------------ stream properties

namespace {
const std::vector<std::string> kInstallTypeIdents{"itFull", "itDefault", "itCompact", "itCustom"};
const std::vector<std::string> kOSIdents{"os31win32", "oswin95",  "oswinNT", "oswinNT351", "osUnidentified",
                                         "osLinux",   "oswin2K",  "oswin98", "oswinME",    "oswinXP"};

TClassRegistrar<TInstallContainer> regContainer("TInstallContainer", "TComponent", [](TClassInfo& c) {
  c.Boolean<TInstallContainer>("Include", [](TInstallContainer& o, bool v) { o.Include = v; });
  c.Boolean<TInstallContainer>("Uninstall", [](TInstallContainer& o, bool v) { o.Uninstall = v; });
  c.Set<TInstallContainer>("OS", kOSIdents, [](TInstallContainer& o, unsigned v) {
    o.OS = OSSet::FromBits(static_cast<std::uint16_t>(v));
  });
  c.Set<TInstallContainer>("InstallTypes", kInstallTypeIdents, [](TInstallContainer& o, unsigned v) {
    o.SetInstallTypes(TInstallTypeSet::FromBits(static_cast<std::uint8_t>(v)));
  });
  c.String<TInstallContainer>(
      "DestDir", [](TInstallContainer& o, const std::string& v) { o.SetDestDir(v); },
      [](TInstallContainer& o) { return o.DestDir(); });
  c.Reference<TInstallContainer>("DestDirType", [](TInstallContainer& o, TComponent* v) {
    auto* ps = dynamic_cast<TCustomPathSpecifier*>(v);
    if (!ps) TClassInfo::Invalid();
    o.SetDestDirType(ps);
  });
  c.Integer<TInstallContainer>("Order", [](TInstallContainer& o, int v) { o.SetOrder(v); });
}, nullptr);

TClassRegistrar<TInstallObject> regObject("TInstallObject", "TInstallContainer", [](TClassInfo& c) {
  c.Reference<TInstallObject>("Container", [](TInstallObject& o, TComponent* v) {
    auto* ic = dynamic_cast<TInstallContainer*>(v);
    if (!ic) TClassInfo::Invalid();
    o.SetContainer(ic);
  });
}, nullptr);
}  // namespace
