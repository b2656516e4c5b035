// Where the sealed part of a self-extracting file ends when a code signature
// follows it, and the fields of the PE header that a signature rewrites.
//
// Signing appends a certificate table at the end of the file, 8-byte
// aligned behind zero padding, writes its file position and size into the
// security entry of the optional header (data directory 4, whose address is
// a file offset) and a new value into the header's CheckSum field:
//
//   unsigned: program | setup.1 | files.1 | record (56) | checksum (40)
//   signed:   program | setup.1 | files.1 | record (56) | checksum (40) | 0-7 zero bytes | certificate table
//
// The build writes the CheckSum field and the security entry as zero; the
// checksum of a signed file is the digest of its sealed part with those
// twelve bytes read as zero. Portable: the C++ library only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

// The functions read the file through a Reader: any object with
//   bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size)
// that reads exactly size bytes at offset, false when they are not all there.

struct TPeSignFields {
  std::uint64_t CheckSumAt = 0;       // file offset of the 4-byte CheckSum field
  std::uint64_t SecurityEntryAt = 0;  // file offset of the 8-byte security entry
  std::uint32_t TableAt = 0;          // the entry: the certificate table's position and size
  std::uint32_t TableSize = 0;
  bool HasTable() const { return TableAt != 0 || TableSize != 0; }
};

// The fields of a PE image's headers; false when the file is no PE image
// (or its optional header has no security entry).
template <class Reader>
bool ReadPeSignFields(std::uint64_t fileSize, Reader& file, TPeSignFields& fields);

enum class TSealLayoutError {
  None,
  ReadError,  // a read failed although the file is long enough
  Misplaced   // a certificate table that does not follow the checksum and end the file
};

struct TSealLayout {
  std::uint64_t End = 0;  // the end of the checksum trailer
  bool Signed = false;    // a certificate table follows it
  TPeSignFields Fields;   // with Signed: the fields read as zero
};

// The layout of a file of fileSize bytes. An image without certificate
// table ends with its trailer. One with a table must have it start at the
// 8-byte aligned end of the trailer, behind zero padding, and run to the end
// of the file.
template <class Reader>
TSealLayoutError LocateSeal(std::uint64_t fileSize, Reader& file, TSealLayout& layout);

// Zeroes the bytes of the block [offset, offset + size) that fall on the
// CheckSum field or the security entry.
void ZeroSignFields(const TPeSignFields& fields, std::uint64_t offset, void* block, std::size_t size);

// ---- implementation

namespace signedfile {
constexpr std::size_t kTrailerSize = 40;
constexpr std::uint32_t kTableAlignment = 8;
constexpr std::uint32_t kSecurityDirectory = 4;
inline std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
}  // namespace signedfile

template <class Reader>
bool ReadPeSignFields(std::uint64_t fileSize, Reader& file, TPeSignFields& fields) {
  using namespace signedfile;
  fields = TPeSignFields();
  std::uint8_t dos[64];
  if (fileSize < sizeof(dos) || !file.ReadAt(0, dos, sizeof(dos)) || dos[0] != 'M' || dos[1] != 'Z') return false;
  const std::uint64_t pe = Le32(dos + 0x3C);
  // The signature (4), the file header (20) and the optional header up to
  // the end of the security entry of a PE32+ image.
  std::uint8_t h[24 + 112 + 8 * (kSecurityDirectory + 1)];
  if (pe > fileSize || fileSize - pe < sizeof(h) || !file.ReadAt(pe, h, sizeof(h)) ||
      std::memcmp(h, "PE\0\0", 4) != 0)
    return false;
  const std::uint16_t magic = Le16(h + 24);
  if (magic != 0x10B && magic != 0x20B) return false;
  // The data directories follow the optional header's fixed part, preceded
  // by their count.
  const std::uint32_t entry = (magic == 0x10B ? 96 : 112) + 8 * kSecurityDirectory;
  if (Le32(h + 24 + entry - 8 * kSecurityDirectory - 4) <= kSecurityDirectory || Le16(h + 20) < entry + 8)
    return false;
  fields.CheckSumAt = pe + 24 + 64;
  fields.SecurityEntryAt = pe + 24 + entry;
  fields.TableAt = Le32(h + 24 + entry);
  fields.TableSize = Le32(h + 24 + entry + 4);
  return true;
}

template <class Reader>
TSealLayoutError LocateSeal(std::uint64_t fileSize, Reader& file, TSealLayout& layout) {
  using namespace signedfile;
  layout = TSealLayout();
  layout.End = fileSize;
  TPeSignFields fields;
  if (!ReadPeSignFields(fileSize, file, fields) || !fields.HasTable()) return TSealLayoutError::None;
  const std::uint64_t table = fields.TableAt;
  if (table % kTableAlignment != 0 || table + fields.TableSize != fileSize || fields.TableSize < 8 ||
      table < fields.SecurityEntryAt + 8 + kTrailerSize)
    return TSealLayoutError::Misplaced;
  std::uint8_t tail[kTableAlignment];
  if (!file.ReadAt(table - sizeof(tail), tail, sizeof(tail))) return TSealLayoutError::ReadError;
  std::size_t padding = 0;
  while (padding < sizeof(tail) && tail[sizeof(tail) - 1 - padding] == 0) ++padding;
  if (padding == sizeof(tail)) return TSealLayoutError::Misplaced;
  layout.End = table - padding;
  layout.Signed = true;
  layout.Fields = fields;
  return TSealLayoutError::None;
}

