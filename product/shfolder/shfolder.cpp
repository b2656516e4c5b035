// "ShFolder.Exe": the redistributable installer of the shell-folder library
// (shfolder.dll) that the Kelvo product carries. The library ships with
// every system this product supports, so the installer checks that it is
// there and records what it did.
//
// Switches (any case): /Q or /Q:U quiet for the user's prompts, /Q:A quiet
// altogether, /R:N never restart, /? the usage box. An unknown switch is
// refused with exit code 1 (shown unless quiet).
//
// Trace of every accepted run, for whoever needs to know that it ran:
//   HKCU\Software\Kelvo\ShFolderTrace  "CommandLine" (REG_SZ) the arguments
//     as given, "Quiet" (REG_SZ) "A", "U" or empty, "LibraryPresent" (DWORD)
//     1 when shfolder.dll is in the system directory, "RunCount" (DWORD)
//     runs so far;
//   %TEMP%\shfolder-ran.txt  one line per run: the arguments as given.
// Exit code 0 when the library is present, 2 when it is missing.
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kCaption[] = "Shell Folder Library Setup";
const char kTraceKey[] = "Software\\Kelvo\\ShFolderTrace";
const char kUsage[] =
    "Usage: ShFolder.Exe [/Q | /Q:U | /Q:A] [/R:N]\n\n"
    "/Q, /Q:U\tquiet: no questions\n/Q:A\tquiet: no messages at all\n/R:N\tnever restart the computer";

// Installers often start the program with the switches as the whole
// command line: a first token that is a switch is no program name.
bool FirstTokenIsSwitch() { return __argc > 0 && __argv[0][0] == '/'; }

// The arguments after the program name, as given.
std::string Arguments() {
  const char* p = GetCommandLineA();
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '/') return p;
  bool quoted = false;
  while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
    if (*p == '"') quoted = !quoted;
    ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

bool LibraryPresent() {
  char dir[MAX_PATH];
  UINT n = GetSystemDirectoryA(dir, sizeof(dir));
  if (n == 0 || n >= sizeof(dir)) return false;
  std::string path = std::string(dir) + "\\shfolder.dll";
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteTrace(const std::string& arguments, const char* quiet, bool present) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kTraceKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) ==
      ERROR_SUCCESS) {
    DWORD runs = 0, size = sizeof(runs), type = 0;
    if (RegQueryValueExA(key, "RunCount", nullptr, &type, reinterpret_cast<BYTE*>(&runs), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
      runs = 0;
    ++runs;
    DWORD presentValue = present ? 1 : 0;
    RegSetValueExA(key, "CommandLine", 0, REG_SZ, reinterpret_cast<const BYTE*>(arguments.c_str()),
                   static_cast<DWORD>(arguments.size() + 1));
    RegSetValueExA(key, "Quiet", 0, REG_SZ, reinterpret_cast<const BYTE*>(quiet),
                   static_cast<DWORD>(std::strlen(quiet) + 1));
    RegSetValueExA(key, "LibraryPresent", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&presentValue),
                   sizeof(presentValue));
    RegSetValueExA(key, "RunCount", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&runs), sizeof(runs));
    RegCloseKey(key);
  }
  char temp[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof(temp), temp);
  if (n == 0 || n > MAX_PATH) return;
  std::string file = std::string(temp) + (temp[n - 1] == '\\' ? "" : "\\") + "shfolder-ran.txt";
  if (std::FILE* f = std::fopen(file.c_str(), "ab")) {
    std::fprintf(f, "%s\r\n", arguments.c_str());
    std::fclose(f);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::string arguments = Arguments();
  const char* quiet = "";
  bool usage = false, unknown = false;
  for (int i = FirstTokenIsSwitch() ? 0 : 1; i < __argc; ++i) {
    std::string a = __argv[i];
    for (char& c : a) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (a == "/Q" || a == "/Q:U") quiet = "U";
    else if (a == "/Q:A") quiet = "A";
    else if (a == "/R:N") continue;
    else if (a == "/?") usage = true;
    else unknown = true;
  }
  const bool silent = std::strcmp(quiet, "A") == 0;
  if (usage || unknown) {
    if (!silent || usage) MessageBoxA(nullptr, kUsage, kCaption, MB_OK | (unknown ? MB_ICONERROR : MB_ICONINFORMATION));
    return unknown ? 1 : 0;
  }
  const bool present = LibraryPresent();
  WriteTrace(arguments, quiet, present);
  if (!silent)
    MessageBoxA(nullptr,
                present ? "The shell folder library is installed and up to date."
                        : "The shell folder library (shfolder.dll) is missing from the system directory.",
                kCaption, MB_OK | (present ? MB_ICONINFORMATION : MB_ICONWARNING));
  return present ? 0 : 2;
}
