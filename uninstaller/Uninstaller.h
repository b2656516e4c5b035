// Removes an installed product using what the setup program recorded below
// the product's uninstall key: ActiveX servers, files and shortcuts, help
// file entries and shared-DLL counts.
#pragma once
#include <functional>
#include <string>
#include <vector>

enum class TUninstallMode {
  Normal,      // the question, and message boxes
  Silent,      // "/SILENT": no question (Yes), no boxes; messages go to the log
  VerySilent,  // "/VERYSILENT": no window at all
};

struct TUninstallCommand {
  std::string ProductName;
  TUninstallMode Mode = TUninstallMode::Normal;
  std::string LogFile;  // "/LOG=file"
  std::string Error;    // a switch that is not known or lacks its value: nothing may be removed
  bool Silent() const { return Mode != TUninstallMode::Normal; }
};

// The switches the uninstaller knows, as listed in messages.
extern const char* const kUninstallSwitches;

// After the program's own path (which the uninstall entry does not quote)
// come the switches, each starting with "/", in any case; a value may be
// quoted ("/LOG="C:\a b\u.log""). The product name is the rest of the line,
// blanks included. A command line without switches is all product name.
TUninstallCommand ParseUninstallCommandLine(const std::string& commandLine, const std::string& modulePath);

class TUninstaller {
public:
  explicit TUninstaller(std::string productName);

  static std::string UninstallKeyOf(const std::string& productName);
  bool IsInstalled() const;
  std::string DisplayName() const;

  // Removes everything recorded and the uninstall key. `selfPath` is the
  // running uninstaller: it is removed after the program has ended. A file
  // in use is scheduled for removal at the next restart (InUse), with its
  // folders that only then become empty. When a file is left (InUse or
  // Failed), the key stays with the records of what remains and of the
  // uninstaller, which stays too, so that a later run can finish the job; a
  // recorded file that is gone by then counts as removed.
  void Run(const std::string& selfPath);

  // Receives one line for each step (file, registry value or key, folder).
  std::function<void(const std::string&)> OnLog;

  std::vector<std::string> Removed;    // files deleted now
  std::vector<std::string> Kept;       // shared files still used by others
  std::vector<std::string> InUse;      // files in use, removed at the next restart
  std::vector<std::string> Failed;     // files that could not be removed ("path: reason")

private:
  // false: the registration stays (so must the file); `problem` says why.
  bool UnregisterActiveX(const std::string& path, int kind, std::string& problem);
  // false: the file is still there and its record stays. A kind of 0 or more
  // is an ActiveX server, unregistered when no other product counts it.
  bool RemoveFile(const std::string& path, int activeXKind = -1);
  // The folders empty folders may be removed up to: the installation
  // directory and the folders of the shortcuts. `selfDir` is the folder of
  // the product's uninstaller, empty when this program is not it.
  void FindRoots(const std::string& selfDir, const std::vector<std::string>& recorded);
  void AddRoot(const std::string& dir);
  void KeepRecords(const std::vector<std::string>& activeX, const std::vector<std::string>& files);
  bool ReleaseSharedCount(const std::string& path);  // true: no other user remains
  void RemoveHelpEntry(const std::string& path);
  void NoteDirectory(const std::string& dir);
  std::vector<std::string> RemovableDirectories() const;
  bool ScheduleAtRestart(const std::string& path);
  bool HoldsOnlyScheduled(const std::string& dir) const;
  void Log(const std::string& line) const;

  std::string product_;
  std::string key_;
  std::vector<std::string> roots_;    // see FindRoots; full paths
  std::vector<std::string> dirs_;     // directories that held recorded files, and their parents up to a root
  std::vector<std::string> guarded_;  // system folders never removed
  std::vector<std::string> scheduled_;  // removed at the next restart, full paths
};
