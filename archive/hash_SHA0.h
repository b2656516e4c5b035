// The SHA digest of the 1993 Secure Hash Standard (no rotation in the
// message schedule), 160 bits.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class TSha0 {
public:
  TSha0() { Reset(); }
  void Reset();
  void Update(const void* data, std::size_t length);
  // Finishes the digest and returns it as 40 upper-case hexadecimal digits.
  std::string HexDigest();
  std::string FinalHex() { return HexDigest(); }

private:
  void Block(const std::uint8_t* p);
  std::uint32_t h_[5];
  std::uint8_t buf_[64];
  std::size_t bufLen_ = 0;
  std::uint64_t length_ = 0;
};

std::string Sha0Hex(const std::string& data);
std::string Sha0Hex(const void* data, std::size_t size);
