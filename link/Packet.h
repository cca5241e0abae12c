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

// Byte 2 of the EEPROM page commands, and their byte 3: the page length.
inline constexpr std::uint8_t kEepromPageWrite = 0x00;
inline constexpr std::uint8_t kEepromPageRead = 0x01;
inline constexpr std::uint8_t kEepromPageLength = 0x80;
// Byte 2 of the module-bus commands.
inline constexpr std::uint8_t kModuleBusWrite = 0x00;
inline constexpr std::uint8_t kModuleBusRead = 0x01;
// Bytes 3 and 4 of the result-block request, byte 4 of the vertical bathtub request.
inline constexpr std::uint8_t kWholeBlock = 0x7F;
// Where the data of an EEPROM page write and of a module-bus write start.
inline constexpr std::size_t kEepromPageDataOffset = 9;
inline constexpr std::size_t kModuleBusDataOffset = 9;
// Module-bus data bytes that fit in a packet (bytes 9 to 127).
inline constexpr std::size_t kModuleBusMaxData = kPacketSize - kModuleBusDataOffset;

// Reply bytes a command needs: a register value is reply bytes 1-2, a page is reply bytes 0-127.
inline constexpr std::size_t kRegisterReplyMinimum = 3;
inline constexpr std::size_t kEepromPageReplyMinimum = 128;

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

inline std::uint16_t GetU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

inline std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// ---- Command headers ----
// Each builder writes only the bytes its command defines into the packet p
// (kPacketSize bytes) and leaves every other byte as it was.

namespace detail {
inline void PutRegisterHeader(std::uint8_t* p, std::uint16_t controlWord) {
  p[0] = kRegisterAccess;
  p[1] = 0x00;
  p[2] = 0x00;
  p[3] = 0x00;
  PutU16(&p[4], controlWord);
}

inline void PutExtendedHeader(std::uint8_t* p, std::uint8_t sub, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4) {
  p[0] = kExtendedCommand;
  p[1] = sub;
  p[2] = b2;
  p[3] = b3;
  p[4] = b4;
}
}  // namespace detail

// Bytes 0-5: F0 00 00 00, the read control word.
inline void BuildRegisterRead(std::uint8_t* p, std::uint16_t bank, std::uint16_t reg) {
  detail::PutRegisterHeader(p, ReadControlWord(bank, reg));
}

// Bytes 0-7: F0 00 00 00, the write control word, the data word.
inline void BuildRegisterWrite(std::uint8_t* p, std::uint16_t bank, std::uint16_t reg, std::uint16_t data) {
  detail::PutRegisterHeader(p, WriteControlWord(bank, reg));
  PutU16(&p[6], data);
}

// Bytes 0-4: F1 02 bank 7F 7F.
inline void BuildResultBlockRequest(std::uint8_t* p, std::uint8_t bank) {
  detail::PutExtendedHeader(p, kSubBlock, bank, kWholeBlock, kWholeBlock);
}

// Bytes 0-1: F1 02.
inline void BuildRawBlockRequest(std::uint8_t* p) {
  p[0] = kExtendedCommand;
  p[1] = kSubBlock;
}

// Bytes 0-2: F1 02 bank.
inline void BuildRepeatedBlockRequest(std::uint8_t* p, std::uint8_t bank) {
  BuildRawBlockRequest(p);
  p[2] = bank;
}

// Bytes 0-2 and 4: F1 02 bank, 00; byte 3 is the block number (PutBlockNumber).
inline void BuildNumberedBlockRequest(std::uint8_t* p, std::uint8_t bank) {
  BuildRepeatedBlockRequest(p, bank);
  p[4] = 0x00;
}

// Byte 3 of the numbered block request: the low byte of k.
inline void PutBlockNumber(std::uint8_t* p, std::uint16_t k) { p[3] = static_cast<std::uint8_t>(k & 0xFF); }

// Bytes 0-4: F1 03 channel b c.
inline void BuildBathtubRequest(std::uint8_t* p, std::uint8_t channel, std::uint8_t b, std::uint8_t c) {
  detail::PutExtendedHeader(p, kSubBathtub, channel, b, c);
}

// Bytes 0-4: F1 04 channel b 7F.
inline void BuildVerticalBathtubRequest(std::uint8_t* p, std::uint8_t channel, std::uint8_t b) {
  detail::PutExtendedHeader(p, kSubVerticalBathtub, channel, b, kWholeBlock);
}

// Bytes 0-8: F1 00 01 80 device, the address (u32).
inline void BuildEepromPageRead(std::uint8_t* p, std::uint8_t device, std::uint32_t address) {
  detail::PutExtendedHeader(p, kSubEeprom, kEepromPageRead, kEepromPageLength, device);
  PutU32(&p[5], address);
}

// Bytes 0-8: F1 00 00 80 device, the address (u32); the page follows from byte 9.
inline void BuildEepromPageWriteHeader(std::uint8_t* p, std::uint8_t device, std::uint32_t address) {
  detail::PutExtendedHeader(p, kSubEeprom, kEepromPageWrite, kEepromPageLength, device);
  PutU32(&p[5], address);
}

// Bytes 0-5: F1 06 01 len a b.
inline void BuildModuleBusReadHeader(std::uint8_t* p, std::uint8_t a, std::uint8_t len, std::uint8_t b) {
  detail::PutExtendedHeader(p, kSubModuleBus, kModuleBusRead, len, a);
  p[5] = b;
}

// Bytes 0-5: F1 06 00 len a b; the data follows from byte 9 (bytes 6-8 are kept).
inline void BuildModuleBusWriteHeader(std::uint8_t* p, std::uint8_t a, std::uint8_t len, std::uint8_t b) {
  detail::PutExtendedHeader(p, kSubModuleBus, kModuleBusWrite, len, a);
  p[5] = b;
}

// Bytes 0-19: F1 07 00 00, the ten bytes of first, word, the four bytes of last.
inline void BuildParameterBlock(std::uint8_t* p, const std::uint8_t (&first)[10], std::uint16_t word,
                                const std::uint8_t (&last)[4]) {
  p[0] = kExtendedCommand;
  p[1] = kSubParameterBlock;
  p[2] = 0x00;
  p[3] = 0x00;
  for (std::size_t i = 0; i < 10; ++i) p[4 + i] = first[i];
  PutU16(&p[14], word);
  for (std::size_t i = 0; i < 4; ++i) p[16 + i] = last[i];
}

}  // namespace tessok::link
