// Turns the packets a simulated instrument received into EEPROM operations:
// "page 0x328" for a page read, "read 0x2008" for a double read byte by byte
// (eight address/data pairs at consecutive addresses), "write 0x2008" likewise.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "sim/SimInstrument.h"

namespace tessok::test {

inline std::string Hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

// Register accesses other than the EEPROM pair are listed as "R bank:reg" / "W bank:reg"
// (decimal), writes as "W bank:reg=data" with withData.
inline std::vector<std::string> EepromTrace(const std::vector<sim::Packet>& log, bool withData = false) {
  std::vector<std::string> out;
  std::uint32_t runStart = 0, runNext = 0;
  int runBytes = 0;
  bool runWrite = false;
  auto flush = [&] {
    if (runBytes > 0) {
      out.push_back(std::string(runWrite ? "write " : "read ") + Hex(runStart) +
                    (runBytes == 8 ? "" : " x" + std::to_string(runBytes)));
    }
    runBytes = 0;
  };
  for (std::size_t i = 0; i < log.size(); ++i) {
    const sim::Packet& p = log[i];
    if (p.IsExtended() && p.SubCommand() == 0x00 && p.bytes[2] == 0x01) {
      flush();
      std::uint32_t a =
          p.bytes[5] | (p.bytes[6] << 8) | (p.bytes[7] << 16) | (static_cast<std::uint32_t>(p.bytes[8]) << 24);
      out.push_back("page " + Hex(a));
      continue;
    }
    if (p.IsWrite() && p.Reg() == 10 && (p.Bank() == 0 || p.Bank() == 1) && i + 1 < log.size() &&
        log[i + 1].IsRegister() && log[i + 1].Reg() == 11 && log[i + 1].Bank() == p.Bank()) {
      const std::uint32_t address = (p.Bank() == 1 ? 0x10000u : 0u) + p.Data();
      const bool write = log[i + 1].IsWrite();
      if (runBytes > 0 && (runBytes == 8 || write != runWrite || address != runNext)) flush();
      if (runBytes == 0) {
        runStart = address;
        runWrite = write;
      }
      ++runBytes;
      runNext = address + 1;
      ++i;
      continue;
    }
    flush();
    if (p.IsRegister()) {
      std::string line =
          std::string(p.IsWrite() ? "W " : "R ") + std::to_string(p.Bank()) + ":" + std::to_string(p.Reg());
      if (withData && p.IsWrite()) line.append("=").append(std::to_string(p.Data()));
      out.push_back(line);
    } else {
      out.push_back("extended " + Hex(p.SubCommand()));
    }
  }
  flush();
  return out;
}

}  // namespace tessok::test
