#include "cmp_TTrnwCompress.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <climits>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "ByteOrder.h"
#include "Controls.h"
#include "ScopeExit.h"
#include "routines_Cancel.h"
#include "routines_Journal.h"
#include "cmp_TVersion.h"
#include "routines_Strings.h"
#include "routines_Workers.h"
#include "stream_WinFile.h"

bool BuildCancelled = false;

namespace {
const char* const kAborted = "Operation aborted by user";
const char* const kHeadersCorrupt =
    "Could not read the file headers for the compressed file. The Archive file could possible be "
    "corrupt";
const char* const kCompareError = "Error comparing file versions in TTrnwCompress";

std::int32_t Clamp32(std::int64_t v) {
  return static_cast<std::int32_t>(std::max<std::int64_t>(INT32_MIN, std::min<std::int64_t>(INT32_MAX, v)));
}

// The file-name part of a stored name or extract name, for extraction:
// never a path, a drive, a parent reference or a device; empty when nothing
// safe remains.
std::string SafeFileName(const std::string& name) { return SafeMemberFileName(name); }

// Damaged-data failure of one member.
ETrnwCompress MemberDamaged(const std::string& storedName) {
  return ETrnwCompress("The compressed data of the file %s is damaged. The Archive file could possible be corrupt",
                       {storedName});
}

// Positions inside the file and a date the system can represent.
bool MemberHeaderSound(const TFileHeaderRec& h, std::int32_t offset) {
  return h.DataStart >= 0 && static_cast<std::int64_t>(offset) + h.DataStart >= 0 && h.DataEnd >= 0 && h.Size >= 0 &&
         IsRepresentableFileDate(h.FileDate);
}

const char* const kShortRead = "The file %s could not be read completely";

void RemoveFile(const std::string& name) {
  SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(name.c_str());
}
}  // namespace

std::uint8_t PercentOf(std::int64_t a, std::int64_t b) {
  if (b == 0) return 0;
  // Exact in whole numbers for every size a file can have.
  if (a >= 0 && b > 0 && a <= INT64_MAX / 100) {
    const std::int64_t n = a * 100;
    std::int64_t q = n / b;
    const std::int64_t r = n % b;
    if (r > b - r || (r == b - r && (q & 1))) ++q;
    return static_cast<std::uint8_t>(std::min<std::int64_t>(q, 255));
  }
  double v = std::nearbyint(static_cast<double>(a) * 100.0 / static_cast<double>(b));
  if (!(v >= 0)) return 0;
  return static_cast<std::uint8_t>(std::min(v, 255.0));
}

void ProcessPendingMessages() {
  // Checked after every block; the queue itself is looked at no more often
  // than a screen refresh, which keeps the interface live at little cost.
  static DWORD last = 0;
  DWORD now = GetTickCount();
  if (now - last < 15) return;
  last = now;
  ProcessMessages();
}

// ---- work ahead on the worker threads -----------------------------------------

namespace {
// A small source read and compressed whole as one member, as Add would.
class TFileDeflateJob : public TJob {
public:
  TFileDeflateJob(std::string path, int level) : path(std::move(path)), level(level) {}
  void Run() override {
    auto f = TWinFileStream::Open(path, TWinFileStream::fmOpenRead);
    if (!f) return;
    size = f->Size();
    if (size > static_cast<std::int64_t>(TMemberDeflater::PieceSize)) return;
    twfile::GetFileDate(f->Handle(), date);
    std::vector<std::uint8_t> in(static_cast<std::size_t>(size));
    if (size > 0 && f->Read(in.data(), static_cast<long>(size)) != size) return;
    std::vector<std::uint8_t> body;
    DeflatePiece(level, in.data(), in.size(), nullptr, 0, true, body);
    const auto adler = static_cast<std::uint32_t>(adler32(1, in.data(), static_cast<uInt>(in.size())));
    member.resize(2);
    ZlibHeader(level, member.data());
    member.insert(member.end(), body.begin(), body.end());
    for (int shift = 24; shift >= 0; shift -= 8) member.push_back(static_cast<std::uint8_t>(adler >> shift));
    ok = true;
  }
  const std::string path;
  const int level;
  bool ok = false;
  std::int64_t size = -1;
  TDateTime date = 0;
  std::vector<std::uint8_t> member;
};
}  // namespace

struct TTrnwCompress::TAhead {
  std::vector<std::string> sources;
  std::size_t next = 0;  // the first source not yet handed to the workers
  std::deque<std::shared_ptr<TFileDeflateJob>> queued;
};

// One thread inflates the members of a single-file archive, in archive order
// from a given one, into memory; the extraction takes their blocks in order
// and writes them. It never touches the target files.
class TTrnwCompress::TInflateAhead {
public:
  struct TSpan {
    std::int64_t start, end, maxOutput;
    std::string name;
    bool sound;
  };
  TInflateAhead(std::string archive, std::int32_t offset, int first, std::vector<TSpan> spans)
      : archive_(std::move(archive)), offset_(offset), first_(first), spans_(std::move(spans)) {
    thread_ = std::thread([this] { Loop(); });
  }
  ~TInflateAhead() {
    {
      std::lock_guard<std::mutex> lock(m_);
      stop_ = true;
    }
    notFull_.notify_all();
    notEmpty_.notify_all();
    thread_.join();
  }
  const std::string& Archive() const { return archive_; }
  std::int32_t Offset() const { return offset_; }
  // Whether member index is still to come.
  bool Ahead(int index) const { return index >= expected_ && index < first_ + static_cast<int>(spans_.size()); }
  // Gives member index to write in pieces of up to 64 KiB, and to written
  // in the blocks of 4 KiB the inflate loop gives, each after checkCancel;
  // raises what inflating it raised. Members before it are dropped.
  void Take(int index, const std::function<void(const std::uint8_t*, long)>& write,
            const std::function<void(long)>& written, const std::function<void()>& checkCancel) {
    std::exception_ptr error;
    try {
      for (;;) {
        TChunk c = Pop();
        if (c.member < index) continue;
        for (std::size_t at = 0; at < c.data.size(); at += kBlock) {
          const long n = static_cast<long>(std::min(kBlock, c.data.size() - at));
          checkCancel();
          if (at == 0) write(c.data.data(), static_cast<long>(c.data.size()));
          written(n);
        }
        if (!c.end) continue;
        error = c.error;
        break;
      }
    } catch (...) {
      // The rest of this member is still queued: nothing more is taken.
      expected_ = INT_MAX;
      throw;
    }
    expected_ = index + 1;
    if (error) std::rethrow_exception(error);
  }

private:
  // Each side sleeps only when it cannot go on, and is woken only once the
  // other has made room or work for many chunks: a wake-up costs the system
  // a round trip, which would otherwise come with every chunk.
  static constexpr std::size_t kBlock = 4096, kChunk = 65536, kQueued = 8u << 20, kRoom = kQueued / 2,
                               kWork = 1u << 20, kWorkChunks = 16;
  struct TChunk {
    int member = 0;
    std::vector<std::uint8_t> data;
    bool end = false;
    std::exception_ptr error;
  };
  struct TStopped {};
  TChunk Pop() {
    std::unique_lock<std::mutex> lock(m_);
    if (queue_.empty() && !ended_) {
      consumerWaits_ = true;
      notEmpty_.wait(lock, [this] { return !queue_.empty() || ended_; });
      consumerWaits_ = false;
    }
    // The thread ends early only at a cancel.
    if (queue_.empty()) throw EtcAborted(kAborted);
    TChunk c = std::move(queue_.front());
    queue_.pop_front();
    queued_ -= c.data.size();
    const bool wake = producerWaits_ && queued_ <= kRoom;
    lock.unlock();
    if (wake) notFull_.notify_one();
    return c;
  }
  void Push(TChunk c) {
    std::unique_lock<std::mutex> lock(m_);
    if (!stop_ && !InstallCancel().Requested() && queued_ >= kQueued) {
      producerWaits_ = true;
      notFull_.wait(lock, [this] { return stop_ || InstallCancel().Requested() || queued_ <= kRoom; });
      producerWaits_ = false;
    }
    if (stop_ || InstallCancel().Requested()) throw TStopped();
    queued_ += c.data.size();
    queue_.push_back(std::move(c));
    const bool wake = consumerWaits_ && (queued_ >= kWork || queue_.size() >= kWorkChunks);
    lock.unlock();
    if (wake) notEmpty_.notify_one();
  }
  void Loop() {
    try {
      auto file = TWinFileStream::Open(archive_, TWinFileStream::fmOpenRead);
      TInflater inflater;
      for (std::size_t i = 0; i < spans_.size(); ++i) {
        const TSpan& s = spans_[i];
        const int member = first_ + static_cast<int>(i);
        TChunk c;
        c.member = member;
        try {
          if (!file || !s.sound) throw MemberDamaged(s.name);
          TInflateRequest r;
          r.Source = file.get();
          r.StartPosition = s.start;
          r.EndPosition = s.end;
          r.MaxOutput = s.maxOutput;
          r.MemberName = s.name;
          r.Inflater = &inflater;
          r.OnBlock = [&](const std::uint8_t* p, long n) {
            if (c.data.size() + static_cast<std::size_t>(n) > kChunk) {
              TChunk full;
              full.member = member;
              full.data.swap(c.data);
              Push(std::move(full));
            }
            if (c.data.capacity() < kChunk) c.data.reserve(kChunk);
            c.data.insert(c.data.end(), p, p + n);
          };
          InflateMember(r);
        } catch (const TStopped&) {
          throw;
        } catch (...) {
          c.error = std::current_exception();
        }
        c.end = true;
        Push(std::move(c));
      }
    } catch (const TStopped&) {
    }
    {
      std::lock_guard<std::mutex> lock(m_);
      ended_ = true;
    }
    notEmpty_.notify_all();
  }

  const std::string archive_;
  const std::int32_t offset_;
  const int first_;
  const std::vector<TSpan> spans_;
  int expected_ = first_;  // the consumer's side only
  std::mutex m_;
  std::condition_variable notFull_, notEmpty_;
  std::deque<TChunk> queue_;
  std::size_t queued_ = 0;
  bool stop_ = false, ended_ = false, producerWaits_ = false, consumerWaits_ = false;
  std::thread thread_;
};

void TTrnwCompress::StopInflateAhead() { inflateAhead_.reset(); }

bool TTrnwCompress::InflatesAhead(int index) {
  // Only a single-file archive read through a whole pass, with a thread to
  // spare.
  if (ArchiveThreads() < 2 || !keepArchiveOpen_ || headers_.TableFlag) {
    StopInflateAhead();
    return false;
  }
  if (inflateAhead_ && (!SameText(inflateAhead_->Archive(), compressedFile_) || inflateAhead_->Offset() != Offset ||
                        !inflateAhead_->Ahead(index)))
    StopInflateAhead();
  if (!inflateAhead_) {
    std::vector<TInflateAhead::TSpan> spans;
    for (int i = index; i < headers_.Count(); ++i) {
      const TFileHeaderRec& h = headers_.GetFileHeaders(i).Rec;
      spans.push_back({static_cast<std::int64_t>(Offset) + h.DataStart,
                       static_cast<std::int64_t>(h.LastDisk > 0 ? 0 : Offset) + h.DataEnd,
                       std::max<std::int32_t>(h.Size, 0), h.StoredName, MemberHeaderSound(h, Offset)});
    }
    inflateAhead_ = std::make_unique<TInflateAhead>(compressedFile_, Offset, index, std::move(spans));
  }
  return true;
}

void TTrnwCompress::CompressAhead(const std::vector<std::string>& sources) {
  ahead_.reset();
  if (sources.empty() || ArchiveThreads() < 2) return;
  ahead_ = std::make_unique<TAhead>();
  for (const std::string& s : sources) ahead_->sources.push_back(EntryFileName(s));
  RefillAhead();
}

void TTrnwCompress::RefillAhead() {
  // A few jobs for each thread, so that none waits for the next file.
  const std::size_t window = static_cast<std::size_t>(ArchiveThreads()) * 8;
  const int level = ZlibLevel(CompressionLevel);
  while (ahead_->queued.size() < window && ahead_->next < ahead_->sources.size()) {
    auto job = std::make_shared<TFileDeflateJob>(ahead_->sources[ahead_->next++], level);
    ahead_->queued.push_back(job);
    ArchivePool().Submit(job);
  }
}

bool TTrnwCompress::TakeAhead(const std::string& source, const TFileHeaderRec& h, TStream& dest) {
  if (!ahead_) return false;
  auto& q = ahead_->queued;
  auto it = std::find_if(q.begin(), q.end(), [&](const auto& j) { return SameText(j->path, source); });
  if (it == q.end()) return false;
  std::shared_ptr<TFileDeflateJob> job = *it;
  q.erase(q.begin(), it + 1);  // the sources before it were not added
  RefillAhead();
  try {
    job->Wait();
  } catch (const std::exception&) {
    return false;
  }
  // Only bytes of the file as its header describes it.
  if (!job->ok || job->size != h.Size || job->date != h.FileDate || job->level != ZlibLevel(CompressionLevel))
    return false;
  dest.WriteBuffer(job->member.data(), static_cast<long>(job->member.size()));
  return true;
}

TTrnwCompress::TTrnwCompress(TComponent* owner) : TComponent(owner) { index_.Clear(); }

TTrnwCompress::~TTrnwCompress() {
  BeginDestroy();
  inflateAhead_.reset();
  ahead_.reset();
}

void TTrnwCompress::SetCompressedFile(const std::string& name) {
  if (SameText(name, compressedFile_)) return;
  if (headersLoaded_ && !SameText(ChangeFileExt(name, ".1"), ChangeFileExt(compressedFile_, ".1")))
    headersLoaded_ = false;
  CloseAppendedArchive();
  compressedFile_ = name;
  source_.reset();
  StopInflateAhead();
}

void TTrnwCompress::SetFilesToProcess(const std::vector<std::string>& entries) {
  filesToProcess_.clear();
  for (auto& e : entries) AddFileToProcess(e);
}

void TTrnwCompress::AddFileToProcess(const std::string& entry) {
  if (!Trim(entry).empty()) filesToProcess_.push_back(entry);
}

void TTrnwCompress::ReadHeaders() {
  source_.reset();
  StopInflateAhead();
  ForgetAppendHeaders();  // headers_ is replaced
  auto f = twfile::FileExists(compressedFile_)
               ? TWinFileStream::Open(compressedFile_, TWinFileStream::fmOpenRead)
               : nullptr;
  if (!f) throw ETrnwCompress("Cannot open the compressed file %s", {compressedFile_});
  index_.Clear();
  readTotalSize_ = readTotalCompressed_ = -1;
  try {
    headers_.Read(*f, Offset);
    index_.Build(headers_);
    readTotalSize_ = headers_.TotalSize();
    readTotalCompressed_ = headers_.TotalCompressed();
  } catch (const Exception&) {
    headers_.Clear();
    headersLoaded_ = false;
    throw ETrnwCompress(kHeadersCorrupt);
  }
  headersLoaded_ = true;
}

void TTrnwCompress::EnsureHeaders() {
  if (!headersLoaded_ && operation_ != opAdding) ReadHeaders();
}

int TTrnwCompress::Count() {
  EnsureHeaders();
  return headers_.Count();
}

void TTrnwCompress::ComputeTotals() {
  stats_ = TlzhFileStats();
  // Summed once per list read: an archive's files extract one at a time.
  stats_.TotalSize = readTotalSize_ >= 0 ? readTotalSize_ : headers_.TotalSize();
  stats_.TotalCompressed = readTotalCompressed_ >= 0 ? readTotalCompressed_ : headers_.TotalCompressed();
  stats_.TotalRatio = PercentOf(stats_.TotalCompressed, stats_.TotalSize);
}

void TTrnwCompress::FillStats(const TFileHeaderRec& h) {
  stats_.Header = h;
  stats_.FileName = h.StoredName;
  stats_.Size = h.Size;
  stats_.CompressedSize = h.CompressedSize;
  stats_.FileRatio = PercentOf(h.CompressedSize, h.Size);
  stats_.FileDone = 0;
  stats_.FilePercent = 0;
  stats_.Finished = false;
}

TlzhFileStats TTrnwCompress::GetFileStats(int index) {
  int n = Count();
  if (index < 0 || index >= n)
    throw ETrnwCompress("Tried to access the %dth file. This file is not defined", {index});
  ComputeTotals();
  FillStats(headers_.GetFileHeaders(index).Rec);
  return stats_;
}

int TTrnwCompress::IndexOfID(std::int32_t id) {
  EnsureHeaders();
  return index_.Get(id);
}

void TTrnwCompress::Status() {
  if (OnStatus) OnStatus(this, stats_);
}

bool TTrnwCompress::Stopped() const { return Abort || InstallCancel().Requested(); }

void TTrnwCompress::DiskFull() {
  if (OnFullDisk) OnFullDisk(this);
  else throw EtcDiskFull("The disk is full");
}

// ---- adding ---------------------------------------------------------------

void TTrnwCompress::AddStatus(TStream* dest, std::int64_t dataStart, std::int64_t consumed) {
  if (Stopped()) throw EtcAborted(kAborted);
  ProcessPendingMessages();
  if (!dest) throw ETrnwCompress("AddStatus has Nil DestFile");
  std::int64_t done = consumed;
  stats_.TotalDone += done - stats_.FileDone;
  stats_.FileDone = Clamp32(done);
  stats_.CompressedSize = Clamp32(dest->Position() - dataStart);
  stats_.FilePercent = PercentOf(stats_.FileDone, stats_.Size);
  stats_.TotalPercent = PercentOf(stats_.TotalDone, stats_.TotalSize);
  Status();
}

void TTrnwCompress::Add(bool append, std::int32_t identifier) {
  try {
    AddAll(append, identifier);
  } catch (const EtcAborted&) {
    if (OnAborted) OnAborted(this);
  } catch (const EAbort&) {
  } catch (...) {
    Abort = true;
    throw;
  }
}

namespace {
std::string FullPathOf(const std::string& path) {
  char buf[MAX_PATH * 2];
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof(buf), buf, nullptr);
  return n > 0 && n < sizeof(buf) ? std::string(buf, n) : path;
}
}  // namespace

std::string TTrnwCompress::ReadPathOf(const std::string& name) const {
  if (ReadInsteadOf.empty()) return name;
  const std::string full = FullPathOf(name);
  for (const auto& [source, read] : ReadInsteadOf)
    if (lstrcmpiA(FullPathOf(source).c_str(), full.c_str()) == 0) return read;
  return name;
}

void TTrnwCompress::AddAll(bool append, std::int32_t identifier) {
  Abort = false;
  operation_ = opAdding;
  readTotalSize_ = readTotalCompressed_ = -1;
  headers_.TableFlag = false;
  Offset = 0;
  TScopeExit end([this] {
    operation_ = opNone;
    headersLoaded_ = false;
    filesToProcess_.clear();
  });

  std::unique_ptr<TWinFileStream> dest;
  bool existing = false, reuse = false;
  if (append && appendDest_ && SameText(appendFile_, compressedFile_) && Offset == 0) {
    // Kept open since the last append, which nobody else could change.
    dest = std::move(appendDest_);
    existing = reuse = true;
  } else {
    CloseAppendedArchive();
    twfile::ForceDirectories(ExtractFileDir(compressedFile_));
    existing = append && twfile::FileExists(compressedFile_);
    dest = TWinFileStream::Open(compressedFile_, existing ? TWinFileStream::fmOpenReadWrite
                                                          : TWinFileStream::fmCreate);
    if (!dest) throw ETrnwCompress("Cannot create the file %s", {compressedFile_});
    reuse = existing && AppendHeadersCurrent();
  }
  std::int64_t oldEnd = 0;
  int oldCount = 0;
  appendFile_.clear();
  if (reuse) {  // headers_ is the list the last append left
    headers_.TableFlag = false;
    oldEnd = dest->Size();
    oldCount = headers_.Count();
  } else if (existing) {
    try {
      headers_.Read(*dest, 0);
    } catch (const Exception&) {
      headers_.Clear();
      throw ETrnwCompress(kHeadersCorrupt);
    }
    headers_.TableFlag = false;
    oldEnd = dest->Size();
    oldCount = headers_.Count();
  } else {
    headers_.Clear();
  }
  index_.Build(headers_);

  // A failed add leaves the archive as it was.
  TScopeExit undo([&dest, existing, oldEnd, oldCount] {
    if (!dest) return;
    try {
      if (existing) {
        dest->SetPosition(oldEnd);
        SetEndOfFile(dest->Handle());
        std::uint8_t prefix[5] = {};
        PutLEInt32(prefix, oldCount);
        dest->SetPosition(0);
        dest->Write(prefix, 5);
        dest.reset();
      } else {
        std::string name = dest->FileName();
        dest.reset();
        RemoveFile(name);
      }
    } catch (...) {
    }
  });

  // The source of each new header (its stored name may be cut short), kept
  // open from its header to its data.
  std::vector<std::string> sources;
  std::vector<std::unique_ptr<TWinFileStream>> sourceFiles;
  for (size_t i = 0; i < filesToProcess_.size(); ++i) {
    std::string name = EntryFileName(filesToProcess_[i]);
    auto h = std::make_unique<TFileHeader>();
    h->Rec.SetStoredName(name);
    if (Trim(h->Rec.StoredName).empty()) throw ETrnwCompress("Tried to add an invalid file header");
    auto src = TWinFileStream::Open(ReadPathOf(name), TWinFileStream::fmOpenRead);
    if (!src) throw ETrnwCompress("Cannot open the file %s", {name});
    std::int64_t size = src->Size();
    if (size > INT32_MAX) throw ETrnwCompress("The file %s is too large for an archive", {name});
    TDateTime date = 0;
    twfile::GetFileDate(src->Handle(), date);
    char magic[2] = {};
    bool executable = src->Read(magic, 2) == 2 && magic[0] == 'M' && magic[1] == 'Z';
    h->Rec.FileDate = date;
    h->Rec.Size = static_cast<std::int32_t>(size);
    // Version resources live only in executable images.
    if (executable) h->Rec.SetFileVersion(FileVersionOf(name));
    h->Rec.Sequence = static_cast<std::int32_t>(i + 1);
    h->Rec.Identifier = identifier;
    headers_.Add(std::move(h));
    sources.push_back(name);
    sourceFiles.push_back(std::move(src));
  }
  headers_.Write(*dest);
  dest->Seek(0, soEnd);

  stats_ = TlzhFileStats();
  stats_.TotalSize = headers_.TotalSize();
  std::vector<char> buf(65536);
  size_t next = 0;
  for (int i = 0; i < headers_.Count(); ++i) {
    TFileHeader& fh = headers_.GetFileHeaders(i);
    if (fh.LoadedFromArchive) continue;
    TFileHeaderRec& h = fh.Rec;
    const std::string& source = sources[next];
    std::unique_ptr<TWinFileStream> src = std::move(sourceFiles[next++]);
    src->SetPosition(0);
    std::int64_t hpos = dest->Position();
    auto raw = h.Encode();
    dest->WriteBuffer(raw.data(), FileHeaderSize);
    std::int64_t dataStart = dest->Position();
    h.DataStart = Clamp32(dataStart);
    FillStats(h);
    stats_.CompressedSize = 0;
    if (OnBeforeAdding) OnBeforeAdding(this, stats_);
    if (!TakeAhead(source, h, *dest)) {
      TMemberDeflater z(CompressionLevel, *dest);
      TStream* d = dest.get();
      z.OnProgress = [this, d, dataStart, &z] { AddStatus(d, dataStart, z.Consumed()); };
      std::int64_t read = 0;
      for (;;) {
        long n = src->Read(buf.data(), static_cast<long>(buf.size()));
        if (n <= 0) break;
        read += n;
        z.Write(buf.data(), static_cast<std::size_t>(n));
      }
      // A read error or a file that changed since its header was made
      // would leave a member that does not match its header.
      if (read != h.Size) throw ETrnwCompress(kShortRead, {source});
      z.Finish();
    }
    std::int64_t end = dest->Position();
    if (end > INT32_MAX) throw ETrnwCompress("The archive %s would exceed 2 GB", {compressedFile_});
    std::int64_t compressed = end - dataStart;
    stats_.CompressedSize = Clamp32(compressed);
    stats_.FileRatio = PercentOf(compressed, h.Size);
    stats_.Finished = true;
    AddStatus(dest.get(), dataStart, h.Size);
    stats_.Finished = false;
    stats_.TotalCompressed += compressed;
    stats_.TotalRatio = PercentOf(stats_.TotalCompressed, stats_.TotalSize);
    h.DataEnd = Clamp32(end - 1);
    h.NextHeader = Clamp32(end);
    h.CompressedSize = Clamp32(compressed);
    h.Identifier = identifier;
    index_.Set(identifier, i);
    dest->SetPosition(hpos);
    raw = h.Encode();
    h.Raw = raw;
    dest->WriteBuffer(raw.data(), FileHeaderSize);
    dest->Seek(0, soEnd);
    if (OnAfterAdding) OnAfterAdding(this, stats_);
  }
  undo.Dismiss();
  if (keepArchiveOpen_ && !headers_.TableFlag) {
    TakeHeadersAsAppended();
    appendDest_ = std::move(dest);
    return;
  }
  dest.reset();  // closed, so that the write time is final
  RememberAppendHeaders();
}

namespace {
bool SizeAndWriteTime(const std::string& file, std::int64_t& size, std::uint64_t& time) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &a)) return false;
  size = (static_cast<std::int64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
  time = (static_cast<std::uint64_t>(a.ftLastWriteTime.dwHighDateTime) << 32) | a.ftLastWriteTime.dwLowDateTime;
  return true;
}
}  // namespace

bool TTrnwCompress::AppendHeadersCurrent() const {
  std::int64_t size = 0;
  std::uint64_t time = 0;
  return !appendFile_.empty() && SameText(appendFile_, compressedFile_) && Offset == 0 &&
         SizeAndWriteTime(compressedFile_, size, time) && size == appendSize_ && time == appendTime_;
}

void TTrnwCompress::RememberAppendHeaders() {
  if (headers_.TableFlag || !SizeAndWriteTime(compressedFile_, appendSize_, appendTime_)) return;
  TakeHeadersAsAppended();
}

void TTrnwCompress::TakeHeadersAsAppended() {
  for (int i = 0; i < headers_.Count(); ++i) headers_.GetFileHeaders(i).LoadedFromArchive = true;
  appendFile_ = compressedFile_;
}

void TTrnwCompress::CloseAppendedArchive() {
  if (!appendDest_) return;
  appendDest_.reset();  // closed, so that the write time is final
  if (!SizeAndWriteTime(appendFile_, appendSize_, appendTime_)) appendFile_.clear();
}

void TTrnwCompress::ForgetAppendHeaders() {
  appendDest_.reset();
  appendFile_.clear();
}

// ---- listing ----------------------------------------------------------------

void TTrnwCompress::List() {
  EnsureHeaders();
  ComputeTotals();
  for (int i = 0; i < headers_.Count(); ++i) {
    FillStats(headers_.GetFileHeaders(i).Rec);
    if (OnListing) OnListing(this, stats_);
  }
}

// ---- disk files -------------------------------------------------------------

std::string TTrnwCompress::DiskName(const std::string& name, int disk) const {
  return ChangeFileExt(name, "." + std::to_string(disk));
}

std::unique_ptr<TWinFileStream> TTrnwCompress::OpenDisk(std::string& name, int disk, bool forWriting) {
  if (headers_.TableFlag) name = DiskName(name, disk);
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (twfile::FileExists(name)) {
      auto f = TWinFileStream::Open(name, forWriting ? TWinFileStream::fmOpenReadWrite
                                                     : TWinFileStream::fmOpenRead);
      if (!f) throw ETrnwCompress("Cannot open the compressed file %s", {name});
      return f;
    }
    if (!OnNewDisk) throw ETrnwCompress("Could not open the correct disk file %d", {disk});
    std::string dir = ExtractFileDir(name);
    while (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
    OnNewDisk(this, disk, dir);
    // Cancel at the request ends the operation; nothing is asked again.
    if (Stopped()) throw EtcAborted(kAborted);
    name = AddBackslash(dir) + ExtractFileName(name);
  }
  throw ETrnwCompress("Cannot open the compressed file %s", {name});
}

// ---- extracting ---------------------------------------------------------------

void TTrnwCompress::OfferNewTarget(const std::string& path, std::unique_ptr<TWinFileStream> file) {
  DropOfferedTarget();
  offeredName_ = path;
  offered_ = std::move(file);
}

void TTrnwCompress::DropOfferedTarget() {
  if (offered_) {
    offered_.reset();
    RemoveFile(offeredName_);
  }
  offeredName_.clear();
}

void TTrnwCompress::SetKeepArchiveOpen(bool keep) {
  keepArchiveOpen_ = keep;
  if (!keep) CloseKeptArchive();
}

void TTrnwCompress::CloseKeptArchive() {
  source_.reset();
  StopInflateAhead();
  CloseAppendedArchive();
}

void TTrnwCompress::Extract() {
  try {
    ExtractAll();
  } catch (const EtcAborted&) {
    DropOfferedTarget();
    source_.reset();
    StopInflateAhead();
    if (OnAborted) OnAborted(this);
  } catch (const EAbort&) {
  } catch (...) {
    Abort = true;
    DropOfferedTarget();
    filesToProcess_.clear();
    ExtractName.clear();
    operation_ = opNone;
    source_.reset();
    StopInflateAhead();
    createdDir_.clear();
    throw;
  }
  DropOfferedTarget();
  filesToProcess_.clear();
  ExtractName.clear();
  operation_ = opNone;
  if (!keepArchiveOpen_) {
    source_.reset();
    StopInflateAhead();
  }
  createdDir_.clear();
}

void TTrnwCompress::ExtractAll() {
  Abort = false;
  operation_ = opExtracting;
  EnsureHeaders();
  currentDisk_ = 0;
  ComputeTotals();
  std::vector<std::string> entries = filesToProcess_;
  for (const std::string& entry : entries) {
    int index = headers_.Find(entry);
    if (index < 0)
      throw ETrnwCompress("The file <%s> was not found in the archive <%s>", {entry, compressedFile_});
    ExtractMember(index, entry);
    ExtractName.clear();
  }
}

void TTrnwCompress::ExtractMember(int index, const std::string&) {
  if (Stopped()) throw EtcAborted(kAborted);
  const TFileHeaderRec h = headers_.GetFileHeaders(index).Rec;
  FillStats(h);
  // A header that cannot describe real data is refused before the overwrite
  // rule judges it or anything is written.
  if (!MemberHeaderSound(h, Offset)) throw MemberDamaged(h.StoredName);
  if (Trim(ExtractName).empty()) ExtractName = SafeFileName(h.StoredName);
  if (OnBeforeExtracting) OnBeforeExtracting(this, stats_);
  auto targetName = [this, &h]() {
    std::string n = SafeFileName(ExtractName);
    if (n.empty()) throw ETrnwCompress("Cannot create the file %s", {ExtractName.empty() ? h.StoredName : ExtractName});
    return AddBackslash(ExtractDirectory) + n;
  };
  std::string target = targetName();
  // Creating the target only when it is new tells in one step whether a file
  // is there to be judged by the overwrite rule. An offered one was created
  // in the directory, which is therefore there.
  std::unique_ptr<TWinFileStream> fresh;
  if (offered_ && SameText(offeredName_, target)) {
    fresh = std::move(offered_);
    offeredName_.clear();
    createdDir_ = ExtractDirectory;
  }
  if (!SameText(createdDir_, ExtractDirectory)) {
    journal::DirectoryToCreate(ExtractDirectory);
    twfile::ForceDirectories(ExtractDirectory);
    createdDir_ = ExtractDirectory;
  }
  if (!fresh) {
    fresh = TWinFileStream::Open(target, TWinFileStream::fmCreateNew);
    if (fresh) journal::FileCreated(target);
  }
  TScopeExit freshGuard([&fresh, target] {  // removed again unless it is handed on to be written
    if (fresh) {
      fresh.reset();
      RemoveFile(target);
    }
  });
  bool replacing = !fresh && twfile::FileExists(target);
  if (replacing) {
    int r = TVersionResource::IsFileNewer(h.FileVersion, target, Overwrite, h.FileDate);
    if (r == vrCannotCompare) throw ETrnwCompress(kCompareError);
    if (r == vrSame || r == vrKeep) {
      stats_.Finished = true;
      Status();
      return;
    }
    if (OnReplace) OnReplace(this, stats_);
    target = targetName();
  }

  // The archive disk holding the first data byte.
  int firstDisk = h.FirstDisk == 0 ? 1 : h.FirstDisk;
  const bool ahead = InflatesAhead(index);
  std::unique_ptr<TWinFileStream> src;
  if (ahead) {
    // Read by the thread inflating ahead.
  } else if (source_ && sourceDisk_ == firstDisk) {
    src = std::move(source_);  // the disk of the previous member
  } else {
    source_.reset();
    std::string archiveName = compressedFile_;
    src = OpenDisk(archiveName, firstDisk, false);
    compressedFile_ = archiveName;
  }
  currentDisk_ = h.FirstDisk;

  // A file that was there is replaced only by a complete member: the data
  // goes beside it first, so that damage or a stop never destroys it.
  std::string temp = replacing ? target + ".tw~" : target;
  if (replacing) journal::FileToCreate(temp);
  auto out = fresh ? std::move(fresh) : TWinFileStream::Open(temp, TWinFileStream::fmCreate);
  if (!out) throw ETrnwCompress("Cannot create the file %s", {target});
  TScopeExit tempGuard([&out, temp] {
    out.reset();
    RemoveFile(temp);
  });

  std::vector<std::unique_ptr<TWinFileStream>> laterDisks;
  TInflateRequest r;
  r.Source = src.get();
  r.StartPosition = static_cast<std::int64_t>(Offset) + h.DataStart;
  r.Disk = currentDisk_;
  r.LastDisk = h.LastDisk;
  r.EndPosition = static_cast<std::int64_t>(h.LastDisk > 0 ? 0 : Offset) + h.DataEnd;
  r.MaxOutput = std::max<std::int32_t>(h.Size, 0);
  r.MemberName = h.StoredName;
  if (!inflater_) inflater_ = std::make_unique<TInflater>();
  r.Inflater = inflater_.get();
  r.NextSource = [&](int disk) -> TStream* {
    std::string n = compressedFile_;
    laterDisks.push_back(OpenDisk(n, disk, false));
    compressedFile_ = n;
    currentDisk_ = disk;
    return laterDisks.back().get();
  };
  auto write = [&](const std::uint8_t* p, long n) {
    long put = out->Write(p, n);
    if (put != n) {
      DiskFull();
      throw EtcDiskFull("The disk is full");
    }
  };
  // Each block of 4 KiB is reported once it is written.
  auto written = [&](long n) {
    stats_.FileDone += n;
    stats_.TotalDone += n;
    stats_.FilePercent = PercentOf(stats_.FileDone, stats_.Size);
    stats_.TotalPercent = PercentOf(stats_.TotalDone, stats_.TotalSize);
    Status();
  };
  auto checkCancel = [&] {
    if (Stopped()) throw EtcAborted(kAborted);
    ProcessPendingMessages();
  };
  r.OnBlock = [&](const std::uint8_t* p, long n) {
    checkCancel();
    write(p, n);
    written(n);
  };
  if (ahead) inflateAhead_->Take(index, write, written, checkCancel);
  else InflateMember(r);
  stats_.Finished = true;
  Status();
  if (stats_.FileDone != h.Size)
    throw ETrnwCompress(
        "The decompressed file's size does not match with the actual size of the file.  The file is %s",
        {h.StoredName});
  if (!twfile::SetFileDate(out->Handle(), h.FileDate))
    throw ETrnwCompress("Cannot set the date of the file just extracted.");
  out.reset();
  // The disk last read stays open for the next member.
  if (!laterDisks.empty()) {
    source_ = std::move(laterDisks.back());
    sourceDisk_ = currentDisk_;
  } else if (src) {
    source_ = std::move(src);
    sourceDisk_ = firstDisk;
  }
  laterDisks.clear();
  if (replacing) {
    // The old file is kept, with its date and attributes, until the run
    // ends well.
    journal::SetAside(target);
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
      throw ETrnwCompress("Cannot create the file %s", {target});
  }
  tempGuard.Dismiss();
}

// ---- copying onto disks --------------------------------------------------------

void TTrnwCompress::CopyToDisks(const std::string& directory, const std::string& name) {
  try {
    CopyToDisksAll(directory, name);
  } catch (const EtcAborted&) {
    filesToProcess_.clear();
    if (OnAborted) OnAborted(this);
    return;
  } catch (...) {
    Abort = true;
    filesToProcess_.clear();
    throw;
  }
  filesToProcess_.clear();
}

namespace {
// Writes to a disk file, giving a short count once the disk holds capacity bytes.
long WriteLimited(TStream& s, const void* p, long n, std::int64_t capacity) {
  if (capacity > 0) {
    std::int64_t room = capacity - s.Position();
    if (room <= 0) return 0;
    if (n > room) n = static_cast<long>(room);
  }
  return s.Write(p, n);
}
}  // namespace

void TTrnwCompress::CopyToDisksAll(const std::string& directory, const std::string& name) {
  Abort = false;
  EnsureHeaders();
  ForgetAppendHeaders();  // the copy changes the headers
  for (int i = 0; i < headers_.Count(); ++i) {
    const TFileHeaderRec& h = headers_.GetFileHeaders(i).Rec;
    if (!MemberHeaderSound(h, Offset)) throw MemberDamaged(h.StoredName);
  }
  currentDisk_ = 1;
  headers_.TableFlag = true;
  ComputeTotals();
  auto src = twfile::FileExists(compressedFile_)
                 ? TWinFileStream::Open(compressedFile_, TWinFileStream::fmOpenRead)
                 : nullptr;
  if (!src) throw ETrnwCompress("Cannot open the compressed file %s", {compressedFile_});
  std::string fileName = ExtractFileName(name);
  std::string destName = AddBackslash(directory) + fileName;
  twfile::ForceDirectories(directory);
  auto dest = TWinFileStream::Open(destName, TWinFileStream::fmCreate);
  if (!dest) throw ETrnwCompress("Cannot create the file %s", {destName});
  headers_.Write(*dest);
  if (DiskSize > 0 && dest->Position() > DiskSize)
    throw ETrnwCompress("There is too little space on this disk to operate");
  newDiskDir_ = directory;
  std::vector<char> buf(8192);
  for (int i = 0; i < headers_.Count(); ++i) {
    TFileHeaderRec& h = headers_.GetFileHeaders(i).Rec;
    FillStats(h);
    std::int64_t end = static_cast<std::int64_t>(Offset) + h.DataEnd;
    src->SetPosition(static_cast<std::int64_t>(Offset) + h.DataStart);
    h.DataStart = Clamp32(dest->Position());
    h.FirstDisk = static_cast<std::uint8_t>(currentDisk_);
    for (;;) {
      if (Stopped()) throw EtcAborted(kAborted);
      std::int64_t pos = src->Position();
      if (pos > end) break;
      long want = static_cast<long>(std::min<std::int64_t>(8192, end - pos + 1));
      long got = src->Read(buf.data(), want);
      if (got <= 0) break;
      ProcessPendingMessages();
      long put = WriteLimited(*dest, buf.data(), got, DiskSize);
      if (put < got) {
        dest.reset();
        ++currentDisk_;
        if (currentDisk_ > 255) throw ETrnwCompress("There is too little space on this disk to operate");
        if (!OnNewDisk)
          throw ETrnwCompress(
              "There was no event handler for the OnNewDisk event, therefore no new disk could be inserted");
        OnNewDisk(this, currentDisk_, newDiskDir_);
        std::string next = AddBackslash(newDiskDir_) + DiskName(fileName, currentDisk_);
        twfile::ForceDirectories(newDiskDir_);
        dest = TWinFileStream::Open(next, TWinFileStream::fmCreate);
        if (!dest) throw ETrnwCompress("Cannot create the file %s", {next});
        long rest = got - put;
        if (WriteLimited(*dest, buf.data() + put, rest, DiskSize) != rest)
          throw ETrnwCompress("There is too little space on this disk to operate");
      }
      stats_.FileDone += got;
      stats_.TotalDone += got;
      stats_.FilePercent = PercentOf(stats_.FileDone, stats_.CompressedSize);
      stats_.TotalPercent = PercentOf(stats_.TotalDone, stats_.TotalCompressed);
      Status();
    }
    h.DataEnd = Clamp32(dest->Position() - 1);
    h.LastDisk = static_cast<std::uint8_t>(currentDisk_);
  }
  dest.reset();
  src.reset();
  std::string first = AddBackslash(directory) + fileName;
  auto disk1 = OpenDisk(first, 1, true);
  headers_.Write(*disk1);
}

// ---- copying a plain file ---------------------------------------------------------

void TTrnwCompress::CopyFile(const std::string& source, const std::string& target) {
  Abort = false;
  Offset = 0;
  ExtractDirectory = ExtractFileDir(target);
  ExtractName = ExtractFileName(target);
  std::string t = AddBackslash(ExtractDirectory) + ExtractName;
  TScopeExit end([this] { ExtractName.clear(); });
  if (twfile::FileExists(t)) {
    int r = TVersionResource::IsFileNewerByName(source, t, Overwrite);
    if (r == vrCannotCompare) throw ETrnwCompress(kCompareError);
    if (r == vrSame || r == vrKeep) return;
    stats_ = TlzhFileStats();
    stats_.FileName = source;
    if (OnReplace) OnReplace(this, stats_);
    t = AddBackslash(ExtractDirectory) + ExtractFileName(ExtractName);
  }
  CopyFileBody(source, t);
}

void TTrnwCompress::CopyFileBody(const std::string& source, const std::string& target) {
  stats_ = TlzhFileStats();
  stats_.FileName = source;
  auto src = TWinFileStream::Open(source, TWinFileStream::fmOpenRead);
  if (!src) throw ETrnwCompress("Cannot open the file %s", {source});
  TDateTime date = 0;
  twfile::GetFileDate(src->Handle(), date);
  std::int64_t size = src->Size();
  stats_.Size = Clamp32(size);
  stats_.TotalSize = size;
  twfile::ForceDirectories(ExtractFileDir(target));
  // The copy goes beside the target and replaces it only when complete, so
  // that a failed read, a full disk or a stop leaves what was there.
  const std::string temp = target + ".tw~";
  auto out = TWinFileStream::Open(temp, TWinFileStream::fmCreate);
  if (!out) throw ETrnwCompress("Cannot create the file %s", {target});
  TScopeExit tempGuard([&out, temp] {
    out.reset();
    RemoveFile(temp);
  });
  std::vector<char> buf(8192);
  std::int64_t copied = 0;
  for (;;) {
    if (Stopped()) return;
    if (BuildCancelled) throw EUserAbortInstall("Creating Install Aborted!");
    long got = src->Read(buf.data(), 8192);
    if (got > 0 && out->Write(buf.data(), got) != got) {
      DiskFull();
      throw EtcDiskFull("The disk is full");
    }
    copied += std::max(got, 0L);
    stats_.FileDone = Clamp32(copied);
    stats_.TotalDone = copied;
    stats_.FilePercent = stats_.TotalPercent = PercentOf(copied, size);
    Status();
    ProcessPendingMessages();
    if (got < 8192) break;
  }
  // A read that failed or a source that shrank ends the loop early.
  if (copied != size || src->Size() != size) throw ETrnwCompress(kShortRead, {source});
  twfile::SetFileDate(out->Handle(), date);
  out.reset();
  src.reset();
  const DWORD attributes = GetFileAttributesA(target.c_str());
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(target.c_str(), attributes);
    throw ETrnwCompress("Cannot create the file %s", {target});
  }
  tempGuard.Dismiss();
  stats_.Finished = true;
  Status();
}
