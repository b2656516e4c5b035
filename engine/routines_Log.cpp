#include "routines_Log.h"

#include <windows.h>

#include "WinHandles.h"

namespace {
std::string LogPath() {
  char buf[MAX_PATH + 1] = {};
  DWORD n = GetEnvironmentVariableA("TARNWICK_LOG", buf, sizeof(buf));
  return n && n < sizeof(buf) ? std::string(buf, n) : std::string();
}
}  // namespace

bool LogEnabled() { return !LogPath().empty(); }

void LogLine(const std::string& line) {
  std::string path = LogPath();
  if (path.empty()) return;
  TWinFile f(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return;
  std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(f.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
