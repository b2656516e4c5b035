#include "selfcheck.h"

#include <cstring>
#include <vector>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

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
    case TSelfCheckError::MisplacedSignature:
      return "The setup file is damaged: its signature does not follow its checksum. Please obtain a new copy of the setup program.";
  }
  return "The setup file could not be checked.";
}

TSelfCheckError LocateSeal(TByteSource& source, TSealLayout& layout) {
  const TSealLayoutError e = LocateSeal(source.Size(), source, layout);
  if (e == TSealLayoutError::ReadError) return TSelfCheckError::ReadError;
  if (e == TSealLayoutError::Misplaced) return TSelfCheckError::MisplacedSignature;
  return TSelfCheckError::None;
}

TSelfCheckError VerifyChecksumTrailer(TByteSource& source, std::string* computed) {
  if (computed) computed->clear();
  TSealLayout layout;
  if (TSelfCheckError e = LocateSeal(source, layout); e != TSelfCheckError::None) return e;
  // In a signed file the trailer is where the certificate table says; no
  // checksum there means the table was moved.
  const TSelfCheckError noChecksum =
      layout.Signed ? TSelfCheckError::MisplacedSignature : TSelfCheckError::NoChecksum;
  if (layout.End < ChecksumTrailerSize) return noChecksum;
  const std::uint64_t body = layout.End - ChecksumTrailerSize;
  char trailer[ChecksumTrailerSize];
  if (!source.ReadAt(body, trailer, sizeof(trailer))) return TSelfCheckError::ReadError;
  for (char c : trailer)
    if (HexValue(c) < 0) return noChecksum;

  TSha0 sha;
  std::vector<std::uint8_t> block(64 * 1024);
  for (std::uint64_t at = 0; at < body;) {
    std::size_t n = block.size();
    if (body - at < n) n = static_cast<std::size_t>(body - at);
    if (!source.ReadAt(at, block.data(), n)) return TSelfCheckError::ReadError;
    if (layout.Signed) ZeroSignFields(layout.Fields, at, block.data(), n);
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

constexpr std::size_t kMarkerLength = 14;

}  // namespace

TSelfCheckError ParseExtractionInfo(const void* record, std::size_t size, TExtractionInfo& info) {
  info = TExtractionInfo();
  if (!record || size != ExtractionInfoSize) return TSelfCheckError::NoExtractionInfo;
  const std::uint8_t* p = static_cast<const std::uint8_t*>(record);
  if (p[0] != kMarkerLength) return TSelfCheckError::NoExtractionInfo;
  const TExtractionInfo r = TExtractionInfo::Decode(p);
  if (r.Kind() == TExtractionKind::Unknown) return TSelfCheckError::NoExtractionInfo;

  if (r.Kind() == TExtractionKind::NotSelfExtracting) {
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
  if (info.Kind() == TExtractionKind::NotSelfExtracting) return TSelfCheckError::None;
  const std::int64_t last = info.HasMainArchive() ? info.FilesLast : info.SetupLast;
  if (last < 0 || static_cast<std::uint64_t>(last) + 1 != recordOffset) return TSelfCheckError::BadExtractionInfo;
  return TSelfCheckError::None;
}

TSelfCheckError ReadExtractionInfo(TByteSource& source, TExtractionInfo& info) {
  info = TExtractionInfo();
  TSealLayout layout;
  if (TSelfCheckError e = LocateSeal(source, layout); e != TSelfCheckError::None) return e;
  if (layout.End < ExtractionInfoDistance) return TSelfCheckError::NoExtractionInfo;
  const std::uint64_t at = layout.End - ExtractionInfoDistance;
  std::uint8_t record[ExtractionInfoSize];
  if (!source.ReadAt(at, record, sizeof(record))) return TSelfCheckError::ReadError;
  if (layout.Signed) ZeroSignFields(layout.Fields, at, record, sizeof(record));
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

TSelfCheckError CheckSetupFile(TByteSource& source, TExtractionInfo& info, bool* sealed) {
  if (sealed) *sealed = false;
  TSelfCheckError e = CheckSelfExtractingFile(source, info);
  if (e == TSelfCheckError::None) {
    if (sealed) *sealed = true;
    return e;
  }
  if (e != TSelfCheckError::NoChecksum || source.Size() < ExtractionInfoSize) return e;
  std::uint8_t record[ExtractionInfoSize];
  if (!source.ReadAt(source.Size() - ExtractionInfoSize, record, sizeof(record))) return TSelfCheckError::ReadError;
  TExtractionInfo bare;
  if (ParseExtractionInfo(record, sizeof(record), bare) != TSelfCheckError::None ||
      bare.Kind() != TExtractionKind::NotSelfExtracting)
    return e;
  info = bare;
  return TSelfCheckError::None;
}
