// Platform queries: the running Windows version, temporary files, the
// system and Windows directories, short paths.
#pragma once
#include <string>

#include "types_Tarnwick.h"

// Raises EAPIRoutines when the version cannot be queried.
TOSVerType GetOSVersion();
// Full path of a new unique file ("bat" prefix) in the temporary directory;
// when keep is false the file is deleted again and only the name is wanted.
std::string CreateTempFileName(bool keep);
std::string GetSystemDir();
std::string GetWindowsDir();
std::string GetTempDir();  // without trailing backslash
// The short (8.3) form of an existing path; the path itself when it has none.
std::string GetShortPath(const std::string& path);
// Text of a system error code.
std::string SysErrorMessage(unsigned long code);

// Makes a directory current for the object's lifetime, then the previous
// one again; failures either way are ignored.
class TCurrentDirectory {
public:
  explicit TCurrentDirectory(const std::string& dir);
  ~TCurrentDirectory();
  TCurrentDirectory(const TCurrentDirectory&) = delete;
  TCurrentDirectory& operator=(const TCurrentDirectory&) = delete;

private:
  std::string previous_;
};
