#include "UninstallLog.h"

#include <algorithm>
#include <cstdio>

#include "WinHandles.h"
#include "routines_API.h"

std::string FormatLogLine(const SYSTEMTIME& at, const std::string& text) {
  char stamp[32];
  std::snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u  ", at.wYear, at.wMonth, at.wDay, at.wHour,
                at.wMinute, at.wSecond);
  return stamp + text + "\r\n";
}

bool TUninstallLog::Line(const std::string& text) {
  if (path_.empty()) return true;
  SYSTEMTIME now;
  GetLocalTime(&now);
  for (size_t start = 0; start < text.size() || start == 0;) {
    size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    const std::string part = text.substr(start, end - start);
    start = text.find_first_not_of("\r\n", end);
    if (start == std::string::npos) start = text.size() + 1;
    if (part.empty() && !text.empty()) continue;
    const std::string line = FormatLogLine(now, part);
    TWinFile f(CreateFileA(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!f || !WriteFile(f.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
      error_ = SysErrorMessage(GetLastError());
      return false;
    }
  }
  return true;
}
