// The whole-file checksum that seals a self-extracting executable: the SHA-0
// digest as 40 upper-case hexadecimal characters.
#pragma once
#include <string>

#include "format_Signed.h"

// Digest of the file; with excludeTrailer, of all but its last 40 bytes.
std::string ComputeFileChecksum(const std::string& fileName, bool excludeTrailer);
// Appends the 40 characters of checksum (computed over the whole file when
// empty) to the end of the file.
void AppendFileChecksum(const std::string& fileName, std::string checksum);

// Where the checksum trailer of the file ends, and the header fields a
// signature behind it rewrote; false when the file cannot be read or its
// certificate table does not follow the trailer (format_Signed.h).
bool ReadSealLayout(const std::string& fileName, TSealLayout& layout);
// Writes the CheckSum field and the security entry of a PE image as zero, as
// a build seals them; other files are left as they are.
void ClearSignFields(const std::string& fileName);
