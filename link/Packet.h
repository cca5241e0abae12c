// The 128-byte command packets of the instrument link and their fields.
//
// Byte 0 is 0xF0 for a register access and 0xF1 for an extended command whose
// sub-command is byte 1. Multi-byte fields are little-endian. A command writes
// only the bytes it defines; the rest of the packet keeps what earlier commands
// left, so these helpers write fields into an existing buffer and never clear it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessok::link {

inline constexpr std::size_t kPacketSize = 128;
inline constexpr std::size_t kReplyCapacity = 1024;
inline constexpr std::uint16_t kInstrumentPort = 6653;
inline constexpr std::uint32_t kSocketTimeoutMs = 100000;

inline constexpr std::uint8_t kRegisterAccess = 0xF0;
inline constexpr std::uint8_t kExtendedCommand = 0xF1;

// Extended sub-commands (byte 1).
inline constexpr std::uint8_t kSubEeprom = 0x00;
inline constexpr std::uint8_t kSubBlock = 0x02;
inline constexpr std::uint8_t kSubBathtub = 0x03;
inline constexpr std::uint8_t kSubVerticalBathtub = 0x04;
inline constexpr std::uint8_t kSubModuleBus = 0x06;
inline constexpr std::uint8_t kSubParameterBlock = 0x07;

// Control word of a register read: bit 15 clear, bank in bits 14-11, register in 10-0.
constexpr std::uint16_t ReadControlWord(std::uint16_t bank, std::uint16_t reg) {
  return static_cast<std::uint16_t>(static_cast<std::uint16_t>((bank << 11) | reg) & 0x7FFF);
}

// Control word of a register write. The register is not masked: callers keep it below 0x800.
constexpr std::uint16_t WriteControlWord(std::uint16_t bank, std::uint16_t reg) {
  return static_cast<std::uint16_t>(0x8000 | ((bank & 15) << 11) | reg);
}

inline void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFF);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::uint16_t GetU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace tessok::link
