#include "format_Signed.h"

#include <cstring>

namespace {

constexpr std::size_t kTrailerSize = 40;
constexpr std::uint32_t kTableAlignment = 8;
constexpr std::uint32_t kSecurityDirectory = 4;

std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

void ZeroRange(std::uint64_t fieldAt, std::uint64_t fieldSize, std::uint64_t offset, std::uint8_t* block,
               std::size_t size) {
  const std::uint64_t from = fieldAt > offset ? fieldAt : offset;
  const std::uint64_t to = fieldAt + fieldSize < offset + size ? fieldAt + fieldSize : offset + size;
  if (from < to) std::memset(block + (from - offset), 0, static_cast<std::size_t>(to - from));
}

}  // namespace

bool ReadPeSignFields(std::uint64_t fileSize, TRandomRead& file, TPeSignFields& fields) {
  fields = TPeSignFields();
  std::uint8_t dos[64];
  if (fileSize < sizeof(dos) || !file.ReadAt(0, dos, sizeof(dos)) || dos[0] != 'M' || dos[1] != 'Z') return false;
  const std::uint64_t pe = Le32(dos + 0x3C);
  // Signature (4), file header (20), optional header up to its directories.
  std::uint8_t head[24 + 112];
  if (pe > fileSize || fileSize - pe < 24 + 2 || !file.ReadAt(pe, head, 24 + 2)) return false;
  if (std::memcmp(head, "PE\0\0", 4) != 0) return false;
  const std::uint16_t optionalSize = Le16(head + 20);
  const std::uint16_t magic = Le16(head + 24);
  std::uint32_t directories;  // offset of the data directories in the optional header
  if (magic == 0x10B) directories = 96;
  else if (magic == 0x20B) directories = 112;
  else return false;
  if (fileSize - pe < sizeof(head) || !file.ReadAt(pe, head, sizeof(head))) return false;
  const std::uint32_t count = Le32(head + 24 + directories - 4);
  const std::uint32_t entry = directories + 8 * kSecurityDirectory;
  if (count <= kSecurityDirectory || optionalSize < entry + 8) return false;
  const std::uint64_t entryAt = pe + 24 + entry;
  std::uint8_t e[8];
  if (entryAt > fileSize || fileSize - entryAt < sizeof(e) || !file.ReadAt(entryAt, e, sizeof(e))) return false;
  fields.CheckSumAt = pe + 24 + 64;
  fields.SecurityEntryAt = entryAt;
  fields.TableAt = Le32(e);
  fields.TableSize = Le32(e + 4);
  return true;
}

TSealLayoutError LocateSeal(std::uint64_t fileSize, TRandomRead& file, TSealLayout& layout) {
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

void ZeroSignFields(const TPeSignFields& fields, std::uint64_t offset, void* block, std::size_t size) {
  auto* p = static_cast<std::uint8_t*>(block);
  ZeroRange(fields.CheckSumAt, 4, offset, p, size);
  ZeroRange(fields.SecurityEntryAt, 8, offset, p, size);
}
