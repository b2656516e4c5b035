// Random read access to the bytes of a file or a buffer, for the loading
// program's self-check and its setup-archive reader. Portable: the C++
// library only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class TByteSource {
public:
  virtual ~TByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads exactly size bytes at offset; false when they are not all there.
  virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) = 0;
};

class TMemorySource : public TByteSource {
public:
  TMemorySource(const void* data, std::size_t size)
      : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override;

private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// A file opened for reading with sharing allowed (a running program can
// read its own executable).
class TFileSource : public TByteSource {
public:
  TFileSource() = default;
  ~TFileSource() override;
  TFileSource(const TFileSource&) = delete;
  TFileSource& operator=(const TFileSource&) = delete;
  bool Open(const std::string& path);
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override;

private:
  std::FILE* file_ = nullptr;
  std::uint64_t size_ = 0;
};
