// Byte-by-byte EEPROM access through the address register (10) and the data
// register (11), shared by the status table, the raw double accesses and the
// per-rate values. A double is 8 bytes, least significant first.
#pragma once

#include <cstdint>

class Tessok_API;

namespace tessok::eeprom {

// Reads the double at an address through registers 10 and 11, one byte per
// address/data pair (address in word 0, data in word 2, the low byte of each
// data word kept), and stores it (also when a transfer failed). Each byte takes
// its own bank as the write does: 1 from 0x10000 up (register 10 then holds the
// low 16 bits), else 0. waitMs after each byte when non-zero (10 ms for the
// status table). Returns the AND of the 16 transfer results.
std::uint8_t ReadDoubleBytewise(Tessok_API& api, std::uint32_t address, double* value, std::uint32_t waitMs = 10);

// Writes a double at an address, one byte per address/data pair (address in
// word 0, byte in word 2). Each byte takes its own bank: 1 from 0x10000 up,
// else 0, so a double that crosses 0x10000 continues in bank 1. waitMs after
// each byte when non-zero. Returns the AND of the 16 transfer results.
std::uint8_t WriteDoubleBytewise(Tessok_API& api, std::uint32_t address, double value, std::uint32_t waitMs);

}  // namespace tessok::eeprom
