#include "core/RegisterOps.h"

#include "core/Tessok_API.h"

namespace tessok::regs {

std::uint8_t Read(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t* value, int word) {
  std::uint16_t& w = api.regScratch.word[word];
  const std::uint8_t ok = api.hwLayer.AccessRegister(0, bank, reg, &w);
  *value = w;
  return ok;
}

std::uint8_t Write(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t value, int word) {
  std::uint16_t& w = api.regScratch.word[word];
  w = value;
  return api.hwLayer.AccessRegister(1, bank, reg, &w);
}

std::uint8_t UpdateBits(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t mask,
                        std::uint16_t bits) {
  std::uint16_t old = 0;
  if (Read(api, bank, reg, &old) == 0) return 0;
  const std::uint16_t next = static_cast<std::uint16_t>((old & ~mask) | (bits & mask));
  return Write(api, bank, reg, next);
}

std::uint8_t RecordThenWrite(Tessok_API& api, int lane, int item, double recorded, std::uint16_t bank,
                             std::uint16_t reg, std::uint16_t value) {
  api.WriteStatusToEEProm(lane, static_cast<std::int16_t>(item), recorded);
  return Write(api, bank, reg, value);
}

std::uint8_t WriteThenRecord(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t value, int lane,
                             int item, double recorded) {
  const std::uint8_t ok = Write(api, bank, reg, value);
  api.WriteStatusToEEProm(lane, static_cast<std::int16_t>(item), recorded);
  return ok;
}

}  // namespace tessok::regs
