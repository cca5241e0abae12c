// Result-block payloads for the simulated instrument, built byte by byte in
// the instrument's little-endian layout (low byte, and low 16-bit word, first).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

// Eye-map blocks as the captures receive them, padded to 1024 bytes: a
// threshold row of the 128-step single capture (128 16-bit counts, column k
// at byte 2k), or a phase column of the other captures (256 32-bit counts,
// row r at byte 4r).
inline std::vector<std::uint8_t> EyeRowBlock(const std::function<std::uint16_t(int column)>& count) {
  std::vector<std::uint16_t> words;
  for (int k = 0; k < 128; ++k) words.push_back(count(k));
  return Padded(U16Payload(words));
}
inline std::vector<std::uint8_t> EyeColumnBlock(const std::function<std::uint32_t(int row)>& count) {
  std::vector<std::uint32_t> words;
  for (int r = 0; r < 256; ++r) words.push_back(count(r));
  return Padded(U32Payload(words));
}

}  // namespace tessok::test
