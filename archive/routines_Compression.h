// The zlib binding and the write-only compressing stream.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <new>
#include <vector>

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

// One piece of a member's deflate stream: raw deflate of in, with dict (at
// most the 32 KiB before it) as its dictionary, ended with a sync flush, or
// with the final block when last. Deterministic: the same bytes on every
// thread.
void DeflatePiece(int level, const std::uint8_t* in, std::size_t inSize, const std::uint8_t* dict,
                  std::size_t dictSize, bool last, std::vector<std::uint8_t>& out);
// The two bytes that open a zlib stream of the given zlib level.
void ZlibHeader(int level, std::uint8_t header[2]);

class TJob;
// Compresses one member into target as one zlib stream cut into pieces of
// PieceSize input bytes (DeflatePiece, each with the 32 KiB before it as
// dictionary), compressed on the archive's pool and written in order. The
// bytes do not depend on the thread count, and a member of one piece is the
// stream zlib's deflate makes of it.
class TMemberDeflater {
public:
  static constexpr std::size_t PieceSize = 256 * 1024;
  TMemberDeflater(TCompressionLevel level, TStream& target);
  ~TMemberDeflater();  // waits for the pieces under way
  TMemberDeflater(const TMemberDeflater&) = delete;
  TMemberDeflater& operator=(const TMemberDeflater&) = delete;
  void Write(const void* data, std::size_t count);
  // The last piece, then the checksum.
  void Finish();
  // Input bytes handed to compression; their compressed bytes follow, at
  // most two pieces a thread behind.
  std::int64_t Consumed() const { return consumed_; }
  // After each piece but the last is handed over (and the pieces then
  // done are written).
  std::function<void()> OnProgress;

private:
  void Submit(bool last);
  void WriteFront();
  int level_;
  TStream& target_;
  std::vector<std::uint8_t> piece_, tail_;
  std::deque<std::shared_ptr<TJob>> pending_;
  std::size_t inFlight_;
  std::uint32_t adler_ = 1;
  std::int64_t consumed_ = 0;
  bool headerWritten_ = false, finished_ = false;
};
