// Raw EEPROM access: byte by byte through the address register (10) and the
// data register (11), and in 128-byte pages through the page-read command.
#include <cstring>

#include "calibration/EepromBytes.h"
#include "calibration/EepromMap.h"
#include "core/Tessok_API.h"
#include "platform/Sleep.h"

using namespace tessok;

std::uint8_t Tessok_API::WriteEEPROMAddress(std::uint32_t address, double value) {
  return eeprom::WriteDoubleBytewise(*this, address, value, 0);
}

std::uint8_t eeprom::WriteDoubleBytewise(Tessok_API& api, std::uint32_t address, double value, std::uint32_t waitMs) {
  std::memcpy(api.eepromBytes, &value, 8);
  RegScratch& w = api.regScratch;
  std::uint8_t result = 1;
  for (std::uint32_t i = 0; i < 8; ++i) {
    const std::uint32_t at = address + i;
    const std::uint16_t bank = at >= kBankBoundary ? 1 : 0;
    w.word[0] = static_cast<std::uint16_t>(at & 0xFFFF);
    result &= api.hwLayer.AccessRegister(1, bank, kAddressRegister, &w.word[0]);
    w.word[2] = api.eepromBytes[i];
    result &= api.hwLayer.AccessRegister(1, bank, kDataRegister, &w.word[2]);
    if (waitMs != 0) platform::SleepMs(waitMs);
  }
  return result;
}

std::uint32_t Tessok_API::ReadEEPROMAddress(std::uint32_t address, std::uint16_t* value) {
  std::uint8_t page[128];
  lastResult = hwLayer.ReadEEPROMPage(0, address, page) ? 1 : 0;
  *value = static_cast<std::uint16_t>(page[0] | (page[1] << 8));
  return lastResult;
}

std::uint8_t eeprom::ReadDoubleBytewise(Tessok_API& api, std::uint32_t address, double* value, std::uint32_t waitMs) {
  RegScratch& w = api.regScratch;
  std::uint8_t bytes[8];
  std::uint8_t result = 1;
  for (std::uint32_t i = 0; i < 8; ++i) {
    const std::uint32_t at = address + i;
    const std::uint16_t bank = at >= kBankBoundary ? 1 : 0;
    w.word[0] = static_cast<std::uint16_t>(at & 0xFFFF);
    result &= api.hwLayer.AccessRegister(1, bank, eeprom::kAddressRegister, &w.word[0]);
    result &= api.hwLayer.AccessRegister(0, bank, eeprom::kDataRegister, &w.word[2]);
    bytes[i] = static_cast<std::uint8_t>(w.word[2] & 0xFF);  // the low byte only
    if (waitMs != 0) platform::SleepMs(waitMs);
  }
  std::memcpy(&w.qword, bytes, 8);
  std::memcpy(value, bytes, 8);
  return result;
}

std::uint8_t Tessok_API::ReadEEPROMQword(std::uint16_t address, double* value) {
  lastStatus = eeprom::ReadDoubleBytewise(*this, address, value);
  return lastStatus;
}

std::uint8_t Tessok_API::WriteValueToEEPROM(std::uint16_t address, std::uint16_t value) {
  regScratch.word[0] = address;
  lastStatus = AccessBoardRegister(1, 0, eeprom::kAddressRegister, &regScratch.word[0]) != 0 ? 1 : 0;
  regScratch.word[2] = value;  // the whole word, high byte included
  const bool written = AccessBoardRegister(1, 0, eeprom::kDataRegister, &regScratch.word[2]) != 0;
  lastStatus = (lastStatus != 0 && written) ? 1 : 0;
  return lastStatus;
}

std::uint8_t Tessok_API::ReadValueFromEEPROM(std::uint16_t address, std::uint16_t* value) {
  regScratch.word[2] = 0;
  regScratch.word[0] = address;
  lastStatus = AccessBoardRegister(1, 0, eeprom::kAddressRegister, &regScratch.word[0]) != 0 ? 1 : 0;
  const bool read = AccessBoardRegister(0, 0, eeprom::kDataRegister, &regScratch.word[2]) != 0;
  lastStatus = (lastStatus != 0 && read) ? 1 : 0;
  *value = regScratch.word[2];  // the whole 16-bit word, not masked to its low byte
  return lastStatus;
}
