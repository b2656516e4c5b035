#include "Streams.h"

#include <algorithm>
#include <cstring>

std::int64_t TStream::Size() {
  std::int64_t p = Position();
  std::int64_t s = Seek(0, soEnd);
  Seek(p, soBeginning);
  return s;
}

void TStream::ReadBuffer(void* buffer, long count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, long count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<char> buf(static_cast<size_t>(std::min<std::int64_t>(count, 65536)) + 1);
  std::int64_t done = 0;
  while (done < count) {
    long n = static_cast<long>(std::min<std::int64_t>(count - done, 65536));
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    done += n;
  }
  return done;
}

long TMemoryStream::Read(void* buffer, long count) {
  if (count <= 0 || pos_ >= Size()) return 0;
  long n = static_cast<long>(std::min<std::int64_t>(count, Size() - pos_));
  std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

long TMemoryStream::Write(const void* buffer, long count) {
  if (count <= 0) return 0;
  std::int64_t end = pos_ + count;
  if (end > limit_) {
    if (pos_ >= limit_) return 0;
    count = static_cast<long>(limit_ - pos_);
    end = limit_;
  }
  if (end > Size()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
  pos_ = end;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : Size();
  std::int64_t p = base + offset;
  if (p < 0) throw EStreamError("Stream seek error");
  pos_ = p;
  return pos_;
}
