#include "routines_Compression.h"

#include <algorithm>

#include "ScopeExit.h"
#include "routines_Workers.h"

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

// ---- members in pieces ------------------------------------------------------

namespace {
// A raw deflate state kept by each thread between pieces.
struct TPieceState {
  z_stream z{};
  int level = -2;
  ~TPieceState() {
    if (level != -2) deflateEnd(&z);
  }
};
}  // namespace

void DeflatePiece(int level, const std::uint8_t* in, std::size_t inSize, const std::uint8_t* dict,
                  std::size_t dictSize, bool last, std::vector<std::uint8_t>& out) {
  thread_local TPieceState st;
  if (st.level != level) {
    if (st.level != -2) deflateEnd(&st.z);
    st.level = -2;
    st.z = z_stream{};
    st.z.zalloc = zlibAllocMem;
    st.z.zfree = zlibFreeMem;
    CCheck(deflateInit2_(&st.z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY, TwZlibVersion,
                         static_cast<int>(sizeof(z_stream))));
    st.level = level;
  } else {
    CCheck(deflateReset(&st.z));
  }
  if (dictSize > 0) CCheck(deflateSetDictionary(&st.z, dict, static_cast<uInt>(dictSize)));
  // Room for the worst case and the flush's closing blocks.
  out.resize(deflateBound(&st.z, static_cast<uLong>(inSize)) + 16);
  st.z.next_in = const_cast<Bytef*>(in);
  st.z.avail_in = static_cast<uInt>(inSize);
  st.z.next_out = out.data();
  st.z.avail_out = static_cast<uInt>(out.size());
  const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
  int rc;
  while ((rc = CCheck(deflate(&st.z, flush))) != Z_STREAM_END && (st.z.avail_in > 0 || st.z.avail_out == 0)) {
    const std::size_t used = out.size() - st.z.avail_out;
    out.resize(out.size() * 2);
    st.z.next_out = out.data() + used;
    st.z.avail_out = static_cast<uInt>(out.size() - used);
  }
  if (last && rc != Z_STREAM_END) throw Exception("error");
  out.resize(out.size() - st.z.avail_out);
}

void ZlibHeader(int level, std::uint8_t header[2]) {
  // As zlib's deflate writes it: a 32 KiB window, no dictionary, the level's
  // class in the flags.
  if (level == Z_DEFAULT_COMPRESSION) level = 6;
  const unsigned flags = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  unsigned h = (Z_DEFLATED + ((15 - 8) << 4)) << 8 | flags << 6;
  h += 31 - h % 31;
  header[0] = static_cast<std::uint8_t>(h >> 8);
  header[1] = static_cast<std::uint8_t>(h);
}

namespace {
constexpr std::size_t kDictionary = 32768;

class TPieceJob : public TJob {
public:
  TPieceJob(int level, std::vector<std::uint8_t> in, std::vector<std::uint8_t> dict, bool last)
      : level_(level), in_(std::move(in)), dict_(std::move(dict)), last_(last) {}
  void Run() override {
    adler = static_cast<std::uint32_t>(adler32(1, in_.data(), static_cast<uInt>(in_.size())));
    size = in_.size();
    DeflatePiece(level_, in_.data(), in_.size(), dict_.data(), dict_.size(), last_, out);
    in_ = {};
    dict_ = {};
  }
  std::vector<std::uint8_t> out;
  std::uint32_t adler = 1;
  std::size_t size = 0;

private:
  int level_;
  std::vector<std::uint8_t> in_, dict_;
  bool last_;
};
}  // namespace

TMemberDeflater::TMemberDeflater(TCompressionLevel level, TStream& target)
    : level_(ZlibLevel(level)), target_(target) {
  // Enough pieces under way to keep every thread busy while the first is
  // written; no more, so that memory does not grow with the member.
  inFlight_ = static_cast<std::size_t>(ArchivePool().Threads()) * 2;
  piece_.reserve(PieceSize);
}

TMemberDeflater::~TMemberDeflater() {
  for (auto& job : pending_) {
    try {
      job->Wait();
    } catch (...) {
    }
  }
}

void TMemberDeflater::Write(const void* data, std::size_t count) {
  if (finished_) throw EStreamError("Invalid stream operation");
  auto* p = static_cast<const std::uint8_t*>(data);
  while (count > 0) {
    // A full piece goes once more input shows that it is not the last.
    if (piece_.size() == PieceSize) Submit(false);
    const std::size_t n = std::min(count, PieceSize - piece_.size());
    piece_.insert(piece_.end(), p, p + n);
    p += n;
    count -= n;
  }
}

void TMemberDeflater::Submit(bool last) {
  std::vector<std::uint8_t> next;
  next.reserve(PieceSize);
  std::vector<std::uint8_t> tail(piece_.end() - static_cast<std::ptrdiff_t>(std::min(piece_.size(), kDictionary)),
                                 piece_.end());
  const std::size_t size = piece_.size();
  auto job = std::make_shared<TPieceJob>(level_, std::move(piece_), std::move(tail_), last);
  piece_ = std::move(next);
  tail_ = std::move(tail);
  pending_.push_back(job);
  ArchivePool().Submit(job);
  consumed_ += static_cast<std::int64_t>(size);
  while (pending_.size() > inFlight_) WriteFront();
  if (!last && OnProgress) OnProgress();
}

void TMemberDeflater::WriteFront() {
  std::shared_ptr<TJob> front = pending_.front();
  front->Wait();
  pending_.pop_front();
  auto& piece = static_cast<TPieceJob&>(*front);
  if (!headerWritten_) {
    std::uint8_t header[2];
    ZlibHeader(level_, header);
    target_.WriteBuffer(header, 2);
    headerWritten_ = true;
  }
  if (!piece.out.empty()) target_.WriteBuffer(piece.out.data(), static_cast<long>(piece.out.size()));
  adler_ = static_cast<std::uint32_t>(adler32_combine(adler_, piece.adler, static_cast<z_off_t>(piece.size)));

}

void TMemberDeflater::Finish() {
  if (finished_) return;
  finished_ = true;
  Submit(true);
  while (!pending_.empty()) WriteFront();
  const std::uint8_t trailer[4] = {static_cast<std::uint8_t>(adler_ >> 24), static_cast<std::uint8_t>(adler_ >> 16),
                                   static_cast<std::uint8_t>(adler_ >> 8), static_cast<std::uint8_t>(adler_)};
  target_.WriteBuffer(trailer, 4);
}
