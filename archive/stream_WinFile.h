// File streams over Win32 handles, and the small file helpers the archive
// component needs.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "DateUtils.h"
#include "Streams.h"
#include "WinHandles.h"

class TWinFileStream : public TStream {
public:
  enum TMode { fmOpenRead, fmOpenReadWrite, fmCreate, fmCreateNew };  // fmCreateNew fails on an existing file
  // nullptr when the file cannot be opened or created. Reading shares
  // reading and writing with others; writing shares reading.
  static std::unique_ptr<TWinFileStream> Open(const std::string& name, TMode mode);

  long Read(void* buffer, long count) override;
  long Write(const void* buffer, long count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override;
  HANDLE Handle() const { return file_.Get(); }
  const std::string& FileName() const { return name_; }

private:
  TWinFile file_;
  std::string name_;
};

namespace twfile {
// Whether name is an existing file (not a directory), or an existing
// directory; an empty name is neither.
bool FileExists(const std::string& name);
bool DirectoryExists(const std::string& name);
// Creates a directory with all its missing parents; false on failure.
bool ForceDirectories(const std::string& dir);
// Deletes a directory with everything below it, read-only files too; what
// cannot be deleted stays.
void RemoveTree(const std::string& dir);
// Last-write time as local time at the 2-second DOS resolution.
bool GetFileDate(HANDLE h, TDateTime& date);
bool SetFileDate(HANDLE h, TDateTime date);
// The same date in 2-second steps, for exact comparison.
long long DosTicks(TDateTime t);
}  // namespace twfile
