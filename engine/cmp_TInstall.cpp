// TCustomInstall: construction, the command line, the dispatch after the
// project has been streamed, the activation hook of the host form, the
// property rules and destruction.
#include "cmp_TInstall.h"

#include <windows.h>

#include <cstring>
#include <iterator>

#include "Application.h"
#include "ControlReg.h"
#include "ScopeExit.h"
#include "cmp_TInstallFile.h"
#include "cmp_TNetInstallLocation.h"
#include "cmp_TPathSpecifier.h"
#include "cmp_TProgramLauncher.h"
#include "cmp_TTranslator.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_FileList.h"
#include "routines_Log.h"
#include "routines_Strings.h"
#include "routines_Unattended.h"

std::function<std::vector<std::string>()> CommandLineArguments = [] {
  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
  return args;
};

std::function<void(TCustomInstall&)> BuildModeOverride;
TComponent* AutoTranslator = nullptr;
int InstallExitCode = 0;

bool LibraryLoads(const std::string& name) {
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryA(name.c_str());
  if (module) FreeLibrary(module);
  SetErrorMode(previous);
  return module != nullptr;
}

namespace {

constexpr const char* kThemeResource = "INSTALLTHEME1";

// A bitmap resource holds the DIB without its file header; the picture
// reads complete BMP files.
void LoadBitmapResource(TPicture& picture, const char* name) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(module, name, MAKEINTRESOURCEA(2));  // RT_BITMAP
  HGLOBAL mem = res ? LoadResource(module, res) : nullptr;
  const auto* dib = mem ? static_cast<const std::uint8_t*>(LockResource(mem)) : nullptr;
  const DWORD size = res ? SizeofResource(module, res) : 0;
  if (!dib || size < sizeof(BITMAPINFOHEADER)) return;
  BITMAPINFOHEADER header;
  std::memcpy(&header, dib, sizeof(header));
  DWORD colors = header.biClrUsed;
  if (!colors && header.biBitCount <= 8) colors = 1u << header.biBitCount;
  DWORD masks = header.biSize == sizeof(BITMAPINFOHEADER) && header.biCompression == BI_BITFIELDS ? 12 : 0;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfSize = static_cast<DWORD>(sizeof(file) + size);
  file.bfOffBits = static_cast<DWORD>(sizeof(file) + header.biSize + masks + colors * 4);
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
  bytes.append(reinterpret_cast<const char*>(dib), size);
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->LoadFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  picture.SetGraphic(std::move(bitmap));
}

int SwitchIndex(char letter) {
  switch (letter) {
    case 'b': case 'B': return swBuild;
    case 'f': case 'F': return swFloppy;
    case 'd': case 'D': return swDebug;
    case 'e': case 'E': return swSelfExtract;
    case 'r': case 'R': return swReboot;
    case 's': case 'S': return swSource;
    case 'c': case 'C': return swCleanup;
    case 'n': case 'N': return swNoUnfinished;
    default: return -1;
  }
}

}  // namespace

// ------------------------------------------------------------ TBuildInfo

void TBuildInfo::Assign(const TPersistent& source) {
  const auto* other = dynamic_cast<const TBuildInfo*>(&source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  AddUninstallOnCreate = other->AddUninstallOnCreate;
  AppName = other->AppName;
  AppURL = other->AppURL;
  BuildDirectory = other->BuildDirectory;
  CredentialsFile = other->CredentialsFile;
  OCXName = other->OCXName;
  PrivateKeyFile = other->PrivateKeyFile;
  SignCode = other->SignCode;
  URLPath = other->URLPath;
}

// ------------------------------------------------------------ TCustomInstall

TCustomInstall::TCustomInstall(TComponent* owner) : TFileContainer(owner, false) {
  // The run fires OnAfterInstallObjects itself, once, after every pass.
  FireAfterInstallObjects = false;
  SetInstallTypes(TInstallTypeSet{itFull});
  if (CurrentInstall)
    throw IEInstall("The TInstall component does not currently support the use of 2 TInstall components in the same project");
  if (owner && !dynamic_cast<TForm*>(owner))
    throw IEInstall(
        "The Owner of the TInstall component must either be a class of type TCustomForm (Delphi 3) or TForm (Delphi "
        "2.0,C++Builder 1.0)");
  extendedInformation_ = std::make_unique<TControlPanelExtensionInformation>(nullptr);
  try {
    LoadBitmapResource(dialogThemeBitmap_, kThemeResource);
  } catch (const std::exception& e) {
    LogLine(std::string("The dialog picture could not be read: ") + e.what());
  }
  RunAutomatic = true;
  useLoadingProgram_ = true;
  NoUninstall = false;
  archiveFileType_ = FindStandardSpecifier("TpsMainArchiveFile", this);
  if (archiveFileType_) archiveFileType_->FreeNotification(this);
  archiveFile_.clear();
  Aborted = false;
  distributeType_ = dtTraditional;
  Activated = false;
  Installing = false;
  CurrentInstall = this;
  autoMaximizeWindow_ = true;
  destDirType_ = FindStandardSpecifier("TpsProgramFiles", this);
  if (destDirType_) destDirType_->FreeNotification(this);
  destDir_ = "\\MyApplication";
  Description = "TInstall component";

  if (owner && owner->IsDesigning()) {
    bool hasTranslator = false;
    for (int i = 0; i < owner->ComponentCount(); ++i)
      if (dynamic_cast<TTranslator*>(owner->Component(i))) hasTranslator = true;
    if (!hasTranslator) {
      auto* translator = new TTranslator(owner);
      std::string name = "MainTranslator";
      for (int n = 1; owner->FindComponent(name); ++n) name = "MainTranslator" + std::to_string(n);
      translator->SetName(name);
      AutoTranslator = translator;
    }
  } else if (Application) {
    Application->OnException = [this](const std::exception& e) { HandleException(this, e); };
  }
}

TCustomInstall::~TCustomInstall() {
  BeginDestroy();
  if (!IsDesigning() && HostFormHooked()) HostForm->OnActivate = SavedOnActivate;
  hooked_ = false;
  if (CurrentInstall == this) CurrentInstall = nullptr;
  if (Application && !IsDesigning()) Application->OnException = nullptr;
  if (RunBatchFileOnDestroy && !PendingBatchFile.empty()) {
    try {
      // Neither this program nor the batch may keep the directory the batch
      // removes as its current directory.
      SetCurrentDirectoryA(GetTempDir().c_str());
      TProgramLauncher launcher(nullptr);
      launcher.FileName = PendingBatchFile;
      launcher.ShowMode = smHide;
      launcher.Run();
      LogLine("Clean-up started: " + PendingBatchFile);
    } catch (const std::exception& e) {
      LogLine(std::string("The clean-up could not be started: ") + e.what());
    }
  }
}

bool TCustomInstall::HostFormHooked() const {
  return hooked_ && HostForm && !HostForm->IsDestroying() && SavedOnActivate;
}

void TCustomInstall::ParseCommandLine() {
  Switches = TInstallSwitches();
  for (std::string& v : SwitchValues) v.clear();
  for (const std::string& arg : CommandLineArguments()) {
    if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '*')) throw IException(kInvalidParameterMessage, {arg});
    const int index = SwitchIndex(arg[1]);
    if (index >= 0) {
      Switches.Include(static_cast<TInstallSwitch>(index));
      SwitchValues[index] = arg.substr(2);
    } else if (arg[0] == '-') {
      throw IException(kInvalidParameterMessage, {arg});
    }
  }
}

std::string TCustomInstall::ProgramPath() {
  char buf[MAX_PATH * 2];
  const DWORD n = GetModuleFileNameA(nullptr, buf, sizeof(buf));
  return n && n < sizeof(buf) ? std::string(buf, n) : std::string();
}

std::string TCustomInstall::GetProgramDir() { return StripBackslash(ExtractFilePath(ProgramPath())); }

void TCustomInstall::Loaded() {
  TFileContainer::Loaded();
  if (!IsDesigning()) {
    ParseCommandLine();
    if (HasSwitch(swDebug) && (!HasSwitch(swSource) || Trim(SwitchValues[swSource]).empty()))
      throw IEInstall(
          "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d \"-sC:\\My "
          "Build\"");
  }
  SourceDir = HasSwitch(swSource) ? SwitchValues[swSource] : GetProgramDir();
  CurrentInstallKey = FindInstallKey(false);
  std::string recorded;
  if (GetLocalFile(recorded)) LocalArchivePath = recorded;

  HostForm = nullptr;
  if (Application && Application->MainForm()) HostForm = dynamic_cast<TForm*>(Application->MainForm());
  if (!HostForm) HostForm = dynamic_cast<TForm*>(Owner());
  if (!HostForm && RunAutomatic)
    throw IEInstall(
        "Application.MainForm is undefined and the TInstall is not on a form. Therefore, therefore the TInstall "
        "can't run the installation automatically");

  SetInstallType(itFull);
  if (InstallTypes().Contains(itDefault))
    SetInstallType(itDefault);
  else if (InstallTypes().Contains(itCompact))
    SetInstallType(itCompact);
  else if (InstallTypes().Contains(itFull))
    SetInstallType(itFull);

  if (IsDesigning()) {
    delete AutoTranslator;
    AutoTranslator = nullptr;
  } else if (HasSwitch(swBuild)) {
    LogLine("Mode: build");
    if (BuildModeOverride) BuildModeOverride(*this);
    else BuildFromBuildInf();
  } else if (HasSwitch(swFloppy)) {
    LogLine("Mode: transfer to floppies");
    TransferToFloppies("a:");
  } else if (HasSwitch(swReboot)) {
    LogLine("Mode: continue after a restart");
    ContinueAfterReboot();
  } else if (HostForm) {
    SavedOnActivate = HostForm->OnActivate;
    HostForm->OnActivate = [this](TComponent* sender) { ActivateHook(sender); };
    hooked_ = true;
    if (HideMainForm()) HostForm->SetBounds(-2 * HostForm->Width(), -2 * HostForm->Height(), HostForm->Width(),
                                            HostForm->Height());
  }
}

void TCustomInstall::ActivateHook(TComponent*) {
  // A box the form's own handler shows gives the activation back to the
  // form when it closes: that nested activation is not a first one.
  if (Activated || activating_) return;
  activating_ = true;
  {
    TScopeExit reset([this] { activating_ = false; });
    if (SavedOnActivate) SavedOnActivate(Owner());
  }
  Activated = true;
  // The form's own handler may have closed it (a missing prerequisite): no
  // installation then.
  // (A silent run's host form is never shown: closing it ends the application.)
  const bool formClosed = !Unattended.Silent() && HostForm && HostForm->HandleAllocated() && !HostForm->Visible();
  if ((Application && Application->Terminated()) || formClosed) {
    LogLine("The host form was closed on activation; no installation");
    // The unpacked program directory goes all the same.
    try {
      Cleanup();
    } catch (const std::exception& e) {
      LogLine(std::string("Clean-up failed: ") + e.what());
    }
    return;
  }
  if (HostForm && AutoMaximizeWindow() && !Unattended.Silent()) {
    // Maximised: the borderless backdrop covers the work area.
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    HostForm->SetBounds(work.left, work.top, work.right - work.left, work.bottom - work.top);
    RedrawWindow(HostForm->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  if (!RunAutomatic) return;
  if (HostFormHooked()) {
    HostForm->OnActivate = SavedOnActivate;
    hooked_ = false;
  }
  Install();
}

void TCustomInstall::Notification(TComponent* component, TOperation operation) {
  // The inherited handling forgets the location; the install also resets
  // its distribution type.
  const bool location = netLocationComponent_ && component == netLocationComponent_;
  TFileContainer::Notification(component, operation);
  if (operation != opRemove) return;
  if (location) {
    netLocation_ = nullptr;
    netLocationComponent_ = nullptr;
    if (!IsDestroying()) SetNetLocation(nullptr);
  }
  if (component == HostForm) {
    HostForm = nullptr;
    hooked_ = false;
  }
}

void TCustomInstall::SetNetLocation(TCustomNetInstallLocation* value) {
  TFileContainer::SetNetLocation(value);
  CurrentNetLocation = value;
  if (!value) distributeType_ = dtTraditional;
}

void TCustomInstall::SetDistributeType(TDistributeType value) {
  if (!IsLoading()) {
    if (!IsDesigning()) throw IEInstall("DistributeType can only be set at design-time");
    if (!NetLocation() && value != dtTraditional)
      throw IEInstallNetLocNil(
          "Must assign a net location via the NetLocation property before you can set the distribute type");
  }
  distributeType_ = value;
}

void TCustomInstall::SetAutoMaximizeWindow(bool value) {
  autoMaximizeWindow_ = value;
  if (!IsLoading() && value) hideMainForm_ = false;
}

void TCustomInstall::SetHideMainForm(bool value) {
  hideMainForm_ = value;
  if (!IsLoading() && value) autoMaximizeWindow_ = false;
}

void TCustomInstall::SetDialogThemeBitmap(const TPicture& value) {
  if (!value.Graphic()) {
    dialogThemeBitmap_.SetGraphic(nullptr);
    return;
  }
  dialogThemeBitmap_.SetGraphic(value.Graphic()->Clone());
}

void TCustomInstall::SetPresetupFiles(const std::vector<std::string>& value) {
  std::vector<std::string> lines = value;
  for (std::size_t i = lines.size(); i-- > 0;)
    if (Trim(lines[i]).empty()) lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
  presetupFiles_ = lines;
}

std::vector<std::string> TCustomInstall::PresetupFileNames() const {
  std::vector<std::string> names;
  for (const std::string& line : presetupFiles_)
    if (!Trim(line).empty()) names.push_back(Trim(line));
  return names;
}

void TCustomInstall::SetUseLoadingProgram(bool value) {
  useLoadingProgram_ = value;
  if (!IsLoading() && value) {
    TCustomPathSpecifier* standard = FindStandardSpecifier("TpsMainArchiveFile", this);
    if (standard != archiveFileType_) {
      archiveFileType_ = standard;
      if (standard) standard->FreeNotification(this);
    }
    archiveFile_.clear();
  }
}

void TCustomInstall::ApplyRemoteFileList() {
  TNetLocationAccess& net = NetLocationAccess();
  TCustomNetInstallLocation* location = NetLocation() ? NetLocation() : CurrentNetLocation;
  if (!location || !net.Download)
    throw IEInstallNetLocNil(
        "Must assign a net location via the NetLocation property before you can set the distribute type");
  const std::string local = CreateTempFileName(false);
  TScopeExit remover([local] { DeleteFileA(local.c_str()); });
  net.Download(location, this, "filelist.lst", local);
  std::string text;
  ReadFileBytes(local, text);
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  std::vector<TFileListEntry> entries;
  try {
    entries = DecodeFileList(bytes);
  } catch (const std::exception&) {
    throw IEInstall("Cannot read the remote list of files: %s", {local});
  }
  for (const TFileListEntry& e : entries)
    for (int i = 0; i < InstallFiles().Count(); ++i) {
      TCustomInstallFile* f = InstallFiles().Items(i);
      if (!SameText(f->Name(), e.Name)) continue;
      f->Size = static_cast<int>(e.Size);
      f->FileDate = e.DateTime;
      f->Version = e.Version;
      break;
    }
}

// ------------------------------------------------------------ streaming

namespace {

// The stream reaches the pre-setup lines as "PresetupFiles.Strings".
class TPresetupFilesSlot : public TPersistent {
public:
  const char* ClassName() const override { return "TInstallPresetupFiles"; }
  TCustomInstall* Install = nullptr;
};

TPersistent& PresetupSlot(TCustomInstall& install) {
  static TPresetupFilesSlot slot;
  slot.Install = &install;
  return slot;
}

void BuildInfoProperties(TClassInfo& c) {
  c.Boolean<TBuildInfo>("AddUninstallOnCreate", [](TBuildInfo& o, bool v) { o.AddUninstallOnCreate = v; });
  c.String<TBuildInfo>("AppName", [](TBuildInfo& o, const std::string& v) { o.AppName = v; });
  c.String<TBuildInfo>("AppURL", [](TBuildInfo& o, const std::string& v) { o.AppURL = v; });
  c.String<TBuildInfo>("BuildDirectory", [](TBuildInfo& o, const std::string& v) { o.BuildDirectory = v; });
  c.String<TBuildInfo>("CredentialsFile", [](TBuildInfo& o, const std::string& v) { o.CredentialsFile = v; });
  c.String<TBuildInfo>("OCXName", [](TBuildInfo& o, const std::string& v) { o.OCXName = v; });
  c.String<TBuildInfo>("PrivateKeyFile", [](TBuildInfo& o, const std::string& v) { o.PrivateKeyFile = v; });
  c.Boolean<TBuildInfo>("SignCode", [](TBuildInfo& o, bool v) { o.SignCode = v; });
  c.String<TBuildInfo>("URLPath", [](TBuildInfo& o, const std::string& v) { o.URLPath = v; });
  // Read-only: a stored value is accepted and ignored.
  c.String<TBuildInfo>("TrnwVersion", [](TBuildInfo&, const std::string&) {});
}

void InformationProperties(TClassInfo& c) {
  c.String<TInstallInformation>(
      "CompanyName", [](TInstallInformation& o, const std::string& v) { o.CompanyName = v; },
      [](TInstallInformation& o) { return o.CompanyName; });
  c.String<TInstallInformation>(
      "ProductName", [](TInstallInformation& o, const std::string& v) { o.ProductName = v; },
      [](TInstallInformation& o) { return o.ProductName; });
  c.String<TInstallInformation>(
      "Version", [](TInstallInformation& o, const std::string& v) { o.Version = v; },
      [](TInstallInformation& o) { return o.Version; });
}

template <void (TControlPanelExtensionInformation::*Set)(const std::string&)>
void ExtendedString(TClassInfo& c, const char* name) {
  c.String<TControlPanelExtensionInformation>(
      name, [](TControlPanelExtensionInformation& o, const std::string& v) { (o.*Set)(v); });
}

void ExtendedInformationProperties(TClassInfo& c) {
  c.Reference<TControlPanelExtensionInformation>("DisplayIcon", [](TControlPanelExtensionInformation& o, TComponent* v) {
    auto* f = dynamic_cast<TCustomInstallFile*>(v);
    if (v && !f) TClassInfo::Invalid();
    if (f) o.SetDisplayIcon(f);
    else o.SetDisplayIcon(nullptr);
  });
  c.Reference<TControlPanelExtensionInformation>("ReadMe", [](TControlPanelExtensionInformation& o, TComponent* v) {
    auto* f = dynamic_cast<TCustomInstallFile*>(v);
    if (v && !f) TClassInfo::Invalid();
    if (f) o.SetReadMe(f);
    else o.SetReadMe(nullptr);
  });
  ExtendedString<&TControlPanelExtensionInformation::SetHelpLink>(c, "HelpLink");
  ExtendedString<&TControlPanelExtensionInformation::SetHelpTelephone>(c, "HelpTelephone");
  ExtendedString<&TControlPanelExtensionInformation::SetURLInfoAbout>(c, "URLInfoAbout");
  ExtendedString<&TControlPanelExtensionInformation::SetProductID>(c, "ProductID");
  ExtendedString<&TControlPanelExtensionInformation::SetURLUpdateInfo>(c, "URLUpdateInfo");
  ExtendedString<&TControlPanelExtensionInformation::SetComments>(c, "Comments");
  ExtendedString<&TControlPanelExtensionInformation::SetContact>(c, "Contact");
}

void InstallProperties(TClassInfo& c) {
  c.Boolean<TCustomInstall>("AutoMaximizeWindow", [](TCustomInstall& o, bool v) { o.SetAutoMaximizeWindow(v); });
  c.Nested<TCustomInstall>("BuildInfo", "TBuildInfo", [](TCustomInstall& o) -> TPersistent& { return o.BuildInfo(); });
  c.Picture<TCustomInstall>("DialogThemeBitmap",
                            [](TCustomInstall& o) -> TPersistent& { return PictureSlot(o.DialogThemeBitmap()); });
  c.Enum<TCustomInstall>("DistributeType", {"dtTraditional", "dtWeb", "dtTraditionalNet"},
                         [](TCustomInstall& o, int v) { o.SetDistributeType(static_cast<TDistributeType>(v)); });
  c.Boolean<TCustomInstall>("HideMainForm", [](TCustomInstall& o, bool v) { o.SetHideMainForm(v); });
  c.Nested<TCustomInstall>("Information", "TInstallInformation",
                           [](TCustomInstall& o) -> TPersistent& { return *o.Information(); });
  c.Nested<TCustomInstall>("win2KExtendedInformation", "TControlPanelExtensionInformation",
                           [](TCustomInstall& o) -> TPersistent& { return *o.win2KExtendedInformation(); });
  c.Boolean<TCustomInstall>("NoUninstall", [](TCustomInstall& o, bool v) { o.NoUninstall = v; });
  c.Nested<TCustomInstall>("PresetupFiles", "TInstallPresetupFiles",
                           [](TCustomInstall& o) -> TPersistent& { return PresetupSlot(o); });
  c.Boolean<TCustomInstall>("Reboot", [](TCustomInstall& o, bool v) { o.SetReboot(v); });
  c.Boolean<TCustomInstall>("RunAutomatic", [](TCustomInstall& o, bool v) { o.RunAutomatic = v; });
  c.Boolean<TCustomInstall>("UseLoadingProgram", [](TCustomInstall& o, bool v) { o.SetUseLoadingProgram(v); });
}

}  // namespace

void RegisterInstallClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterControlClasses();
  RegisterPathSpecifierClasses();
  IsFormHook = [](TComponent* owner) { return dynamic_cast<TForm*>(owner) != nullptr; };
  BuildInfoProperties(RegisterClassInfo("TBuildInfo", "TPersistent", nullptr));
  InformationProperties(RegisterClassInfo("TInstallInformation", "TPersistent", nullptr));
  ExtendedInformationProperties(RegisterClassInfo("TControlPanelExtensionInformation", "TPersistent", nullptr));
  RegisterClassInfo("TInstallPresetupFiles", "", nullptr)
      .Strings<TPresetupFilesSlot>("Strings", [](TPresetupFilesSlot& o, const std::vector<std::string>& v) {
        o.Install->SetPresetupFiles(v);
      });
  InstallProperties(RegisterClassInfo("TCustomInstall", "TFileContainer", nullptr));
  RegisterClassInfo("TInstall", "TCustomInstall", [](TComponent* owner) -> TComponent* { return new TInstall(owner); });

  TPathSpecifierLinks& links = PathSpecifierLinks();
  links.SourceDir = [](TInstallContainer* install) {
    if (auto* i = dynamic_cast<TCustomInstall*>(install)) return i->SourceDir;
    return TCustomInstall::GetProgramDir();
  };
  links.SelfExtractor = [](TInstallContainer* install, std::string& argument) {
    auto* i = dynamic_cast<TCustomInstall*>(install);
    if (!i || !i->HasSwitch(swSelfExtract)) return false;
    argument = i->SwitchValues[swSelfExtract];
    return true;
  };
  links.IsFileRelated = [](TInstallContainer* obj) { return dynamic_cast<TFileRelated*>(obj) != nullptr; };
  links.ArchivePath = [](TInstallContainer* obj) {
    auto* f = dynamic_cast<TFileRelated*>(obj);
    if (!f) throw IEPathSpecifier("%s has no archive", {obj ? obj->Name() : std::string("(none)")});
    return f->GetArchivePath();
  };
}
