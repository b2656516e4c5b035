#include "cmp_TInstallShellLink.h"

#include <windows.h>

#include <cstdlib>
#include <objbase.h>
#include <shlobj.h>

#include "ClassReg.h"
#include "WinHandles.h"
#include "cmp_TFileContainer.h"
#include "cmp_TInstallInformation.h"
#include "cmp_TInstallFile.h"
#include "format_UninstallRecord.h"
#include "routines_ExpandPaths.h"
#include "routines_FileSystem.h"
#include "routines_Journal.h"
#include "routines_Registry.h"
#include "routines_Log.h"
#include "routines_Strings.h"

#undef CreateHardLink

namespace {

TMainLinkGroup* g_mainLinkGroup = nullptr;

bool OwnerIsForm(TComponent* owner) { return owner && IsFormHook && IsFormHook(owner); }

// Characters a file name cannot hold; backslash and colon stay.
std::string ReplaceNameCharacters(std::string s) {
  for (char& c : s)
    if (c == '"' || c == '*' || c == '/' || c == '<' || c == '>' || c == '?' || c == '|') c = '_';
  return s;
}

std::string ComErrorText(HRESULT code) {
  switch (static_cast<unsigned long>(code)) {
    case 0x8000FFFFul: return TranslateExceptionMessage("Indicates an unexpected error occurred");
    case 0x80040110ul: return TranslateExceptionMessage("Indicates this class cannot be created as part of an aggregate");
    case 0x80040154ul:
      return TranslateExceptionMessage("Indicates that a specified class is not registered in the registration database");
    case 0x8007000Eul: return TranslateExceptionMessage("Out of memory");
    case 0x80070057ul: return TranslateExceptionMessage("Indicates one or more arguments are invalid");
    case 0: return std::string();
    default: {
      char* buffer = nullptr;
      DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
      std::string text = n && buffer ? std::string(buffer, n) : std::string();
      if (buffer) LocalFree(buffer);
      return Trim(text);
    }
  }
}

}  // namespace

TMainLinkGroup* MainLinkGroup() { return g_mainLinkGroup; }

TInstallShellLinkList& ShellLinks() {
  static TInstallShellLinkList list("Cannot add a blank entry to the shell link list");
  return list;
}

TInstallShellLinkList& MainLinks() {
  static TInstallShellLinkList list("Cannot add a blank entry to the shell link list");
  return list;
}

TpsObjectLink* ProjectObjectLinkSpecifier() {
  return static_cast<TpsObjectLink*>(PathSpecifiers().Find(PathSpecifierClassOf<TpsObjectLink>()));
}

// ------------------------------------------------------------ link groups

// Groups and links are installed by the sequence's shell-link passes
// (bcInstallShellLinkGroups, bcInstallShellLinks), not by their container.
TCustomShellLinkGroup::TCustomShellLinkGroup(TComponent* owner) : TInstallObject(owner) { Include = true; }

TCustomShellLinkGroup::~TCustomShellLinkGroup() {
  BeginDestroy();
  AnnounceDestruction();
}

void TCustomShellLinkGroup::InstallObjects() {
  Broadcast(bcShellLinkGroupInstall, nullptr);
  CreateDirectoryTree(GetDestPath());
  TInstallObject::InstallObjects();
}

void TCustomShellLinkGroup::Notify(TInstallContainer* sender, int code, TPersistent* parameter) {
  TInstallObject::Notify(sender, code, parameter);
  if (code == bcInstallShellLinkGroups) Install();
}

void TCustomShellLinkGroup::ObjectDestroyed(TInstallContainer* object) {
  const bool containerGone = object && object == container_;
  TInstallObject::ObjectDestroyed(object);
  // A group outlives no container; one without an owner belongs to whoever made it.
  if (containerGone && Owner() && !IsDestroying()) delete this;
}

TMainLinkGroup::TMainLinkGroup(TComponent* owner) : TCustomShellLinkGroup(owner) {
  if (g_mainLinkGroup) throw IEShellLinkGroup("You can only have one TMainLinkGroup component in your project");
  g_mainLinkGroup = this;
  TInstallInformation* info = CurrentInstall ? CurrentInstall->Information() : nullptr;
  SetDestDir(info ? "\\" + info->ProductName : std::string("\\MainFolderName"));
  SetDestDirType(nullptr);
}

TMainLinkGroup::~TMainLinkGroup() {
  BeginDestroy();
  if (g_mainLinkGroup == this) g_mainLinkGroup = nullptr;
  AnnounceDestruction();
}

void TMainLinkGroup::SetDestDirType(TCustomPathSpecifier* value) {
  TCustomPathSpecifier* menu = StandardPathSpecifiers().Find(PathSpecifierClassOf<TpsProgramMenu>());
  if (!menu) {
    TComponent* owner = Owner();
    menu = new TpsProgramMenu(owner);
    if (owner && !owner->FindComponent(menu->DefaultName())) menu->SetName(menu->DefaultName());
  }
  TCustomShellLinkGroup::SetDestDirType(menu);
}

// ------------------------------------------------------------ TCustomInstallShellLink

TCustomInstallShellLink::TCustomInstallShellLink(TComponent* owner) : TInstallObject(owner) {
  ShellLinks().Add(this);
  if (OwnerIsForm(owner) && !ProjectObjectLinkSpecifier()) {
    auto* ps = new TpsObjectLink(owner);
    if (!owner->FindComponent("psObjectLink")) ps->SetName("psObjectLink");
  }
}

TCustomInstallShellLink::~TCustomInstallShellLink() {
  BeginDestroy();
  ShellLinks().Remove(this);
  AnnounceDestruction();
}

void TCustomInstallShellLink::InitializeCom() {
  if (comReady_) return;
  HRESULT hr = CoInitialize(nullptr);
  if (hr != S_OK && hr != S_FALSE)
    throw IEInstallShellLink("Could not initialize IShellLink with following error code returned: %d",
                             {static_cast<long long>(hr)});
  comReady_ = true;
}

std::string TCustomInstallShellLink::LinkPath() { return AddBackslash(GetDestPath()) + linkName_; }

void TCustomInstallShellLink::SetLinkName(const std::string& value) {
  const std::string oldExt = UpperCase(ExtractFileExt(linkName_));
  linkName_ = ReplaceNameCharacters(value);
  if (IsLoading()) return;
  if (Trim(linkName_).empty()) return;
  const std::string ext = UpperCase(ExtractFileExt(linkName_));
  if (ext == ".URL") {
    objectLink_ = nullptr;
    if (dynamic_cast<TpsObjectLink*>(objectLocationType_)) objectLocationType_ = nullptr;
  } else if (ext != ".LNK") {
    linkName_ = ChangeFileExt(linkName_, oldExt.empty() ? std::string(".LNK") : oldExt);
  }
}

void TCustomInstallShellLink::SetObjectLocation(const std::string& value) {
  objectLocation_ = dynamic_cast<TpsObjectLink*>(objectLocationType_) ? std::string() : value;
  if (IsLoading()) return;
  const std::string current = UpperCase(Trim(linkName_));
  if (!current.empty() && current != ".LNK") return;
  const std::string upper = UpperCase(value);
  std::size_t pos;
  // An address keeps its text as the name; characters a file name cannot
  // hold (the slashes of a path) are replaced, or the file could not be made.
  if ((pos = upper.find("HTTP://")) != std::string::npos) {
    linkName_ = ReplaceNameCharacters(value.substr(pos + 7)) + ".URL";
  } else if ((pos = upper.find("FTP://")) != std::string::npos) {
    linkName_ = ReplaceNameCharacters(value.substr(pos + 6)) + ".URL";
  } else {
    SetLinkName(ChangeFileExt(ExtractFileName(value), ""));
  }
}

void TCustomInstallShellLink::SetObjectLocationType(TCustomPathSpecifier* value) {
  if (!IsLoading() && value) {
    value->CheckObject(this);
    if (dynamic_cast<TpsObjectLink*>(value)) objectLocation_.clear();
  }
  if (objectLocationType_ == value) return;
  objectLocationType_ = value;
  if (value) value->FreeNotification(this);
}

void TCustomInstallShellLink::SetObjectLink(TInstallContainer* value) {
  if (IsLoading()) {
    objectLink_ = value;
    return;
  }
  if (!value) {
    objectLink_ = nullptr;
    objectLocationType_ = nullptr;
    return;
  }
  TCustomPathSpecifier* ps = ProjectObjectLinkSpecifier();
  if (ps && ps != objectLocationType_) ps->FreeNotification(this);
  objectLocationType_ = ps;
  objectLocation_.clear();
  std::string name;
  if (auto* file = dynamic_cast<TCustomInstallFile*>(value))
    name = ChangeFileExt(file->FinalName(), ".lnk");
  else if (auto* dir = dynamic_cast<TInstallDirectory*>(value))
    name = dir->Description + ".lnk";
  else
    name = value->Name() + ".lnk";
  SetLinkName(name);
  if (!container_) SetContainer(value);
  objectLink_ = value;
}

std::string TCustomInstallShellLink::GetTargetPath() {
  if (objectLocationType_) return objectLocationType_->GetPath(this) + objectLocation_;
  return StripBackslash(objectLocation_);
}

void TCustomInstallShellLink::InstallObjects() {
  if (Trim(linkName_).empty())
    throw IEInstallShellLink("The LinkName is blank for %s and therefore could not be installed", {Name()});
  made_ = false;
  if (objectLink_) {
    // A target that was not installed gets no shortcut, no record and no events.
    if (!objectLink_->Processed) Abort();
    if (InheritsFromClassName(objectLink_, "TUninstallEXE")) {
      TInstallInformation* info = CurrentInstall ? CurrentInstall->Information() : nullptr;
      if (!CurrentInstall)
        throw IEInstallShellLink("%s cannot perform operation because there is no TInstall component", {Name()});
      Parameters = info ? info->ProductName : CurrentInstall->UninstallProductName();
    }
    if (dynamic_cast<TCustomShellLinkGroup*>(objectLink_)) CreateDirectoryTree(objectLink_->GetDestPath());
  }
  if (UpperCase(ExtractFileExt(linkName_)) == ".URL") {
    CreateInternetShortcut();
    made_ = true;
  } else if (Method == mtShellLinkInterface) {
    CreateShellLink();
    made_ = true;
  } else {
    switch (EffectiveOS(RunningOSHook())) {
      case oswin95: case oswin98: case oswinME: case oswinNT:
        CreateShellLink();
        made_ = true;
        break;
      case oswin2K: case oswinXP:
        if (HardLink) CreateHardLink();
        else CreateShellLink();
        made_ = true;
        break;
      default:
        break;
    }
  }
  TInstallObject::InstallObjects();
}

void TCustomInstallShellLink::CreateShellLink() {
  InitializeCom();
  const std::string folder = StripBackslash(GetDestPath());
  CreateDirectoryTree(folder);
  const std::string arguments = ExpandMetaVariables(Parameters, this);
  const std::string target = GetTargetPath();
  const std::string linkPath = LinkPath();
  HRESULT hr = S_OK;
  try {
    TComPtr<IShellLinkA> link;
    hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                          link.PutVoid());
    if (SUCCEEDED(hr)) hr = link->SetPath(target.c_str());
    if (SUCCEEDED(hr)) hr = link->SetHotkey(HotKey);
    if (SUCCEEDED(hr)) hr = link->SetArguments(arguments.c_str());
    if (SUCCEEDED(hr)) {
      const std::string dir = !Trim(WorkingDirectory).empty() ? WorkingDirectory : StripBackslash(ExtractFilePath(target));
      hr = link->SetWorkingDirectory(dir.c_str());
    }
    if (SUCCEEDED(hr) && !Trim(IconLocation).empty()) hr = link->SetIconLocation(IconLocation.c_str(), IconIndex);
    TComPtr<IPersistFile> file;
    if (SUCCEEDED(hr)) hr = link.QueryInterface(IID_IPersistFile, file);
    if (SUCCEEDED(hr)) {
      wchar_t wide[MAX_PATH + 1] = {};
      int n = MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
      if (n == 0) {
        hr = E_INVALIDARG;
      } else {
        journal::BeforeOverwrite(linkPath);
        hr = file->Save(wide, TRUE);
      }
    }
  } catch (const Exception& e) {
    throw IEInstallShellLink(
        "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s",
        {Name(), e.Message()});
  }
  if (FAILED(hr))
    throw IEInstallShellLink(
        "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s. Error code %d",
        {Name(), ComErrorText(hr), static_cast<long long>(hr)});
  LogLine("Shortcut " + linkPath + " -> " + target);
}

void TCustomInstallShellLink::CreateHardLink() {
  CreateDirectoryTree(StripBackslash(GetDestPath()));
  bool success = false;
  journal::BeforeOverwrite(LinkPath());
  MakeHardLink(LinkPath(), GetTargetPath(), nullptr, success);
  if (!success) throw IEInstallHardLink("Could not create hardlink for %s", {Name()});
  LogLine("Shortcut (hard link) " + LinkPath() + " -> " + GetTargetPath());
}

void TCustomInstallShellLink::CreateInternetShortcut() {
  CreateDirectoryTree(StripBackslash(GetDestPath()));
  journal::BeforeOverwrite(LinkPath());
  if (!WritePrivateProfileStringA("InternetShortcut", "URL", objectLocation_.c_str(), LinkPath().c_str()))
    throw IEInstallShellLink(
        "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s",
        {Name(), ComErrorText(HRESULT_FROM_WIN32(GetLastError()))});
  LogLine("Shortcut " + LinkPath() + " -> " + objectLocation_);
}

void TCustomInstallShellLink::RecordForUninstall(const std::string& key) {
  // Only a shortcut that exists is the uninstaller's to remove.
  if (made_) uninstallrecord::AppendFile(key, LinkPath());
}

void TCustomInstallShellLink::ObjectDestroyed(TInstallContainer* object) {
  const bool gone = object && (object == objectLink_ || object == container_);
  if (object && object == objectLink_) objectLink_ = nullptr;
  TInstallObject::ObjectDestroyed(object);
  // A shortcut without its target or folder has no meaning; one without an
  // owner belongs to whoever made it.
  if (gone && Owner() && !IsDestroying()) delete this;
}

void TCustomInstallShellLink::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation == opRemove && component == objectLocationType_) objectLocationType_ = nullptr;
}

void TCustomInstallShellLink::Notify(TInstallContainer* sender, int code, TPersistent* parameter) {
  TInstallObject::Notify(sender, code, parameter);
  if (code == bcInstallShellLinks) Install();
}

// ------------------------------------------------------------ TInstallMainLink

TInstallMainLink::TInstallMainLink(TComponent* owner) : TCustomInstallShellLink(owner) {
  if (!g_mainLinkGroup)
    throw IEInstallShellLink("To create a TInstallMainLink you must first have a TMainLinkGroup component in your project");
  MainLinks().Add(this);
  SetContainer(g_mainLinkGroup);
}

TInstallMainLink::~TInstallMainLink() {
  BeginDestroy();
  MainLinks().Remove(this);
  AnnounceDestruction();
}

void TInstallMainLink::SetContainer(TInstallContainer* value) {
  if (value && value != g_mainLinkGroup)
    throw IEInstallShellLink(
        "The TMainLinkGroup component must be the Container for TInstallMainLink and TSubLinkGroup components");
  TCustomInstallShellLink::SetContainer(value);
  TInstallMainLink::SetDestDirType(nullptr);
}

void TInstallMainLink::SetDestDirType(TCustomPathSpecifier* value) {
  TCustomInstallShellLink::SetDestDirType(StandardContainerDestDir());
}

// ------------------------------------------------------------ TpsObjectLink

TpsObjectLink::TpsObjectLink(TComponent* owner) : TStandardPathSpecifier(owner) { defaultName_ = "psObjectLink"; }

void TpsObjectLink::CheckObject(TInstallContainer* obj) {
  auto* link = dynamic_cast<TCustomInstallShellLink*>(obj);
  if (!link)
    throw IEPathSpecifier("%s must be a %s to use the %s path specifier",
                          {obj ? obj->Name() : std::string(), "TCustomInstallShellLink", "psObjectLink"});
  if (!link->ObjectLink())
    throw IEPathSpecifier("Cannot use ddObjectLink for %s unless you assign a value to ObjectLink", {link->Name()});
}

std::string TpsObjectLink::GetDescription() { return "Path of the file or file group in the ObjectLink property"; }

std::string TpsObjectLink::GetPath(TInstallContainer* obj) {
  CheckObject(obj);
  TInstallContainer* target = static_cast<TCustomInstallShellLink*>(obj)->ObjectLink();
  if (auto* file = dynamic_cast<TCustomInstallFile*>(target)) return StripBackslash(file->InstalledPath());
  return StripBackslash(target->GetDestPath());
}

// ------------------------------------------------------------ streaming

void RegisterShellLinkClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterClassInfo("TCustomShellLinkGroup", "TInstallObject", nullptr);
  RegisterClassInfo("TMainLinkGroup", "TCustomShellLinkGroup",
                    [](TComponent* owner) -> TComponent* { return new TMainLinkGroup(owner); });

  TClassInfo& l = RegisterClassInfo("TCustomInstallShellLink", "TInstallObject", nullptr);
  l.Integer<TCustomInstallShellLink>("HotKey", [](TCustomInstallShellLink& o, int v) {
    if (v < 0 || v > 0xFFFF) TClassInfo::Invalid();
    o.HotKey = static_cast<unsigned short>(v);
  });
  l.String<TCustomInstallShellLink>(
      "LinkName", [](TCustomInstallShellLink& o, const std::string& v) { o.SetLinkName(v); },
      [](TCustomInstallShellLink& o) { return o.LinkName(); });
  l.Enum<TCustomInstallShellLink>("Method", {"mtAutoDetect", "mtShellLinkInterface"},
                                  [](TCustomInstallShellLink& o, int v) { o.Method = static_cast<TMethodType>(v); });
  l.Reference<TCustomInstallShellLink>("ObjectLink", [](TCustomInstallShellLink& o, TComponent* v) {
    auto* target = dynamic_cast<TInstallContainer*>(v);
    if (v && !target) TClassInfo::Invalid();
    o.SetObjectLink(target);
  });
  l.String<TCustomInstallShellLink>(
      "ObjectLocation", [](TCustomInstallShellLink& o, const std::string& v) { o.SetObjectLocation(v); },
      [](TCustomInstallShellLink& o) { return o.ObjectLocation(); });
  l.Reference<TCustomInstallShellLink>("ObjectLocationType", [](TCustomInstallShellLink& o, TComponent* v) {
    auto* ps = dynamic_cast<TCustomPathSpecifier*>(v);
    if (v && !ps) TClassInfo::Invalid();
    o.SetObjectLocationType(ps);
  });
  l.String<TCustomInstallShellLink>(
      "Parameters", [](TCustomInstallShellLink& o, const std::string& v) { o.Parameters = v; },
      [](TCustomInstallShellLink& o) { return o.Parameters; });

  RegisterClassInfo("TInstallMainLink", "TCustomInstallShellLink",
                    [](TComponent* owner) -> TComponent* { return new TInstallMainLink(owner); });
  RegisterClassInfo("TpsObjectLink", "TComponent",
                    [](TComponent* owner) -> TComponent* { return new TpsObjectLink(owner); });
}
