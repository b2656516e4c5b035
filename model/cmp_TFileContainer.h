// File-related install objects (bound to an archive and, in network
// distributions, to a download location), file containers with their
// build, install and copy passes and upward information events, groups,
// directories, and the path specifier of one container's directory.
//
// What the model asks of the install component (TCustomInstall derives from
// TFileContainer; CurrentInstall points at it):
//   - construct the container part with TFileContainer(owner, false): the
//     install makes no TpsFileContainer for itself (HasOwnSpecifier false);
//   - DistributeType(), Reboot()/SetReboot(), AddUnfinished(text, kind),
//     IsInstalling(), UninstallProductName(), Information(),
//     win2KExtendedInformation(), RegistrationInformation(): virtuals of
//     TInstallContainer with defaults for a program without an install;
//   - GetArchivePath(), NetLocation(), SetNetLocation(), Compress(options),
//     ReadArchiveInfo(), InstallObjects(): the inherited file-container
//     operations, overridden where the install does more;
//   - CurrentInstallKey (process-wide, cmp_TInstallContainer.h): the
//     setup program's registry record, where "LocalFile" values are kept.
// The install sets FireAfterInstallObjects false and fires
// OnAfterInstallObjects itself.
//
// Network locations are opaque here: the network unit installs the
// operations of NetLocationAccess() so that the model can name a location's
// server, test its login information and download through it.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ClassReg.h"
#include "Graphics.h"
#include "cmp_TInstallContainer.h"
#include "cmp_TPathSpecifier.h"
#include "cmp_TTrnwCompress.h"

class TFileRelated;
class TFileContainer;
class TpsFileContainer;
class TCustomNetInstallLocation;

// Information events, raised upward by install files and containers.
enum : int {
  ieFileInstalled = 1001,
  ieBeforeFileInstall = 1002,
  ieBeforeReplacing = 1003,
  ieBeforeCompress = 1004,
  ieAfterCompress = 1005,
  ieBeforeCopy = 1006,
  ieAfterCopy = 1007,
  ieInstallStatus = 1008,
  ieCompressStatus = 1009,
  ieCopyStatus = 1010,
  ieNewDisk = 1011,
  ieContainerStart = 1012,
  ieContainerEnd = 1013,
  ieDownloadStatus = 1014,
  ieFileSkipped = 1015,
  ieFileNotCopied = 1016,
};

// Broadcast codes of the file passes.
enum : int {
  bcContainerInstallStart = -992,
  bcPassEnded = -996,
  bcReplacing = -997,
  bcFileStatus = -998,
  bcNewDisk = -993,
  bcDownloadStatus = -988,
};

// Parameter objects; each belongs to its sender and lives for one call.
class TDiskParameter : public TPersistent {
public:
  const char* ClassName() const override { return "TDiskParameter"; }
  int DiskNumber = 0;
  std::string DiskPath;
};

class TFileStatusParameter : public TPersistent {
public:
  const char* ClassName() const override { return "TFileStatusParameter"; }
  int BytesDone = 0;
  int FilePercent = 0;
  std::string FileName;
  TlzhFileStats Stats;
  std::int64_t TotalBytes = 0;  // of the whole pass, which may exceed 2 GiB
  int TotalPercent = 0;
};

class TDownloadStatusParameter : public TPersistent {
public:
  const char* ClassName() const override { return "TDownloadStatusParameter"; }
  int Bytes = 0;
  std::string FileName;
  std::int64_t FileSize = 0;
  std::int64_t TotalBytes = 0;
  int Percent = 0;
};

// A parameter of two or more items (an install file and its parameter).
class TParameterList : public TPersistent {
public:
  const char* ClassName() const override { return "TList"; }
  std::vector<TPersistent*> Items;
};

// sender, file name, bytes of this block, bytes received so far, file size, block
using TDataReceivedEvent = std::function<void(TComponent* sender, const std::string& fileName,
                                              std::uint32_t blockBytes, std::uint32_t received,
                                              std::uint32_t fileSize, const char* buffer)>;

// The operations the model needs of a network location; the network unit
// fills them in. Without them no location can be assigned or used.
struct TNetLocationAccess {
  // The location a component is, or none when it is none.
  std::function<TCustomNetInstallLocation*(TComponent*)> FromComponent;
  std::function<TComponent*(TCustomNetInstallLocation*)> AsComponent;
  std::function<bool(TCustomNetInstallLocation*)> IsLoginComplete;
  std::function<std::string(TCustomNetInstallLocation*)> Hostname;
  std::function<std::string(TCustomNetInstallLocation*)> Directory;
  std::function<bool(TCustomNetInstallLocation*)> IsFTP;
  // Downloads the remote file to the local path, reporting each block to
  // receiver->DownloadProgress; the receiver's registration with the
  // location is cleared again also on failure.
  std::function<void(TCustomNetInstallLocation*, TFileRelated* receiver, const std::string& remote,
                     const std::string& local)>
      Download;
  // Whether the location's running or last download was stopped (by its
  // own abort or the install run's cancel).
  std::function<bool(TCustomNetInstallLocation*)> DownloadAborted;
};
TNetLocationAccess& NetLocationAccess();

// The standard specifier of a class ("TpsContainerArchiveFile"), or none.
// The path specifier unit installs its registry lookup; without it the
// components of the object's owner are searched.
extern TCustomPathSpecifier* (*StandardSpecifierHook)(const char* className);
TCustomPathSpecifier* FindStandardSpecifier(const char* className, TComponent* context);
// Whether a specifier is of the named standard class.
bool IsSpecifierOf(const TCustomPathSpecifier* specifier, const char* className);

// Handles objects passed to the reflector (the ifsReflect state); none is
// registered in this program.
extern std::function<void(TInstallObject*)> Reflector;

class TFileRelated : public TInstallObject {
public:
  explicit TFileRelated(TComponent* owner);
  ~TFileRelated() override;
  const char* ClassName() const override { return "TFileRelated"; }

  // Virtual operations.
  virtual void DownloadProgress(const std::string& fileName, int bytes, std::int64_t totalBytes,
                                std::int64_t fileSize, const char* buffer);
  virtual void Download();
  virtual bool HasLocalArchive();
  virtual void RecordLocalFile(const std::string& path);
  virtual void SetArchiveFile(const std::string& value);
  virtual void SetArchiveFileType(TCustomPathSpecifier* value);
  virtual void SetNet(bool value);
  virtual void SetNetLocation(TCustomNetInstallLocation* value);
  virtual std::string GetArchivePath();

  void SetContainer(TInstallContainer* value) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  // The archive path recorded by an earlier run ("LocalFile"), when it
  // names an existing file.
  bool GetLocalFile(std::string& path);
  // The mirror directory of the effective location: host\directory.
  std::string NetSubPath();
  TCustomNetInstallLocation* EffectiveNetLocation();

  const std::string& ArchiveFile() const { return archiveFile_; }
  TCustomPathSpecifier* ArchiveFileType() const { return archiveFileType_; }
  bool Net() const { return net_; }
  TCustomNetInstallLocation* NetLocation() const { return netLocation_; }
  bool ArchiveFileTypeAssigned() const { return archiveFileTypeAssigned_; }
  bool ArchiveFileTypeDefaulted() const { return archiveFileTypeDefaulted_; }

  std::string LocalArchivePath;
  TlzhCommand AddToArchive = lzcOverwrite;
  bool ArchiveInfoRead = false;
  TDataReceivedEvent OnDataReceived;

protected:
  friend class TFileContainer;  // the build pass rebinds archives for a while
  bool archiveFileTypeAssigned_ = false;
  bool archiveFileTypeDefaulted_ = false;
  std::string archiveFile_;
  TCustomPathSpecifier* archiveFileType_ = nullptr;
  bool net_ = true;
  TCustomNetInstallLocation* netLocation_ = nullptr;
  TComponent* netLocationComponent_ = nullptr;
};

enum TCompressOption : std::uint8_t {
  coIntoContainerArchive = 0,
  coArchivesBesideContainer = 1,
  coReserved2 = 2,
  coForceNetFilesLocal = 3,
  coForceFilesNet = 4,
  coIncludeExcluded = 5,
};
using TCompressOptions = TSet<TCompressOption, std::uint8_t>;

// Passes of a file container (Mode).
enum : std::uint8_t { fcmIdle = 0, fcmCompressing = 1, fcmInstalling = 2, fcmCopying = 3, fcmReflecting = 4 };

class TFileContainer : public TFileRelated {
public:
  explicit TFileContainer(TComponent* owner);
  ~TFileContainer() override;
  const char* ClassName() const override { return "TFileContainer"; }

  // Virtual operations.
  virtual bool HasOwnSpecifier() const { return true; }
  virtual void DoNewDisk(TCustomInstallFile* file, TParameterList* list);
  virtual void DoReplacing(TCustomInstallFile* file);
  virtual void DoStatus(TCustomInstallFile* file, TFileStatusParameter* status);
  // Sizes in bytes: a product in several archives may exceed 2 GiB.
  virtual std::int64_t SizeOfFiles(bool all, bool recursive);
  virtual void SetState(std::uint8_t state);
  virtual void Copy();
  virtual void FreeFiles();
  virtual void Compress(TCompressOptions options);
  virtual std::int64_t PackedSizeOf(bool all);
  virtual std::string GetNetArchivePath();
  virtual std::int64_t DirectSizeOf(bool all);
  virtual std::int64_t TotalSizeOf(bool all);
  virtual void ReadArchiveInfo();
  virtual void ReadSourceInfo();
  virtual bool HasNetFilesToDownload();

  int Rank() const override { return 1000; }
  bool IsFileContainer() const override { return true; }
  void DoInformationEventControl(TInstallContainer* sender, int code, TPersistent* parameter) override;
  void InstallObjects() override;
  void Notification(TComponent* component, TOperation operation) override;

  int FileCount() const;
  TCustomInstallFile* Files(int index) const;
  // The files in their order, found in one pass (Files(i) looks through
  // the helpers again on every call).
  std::vector<TCustomInstallFile*> FileList() const;
  // The first file whose source path equals path (ignoring case), or none.
  TCustomInstallFile* FindFile(const std::string& path) const;
  bool ContainsNetFiles() const;
  void Reflect();

  // The container's own destination specifier, or none.
  TpsFileContainer* OwnSpecifier() const { return ownSpecifier_; }

  std::int64_t TotalSize = 0;
  std::int64_t BytesDone = 0;
  std::string Description;
  TInstallFileStatusEvent OnStatus;
  TInstallFileNewDiskEvent OnNewDisk;
  TInstallFileNotifyEvent OnReplacing;
  std::uint8_t Mode = fcmIdle;
  bool FireAfterInstallObjects = true;
  TAfterInstallObjectsEvent OnAfterInstallObjects;
  TInstallContainerNotifyEvent OnBeforeInstallObjects;

protected:
  // For the install component: withOwnSpecifier false makes no specifier.
  TFileContainer(TComponent* owner, bool withOwnSpecifier);

private:
  friend class TpsFileContainer;
  void CreateOwnSpecifier();
  void PassEvent(int code, TPersistent* parameter);
  void CompressObject(TFileRelated* object, TCompressOptions options, const std::string& base);
  // Reads the source information at the start of a pass, unless the
  // container holding this one, in the same pass, read it for its whole
  // tree just before.
  void ReadSourceInfoForPass();
  TpsFileContainer* ownSpecifier_ = nullptr;
  bool sourceInfoFresh_ = false;  // read by the last ReadSourceInfo, not yet used by a pass
};

// Lines of text kept by a group's options (streamed as "<name>.Strings").
class TGroupStrings : public TPersistent {
public:
  const char* ClassName() const override { return "TStrings"; }
  std::vector<std::string> Strings;
};

// A picture streamed as "<name>.Data".
class TGroupIcon : public TPictureBase {
public:
  const char* ClassName() const override { return "TIcon"; }
  void LoadGraphic(const std::string& graphicClass, const std::string& data) override;
  TPicture Picture;
};

// Options of a group in the selection dialogs.
class TInstallGroupDialogOptions : public TPersistent {
public:
  const char* ClassName() const override { return "TInstallGroupDialogOptions"; }
  void Assign(const TPersistent& source) override;

  bool AllowChangeDir = true;
  bool AllowExcludeInclude = true;
  TGroupStrings Description;
  bool DisplayDirectory = true;
  TGroupIcon SmallIcon;
  bool ShowRegardlessOfInclude = true;
};

class TCustomInstallGroup : public TFileContainer {
public:
  explicit TCustomInstallGroup(TComponent* owner);
  const char* ClassName() const override { return "TCustomInstallGroup"; }
  int Rank() const override { return 500; }
  void SetContainer(TInstallContainer* value) override;

  TInstallGroupDialogOptions& DialogOptions() { return dialogOptions_; }
  void SetDialogOptions(const TInstallGroupDialogOptions& value) { dialogOptions_.Assign(value); }

private:
  TInstallGroupDialogOptions dialogOptions_;
};

class TInstallGroup : public TCustomInstallGroup {
public:
  using TCustomInstallGroup::TCustomInstallGroup;
  const char* ClassName() const override { return "TInstallGroup"; }
};

class TInstallDirectory : public TFileContainer {
public:
  explicit TInstallDirectory(TComponent* owner);
  const char* ClassName() const override { return "TInstallDirectory"; }
  // Destroys the files whose source file does not exist.
  void RemoveMissingFiles();
};

// The destination directory of one file container, for shortcuts and other
// objects that are not containers or files.
class TpsFileContainer : public TCustomPathSpecifier {
public:
  explicit TpsFileContainer(TComponent* owner);
  ~TpsFileContainer() override;
  const char* ClassName() const override { return "TpsFileContainer"; }

  void CheckObject(TInstallContainer* obj) override;
  std::string GetPath(TInstallContainer* obj) override;
  std::string GetDescription() override;
  std::string GetDisplayName() override;

  void SetName(const std::string& name) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  TFileContainer* FileContainer() const { return fileContainer_; }
  void SetFileContainer(TFileContainer* value);

private:
  friend class TFileContainer;
  TFileContainer* fileContainer_ = nullptr;
  bool naming_ = false;
};

// Registers the stream classes of this unit; the program calls it at start.
void RegisterFileContainerClasses();
