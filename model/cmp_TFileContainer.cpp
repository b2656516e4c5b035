#include "cmp_TFileContainer.h"

#include <windows.h>

#include <algorithm>

#include "ClassReg.h"
#include "Controls.h"
#include "ScopeExit.h"
#include "cmp_TInstallFile.h"
#include "routines_API.h"
#include "routines_Registry.h"
#include "routines_Strings.h"
#include "stream_WinFile.h"

TCustomPathSpecifier* (*StandardSpecifierHook)(const char* className) = nullptr;
std::function<void(TInstallObject*)> Reflector;

TNetLocationAccess& NetLocationAccess() {
  static TNetLocationAccess access;
  return access;
}

namespace {
// Keeps the shared compressor's archive open for the length of a pass; the
// setting comes back when the returned guard goes.
auto KeepSharedArchiveOpen() {
  TTrnwCompress* shared = SharedCompressor();
  const bool kept = shared->KeepsArchiveOpen();
  shared->SetKeepArchiveOpen(true);
  return TScopeExit([shared, kept] { shared->SetKeepArchiveOpen(kept); });
}

// The archive specifiers (psContainerArchiveFile) reach the archive path of a
// file-related object through the path specifier unit's link.
struct TLinkArchivePath {
  TLinkArchivePath() {
    std::function<std::string(TInstallContainer*)>& link = PathSpecifierLinks().ArchivePath;
    if (link) return;
    link = [](TInstallContainer* obj) -> std::string {
      auto* related = dynamic_cast<TFileRelated*>(obj);
      if (!related)
        throw IEPathSpecifier("The archive path of %s is not available", {obj ? obj->Name() : std::string("nil")});
      return related->GetArchivePath();
    };
  }
} linkArchivePath;
}  // namespace

bool IsSpecifierOf(const TCustomPathSpecifier* specifier, const char* className) {
  return specifier && SameText(specifier->ClassName(), className);
}

TCustomPathSpecifier* FindStandardSpecifier(const char* className, TComponent* context) {
  if (StandardSpecifierHook) return StandardSpecifierHook(className);
  TComponent* owner = context ? context->Owner() : nullptr;
  if (!owner) return nullptr;
  for (int i = 0; i < owner->ComponentCount(); ++i)
    if (auto* ps = dynamic_cast<TCustomPathSpecifier*>(owner->Component(i)))
      if (IsSpecifierOf(ps, className)) return ps;
  return nullptr;
}

namespace {
constexpr const char* kContainerArchiveFile = "TpsContainerArchiveFile";
constexpr const char* kMainArchiveFile = "TpsMainArchiveFile";
constexpr const char* kInstallSource = "TpsInstallSource";

// A name usable as a directory: '/' becomes '-', characters that Windows
// refuses in names are dropped.
std::string FileNameSafe(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (ch == '/') out += '-';
    else if (std::string("\"*:;<>?\\|").find(ch) == std::string::npos) out += ch;
  }
  return out;
}

// part of whole in whole percent, 0 to 100.
int RoundPercent(std::int64_t part, std::int64_t whole) {
  if (whole <= 0 || part <= 0) return 0;
  return std::min<int>(PercentOf(part, whole), 100);
}

TFileRelated* AsFileRelated(TInstallContainer* c) { return dynamic_cast<TFileRelated*>(c); }
}  // namespace

// ------------------------------------------------------------ TFileRelated

TFileRelated::TFileRelated(TComponent* owner) : TInstallObject(owner) {
  autoProcess_ = true;
  if (owner && owner->IsDesigning()) {
    archiveFileType_ = FindStandardSpecifier(kContainerArchiveFile, this);
    if (archiveFileType_) {
      archiveFileType_->FreeNotification(this);
      archiveFileTypeDefaulted_ = true;
    }
  }
}

TFileRelated::~TFileRelated() {
  BeginDestroy();
  AnnounceDestruction();
}

void TFileRelated::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == archiveFileType_) archiveFileType_ = nullptr;
  if (netLocationComponent_ && component == netLocationComponent_) {
    netLocationComponent_ = nullptr;
    netLocation_ = nullptr;
  }
}

void TFileRelated::DownloadProgress(const std::string& fileName, int bytes, std::int64_t totalBytes,
                                    std::int64_t fileSize, const char* buffer) {
  TDownloadStatusParameter p;
  p.Bytes = bytes;
  p.FileName = fileName;
  p.FileSize = fileSize;
  p.TotalBytes = totalBytes;
  p.Percent = RoundPercent(totalBytes, fileSize);
  if (OnDataReceived)
    OnDataReceived(this, fileName, static_cast<std::uint32_t>(bytes), static_cast<std::uint32_t>(totalBytes),
                   static_cast<std::uint32_t>(fileSize), buffer);
  Broadcast(bcDownloadStatus, &p);
  if (container_) container_->DoInformationEventControl(this, ieDownloadStatus, &p);
}

void TFileRelated::Download() {
  std::string recorded;
  if (GetLocalFile(recorded)) {
    LocalArchivePath = recorded;
    return;
  }
  TCustomNetInstallLocation* location = EffectiveNetLocation();
  if (!location) throw Exception("Could not find a net install location for %s", {Name()});
  TNetLocationAccess& net = NetLocationAccess();
  if (!net.IsLoginComplete || !net.IsLoginComplete(location)) {
    if (netLocation_)
      throw IEFileRelated(
          "%s could not install itself because the TNetLocation component's properties, in the "
          "NetLocation property, have not been filled in",
          {Name()});
    throw IEFileRelated(
        "%s could not install itself because the LoginInformation property of the TInstall "
        "component has not been properly filled in",
        {Name()});
  }
  // The temporary name only reserves a unique stem; the archive gets ".1".
  const std::string reserved = CreateTempFileName(true);
  LocalArchivePath = ChangeFileExt(reserved, ".1");
  const bool reservedIsTarget = SameText(reserved, LocalArchivePath);
  auto discard = [&] {
    DeleteFileA(LocalArchivePath.c_str());
    LocalArchivePath.clear();
  };
  try {
    if (!net.Download) throw IEFileRelated("Could not find a net install location for %s", {Name()});
    net.Download(location, this, Name() + ".1", LocalArchivePath);
  } catch (...) {
    if (!reservedIsTarget) DeleteFileA(reserved.c_str());
    const bool aborted = net.DownloadAborted && net.DownloadAborted(location);
    // A partial archive must not pass for a downloaded one.
    discard();
    if (aborted) throw EAIUserAbort();
    throw;
  }
  if (!reservedIsTarget) DeleteFileA(reserved.c_str());
  if (net.DownloadAborted && net.DownloadAborted(location)) {
    discard();
    throw EAIUserAbort();
  }
  if (!IsDesigning()) RecordLocalFile(LocalArchivePath);
}

bool TFileRelated::HasLocalArchive() {
  if (!Trim(LocalArchivePath).empty()) return true;
  std::string path;
  return GetLocalFile(path);
}

namespace {
// The record key of an object's "LocalFile" value; empty without a record.
std::string LocalFileKey(const std::string& name) {
  if (Trim(name).empty() || Trim(CurrentInstallKey).empty()) return std::string();
  return AddBackslash(CurrentInstallKey) + name;
}
}  // namespace

void TFileRelated::RecordLocalFile(const std::string& path) {
  const std::string key = LocalFileKey(Name());
  if (key.empty() || Trim(path).empty()) return;
  try {
    WriteRegistryString(kHKLM, key, "LocalFile", path);
  } catch (const Exception&) {
  }
}

bool TFileRelated::GetLocalFile(std::string& path) {
  const std::string key = LocalFileKey(Name());
  if (key.empty()) return false;
  const std::string value = ReadRegistryString(kHKLM, key, "LocalFile", std::string());
  if (Trim(value).empty() || !twfile::FileExists(value)) return false;
  path = value;
  return true;
}

void TFileRelated::SetArchiveFile(const std::string& value) {
  if (IsLoading()) {
    archiveFile_ = value;
    return;
  }
  if (IsSpecifierOf(archiveFileType_, kContainerArchiveFile) || IsSpecifierOf(archiveFileType_, kMainArchiveFile))
    archiveFile_.clear();
  else
    archiveFile_ = value;
}

void TFileRelated::SetArchiveFileType(TCustomPathSpecifier* value) {
  archiveFileTypeAssigned_ = true;
  if (!IsLoading() && value) {
    value->CheckObject(this);
    if (IsSpecifierOf(value, kContainerArchiveFile) || IsSpecifierOf(value, kMainArchiveFile))
      archiveFile_.clear();
  }
  if (value == archiveFileType_) return;
  archiveFileType_ = value;
  if (value) value->FreeNotification(this);
}

void TFileRelated::SetNet(bool value) { net_ = value; }

void TFileRelated::SetNetLocation(TCustomNetInstallLocation* value) {
  TComponent* component = nullptr;
  if (value) {
    TNetLocationAccess& net = NetLocationAccess();
    if (!net.AsComponent) throw IEFileRelated("Network install locations are not available in this program");
    component = net.AsComponent(value);
  }
  netLocation_ = value;
  netLocationComponent_ = component;
  if (component) component->FreeNotification(this);
}

std::string TFileRelated::GetArchivePath() {
  return StripBackslash(archiveFileType_ ? archiveFileType_->GetPath(this) + archiveFile_ : archiveFile_);
}

void TFileRelated::SetContainer(TInstallContainer* value) {
  TInstallObject::SetContainer(value);
  if (IsLoading()) return;
  if (value && (AsFileRelated(value) || dynamic_cast<TCustomInstallGroup*>(value))) {
    TCustomPathSpecifier* standard = FindStandardSpecifier(kContainerArchiveFile, this);
    if (standard) SetArchiveFileType(standard);
    archiveFile_.clear();
  } else if (!value && IsSpecifierOf(archiveFileType_, kContainerArchiveFile)) {
    SetArchiveFileType(nullptr);
  }
}

void TFileRelated::Loaded() {
  if (archiveFileTypeDefaulted_ && !archiveFileTypeAssigned_) SetArchiveFileType(nullptr);
  archiveFileTypeDefaulted_ = false;
  TInstallObject::Loaded();
  std::string recorded;
  if (GetLocalFile(recorded)) LocalArchivePath = recorded;
}

std::string TFileRelated::NetSubPath() {
  TCustomNetInstallLocation* location = EffectiveNetLocation();
  if (!location) throw IEFileRel_NoNetLocation("Could not find a net install location for %s", {Name()});
  TNetLocationAccess& net = NetLocationAccess();
  const std::string host = FileNameSafe(net.Hostname ? net.Hostname(location) : std::string());
  const std::string directory = net.Directory ? net.Directory(location) : std::string();
  if (!Trim(directory).empty()) return host + "\\" + FileNameSafe(directory);
  const bool ftp = net.IsFTP && net.IsFTP(location);
  return host + "\\" + (ftp ? "FTP Root directory" : "HTTP Root directory");
}

TCustomNetInstallLocation* TFileRelated::EffectiveNetLocation() {
  if (netLocation_) return netLocation_;
  if (dynamic_cast<TCustomInstallFile*>(this) && container_) {
    if (auto* fc = dynamic_cast<TFileContainer*>(container_)) return fc->EffectiveNetLocation();
    return nullptr;
  }
  auto* install = AsFileRelated(CurrentInstall);
  if (!install || install == this) return nullptr;
  return install->NetLocation();
}

// ------------------------------------------------------------ TFileContainer

TFileContainer::TFileContainer(TComponent* owner) : TFileContainer(owner, true) {}

TFileContainer::TFileContainer(TComponent* owner, bool withOwnSpecifier) : TFileRelated(owner) {
  FireAfterInstallObjects = true;
  if (withOwnSpecifier) CreateOwnSpecifier();
}

void TFileContainer::CreateOwnSpecifier() {
  TComponent* owner = Owner();
  auto* specifier = new TpsFileContainer(owner);
  specifier->fileContainer_ = this;
  FreeNotification(specifier);
  std::string name = "psFileContainer";
  for (int n = 1; owner && owner->FindComponent(name); ++n) name = "psFileContainer" + std::to_string(n);
  specifier->naming_ = true;
  specifier->SetName(name);
  specifier->naming_ = false;
  ownSpecifier_ = specifier;
  specifier->FreeNotification(this);
}

TFileContainer::~TFileContainer() {
  BeginDestroy();
  FreeFiles();
  if (ownSpecifier_ && !ownSpecifier_->IsDestroying()) {
    TpsFileContainer* specifier = ownSpecifier_;
    ownSpecifier_ = nullptr;
    try {
      delete specifier;
    } catch (...) {
    }
  }
  AnnounceDestruction();
}

void TFileContainer::Notification(TComponent* component, TOperation operation) {
  TFileRelated::Notification(component, operation);
  if (operation == opRemove && component == ownSpecifier_) ownSpecifier_ = nullptr;
}

void TFileContainer::PassEvent(int code, TPersistent* parameter) {
  if (container_) container_->DoInformationEventControl(this, code, parameter);
}

void TFileContainer::DoNewDisk(TCustomInstallFile* file, TParameterList* list) {
  auto* disk = static_cast<TDiskParameter*>(list->Items[1]);
  if (OnNewDisk) {
    std::string path = disk->DiskPath;
    OnNewDisk(file, disk->DiskNumber, path);
    file->SetTag(1);
    disk->DiskPath = path;
  }
  Broadcast(bcNewDisk, list);
}

void TFileContainer::DoReplacing(TCustomInstallFile* file) {
  if (OnReplacing) OnReplacing(file);
  Broadcast(bcReplacing, file);
}

void TFileContainer::DoStatus(TCustomInstallFile* file, TFileStatusParameter* status) {
  if (OnStatus) OnStatus(file, status->FilePercent, status->TotalPercent);
  Broadcast(bcFileStatus, status);
}

void TFileContainer::DoInformationEventControl(TInstallContainer* sender, int code, TPersistent* parameter) {
  if (Mode == fcmIdle) return;
  if (!parameter) throw IEFileContainer("%s got a nil PO parameter", {Name()});
  const bool listEvent = code >= ieInstallStatus && code <= ieNewDisk;
  TParameterList* list = nullptr;
  if (listEvent) {
    list = dynamic_cast<TParameterList*>(parameter);
    if (!list) throw IEFileContainer("DoInformationEventControl--PO is not a TList object");
    if (list->Items.size() < 2)
      throw IEFileContainer("DoInformationEventControl--Not engouh parameters for status event");
  }
  switch (code) {
    case ieBeforeReplacing: {
      auto* file = dynamic_cast<TCustomInstallFile*>(parameter);
      if (!file) throw IEFileContainer("DoInformationEventControl parameter is not TInstallFile");
      DoReplacing(file);
      break;
    }
    case ieInstallStatus:
    case ieCompressStatus:
    case ieCopyStatus: {
      auto* file = dynamic_cast<TCustomInstallFile*>(list->Items[0]);
      if (!file) throw IEFileContainer("DoInformationEventControl says bad first parameter");
      auto* status = dynamic_cast<TFileStatusParameter*>(list->Items[1]);
      if (!status) throw IEFileContainer("DoInformationEventControl says bad second parameter");
      status->TotalBytes = BytesDone + status->BytesDone;
      status->TotalPercent = RoundPercent(status->TotalBytes, TotalSize);
      DoStatus(file, status);
      if (status->Stats.Finished) BytesDone += status->Stats.Size;
      break;
    }
    case ieNewDisk: {
      auto* file = dynamic_cast<TCustomInstallFile*>(list->Items[0]);
      if (!file) throw IEFileContainer("DoInformationEventControl says bad %d parameter", {1});
      if (!dynamic_cast<TDiskParameter*>(list->Items[1]))
        throw IEFileContainer("DoInformationEventControl says bad %d parameter", {2});
      DoNewDisk(file, list);
      break;
    }
    case ieDownloadStatus: {
      auto* p = dynamic_cast<TDownloadStatusParameter*>(parameter);
      if (!p)
        throw IEFileContainer("The PO object passed to %s is not a TDownloadStatusParameter object", {Name()});
      if (OnDataReceived)
        OnDataReceived(this, p->FileName, static_cast<std::uint32_t>(p->Bytes),
                       static_cast<std::uint32_t>(p->TotalBytes), static_cast<std::uint32_t>(p->FileSize),
                       nullptr);
      Broadcast(bcDownloadStatus, p);
      break;
    }
    case ieFileSkipped:
    case ieFileNotCopied: {
      auto* file = dynamic_cast<TCustomInstallFile*>(parameter);
      if (!file) throw IEFileContainer("DoInformationEventControl says bad first parameter");
      TFileStatusParameter status;
      status.BytesDone = file->Size;
      status.FilePercent = 100;
      status.FileName = file->FileName();
      status.TotalBytes = BytesDone + file->Size;
      status.TotalPercent = RoundPercent(status.TotalBytes, TotalSize);
      DoStatus(file, &status);
      BytesDone += file->Size;
      break;
    }
    default:
      break;
  }
  PassEvent(code, parameter);
  (void)sender;
}

std::int64_t TFileContainer::SizeOfFiles(bool all, bool recursive) {
  std::int64_t total = 0;
  for (TInstallObject* o : std::vector<TInstallObject*>(helpers_)) {
    if (auto* f = dynamic_cast<TCustomInstallFile*>(o)) {
      if (all || f->IsSelected()) total += f->Size;
    } else if (recursive) {
      if (auto* fc = dynamic_cast<TFileContainer*>(o))
        if (all || fc->IsSelected()) total += fc->TotalSizeOf(all);
    }
  }
  return total;
}

std::int64_t TFileContainer::PackedSizeOf(bool all) {
  std::int64_t total = 0;
  for (TInstallObject* o : std::vector<TInstallObject*>(helpers_)) {
    if (auto* f = dynamic_cast<TCustomInstallFile*>(o)) {
      if (all || f->IsSelected()) total += f->PackedSize;
    } else if (auto* fc = dynamic_cast<TFileContainer*>(o)) {
      if (all || fc->IsSelected()) total += fc->PackedSizeOf(all);
    }
  }
  return total;
}

std::int64_t TFileContainer::DirectSizeOf(bool all) { return SizeOfFiles(all, false); }
std::int64_t TFileContainer::TotalSizeOf(bool all) { return SizeOfFiles(all, true); }

void TFileContainer::SetState(std::uint8_t state) {
  TScopeExit idle([this] { Mode = fcmIdle; });
  switch (state) {
    case fcmCompressing: Compress(TCompressOptions{}); break;
    case fcmInstalling: Install(); break;
    case fcmCopying: Copy(); break;
    case fcmReflecting: Reflect(); break;
    default: break;
  }
}

void TFileContainer::Copy() {
  Mode = fcmCopying;
  try {
    if (OnBeforeProcess) OnBeforeProcess(this);
    if (Include) {
      PassEvent(ieContainerStart, this);
      ReadSourceInfoForPass();
      TotalSize = TotalSizeOf(false);
      BytesDone = 0;
      for (TCustomInstallFile* f : FileList()) f->Copy();
      std::vector<TFileContainer*> containers;
      for (TInstallObject* o : helpers_)
        if (auto* fc = dynamic_cast<TFileContainer*>(o)) containers.push_back(fc);
      for (TFileContainer* fc : containers) fc->Copy();
      if (OnAfterProcess) OnAfterProcess(this);
      PassEvent(ieContainerEnd, this);
    }
  } catch (...) {
    Mode = fcmIdle;
    Broadcast(bcPassEnded, nullptr);
    throw;
  }
  Mode = fcmIdle;
  Broadcast(bcPassEnded, nullptr);
}

void TFileContainer::FreeFiles() { FreeObjectsOfClass(&IsInstallClass<TCustomInstallFile>); }

void TFileContainer::Compress(TCompressOptions options) {
  if (options.Contains(coForceNetFilesLocal) && options.Contains(coForceFilesNet))
    throw IEFileContainer("Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress");
  Mode = fcmCompressing;
  auto finish = [this] {
    Mode = fcmIdle;
    Broadcast(bcPassEnded, nullptr);
  };
  try {
    if (OnBeforeProcess) OnBeforeProcess(this);
    if (!Include) {
      finish();
      return;
    }
    PassEvent(ieContainerStart, this);
    ReadSourceInfoForPass();
    TotalSize = TotalSizeOf(options.Contains(coIncludeExcluded));
    BytesDone = 0;

    const std::string base = ExtractFileDir(GetArchivePath());
    try {
      LocalArchivePath = base + "\\" + NetSubPath() + "\\" + Name() + ".1";
    } catch (const IEFileRel_NoNetLocation&) {
      if (!options.Contains(coForceNetFilesLocal)) throw;
    }

    // The files of the pass append to one archive: it stays open between
    // them (closed before an archive is deleted).
    auto keepOpen = KeepSharedArchiveOpen();
    auto deleteArchive = [this](const std::string& path) {
      SharedCompressor()->CloseKeptArchive();
      if (twfile::FileExists(path) && !DeleteFileA(path.c_str()))
        throw IEFileContainer("%s cannot delete the archive file %s", {Name(), path});
    };
    if (AddToArchive == lzcOverwrite) {
      const std::string archive = GetArchivePath();
      if (!archive.empty()) deleteArchive(ChangeFileExt(archive, ".1"));
    }
    if ((ContainsNetFiles() || (options.Contains(coForceFilesNet) && FileCount() > 0)) &&
        !LocalArchivePath.empty())
      deleteArchive(LocalArchivePath);

    const std::vector<TInstallObject*> list = helpers_;
    const std::uint64_t changes = helpersChanges_;
    // The pass's files in order: the small ones are compressed ahead on
    // the worker threads.
    std::vector<std::string> sources;
    for (TInstallObject* o : list)
      if (auto* f = dynamic_cast<TCustomInstallFile*>(o))
        if (f->Include || options.Contains(coIncludeExcluded)) sources.push_back(f->SourcePath());
    SharedCompressor()->CompressAhead(sources);
    TScopeExit endAhead([] { SharedCompressor()->CompressAhead({}); });
    for (TInstallObject* o : list) {
      if (!StillHelper(o, changes)) continue;
      if (auto* fr = dynamic_cast<TFileRelated*>(o)) CompressObject(fr, options, base);
    }
    if (OnAfterProcess) OnAfterProcess(this);
    PassEvent(ieContainerEnd, this);
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void TFileContainer::CompressObject(TFileRelated* o, TCompressOptions options, const std::string& base) {
  const TlzhCommand keptAdd = o->AddToArchive;
  std::string keptFile = o->archiveFile_;
  TCustomPathSpecifier* const keptType = o->archiveFileType_;
  const bool keptInclude = o->Include;
  auto* file = dynamic_cast<TCustomInstallFile*>(o);
  TScopeExit restore([&] {
    o->AddToArchive = keptAdd;
    o->archiveFileType_ = keptType;
    o->archiveFile_ = std::move(keptFile);
    o->Include = keptInclude;
  });
  if (options.Contains(coIncludeExcluded) && !o->Include) o->Include = true;
  const bool isNet = file && !options.Contains(coForceNetFilesLocal) &&
                     (o->Net() || options.Contains(coForceFilesNet));
  if (isNet) {
    const std::string ownArchive = base + "\\" + o->NetSubPath() + "\\" + o->Name() + ".1";
    o->archiveFileType_ = nullptr;
    if (o->NetLocation()) {
      o->AddToArchive = lzcOverwrite;
      o->archiveFile_ = ownArchive;
    } else {
      o->AddToArchive = lzcOnlyAdd;
      o->archiveFile_ = file->NeedsOwnArchive() ? ownArchive : LocalArchivePath;
    }
  } else if (options.Contains(coIntoContainerArchive)) {
    // Into this container's own archive.
    const std::string archive = GetArchivePath();
    o->AddToArchive = lzcOnlyAdd;
    o->archiveFileType_ = nullptr;
    o->archiveFile_ = archive;
  } else if (IsSpecifierOf(o->archiveFileType_, kContainerArchiveFile)) {
    o->AddToArchive = lzcOnlyAdd;
  } else if (IsSpecifierOf(o->archiveFileType_, kInstallSource)) {
    auto* install = AsFileRelated(CurrentInstall);
    const std::string dir = install ? ExtractFileDir(install->GetArchivePath()) : base;
    o->AddToArchive = lzcOverwrite;
    o->archiveFileType_ = nullptr;
    o->archiveFile_ = dir + o->archiveFile_;
  } else if (options.Contains(coArchivesBesideContainer)) {
    const std::string own = o->GetArchivePath();
    const std::size_t colon = own.find(':');
    o->AddToArchive = lzcOverwrite;
    o->archiveFileType_ = nullptr;
    o->archiveFile_ = base + (colon == std::string::npos ? own : own.substr(colon + 1));
  }
  if (auto* fc = dynamic_cast<TFileContainer*>(o)) fc->Compress(options);
  else if (file) file->SetState(ifsCompress);
}

std::string TFileContainer::GetNetArchivePath() {
  std::string path;
  if (!GetLocalFile(path))
    throw IEFileContainer(
        "%s has not yet downloaded the archive file and therefore cannot retrieve the path of the "
        "archive file",
        {Name()});
  return path;
}

void TFileContainer::ReadArchiveInfo() {
  TWaitCursor wait;
  for (TCustomInstallFile* f : FileList()) f->ReadInfoFromArchive();
  for (int i = 0; i < FileContainerCount(); ++i)
    static_cast<TFileContainer*>(FileContainers(i))->ReadArchiveInfo();
  ArchiveInfoRead = true;
}

void TFileContainer::ReadSourceInfo() {
  TWaitCursor wait;
  for (TCustomInstallFile* f : FileList()) f->ReadSourceInfo();
  for (int i = 0; i < FileContainerCount(); ++i)
    static_cast<TFileContainer*>(FileContainers(i))->ReadSourceInfo();
  sourceInfoFresh_ = true;
}

void TFileContainer::ReadSourceInfoForPass() {
  auto* outer = dynamic_cast<TFileContainer*>(Container());
  const bool readByOuter = sourceInfoFresh_ && outer && outer->Mode == Mode;
  if (!readByOuter) ReadSourceInfo();
  sourceInfoFresh_ = false;
}

bool TFileContainer::HasNetFilesToDownload() {
  if (EffectiveDistributeType() == dtTraditional) return false;
  for (TCustomInstallFile* f : FileList()) {
    if (f->Net() && f->Include && !f->NetLocation()) return true;
  }
  return false;
}

void TFileContainer::InstallObjects() {
  Mode = fcmInstalling;
  TScopeExit idle([this] { Mode = fcmIdle; });
  bool aborted = false;
  {
    TWaitCursor wait;
    std::string recorded;
    if (GetLocalFile(recorded)) LocalArchivePath = recorded;
    ReadArchiveInfo();
    Broadcast(bcContainerInstallStart, nullptr);
    PassEvent(ieContainerStart, this);
    TotalSize = TotalSizeOf(false);
    BytesDone = 0;
    if (OnBeforeInstallObjects) OnBeforeInstallObjects(this);
    TUninstallRecordSession records;
    // The files of the pass read one archive: it is opened once.
    auto keepOpen = KeepSharedArchiveOpen();
    TInstallContainer::InstallObjects();
    PassEvent(ieContainerEnd, this);
    records.End();
  }
  aborted = SharedCompressor()->Abort;
  Broadcast(bcPassEnded, nullptr);
  if (FireAfterInstallObjects && OnAfterInstallObjects) OnAfterInstallObjects(this, aborted);
}

int TFileContainer::FileCount() const { return CountOfClass(&IsInstallClass<TCustomInstallFile>); }

TCustomInstallFile* TFileContainer::Files(int index) const { return Comp<TCustomInstallFile>(index); }

std::vector<TCustomInstallFile*> TFileContainer::FileList() const {
  std::vector<TCustomInstallFile*> files;
  for (TInstallObject* o : helpers_)
    if (IsInstallClass<TCustomInstallFile>(o)) files.push_back(static_cast<TCustomInstallFile*>(o));
  return files;
}

TCustomInstallFile* TFileContainer::FindFile(const std::string& path) const {
  for (TInstallObject* o : helpers_)
    if (auto* f = dynamic_cast<TCustomInstallFile*>(o))
      if (SameText(f->SourcePath(), path)) return f;
  return nullptr;
}

bool TFileContainer::ContainsNetFiles() const {
  for (TInstallObject* o : helpers_)
    if (auto* f = dynamic_cast<TCustomInstallFile*>(o))
      if (f->Net()) return true;
  return false;
}

void TFileContainer::Reflect() {
  Mode = fcmReflecting;
  std::vector<TInstallObject*> list = helpers_;
  for (TInstallObject* o : list)
    if (Reflector) Reflector(o);
}

// ------------------------------------------------------------ groups and directories

void TInstallGroupDialogOptions::Assign(const TPersistent& source) {
  auto* s = dynamic_cast<const TInstallGroupDialogOptions*>(&source);
  if (!s) {
    TPersistent::Assign(source);
    return;
  }
  AllowChangeDir = s->AllowChangeDir;
  AllowExcludeInclude = s->AllowExcludeInclude;
  Description.Strings = s->Description.Strings;
  DisplayDirectory = s->DisplayDirectory;
  ShowRegardlessOfInclude = s->ShowRegardlessOfInclude;
  // Pictures are not copied between options; the icon is left as it is.
}

void TGroupIcon::LoadGraphic(const std::string& graphicClass, const std::string& data) {
  std::string bytes(1, static_cast<char>(graphicClass.size()));
  bytes += graphicClass;
  bytes += data;
  Picture.LoadFromStreamData(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TCustomInstallGroup::TCustomInstallGroup(TComponent* owner) : TFileContainer(owner) {}

void TCustomInstallGroup::SetContainer(TInstallContainer* value) {
  TFileContainer::SetContainer(value);
  if (value) {
    if (value != CurrentInstall && !dynamic_cast<TCustomInstallGroup*>(value))
      throw IEInstallGroup(
          "A TInstallGroup component can only be contained by a TInstall, or another TInstallGroup "
          "component");
  } else if (CurrentInstall && CurrentInstall != this && !IsDestroying()) {
    TFileContainer::SetContainer(CurrentInstall);
  }
}

TInstallDirectory::TInstallDirectory(TComponent* owner) : TFileContainer(owner) {
  if (owner && owner->IsDesigning()) {
    int n = 0;
    for (int i = 0; i < InstallContainers().Count(); ++i)
      if (InstallContainers().Items(i)->IsFileContainer()) ++n;
    Description = "Install Directory " + std::to_string(n);
  }
}

void TInstallDirectory::RemoveMissingFiles() {
  for (int i = FileCount() - 1; i >= 0; --i) {
    if (i >= FileCount()) continue;
    TCustomInstallFile* f = Files(i);
    if (!twfile::FileExists(AddBackslash(f->IncludeFromDir()) + f->FileName())) delete f;
  }
}

// ------------------------------------------------------------ TpsFileContainer

namespace {
int g_nameClashCounter = 0;
}

TpsFileContainer::TpsFileContainer(TComponent* owner) : TCustomPathSpecifier(owner) {}

TpsFileContainer::~TpsFileContainer() {
  BeginDestroy();
  if (fileContainer_ && fileContainer_->ownSpecifier_ == this) fileContainer_->ownSpecifier_ = nullptr;
}

void TpsFileContainer::CheckObject(TInstallContainer* obj) {
  if (dynamic_cast<TFileContainer*>(obj) || dynamic_cast<TCustomInstallFile*>(obj))
    throw IEPathSpecifier("A file container cannot reference another file container or group");
}

std::string TpsFileContainer::GetPath(TInstallContainer* obj) {
  CheckObject(obj);
  return fileContainer_ ? fileContainer_->GetDestPath() : std::string();
}

std::string TpsFileContainer::GetDescription() {
  if (!fileContainer_) return "Path specifier for unknown file container";
  return "Path into which " + fileContainer_->Description + " will be installed";
}

std::string TpsFileContainer::GetDisplayName() {
  if (!fileContainer_) return "Path specifier for unknown file container";
  return "<" + fileContainer_->Description + ">";
}

void TpsFileContainer::SetName(const std::string& name) {
  if (!naming_ && Owner()) {
    TComponent* other = Owner()->FindComponent(name);
    if (other && other != this) other->SetName("nameClash" + std::to_string(++g_nameClashCounter));
  }
  TCustomPathSpecifier::SetName(name);
}

void TpsFileContainer::Loaded() {
  TCustomPathSpecifier::Loaded();
  if (!fileContainer_ || fileContainer_->ownSpecifier_ == this) return;
  TpsFileContainer* previous = fileContainer_->ownSpecifier_;
  fileContainer_->ownSpecifier_ = this;
  fileContainer_->FreeNotification(this);
  FreeNotification(fileContainer_);
  if (previous) {
    previous->fileContainer_ = nullptr;
    delete previous;
  }
}

void TpsFileContainer::Notification(TComponent* component, TOperation operation) {
  TCustomPathSpecifier::Notification(component, operation);
  if (operation == opRemove && component == fileContainer_) fileContainer_ = nullptr;
}

void TpsFileContainer::SetFileContainer(TFileContainer* value) {
  if (value == fileContainer_) return;
  fileContainer_ = value;
  if (value) value->FreeNotification(this);
}

// ------------------------------------------------------------ stream properties

namespace {
void ContainerEventsAndArchive(TClassInfo& c) {
  c.Enum<TFileRelated>("AddToArchive", {"lzcOverwrite", "lzcOnlyAdd"},
                       [](TFileRelated& o, int v) { o.AddToArchive = static_cast<TlzhCommand>(v); });
  c.String<TFileRelated>(
      "ArchiveFile", [](TFileRelated& o, const std::string& v) { o.SetArchiveFile(v); },
      [](TFileRelated& o) { return o.ArchiveFile(); });
  c.Reference<TFileRelated>("ArchiveFileType", [](TFileRelated& o, TComponent* v) {
    auto* ps = dynamic_cast<TCustomPathSpecifier*>(v);
    if (v && !ps) TClassInfo::Invalid();
    o.SetArchiveFileType(ps);
  });
  c.Boolean<TFileRelated>("Net", [](TFileRelated& o, bool v) { o.SetNet(v); });
  c.Reference<TFileRelated>("NetLocation", [](TFileRelated& o, TComponent* v) {
    TNetLocationAccess& net = NetLocationAccess();
    TCustomNetInstallLocation* location = v && net.FromComponent ? net.FromComponent(v) : nullptr;
    if (v && !location) TClassInfo::Invalid();
    o.SetNetLocation(location);
  });
}

void FileContainerProperties(TClassInfo& c) {
  c.String<TFileContainer>(
      "Description", [](TFileContainer& o, const std::string& v) { o.Description = v; },
      [](TFileContainer& o) { return o.Description; });
}

TClassRegistrar<TFileRelated> regFileRelated("TFileRelated", "TInstallObject", ContainerEventsAndArchive,
                                             nullptr);
TClassRegistrar<TFileContainer> regFileContainer("TFileContainer", "TFileRelated", FileContainerProperties,
                                                 nullptr);
TClassRegistrar<TGroupStrings> regGroupStrings(
    "TGroupStrings", "TPersistent",
    [](TClassInfo& c) {
      c.Strings<TGroupStrings>("Strings",
                               [](TGroupStrings& o, const std::vector<std::string>& v) { o.Strings = v; });
    },
    nullptr);
TClassRegistrar<TInstallGroupDialogOptions> regDialogOptions(
    "TInstallGroupDialogOptions", "TPersistent",
    [](TClassInfo& c) {
      c.Boolean<TInstallGroupDialogOptions>("AllowChangeDir",
                                            [](TInstallGroupDialogOptions& o, bool v) { o.AllowChangeDir = v; });
      c.Boolean<TInstallGroupDialogOptions>(
          "AllowExcludeInclude", [](TInstallGroupDialogOptions& o, bool v) { o.AllowExcludeInclude = v; });
      c.Nested<TInstallGroupDialogOptions>(
          "Description", "TGroupStrings",
          [](TInstallGroupDialogOptions& o) -> TPersistent& { return o.Description; });
      c.Boolean<TInstallGroupDialogOptions>(
          "DisplayDirectory", [](TInstallGroupDialogOptions& o, bool v) { o.DisplayDirectory = v; });
      c.Picture<TInstallGroupDialogOptions>(
          "SmallIcon", [](TInstallGroupDialogOptions& o) -> TPersistent& { return o.SmallIcon; });
      c.Boolean<TInstallGroupDialogOptions>(
          "ShowRegardlessOfInclude", [](TInstallGroupDialogOptions& o, bool v) { o.ShowRegardlessOfInclude = v; });
    },
    nullptr);
TClassRegistrar<TCustomInstallGroup> regCustomGroup(
    "TCustomInstallGroup", "TFileContainer",
    [](TClassInfo& c) {
      c.Nested<TCustomInstallGroup>("DialogOptions", "TInstallGroupDialogOptions",
                                    [](TCustomInstallGroup& o) -> TPersistent& { return o.DialogOptions(); });
    },
    nullptr);
TClassRegistrar<TInstallGroup> regGroup("TInstallGroup", "TCustomInstallGroup", nullptr);
TClassRegistrar<TInstallDirectory> regDirectory("TInstallDirectory", "TFileContainer", nullptr);
TClassRegistrar<TpsFileContainer> regSpecifier("TpsFileContainer", "TComponent", [](TClassInfo& c) {
  c.Reference<TpsFileContainer>("FileContainer", [](TpsFileContainer& o, TComponent* v) {
    auto* fc = dynamic_cast<TFileContainer*>(v);
    if (v && !fc) TClassInfo::Invalid();
    o.SetFileContainer(fc);
  });
});
}  // namespace

void RegisterFileContainerClasses() {}
