// Optimal-settings records: five doubles per index pair (a, b), kept for the
// application at 0x9000 + 40 (4a + b).
#include "calibration/EepromMap.h"
#include "core/Tessok_API.h"

using namespace tessok;

namespace {

// The record's address when the whole record lies below 0x10000. The reads
// address the EEPROM with 16 bits only, so a record beyond that could be written
// in one place and read from another: such records (and negative indexes) are refused.
bool RecordAddress(std::int64_t a, std::int64_t b, std::uint16_t* address) {
  const std::int64_t n = 4 * a + b;
  if (a < 0 || b < 0 || n < 0) return false;
  const std::int64_t start = eeprom::kOptimalSettingsBase + eeprom::kOptimalSettingsRecordSize * n;
  if (start + eeprom::kOptimalSettingsRecordSize - 1 > 0xFFFF) return false;
  *address = static_cast<std::uint16_t>(start);
  return true;
}

}  // namespace

bool Tessok_API::SaveOptimalSettings(int a, int b, const double* values) {
  std::uint16_t address = 0;
  if (!RecordAddress(a, b, &address)) return false;
  lastResult = 1;
  for (std::uint32_t i = 0; i < 5; ++i) lastResult &= WriteEEPROMAddress(address + 8u * i, values[i]);
  return lastResult != 0;
}

bool Tessok_API::ReadOptimalSettings(std::uint32_t a, std::uint32_t b, double* values) {
  std::uint16_t address = 0;
  if (!RecordAddress(a, b, &address)) return false;
  lastResult = 1;
  for (int i = 0; i < 5; ++i) {
    lastResult &= ReadEEPROMQword(static_cast<std::uint16_t>(address + 8 * i), &values[i]);
  }
  return lastResult != 0;
}
