// The log that "/LOG=file" asks for: one line per step, appended in the line
// format every program of the product writes ("YYYY-MM-DD HH:MM:SS", two
// blanks, the text, CR LF). The file is opened for each line, so that other
// programs may append to it meanwhile.
#pragma once
#include <windows.h>

#include <string>

// One line of the log for the local time `at`, CR LF included.
std::string FormatLogLine(const SYSTEMTIME& at, const std::string& text);

class TUninstallLog {
public:
  explicit TUninstallLog(std::string path) : path_(std::move(path)) {}

  bool Enabled() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }

  // Appends the text, each of its own non-empty lines as a line of the log.
  // false when the file cannot be written; Error() says why.
  bool Line(const std::string& text);
  const std::string& Error() const { return error_; }

private:
  std::string path_;
  std::string error_;
};
