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

// Random read access to a file's bytes.
class TRandomRead {
public:
  virtual ~TRandomRead() = default;
  // Reads exactly size bytes at offset; false when they are not all there.
  virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) = 0;
};

struct TPeSignFields {
  std::uint64_t CheckSumAt = 0;       // file offset of the 4-byte CheckSum field
  std::uint64_t SecurityEntryAt = 0;  // file offset of the 8-byte security entry
  std::uint32_t TableAt = 0;          // the entry: the certificate table's position and size
  std::uint32_t TableSize = 0;
  bool HasTable() const { return TableAt != 0 || TableSize != 0; }
};

// The fields of a PE image's headers; false when the file is no PE image
// (or its optional header has no security entry).
bool ReadPeSignFields(std::uint64_t fileSize, TRandomRead& file, TPeSignFields& fields);

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
TSealLayoutError LocateSeal(std::uint64_t fileSize, TRandomRead& file, TSealLayout& layout);

// Zeroes the bytes of the block [offset, offset + size) that fall on the
// CheckSum field or the security entry.
void ZeroSignFields(const TPeSignFields& fields, std::uint64_t offset, void* block, std::size_t size);
