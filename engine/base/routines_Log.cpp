#include "routines_Log.h"

#include <windows.h>

#include <cstdio>

#include "WinHandles.h"

namespace {
std::string g_runLog;

std::string LogPath() {
  char buf[MAX_PATH + 1] = {};
  DWORD n = GetEnvironmentVariableA("TARNWICK_LOG", buf, sizeof(buf));
  return n && n < sizeof(buf) ? std::string(buf, n) : std::string();
}

void Append(const std::string& path, const std::string& text) {
  TWinFile f(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return;
  DWORD written = 0;
  WriteFile(f.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
}  // namespace

bool LogEnabled() { return !g_runLog.empty() || !LogPath().empty(); }

void SetRunLog(const std::string& path) { g_runLog = path; }
const std::string& RunLog() { return g_runLog; }

void LogLine(const std::string& line) {
  const std::string path = LogPath();
  if (!path.empty()) Append(path, line + "\r\n");
  if (g_runLog.empty()) return;
  SYSTEMTIME t;
  GetLocalTime(&t);
  char stamp[32];
  std::snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u  ", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond);
  // One step, one line: a message's own line breaks become blanks.
  std::string flat;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\r' || line[i] == '\n') {
      if (!flat.empty() && flat.back() != ' ') flat += ' ';
    } else {
      flat += line[i];
    }
  }
  Append(g_runLog, stamp + flat + "\r\n");
}
