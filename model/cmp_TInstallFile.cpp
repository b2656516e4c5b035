#include "cmp_TInstallFile.h"

#include <memory>

#include "ClassReg.h"
#include "ScopeExit.h"
#include "cmp_TTrnwCompress.h"
#include "cmp_TVersion.h"
#include "format_Archive.h"
#include "routines_API.h"
#include "routines_FileSystem.h"
#include "routines_InstallBoxes.h"
#include "routines_Journal.h"
#include "routines_Registry.h"
#include "routines_Log.h"
#include "routines_Strings.h"
#include "stream_WinFile.h"

namespace {
std::array<bool, kUniqueIDSlots> g_slots{};
bool g_slotsInitialised = false;

bool InRange(int id) { return id >= 0 && id < kUniqueIDSlots; }

int TakeFreeSlot() {
  for (int i = 0; i < kUniqueIDSlots; ++i)
    if (!g_slots[static_cast<std::size_t>(i)]) {
      g_slots[static_cast<std::size_t>(i)] = true;
      return i;
    }
  return 0;
}

void FreeSlot(int id) {
  if (InRange(id)) g_slots[static_cast<std::size_t>(id)] = false;
}

// The driver's message box, so that one hook answers every box of a run.
int DefaultMessageBox(const std::string& text, unsigned type) { return InstallMessageBox(text, type); }

const char* const kBlankDestination =
    "Cannot compress,copy, or install the following file because it's destination directory is "
    "blank. File is :%s";
const char* const kBlankArchive =
    "Cannot either compress or decompress the following file because it's archive file property is "
    "blank. File is :%s";

bool IsOneOf(const std::string& ext, std::initializer_list<const char*> list) {
  for (const char* e : list)
    if (ext == e) return true;
  return false;
}
}  // namespace

int (*InstallFileMessageHook)(const std::string& text, unsigned type) = &DefaultMessageBox;

namespace uniqueid {
bool IsUsed(int id) { return InRange(id) && g_slots[static_cast<std::size_t>(id)]; }
void Reset() {
  g_slots.fill(false);
  g_slotsInitialised = false;
}
}  // namespace uniqueid

// ------------------------------------------------------------ construction

TCustomInstallFile::TCustomInstallFile(TComponent* owner) : TFileRelated(owner) {
  Include = true;
  net_ = false;
  InstallFiles().Add(this);
  uniqueID_ = TakeFreeSlot();
}

TCustomInstallFile::~TCustomInstallFile() {
  BeginDestroy();
  DeferredRegistrations().Remove(this);
  InstallFiles().Remove(this);
  FreeSlot(uniqueID_);
  AnnounceDestruction();
}

TCustomInstallFile* TCustomInstallFile::CreateFromFile(TComponent* owner, const std::string& path) {
  auto* f = new TInstallFile(owner);
  TScopeExit discard([f] { delete f; });
  f->SetIncludeFromDir(ExtractFileDir(path));
  f->SetFileName(ExtractFileName(path));
  discard.Dismiss();
  return f;
}

TCustomInstallFile* TCustomInstallFile::CreateInContainer(TComponent* owner, TInstallContainer* container,
                                                          const std::string& path) {
  TCustomInstallFile* f = CreateFromFile(owner, path);
  TScopeExit discard([f] { delete f; });
  f->SetContainer(container);
  discard.Dismiss();
  return f;
}

void TCustomInstallFile::Loaded() {
  if (!g_slotsInitialised) {
    g_slots.fill(false);
    g_slotsInitialised = true;
  }
  if (InRange(uniqueID_)) g_slots[static_cast<std::size_t>(uniqueID_)] = true;
  TFileRelated::Loaded();
}

void TCustomInstallFile::SetUniqueID(int value) {
  if (!InRange(value))
    throw IECustomInstallFile("The UniqueID %d of %s is outside the range 0 to %d",
                              {value, Name(), kUniqueIDSlots - 1});
  if (IsLoading()) {
    uniqueID_ = value;
    return;
  }
  if (value == uniqueID_) return;
  FreeSlot(uniqueID_);
  uniqueID_ = value;
  g_slots[static_cast<std::size_t>(value)] = true;
}

// ------------------------------------------------------------ properties

std::string TCustomInstallFile::SourcePath() const { return AddBackslash(includeFromDir_) + fileName_; }
std::string TCustomInstallFile::TargetPath() { return AddBackslash(GetDestPath()) + destName_; }
std::string TCustomInstallFile::InstalledPath() { return AddBackslash(GetDestPath()) + FinalName(); }

bool TCustomInstallFile::NeedsOwnArchive() const {
  return netLocation_ || OverwriteMode == owVersion || OverwriteMode == owDate || OverwriteMode == owVersionDate;
}

TCustomInstallFile::TFileProperties TCustomInstallFile::CurrentProperties() const {
  return {container_, destName_, fileName_, includeFromDir_, destDir_, destDirType_, fileType_, activeX_};
}

namespace {
// Set while the property rules run, so that the inherited setters they call
// only store.
thread_local TCustomInstallFile* g_applying = nullptr;
}

void TCustomInstallFile::SetContainer(TInstallContainer* value) {
  if (IsLoading() || g_applying == this) {
    TFileRelated::SetContainer(value);
    return;
  }
  TFileProperties p = CurrentProperties();
  p.Container = value;
  ApplyFileProperties(p);
}

void TCustomInstallFile::SetDestName(const std::string& value) {
  if (IsLoading() || g_applying == this) {
    destName_ = value;
    return;
  }
  TFileProperties p = CurrentProperties();
  p.DestName = value;
  ApplyFileProperties(p);
}

void TCustomInstallFile::SetFileName(const std::string& value) {
  if (IsLoading() || g_applying == this) {
    fileName_ = value;
    return;
  }
  TFileProperties p = CurrentProperties();
  p.FileName = value;
  ApplyFileProperties(p);
}

void TCustomInstallFile::SetIncludeFromDir(const std::string& value) {
  if (IsLoading() || g_applying == this) {
    includeFromDir_ = value;
    return;
  }
  TFileProperties p = CurrentProperties();
  p.IncludeFromDir = value;
  ApplyFileProperties(p);
}

void TCustomInstallFile::SetDestDir(const std::string& value) {
  if (IsLoading() || g_applying == this) {
    TFileRelated::SetDestDir(value);
    return;
  }
  TFileProperties p = CurrentProperties();
  p.DestDir = value;
  ApplyFileProperties(p);
}

void TCustomInstallFile::SetDestDirType(TCustomPathSpecifier* value) {
  if (IsLoading() || g_applying == this) {
    TFileRelated::SetDestDirType(value);
    return;
  }
  TFileProperties p = CurrentProperties();
  p.DestDirType = value;
  ApplyFileProperties(p);
}

void TCustomInstallFile::SetFileType(TInstallFileType value) {
  if (IsLoading() || g_applying == this) {
    fileType_ = value;
    return;
  }
  TFileProperties p = CurrentProperties();
  p.FileType = value;
  ApplyFileProperties(p);
}

void TCustomInstallFile::SetActiveX(bool value) {
  if (IsLoading() || g_applying == this) {
    activeX_ = value;
    return;
  }
  TFileProperties p = CurrentProperties();
  p.ActiveX = value;
  ApplyFileProperties(p);
}

void TCustomInstallFile::ApplyFileProperties(const TFileProperties& requested) {
  const TFileProperties old = CurrentProperties();
  TFileProperties p = requested;
  auto* newContainer = dynamic_cast<TFileContainer*>(p.Container);
  if (p.Container && p.Container != old.Container && !newContainer)
    throw IECustomInstallFile(
        "The following TInstallFile component %s requires the Container property to be a component "
        "descended from the TFileContainer component",
        {Name()});
  const std::string newSource = AddBackslash(p.IncludeFromDir) + p.FileName;
  const bool nameChanged = p.FileName != old.FileName;
  const bool sourceChanged = nameChanged || p.IncludeFromDir != old.IncludeFromDir;
  if (newContainer && (sourceChanged || p.Container != old.Container)) {
    TCustomInstallFile* other = newContainer->FindFile(newSource);
    if (other && other != this) throw IEfcDuplicateFile("There is already a file with the name :%s", {newSource});
  }

  // Everything below only stores or follows from the checks above.
  TTrnwFileAttributesSet attributes = InstallAttributes;
  bool registerAsHelp = RegisterAsHelp;
  TOverwriteType overwrite = OverwriteMode;
  bool updateCounter = UpdateDLLCounter;
  if (nameChanged && !Trim(p.FileName).empty()) {
    p.DestName = p.FileName;
    attributes = TTrnwFileAttributesSet{};
    ReadFileAttributes(newSource, attributes, &SecurityAttributes);
  }
  const std::string ext = UpperCase(ExtractFileExt(p.FileName));
  if (sourceChanged) {
    registerAsHelp = ext == ".HLP" || ext == ".CNT";
    bool selfRegistering = false;
    try {
      selfRegistering = HasOLESelfRegisterAt(newSource);
    } catch (...) {
    }
    p.ActiveX = ext == ".TLB" || ext == ".OCX" ? true : selfRegistering;
  }
  if (p.ActiveX && !old.ActiveX) p.FileType = iftSystemWideDLL;
  if (p.DestDirType != old.DestDirType && ext.size() == 4 && IsOneOf(ext, {".DLL", ".OCX", ".BLL", ".EXE"})) {
    if (IsSpecifierOf(p.DestDirType, "TpsWindow") || IsSpecifierOf(p.DestDirType, "TpsBDEDLL"))
      overwrite = owVersionDate;
    else if (IsSpecifierOf(p.DestDirType, "TpsSystem"))
      p.FileType = iftSystemWideDLL;
  }
  if (p.FileType != old.FileType) {
    if (p.FileType == iftJustADLL || p.FileType == iftApplicationSpecificDLL) {
      overwrite = owVersionDate;
    } else if (p.FileType == iftVendorSharedDLL || p.FileType == iftSystemWideDLL) {
      updateCounter = true;
      overwrite = owVersionDate;
    }
  }

  {
    TCustomInstallFile* const outer = g_applying;
    g_applying = this;
    TScopeExit restore([outer] { g_applying = outer; });
    if (p.DestDirType != destDirType_) TFileRelated::SetDestDirType(p.DestDirType);
    if (p.Container != container_) {
      TFileRelated::SetContainer(p.Container);
      // A new container places the file in its directory.
      if (p.Container) {
        p.DestDirType = destDirType_;
        p.DestDir.clear();
      }
    }
    switch (p.FileType) {
      case iftApplicationSpecificDLL:
        p.DestDir = "\\System";
        p.DestDirType = FindStandardSpecifier("TpsMainInstall", this);
        break;
      case iftVendorSharedDLL:
        p.DestDir = "\\System";
        p.DestDirType = FindStandardSpecifier("TpsCommonFiles", this);
        break;
      case iftSystemWideDLL:
        p.DestDir.clear();
        p.DestDirType = FindStandardSpecifier("TpsSystem", this);
        break;
      default:
        break;
    }
    if (p.DestDirType != destDirType_) TFileRelated::SetDestDirType(p.DestDirType);
  }

  includeFromDir_ = p.IncludeFromDir;
  fileName_ = p.FileName;
  destDir_ = p.DestDir;
  destName_ = p.DestName;
  fileType_ = p.FileType;
  activeX_ = p.ActiveX;
  InstallAttributes = attributes;
  RegisterAsHelp = registerAsHelp;
  OverwriteMode = overwrite;
  UpdateDLLCounter = updateCounter;
}

// ------------------------------------------------------------ archive path and state

std::string TCustomInstallFile::GetArchivePath() {
  const TDistributeType dt = EffectiveDistributeType();
  if (dt == dtWeb || (dt != dtTraditional && net_)) {
    if (state_ == ifsInstall) {
      if (NeedsOwnArchive() && HasLocalArchive()) {
        std::string path = LocalArchivePath;
        if (Trim(path).empty()) GetLocalFile(path);
        return path;
      }
      if (auto* fc = dynamic_cast<TFileContainer*>(container_))
        if (fc->HasLocalArchive())
          return Trim(fc->LocalArchivePath).empty() ? fc->GetNetArchivePath() : fc->LocalArchivePath;
    } else if (state_ == ifsReflect) {
      return std::string();
    }
  }
  return TFileRelated::GetArchivePath();
}

void TCustomInstallFile::SetState(TInstallFileState value) {
  TScopeExit reset([this] { state_ = ifsNone; });
  switch (value) {
    case ifsCompress: CompressFile(); break;
    case ifsInstall: Install(); break;
    case ifsCopying: Copy(); break;
    case ifsReflect:
      state_ = ifsReflect;
      if (Reflector) Reflector(this);
      break;
    default: break;
  }
}

void TCustomInstallFile::RaiseUserAbort() { throw EAIUserAbort(); }

void TCustomInstallFile::PassEvent(int code, TPersistent* parameter) {
  if (container_) container_->DoInformationEventControl(this, code, parameter);
}

// ------------------------------------------------------------ source and archive information

void TCustomInstallFile::ReadSourceInfo() {
  const std::string path = SourcePath();
  auto f = TWinFileStream::Open(path, TWinFileStream::fmOpenRead);
  if (!f)
    throw IECustomInstallFile(
        "Could not open or find the following file when trying to read the Size, Date, and Version :%s",
        {path});
  TDateTime date = 0;
  twfile::GetFileDate(f->Handle(), date);
  FileDate = date;
  const std::int64_t size = f->Size();
  Size = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
  // Version resources are found only in executable images, plain or
  // LZ-compressed ("SZDD"); asking for those of other files costs several
  // system calls and finds none.
  char magic[2] = {};
  const bool image = f->Read(magic, 2) == 2 && ((magic[0] == 'M' && magic[1] == 'Z') ||
                                                (magic[0] == 'S' && magic[1] == 'Z'));
  f.reset();
  Version = image ? FileVersionOf(path).substr(0, 20) : std::string();
}

void TCustomInstallFile::ReadInfoFromArchive() {
  if (CurrentInstall && CurrentInstall->IsInstalling() && ArchiveInfoRead) return;
  const TDistributeType dt = EffectiveDistributeType();
  std::string archive;
  if (dt == dtTraditional || (dt == dtTraditionalNet && !net_)) {
    archive = GetArchivePath();
  } else if (NeedsOwnArchive() && HasLocalArchive()) {
    archive = LocalArchivePath;
    if (Trim(archive).empty()) GetLocalFile(archive);
  } else {
    auto* fc = dynamic_cast<TFileContainer*>(container_);
    if (!fc)
      throw IECustomInstallFile(
          "%s cannot perform ReadInfoFromArchive because either no container is assigned or the "
          "container is not TFileContainer",
          {Name()});
    if (!fc->HasLocalArchive()) return;
    archive = fc->LocalArchivePath;
    if (Trim(archive).empty()) fc->GetLocalFile(archive);
  }
  if (Trim(archive).empty()) throw IECustomInstallFile(kBlankArchive, {fileName_});

  auto* install = dynamic_cast<TFileRelated*>(CurrentInstall);
  std::unique_ptr<TTrnwCompress> own;
  TTrnwCompress* c = nullptr;
  if (install && SameText(archive, install->GetArchivePath())) {
    c = SharedCompressor();
  } else {
    own = std::make_unique<TTrnwCompress>(nullptr);
    c = own.get();
  }
  c->SetCompressedFile(archive);
  const int index = c->IndexOfID(uniqueID_);
  if (index < 0 || index >= c->Count()) return;
  const TFileHeaderRec& h = c->Headers().GetFileHeaders(index).Rec;
  if (h.Identifier != uniqueID_) return;
  PackedSize = h.CompressedSize;
  FileDate = h.FileDate;
  Size = h.Size;
  Version = h.FileVersion.substr(0, 20);
  ArchiveInfoRead = true;
}

// ------------------------------------------------------------ build and copy

void TCustomInstallFile::CompressFile() {
  state_ = ifsCompress;
  TTrnwCompress* c = SharedCompressor();
  auto finish = [this, c] {
    c->OnAborted = nullptr;
    c->OnStatus = nullptr;
    state_ = ifsNone;
    Broadcast(bcPassEnded, nullptr);
  };
  try {
    if (OnBeforeCompress) OnBeforeCompress(this);
    PassEvent(ieBeforeCompress, this);
    const std::string archive = GetArchivePath();
    if (Trim(archive).empty()) throw IECustomInstallFile(kBlankArchive, {fileName_});
    if (Include) {
      CreateDirectoryTree(ExtractFileDir(archive));
      c->SetCompressedFile(archive);
      c->OnAborted = [this](void*) { RaiseUserAbort(); };
      c->OnStatus = [this](TTrnwCompress* s, const TlzhFileStats& st) { StatusChanged(s, st); };
      c->SetFilesToProcess({SourcePath()});
      c->Add(AddToArchive == lzcOnlyAdd, uniqueID_);
      BuildMark = 2;
      ArchiveUsed = c->CompressedFile();
      if (OnAfterCompress) OnAfterCompress(this);
      PassEvent(ieAfterCompress, this);
    }
  } catch (const EAbort&) {
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void TCustomInstallFile::Copy() {
  state_ = ifsCopying;
  TTrnwCompress* c = SharedCompressor();
  auto finish = [this, c] {
    c->OnStatus = nullptr;
    state_ = ifsNone;
    Broadcast(bcPassEnded, nullptr);
  };
  try {
    if (OnBeforeCopy) OnBeforeCopy(this);
    PassEvent(ieBeforeCopy, this);
    if (Include) {
      const std::string dest = GetDestPath();
      if (Trim(dest).empty()) throw IECustomInstallFile(kBlankDestination, {Name()});
      CreateDirectoryTree(dest);
      c->OnStatus = [this](TTrnwCompress* s, const TlzhFileStats& st) { StatusChanged(s, st); };
      c->CopyFile(SourcePath(), TargetPath());
      if (OnAfterCopy) OnAfterCopy(this);
      PassEvent(ieAfterCopy, this);
    }
  } catch (const EAbort&) {
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

// ------------------------------------------------------------ install step

std::string TCustomInstallFile::KeptReason() const {
  switch (OverwriteMode) {
    case owNever: return "an existing file is never overwritten";
    case owVersion: return "the installed version is the same or newer";
    case owDate: return "the installed file is as new or newer";
    case owVersionDate: return "the installed version and date are the same or newer";
    case owAsk: return "the user chose to keep it";
    default: return "it is not replaced";
  }
}

bool TCustomInstallFile::DecideCopy() {
  const std::string target = TargetPath();
  int decision;
  if (!TargetExisted)
    decision = TVersionResource::IsFileNewerThanMissing(Version, OverwriteMode);
  else if (OverwriteMode == owNever)
    decision = !Trim(target).empty() && twfile::FileExists(target) ? vrKeep : vrReplace;
  else
    decision = TVersionResource::IsFileNewer(Version, target, OverwriteMode, FileDate);
  switch (decision) {
    case vrReplace:
    case vrCannotCompare: return true;
    case vrAsk: {
      const std::string text = Format(TranslateExceptionMessage("Copy This File %s?"), {fileName_});
      return InstallFileMessageHook(text, MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    default: return false;
  }
}

namespace {
// A target created empty before its step decides; removed again unless the
// extraction takes it.
struct TNewTarget {
  std::string path;
  std::unique_ptr<TWinFileStream> file;
  void Remove() {
    if (!file) return;
    file.reset();
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
  }
  ~TNewTarget() { Remove(); }
};

// Whether another program holds the file so that it cannot be replaced now.
// A read-only file is not in use for that alone.
bool FileInUse(const std::string& path) {
  auto opens = [&](DWORD access) {
    HANDLE h = CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  };
  if (opens(GENERIC_READ | GENERIC_WRITE)) return false;
  const DWORD error = GetLastError();
  if (error == ERROR_SHARING_VIOLATION) return true;
  if (error != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return !opens(GENERIC_READ) && GetLastError() == ERROR_SHARING_VIOLATION;
  // Writing refused to a file that is not read-only: a running program's image.
  return true;
}
}  // namespace

void TCustomInstallFile::PrepareReplace() {
  CallHandler(OnReplacing, this);
  Broadcast(bcReplacing, this);
  PassEvent(ieBeforeReplacing, this);
  CopyWanted = true;
  pendingTarget_.clear();
  const std::string target = TargetPath();
  // Nothing is deleted here: the extractor writes the new file beside the
  // old one and replaces it only once it is complete, so a cancel, a damaged
  // member or a full disk leaves the old file. Only a file another program
  // holds open (a sharing violation) waits for the restart; a read-only one
  // does not. A target that was not there when this file's step began is
  // not looked for again (a name that is missing costs a search of the whole
  // directory).
  if (!TargetExisted || !twfile::FileExists(target) || !FileInUse(target)) return;
  ReplaceAtReboot = true;
  const std::string dir = AddBackslash(GetDestPath());
  std::string name;
  for (int n = 1;; ++n) {
    name = ChangeFileExt(destName_, "." + std::to_string(n));
    if (!twfile::FileExists(dir + name) && !twfile::DirectoryExists(dir + name)) break;
  }
  finalName_ = destName_;
  destName_ = name;
  pendingTarget_ = target;
}

std::string ReplaceAtRestartBatchText(const std::string& newFile, const std::string& target) {
  auto quoted = [](const std::string& path) {
    std::string q = "\"";
    for (char c : path) q += c == '%' ? std::string("%%") : std::string(1, c);
    return q + "\"";
  };
  const std::string from = quoted(newFile), to = quoted(target);
  return "@if exist " + from + " del /f /q " + to + "\r\n@if exist " + from + " move /y " + from + " " + to +
         " >nul\r\n@del \"%~f0\"\r\n";
}

void TCustomInstallFile::RegisterReplaceAtReboot() {
  // The new file is in place; the target is replaced by it at the restart.
  const std::string target = pendingTarget_;
  pendingTarget_.clear();
  const std::string newFile = TargetPath();
  if (Is9xFamilyOS(RunningOSHook())) {
    const std::string shortTarget = GetShortPath(target);
    const std::string shortNew = GetShortPath(newFile);
    const std::string ini = AddBackslash(GetWindowsDir()) + "WININIT.INI";
    journal::WininitRename(ini, shortTarget);
    if (!WritePrivateProfileStringA("Rename", shortTarget.c_str(), shortNew.c_str(), ini.c_str()))
      throw IECustomInstallFile(
          "%s cannot register a routine in the register to move the files after the computer is reboot",
          {Name()});
    if (CurrentInstall) CurrentInstall->SetReboot(true);
    return;
  }
  if (CurrentInstall) CurrentInstall->SetReboot(true);
  journal::PendingRename(newFile, target);
  if (MoveFileExA(newFile.c_str(), target.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING))
    return;
  if (!CurrentInstall) return;
  const std::string reserved = CreateTempFileName(true);
  const std::string batch = ChangeFileExt(reserved, ".bat");
  if (!SameText(batch, reserved)) DeleteFileA(reserved.c_str());
  const std::string text = ReplaceAtRestartBatchText(newFile, target);
  bool written = false;
  journal::FileToCreate(batch);
  if (HANDLE h = CreateFileA(batch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
      h != INVALID_HANDLE_VALUE) {
    DWORD n = 0;
    written = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr) && n == text.size();
    CloseHandle(h);
  }
  if (!written)
    throw IECustomInstallFile(
        "%s cannot register a routine in the register to move the files after the computer is reboot",
        {Name()});
  CurrentInstall->AddUnfinished(batch, 1);
  if (!AddRunOnce("TarnwickBatFile", batch, true))
    throw IECustomInstallFile(
        "%s cannot register a routine in the register to move the files after the computer is reboot",
        {Name()});
}

void TCustomInstallFile::InstallObjects() {
  ReplaceAtReboot = false;
  finalName_.clear();
  PassEvent(ieBeforeFileInstall, this);
  try {
    CallHandler(OnBeforeInstall, this);
  } catch (const EAbort&) {
    PassEvent(ieFileSkipped, this);
    throw;  // ends the step: the file is neither processed nor recorded
  }
  if (Trim(GetDestPath()).empty()) throw IECustomInstallFile(kBlankDestination, {Name()});
  // A new target is created here and handed to the extraction, so that its
  // name is looked for once (under Wine a missing name costs a search of
  // its whole directory). One the user is asked about waits for the answer,
  // and a name the extraction would refuse or change is left to it.
  TNewTarget fresh{TargetPath(), nullptr};
  if (OverwriteMode != owAsk && SafeMemberFileName(destName_) == destName_) {
    fresh.file = TWinFileStream::Open(fresh.path, TWinFileStream::fmCreateNew);
    if (fresh.file) journal::FileCreated(fresh.path);
  }
  TargetExisted = !fresh.file && twfile::FileExists(fresh.path);
  CopyWanted = DecideCopy();
  if (CopyWanted) {
    try {
      PrepareReplace();
    } catch (const EAbort&) {
      CopyWanted = false;
    }
  }
  if (!CopyWanted) {
    fresh.Remove();
    LogLine("Kept " + TargetPath() + ": " + KeptReason());
    PassEvent(ieFileNotCopied, this);
    PostInstall();
    CallHandler(OnAfterInstall, this);
    PassEvent(ieFileInstalled, this);
    TInstallContainer::InstallObjects();
    return;
  }

  const TDistributeType dt = EffectiveDistributeType();
  std::unique_ptr<TTrnwCompress> own;
  TTrnwCompress* c = nullptr;
  if (dt != dtTraditional && (net_ || dt == dtWeb)) {
    // Only a file that comes over the network has a recorded local archive.
    std::string recorded;
    if (GetLocalFile(recorded)) LocalArchivePath = recorded;
    if (NeedsOwnArchive()) {
      Download();
    } else if (auto* fc = dynamic_cast<TFileContainer*>(container_)) {
      if (!fc->HasLocalArchive()) fc->Download();
    }
    own = std::make_unique<TTrnwCompress>(nullptr);
    c = own.get();
  } else {
    auto* install = dynamic_cast<TFileRelated*>(CurrentInstall);
    // The archive path depends on the state; judge it as the extraction will.
    state_ = ifsInstall;
    const std::string archive = GetArchivePath();
    state_ = ifsNone;
    if (install && SameText(install->GetArchivePath(), archive)) {
      c = SharedCompressor();
    } else {
      own = std::make_unique<TTrnwCompress>(nullptr);
      c = own.get();
    }
  }
  if (fresh.file) c->OfferNewTarget(fresh.path, std::move(fresh.file));
  Extract(c);
}

void TCustomInstallFile::Extract(TTrnwCompress* c) {
  auto clearCallbacks = [c] {
    c->OnNewDisk = nullptr;
    c->OnStatus = nullptr;
    c->OnAborted = nullptr;
  };
  try {
    state_ = ifsInstall;
    const std::string dest = GetDestPath();
    // A target created for the extraction stands in its directory already.
    if (!c->HasOfferedTarget()) CreateDirectoryTree(dest);
    const std::string archive = GetArchivePath();
    if (Trim(archive).empty()) throw IECustomInstallFile(kBlankArchive, {fileName_});
    c->SetCompressedFile(archive);
    c->ExtractDirectory = dest;
    c->ExtractName = destName_;
    c->Overwrite = OverwriteMode;
    c->OnAborted = [this](void*) { RaiseUserAbort(); };
    c->OnNewDisk = [this](TTrnwCompress* s, int disk, std::string& path) { NewDiskRequest(s, disk, path); };
    c->OnStatus = [this](TTrnwCompress* s, const TlzhFileStats& st) { StatusChanged(s, st); };
    c->SetFilesToProcess({SourcePath()});
    c->Extract();
    if (!pendingTarget_.empty()) {
      LogLine("In use: " + pendingTarget_ + " is replaced at the next restart by " + TargetPath());
      RegisterReplaceAtReboot();
    } else if (!c->Abort) {
      LogLine("Extracted " + TargetPath());
    }
    if (!InstallAttributes.Empty() && !ReplaceAtReboot) SetFileAttributesFromSet(TargetPath(), InstallAttributes);
    PostInstall();
    CallHandler(OnAfterInstall, this);
    PassEvent(ieFileInstalled, this);
    TInstallContainer::InstallObjects();
    clearCallbacks();
    if (c->Abort) SharedCompressor()->Abort = true;
    Broadcast(bcPassEnded, nullptr);
    state_ = ifsNone;
  } catch (...) {
    c->Abort = true;
    c->DropOfferedTarget();
    clearCallbacks();
    state_ = ifsNone;
    pendingTarget_.clear();
    throw;
  }
}

void TCustomInstallFile::NewDiskRequest(TTrnwCompress* extractor, int diskNumber, std::string& path) {
  SetTag(0);
  TDiskParameter disk;
  disk.DiskNumber = diskNumber;
  disk.DiskPath = ExtractFileDir(GetArchivePath());
  TParameterList list;
  list.Items = {this, &disk};
  CallHandler(OnNewDisk, this, diskNumber, disk.DiskPath);
  Broadcast(bcNewDisk, &list);
  PassEvent(ieNewDisk, &list);
  if (!OnNewDisk && Tag() == 0) {
    const std::string text = Format(TranslateExceptionMessage("Please insert disk #%d"), {diskNumber});
    extractor->Abort = InstallFileMessageHook(text, MB_OKCANCEL | MB_ICONINFORMATION) == IDCANCEL;
  }
  path = StripBackslash(disk.DiskPath);
  // Later files look for the main archive where this disk was found.
  try {
    PathSpecifiers().FindByClass<TpsMainArchiveFile>()->ArchiveDirectory = path;
  } catch (const Exception&) {
  }
  SetTag(0);
}

void TCustomInstallFile::StatusChanged(TTrnwCompress* extractor, const TlzhFileStats& stats) {
  TFileStatusParameter nested;
  TParameterList nestedList;
  const bool outer = !statusOut_;
  TFileStatusParameter& p = outer ? status_ : nested;
  TParameterList& list = outer ? statusList_ : nestedList;
  statusOut_ = true;
  TScopeExit back([this, outer] {
    if (outer) statusOut_ = false;
  });
  p.BytesDone = stats.FileDone;
  p.FilePercent = stats.FilePercent;
  p.FileName = stats.FileName;
  p.Stats = stats;
  p.TotalBytes = stats.TotalDone;
  p.TotalPercent = stats.TotalPercent;
  list.Items = {this, &p};
  CallHandler(OnStatus, this, p.FilePercent, p.TotalPercent);
  Broadcast(bcFileStatus, &p);
  switch (state_) {
    case ifsCompress: PassEvent(ieCompressStatus, &list); break;
    case ifsInstall: PassEvent(ieInstallStatus, &list); break;
    case ifsCopying: PassEvent(ieCopyStatus, &list); break;
    default: break;
  }
}

void TCustomInstallFile::ContinueAfterReboot() {
  if (activeX_) RegisterActiveX();
  SetFileAttributesFromSet(InstalledPath(), InstallAttributes);
}

// ------------------------------------------------------------ stream properties

namespace {
const std::vector<std::string> kFileTypeIdents{"iftNormal", "iftJustADLL", "iftApplicationSpecificDLL",
                                               "iftVendorSharedDLL", "iftSystemWideDLL"};
const std::vector<std::string> kOverwriteIdents{"owAlways", "owNever", "owVersion",
                                                "owDate",   "owVersionDate", "owAsk"};
const std::vector<std::string> kAttributeIdents{"tfaArchive", "tfaCompressed", "tfaDirectory",
                                                "tfaHidden",  "tfaNormal",     "tfaOffline",
                                                "tfaReadOnly", "tfaSystem",    "tfaTemporary"};
}  // namespace

void AddInstallFileProperties(TClassInfo& c) {
  c.String<TCustomInstallFile>("RunParameters",
                               [](TCustomInstallFile& o, const std::string& v) { o.RunParameters = v; });
  c.Set<TCustomInstallFile>("InstallAttributes", kAttributeIdents, [](TCustomInstallFile& o, unsigned v) {
    o.InstallAttributes = TTrnwFileAttributesSet::FromBits(static_cast<std::uint16_t>(v));
  });
  c.Boolean<TCustomInstallFile>("ActiveX", [](TCustomInstallFile& o, bool v) { o.SetActiveX(v); });
  c.String<TCustomInstallFile>(
      "DestName", [](TCustomInstallFile& o, const std::string& v) { o.SetDestName(v); },
      [](TCustomInstallFile& o) { return o.DestName(); });
  c.String<TCustomInstallFile>(
      "FileName", [](TCustomInstallFile& o, const std::string& v) { o.SetFileName(v); },
      [](TCustomInstallFile& o) { return o.FileName(); });
  c.Enum<TCustomInstallFile>("FileType", kFileTypeIdents, [](TCustomInstallFile& o, int v) {
    o.SetFileType(static_cast<TInstallFileType>(v));
  });
  c.String<TCustomInstallFile>(
      "IncludeFromDir", [](TCustomInstallFile& o, const std::string& v) { o.SetIncludeFromDir(v); },
      [](TCustomInstallFile& o) { return o.IncludeFromDir(); });
  c.Enum<TCustomInstallFile>("OverwriteMode", kOverwriteIdents, [](TCustomInstallFile& o, int v) {
    o.OverwriteMode = static_cast<TOverwriteType>(v);
  });
  c.Boolean<TCustomInstallFile>("RegisterAsHelp", [](TCustomInstallFile& o, bool v) { o.RegisterAsHelp = v; });
  c.Boolean<TCustomInstallFile>("RunAfterInstall", [](TCustomInstallFile& o, bool v) { o.RunAfterInstall = v; });
  c.Boolean<TCustomInstallFile>("UpdateDLLCounter",
                                [](TCustomInstallFile& o, bool v) { o.UpdateDLLCounter = v; });
  c.Integer<TCustomInstallFile>("UniqueID", [](TCustomInstallFile& o, int v) { o.SetUniqueID(v); });
}

namespace {
TClassRegistrar<TCustomInstallFile> regCustomFile("TCustomInstallFile", "TFileRelated", AddInstallFileProperties,
                                                  nullptr);
TClassRegistrar<TInstallFile> regFile("TInstallFile", "TCustomInstallFile", nullptr);
}  // namespace

void RegisterInstallFileClasses() { RegisterFileContainerClasses(); }
