#include "format_Archive.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

#include "ByteOrder.h"
#include "ScopeExit.h"
#include "routines_Compression.h"
#include "routines_Strings.h"

namespace {
const char* const kHeadersCorrupt =
    "Could not read the file headers for the compressed file. The Archive file could possible be "
    "corrupt";

void PutShortString(std::uint8_t* p, const std::string& s, size_t capacity) {
  size_t n = std::min(s.size(), capacity);
  p[0] = static_cast<std::uint8_t>(n);
  std::memcpy(p + 1, s.data(), n);
}
bool IsDeviceName(const std::string& name) {
  std::string stem = UpperCase(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CLOCK$", "CONIN$", "CONOUT$"};
  for (const char* d : kDevices)
    if (stem == d) return true;
  // The ports count from 1; the superscript digits of the ANSI code page
  // name the same ports.
  const unsigned char digit = stem.size() == 4 ? static_cast<unsigned char>(stem[3]) : 0;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         ((digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3);
}

std::string GetShortString(const std::uint8_t* p, size_t capacity) {
  size_t n = std::min<size_t>(p[0], capacity);
  return std::string(reinterpret_cast<const char*>(p + 1), n);
}
}  // namespace

std::array<std::uint8_t, FileHeaderSize> TFileHeaderRec::Encode() const {
  std::array<std::uint8_t, FileHeaderSize> b = Raw;
  PutLEInt32(&b[0], Sequence);
  PutLEDouble(&b[8], FileDate);
  b[16] = LastDisk;
  PutLEInt32(&b[20], DataEnd);
  PutShortString(&b[24], StoredName, MaxStoredName);
  PutLEInt32(&b[128], NextHeader);
  PutLEInt32(&b[132], Size);
  PutLEInt32(&b[136], DataStart);
  PutLEInt32(&b[140], CompressedSize);
  b[144] = FirstDisk;
  PutLEInt32(&b[148], Identifier);
  PutShortString(&b[152], FileVersion, MaxFileVersion);
  return b;
}

TFileHeaderRec TFileHeaderRec::Decode(const std::uint8_t* p) {
  TFileHeaderRec r;
  std::memcpy(r.Raw.data(), p, FileHeaderSize);
  r.Sequence = GetLEInt32(p);
  r.FileDate = GetLEDouble(p + 8);
  r.LastDisk = p[16];
  r.DataEnd = GetLEInt32(p + 20);
  r.StoredName = GetShortString(p + 24, MaxStoredName);
  r.NextHeader = GetLEInt32(p + 128);
  r.Size = GetLEInt32(p + 132);
  r.DataStart = GetLEInt32(p + 136);
  r.CompressedSize = GetLEInt32(p + 140);
  r.FirstDisk = p[144];
  r.Identifier = GetLEInt32(p + 148);
  r.FileVersion = GetShortString(p + 152, MaxFileVersion);
  return r;
}

TFileHeader& TFileHeaders::GetFileHeaders(int index) {
  if (index < 0 || index >= Count())
    throw ETrnwCompress("%d is an invalid TFileHeader index in TFileHeaders.GetFileHeaders", {index});
  return *items_[static_cast<size_t>(index)];
}

const TFileHeader& TFileHeaders::GetFileHeaders(int index) const {
  return const_cast<TFileHeaders*>(this)->GetFileHeaders(index);
}

void TFileHeaders::Add(std::unique_ptr<TFileHeader> header) {
  if (!header || Trim(header->Rec.StoredName).empty())
    throw ETrnwCompress("Tried to add an invalid file header");
  items_.push_back(std::move(header));
  byName_.clear();
}

void TFileHeaders::Assign(const TFileHeaders& other) {
  if (&other == this) return;
  Clear();
  for (const auto& h : other.items_) items_.push_back(std::make_unique<TFileHeader>(*h));
  TableFlag = other.TableFlag;
}

std::string EntryFileName(const std::string& entry) {
  size_t p = entry.find(';');
  return p == std::string::npos ? entry : entry.substr(0, p);
}

std::string SafeMemberFileName(const std::string& storedName) {
  std::size_t p = storedName.find_last_of("\\/:");
  std::string n = p == std::string::npos ? storedName : storedName.substr(p + 1);
  while (!n.empty() && (n.back() == ' ' || n.back() == '.')) n.pop_back();
  if (n.empty()) return std::string();
  for (unsigned char c : n)
    if (c < 32 || std::strchr("<>\"|?*", c)) return std::string();
  if (IsDeviceName(n)) return std::string();
  return n;
}

int TFileHeaders::Find(const std::string& name) const {
  // Names were stored cut to their capacity, and are looked up so.
  const std::string key = UpperCase(EntryFileName(name).substr(0, MaxStoredName));
  for (int pass = 0; pass < 2; ++pass) {
    if (byName_.empty() || pass == 1) {  // (re)built, in case a name was changed in place
      byName_.clear();
      for (size_t i = items_.size(); i-- > 0;)
        byName_[UpperCase(items_[i]->Rec.StoredName)] = static_cast<int>(i);
    }
    auto it = byName_.find(key);
    if (it != byName_.end() && UpperCase(items_[static_cast<size_t>(it->second)]->Rec.StoredName) == key)
      return it->second;
  }
  return -1;
}

std::int64_t TFileHeaders::TotalSize() const {
  std::int64_t t = 0;
  for (auto& h : items_) t += std::max<std::int32_t>(h->Rec.Size, 0);
  return t;
}

std::int64_t TFileHeaders::TotalCompressed() const {
  std::int64_t t = 0;
  for (auto& h : items_) t += std::max<std::int32_t>(h->Rec.CompressedSize, 0);
  return t;
}

void TFileHeaders::Read(TStream& s, std::int64_t archiveStart) {
  Clear();
  std::uint8_t prefix[ArchivePrefixSize];
  s.SetPosition(archiveStart);
  if (s.Read(prefix, ArchivePrefixSize) != ArchivePrefixSize)
    throw ETrnwCompress("Could not read the file header count for the compressed file");
  std::int32_t count = GetLEInt32(prefix);
  TableFlag = prefix[4] != 0;
  std::int64_t size = s.Size();
  // Every header occupies its own 176 bytes of the file, so the count can
  // never exceed what the file holds.
  if (count < 0 || count > (size - archiveStart - ArchivePrefixSize) / FileHeaderSize)
    throw ETrnwCompress(kHeadersCorrupt);
  std::int64_t p = archiveStart + ArchivePrefixSize;
  std::uint8_t raw[FileHeaderSize];
  for (std::int32_t i = 0; i < count; ++i) {
    if (p < archiveStart || p + FileHeaderSize > size) throw ETrnwCompress(kHeadersCorrupt);
    s.SetPosition(p);
    if (s.Read(raw, FileHeaderSize) != FileHeaderSize) throw ETrnwCompress(kHeadersCorrupt);
    auto h = std::make_unique<TFileHeader>();
    h->Rec = TFileHeaderRec::Decode(raw);
    h->LoadedFromArchive = true;
    p = archiveStart + h->Rec.NextHeader;
    Add(std::move(h));
  }
}

void TFileHeaders::Write(TStream& s) {
  const char* const msg = "Could not write the file headers for the compressed file";
  std::uint8_t prefix[ArchivePrefixSize];
  PutLEInt32(prefix, Count());
  prefix[4] = TableFlag ? 1 : 0;
  s.SetPosition(0);
  if (s.Write(prefix, ArchivePrefixSize) != ArchivePrefixSize) throw ETrnwCompress(msg);
  if (!TableFlag) return;
  for (auto& h : items_) {
    h->Rec.NextHeader = static_cast<std::int32_t>(s.Position() + FileHeaderSize);
    auto b = h->Rec.Encode();
    h->Rec.Raw = b;
    if (s.Write(b.data(), FileHeaderSize) != FileHeaderSize) throw ETrnwCompress(msg);
  }
}

void TIdentifierIndex::Build(const TFileHeaders& headers) {
  Clear();
  for (int i = 0; i < headers.Count(); ++i) Set(headers.GetFileHeaders(i).Rec.Identifier, i);
}

void TIdentifierIndex::Set(std::int32_t id, int member) {
  if (id >= 0 && id < IdentifierIndexSize) index_[static_cast<size_t>(id)] = member;
}

int TIdentifierIndex::Get(std::int32_t id) const {
  return id >= 0 && id < IdentifierIndexSize ? index_[static_cast<size_t>(id)] : 0;
}

TExtractionKind TExtractionInfo::Kind() const {
  if (Marker == kSelfExtractingMarker) return TExtractionKind::SelfExtracting;
  if (Marker == kNotSelfExtractMarker) return TExtractionKind::NotSelfExtracting;
  return TExtractionKind::Unknown;
}

std::array<std::uint8_t, ExtractionInfoSize> TExtractionInfo::Encode() const {
  std::array<std::uint8_t, ExtractionInfoSize> b{};
  PutShortString(&b[0], Marker, 15);
  if (Kind() != TExtractionKind::NotSelfExtracting) {
    PutLEInt32(&b[16], SetupFirst);
    PutLEInt32(&b[20], SetupLast);
    PutLEInt32(&b[24], FilesFirst);
    PutLEInt32(&b[28], FilesLast);
  }
  return b;
}

TExtractionInfo TExtractionInfo::Decode(const std::uint8_t* p) {
  TExtractionInfo r;
  r.Marker = GetShortString(p, 15);
  r.SetupFirst = GetLEInt32(p + 16);
  r.SetupLast = GetLEInt32(p + 20);
  r.FilesFirst = GetLEInt32(p + 24);
  r.FilesLast = GetLEInt32(p + 28);
  return r;
}

struct TInflater::TState {
  z_stream z{};
  bool live = false;
  bool busy = false;  // a member is being inflated with it
  std::vector<std::uint8_t> in = std::vector<std::uint8_t>(65536);
  std::uint8_t out[4096];
  ~TState() {
    if (live) inflateEnd(&z);
  }
};

TInflater::TInflater() : state_(new TState) {}
TInflater::~TInflater() = default;

std::int64_t InflateMember(TInflateRequest& r) {
  auto corrupt = [&r] {
    return ETrnwCompress(
        "The compressed data of the file %s is damaged. The Archive file could possible be corrupt",
        {r.MemberName});
  };
  std::unique_ptr<TInflater> own;
  TInflater* inflater = r.Inflater;
  // A handler that inflates another member from inside a block gets a state
  // of its own.
  if (!inflater || inflater->state_->busy) inflater = (own = std::make_unique<TInflater>()).get();
  TInflater::TState& st = *inflater->state_;
  st.busy = true;
  TScopeExit release([&st] { st.busy = false; });
  if (st.live) {
    DCheck(inflateReset(&st.z));
  } else {
    st.z = z_stream{};
    st.z.zalloc = zlibAllocMem;
    st.z.zfree = zlibFreeMem;
    DCheck(inflateInit_(&st.z, TwZlibVersion, static_cast<int>(sizeof(z_stream))));
    st.live = true;
  }
  // Nothing is carried over from an earlier member.
  st.z.next_in = st.in.data();
  st.z.avail_in = 0;
  std::vector<std::uint8_t>& in = st.in;
  std::uint8_t* const out = st.out;
  const uInt outSize = sizeof st.out;
  std::int64_t produced = 0;
  TStream* src = r.Source;
  int disk = r.Disk;
  // Only this loop reads the source: it knows the position without asking.
  std::int64_t position = r.StartPosition;
  if (position >= 0) src->SetPosition(position);
  else position = src->Position();
  bool ended = false;
  while (!ended) {
    // The window of this disk: to the end of the file, or to the last data
    // byte on the last disk.
    std::int64_t windowEnd = disk >= r.LastDisk ? r.EndPosition + 1 : src->Size();
    bool exhausted = false;
    for (;;) {
      st.z.next_out = out;
      st.z.avail_out = outSize;
      int rc = Z_OK;
      while (st.z.avail_out > 0) {
        if (st.z.avail_in == 0 && !exhausted) {
          std::int64_t left = windowEnd - position;
          long want = static_cast<long>(std::max<std::int64_t>(0, std::min<std::int64_t>(left, 65536)));
          long got = want > 0 ? src->Read(in.data(), want) : 0;
          if (got <= 0) exhausted = true;
          else position += got;
          st.z.next_in = in.data();
          st.z.avail_in = static_cast<uInt>(std::max(got, 0L));
        }
        uInt outBefore = st.z.avail_out, inBefore = st.z.avail_in;
        rc = inflate(&st.z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) throw corrupt();  // preset dictionaries too
        if (exhausted && st.z.avail_out == outBefore && st.z.avail_in == inBefore) break;
      }
      long n = static_cast<long>(outSize - st.z.avail_out);
      if (n > 0) {
        produced += n;
        if (produced > r.MaxOutput) throw corrupt();
        if (r.OnBlock) r.OnBlock(out, n);
      }
      if (rc == Z_STREAM_END) { ended = true; break; }
      if (n == 0) break;  // nothing more from this disk
    }
    if (ended) break;
    if (disk >= r.LastDisk || !r.NextSource) throw corrupt();
    ++disk;
    src = r.NextSource(disk);
    if (!src) throw corrupt();
    src->SetPosition(position = 0);
  }
  return produced;
}
