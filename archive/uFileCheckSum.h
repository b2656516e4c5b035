// The whole-file checksum that seals a self-extracting executable: the SHA-0
// digest as 40 upper-case hexadecimal characters.
#pragma once
#include <string>

// Digest of the file; with excludeTrailer, of all but its last 40 bytes.
std::string ComputeFileChecksum(const std::string& fileName, bool excludeTrailer);
// Appends the 40 characters of checksum (computed over the whole file when
// empty) to the end of the file.
void AppendFileChecksum(const std::string& fileName, std::string checksum);
