#include "bytesource.h"

#include <cstring>

bool TMemorySource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
  if (offset > size_ || size > size_ - offset) return false;
  if (size) std::memcpy(buffer, data_ + offset, size);
  return true;
}

namespace {
bool SeekTo(std::FILE* f, std::int64_t offset, int origin) {
#ifdef _WIN32
  return _fseeki64(f, offset, origin) == 0;
#else
  return fseeko(f, static_cast<off_t>(offset), origin) == 0;
#endif
}
std::int64_t Tell(std::FILE* f) {
#ifdef _WIN32
  return _ftelli64(f);
#else
  return static_cast<std::int64_t>(ftello(f));
#endif
}
}  // namespace

TFileSource::~TFileSource() {
  if (file_) std::fclose(file_);
}

bool TFileSource::Open(const std::string& path) {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  size_ = 0;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::int64_t end = -1;
  if (SeekTo(f, 0, SEEK_END)) end = Tell(f);
  if (end < 0) {
    std::fclose(f);
    return false;
  }
  file_ = f;
  size_ = static_cast<std::uint64_t>(end);
  return true;
}

bool TFileSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
  if (!file_ || offset > size_ || size > size_ - offset) return false;
  if (size == 0) return true;
  if (!SeekTo(file_, static_cast<std::int64_t>(offset), SEEK_SET)) return false;
  return std::fread(buffer, 1, size, file_) == size;
}
