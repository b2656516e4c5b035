// Small sets over enumerations, stored as bit masks: ordinal n is bit n,
// exactly as the sets are laid out in streams and records.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <type_traits>

template <typename E, typename Bits = std::uint32_t>
class TSet {
public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items) {
    for (E e : items) bits_ |= Bit(e);
  }
  static constexpr TSet FromBits(Bits b) { TSet s; s.bits_ = b; return s; }
  constexpr Bits ToBits() const { return bits_; }
  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  TSet& Include(E e) { bits_ |= Bit(e); return *this; }
  TSet& Exclude(E e) { bits_ &= static_cast<Bits>(~Bit(e)); return *this; }
  constexpr TSet operator+(TSet o) const { return FromBits(bits_ | o.bits_); }
  constexpr TSet operator-(TSet o) const { return FromBits(bits_ & static_cast<Bits>(~o.bits_)); }
  constexpr TSet operator*(TSet o) const { return FromBits(bits_ & o.bits_); }
  constexpr bool operator==(TSet o) const { return bits_ == o.bits_; }
  constexpr bool operator!=(TSet o) const { return bits_ != o.bits_; }

private:
  static constexpr Bits Bit(E e) {
    return static_cast<Bits>(Bits(1) << static_cast<unsigned>(static_cast<std::underlying_type_t<E>>(e)));
  }
  Bits bits_ = 0;
};
