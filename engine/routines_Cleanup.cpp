#include "routines_Cleanup.h"

#include <windows.h>

#include "WinHandles.h"
#include "cmp_TInstallContainer.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_DeferredDelete.h"
#include "routines_Log.h"
#include "routines_Strings.h"

namespace {

std::string LongPath(const std::string& path) {
  char full[MAX_PATH * 2];
  char* filePart = nullptr;
  DWORD n = GetFullPathNameA(path.c_str(), sizeof(full), full, &filePart);
  if (n == 0 || n >= sizeof(full)) return std::string();
  char longName[MAX_PATH * 2];
  n = GetLongPathNameA(full, longName, sizeof(longName));
  if (n == 0 || n >= sizeof(longName)) return std::string();
  return StripBackslash(longName);
}

// Calls visit(name, attributes) for every entry of dir but "." and "..";
// stops early when it returns false. False when the listing failed or was stopped.
template <class F>
bool ListDirectory(const std::string& dir, F visit) {
  WIN32_FIND_DATAA fd;
  TFindHandle h(FindFirstFileA((AddBackslash(dir) + "*.*").c_str(), &fd));
  if (!h) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    if (!visit(name, fd.dwFileAttributes)) return false;
  } while (FindNextFileA(h.Get(), &fd));
  return true;
}

// Paths in the batch lines below are spelt as a batch file needs them.
std::string Quoted(const std::string& s) { return "\"" + BatchPath(s) + "\""; }
std::string ShortBatchPath(const std::string& path) { return BatchPath(GetShortPath(path)); }

}  // namespace

bool IsNTFamily() {
  try {
    const TOSVerType os = RunningOSHook();
    return IsNTFamilyOS(os) || os == oswinNT351;
  } catch (const Exception&) {
    return false;
  }
}

bool IsUnpackedProgramDirectory(const std::string& dir, const std::vector<std::string>& unpackedNames) {
  if (Trim(dir).empty() || unpackedNames.empty()) return false;
  const std::string longDir = LongPath(dir);
  const std::string temp = LongPath(GetTempDir());
  if (longDir.empty() || temp.empty()) return false;
  const std::string parent = ExtractFileDir(longDir);
  if (!SameText(StripBackslash(parent), temp) || SameText(longDir, temp)) return false;
  const DWORD attributes = GetFileAttributesA(longDir.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  return ListDirectory(longDir, [&](const std::string& name, DWORD attr) {
    if (attr & FILE_ATTRIBUTE_DIRECTORY) return false;
    for (const std::string& allowed : unpackedNames)
      if (SameText(name, ExtractFileName(allowed))) return true;
    return false;
  });
}

std::string ProgramDirCleanupBatchText(const std::string& programPath, const std::string& batchPath,
                                       bool ntFamily) {
  const std::string dir = StripBackslash(ExtractFileDir(programPath));
  const std::string pif = ChangeFileExt(batchPath, ".PIF");
  const std::string batchDir = StripBackslash(ExtractFileDir(batchPath));
  TDeferredDelete request;
  if (ntFamily) {
    // The batch must not sit in the directory it removes.
    request.ExtraLines.push_back("CD /D " + Quoted(batchDir));
    request.Files.push_back(programPath);
    request.FinalLines.push_back("RMDIR /S /Q " + Quoted(dir) + " >NUL");
    request.FinalLines.push_back("IF EXIST " + Quoted(pif) + " ERASE " + Quoted(pif) + " >NUL");
  } else {
    // command.com: short names, no CD /D.
    const std::string shortBatchDir = ShortBatchPath(batchDir);
    if (shortBatchDir.size() >= 2 && shortBatchDir[1] == ':') request.ExtraLines.push_back(shortBatchDir.substr(0, 2));
    request.ExtraLines.push_back("CD " + shortBatchDir);
    request.Files.push_back(GetShortPath(programPath));
    request.FinalLines.push_back("DELTREE /Y " + ShortBatchPath(dir) + " >NUL");
    // Where the command interpreter has no DELTREE, the directory is still
    // there: remove it as the NT family would.
    request.FinalLines.push_back("IF EXIST " + ShortBatchPath(dir) + "\\NUL RMDIR /S /Q " + ShortBatchPath(dir) +
                                 " >NUL");
    const std::string shortPif = shortBatchDir + "\\" + BatchPath(ExtractFileName(pif));
    request.FinalLines.push_back("IF EXIST " + shortPif + " ERASE " + shortPif + " >NUL");
  }
  return DeferredDeleteBatchText(request, batchPath);
}

std::string PrepareProgramDirCleanup(const std::string& programPath, const std::vector<std::string>& unpackedNames) {
  const std::string dir = StripBackslash(ExtractFileDir(programPath));
  if (!IsUnpackedProgramDirectory(dir, unpackedNames)) {
    LogLine("Clean-up: " + dir + " is not an unpacked setup directory; it is left alone");
    return std::string();
  }
  std::vector<std::string> names;
  ListDirectory(dir, [&](const std::string& name, DWORD) {
    names.push_back(name);
    return true;
  });
  for (const std::string& name : names) {
    const std::string path = AddBackslash(dir) + name;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
  }
  RemoveDirectoryA(dir.c_str());

  std::string batch;
  try {
    batch = ChangeFileExt(CreateTempFileName(false), ".bat");
  } catch (const std::exception&) {
    return std::string();
  }
  const std::string text = ProgramDirCleanupBatchText(programPath, batch, IsNTFamily());
  TWinFile f(CreateFileA(batch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!f || !WriteFile(f.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size()) {
    f.Reset();
    DeleteFileA(batch.c_str());
    LogLine("Clean-up: cannot write " + batch);
    return std::string();
  }
  LogLine("Clean-up: " + dir + " is removed by " + batch + " when the program has ended");
  return batch;
}
