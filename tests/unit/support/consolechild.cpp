// Test helper: a console program. Writes its command line to "<exe>.cmdline",
// then waits until "<exe>.release" exists (at most 30 seconds).
#include <windows.h>

#include <string>

int main() {
  char exe[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string cmd = GetCommandLineA();
  HANDLE f = CreateFileA((std::string(exe) + ".cmdline").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  WriteFile(f, cmd.data(), static_cast<DWORD>(cmd.size()), &n, nullptr);
  CloseHandle(f);
  std::string release = std::string(exe) + ".release";
  for (int i = 0; i < 300; ++i) {
    if (GetFileAttributesA(release.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
    Sleep(100);
  }
  return 1;
}
