#include "routines_InstallKey.h"

#include <windows.h>

#include <cmath>

#include "WinHandles.h"
#include "cmp_TInstallContainer.h"
#include "cmp_TTrnwRegistry.h"
#include "exceptions_Tarnwick.h"
#include "format_Archive.h"
#include "routines_API.h"
#include "routines_Registry.h"
#include "routines_Strings.h"
#include "Registry.h"
#include "stream_WinFile.h"
#include "uFileCheckSum.h"

namespace {
const char* const kNoRecord = "The TInstall could not either write or read unfinished business from the registry";

bool ProgramFileFacts(const std::string& path, std::uint32_t& size, TDateTime& date) {
  TWinFile f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         0, nullptr));
  if (!f) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(f.Get(), &info)) return false;
  size = info.nFileSizeLow;
  date = FileTimeToDateTime(info.ftLastWriteTime);
  return true;
}

void RequireKey(const std::string& key) {
  if (key.empty()) throw IEInstall(kNoRecord);
}
}  // namespace

std::string FindInstallRecord(const std::string& programPath, TDateTime runStartTime, bool create,
                              const std::string& selfExtract) {
  std::uint32_t size = 0;
  TDateTime date = 0;
  if (!ProgramFileFacts(programPath, size, date)) return std::string();
  TtrnwRegistry base;
  base.SetRootKeyIndex(kHKLM);
  if (!base.OpenKey(kInstallRecordsKey, true)) return std::string();
  std::vector<std::string> names = base.GetKeyNames();
  base.CloseKey();

  for (const std::string& name : names) {
    std::string key = std::string(kInstallRecordsKey) + "\\" + name;
    TtrnwRegistry r;
    r.SetRootKeyIndex(kHKLM);
    if (!r.OpenKey(key, false)) continue;
    std::string path;
    double created = 0;
    int recordedSize = 0;
    if (!r.ReadString("Path", path) || !r.ReadBinaryData("CreationDate", &created, sizeof(created)) ||
        !r.ReadInteger("Size", recordedSize))
      continue;
    if (!(std::fabs(date - created) < 1e-7) || static_cast<std::uint32_t>(recordedSize) != size) continue;
    r.SetLazyWrite(false);
    if (!r.WriteBinaryData("LastRunDate", &runStartTime, sizeof(runStartTime)) ||
        !r.WriteString("Path", programPath))
      return std::string();
    r.CloseKey();
    return key;
  }
  if (!create) return std::string();
  int n = 0;
  for (;; ++n) {
    std::string candidate = "Install" + std::to_string(n);
    bool taken = false;
    for (const std::string& name : names) taken = taken || SameText(name, candidate);
    if (!taken) break;
  }
  std::string key = std::string(kInstallRecordsKey) + "\\Install" + std::to_string(n);
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  r.SetLazyWrite(false);
  if (!r.OpenKey(key, true)) return std::string();
  double created = date;
  if (!r.WriteString("Path", programPath) ||
      !r.WriteBinaryData("LastRunDate", &runStartTime, sizeof(runStartTime)) ||
      !r.WriteBinaryData("CreationDate", &created, sizeof(created)) ||
      !r.WriteInteger("Size", static_cast<int>(size)) ||
      (!selfExtract.empty() && !r.WriteString("SelfExtract", selfExtract)))
    return std::string();
  r.CloseKey();
  return key;
}

void ClearUnfinishedItems(const std::string& key) {
  RequireKey(key);
  DeleteRegistryTree(kHKLM, key + "\\Unfinished");
}

void AddUnfinishedItem(const std::string& key, const std::string& text, int kind) {
  RequireKey(key);
  WriteRegistryString(kHKLM, key + "\\Unfinished", text, std::to_string(kind));
}

std::vector<std::string> ReadUnfinishedItems(const std::string& key) {
  RequireKey(key);
  std::vector<std::string> lines;
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  if (!r.KeyExists(key + "\\Unfinished") || !r.OpenKey(key + "\\Unfinished", false)) return lines;
  for (const std::string& name : r.GetValueNames()) {
    std::string data;
    r.ReadString(name, data);
    lines.push_back(name + ";" + data);
  }
  return lines;
}

void SaveLanguageOrdinal(const std::string& key, int language) {
  WriteRegistryInteger(kHKLM, key, "Language", language);
}

int ReadLanguageOrdinal(const std::string& key, int fallback) {
  if (key.empty()) return fallback;
  return ReadRegistryInteger(kHKLM, key, "Language", fallback);
}

void RemoveInstallRecord(const std::string& key) {
  if (key.empty()) return;
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  if (r.OpenKey(key, false)) {
    std::vector<std::string> subkeys = r.GetKeyNames();
    r.CloseKey();
    for (const std::string& sub : subkeys) {
      std::string local = Trim(ReadRegistryString(kHKLM, key + "\\" + sub, "LocalFile", ""));
      if (!local.empty()) DeleteFileA(local.c_str());
      DeleteRegistryTree(kHKLM, key + "\\" + sub);
    }
  }
  DeleteRegistryTree(kHKLM, key);
  TtrnwRegistry records;
  records.SetRootKeyIndex(kHKLM);
  if (records.OpenKey(kInstallRecordsKey, false)) {
    bool empty = records.GetKeyNames().empty();
    records.CloseKey();
    if (empty) records.DeleteKey(kInstallRecordsKey);
    // Its parent too, when the records were all it held.
    const std::string parent = ExtractFileDir(kInstallRecordsKey);
    if (empty && records.OpenKey(parent, false)) {
      const bool bare = records.GetKeyNames().empty() && records.GetValueNames().empty();
      records.CloseKey();
      if (bare) records.DeleteKey(parent);
    }
    TtrnwRegistry maker;
    maker.SetRootKeyIndex(kHKLM);
    if (maker.OpenKey(kEngineMakerKey, false)) {
      bool makerEmpty = maker.GetKeyNames().empty();
      maker.CloseKey();
      if (makerEmpty) maker.DeleteKey(kEngineMakerKey);
    }
  }
}

namespace {
// Withdraws every RunOnce value, below either root, that runs command.
void WithdrawRunOnce(const std::string& command) {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    TRegistry reg;
    reg.SetRootKey(root);
    if (!reg.OpenKey(kRunOnceKey, false)) continue;
    for (const std::string& name : reg.GetValueNames()) {
      std::string value;
      if (reg.ReadString(name, value) && SameText(Trim(value), command)) reg.DeleteValue(name);
    }
  }
}
}  // namespace

void FinishUnfinishedFile(const std::string& path) {
  if (SameText(ExtractFileExt(path), ".bat")) WithdrawRunOnce(path);
  if (SameText(ExtractFileExt(path), ".bat") && twfile::FileExists(path)) {
    std::string command = "cmd.exe /c \"\"" + path + "\"\"";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
      WaitForSingleObject(pi.hProcess, INFINITE);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
  }
  DeleteFileA(path.c_str());
}

std::string RunOnceCommandLine(const std::string& programPath, const std::string& launchArchivePath,
                               bool selfExtracting, bool cleanup) {
  std::string cmd = "\"" + programPath + "\" -r";
  if (selfExtracting) cmd += " \"-e" + ExtractFileName(launchArchivePath) + "\"";
  cmd += " \"-s" + StripBackslash(ExtractFilePath(launchArchivePath)) + "\"";
  if (cleanup) cmd += " -c";
  return cmd;
}

bool RebootSystem() {
  TOSVerType os;
  try {
    os = RunningOSHook();
  } catch (const Exception&) {
    return false;
  }
  if (Is9xFamilyOS(os)) return ExitWindowsEx(EWX_REBOOT, 0) != 0;
  if (!IsNTFamilyOS(os)) return false;
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
  TKernelHandle token(raw);
  TOKEN_PRIVILEGES tp = {};
  if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid)) return false;
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!AdjustTokenPrivileges(token.Get(), FALSE, &tp, 0, nullptr, nullptr) || GetLastError() != ERROR_SUCCESS)
    return false;
  return ExitWindowsEx(EWX_REBOOT, 0) != 0;
}

std::uint32_t ReadSelfExtractArchiveOffset(const std::string& path) {
  const std::string message =
      "Could not read the extraction info from the archive file %s when trying to find the correct offset "
      "into the self extracting file";
  TWinFile f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         0, nullptr));
  if (!f) throw IEInstall(message, {path});
  // The record stands before the trailer, which a signature may follow.
  TSealLayout layout;
  if (!ReadSealLayout(path, layout) || layout.End < ExtractionInfoDistance) throw IEInstall(message, {path});
  LARGE_INTEGER pos{};
  pos.QuadPart = static_cast<LONGLONG>(layout.End - ExtractionInfoDistance);
  std::uint8_t record[ExtractionInfoSize] = {};
  DWORD got = 0;
  if (!SetFilePointerEx(f.Get(), pos, nullptr, FILE_BEGIN) ||
      !ReadFile(f.Get(), record, sizeof record, &got, nullptr) || got != sizeof record)
    throw IEInstall(message, {path});
  return static_cast<std::uint32_t>(TExtractionInfo::Decode(record).FilesFirst);
}
