// The zlib binding and the write-only compressing stream.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>

#include <zlib.h>

#include "Streams.h"

enum TCompressionLevel { colNone, colFastest, colDefault, colMax };
int ZlibLevel(TCompressionLevel level);

// The binding proper is inline, so that a program that only inflates links
// none of the compressing stream below, nor the deflate side of zlib.

// The version every stream initialiser announces.
inline constexpr const char* TwZlibVersion = "1.0.4";

// zlib's memory hooks, bound to the program's allocator.
inline void* zlibAllocMem(void*, unsigned items, unsigned size) {
  return ::operator new(static_cast<std::size_t>(items) * size, std::nothrow);
}
inline void zlibFreeMem(void*, void* block) { ::operator delete(block); }

// Result checks: a negative zlib result raises Exception "error"; other
// results (end of stream included) are returned.
inline int CCheck(int code) {  // deflate side
  if (code < 0) throw Exception("error");
  return code;
}
inline int DCheck(int code) {  // inflate side
  if (code < 0) throw Exception("error");
  return code;
}

using TCompressNotifyEvent = std::function<void(void* sender)>;

class TCustomZlibStream : public TStream {
public:
  static constexpr int BufferSize = 65536;
  TCompressNotifyEvent OnProgress;

protected:
  explicit TCustomZlibStream(TStream& target);
  virtual void Progress();

  TStream& target_;
  std::int64_t targetPos_;
  z_stream zrec_{};
  std::uint8_t buffer_[BufferSize];
};

class TCompressionStream : public TCustomZlibStream {
public:
  TCompressionStream(TCompressionLevel level, TStream& target);
  // Finishes the stream and writes the rest; call before destruction to see
  // write errors (the destructor finishes too but swallows them).
  void Finish();
  ~TCompressionStream() override;

  long Read(void* buffer, long count) override;   // "Invalid stream operation"
  long Write(const void* buffer, long count) override;
  // Only Seek(0, soCurrent): the number of input bytes consumed.
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  // Compressed bytes produced so far (flushed or pending in the buffer).
  std::int64_t CompressedSoFar() const { return static_cast<std::int64_t>(zrec_.total_out); }

private:
  void Reposition();
  void FlushBuffer(long count);
  bool finished_ = false;
  bool ended_ = false;
};
