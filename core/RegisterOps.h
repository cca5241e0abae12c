// Register helpers shared by the lane, pattern, counter, cage and clock
// operations. Each takes the instrument object and goes through its link
// (HwLayer::AccessRegister); the data words are the object's shared words:
// word 1 (the single-read word) for reads and word 6 (the main data word) for
// writes, unless a caller names another one, because later operations rely on
// what those words hold (Tessok_API::regScratch).
#pragma once

#include <cstdint>

class Tessok_API;

namespace tessok::regs {

inline constexpr int kSingleReadWord = 1;
inline constexpr int kMainDataWord = 6;

// Reads a register into the single-read word (or `word`) and copies it to
// *value; the link's result. After a failed read *value holds the previous
// reply's word, as the link leaves it.
std::uint8_t Read(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t* value,
                  int word = kSingleReadWord);

// Writes value through the main data word (or `word`); the link's result.
std::uint8_t Write(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t value,
                   int word = kMainDataWord);

// Read-modify-write of the bits in mask: reads the register (single-read
// word), then writes (old & ~mask) | (bits & mask) (main data word). When the
// read fails nothing is written and the result is 0: the word then holds the
// previous reply's value, which belongs to another register.
std::uint8_t UpdateBits(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t mask, std::uint16_t bits);

// Records a per-lane setting (status item of a lane, through the virtual
// Tessok_API::WriteStatusToEEProm), then writes the register. The result is the
// write's: the record's result is not examined and a failed record does not
// stop the write.
std::uint8_t RecordThenWrite(Tessok_API& api, int lane, int item, double recorded, std::uint16_t bank,
                             std::uint16_t reg, std::uint16_t value);

// The same in the other order, for the setters that record after writing; the
// record is made whatever the write reported. The result is the write's.
std::uint8_t WriteThenRecord(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t value, int lane,
                             int item, double recorded);

}  // namespace tessok::regs
