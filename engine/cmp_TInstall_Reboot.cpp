// TCustomInstall: the registry record of this setup program, its unfinished
// list and language, RunOnce registration, the restart and the continuation
// after it.
#include <windows.h>

#include <vector>

#include "cmp_TInstall.h"
#include "cmp_TInstallFile.h"
#include "cmp_TTrnwCompress.h"
#include "exceptions_Tarnwick.h"
#include "routines_Cancel.h"
#include "routines_InstallBoxes.h"
#include "routines_InstallKey.h"
#include "routines_Log.h"
#include "routines_Registry.h"
#include "routines_Strings.h"
#include "routines_Unattended.h"

namespace {
const char* const kNoRecord = "The TInstall could not either write or read unfinished business from the registry";

}  // namespace

std::string TCustomInstall::FindInstallKey(bool create) {
  std::string selfExtract;
  if (HasSwitch(swSelfExtract)) selfExtract = AddBackslash(SwitchValues[swSource]) + SwitchValues[swSelfExtract];
  return FindInstallRecord(ProgramPath(), RunStartTime, create, selfExtract);
}

void TCustomInstall::ClearUnfinished() {
  if (CurrentInstallKey.empty()) throw IEInstall(kNoRecord);
  try {
    ClearUnfinishedItems(CurrentInstallKey);
  } catch (const std::exception& e) {
    LogLine(std::string("Clearing the unfinished list failed: ") + e.what());
  }
}

void TCustomInstall::AddUnfinished(const std::string& text, int kind) {
  if (CurrentInstallKey.empty()) throw IEInstall(kNoRecord);
  ++UnfinishedCount;
  AddUnfinishedItem(CurrentInstallKey, text, kind);
}

void TCustomInstall::ReadUnfinished(std::vector<std::string>& list) {
  list.clear();
  list = ReadUnfinishedItems(CurrentInstallKey);
}

void TCustomInstall::RegisterRunOnce() {
  const std::string program = ProgramPath();
  std::string launchArchive;
  if (HasSwitch(swSelfExtract))
    launchArchive = GetArchivePath();
  else if (UseLoadingProgram())
    // Without -e only the directory counts: the loading program's (-s).
    launchArchive = AddBackslash(SourceDir);
  else
    launchArchive = program;
  const std::string command =
      RunOnceCommandLine(program, launchArchive, HasSwitch(swSelfExtract), HasSwitch(swCleanup)) +
      ContinuationArguments(Unattended);  // the run after the restart keeps the mode and the log
  LogLine("RunOnce: " + command);
  if (!AddRunOnce(kRunOnceValueName, command, true))
    throw IEInstall("Cannot register the install to be run on reboot in the RunOnce key in the registry");
}

void TCustomInstall::SaveLanguage() {
  int language = 0;
  if (!TargetLanguage.Get || !TargetLanguage.Get(language)) return;
  SaveLanguageOrdinal(CurrentInstallKey, language);
}

int TCustomInstall::ReadLanguage() {
  int fallback = kDefaultLanguageOrdinal;
  if (TargetLanguage.Get) TargetLanguage.Get(fallback);
  try {
    return ReadLanguageOrdinal(CurrentInstallKey, fallback);
  } catch (const std::exception&) {
    return fallback;
  }
}

bool TCustomInstall::RebootWindows() {
  LogLine("Restarting Windows");
  if (RebootSystem()) return true;
  LogLine("The restart could not be started");
  if (OnFailedReboot) {
    OnFailedReboot(this);
    return false;
  }
  InstallMessageBox(TranslateExceptionMessage("Could not reboot windows. Please manually reboot windows."),
                    MB_OK | MB_ICONWARNING);
  return false;
}

void TCustomInstall::ContinueAfterReboot() {
  Installing = true;
  InstallCancel().Clear();
  try {
    ApplyCommandLineChoices();
    CurrentInstallKey = FindInstallKey(false);
    if (TargetLanguage.Get && TargetLanguage.Set) {
      int current = 0;
      if (TargetLanguage.Get(current)) TargetLanguage.Set(ReadLanguage());
    }
    std::vector<std::string> lines;
    ReadUnfinished(lines);
    ClearUnfinished();
    for (const std::string& line : lines) {
      const std::string name = GetField(line, 1, ';');
      const std::string kindText = Trim(GetField(line, 2, ';'));
      long long kind = 0;
      if (!ParseInteger(kindText, kind))
        throw IEInstall("There is an invalid entry for the unfinished install list %s", {line});
      if (kind == 1) {
        LogLine("After restart: finishing " + name);
        FinishUnfinishedFile(name);
      } else if (kind == 0) {
        // Copy: completing an object may change the registry.
        std::vector<TInstallContainer*> objects;
        for (int i = 0; i < InstallContainers().Count(); ++i) objects.push_back(InstallContainers().Items(i));
        for (TInstallContainer* o : objects)
          // The install itself is never an item of its own list; skipping it
          // keeps a stray entry of its name from re-entering this run.
          if (o != this && InstallContainers().Contains(o) && SameText(o->Name(), name)) {
            LogLine("After restart: completing " + name);
            o->ContinueAfterReboot();
          }
      }
    }
    FinishGoodInstall();
  } catch (const std::exception& e) {
    // Reached from loading the project, before any message loop: handled
    // here as a failed run instead of ending the program unreported.
    if (dynamic_cast<const EAbort*>(&e)) {
      Installing = false;
      return;
    }
    HandleException(this, e);
  }
}

void TCustomInstall::RemoveInstallKey() {
  if (CurrentInstallKey.empty()) return;
  try {
    RemoveInstallRecord(CurrentInstallKey);
  } catch (const std::exception& e) {
    LogLine(std::string("Removing the install record failed: ") + e.what());
  }
  CurrentInstallKey.clear();
}

void TCustomInstall::ReadSelfExtractOffset() {
  SharedCompressor()->Offset = static_cast<std::int32_t>(ReadSelfExtractArchiveOffset(GetArchivePath()));
}
