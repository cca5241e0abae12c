// Byte-by-byte EEPROM access through the address register (10) and the data
// register (11), shared by the status table, the raw double accesses and the
// per-rate values. A double is 8 bytes, least significant first.
#pragma once

#include <cstdint>

class Tessok_API;

namespace tessok::eeprom {

// Reads the double at a 16-bit address through registers 10 and 11 of bank 0,
// one byte per address/data pair (the low byte of each data word) with 10 ms
// after each byte, and stores it (also when a transfer failed). Returns the
// AND of the 16 transfer results.
std::uint8_t ReadDoubleBytewise(Tessok_API& api, std::uint16_t address, double* value);

// Writes a double at an address, one byte per address/data pair (address in
// word 0, byte in word 2). Each byte takes its own bank: 1 from 0x10000 up,
// else 0, so a double that crosses 0x10000 continues in bank 1. waitMs after
// each byte when non-zero. Returns the AND of the 16 transfer results.
std::uint8_t WriteDoubleBytewise(Tessok_API& api, std::uint32_t address, double value, std::uint32_t waitMs);

}  // namespace tessok::eeprom
