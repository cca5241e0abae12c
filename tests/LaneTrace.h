// What a lane operation sent, in order, as short texts: "write 0x2648" for a
// status record (a double written byte by byte), "read 0x2048" for one read
// back, "W 2:526=210" for a register write and "R 0:14" for a register read
// (bank, register and data in decimal; the helpers take them in any base).
#pragma once

#include <string>
#include <vector>

#include "EepromTrace.h"
#include "TestSupport.h"

namespace tessok::test {

using Trace = std::vector<std::string>;

inline Trace LaneTrace(const Rig& rig) { return EepromTrace(rig.sim.Log(), true); }

inline std::string W(unsigned bank, unsigned reg, unsigned data) {
  return "W " + std::to_string(bank) + ":" + std::to_string(reg) + "=" + std::to_string(data);
}
inline std::string R(unsigned bank, unsigned reg) { return "R " + std::to_string(bank) + ":" + std::to_string(reg); }
inline std::string Recorded(std::uint32_t address) { return "write " + Hex(address); }
inline std::string RecordRead(std::uint32_t address) { return "read " + Hex(address); }

}  // namespace tessok::test
