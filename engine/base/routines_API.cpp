#include "routines_API.h"

#include <windows.h>

#include "exceptions_Tarnwick.h"
#include "routines_Strings.h"

TOSVerType GetOSVersion() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);  // 148
  static_assert(sizeof(OSVERSIONINFOA) == 148, "version structure size");
  if (!GetVersionExA(&info))
    throw EAPIRoutines("Could not get information about the current version of Windows");
  return OSVersionFromInfo(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

std::string GetTempDir() {
  char buf[MAX_PATH + 1] = {};
  DWORD n = GetTempPathA(sizeof(buf), buf);
  if (n == 0 || n > sizeof(buf)) return std::string();
  return StripBackslash(buf);
}

std::string CreateTempFileName(bool keep) {
  char dir[MAX_PATH + 1] = {};
  DWORD n = GetTempPathA(sizeof(dir), dir);
  char name[MAX_PATH + 1] = {};
  if (n == 0 || n > sizeof(dir) || GetTempFileNameA(dir, "bat", 0, name) == 0 || name[0] == 0)
    throw EAPIRoutines("Cannot create a temporary file");
  if (!keep) DeleteFileA(name);
  return name;
}

std::string GetSystemDir() {
  char buf[MAX_PATH + 1] = {};
  UINT n = GetSystemDirectoryA(buf, sizeof(buf));
  if (n == 0 || n > sizeof(buf))
    throw EAPIRoutines("Could not retrieve the system directroy from windows");
  return buf;
}

std::string GetWindowsDir() {
  char buf[MAX_PATH + 1] = {};
  UINT n = GetWindowsDirectoryA(buf, sizeof(buf));
  if (n == 0 || n > sizeof(buf))
    throw EAPIRoutines("Could not retrieve the windows directory from windows");
  return buf;
}

std::string GetShortPath(const std::string& path) {
  char buf[MAX_PATH + 1] = {};
  DWORD n = GetShortPathNameA(path.c_str(), buf, sizeof(buf));
  if (n == 0 || n > sizeof(buf)) return path;
  return buf;
}

std::string SysErrorMessage(unsigned long code) {
  char* text = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string r = n && text ? Trim(std::string(text, n)) : "System error " + std::to_string(code);
  if (text) LocalFree(text);
  return r;
}

TCurrentDirectory::TCurrentDirectory(const std::string& dir) {
  char buf[MAX_PATH + 1];
  const DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
  if (n > 0 && n < sizeof buf) previous_.assign(buf, n);
  SetCurrentDirectoryA(dir.c_str());
}

TCurrentDirectory::~TCurrentDirectory() {
  if (!previous_.empty()) SetCurrentDirectoryA(previous_.c_str());
}
