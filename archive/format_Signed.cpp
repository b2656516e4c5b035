#include "format_Signed.h"

#include <cstring>

namespace {

void ZeroRange(std::uint64_t fieldAt, std::uint64_t fieldSize, std::uint64_t offset, std::uint8_t* block,
               std::size_t size) {
  const std::uint64_t from = fieldAt > offset ? fieldAt : offset;
  const std::uint64_t to = fieldAt + fieldSize < offset + size ? fieldAt + fieldSize : offset + size;
  if (from < to) std::memset(block + (from - offset), 0, static_cast<std::size_t>(to - from));
}

}  // namespace

void ZeroSignFields(const TPeSignFields& fields, std::uint64_t offset, void* block, std::size_t size) {
  auto* p = static_cast<std::uint8_t*>(block);
  ZeroRange(fields.CheckSumAt, 4, offset, p, size);
  ZeroRange(fields.SecurityEntryAt, 8, offset, p, size);
}
