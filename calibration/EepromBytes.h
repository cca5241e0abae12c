// Byte-by-byte EEPROM reads shared by the status table and the raw double read.
#pragma once

#include <cstdint>

class Tessok_API;

namespace tessok::eeprom {

// Reads the double at a 16-bit address through registers 10 and 11 of bank 0,
// one byte per address/data pair with 10 ms after each byte, and stores it
// (also when a transfer failed). Returns the AND of the 16 transfer results.
std::uint8_t ReadDoubleBytewise(Tessok_API& api, std::uint16_t address, double* value);

}  // namespace tessok::eeprom
