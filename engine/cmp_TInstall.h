// The install component: the root file container of a project. It parses
// the command line when the project has been streamed and runs the mode it
// selects: building the distribution, copying it to floppies, continuing
// after a restart, or the installation started on the first activation of
// its host form.
#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Controls.h"
#include "DateUtils.h"
#include "Graphics.h"
#include "cmp_TFileContainer.h"
#include "cmp_TInstallInformation.h"
#include "routines_win2k.h"

class TCustomInstall;
class TCustomInstallFile;

// Command-line switches, by index.
enum TInstallSwitch : std::uint8_t {
  swBuild = 0,         // -b
  swFloppy = 1,        // -f
  swDebug = 2,         // -d
  swSelfExtract = 3,   // -e<file name of the self-extracting executable>
  swReboot = 4,        // -r
  swSource = 5,        // -s<install source directory>
  swCleanup = 6,       // -c
  swNoUnfinished = 7,  // -n
};
using TInstallSwitches = TSet<TInstallSwitch, std::uint8_t>;
constexpr int kSwitchCount = 8;

// The usage message of a bad argument.
inline constexpr const char* kInvalidParameterMessage =
    "Invalid parameter <%s>. Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to "
    "floppies), -e (Called by self-extractor), -r (After reboot)";

// Build-time data carried in the project.
class TBuildInfo : public TPersistent {
public:
  const char* ClassName() const override { return "TBuildInfo"; }
  void Assign(const TPersistent& source) override;

  bool AddUninstallOnCreate = true;
  std::string AppName;
  std::string AppURL;
  std::string BuildDirectory = "c:\\build";
  std::string CredentialsFile;
  std::string OCXName = "tnsetup";
  std::string PrivateKeyFile;
  bool SignCode = false;
  std::string URLPath;
  // The engine version (read-only).
  static constexpr const char* TrnwVersion = "5.20.00";
};

using TRebootWindowsEvent = std::function<void(TCustomInstall* install, bool& proceed)>;
using TCleanupEvent = std::function<void(TCustomInstall* install, bool& proceed)>;
using TUserAbortEvent = std::function<void(TCustomInstall* install, bool& quitOut)>;
using TBeforeRunFileEvent =
    std::function<void(TCustomInstall* install, TCustomInstallFile* fileToRun, bool& defaultAction)>;

// The process arguments after the program name; replaceable for tests.
extern std::function<std::vector<std::string>()> CommandLineArguments;

// The -b mode of a program that builds otherwise than from BUILD.INF (the
// generic setup program builds a project file into the directory it is
// given); empty for the default.
extern std::function<void(TCustomInstall& install)> BuildModeOverride;

// Whether a library loads, without the system's box for a missing file.
bool LibraryLoads(const std::string& name);

class TCustomInstall : public TFileContainer {
public:
  explicit TCustomInstall(TComponent* owner);
  ~TCustomInstall() override;
  const char* ClassName() const override { return "TCustomInstall"; }

  // Overrides.
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void Install() override;
  void ContinueAfterReboot() override;
  void SetNetLocation(TCustomNetInstallLocation* value) override;
  bool HasOwnSpecifier() const override { return false; }
  void Compress(TCompressOptions options) override;
  void ReadArchiveInfo() override;
  TDistributeType DistributeType() const override { return distributeType_; }
  bool Reboot() const override { return reboot_; }
  void SetReboot(bool value) override { reboot_ = value; }
  void AddUnfinished(const std::string& text, int kind) override;
  bool IsInstalling() const override { return Installing; }
  std::string UninstallProductName() const override { return information_.ProductName; }
  // NoUninstall: no uninstall entry and no record of files.
  bool RecordsForUninstall() const override { return !NoUninstall; }
  TInstallInformation* Information() override { return &information_; }
  TControlPanelExtensionInformation* win2KExtendedInformation() override { return extendedInformation_.get(); }
  TRegistrationInformation* RegistrationInformation() override { return &registrationInformation_; }

  // New virtual operations.
  virtual void RemoveInstallKey();
  virtual void NotifyBadInstall();
  virtual void NotifyGoodInstall();
  virtual void ReservedHook() {}
  virtual std::string FindInstallKey(bool create);
  virtual void InstallObjectsOfRank(int rank, const std::string& statusText);
  virtual void ParseCommandLine();
  virtual void RunFiles();
  virtual void SetAutoMaximizeWindow(bool value);
  virtual void SetBuildInfo(const TBuildInfo& value) { buildInfo_.Assign(value); }
  virtual void SetDialogThemeBitmap(const TPicture& value);
  virtual void SetDistributeType(TDistributeType value);
  virtual void SetHideMainForm(bool value);
  virtual void SetPresetupFiles(const std::vector<std::string>& value);
  virtual void SetUseLoadingProgram(bool value);
  virtual void RegisterRunOnce();
  virtual void HandleException(TComponent* sender, const std::exception& e);
  virtual void BuildDistribution(const std::string& program, const std::string& buildDirectory, bool standAlone);
  virtual void Cleanup();
  virtual void BuildSetupArchive(const std::string& buildDirectory, const std::string& program);
  virtual void ReadUnfinished(std::vector<std::string>& list);
  virtual bool ConfirmUserAbort();
  virtual void ClearUnfinished();

  // Run modes and their steps.
  void BuildFromBuildInf();
  void CopyLoaderProgram(const std::string& buildDirectory, const std::string& program);
  void WriteFileList();
  void TransferToFloppies(const std::string& destination);
  void SaveLanguage();
  int ReadLanguage();
  // Whether the restart was started.
  bool RebootWindows();
  void ReadSelfExtractOffset();
  // The journal of the run: begun once the record is found, ended well
  // (kept files dropped) or undone. A journal an earlier run left behind
  // is undone before this run begins.
  void BeginJournal();
  void EndJournal(bool good);
  void UndoLeftOverRun();
  bool Shutdown();
  void ApplyRemoteFileList();

  // The host form's activation handler while hooked.
  void ActivateHook(TComponent* sender);
  // The running program's full path, and its directory without trailing
  // backslash.
  static std::string ProgramPath();
  static std::string GetProgramDir();

  bool HasSwitch(TInstallSwitch s) const { return Switches.Contains(s); }
  // The non-blank pre-setup file lines.
  std::vector<std::string> PresetupFileNames() const;

  // Properties.
  bool AutoMaximizeWindow() const { return autoMaximizeWindow_; }
  const TBuildInfo& BuildInfo() const { return buildInfo_; }
  TBuildInfo& BuildInfo() { return buildInfo_; }
  TPicture& DialogThemeBitmap() { return dialogThemeBitmap_; }
  bool HideMainForm() const { return hideMainForm_; }
  bool NoUninstall = false;
  const std::vector<std::string>& PresetupFiles() const { return presetupFiles_; }
  bool RunAutomatic = true;
  bool UseLoadingProgram() const { return useLoadingProgram_; }

  // Fields.
  TInstallSwitches Switches;
  std::string SwitchValues[kSwitchCount];
  std::string SourceDir;
  TForm* HostForm = nullptr;
  TNotifyEvent SavedOnActivate;
  bool Activated = false;
  bool Installing = false;
  bool Aborted = false;
  int UnfinishedCount = 0;
  std::string PendingBatchFile;
  bool RunBatchFileOnDestroy = false;

  // Events.
  TNotifyEvent OnAfterInitialized;
  TNotifyEvent OnAfterNotifyBadInstall;
  TNotifyEvent OnAfterNotifyGoodInstall;
  TNotifyEvent OnAfterReadArchiveInfo;
  TNotifyEvent OnBeforeReadArchiveInfo;
  TRebootWindowsEvent OnBeforeReboot;
  TBeforeRunFileEvent OnBeforeRunFile;
  TUserAbortEvent OnBeforeShutdown;
  TCleanupEvent OnBeforeCleanup;
  TNotifyEvent OnBeforeNotifyBadInstall;
  TNotifyEvent OnBeforeNotifyGoodInstall;
  TNotifyEvent OnFailedReboot;
  TUserAbortEvent OnUserAbort;

protected:
  void SetRebootStored(bool value) { reboot_ = value; }

private:
  // Whether the host form still carries the activation hook.
  bool HostFormHooked() const;
  // The end of a good run, straight through or after the restart: notify,
  // clean up, drop the install key, shut down if automatic, run the files.
  void FinishGoodInstall();
  // The destination and the Start-menu folder the command line names.
  void ApplyCommandLineChoices();

  bool autoMaximizeWindow_ = true;
  TBuildInfo buildInfo_;
  TPicture dialogThemeBitmap_;
  TDistributeType distributeType_ = dtTraditional;
  bool hideMainForm_ = false;
  TInstallInformation information_;
  std::unique_ptr<TControlPanelExtensionInformation> extendedInformation_;
  TRegistrationInformation registrationInformation_;
  std::vector<std::string> presetupFiles_;
  bool reboot_ = false;
  bool useLoadingProgram_ = true;
  bool hooked_ = false;
  bool activating_ = false;
  // Install is on the stack: a failure reported meanwhile (a window
  // procedure's, through the application's handler) only stops the run.
  int runDepth_ = 0;
  // The failure that stops the run, kept until the run ends on it.
  bool stopPending_ = false;
  bool stopIsAbort_ = false;
  std::string stopMessage_;
  // Raises the failure a window procedure reported, or the confirmed Cancel.
  void StopIfFailedOrCancelled();
};

class TInstall : public TCustomInstall {
public:
  using TCustomInstall::TCustomInstall;
  const char* ClassName() const override { return "TInstall"; }
};

// A translator the install created for itself at design time, or none.
extern TComponent* AutoTranslator;

// When the current installation run started.
extern TDateTime RunStartTime;

// The exit code of the program: 0 after a good run, 1 after a failure, 2
// after the user cancelled.
extern int InstallExitCode;

// Registers the install component and its nested classes for streaming.
void RegisterInstallClasses();
