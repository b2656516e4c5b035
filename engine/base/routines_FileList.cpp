#include "routines_FileList.h"

#include <cstring>

#include "ByteOrder.h"
#include "SysUtils.h"

namespace {
void PutText(std::uint8_t* p, std::size_t field, const std::string& s) {
  std::size_t n = s.size() < field - 1 ? s.size() : field - 1;
  std::memcpy(p, s.data(), n);
}
std::string GetText(const std::uint8_t* p, std::size_t field) {
  std::size_t n = 0;
  while (n < field && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}
}  // namespace

std::vector<std::uint8_t> EncodeFileList(const std::vector<TFileListEntry>& entries) {
  std::vector<std::uint8_t> out(4 + entries.size() * kFileListRecordSize, 0);
  PutLE32(out.data(), static_cast<std::uint32_t>(entries.size()));
  std::uint8_t* r = out.data() + 4;
  for (const TFileListEntry& e : entries) {
    PutLE32(r, e.Size);
    PutLEDouble(r + 8, e.DateTime);
    PutText(r + 16, 40, e.Name);
    PutText(r + 56, 20, e.Version);
    r += kFileListRecordSize;
  }
  return out;
}

std::vector<TFileListEntry> DecodeFileList(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < 4) throw Exception("The file list is damaged");
  std::uint32_t count = GetLE32(bytes.data());
  if (count > (bytes.size() - 4) / kFileListRecordSize) throw Exception("The file list is damaged");
  std::vector<TFileListEntry> list;
  list.reserve(count);
  const std::uint8_t* r = bytes.data() + 4;
  for (std::uint32_t i = 0; i < count; ++i, r += kFileListRecordSize) {
    TFileListEntry e;
    e.Size = GetLE32(r);
    e.DateTime = GetLEDouble(r + 8);
    e.Name = GetText(r + 16, 40);
    e.Version = GetText(r + 56, 20);
    list.push_back(e);
  }
  return list;
}
