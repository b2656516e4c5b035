#include "Uninstaller.h"

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdlib>

#include "SysUtils.h"
#include "WinHandles.h"
#include "cmp_TTrnwRegistry.h"
#include "format_UninstallRecord.h"
#include "routines_API.h"
#include "routines_DeferredDelete.h"
#include "routines_Journal.h"
#include "routines_Registry.h"
#include "routines_Strings.h"

namespace {
const char* const kSharedDlls = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char* const kHelp = "\\SOFTWARE\\Microsoft\\Windows\\Help";

// The number of entries of a record subkey; none when its count is missing
// or not one the setup program writes.
int EntryCount(const std::string& sub) {
  int n = 0;
  return uninstallrecord::ParseEntryCount(ReadRegistryString(kHKLM, sub, uninstallrecord::kEntriesValue, "0"), n)
             ? n
             : 0;
}

// The files subkeys of the record below `base` (ending in a backslash), in
// order: "Files" when there is one, then "Files1", "Files2", ... up to the
// first that is missing.
std::vector<std::string> FilesSubkeys(const std::string& base) {
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  std::vector<std::string> subs;
  for (int k = 0; k < uninstallrecord::kMaxFilesKeys; ++k) {
    std::string sub = base + uninstallrecord::FilesKey(k);
    if (!r.KeyExists(sub)) {
      if (k > 0) break;
      continue;
    }
    subs.push_back(std::move(sub));
  }
  return subs;
}

bool Exists(const std::string& p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectoryEmpty(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  TFindHandle h(FindFirstFileA((AddBackslash(dir) + "*").c_str(), &fd));
  if (!h) return false;
  do {
    std::string n = fd.cFileName;
    if (n != "." && n != "..") return false;
  } while (FindNextFileA(h.Get(), &fd));
  return true;
}

std::string FullPath(const std::string& p) {
  char buf[MAX_PATH + 1] = {};
  DWORD n = GetFullPathNameA(p.c_str(), sizeof(buf), buf, nullptr);
  return n && n < sizeof(buf) ? StripBackslash(buf) : StripBackslash(p);
}

// `path` lies inside `dir` (not `dir` itself); both full paths.
bool IsBelow(const std::string& path, const std::string& dir) {
  const std::string prefix = AddBackslash(dir);
  return path.size() > prefix.size() && SameText(path.substr(0, prefix.size()), prefix);
}

bool IsDriveRoot(const std::string& dir) { return dir.size() <= 3 && dir.size() >= 2 && dir[1] == ':'; }

bool IsShortcut(const std::string& path) {
  const std::string ext = UpperCase(ExtractFileExt(path));
  return ext == ".LNK" || ext == ".URL" || ext == ".PIF";
}

// The folders no uninstall may remove, even when empty.
std::vector<std::string> ProtectedFolders() {
  std::vector<std::string> list;
  try {
    list.push_back(GetWindowsDir());
    list.push_back(GetSystemDir());
    list.push_back(GetTempDir());
  } catch (...) {
  }
  const char* shellKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  for (const char* v : {"Start Menu", "Programs", "Desktop", "Startup", "Common Start Menu",
                        "Common Programs", "Common Desktop", "Common Startup"}) {
    for (int root : {kHKCU, kHKLM}) {
      std::string p = ReadRegistryString(root, shellKey, v, "");
      if (!p.empty()) list.push_back(StripBackslash(p));
    }
  }
  for (const char* v : {"ProgramFilesDir", "CommonFilesDir"}) {
    std::string p = ReadRegistryString(kHKLM, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", v, "");
    if (!p.empty()) list.push_back(StripBackslash(p));
  }
  return list;
}
}  // namespace

const char* const kUninstallSwitches = "/SILENT, /VERYSILENT and /LOG=file";

TUninstallCommand ParseUninstallCommandLine(const std::string& commandLine, const std::string& modulePath) {
  std::string rest = commandLine;
  // Skip the program's own path: quoted, the module path as written (long or
  // short form, with or without ".exe"), or else the first word.
  if (!rest.empty() && rest[0] == '"') {
    size_t q = rest.find('"', 1);
    rest = q == std::string::npos ? std::string() : rest.substr(q + 1);
  } else {
    std::vector<std::string> forms = {modulePath, GetShortPath(modulePath)};
    for (size_t i = 0, n = forms.size(); i < n; ++i)
      if (SameText(ExtractFileExt(forms[i]), ".exe"))
        forms.push_back(forms[i].substr(0, forms[i].size() - 4));
    size_t skip = std::string::npos;
    for (const std::string& f : forms) {
      if (f.empty() || rest.size() < f.size() || !SameText(rest.substr(0, f.size()), f)) continue;
      if (rest.size() > f.size() && rest[f.size()] != ' ' && rest[f.size()] != '\t') continue;
      if (skip == std::string::npos || f.size() > skip) skip = f.size();
    }
    if (skip == std::string::npos) {
      skip = rest.find_first_of(" \t");
      if (skip == std::string::npos) skip = rest.size();
    }
    rest = rest.substr(skip);
  }
  TUninstallCommand cmd;
  rest = Trim(rest);
  while (!rest.empty()) {
    // One word: up to a blank outside quotes.
    size_t end = 0;
    bool quoted = false;
    for (; end < rest.size(); ++end) {
      if (rest[end] == '"') quoted = !quoted;
      else if (!quoted && (rest[end] == ' ' || rest[end] == '\t')) break;
    }
    std::string word;
    for (size_t i = 0; i < end; ++i)
      if (rest[i] != '"') word += rest[i];
    if (word.empty() || word[0] != '/') break;
    rest = Trim(rest.substr(end));
    const std::string upper = UpperCase(word);
    std::string problem;
    if (upper == "/SILENT") {
      if (cmd.Mode == TUninstallMode::Normal) cmd.Mode = TUninstallMode::Silent;
    } else if (upper == "/VERYSILENT") {
      cmd.Mode = TUninstallMode::VerySilent;
    } else if (upper == "/LOG" || upper.compare(0, 5, "/LOG=") == 0) {
      cmd.LogFile = Trim(word.size() > 5 ? word.substr(5) : std::string());
      if (cmd.LogFile.empty()) problem = "The switch /LOG needs the name of the log file: /LOG=file.";
    } else {
      problem = "Unknown switch \"" + word + "\".";
    }
    if (!problem.empty() && cmd.Error.empty())
      cmd.Error = problem + " The valid switches are " + kUninstallSwitches +
                  ", before the product name. Nothing was removed.";
  }
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = rest.substr(1, rest.size() - 2);
  cmd.ProductName = rest;
  return cmd;
}

TUninstaller::TUninstaller(std::string productName)
    : product_(std::move(productName)), key_(UninstallKeyOf(product_)) {}

std::string TUninstaller::UninstallKeyOf(const std::string& productName) {
  return "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productName;
}

bool TUninstaller::IsInstalled() const {
  if (Trim(product_).empty()) return false;
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  return r.KeyExists(key_);
}

std::string TUninstaller::DisplayName() const {
  return ReadRegistryString(kHKLM, key_, "DisplayName", Trim(product_));
}

void TUninstaller::AddRoot(const std::string& dir) {
  const std::string d = FullPath(dir);
  if (d.empty() || IsDriveRoot(d)) return;
  if (std::none_of(roots_.begin(), roots_.end(), [&](const std::string& r) { return SameText(r, d); }))
    roots_.push_back(d);
}

void TUninstaller::FindRoots(const std::string& selfDir, const std::vector<std::string>& recorded) {
  std::vector<std::string> files;  // full paths, shortcuts left out
  for (const std::string& p : recorded) {
    if (p.empty()) continue;
    if (IsShortcut(p)) AddRoot(ExtractFileDir(FullPath(p)));
    else files.push_back(FullPath(p));
  }
  const std::string location = Trim(ReadRegistryString(kHKLM, key_, "InstallLocation", ""));
  if (!location.empty()) {
    AddRoot(location);
  } else if (!selfDir.empty()) {
    // The uninstaller lies in <installation>\Uninstall, or in the
    // installation directory itself when no file lies beside its folder.
    const std::string self = FullPath(selfDir), parent = ExtractFileDir(self);
    const bool beside = std::any_of(files.begin(), files.end(), [&](const std::string& f) {
      return IsBelow(f, parent) && !IsBelow(f, self);
    });
    AddRoot(beside && !IsDriveRoot(parent) ? parent : self);
  } else if (!files.empty()) {
    // The folder that holds every recorded file, short of a drive's root.
    std::string common = ExtractFileDir(files.front());
    for (const std::string& f : files)
      while (!common.empty() && !IsDriveRoot(common) && !IsBelow(f, common)) common = ExtractFileDir(common);
    AddRoot(common);
  }
}

void TUninstaller::NoteDirectory(const std::string& dir) {
  if (guarded_.empty()) {
    for (const std::string& g : ProtectedFolders()) guarded_.push_back(FullPath(g));
  }
  std::string d = FullPath(dir);
  // Only folders the product made: up to the outermost root that holds d,
  // that root included, and short of a folder that belongs to the system.
  const std::string* root = nullptr;
  for (const std::string& r : roots_)
    if ((SameText(d, r) || IsBelow(d, r)) && (!root || r.size() < root->size())) root = &r;
  if (!root) return;
  while (!d.empty() && std::none_of(guarded_.begin(), guarded_.end(),
                                    [&](const std::string& g) { return SameText(g, d); })) {
    if (std::find_if(dirs_.begin(), dirs_.end(), [&](const std::string& x) { return SameText(x, d); }) ==
        dirs_.end())
      dirs_.push_back(d);
    if (SameText(d, *root)) break;
    std::string parent = ExtractFileDir(d);
    if (parent.empty() || SameText(parent, d)) break;
    d = parent;
  }
}

void TUninstaller::Log(const std::string& line) const {
  if (OnLog) OnLog(line);
}

bool TUninstaller::ReleaseSharedCount(const std::string& path) {
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  if (!r.OpenKey(kSharedDlls, false)) return true;
  for (const std::string& name : {GetShortPath(path), path}) {
    int count = 0;
    if (!r.ValueExists(name) || !r.ReadInteger(name, count)) continue;
    if (count > 1) {
      r.WriteInteger(name, count - 1);
      Log("Shared count lowered to " + std::to_string(count - 1) + ": HKLM" + kSharedDlls + " \"" + name + "\"");
      return false;
    }
    if (r.DeleteValue(name)) Log(std::string("Registry value removed: HKLM") + kSharedDlls + " \"" + name + "\"");
    return true;
  }
  return true;
}

void TUninstaller::RemoveHelpEntry(const std::string& path) {
  std::string name = UpperCase(ExtractFileName(path));
  std::string dir = ReadRegistryString(kHKLM, kHelp, name, "");
  if (dir.empty() || !SameText(StripBackslash(dir), ExtractFileDir(path))) return;
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  if (r.OpenKey(kHelp, false) && r.DeleteValue(name))
    Log(std::string("Registry value removed: HKLM") + kHelp + " \"" + name + "\"");
}

bool TUninstaller::ScheduleAtRestart(const std::string& path) {
  if (!MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return false;
  scheduled_.push_back(FullPath(path));
  return true;
}

bool TUninstaller::HoldsOnlyScheduled(const std::string& dir) const {
  WIN32_FIND_DATAA fd;
  TFindHandle h(FindFirstFileA((AddBackslash(dir) + "*").c_str(), &fd));
  if (!h) return false;
  do {
    std::string n = fd.cFileName;
    if (n == "." || n == "..") continue;
    std::string p = FullPath(AddBackslash(dir) + n);
    if (std::none_of(scheduled_.begin(), scheduled_.end(), [&](const std::string& s) { return SameText(s, p); }))
      return false;
  } while (FindNextFileA(h.Get(), &fd));
  return true;
}

bool TUninstaller::RemoveFile(const std::string& path, int activeXKind) {
  if (path.empty()) return true;
  NoteDirectory(ExtractFileDir(path));
  // The count goes down first: a server another product still counts keeps
  // its file and its registration.
  bool lastUser = ReleaseSharedCount(path);
  if (!Exists(path)) {
    Log("Already gone: " + path);
    RemoveHelpEntry(path);
    return true;
  }
  if (!lastUser) {
    Log("Kept, another product still uses it: " + path);
    Kept.push_back(path);
    return true;
  }
  if (activeXKind >= 0) {
    // A registration left behind with its file gone could never be removed:
    // the file and its record stay for another run.
    std::string problem;
    if (!UnregisterActiveX(path, activeXKind, problem)) {
      Log("Not removed, " + problem + ": " + path);
      Failed.push_back(path + ": " + problem);
      return false;
    }
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (DeleteFileA(path.c_str())) {
    const std::string ext = UpperCase(ExtractFileExt(path));
    Log((ext == ".LNK" || ext == ".URL" || ext == ".PIF" ? "Shortcut removed: " : "File removed: ") + path);
    RemoveHelpEntry(path);
    Removed.push_back(path);
    return true;
  }
  const DWORD error = GetLastError();
  const std::string reason = SysErrorMessage(error);
  // Held by a running program (a running executable is denied): it goes at
  // the next restart.
  const bool inUse = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
  if (inUse && ScheduleAtRestart(path)) {
    Log("Left, in use (" + reason + "); removed at the next restart: " + path);
    InUse.push_back(path);
    return false;
  }
  Log("Not removed (" + reason + "): " + path);
  Failed.push_back(path + ": " + reason);
  return false;
}

bool TUninstaller::UnregisterActiveX(const std::string& path, int kind, std::string& problem) {
  if (!Exists(path)) return true;
  std::string why;
  const bool ok = journal::UnregisterServer(path, kind, why);
  if (ok) {
    Log((kind == 1 ? "ActiveX server unregistered (/UNREGSERVER): "
         : kind == 2 ? "Type library unregistered: "
                     : "ActiveX server unregistered: ") + path);
  }
  // A server that cannot be started or asked is left to go with its file;
  // a type library that stays registered keeps its file.
  if (kind == 2 && !ok) {
    problem = why;
    return false;
  }
  return true;
}

std::vector<std::string> TUninstaller::RemovableDirectories() const {
  std::vector<std::string> dirs = dirs_;
  // Deepest first, so that parents are tried after their children.
  std::stable_sort(dirs.begin(), dirs.end(), [](const std::string& a, const std::string& b) {
    return std::count(a.begin(), a.end(), '\\') > std::count(b.begin(), b.end(), '\\');
  });
  return dirs;
}

void TUninstaller::KeepRecords(const std::vector<std::string>& activeX,
                               const std::vector<std::string>& files) {
  const std::string base = AddBackslash(key_);
  DeleteRegistryTree(kHKLM, base + uninstallrecord::kActiveXKey);
  for (const std::string& sub : FilesSubkeys(base)) DeleteRegistryTree(kHKLM, sub);
  auto write = [&](const std::string& sub, const std::vector<std::string>& entries) {
    if (entries.empty()) return;
    for (size_t i = 0; i < entries.size(); ++i)
      WriteRegistryString(kHKLM, base + sub, uninstallrecord::EntryValue(static_cast<int>(i + 1)), entries[i]);
    WriteRegistryString(kHKLM, base + sub, uninstallrecord::kEntriesValue, std::to_string(entries.size()));
  };
  write(uninstallrecord::kActiveXKey, activeX);
  write(uninstallrecord::FilesKey(0), files);
}

void TUninstaller::Run(const std::string& selfPath) {
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  auto isSelf = [&](const std::string& path) { return SameText(FullPath(path), FullPath(selfPath)); };
  // The records of what could not be removed, kept for another run.
  std::vector<std::string> leftActiveX, leftFiles;
  std::string selfRecord;
  // What is recorded: ActiveX servers ("path;kind"), then files and
  // shortcuts from "Files", "Files1", "Files2", ...
  std::vector<std::string> activeX, files;
  const std::string ax = AddBackslash(key_) + uninstallrecord::kActiveXKey;
  const int count = EntryCount(ax);
  for (int i = 1; i <= count && i < 100000; ++i) {
    std::string entry = ReadRegistryString(kHKLM, ax, uninstallrecord::EntryValue(i), "");
    if (!entry.empty()) activeX.push_back(entry);
  }
  for (const std::string& sub : FilesSubkeys(AddBackslash(key_))) {
    const int n = uninstallrecord::FileEntryCount(sub);
    for (int i = 1; i <= n && i < 100000; ++i) {
      std::string path = ReadRegistryString(kHKLM, sub, uninstallrecord::EntryValue(i), "");
      if (!path.empty()) files.push_back(path);
    }
  }
  // The setup program records its uninstaller as the entry's command, and
  // maybe as a file: its folder goes with it when either names this program.
  bool selfIsProducts = std::any_of(files.begin(), files.end(), isSelf);
  const std::string command = ReadRegistryString(kHKLM, key_, "UninstallString", "");
  for (const std::string& self : {FullPath(selfPath), GetShortPath(selfPath)}) {
    if (!self.empty() && command.size() > self.size() && SameText(command.substr(0, self.size()), self) &&
        command[self.size()] == ' ')
      selfIsProducts = true;
  }
  std::vector<std::string> recorded = files;
  for (const std::string& entry : activeX) recorded.push_back(uninstallrecord::ActiveXEntryPath(entry));
  FindRoots(selfIsProducts ? ExtractFileDir(FullPath(selfPath)) : std::string(), recorded);
  if (selfIsProducts) NoteDirectory(ExtractFileDir(selfPath));

  // ActiveX servers are unregistered before their files go.
  for (const std::string& entry : activeX) {
    std::string path = uninstallrecord::ActiveXEntryPath(entry);
    int kind = uninstallrecord::ActiveXEntryKind(entry);
    if (isSelf(path)) {
      std::string problem;
      if (!UnregisterActiveX(path, kind, problem)) Log("Not unregistered, " + problem + ": " + path);
      continue;
    }
    if (!RemoveFile(path, std::max(kind, 0))) leftActiveX.push_back(entry);
  }
  for (const std::string& path : files) {
    if (isSelf(path)) {
      selfRecord = path;
      continue;  // removed after this program has ended
    }
    if (!RemoveFile(path)) leftFiles.push_back(path);
  }
  const bool complete = leftActiveX.empty() && leftFiles.empty();
  if (complete) {
    DeleteRegistryTree(kHKLM, key_);
    if (r.KeyExists(key_)) throw Exception("The uninstall entry HKLM" + key_ + " could not be removed.");
    Log("Registry key removed: HKLM" + key_);
  } else {
    // The entry stays in the list of installed programs, with this program
    // to start the next run.
    if (!selfRecord.empty()) leftFiles.push_back(selfRecord);
    KeepRecords(leftActiveX, leftFiles);
    Log("Registry key kept with the records of what is left: HKLM" + key_);
  }

  // Directories that are empty now go at once, and those that hold only what
  // goes at the restart are removed after it, deepest first; after a complete
  // run the uninstaller's own directory and its parents once the uninstaller
  // has ended.
  TDeferredDelete later;
  later.Files.push_back(selfPath);
  for (const std::string& d : RemovableDirectories()) {
    if (IsDirectoryEmpty(d) && RemoveDirectoryA(d.c_str())) {
      Log("Folder removed: " + d);
      continue;
    }
    if (!scheduled_.empty() && HoldsOnlyScheduled(d) && ScheduleAtRestart(d)) {
      Log("Folder removed at the next restart: " + d);
      continue;
    }
    later.Directories.push_back(d);
  }
  if (!complete) return;
  StartDeferredDelete(later);
  Log("Removed once this program has ended: " + selfPath);
  for (const std::string& d : later.Directories) Log("Folder removed once this program has ended, if empty: " + d);
}
