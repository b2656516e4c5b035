#include "hash_SHA0.h"

#include <cstring>

namespace {
inline std::uint32_t Rol(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
}  // namespace

void TSha0::Reset() {
  h_[0] = 0x67452301u;
  h_[1] = 0xEFCDAB89u;
  h_[2] = 0x98BADCFEu;
  h_[3] = 0x10325476u;
  h_[4] = 0xC3D2E1F0u;
  bufLen_ = 0;
  length_ = 0;
}

void TSha0::Block(const std::uint8_t* p) {
  std::uint32_t w[80];
  for (int i = 0; i < 16; ++i)
    w[i] = (std::uint32_t(p[4 * i]) << 24) | (std::uint32_t(p[4 * i + 1]) << 16) |
           (std::uint32_t(p[4 * i + 2]) << 8) | std::uint32_t(p[4 * i + 3]);
  for (int i = 16; i < 80; ++i) w[i] = w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16];
  std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4];
  for (int i = 0; i < 80; ++i) {
    std::uint32_t f, k;
    if (i < 20) { f = (b & c) | (~b & d); k = 0x5A827999u; }
    else if (i < 40) { f = b ^ c ^ d; k = 0x6ED9EBA1u; }
    else if (i < 60) { f = (b & c) | (b & d) | (c & d); k = 0x8F1BBCDCu; }
    else { f = b ^ c ^ d; k = 0xCA62C1D6u; }
    std::uint32_t t = Rol(a, 5) + f + e + k + w[i];
    e = d; d = c; c = Rol(b, 30); b = a; a = t;
  }
  h_[0] += a; h_[1] += b; h_[2] += c; h_[3] += d; h_[4] += e;
}

void TSha0::Update(const void* data, std::size_t length) {
  if (length == 0) return;
  const std::uint8_t* p = static_cast<const std::uint8_t*>(data);
  length_ += length;
  if (bufLen_ > 0) {
    std::size_t n = 64 - bufLen_ < length ? 64 - bufLen_ : length;
    std::memcpy(buf_ + bufLen_, p, n);
    bufLen_ += n; p += n; length -= n;
    if (bufLen_ == 64) { Block(buf_); bufLen_ = 0; }
  }
  while (length >= 64) { Block(p); p += 64; length -= 64; }
  if (length > 0) { std::memcpy(buf_, p, length); bufLen_ = length; }
}

std::string TSha0::HexDigest() {
  std::uint64_t bits = length_ * 8;
  std::uint8_t pad = 0x80;
  Update(&pad, 1);
  std::uint8_t zero = 0;
  while (bufLen_ != 56) Update(&zero, 1);
  std::uint8_t len[8];
  for (int i = 0; i < 8; ++i) len[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  Update(len, 8);
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (std::uint32_t v : h_)
    for (int s = 28; s >= 0; s -= 4) out += hex[(v >> s) & 15];
  Reset();
  return out;
}

std::string Sha0Hex(const std::string& data) {
  TSha0 h;
  h.Update(data.data(), data.size());
  return h.HexDigest();
}

std::string Sha0Hex(const void* data, std::size_t size) {
  TSha0 h;
  h.Update(data, size);
  return h.HexDigest();
}
