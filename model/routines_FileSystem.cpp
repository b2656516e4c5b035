#include "routines_FileSystem.h"

#include <vector>

#include "WinHandles.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_Strings.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Index of the next separator at or after i, or s.size().
size_t NextSeparator(const std::string& s, size_t i) {
  while (i < s.size() && !IsSeparator(s[i])) ++i;
  return i;
}

// Length of the leading part of a path that is never created: "C:\",
// "C:", "\", "\\server\share\", "\\?\C:\", "\\?\UNC\server\share\".
size_t RootLength(const std::string& p) {
  auto driveAt = [&](size_t i) {
    return i + 1 < p.size() && p[i + 1] == ':' &&
           ((p[i] >= 'A' && p[i] <= 'Z') || (p[i] >= 'a' && p[i] <= 'z'));
  };
  auto withSeparator = [&](size_t i) { return i < p.size() && IsSeparator(p[i]) ? i + 1 : i; };
  auto serverShare = [&](size_t i) {
    i = NextSeparator(p, i);       // end of the server name
    if (i < p.size()) i = NextSeparator(p, i + 1);  // end of the share name
    return withSeparator(i);
  };
  if (p.size() >= 4 && IsSeparator(p[0]) && IsSeparator(p[1]) && (p[2] == '?' || p[2] == '.') &&
      IsSeparator(p[3])) {
    if (p.size() >= 8 && SameText(p.substr(4, 3), "UNC") && IsSeparator(p[7])) return serverShare(8);
    if (driveAt(4)) return withSeparator(6);
    return withSeparator(NextSeparator(p, 4));  // a volume name
  }
  if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) return serverShare(2);
  if (driveAt(0)) return withSeparator(2);
  return withSeparator(0);
}

struct TAttributeMapping {
  TTrnwFileAttributes value;
  DWORD platform;
};
constexpr TAttributeMapping kAttributeMap[] = {
    {tfaArchive, FILE_ATTRIBUTE_ARCHIVE},     {tfaDirectory, FILE_ATTRIBUTE_DIRECTORY},
    {tfaHidden, FILE_ATTRIBUTE_HIDDEN},       {tfaNormal, FILE_ATTRIBUTE_NORMAL},
    {tfaOffline, FILE_ATTRIBUTE_OFFLINE},     {tfaReadOnly, FILE_ATTRIBUTE_READONLY},
    {tfaSystem, FILE_ATTRIBUTE_SYSTEM},       {tfaTemporary, FILE_ATTRIBUTE_TEMPORARY},
};

}  // namespace

bool IsDirectory(const std::string& path) {
  if (path.empty()) return false;
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDirectoryTree(const std::string& path) {
  if (Trim(path).empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  const size_t root = RootLength(path);
  std::string p = path;
  while (p.size() > root && IsSeparator(p.back())) p.pop_back();
  if (IsDirectory(p)) return true;
  if (p.size() <= root) {  // a drive or share that is not there
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  // The end of every directory level below the root, outermost first.
  std::vector<size_t> ends;
  for (size_t i = root; i < p.size(); ++i)
    if (IsSeparator(p[i]) && i > root && !IsSeparator(p[i - 1])) ends.push_back(i);
  ends.push_back(p.size());
  // Levels that exist already stay as they are.
  size_t first = ends.size() - 1;
  while (first > 0 && !IsDirectory(p.substr(0, ends[first - 1]))) --first;
  for (size_t k = first; k < ends.size(); ++k) {
    const std::string level = p.substr(0, ends[k]);
    if (!CreateDirectoryA(level.c_str(), nullptr)) {
      DWORD error = GetLastError();
      if (!IsDirectory(level)) {  // a file in the way, a bad name, no access
        SetLastError(error);
        return false;
      }
    }
  }
  return true;
}

DWORD TrnwAttributesToPlatform(TTrnwFileAttributesSet attributes) {
  DWORD r = 0;
  for (const TAttributeMapping& m : kAttributeMap)
    if (attributes.Contains(m.value)) r |= m.platform;
  return r ? r : FILE_ATTRIBUTE_NORMAL;
}

TTrnwFileAttributesSet PlatformToTrnwAttributes(DWORD attributes) {
  TTrnwFileAttributesSet r;
  for (const TAttributeMapping& m : kAttributeMap)
    if (attributes & m.platform) r.Include(m.value);
  return r;
}

void SetFileAttributesFromSet(const std::string& path, TTrnwFileAttributesSet attributes) {
  if (!SetFileAttributesA(path.c_str(), TrnwAttributesToPlatform(attributes)))
    throw IEfcSetAttributes("Cannot set file attributes. Error : %s", {SysErrorMessage(GetLastError())});
}

void ReadFileAttributes(const std::string& path, TTrnwFileAttributesSet& attributes,
                        SECURITY_ATTRIBUTES* securityAttributes) {
  TWinFile f(CreateFileA(path.c_str(), GENERIC_READ, 0, securityAttributes, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return;
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(f.Get(), &info)) return;
  attributes = TTrnwFileAttributesSet();
  if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) attributes.Include(tfaReadOnly);
}

std::string NearestExistingDirectory(const std::string& path) {
  if (Trim(path).empty()) return std::string();
  std::string p = path;
  for (;;) {
    if (IsDirectory(p)) return p;
    size_t cut = p.rfind('\\');
    if (cut == std::string::npos) return std::string();
    p.erase(cut);
  }
}

std::string LoadLibraryString(const std::string& library, unsigned id) {
  if (library.empty()) return std::string();
  // Loaded as data: only its resources are wanted, none of its code runs.
  TModuleHandle module(LoadLibraryExA(library.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) return std::string();
  std::vector<char> buffer(4096);
  int n = LoadStringA(module.Get(), id, buffer.data(), static_cast<int>(buffer.size()));
  return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
}

namespace filesystem_detail {

void MakeHardLinkThrough(const char* library, const char* entryPoint, const std::string& linkPath,
                         const std::string& existingPath, SECURITY_ATTRIBUTES* securityAttributes,
                         bool& success) {
  using TCreateHardLinkA = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPSECURITY_ATTRIBUTES);
  TModuleHandle kernel(LoadLibraryA(library));
  if (!kernel) throw IEInstallHardLink("Could not create hardlink for %s", {"from unloadable Kernel32"});
  auto create = reinterpret_cast<TCreateHardLinkA>(
      reinterpret_cast<void*>(GetProcAddress(kernel.Get(), entryPoint)));
  if (!create) throw IEInstallHardLink("Could not create hardlink for %s", {"Kernel32"});
  success = create(linkPath.c_str(), existingPath.c_str(), securityAttributes) != 0;
  DWORD error = GetLastError();
  kernel.Reset();
  SetLastError(error);  // the caller may report why no link was made
}

}  // namespace filesystem_detail

void MakeHardLink(const std::string& linkPath, const std::string& existingPath,
                  SECURITY_ATTRIBUTES* securityAttributes, bool& success) {
  filesystem_detail::MakeHardLinkThrough("kernel32.dll", "CreateHardLinkA", linkPath, existingPath,
                                         securityAttributes, success);
}
