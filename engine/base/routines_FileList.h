// "filelist.lst": the files a web or net distribution stores in archives of
// their own. A 32-bit count, then 80-byte records (little-endian):
//   0 size (4), 4 reserved (4), 8 date-time (8-byte float, days since
//   1899-12-30), 16 component name (40, zero-terminated), 56 version text
//   (20, zero-terminated), 76 reserved (4).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TFileListEntry {
  std::uint32_t Size = 0;
  double DateTime = 0.0;
  std::string Name;     // at most 39 characters are stored
  std::string Version;  // at most 19 characters are stored
};

constexpr std::size_t kFileListRecordSize = 80;

std::vector<std::uint8_t> EncodeFileList(const std::vector<TFileListEntry>& entries);
// Raises Exception "The file list is damaged" when the bytes are not a whole list.
std::vector<TFileListEntry> DecodeFileList(const std::vector<std::uint8_t>& bytes);
