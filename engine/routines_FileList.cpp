#include "routines_FileList.h"

#include <cstring>

#include "SysUtils.h"

namespace {
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
void PutDouble(std::uint8_t* p, double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, 8);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}
double GetDouble(const std::uint8_t* p) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}
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
  Put32(out.data(), static_cast<std::uint32_t>(entries.size()));
  std::uint8_t* r = out.data() + 4;
  for (const TFileListEntry& e : entries) {
    Put32(r, e.Size);
    PutDouble(r + 8, e.DateTime);
    PutText(r + 16, 40, e.Name);
    PutText(r + 56, 20, e.Version);
    r += kFileListRecordSize;
  }
  return out;
}

std::vector<TFileListEntry> DecodeFileList(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < 4) throw Exception("The file list is damaged");
  std::uint32_t count = Get32(bytes.data());
  if (count > (bytes.size() - 4) / kFileListRecordSize) throw Exception("The file list is damaged");
  std::vector<TFileListEntry> list;
  list.reserve(count);
  const std::uint8_t* r = bytes.data() + 4;
  for (std::uint32_t i = 0; i < count; ++i, r += kFileListRecordSize) {
    TFileListEntry e;
    e.Size = Get32(r);
    e.DateTime = GetDouble(r + 8);
    e.Name = GetText(r + 16, 40);
    e.Version = GetText(r + 56, 20);
    list.push_back(e);
  }
  return list;
}
