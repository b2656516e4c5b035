// The registry record a setup program keeps of itself below
// HKLM\SOFTWARE\VOQ\Install while an installation is in progress: finding or
// creating it, its unfinished list and language, RunOnce registration,
// restarting Windows and removing the record at the end.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "DateUtils.h"

inline constexpr const char* kInstallRecordsKey = "\\SOFTWARE\\VOQ\\Install";
inline constexpr const char* kEngineMakerKey = "\\Software\\Tarnwick";
inline constexpr const char* kRunOnceValueName = "TarnwickUnfinished";

// Looks up the record of the setup program at `programPath` (same size and
// file time); with `create` a new record "Install<n>" (lowest free n) is made
// when none matches. `selfExtract` is written as "SelfExtract" when not
// empty. Returns the record's key path or empty.
std::string FindInstallRecord(const std::string& programPath, TDateTime runStartTime, bool create,
                              const std::string& selfExtract);

// Unfinished items of a record: text -> kind (0 install object, 1 file).
// An empty key raises IEInstall.
void ClearUnfinishedItems(const std::string& key);
void AddUnfinishedItem(const std::string& key, const std::string& text, int kind);
std::vector<std::string> ReadUnfinishedItems(const std::string& key);  // "text;kind"

void SaveLanguageOrdinal(const std::string& key, int language);
int ReadLanguageOrdinal(const std::string& key, int fallback);

// Deletes the record with its subkeys (and the local archive copies they
// name), then the records key and the maker's key when they are empty.
void RemoveInstallRecord(const std::string& key);

// An unfinished item of kind 1 after the restart: a replacement batch file
// that RunOnce has not run yet is run now (hidden, waited for) and its
// RunOnce entry withdrawn; any other file is deleted.
void FinishUnfinishedFile(const std::string& path);

// The command that continues the installation after a restart.
std::string RunOnceCommandLine(const std::string& programPath, const std::string& launchArchivePath,
                               bool selfExtracting, bool cleanup);

// Asks Windows to restart (the NT family after enabling the shutdown
// privilege); false when it cannot (RunningOSHook in neither family, no
// privilege).
bool RebootSystem();

// The start of the main archive inside a self-extracting executable, from
// the extraction-info record before the checksum trailer.
std::uint32_t ReadSelfExtractArchiveOffset(const std::string& path);
