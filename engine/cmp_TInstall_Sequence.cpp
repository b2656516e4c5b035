// TCustomInstall: the installation run from the first activation of the
// host form to the end of the program, its result stages, the clean-up of
// the unpacked program directory, the programs run after installation and
// the handling of every exception that leaves the run.
#include <windows.h>

#include <cctype>
#include <vector>

#include "Application.h"
#include "ScopeExit.h"
#include "Controls.h"
#include "cmp_TInstall.h"
#include "cmp_TInstallFile.h"
#include "cmp_TProgramLauncher.h"
#include "cmp_TTrnwCompress.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_Cancel.h"
#include "routines_Cleanup.h"
#include "routines_InstallBoxes.h"
#include "routines_InstallKey.h"
#include "routines_Journal.h"
#include "routines_Log.h"
#include "routines_Registry.h"
#include "routines_Strings.h"
#include "routines_Unattended.h"
#include "ordlg_SelectFolder.h"
#include "stream_WinFile.h"

namespace {

void Terminate() {
  if (Application) Application->Terminate();
}

// The integration passes after the tree is installed, in their order.
struct TRankPass {
  int Rank;
  const char* Status;
};
constexpr TRankPass kRankPasses[] = {
    {2750, "Installing ODBC drivers..."},
    {2875, "Installing ODBC sources..."},
    {3000, "Installing Borland Database Engine aliases..."},
    {7000, "Installing shell links..."},
    {8000, "Installing shell links..."},
    {4000, "Installing INI files..."},
    {8500, "Installing registry keys..."},
    {8700, ""},
    {9052, ""},
    {9050, ""},
    {9054, ""},
};

}  // namespace

TDateTime RunStartTime = 0;

namespace {

// Whether a destination given on the command line can take the product:
// a full path that can be created and written to. Raises with the reason;
// leaves nothing behind.
void CheckDestination(const std::string& path) {
  const std::string dir = StripBackslash(path);
  const bool drive = dir.size() >= 3 && std::isalpha(static_cast<unsigned char>(dir[0])) && dir[1] == ':' &&
                     dir[2] == '\\';
  const bool unc = dir.size() > 2 && dir[0] == '\\' && dir[1] == '\\';
  if (!drive && !unc) throw IEInstall("The destination directory %s is not a full path", {path});
  if (dir.find_first_of("<>\"|?*/", 0) != std::string::npos || dir.find(':', 2) != std::string::npos)
    throw IEInstall("The destination directory %s contains characters that file names cannot hold", {path});
  // The directories to make, outermost first.
  std::vector<std::string> missing;
  for (std::string d = dir; !d.empty() && !twfile::DirectoryExists(d);) {
    if (twfile::FileExists(d)) throw IEInstall("The destination directory %s cannot be created: %s is a file", {path, d});
    missing.insert(missing.begin(), d);
    const std::size_t cut = d.find_last_of('\\');
    if (cut == std::string::npos || cut < 3) break;
    d = d.substr(0, cut);
  }
  std::vector<std::string> made;
  auto undo = [&made] {
    for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryA(it->c_str());
  };
  for (const std::string& d : missing) {
    if (!CreateDirectoryA(d.c_str(), nullptr)) {
      const DWORD error = GetLastError();
      undo();
      throw IEInstall("The destination directory %s cannot be created: %s", {path, SysErrorMessage(error)});
    }
    made.push_back(d);
  }
  char probe[MAX_PATH];
  if (!GetTempFileNameA(dir.c_str(), "tw", 0, probe)) {
    const DWORD error = GetLastError();
    undo();
    throw IEInstall("The destination directory %s cannot be written to: %s", {path, SysErrorMessage(error)});
  }
  DeleteFileA(probe);
  undo();
}

}  // namespace

// A failure reported while the run was on the stack ends the run at its next
// step; so does a cancel the user confirmed while no file was being
// extracted.
void TCustomInstall::StopIfFailedOrCancelled() {
  if (stopPending_) {
    if (stopIsAbort_) throw EAIUserAbort();
    throw Exception(stopMessage_);
  }
  if (InstallCancel().Requested()) throw EAIUserAbort();
}

void TCustomInstall::Install() {
  Aborted = false;
  stopPending_ = false;
  ++runDepth_;
  TScopeExit leaving([this] { --runDepth_; });
  InstallCancel().Clear();
  RunStartTime = Now();
  OutsideRun = false;
  DeferredRegistrations().Clear();
  UnfinishedCount = 0;
  RunBatchFileOnDestroy = false;
  Installing = true;
  LogLine("Installation started");

  if (UseLoadingProgram() && !HasSwitch(swSource))
    throw IEInstall(
        "The path of the loading program was not passed correctly. If you are running your install project in the "
        "IDE, then you need to add two command line parameters. In Run | Parameters | \"Run Parameters\", type in: "
        "-d \"-sBUILDPATH\" where BUILDPATH is the path into which you built the distributables. Example: -d "
        "\"-sC:\\My Build\".");
  // A project that does not name this system installs nothing: that is a
  // failure, never a success, and it leaves no record behind.
  const TOSVerType os = RunningOSHook();
  if (!Include || static_cast<int>(os) > 15 || !OS.Contains(os)) {
    const std::string product = Trim(UninstallProductName());
    throw IEInstall("%s cannot be installed on this version of Windows.",
                    {product.empty() ? std::string("This program") : product});
  }
  // The choices of the command line, before anything is written.
  if (Unattended.HasDir) CheckDestination(Unattended.Dir);
  ApplyCommandLineChoices();
  if (HasSwitch(swNoUnfinished)) ClearUnfinished();
  CurrentInstallKey = FindInstallKey(true);
  LogLine("Install record: " + CurrentInstallKey);
  UndoLeftOverRun();
  BeginJournal();
  ClearUnfinished();
  if (HasSwitch(swSelfExtract)) ReadSelfExtractOffset();
  ReadArchiveInfo();

  if (OnAfterInitialized) OnAfterInitialized(this);
  Broadcast(bcAfterInitialized, nullptr);
  LogLine("Stage: before the installation (licence, destination, Start-menu folder)");
  Broadcast(bcBeforeInstall, nullptr);

  if (!Aborted) {
    try {
      LogLine("Stage: copying files to " + GetDestPath());
      TFileContainer::Install();
      StopIfFailedOrCancelled();
      std::vector<TCustomInstallFile*> deferred;
      for (int i = 0; i < DeferredRegistrations().Count(); ++i) deferred.push_back(DeferredRegistrations().Items(i));
      for (TCustomInstallFile* f : deferred) f->RegisterActiveX();
      for (const TRankPass& pass : kRankPasses) {
        StopIfFailedOrCancelled();
        InstallObjectsOfRank(pass.Rank, pass.Status);
      }
      StopIfFailedOrCancelled();
    } catch (...) {
      if (OnAfterInstallObjects) OnAfterInstallObjects(this, SharedCompressor()->Abort || InstallCancel().ByUser());
      throw;
    }
    // The user's Cancel counts as the extractor's abort, also between files.
    if (OnAfterInstallObjects) OnAfterInstallObjects(this, SharedCompressor()->Abort || InstallCancel().ByUser());
  }

  StopIfFailedOrCancelled();
  if (UnfinishedCount > 0 || Reboot()) RegisterRunOnce();
  const bool rebootWish = Reboot();
  // What is left for the restart no longer undoes the run.
  if (rebootWish) EndJournal(true);
  if (rebootWish) SaveLanguage();
  if (Reboot()) {
    LogLine("Stage: a restart is needed to finish the installation");
    if (Unattended.NoRestart) {
      LogLine("Windows is not restarted (/NORESTART)");
      SetReboot(false);
    } else if (Unattended.VerySilent()) {
      LogLine("Windows is restarted without asking (very silent installation)");
    } else {
      Broadcast(bcReboot, nullptr);
    }
  }
  if (Reboot() && OnBeforeReboot) {
    bool proceed = Reboot();
    OnBeforeReboot(this, proceed);
    SetReboot(proceed);
  }
  bool restarted = false;
  if (Reboot()) {
    restarted = RebootWindows();
    Terminate();
  }
  if (rebootWish) {
    // The result stage, clean-up and programs to run follow in the run
    // RunOnce starts after the restart.
    LogLine("Installation continues after a restart");
    InstallExitCode = restarted ? kExitInstalled : kExitRestartNeeded;
    Terminate();
    return;
  }

  StopIfFailedOrCancelled();
  FinishGoodInstall();
  LogLine("Installation finished");
}

namespace {
const char* const kJournalValue = "Journal";
}

void TCustomInstall::BeginJournal() {
  if (CurrentInstallKey.empty() || journal::Active()) return;
  const std::string record = CurrentInstallKey.substr(CurrentInstallKey.find_last_of('\\') + 1);
  const std::string path = AddBackslash(GetTempDir()) + "tw-journal-" + record + ".txt";
  journal::Begin(path, ProgramPath(), kInstallRecordsKey);
  WriteRegistryString(kHKLM, CurrentInstallKey, kJournalValue, path);
}

void TCustomInstall::EndJournal(bool good) {
  if (!journal::Active()) return;
  if (good) {
    journal::Commit();
  } else {
    try {
      journal::Rollback();
    } catch (const std::exception& e) {
      LogLine(std::string("Rollback: ") + e.what());
    }
  }
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  if (r.OpenKey(CurrentInstallKey, false)) r.DeleteValue(kJournalValue);
}

void TCustomInstall::UndoLeftOverRun() {
  const std::string left = Trim(ReadRegistryString(kHKLM, CurrentInstallKey, kJournalValue, ""));
  if (left.empty()) return;
  const std::string program = journal::RollbackLeftOver(left);
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  if (r.OpenKey(CurrentInstallKey, false)) r.DeleteValue(kJournalValue);
  // The directory the loading program had unpacked that run into.
  const std::string dir = StripBackslash(ExtractFileDir(program));
  if (program.empty() || SameText(dir, GetProgramDir())) return;
  std::vector<std::string> unpacked{ExtractFileName(program)};
  for (const std::string& line : PresetupFileNames()) unpacked.push_back(ExtractFileName(Trim(line)));
  if (!IsUnpackedProgramDirectory(dir, unpacked)) {
    LogLine("The directory of the earlier run is not an unpacked setup directory; it is left alone: " + dir);
    return;
  }
  for (const std::string& name : unpacked) {
    const std::string path = AddBackslash(dir) + name;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
  }
  if (RemoveDirectoryA(dir.c_str())) LogLine("Removed the directory of the earlier run: " + dir);
  else LogLine("The directory of the earlier run cannot be removed: " + dir + ": " + SysErrorMessage(GetLastError()));
}

void TCustomInstall::ApplyCommandLineChoices() {
  if (Unattended.HasDir) {
    SetDestDirType(nullptr);
    SetDestDir(StripBackslash(Unattended.Dir));
    LogLine("Destination: " + StripBackslash(Unattended.Dir));
  }
  if (Unattended.HasGroup) {
    SetStartMenuFolder(Unattended.Group);
    LogLine("Start-menu folder: " + Unattended.Group);
  }
}

void TCustomInstall::FinishGoodInstall() {
  EndJournal(true);
  NotifyGoodInstall();
  Cleanup();
  RemoveInstallKey();
  if (RunAutomatic) Shutdown();
  RunFiles();
  Installing = false;
}

void TCustomInstall::ReadArchiveInfo() {
  if (ArchiveInfoRead) return;
  if (OnBeforeReadArchiveInfo) OnBeforeReadArchiveInfo(this);
  Broadcast(bcBeforeReadArchiveInfo, nullptr);
  {
    TWaitCursor wait;
    ShowStatusMessage("Reading file information...");
    try {
      TFileContainer::ReadArchiveInfo();
      if (DistributeType() != dtTraditional) ApplyRemoteFileList();
    } catch (...) {
      HideStatusMessage();
      throw;
    }
    HideStatusMessage();
  }
  ArchiveInfoRead = true;
  if (OnAfterReadArchiveInfo) OnAfterReadArchiveInfo(this);
  Broadcast(bcAfterReadArchiveInfo, nullptr);
}

void TCustomInstall::InstallObjectsOfRank(int rank, const std::string& statusText) {
  const bool wantStatus = !Trim(statusText).empty();
  bool posted = false;
  // Copy: installing an object may create or destroy others.
  std::vector<TInstallContainer*> objects;
  for (int i = 0; i < InstallContainers().Count(); ++i) objects.push_back(InstallContainers().Items(i));
  const std::uint64_t removals = InstallContainers().Removals();
  try {
    for (TInstallContainer* o : objects) {
      const bool gone = InstallContainers().Removals() != removals && !InstallContainers().Contains(o);
      if (gone || o->Rank() != rank) continue;
      if (wantStatus && !posted) {
        ShowStatusMessage(statusText);
        posted = true;
      }
      o->Install();
    }
  } catch (...) {
    if (posted) HideStatusMessage();
    throw;
  }
  if (posted) HideStatusMessage();
}

void TCustomInstall::NotifyGoodInstall() {
  if (OnBeforeNotifyGoodInstall) OnBeforeNotifyGoodInstall(this);
  Broadcast(bcBeforeGoodInstall, nullptr);
  Broadcast(bcAfterGoodInstall, nullptr);
  if (OnAfterNotifyGoodInstall) OnAfterNotifyGoodInstall(this);
}

void TCustomInstall::NotifyBadInstall() {
  if (OnBeforeNotifyBadInstall) OnBeforeNotifyBadInstall(this);
  Broadcast(bcBeforeBadInstall, nullptr);
  Broadcast(bcAfterBadInstall, nullptr);
  if (OnAfterNotifyBadInstall) OnAfterNotifyBadInstall(this);
}

void TCustomInstall::Cleanup() {
  if (!UseLoadingProgram() || HasSwitch(swDebug) || !HasSwitch(swCleanup) || IsDesigning()) return;
  bool proceed = true;
  if (OnBeforeCleanup) OnBeforeCleanup(this, proceed);
  if (!proceed) return;
  // Only the directory the loading program unpacked setup.1 into is removed:
  // it holds this program and the pre-setup files, nothing else.
  const std::string program = ProgramPath();
  std::vector<std::string> unpacked{ExtractFileName(program)};
  for (const std::string& line : PresetupFileNames())
    if (!Trim(line).empty()) unpacked.push_back(ExtractFileName(Trim(line)));
  const std::string batch = PrepareProgramDirCleanup(program, unpacked);
  if (batch.empty()) return;
  PendingBatchFile = batch;
  RunBatchFileOnDestroy = true;
}

void TCustomInstall::RunFiles() {
  const bool afterReboot = HasSwitch(swReboot);
  const TOSVerType os = afterReboot ? RunningOSHook() : osUnidentified;
  TProgramLauncher launcher(nullptr);
  std::vector<TCustomInstallFile*> files;
  for (int i = 0; i < InstallFiles().Count(); ++i) files.push_back(InstallFiles().Items(i));
  for (TCustomInstallFile* f : files) {
    auto qualifies = [&] {
      return InstallFiles().Contains(f) && f->RunAfterInstall && f->Include &&
             (!afterReboot || f->OS.Contains(os));
    };
    if (!qualifies()) continue;
    if (Unattended.Silent()) {
      LogLine("Not started in a silent installation: " + f->InstalledPath());
      continue;
    }
    bool defaultAction = true;
    if (OnBeforeRunFile) OnBeforeRunFile(this, f, defaultAction);
    if (!qualifies() || !defaultAction) continue;
    launcher.FileName = f->InstalledPath();
    launcher.ShowMode = smNormal;
    launcher.Parameters = f->RunParameters;
    LogLine("Running " + launcher.FileName + " " + launcher.Parameters);
    try {
      launcher.Run();
    } catch (const std::exception& e) {
      if (!afterReboot) throw;
      ShowInstallException(e);
    }
  }
}

bool TCustomInstall::Shutdown() {
  bool quitOut = true;
  if (OnBeforeShutdown) OnBeforeShutdown(this, quitOut);
  if (quitOut) Terminate();
  return !quitOut;
}

bool TCustomInstall::ConfirmUserAbort() {
  bool quitOut = true;
  if (OnUserAbort) OnUserAbort(this, quitOut);
  return quitOut;
}

void TCustomInstall::HandleException(TComponent* sender, const std::exception& e) {
  if (!Installing) {
    ShowInstallException(e);
    return;
  }
  const bool abort = dynamic_cast<const EAIUserAbort*>(&e) != nullptr;
  if (runDepth_ > 0) {
    // Raised in a window procedure while the run goes on beneath it: the run
    // stops at its next step (a copy at its next block) and ends there, once.
    if (!stopPending_) {
      stopPending_ = true;
      stopIsAbort_ = abort;
      stopMessage_ = e.what();
      LogLine(std::string("Stopping the run: ") + e.what());
    }
    Aborted = true;
    InstallCancel().RequestForFailure();
    return;
  }
  // The run has ended on the exception; one reported before it decides how.
  const bool userAbort = stopPending_ ? stopIsAbort_ : abort;
  const std::string message = stopPending_ ? stopMessage_ : std::string(e.what());
  const Exception pending(message);
  const std::exception& failure = stopPending_ ? static_cast<const std::exception&>(pending) : e;
  stopPending_ = false;
  Installing = false;
  Aborted = true;
  LogLine(std::string("Installation failed: ") + message);
  try {
    EndJournal(false);
    if (userAbort) {
      InstallExitCode = 2;
      NotifyBadInstall();
      Cleanup();
      RemoveInstallKey();
      if (RunAutomatic) Shutdown();
    } else {
      // The record and its unfinished list stay for a later run.
      InstallExitCode = 1;
      NotifyBadInstall();
      ShowInstallException(failure);
      Shutdown();
    }
  } catch (...) {
    if (RunAutomatic) Terminate();
  }
}
