// Self-check of the self-extracting setup program, before it unpacks
// anything: the SHA-0 digest, the 40-character checksum trailer that seals
// the file, and the 56-byte extraction-info record in front of it.
//
// Layout of the end of a sealed file:
//   ... setup.1 | files.1 (optional) | extraction info (56) | checksum (40)
// The checksum is the SHA-0 digest, in upper-case hexadecimal, of every
// byte before it. A signed file carries its certificate table behind the
// checksum (format_Signed.h); its digest reads the header fields that
// signing rewrites as zero.
//
// This module depends on the C++ library, the archive format's record codec
// and the SHA-0 digest only, and builds with any compiler.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "bytesource.h"
#include "format_Archive.h"
#include "format_Signed.h"
#include "hash_SHA0.h"

enum class TSelfCheckError {
  None,
  CannotOpen,        // the file cannot be opened
  ReadError,         // a read failed although the file is long enough
  NoChecksum,        // too short for a checksum, or the trailer is not 40 hex digits
  ChecksumMismatch,  // the bytes do not match their checksum
  NoExtractionInfo,  // too short for the record, or no known marker
  BadExtractionInfo,  // the record's offsets do not describe this file
  MisplacedSignature  // a certificate table that does not follow the checksum and end the file
};

// The text a user is shown for a failed check.
const char* SelfCheckMessage(TSelfCheckError error);

// Where the trailer of the file ends (format_Signed.h).
TSelfCheckError LocateSeal(TByteSource& source, TSealLayout& layout);

// Checks the trailer against the SHA-0 digest of every byte before it.
// computed, when given, receives the digest (empty when none was computed).
TSelfCheckError VerifyChecksumTrailer(TByteSource& source, std::string* computed = nullptr);

// Smallest archive: a member count and the layout flag.
constexpr std::int32_t MinimumArchiveSize = 5;

// Decodes a record of `size` bytes and checks it on its own: the marker
// ("SELFEXTRACTING" or "NOTSELFEXTRACT" with its length byte), zero
// offsets for a separate-archives record, and for a self-extracting one a
// setup archive behind the program, of at least the smallest archive size,
// with the main archive, when present, directly after it.
TSelfCheckError ParseExtractionInfo(const void* record, std::size_t size, TExtractionInfo& info);

// Checks that the archives of a self-extracting record end exactly where the
// record starts (recordOffset: its position in the file).
TSelfCheckError ValidateExtractionInfo(const TExtractionInfo& info, std::uint64_t recordOffset);

// Reads, decodes and validates the record before the trailer of a sealed file.
TSelfCheckError ReadExtractionInfo(TByteSource& source, TExtractionInfo& info);

// The whole check: the checksum first, then the record.
TSelfCheckError CheckSelfExtractingFile(TByteSource& source, TExtractionInfo& info);
TSelfCheckError CheckSelfExtractingFile(const std::string& path, TExtractionInfo& info);

// The check the loading program makes of itself. Besides a sealed file it
// accepts the copy that the floppy transfer writes: the program followed by
// a bare "NOTSELFEXTRACT" record, without checksum (nothing is embedded in
// it to protect). sealed, when given, tells which of the two was found.
TSelfCheckError CheckSetupFile(TByteSource& source, TExtractionInfo& info, bool* sealed = nullptr);
