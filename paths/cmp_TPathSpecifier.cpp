#include "cmp_TPathSpecifier.h"

#include <windows.h>

#include "ClassReg.h"
#include "cmp_TInstallContainer.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_ExpandPaths.h"
#include "routines_PathText.h"
#include "routines_Registry.h"
#include "routines_Strings.h"
#include "specifiers_Office.h"
#include "specifiers_windows.h"

// ------------------------------------------------------------ registries

namespace {
// Set when the registries are destroyed at program end; specifiers freed
// later do not deregister.
bool g_registriesFinalised = false;

struct TRegistries {
  TPathSpecifierList specifiers;
  TStandardPathSpecList standard;
  TPathSpecifierClassList classes;
  ~TRegistries() { g_registriesFinalised = true; }
};

TRegistries& Registries() {
  static TRegistries r;
  return r;
}

constexpr const char* kNilEntry = "Tried to add a nil object to the path specifier list";
}  // namespace

TPathSpecifierList& PathSpecifiers() { return Registries().specifiers; }
TStandardPathSpecList& StandardPathSpecifiers() { return Registries().standard; }
TPathSpecifierClassList& PathSpecifierClasses() { return Registries().classes; }

void TPathSpecifierList::Add(TCustomPathSpecifier* specifier) {
  if (!specifier) throw IEPathSpecifierList(kNilEntry);
  items_.push_back(specifier);
}

void TPathSpecifierList::Remove(TCustomPathSpecifier* specifier) {
  for (auto it = items_.begin(); it != items_.end(); ++it)
    if (*it == specifier) {
      items_.erase(it);
      return;
    }
}

bool TPathSpecifierList::Contains(const TCustomPathSpecifier* specifier) const {
  for (TCustomPathSpecifier* s : items_)
    if (s == specifier) return true;
  return false;
}

TCustomPathSpecifier* TPathSpecifierList::Find(const TPathSpecifierClass* cls) const {
  if (!cls) return nullptr;
  for (TCustomPathSpecifier* s : items_)
    if (cls->IsInstance(s)) return s;
  return nullptr;
}

TCustomPathSpecifier* TPathSpecifierList::FindByClass(const TPathSpecifierClass* cls) const {
  TCustomPathSpecifier* s = Find(cls);
  if (!s) throw IEPathSpecifier("Could not find the path specifier");
  return s;
}

void TStandardPathSpecList::CreateStandardSpecifiers(TComponent* owner, bool onlyMissing) {
  if (!owner) return;
  TPathSpecifierClassList& classes = PathSpecifierClasses();
  for (int i = 0; i < classes.Count(); ++i) {
    const TPathSpecifierClass* cls = classes.Items(i);
    if (onlyMissing && PathSpecifiers().Find(cls)) continue;
    TCustomPathSpecifier* s = cls->Create(owner);
    s->SetName(s->DefaultName());
  }
}

void TPathSpecifierClassList::Add(const TPathSpecifierClass* cls) {
  if (!cls) throw IEPathSpecifierClassList(kNilEntry);
  items_.push_back(cls);
}

bool TPathSpecifierClassList::Contains(const TPathSpecifierClass* cls) const {
  for (const TPathSpecifierClass* c : items_)
    if (c == cls) return true;
  return false;
}

TCustomPathSpecifier* StandardContainerDestDir() {
  return StandardPathSpecifiers().Find(PathSpecifierClassOf<TpsContainerDestDir>());
}

// ------------------------------------------------------------ base classes

TCustomPathSpecifier::TCustomPathSpecifier(TComponent* owner) : TComponent(owner) {
  PathSpecifiers().Add(this);
}

TCustomPathSpecifier::~TCustomPathSpecifier() {
  if (!g_registriesFinalised) PathSpecifiers().Remove(this);
}

std::string TCustomPathSpecifier::GetPath(TInstallContainer* obj) {
  std::string path;
  if (OnGetPath) OnGetPath(obj, path);
  return path;
}

TStandardPathSpecifier::TStandardPathSpecifier(TComponent* owner) : TCustomPathSpecifier(owner) {
  StandardPathSpecifiers().Add(this);
}

TStandardPathSpecifier::~TStandardPathSpecifier() {
  if (!g_registriesFinalised) StandardPathSpecifiers().Remove(this);
}

// ------------------------------------------------------------ links

bool InheritsFromClassName(const TComponent* obj, const std::string& className) {
  if (!obj) return false;
  std::string name = obj->ClassName();
  for (int guard = 0; guard < 64 && !name.empty(); ++guard) {
    if (name == className) return true;
    const TClassInfo* info = FindClassInfo(name);
    if (!info) return false;
    name = info->Parent;
  }
  return false;
}

TPathSpecifierLinks& PathSpecifierLinks() {
  static TPathSpecifierLinks links;
  return links;
}

namespace {
std::string ProgramDir() {
  char buf[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  return ExtractFileDir(buf);
}

std::string LinkedSourceDir(TInstallContainer* install) {
  auto& f = PathSpecifierLinks().SourceDir;
  return f ? f(install) : ProgramDir();
}

bool LinkedSelfExtractor(TInstallContainer* install, std::string& argument) {
  auto& f = PathSpecifierLinks().SelfExtractor;
  return f ? f(install, argument) : false;
}

bool LinkedIsFileRelated(TInstallContainer* obj) {
  auto& f = PathSpecifierLinks().IsFileRelated;
  return f ? f(obj) : InheritsFromClassName(obj, "TFileRelated");
}

std::string LinkedArchivePath(TInstallContainer* obj) {
  auto& f = PathSpecifierLinks().ArchivePath;
  if (!f) throw IEPathSpecifier("The archive path of %s is not available", {obj->Name()});
  return f(obj);
}

std::string PublishedDescription(TInstallContainer* c) {
  const TClassInfo* info = FindClassInfo(c->ClassName());
  const TPropInfo* p = info ? info->FindProp("Description") : nullptr;
  return p && p->GetString ? p->GetString(*c) : std::string();
}

TContainerKind LinkedContainerKind(TInstallContainer* c, std::string& description) {
  auto& f = PathSpecifierLinks().ContainerKind;
  if (f) return f(c, description);
  if (c == CurrentInstall || InheritsFromClassName(c, "TCustomInstall")) return ckInstall;
  if (InheritsFromClassName(c, "TCustomInstallGroup")) {
    description = PublishedDescription(c);
    return ckGroup;
  }
  if (InheritsFromClassName(c, "TFileContainer")) {
    description = PublishedDescription(c);
    return ckFileContainer;
  }
  return ckOther;
}

std::string ObjectName(TInstallContainer* obj) { return obj ? obj->Name() : std::string("nil"); }

// obj as an install object with a container, else IEPathSpecifier.
TInstallObject* RequireInstallObject(TInstallContainer* obj, const std::string& specifierName) {
  auto* o = dynamic_cast<TInstallObject*>(obj);
  if (!o)
    throw IEPathSpecifier("%s must be a %s to use the %s path specifier",
                          {ObjectName(obj), "TInstallObject", specifierName});
  return o;
}

void RequireInstall(TInstallContainer* obj) {
  if (!CurrentInstall)
    throw IEPathSpecifier("There is no TInstall component so the path specifier could not be expanded for %s",
                          {ObjectName(obj)});
}
}  // namespace

// ------------------------------------------------------------ core standard specifiers

#define TW_TEXTS(Cls, description, displayName)              \
  std::string Cls::GetDescription() { return description; } \
  std::string Cls::GetDisplayName() { return displayName; }

TpsBDEDLL::TpsBDEDLL(TComponent* owner) : TStandardPathSpecifier(owner) { defaultName_ = "psBDEDLL"; }
TW_TEXTS(TpsBDEDLL, "Borland Database Engine DLL Path", "BDE DLL")
std::string TpsBDEDLL::GetPath(TInstallContainer*) {
  std::string list = ReadRegistryString(kHKLM, "\\Software\\Borland\\Database Engine", "DLLPath", "");
  if (list.empty()) list = AddBackslash(GetProgramFilesDir()) + "Borland\\Common Files\\BDE";
  return FirstListEntry(list);
}

TpsCommonFiles::TpsCommonFiles(TComponent* owner) : TStandardPathSpecifier(owner) {
  defaultName_ = "psCommonFiles";
}
TW_TEXTS(TpsCommonFiles, "Path of the common files directory under the program files directory", "Common files")
std::string TpsCommonFiles::GetPath(TInstallContainer*) { return GetCommonFilesDir(); }

TpsContainerArchiveFile::TpsContainerArchiveFile(TComponent* owner) : TStandardPathSpecifier(owner) {
  defaultName_ = "psContainerArchiveFile";
}
TW_TEXTS(TpsContainerArchiveFile, "Path to the archive file of the container", "Container archive file")
void TpsContainerArchiveFile::CheckObject(TInstallContainer* obj) {
  TInstallObject* o = RequireInstallObject(obj, DefaultName());
  if (!o->Container())
    throw IEPathSpecifier("Cannot use ddContainerArchiveFile for %s unless you assign a Container", {o->Name()});
  if (!LinkedIsFileRelated(o->Container()))
    throw IEPathSpecifier(
        "Cannot use the ddContainerArchiveFile path specifier for %s because the Container is not a "
        "TFileRelated descendant",
        {o->Name()});
}
std::string TpsContainerArchiveFile::GetPath(TInstallContainer* obj) {
  CheckObject(obj);
  return StripBackslash(LinkedArchivePath(static_cast<TInstallObject*>(obj)->Container()));
}

TpsContainerDestDir::TpsContainerDestDir(TComponent* owner) : TStandardPathSpecifier(owner) {
  defaultName_ = "psContainerDestDir";
}
std::string TpsContainerDestDir::GetDescription() { return "Path of the group (container)"; }
void TpsContainerDestDir::CheckObject(TInstallContainer* obj) {
  TInstallObject* o = RequireInstallObject(obj, DefaultName());
  if (!o->Container())
    throw IEPathSpecifier("Cannot use ddContainerDestDir for %s unless you assign a Container", {o->Name()});
}
std::string TpsContainerDestDir::GetPath(TInstallContainer* obj) {
  CheckObject(obj);
  return StripBackslash(static_cast<TInstallObject*>(obj)->Container()->GetDestPath());
}

namespace {
// The context text of a container; long or short form.
std::string ContainerText(TpsContainerDestDir& ps, TInstallContainer* obj, bool longForm) {
  try {
    ps.CheckObject(obj);
    TInstallContainer* c = static_cast<TInstallObject*>(obj)->Container();
    std::string description;
    switch (LinkedContainerKind(c, description)) {
      case ckInstall:
        return "Main installation directory";
      case ckGroup:
        return Format(longForm ? "Path of the <%s> group" : "<%s>", {description});
      case ckFileContainer:
        return Format(longForm ? "Path of the <%s> directory" : "<%s>", {description});
      case ckOther:
        break;
    }
    return Format(longForm ? "Path of the <%s> group" : "<%s>", {c->Name()});
  } catch (...) {
    return ps.GetDescription();
  }
}
}  // namespace

std::string TpsContainerDestDir::GetObjectDescription(TInstallContainer* obj) {
  return ContainerText(*this, obj, true);
}
std::string TpsContainerDestDir::GetObjectDisplayName(TInstallContainer* obj) {
  return ContainerText(*this, obj, false);
}

TpsDesktopMenu::TpsDesktopMenu(TComponent* owner) : TStandardPathSpecifier(owner) {
  defaultName_ = "psDesktopMenu";
}
TW_TEXTS(TpsDesktopMenu, "Path of the Desktop", "Desktop")
std::string TpsDesktopMenu::GetPath(TInstallContainer*) { return GetDesktopDir(); }

TpsInstallSource::TpsInstallSource(TComponent* owner) : TStandardPathSpecifier(owner) {
  defaultName_ = "psInstallSource";
}
TW_TEXTS(TpsInstallSource, "Path from which the user ran the install", "Install source")
void TpsInstallSource::CheckObject(TInstallContainer* obj) { RequireInstall(obj); }
std::string TpsInstallSource::GetPath(TInstallContainer* obj) {
  CheckObject(obj);
  return StripBackslash(LinkedSourceDir(CurrentInstall));
}

TpsMainInstall::TpsMainInstall(TComponent* owner) : TStandardPathSpecifier(owner) {
  defaultName_ = "psMainInstall";
}
TW_TEXTS(TpsMainInstall, "Main installation directory", "Main install dir")
void TpsMainInstall::CheckObject(TInstallContainer* obj) {
  RequireInstall(obj);
  // The install component is CurrentInstall; a second one read from a
  // stream is known by its class.
  if (obj && (obj == CurrentInstall || InheritsFromClassName(obj, "TCustomInstall")))
    throw IEPathSpecifier("Cannot use the ddMainInstallDir path specifier for a TInstall component");
}
std::string TpsMainInstall::GetPath(TInstallContainer* obj) {
  CheckObject(obj);
  return StripBackslash(CurrentInstall->GetDestPath());
}

TpsProgramFiles::TpsProgramFiles(TComponent* owner) : TStandardPathSpecifier(owner) {
  defaultName_ = "psProgramFiles";
}
TW_TEXTS(TpsProgramFiles, "Path of the program files directory", "Program files")
std::string TpsProgramFiles::GetPath(TInstallContainer*) { return GetProgramFilesDir(); }

TpsProgramMenu::TpsProgramMenu(TComponent* owner) : TStandardPathSpecifier(owner) {
  defaultName_ = "psProgramMenu";
}
TW_TEXTS(TpsProgramMenu, "Path of the Programs folder under the Start Menu", "Program menu")
std::string TpsProgramMenu::GetPath(TInstallContainer*) { return GetProgramsMenuDir(); }

TpsStartMenu::TpsStartMenu(TComponent* owner) : TStandardPathSpecifier(owner) { defaultName_ = "psStartMenu"; }
TW_TEXTS(TpsStartMenu, "Path of Start Menu", "Start menu")
std::string TpsStartMenu::GetPath(TInstallContainer*) { return GetStartMenuDir(); }

TpsStartupMenu::TpsStartupMenu(TComponent* owner) : TStandardPathSpecifier(owner) {
  defaultName_ = "psStartupMenu";
}
TW_TEXTS(TpsStartupMenu, "Path of the Startup folder in the Programs folder under the Start Menu", "Startup menu")
std::string TpsStartupMenu::GetPath(TInstallContainer*) { return GetStartupMenuDir(); }

TpsSystem::TpsSystem(TComponent* owner) : TStandardPathSpecifier(owner) { defaultName_ = "psSystem"; }
TW_TEXTS(TpsSystem, "Path of system directory", "System dir")
std::string TpsSystem::GetPath(TInstallContainer*) { return StripBackslash(GetSystemDir()); }

TpsMainArchiveFile::TpsMainArchiveFile(TComponent* owner) : TStandardPathSpecifier(owner) {
  defaultName_ = "psMainArchiveFile";
}
TW_TEXTS(TpsMainArchiveFile, "Archive containing most or all non-internet installation files", "Main archive")
void TpsMainArchiveFile::CheckObject(TInstallContainer* obj) { RequireInstall(obj); }
std::string TpsMainArchiveFile::GetPath(TInstallContainer* obj) {
  CheckObject(obj);
  std::string argument;
  if (LinkedSelfExtractor(CurrentInstall, argument)) {
    if (Trim(argument).empty())
      throw IEInstall(
          "You forgot to pass in the name of the self-extracting executable. Usage example: \"-eSetup.exe\"");
    return AddBackslash(LinkedSourceDir(CurrentInstall)) + argument;
  }
  if (!Trim(ArchiveDirectory).empty()) return AddBackslash(ArchiveDirectory) + "files.1";
  return AddBackslash(LinkedSourceDir(CurrentInstall)) + "files.1";
}

TpsWindow::TpsWindow(TComponent* owner) : TStandardPathSpecifier(owner) { defaultName_ = "psWindow"; }
TW_TEXTS(TpsWindow, "Path of the Windows directory", "Windows dir")
std::string TpsWindow::GetPath(TInstallContainer*) { return StripBackslash(GetWindowsDir()); }

// ------------------------------------------------------------ registration

namespace {
template <class T>
void RegisterStandard() {
  const TPathSpecifierClass* cls = PathSpecifierClassOf<T>();
  if (!PathSpecifierClasses().Contains(cls)) PathSpecifierClasses().Add(cls);
  RegisterClassInfo(T::kClassName, "TStandardPathSpecifier",
                    [](TComponent* owner) -> TComponent* { return new T(owner); });
}
}  // namespace

void RegisterPathSpecifierClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterClassInfo("TCustomPathSpecifier", "TComponent",
                    [](TComponent* owner) -> TComponent* { return new TCustomPathSpecifier(owner); });
  RegisterClassInfo("TStandardPathSpecifier", "TCustomPathSpecifier", nullptr);
  RegisterStandard<TpsBDEDLL>();
  RegisterStandard<TpsCommonFiles>();
  RegisterStandard<TpsContainerArchiveFile>();
  RegisterStandard<TpsContainerDestDir>();
  RegisterStandard<TpsDesktopMenu>();
  RegisterStandard<TpsInstallSource>();
  RegisterStandard<TpsMainInstall>();
  RegisterStandard<TpsProgramFiles>();
  RegisterStandard<TpsProgramMenu>();
  RegisterStandard<TpsStartMenu>();
  RegisterStandard<TpsStartupMenu>();
  RegisterStandard<TpsSystem>();
  RegisterStandard<TpsMainArchiveFile>();
  RegisterStandard<TpsWindow>();

  RegisterStandard<TpsPrinters>();
  RegisterStandard<TpsRecent>();
  RegisterStandard<TpsSendTo>();
  RegisterStandard<TpsStartup>();
  RegisterStandard<TpsControlPanel>();
  RegisterStandard<TpsFavorites>();
  RegisterStandard<TpsBitBucket>();
  RegisterStandard<TpsCookies>();
  RegisterStandard<TpsCommonAltStartup>();
  RegisterStandard<TpsCommonStartup>();
  RegisterStandard<TpsCommonDesktopDirectory>();
  RegisterStandard<TpsCommonFavorites>();
  RegisterStandard<TpsCommonPrograms>();
  RegisterStandard<TpsCommonStartMenu>();
  RegisterStandard<TpsQuickLaunchMenu>();

  RegisterStandard<TpsOfficeUserTemplates>();
  RegisterStandard<TpsOfficeWorkgroupTemplates>();
  RegisterStandard<TpsOfficeClipartDirectory>();
  RegisterStandard<TpsOfficeStartupDirectory>();
  RegisterStandard<TpsOfficeToolsDirectory>();
  RegisterStandard<TpsOfficeFavoritesDirectory>();

  CreateStandardSpecifiersHook = [](TComponent* owner) {
    StandardPathSpecifiers().CreateStandardSpecifiers(owner, true);
  };
}

namespace {
// The unit is always linked (the install containers reach
// StandardContainerDestDir), so the classes are registered at start.
struct TRegisterAtStart {
  TRegisterAtStart() { RegisterPathSpecifierClasses(); }
} registerAtStart;
}  // namespace
