// The text side of the long user-pattern upload: how long a text may be, how
// it is repeated to fill whole blocks of 80 pattern bits and parsed into the
// block words, before anything is sent to the pattern memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "signal/Registers.h"

class Tessok_API;

namespace tessok::patterns {

inline constexpr int kBlockBits = 80;   // one block: five 16-bit words
inline constexpr int kMaxBlocks = 414;  // the pattern memory holds this many blocks

// Text forms of the upload's mode argument; any other mode is binary text.
inline constexpr std::uint32_t kModePam4 = 1;  // symbols '0'-'3', 2 bits each
inline constexpr std::uint32_t kModeHex = 2;   // digits, 4 bits each

struct UploadPlan {
  std::uint32_t bits = 0;            // pattern bits of the text
  std::vector<std::uint16_t> words;  // reg::kPatternBlockWords per block, block 0 first
  int Blocks() const { return static_cast<int>(words.size() / reg::kPatternBlockWords); }
};

// Checks the length of the text, repeats it and parses every block word with
// the mode's parser (the virtual parsers of api). False for an empty text,
// fewer than 80 bits, more than kMaxBlocks blocks or a rejected character;
// *plan is then unspecified.
bool PlanUpload(Tessok_API& api, std::string text, std::uint32_t mode, UploadPlan* plan);

}  // namespace tessok::patterns
