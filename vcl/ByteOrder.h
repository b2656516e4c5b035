// Little-endian numbers in byte buffers, lowest byte first, as the archive,
// the file list, the form stream and the picture formats store them.
// Header-only and free of the C++ library, so that the loading program can
// use it too.
#pragma once
#include <cstdint>
#include <cstring>

// The n bytes (1 to 8) at p as an unsigned number.
inline std::uint64_t GetLE(const std::uint8_t* p, int n) {
  std::uint64_t v = 0;
  for (int i = 0; i < n; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  return v;
}
// Stores the low n bytes (1 to 8) of v at p.
inline void PutLE(std::uint8_t* p, std::uint64_t v, int n) {
  for (int i = 0; i < n; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::uint16_t GetLE16(const std::uint8_t* p) { return static_cast<std::uint16_t>(GetLE(p, 2)); }
inline std::uint32_t GetLE32(const std::uint8_t* p) { return static_cast<std::uint32_t>(GetLE(p, 4)); }
inline void PutLE32(std::uint8_t* p, std::uint32_t v) { PutLE(p, v, 4); }
inline std::int32_t GetLEInt32(const std::uint8_t* p) { return static_cast<std::int32_t>(GetLE32(p)); }
inline void PutLEInt32(std::uint8_t* p, std::int32_t v) { PutLE32(p, static_cast<std::uint32_t>(v)); }

// A double as its eight bytes.
inline double GetLEDouble(const std::uint8_t* p) {
  const std::uint64_t bits = GetLE(p, 8);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}
inline void PutLEDouble(std::uint8_t* p, double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, 8);
  PutLE(p, bits, 8);
}
