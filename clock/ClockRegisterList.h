// The register plan of the Si5346 clock chip: (address, value) pairs, address
// = page x 256 + register, value 0x00 to 0xFF.
//
// Every plan has 378 pairs in one fixed order, the same in all three planner
// modes:
//   preamble   0x0B24 = 0xD8, 0x0B25 = 0x00
//   body       371 pairs, addresses strictly ascending from 0x000B to 0x0B4A
//   postamble  0x0414 = 0x01, 0x0514 = 0x01 (latch the loop-bandwidth settings
//              of DSPLL A and B), 0x001C = 0x01 (soft reset), 0x0B24 = 0xDB,
//              0x0B25 = 0x02
// Multi-byte fields take consecutive addresses, least significant byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr std::size_t kClockRegisterCount = 378;

// The computed fields of one plan (see SI5346_API).
struct ClockPlanFields {
  std::uint32_t mode;   // 0, 1 or 2
  int boardId;          // selects the board value at 0x0040 in mode 0
  std::uint64_t pA;     // input 0 divider (P0_NUM, 0x0208, 6 bytes), modes 0 and 1
  std::uint64_t pB;     // input 2 divider (P2_NUM, 0x021C) in modes 0 and 1, input 3 (P3_NUM, 0x0226) in mode 2
  std::uint32_t rRegA;  // R0_REG and R1_REG (0x0250, 0x0253, 3 bytes each)
  std::uint32_t rRegB;  // R2_REG and R3_REG (0x025C, 0x025F)
  std::uint64_t n0Num;  // N0_NUM (0x0302, 44 bits)
  std::uint64_t n1Num;  // N1_NUM (0x030D, 44 bits)
  std::uint64_t mNumA;  // M_NUM of DSPLL A (0x0415, 7 bytes)
  std::uint64_t mDenA;  // M_DEN of DSPLL A (0x041C, 4 bytes)
  std::uint64_t mNumB;  // M_NUM of DSPLL B (0x0515)
  std::uint64_t mDenB;  // M_DEN of DSPLL B (0x051C)
  std::uint8_t wordA;   // output 0 control (0x0112), modes 0 and 1
  std::uint8_t wordB;   // outputs 2 and 3 control (0x0126, 0x012B), modes 0 and 1
};

// Appends the plan's 378 pairs to the two lists, address and value of each
// pair in turn. A mode other than 0, 1 and 2 appends nothing and returns false.
bool AppendClockRegisterList(const ClockPlanFields& plan, std::vector<std::uint16_t>& addresses,
                             std::vector<std::uint16_t>& values);
