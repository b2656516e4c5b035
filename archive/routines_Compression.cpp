#include "routines_Compression.h"

#include "ScopeExit.h"

int ZlibLevel(TCompressionLevel level) {
  switch (level) {
    case colNone: return 0;
    case colFastest: return 1;
    case colDefault: return -1;
    case colMax: return 9;
  }
  return 9;
}

TCustomZlibStream::TCustomZlibStream(TStream& target) : target_(target) {
  targetPos_ = target.Position();
  zrec_.zalloc = zlibAllocMem;
  zrec_.zfree = zlibFreeMem;
  zrec_.opaque = nullptr;
}

void TCustomZlibStream::Progress() {
  if (OnProgress) OnProgress(this);
}

TCompressionStream::TCompressionStream(TCompressionLevel level, TStream& target)
    : TCustomZlibStream(target) {
  zrec_.next_out = buffer_;
  zrec_.avail_out = BufferSize;
  CCheck(deflateInit2_(&zrec_, ZlibLevel(level), Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY,
                       TwZlibVersion, static_cast<int>(sizeof(z_stream))));
}

void TCompressionStream::Reposition() {
  if (target_.Position() != targetPos_) target_.SetPosition(targetPos_);
}

void TCompressionStream::FlushBuffer(long count) {
  target_.WriteBuffer(buffer_, count);
  zrec_.next_out = buffer_;
  zrec_.avail_out = BufferSize;
  targetPos_ = target_.Position();
}

long TCompressionStream::Write(const void* buffer, long count) {
  if (finished_) throw EStreamError("Invalid stream operation");
  zrec_.next_in = static_cast<Bytef*>(const_cast<void*>(buffer));
  zrec_.avail_in = static_cast<uInt>(count);
  Reposition();
  while (zrec_.avail_in > 0) {
    CCheck(deflate(&zrec_, Z_NO_FLUSH));
    if (zrec_.avail_out == 0) {
      FlushBuffer(BufferSize);
      Progress();
    }
  }
  return count;
}

void TCompressionStream::Finish() {
  if (finished_) return;
  finished_ = true;
  TScopeExit end([this] {
    deflateEnd(&zrec_);
    ended_ = true;
  });
  zrec_.next_in = nullptr;
  zrec_.avail_in = 0;
  Reposition();
  while (CCheck(deflate(&zrec_, Z_FINISH)) != Z_STREAM_END && zrec_.avail_out == 0)
    FlushBuffer(BufferSize);
  if (zrec_.avail_out < static_cast<uInt>(BufferSize))
    FlushBuffer(BufferSize - static_cast<long>(zrec_.avail_out));
}

TCompressionStream::~TCompressionStream() {
  try {
    Finish();
  } catch (...) {
  }
  if (!ended_) deflateEnd(&zrec_);
}

long TCompressionStream::Read(void*, long) { throw EStreamError("Invalid stream operation"); }

std::int64_t TCompressionStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  if (offset == 0 && origin == soCurrent) return static_cast<std::int64_t>(zrec_.total_in);
  throw EStreamError("Invalid stream operation");
}
