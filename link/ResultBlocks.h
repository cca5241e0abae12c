// Decoders of the result blocks the instrument sends back for the block,
// bathtub and histogram requests. A block is received whole into the caller's
// buffer; entries are little-endian and counted from the start of the block.
// The decoders read only the bytes of the entry asked for; the caller keeps
// the entry inside the bytes it received.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/Packet.h"

namespace tessok::link {

// A 16-bit count and the multiplier word that scales it.
struct CountWithMultiplier {
  std::uint16_t count;
  std::uint16_t multiplier;
  bool operator==(const CountWithMultiplier&) const = default;
};

// Block k of a multi-block receive area: the block that starts k * 1024 bytes in.
inline const std::uint8_t* BlockAt(const std::uint8_t* area, std::size_t k) { return area + k * kReplyCapacity; }
inline std::uint8_t* BlockAt(std::uint8_t* area, std::size_t k) { return area + k * kReplyCapacity; }

// Count i of a block of u16 counts: bytes 2i (low) and 2i+1.
inline std::uint16_t Count16(const std::uint8_t* block, std::size_t i) { return GetU16(block + 2 * i); }

// Count i of a block of u32 counts: bytes 4i to 4i+3, the low u16 first, then the high u16.
inline std::uint32_t Count32(const std::uint8_t* block, std::size_t i) { return GetU32(block + 4 * i); }

// Count i of a block of signed 32-bit counts (two's complement, laid out as Count32).
inline std::int32_t SignedCount32(const std::uint8_t* block, std::size_t i) {
  return static_cast<std::int32_t>(Count32(block, i));
}

// Pair i of a block of (count, multiplier) u16 pairs: the count at byte 4i, the multiplier at 4i+2.
inline CountWithMultiplier CountPair(const std::uint8_t* block, std::size_t i) {
  return {GetU16(block + 4 * i), GetU16(block + 4 * i + 2)};
}

}  // namespace tessok::link
