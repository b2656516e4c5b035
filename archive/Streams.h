// Byte streams: the abstract stream, a memory stream and their errors.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "SysUtils.h"

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
  virtual ~TStream() = default;
  // Short reads and writes are not errors here; the *Buffer forms raise.
  virtual long Read(void* buffer, long count) = 0;
  virtual long Write(const void* buffer, long count) = 0;
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual std::int64_t Size();

  std::int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(std::int64_t p) { Seek(p, soBeginning); }
  void ReadBuffer(void* buffer, long count);   // EReadError "Stream read error"
  void WriteBuffer(const void* buffer, long count);  // EWriteError "Stream write error"
  // Copies count bytes from source (the whole source from its start when
  // count is 0) in 64 KiB pieces; returns the bytes copied.
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// A growable stream in memory.
class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> data) : data_(std::move(data)) {}
  long Read(void* buffer, long count) override;
  long Write(const void* buffer, long count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }
  const std::vector<std::uint8_t>& Data() const { return data_; }
  std::vector<std::uint8_t>& Data() { return data_; }
  // Refuses writes that would grow the stream beyond limit bytes.
  void SetCapacityLimit(std::int64_t limit) { limit_ = limit; }

private:
  std::vector<std::uint8_t> data_;
  std::int64_t pos_ = 0;
  std::int64_t limit_ = INT64_MAX;
};
