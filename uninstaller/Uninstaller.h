// Removes an installed product using what the setup program recorded below
// the product's uninstall key: ActiveX servers, files and shortcuts, help
// file entries and shared-DLL counts.
#pragma once
#include <string>
#include <vector>

struct TUninstallCommand {
  std::string ProductName;
  bool Silent = false;  // "/S" before the product name: no questions, no messages
};

// The product name is the command line after the program's own path, which
// the uninstall entry does not quote.
TUninstallCommand ParseUninstallCommandLine(const std::string& commandLine, const std::string& modulePath);

class TUninstaller {
public:
  explicit TUninstaller(std::string productName);

  static std::string UninstallKeyOf(const std::string& productName);
  bool IsInstalled() const;
  std::string DisplayName() const;

  // Removes everything recorded and the uninstall key. `selfPath` is the
  // running uninstaller: it is removed after the program has ended. When a
  // file cannot be removed (Failed), the key stays with the records of what
  // remains and of the uninstaller, which stays too, so that a later run can
  // finish the job.
  void Run(const std::string& selfPath);

  std::vector<std::string> Removed;    // files deleted now
  std::vector<std::string> Kept;       // shared files still used by others
  std::vector<std::string> Failed;     // files that could not be removed ("path: reason")

private:
  void UnregisterActiveX(const std::string& path, int kind);
  // false: the file is still there and its record stays. A kind of 0 or more
  // is an ActiveX server, unregistered when no other product counts it.
  bool RemoveFile(const std::string& path, int activeXKind = -1);
  void KeepRecords(const std::vector<std::string>& activeX, const std::vector<std::string>& files);
  bool ReleaseSharedCount(const std::string& path);  // true: no other user remains
  void RemoveHelpEntry(const std::string& path);
  void NoteDirectory(const std::string& dir);
  std::vector<std::string> RemovableDirectories() const;

  std::string product_;
  std::string key_;
  std::vector<std::string> dirs_;     // directories that held recorded files, and their parents
  std::vector<std::string> guarded_;  // system folders never removed
};
