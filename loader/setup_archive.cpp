#include "setup_archive.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "format_Archive.h"
#include "routines_Strings.h"

namespace {

// A read-only stream over bytes [first, first + size) of a source: position 0
// is the archive start, and nothing outside the window can be reached.
class TWindowStream : public TStream {
public:
  TWindowStream(TByteSource& source, std::uint64_t first, std::uint64_t size)
      : source_(source), first_(first), size_(static_cast<std::int64_t>(size)) {}
  long Read(void* buffer, long count) override {
    if (count <= 0 || pos_ >= size_) return 0;
    long n = static_cast<long>(std::min<std::int64_t>(count, size_ - pos_));
    if (!source_.ReadAt(first_ + static_cast<std::uint64_t>(pos_), buffer, static_cast<std::size_t>(n))) return 0;
    pos_ += n;
    return n;
  }
  long Write(const void*, long) override { return 0; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    std::int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : size_;
    pos_ = std::max<std::int64_t>(0, base + offset);
    return pos_;
  }
  std::int64_t Size() override { return size_; }

private:
  TByteSource& source_;
  std::uint64_t first_;
  std::int64_t size_;
  std::int64_t pos_ = 0;
};

}  // namespace

struct TSetupArchive::TImpl {
  TImpl(TByteSource& source, std::uint64_t first, std::uint64_t size) : stream(source, first, size) {}
  TWindowStream stream;
  TFileHeaders headers;
};

TSetupArchive::TSetupArchive() = default;
TSetupArchive::~TSetupArchive() = default;

bool TSetupArchive::Open(TByteSource& source, std::uint64_t first, std::uint64_t size, std::string& error) {
  error.clear();
  members_.clear();
  impl_.reset();
  if (first > source.Size() || size > source.Size() - first || size > INT32_MAX) {
    error = "The setup archive lies outside the file.";
    return false;
  }
  auto impl = std::make_unique<TImpl>(source, first, size);
  try {
    impl->headers.Read(impl->stream, 0);
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  // The first member whose file name (ignoring case) an earlier one has:
  // the names sorted, each run of equal ones gives its second member.
  const int count = impl->headers.Count();
  std::vector<std::pair<std::string, int>> sorted;
  sorted.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    sorted.emplace_back(UpperCase(SafeMemberFileName(impl->headers.GetFileHeaders(i).Rec.StoredName)), i);
  std::sort(sorted.begin(), sorted.end());
  int firstRepeat = count;
  for (std::size_t k = 1; k < sorted.size(); ++k)
    if (sorted[k].first == sorted[k - 1].first) firstRepeat = std::min(firstRepeat, sorted[k].second);
  std::vector<TSetupMember> members;
  const std::int64_t windowSize = static_cast<std::int64_t>(size);
  for (int i = 0; i < count; ++i) {
    const TFileHeaderRec& h = impl->headers.GetFileHeaders(i).Rec;
    TSetupMember m;
    m.StoredName = h.StoredName;
    m.FileName = SafeMemberFileName(h.StoredName);
    m.Size = h.Size;
    m.FileDate = h.FileDate;
    if (m.FileName.empty()) {
      error = "The setup archive holds a file with an unusable name (\"" + h.StoredName + "\").";
      return false;
    }
    if (h.FirstDisk != 0 || h.LastDisk != 0 || h.Size < 0 || h.DataStart < ArchivePrefixSize ||
        h.DataEnd < h.DataStart || h.DataEnd >= windowSize) {
      error = "The setup archive's entry for " + m.FileName + " is damaged.";
      return false;
    }
    if (i == firstRepeat) {
      error = "The setup archive holds two files named " + m.FileName + ".";
      return false;
    }
    members.push_back(std::move(m));
  }
  impl_ = std::move(impl);
  members_ = std::move(members);
  return true;
}

bool TSetupArchive::Extract(std::size_t index, const TMemberWriter& write, std::string& error) {
  error.clear();
  if (!impl_ || index >= members_.size()) {
    error = "No such file in the setup archive.";
    return false;
  }
  const TFileHeaderRec& h = impl_->headers.GetFileHeaders(static_cast<int>(index)).Rec;
  const TSetupMember& m = members_[index];
  struct TWriteRefused {};
  try {
    TInflateRequest r;
    r.Source = &impl_->stream;
    r.StartPosition = h.DataStart;
    r.Disk = 0;
    r.LastDisk = 0;
    r.EndPosition = h.DataEnd;
    r.MaxOutput = h.Size;
    r.MemberName = m.FileName;
    r.OnBlock = [&write](const std::uint8_t* data, long count) {
      if (!write(data, static_cast<std::size_t>(count))) throw TWriteRefused();
    };
    std::int64_t produced = InflateMember(r);
    if (produced != h.Size) {
      error = "The compressed data of the file " + m.FileName + " is incomplete.";
      return false;
    }
  } catch (const TWriteRefused&) {
    return false;
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  return true;
}
