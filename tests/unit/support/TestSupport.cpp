#include "TestSupport.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "SysUtils.h"
#include "WinHandles.h"
#include "routines_Registry.h"
#include "routines_Strings.h"
#include "stream_WinFile.h"

namespace testsupport {

std::string BinDir() {
  char buf[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, buf, MAX_PATH);
  return ExtractFileDir(buf);
}

std::string UniqueName(const std::string& stem) {
  static std::atomic<int> counter{0};
  return stem + "_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount()) +
         "_" + std::to_string(++counter);
}

TTempDir::TTempDir(const std::string& tag) {
  char tmp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, tmp);
  path_ = AddBackslash(tmp) + UniqueName(tag);
  CreateDirectoryA(path_.c_str(), nullptr);
}

TTempDir::~TTempDir() { RemoveTree(path_); }

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA fd;
  TFindHandle h(FindFirstFileA((path + "\\*").c_str(), &fd));
  if (h) {
    do {
      std::string name = fd.cFileName;
      if (name == "." || name == "..") continue;
      std::string full = path + "\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full);
      } else {
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(full.c_str());
      }
    } while (FindNextFileA(h.Get(), &fd));
  }
  h.Reset();
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(path.c_str());
}

bool FileExists(const std::string& path) { return twfile::FileExists(path); }

std::string ReadFileText(const std::string& path) {
  TWinFile f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr));
  if (!f) return std::string();
  std::string out;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(f.Get(), buf, sizeof(buf), &got, nullptr) && got) out.append(buf, got);
  return out;
}

void WriteFileText(const std::string& path, const std::string& text) {
  TWinFile f(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  if (f) WriteFile(f.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool WaitUntil(const std::function<bool()>& effect, unsigned timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (effect()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
}

int RunAndWait(const std::string& commandLine, unsigned timeoutMs) {
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  std::vector<char> cmd(commandLine.begin(), commandLine.end());
  cmd.push_back('\0');
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return -1;
  TKernelHandle process(pi.hProcess), thread(pi.hThread);
  if (WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.Get(), 255);
    return -2;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.Get(), &code);
  return static_cast<int>(code);
}

int RunWithWindowsVersion(const std::string& helper, const std::string& version,
                          const std::string& arguments) {
  TTempDir dir("osver");
  std::string exeName = UniqueName(helper) + ".exe";
  std::string exe = dir.File(exeName);
  if (!CopyFileA((BinDir() + "\\" + helper + ".exe").c_str(), exe.c_str(), FALSE)) return -1;
  std::string key = "\\Software\\Wine\\AppDefaults\\" + exeName;
  if (!version.empty()) WriteRegistryString(kHKCU, key, "Version", version);
  int rc = RunAndWait("\"" + exe + "\" " + arguments);
  DeleteRegistryTree(kHKCU, key);
  return rc;
}

std::string Noise(std::size_t n, std::uint32_t seed) {
  std::string s(n, '\0');
  for (auto& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

}  // namespace testsupport
