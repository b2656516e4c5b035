// Path specifiers: components that stand for a base directory of install
// objects. An object's effective path is its specifier's GetPath(object)
// followed by its relative directory.
//
// This unit holds the base classes, the three process-wide registries (every
// live specifier, every live standard specifier, the standard specifier
// classes), the core standard specifiers and the links to the install
// component and the file containers that some specifiers need.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "Classes.h"

class TInstallContainer;
class TCustomPathSpecifier;

// ------------------------------------------------------------ base classes

class TCustomPathSpecifier : public TComponent {
public:
  static constexpr const char* kClassName = "TCustomPathSpecifier";
  // Joins PathSpecifiers.
  explicit TCustomPathSpecifier(TComponent* owner);
  // Leaves PathSpecifiers (skipped once the registries are finalised).
  ~TCustomPathSpecifier() override;
  const char* ClassName() const override { return "TCustomPathSpecifier"; }

  // Raises IEPathSpecifier when obj cannot use this specifier.
  virtual void CheckObject(TInstallContainer* obj) {}
  virtual std::string GetDescription() { return "Unspecified"; }
  virtual std::string GetObjectDescription(TInstallContainer* obj) { return GetDescription(); }
  // The directory this specifier stands for when used by obj, without a
  // trailing backslash unless a class says otherwise. The base answers
  // OnGetPath's result, empty without a callback.
  virtual std::string GetPath(TInstallContainer* obj);
  virtual std::string GetDisplayName() { return GetDescription(); }
  virtual std::string GetObjectDisplayName(TInstallContainer* obj) { return GetObjectDescription(obj); }
  // True for the specifier that stands for an object's container directory.
  virtual bool IsContainerDestDir() const { return false; }

  // The component name a standard class is created under ("psBDEDLL").
  const std::string& DefaultName() const { return defaultName_; }

  std::function<void(TInstallContainer* obj, std::string& path)> OnGetPath;

protected:
  std::string defaultName_;
};

class TStandardPathSpecifier : public TCustomPathSpecifier {
public:
  static constexpr const char* kClassName = "TStandardPathSpecifier";
  // Joins StandardPathSpecifiers as well.
  explicit TStandardPathSpecifier(TComponent* owner);
  ~TStandardPathSpecifier() override;
  const char* ClassName() const override { return "TStandardPathSpecifier"; }
};

// ------------------------------------------------------------ classes and registries

// A class reference: its name, a constructor and an instance test (the
// class or one derived from it).
struct TPathSpecifierClass {
  const char* Name;
  TCustomPathSpecifier* (*Create)(TComponent* owner);
  bool (*IsInstance)(const TCustomPathSpecifier* specifier);
};

template <class T>
const TPathSpecifierClass* PathSpecifierClassOf() {
  static const TPathSpecifierClass c{
      T::kClassName, [](TComponent* owner) -> TCustomPathSpecifier* { return new T(owner); },
      [](const TCustomPathSpecifier* s) { return dynamic_cast<const T*>(s) != nullptr; }};
  return &c;
}

class TPathSpecifierList {
public:
  virtual ~TPathSpecifierList() = default;
  // A null specifier raises IEPathSpecifierList.
  void Add(TCustomPathSpecifier* specifier);
  void Remove(TCustomPathSpecifier* specifier);
  int Count() const { return static_cast<int>(items_.size()); }
  TCustomPathSpecifier* Items(int index) const { return items_.at(static_cast<std::size_t>(index)); }
  bool Contains(const TCustomPathSpecifier* specifier) const;
  // The first element that is an instance of the class or of a derived one;
  // raises IEPathSpecifier "Could not find the path specifier" when none is.
  virtual TCustomPathSpecifier* FindByClass(const TPathSpecifierClass* cls) const;
  // As FindByClass, nullptr when none is.
  TCustomPathSpecifier* Find(const TPathSpecifierClass* cls) const;
  template <class T>
  T* FindByClass() const {
    return static_cast<T*>(FindByClass(PathSpecifierClassOf<T>()));
  }

private:
  std::vector<TCustomPathSpecifier*> items_;
};

class TStandardPathSpecList : public TPathSpecifierList {
public:
  // For each class of PathSpecifierClasses in order, creates an instance
  // owned by owner and names it after its DefaultName; with onlyMissing a
  // class of which PathSpecifiers already holds an instance is skipped.
  // Nothing happens without an owner.
  void CreateStandardSpecifiers(TComponent* owner, bool onlyMissing);
};

class TPathSpecifierClassList {
public:
  // A null class raises IEPathSpecifierClassList.
  void Add(const TPathSpecifierClass* cls);
  int Count() const { return static_cast<int>(items_.size()); }
  const TPathSpecifierClass* Items(int index) const { return items_.at(static_cast<std::size_t>(index)); }
  bool Contains(const TPathSpecifierClass* cls) const;

private:
  std::vector<const TPathSpecifierClass*> items_;
};

// The registries; they live from first use to program end.
TPathSpecifierList& PathSpecifiers();
TStandardPathSpecList& StandardPathSpecifiers();
TPathSpecifierClassList& PathSpecifierClasses();

// Registers every standard specifier class (core, shell folders, Office) in
// PathSpecifierClasses, in their fixed order, and in the streaming class
// table. Runs once; later calls do nothing. Also installs the hook through
// which the install containers create the standard specifiers on their form.
void RegisterPathSpecifierClasses();

// The standard container-destination specifier of the project, or none.
TCustomPathSpecifier* StandardContainerDestDir();

// ------------------------------------------------------------ links to other units

// How a container reads in the context texts of psContainerDestDir.
enum TContainerKind { ckOther, ckInstall, ckGroup, ckFileContainer };

// What the specifiers need from the install component and the file
// containers. Those units fill the members in when they initialise; each
// empty member falls back to the default named beside it.
struct TPathSpecifierLinks {
  // The install component's SourceDir (without trailing backslash).
  // Default: the directory of the running program.
  std::function<std::string(TInstallContainer* install)> SourceDir;
  // True when the program was started by the self-extractor (-e); the
  // switch's argument, as given, goes to argument. Default: false.
  std::function<bool(TInstallContainer* install, std::string& argument)> SelfExtractor;
  // True when obj is a TFileRelated (has an archive path). Default: obj's
  // class or one of its registered ancestors is named "TFileRelated".
  std::function<bool(TInstallContainer* obj)> IsFileRelated;
  // GetArchivePath of a TFileRelated. Default: raises IEPathSpecifier.
  std::function<std::string(TInstallContainer* obj)> ArchivePath;
  // The kind of a container and, for groups and file containers, its
  // Description. Default: the install component is CurrentInstall; groups
  // descend from "TCustomInstallGroup", file containers from
  // "TFileContainer" in the class table; the description is the published
  // "Description" string.
  std::function<TContainerKind(TInstallContainer* container, std::string& description)> ContainerKind;
};
TPathSpecifierLinks& PathSpecifierLinks();

// True when obj's class, or one of its ancestors in the streaming class
// table, is named className.
bool InheritsFromClassName(const TComponent* obj, const std::string& className);

// ------------------------------------------------------------ core standard specifiers

#define TW_STANDARD_SPECIFIER_DECL(Cls)                         \
public:                                                        \
  static constexpr const char* kClassName = #Cls;              \
  explicit Cls(TComponent* owner);                             \
  const char* ClassName() const override { return kClassName; } \
  std::string GetDescription() override;                       \
  std::string GetPath(TInstallContainer* obj) override;

// Borland Database Engine DLL directory ("DLLPath", first entry).
class TpsBDEDLL : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsBDEDLL)
  std::string GetDisplayName() override;
};
class TpsCommonFiles : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsCommonFiles)
  std::string GetDisplayName() override;
};
// The archive path of the object's container.
class TpsContainerArchiveFile : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsContainerArchiveFile)
  std::string GetDisplayName() override;
  void CheckObject(TInstallContainer* obj) override;
};
// The destination path of the object's container.
class TpsContainerDestDir : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsContainerDestDir)
  void CheckObject(TInstallContainer* obj) override;
  // Context texts naming the container; never raise.
  std::string GetObjectDescription(TInstallContainer* obj) override;
  std::string GetObjectDisplayName(TInstallContainer* obj) override;
  bool IsContainerDestDir() const override { return true; }
};
class TpsDesktopMenu : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsDesktopMenu)
  std::string GetDisplayName() override;
};
// The directory the user ran the install from.
class TpsInstallSource : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsInstallSource)
  std::string GetDisplayName() override;
  void CheckObject(TInstallContainer* obj) override;
};
// The install component's destination; refused for the install component.
class TpsMainInstall : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsMainInstall)
  std::string GetDisplayName() override;
  void CheckObject(TInstallContainer* obj) override;
};
class TpsProgramFiles : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsProgramFiles)
  std::string GetDisplayName() override;
};
class TpsProgramMenu : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsProgramMenu)
  std::string GetDisplayName() override;
};
class TpsStartMenu : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsStartMenu)
  std::string GetDisplayName() override;
};
class TpsStartupMenu : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsStartupMenu)
  std::string GetDisplayName() override;
};
class TpsSystem : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsSystem)
  std::string GetDisplayName() override;
};
// The main archive file: the self-extracting executable when started with
// -e, else "files.1" in ArchiveDirectory or in the source directory.
class TpsMainArchiveFile : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsMainArchiveFile)
  std::string GetDisplayName() override;
  void CheckObject(TInstallContainer* obj) override;
  // The directory the user last named for the main archive.
  std::string ArchiveDirectory;
};
class TpsWindow : public TStandardPathSpecifier {
  TW_STANDARD_SPECIFIER_DECL(TpsWindow)
  std::string GetDisplayName() override;
};
