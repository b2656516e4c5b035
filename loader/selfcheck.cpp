#include "selfcheck.h"

#include <cstring>
#include <vector>

// ---- SHA-0 ----

namespace {

inline std::uint32_t Rotl(std::uint32_t x, unsigned n) { return (x << n) | (x >> (32 - n)); }

const char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

void TSha0::Reset() {
  h_[0] = 0x67452301u;
  h_[1] = 0xEFCDAB89u;
  h_[2] = 0x98BADCFEu;
  h_[3] = 0x10325476u;
  h_[4] = 0xC3D2E1F0u;
  length_ = 0;
  used_ = 0;
}

void TSha0::Block(const std::uint8_t* p) {
  std::uint32_t w[80];
  for (int t = 0; t < 16; ++t)
    w[t] = (std::uint32_t(p[4 * t]) << 24) | (std::uint32_t(p[4 * t + 1]) << 16) |
           (std::uint32_t(p[4 * t + 2]) << 8) | std::uint32_t(p[4 * t + 3]);
  // The original standard's schedule: no rotation (the revision added one).
  for (int t = 16; t < 80; ++t) w[t] = w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16];
  std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4];
  for (int t = 0; t < 80; ++t) {
    std::uint32_t f, k;
    if (t < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999u;
    } else if (t < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1u;
    } else if (t < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDCu;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6u;
    }
    std::uint32_t temp = Rotl(a, 5) + f + e + k + w[t];
    e = d;
    d = c;
    c = Rotl(b, 30);
    b = a;
    a = temp;
  }
  h_[0] += a;
  h_[1] += b;
  h_[2] += c;
  h_[3] += d;
  h_[4] += e;
}

void TSha0::Update(const void* data, std::size_t size) {
  if (size == 0) return;
  const std::uint8_t* p = static_cast<const std::uint8_t*>(data);
  length_ += size;
  if (used_ > 0) {
    std::size_t take = sizeof(buffer_) - used_;
    if (take > size) take = size;
    std::memcpy(buffer_ + used_, p, take);
    used_ += take;
    p += take;
    size -= take;
    if (used_ < sizeof(buffer_)) return;
    Block(buffer_);
    used_ = 0;
  }
  for (; size >= sizeof(buffer_); p += sizeof(buffer_), size -= sizeof(buffer_)) Block(p);
  if (size > 0) {
    std::memcpy(buffer_, p, size);
    used_ = size;
  }
}

void TSha0::Final(std::uint8_t out[DigestSize]) {
  const std::uint64_t bits = length_ * 8;
  std::uint8_t pad[72] = {0x80};
  // Pad to 56 bytes modulo 64, then the bit length, big-endian.
  std::size_t padLength = (used_ < 56 ? 56 : 120) - used_;
  for (int i = 0; i < 8; ++i) pad[padLength + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  Update(pad, padLength + 8);
  for (int i = 0; i < 5; ++i) {
    out[4 * i] = static_cast<std::uint8_t>(h_[i] >> 24);
    out[4 * i + 1] = static_cast<std::uint8_t>(h_[i] >> 16);
    out[4 * i + 2] = static_cast<std::uint8_t>(h_[i] >> 8);
    out[4 * i + 3] = static_cast<std::uint8_t>(h_[i]);
  }
  Reset();
}

std::string TSha0::FinalHex() {
  std::uint8_t digest[DigestSize];
  Final(digest);
  std::string hex(2 * DigestSize, '0');
  for (std::size_t i = 0; i < DigestSize; ++i) {
    hex[2 * i] = kHexDigits[digest[i] >> 4];
    hex[2 * i + 1] = kHexDigits[digest[i] & 15];
  }
  return hex;
}

std::string Sha0Hex(const void* data, std::size_t size) {
  TSha0 sha;
  sha.Update(data, size);
  return sha.FinalHex();
}

// ---- Sources ----

bool TMemorySource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
  if (offset > size_ || size > size_ - offset) return false;
  if (size) std::memcpy(buffer, data_ + offset, size);
  return true;
}

namespace {
bool SeekTo(std::FILE* f, std::int64_t offset, int origin) {
#ifdef _WIN32
  return _fseeki64(f, offset, origin) == 0;
#else
  return fseeko(f, static_cast<off_t>(offset), origin) == 0;
#endif
}
std::int64_t Tell(std::FILE* f) {
#ifdef _WIN32
  return _ftelli64(f);
#else
  return static_cast<std::int64_t>(ftello(f));
#endif
}
}  // namespace

TFileSource::~TFileSource() {
  if (file_) std::fclose(file_);
}

bool TFileSource::Open(const std::string& path) {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  size_ = 0;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::int64_t end = -1;
  if (SeekTo(f, 0, SEEK_END)) end = Tell(f);
  if (end < 0) {
    std::fclose(f);
    return false;
  }
  file_ = f;
  size_ = static_cast<std::uint64_t>(end);
  return true;
}

bool TFileSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
  if (!file_ || offset > size_ || size > size_ - offset) return false;
  if (size == 0) return true;
  if (!SeekTo(file_, static_cast<std::int64_t>(offset), SEEK_SET)) return false;
  return std::fread(buffer, 1, size, file_) == size;
}

// ---- Checksum trailer ----

const char* SelfCheckMessage(TSelfCheckError error) {
  switch (error) {
    case TSelfCheckError::None:
      return "";
    case TSelfCheckError::CannotOpen:
      return "The setup program cannot read its own file.";
    case TSelfCheckError::ReadError:
      return "The setup program could not read its own file completely.";
    case TSelfCheckError::NoChecksum:
      return "The setup file is incomplete: it carries no checksum. Please obtain a new copy of the setup program.";
    case TSelfCheckError::ChecksumMismatch:
      return "The setup file is damaged: its contents do not match its checksum. Please obtain a new copy of the setup program.";
    case TSelfCheckError::NoExtractionInfo:
      return "The setup file carries no installation archives. Please obtain a new copy of the setup program.";
    case TSelfCheckError::BadExtractionInfo:
      return "The setup file is damaged: the information about its installation archives is invalid. Please obtain a new copy of the setup program.";
  }
  return "The setup file could not be checked.";
}

TSelfCheckError VerifyChecksumTrailer(TByteSource& source, std::string* computed) {
  if (computed) computed->clear();
  const std::uint64_t size = source.Size();
  if (size < ChecksumTrailerSize) return TSelfCheckError::NoChecksum;
  const std::uint64_t body = size - ChecksumTrailerSize;
  char trailer[ChecksumTrailerSize];
  if (!source.ReadAt(body, trailer, sizeof(trailer))) return TSelfCheckError::ReadError;
  for (char c : trailer)
    if (HexValue(c) < 0) return TSelfCheckError::NoChecksum;

  TSha0 sha;
  std::vector<std::uint8_t> block(64 * 1024);
  for (std::uint64_t at = 0; at < body;) {
    std::size_t n = block.size();
    if (body - at < n) n = static_cast<std::size_t>(body - at);
    if (!source.ReadAt(at, block.data(), n)) return TSelfCheckError::ReadError;
    sha.Update(block.data(), n);
    at += n;
  }
  std::string digest = sha.FinalHex();
  if (computed) *computed = digest;
  for (std::size_t i = 0; i < ChecksumTrailerSize; ++i)
    if (HexValue(trailer[i]) != HexValue(digest[i])) return TSelfCheckError::ChecksumMismatch;
  return TSelfCheckError::None;
}

// ---- Extraction-info record ----

namespace {

const char kSelfExtracting[] = "SELFEXTRACTING";
const char kNotSelfExtract[] = "NOTSELFEXTRACT";
constexpr std::size_t kMarkerLength = 14;
constexpr std::size_t kMarkerCapacity = 15;

std::int32_t ReadInt32(const std::uint8_t* p) {
  std::uint32_t v = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
                    (std::uint32_t(p[3]) << 24);
  std::int32_t r;
  std::memcpy(&r, &v, sizeof(r));
  return r;
}

void WriteInt32(std::uint8_t* p, std::int32_t value) {
  std::uint32_t v;
  std::memcpy(&v, &value, sizeof(v));
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

TSelfCheckError ParseExtractionInfo(const void* record, std::size_t size, TExtractionInfo& info) {
  info = TExtractionInfo();
  if (!record || size != ExtractionInfoSize) return TSelfCheckError::NoExtractionInfo;
  const std::uint8_t* p = static_cast<const std::uint8_t*>(record);
  if (p[0] != kMarkerLength) return TSelfCheckError::NoExtractionInfo;
  const char* marker = reinterpret_cast<const char*>(p + 1);
  TExtractionInfo r;
  if (std::memcmp(marker, kSelfExtracting, kMarkerLength) == 0)
    r.Kind = TExtractionKind::SelfExtracting;
  else if (std::memcmp(marker, kNotSelfExtract, kMarkerLength) == 0)
    r.Kind = TExtractionKind::NotSelfExtracting;
  else
    return TSelfCheckError::NoExtractionInfo;
  r.SetupFirst = ReadInt32(p + 16);
  r.SetupLast = ReadInt32(p + 20);
  r.FilesFirst = ReadInt32(p + 24);
  r.FilesLast = ReadInt32(p + 28);

  if (r.Kind == TExtractionKind::NotSelfExtracting) {
    if (r.SetupFirst || r.SetupLast || r.FilesFirst || r.FilesLast) return TSelfCheckError::BadExtractionInfo;
  } else {
    // 64-bit arithmetic: no offset sum can overflow.
    const std::int64_t setupFirst = r.SetupFirst, setupLast = r.SetupLast;
    const std::int64_t filesFirst = r.FilesFirst, filesLast = r.FilesLast;
    if (setupFirst <= 0 || setupLast - setupFirst + 1 < MinimumArchiveSize)
      return TSelfCheckError::BadExtractionInfo;
    if (filesFirst != 0 || filesLast != 0) {
      if (filesFirst != setupLast + 1 || filesLast - filesFirst + 1 < MinimumArchiveSize)
        return TSelfCheckError::BadExtractionInfo;
    }
  }
  info = r;
  return TSelfCheckError::None;
}

TSelfCheckError ValidateExtractionInfo(const TExtractionInfo& info, std::uint64_t recordOffset) {
  if (info.Kind == TExtractionKind::NotSelfExtracting) return TSelfCheckError::None;
  const std::int64_t last = info.HasMainArchive() ? info.FilesLast : info.SetupLast;
  if (last < 0 || static_cast<std::uint64_t>(last) + 1 != recordOffset) return TSelfCheckError::BadExtractionInfo;
  return TSelfCheckError::None;
}

void EncodeExtractionInfo(const TExtractionInfo& info, std::uint8_t out[ExtractionInfoSize]) {
  std::memset(out, 0, ExtractionInfoSize);
  out[0] = static_cast<std::uint8_t>(kMarkerLength);
  const char* marker = info.Kind == TExtractionKind::SelfExtracting ? kSelfExtracting : kNotSelfExtract;
  std::memcpy(out + 1, marker, kMarkerLength);
  static_assert(1 + kMarkerCapacity == 16, "the offsets follow the marker");
  if (info.Kind == TExtractionKind::SelfExtracting) {
    WriteInt32(out + 16, info.SetupFirst);
    WriteInt32(out + 20, info.SetupLast);
    WriteInt32(out + 24, info.FilesFirst);
    WriteInt32(out + 28, info.FilesLast);
  }
}

TSelfCheckError ReadExtractionInfo(TByteSource& source, TExtractionInfo& info) {
  info = TExtractionInfo();
  const std::uint64_t size = source.Size();
  if (size < ExtractionInfoDistance) return TSelfCheckError::NoExtractionInfo;
  const std::uint64_t at = size - ExtractionInfoDistance;
  std::uint8_t record[ExtractionInfoSize];
  if (!source.ReadAt(at, record, sizeof(record))) return TSelfCheckError::ReadError;
  TExtractionInfo decoded;
  TSelfCheckError e = ParseExtractionInfo(record, sizeof(record), decoded);
  if (e == TSelfCheckError::None) e = ValidateExtractionInfo(decoded, at);
  if (e == TSelfCheckError::None) info = decoded;
  return e;
}

TSelfCheckError CheckSelfExtractingFile(TByteSource& source, TExtractionInfo& info) {
  info = TExtractionInfo();
  TSelfCheckError e = VerifyChecksumTrailer(source);
  if (e != TSelfCheckError::None) return e;
  return ReadExtractionInfo(source, info);
}

TSelfCheckError CheckSelfExtractingFile(const std::string& path, TExtractionInfo& info) {
  info = TExtractionInfo();
  TFileSource file;
  if (!file.Open(path)) return TSelfCheckError::CannotOpen;
  return CheckSelfExtractingFile(file, info);
}
