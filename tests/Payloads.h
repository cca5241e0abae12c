// Result-block payloads for the simulated instrument, built byte by byte in
// the instrument's little-endian layout (low byte, and low 16-bit word, first).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace tessok::test {

// 16-bit words, word i at byte 2i.
inline std::vector<std::uint8_t> U16Payload(const std::vector<std::uint16_t>& words) {
  std::vector<std::uint8_t> out;
  for (std::uint16_t w : words) {
    out.push_back(static_cast<std::uint8_t>(w & 0xFF));
    out.push_back(static_cast<std::uint8_t>(w >> 8));
  }
  return out;
}

// 32-bit words, word i at byte 4i: the low 16-bit word first.
inline std::vector<std::uint8_t> U32Payload(const std::vector<std::uint32_t>& words) {
  std::vector<std::uint16_t> halves;
  for (std::uint32_t w : words) {
    halves.push_back(static_cast<std::uint16_t>(w & 0xFFFF));
    halves.push_back(static_cast<std::uint16_t>(w >> 16));
  }
  return U16Payload(halves);
}

// Pairs of 16-bit words (count, multiplier), pair i at byte 4i.
inline std::vector<std::uint8_t> PairPayload(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& pairs) {
  std::vector<std::uint16_t> words;
  for (auto [count, multiplier] : pairs) {
    words.push_back(count);
    words.push_back(multiplier);
  }
  return U16Payload(words);
}

// A payload padded with zero bytes to `length` (the instrument's replies are
// 1024 bytes long).
inline std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> payload, std::size_t length = 1024) {
  if (payload.size() < length) payload.resize(length, 0);
  return payload;
}

}  // namespace tessok::test
