// Install files: one file of the project, compressed into its archive at
// build time and, at the user's site, extracted under its overwrite rule,
// moved aside when the destination is in use (replaced at the restart), then
// registered (help file, shared-DLL count, COM server or type library) and
// recorded for the uninstaller.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "cmp_TFileContainer.h"
#include "format_UninstallRecord.h"

class TTrnwCompress;

// Archive identifiers: a process-wide table of used slots 0..1999.
constexpr int kUniqueIDSlots = 2000;

// While one lives, the uninstall records of files keep their registry key
// open between files (sessions nest).
using TUninstallRecordSession = uninstallrecord::TRecordSession;

// The batch file that puts a new file in place of one that was in use when
// the delayed replacement could not be registered: run once after the
// restart (from RunOnce or by the continuation, whichever comes first), it
// replaces the target while the new file is there, then deletes itself.
// Paths stay long and quoted; "%" is doubled.
std::string ReplaceAtRestartBatchText(const std::string& newFile, const std::string& target);

class TCustomInstallFile : public TFileRelated {
public:
  explicit TCustomInstallFile(TComponent* owner);
  ~TCustomInstallFile() override;
  const char* ClassName() const override { return "TCustomInstallFile"; }

  // Constructors of slots 13 and 14: a file for a source path, optionally
  // placed in a container.
  static TCustomInstallFile* CreateFromFile(TComponent* owner, const std::string& path);
  static TCustomInstallFile* CreateInContainer(TComponent* owner, TInstallContainer* container,
                                               const std::string& path);

  // Virtual operations.
  virtual void RaiseUserAbort();
  virtual void RegisterServerDll();
  virtual void RegisterTypeLibrary();
  virtual void RegisterServerExe();
  virtual void PrepareReplace();
  virtual void SetActiveX(bool value);
  virtual void SetDestName(const std::string& value);
  virtual void SetFileName(const std::string& value);
  virtual void SetFileType(TInstallFileType value);
  virtual void SetIncludeFromDir(const std::string& value);
  virtual void SetState(TInstallFileState value);
  virtual void CompressFile();
  virtual void Copy();
  virtual void ReadInfoFromArchive();
  virtual void ReadSourceInfo();
  virtual bool HasOLESelfRegister();
  virtual bool IncrementSharedDLLCount();

  int Rank() const override { return 2000; }
  // A file hears no broadcasts: a pass sends one for every block of every
  // file, and a container holds many files.
  void Notify(TInstallContainer*, int, TPersistent*) final {}
  bool HearsBroadcasts() const final { return false; }
  void SetDestDir(const std::string& value) override;
  void SetDestDirType(TCustomPathSpecifier* value) override;
  void SetContainer(TInstallContainer* value) override;
  std::string GetArchivePath() override;
  void InstallObjects() override;
  void ContinueAfterReboot() override;
  void RecordForUninstall(const std::string& key) override;
  void Loaded() override;

  // Non-virtual operations.
  std::string SourcePath() const;
  std::string TargetPath();
  bool NeedsOwnArchive() const;
  void NewDiskRequest(TTrnwCompress* extractor, int diskNumber, std::string& path);
  void StatusChanged(TTrnwCompress* extractor, const TlzhFileStats& stats);
  void RegisterActiveX();
  // The post-install actions: help file, shared-DLL count, registration
  // (deferred to the restart for a file installed under a temporary name).
  void PostInstall();
  // The overwrite decision for the current destination.
  bool DecideCopy();
  // Why DecideCopy kept the installed file, for the log.
  std::string KeptReason() const;
  // The installed file's path once the run is over: destination directory
  // and FinalName. What the run records (help value, shared count,
  // uninstall records, shortcuts) names it.
  std::string InstalledPath();
  // Whether the version information of a file declares self-registration.
  static bool HasOLESelfRegisterAt(const std::string& path);

  // Property access.
  const std::string& DestName() const { return destName_; }
  // The name the file has after the run: DestName, or for a file installed
  // under a temporary name the name it replaces at the restart.
  const std::string& FinalName() const { return finalName_.empty() ? destName_ : finalName_; }
  const std::string& FileName() const { return fileName_; }
  const std::string& IncludeFromDir() const { return includeFromDir_; }
  TInstallFileType FileType() const { return fileType_; }
  bool ActiveX() const { return activeX_; }
  TInstallFileState State() const { return state_; }
  int UniqueID() const { return uniqueID_; }
  // Takes a slot; a value outside 0..1999 raises IECustomInstallFile.
  void SetUniqueID(int value);

  // Fields.
  bool TargetExisted = false;
  bool ReplaceAtReboot = false;
  bool CopyWanted = false;
  SECURITY_ATTRIBUTES SecurityAttributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
  std::string RunParameters;
  TTrnwFileAttributesSet InstallAttributes;
  int PackedSize = 0;
  std::uint8_t BuildMark = 0;
  std::string ArchiveUsed;
  double FileDate = 0.0;
  TOverwriteType OverwriteMode = owAlways;
  bool RegisterAsHelp = false;
  bool RunAfterInstall = false;
  int Size = 0;
  bool UpdateDLLCounter = false;
  std::string Version;  // at most 20 characters

  TInstallFileNotifyEvent OnAfterCompress, OnAfterCopy, OnAfterInstall, OnBeforeCompress,
      OnBeforeCopy, OnBeforeInstall;
  TInstallFileStatusEvent OnStatus;
  TInstallFileNewDiskEvent OnNewDisk;
  TInstallFileNotifyEvent OnReplacing;

protected:
  // The full new set of the related properties, for ApplyFileProperties.
  struct TFileProperties {
    TInstallContainer* Container;
    std::string DestName, FileName, IncludeFromDir, DestDir;
    TCustomPathSpecifier* DestDirType;
    TInstallFileType FileType;
    bool ActiveX;
  };
  TFileProperties CurrentProperties() const;
  void ApplyFileProperties(const TFileProperties& p);
  // Extracts the file through the extractor (step 7 of the install step).
  void Extract(TTrnwCompress* extractor);
  void PassEvent(int code, TPersistent* parameter);
  // Registers the replacement of an in-use target by the new file at the
  // next restart; runs once the new file is in place.
  void RegisterReplaceAtReboot();

  // The in-use target to be replaced at the restart, while one is pending.
  std::string pendingTarget_;
  // The name given up for a temporary one, or empty.
  std::string finalName_;
  // The status handed to the listeners of each block, kept from one block to
  // the next so that its texts keep their storage; while it is out, a nested
  // status gets one of its own.
  TFileStatusParameter status_;
  TParameterList statusList_;
  bool statusOut_ = false;

  std::string destName_;
  std::string fileName_;
  std::string includeFromDir_;
  TInstallFileType fileType_ = iftNormal;
  bool activeX_ = false;
  TInstallFileState state_ = ifsNone;
  int uniqueID_ = 0;
};

class TInstallFile : public TCustomInstallFile {
public:
  using TCustomInstallFile::TCustomInstallFile;
  const char* ClassName() const override { return "TInstallFile"; }
};

// The slot table of archive identifiers.
namespace uniqueid {
bool IsUsed(int id);
void Reset();  // frees every slot and forgets the first Loaded
}  // namespace uniqueid

// Shows a message box (the overwrite question, the new-disk request) and
// answers the button chosen; by default the driver's InstallMessageBox.
extern int (*InstallFileMessageHook)(const std::string& text, unsigned type);

// The registry keys written by the post-install actions.
constexpr const char* kHelpFilesKey = "\\SOFTWARE\\Microsoft\\Windows\\Help";
constexpr const char* kSharedDLLsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// Registers the stream classes of this unit; the program calls it at start.
void RegisterInstallFileClasses();
// The stream properties shared by install files (TUninstallEXE reuses them).
class TClassInfo;
void AddInstallFileProperties(TClassInfo& c);
