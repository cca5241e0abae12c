// Rate tables and the lane rate-code procedure shared by the line-rate
// operations: the fixed preset rates, the band tables that give a lane's
// signal processor its rate code when it has no usable read-back or stored
// code, and the procedure that writes that code and waits for the processor.
#pragma once

#include <cstdint>
#include <optional>

class Tessok_API;

namespace tessok::rate {

// ---- Preset rates ----

struct LineRatePresetRow {
  double rate;  // Gb/s
  std::uint32_t preset;
};

// The fixed rates of the four-lane preset path; matched by exact equality.
struct LineRatePresetTable {
  LineRatePresetRow rows[9];

  // The rate's preset number; 0 for any rate not in the table.
  constexpr std::uint32_t PresetOf(double rate) const {
    for (const LineRatePresetRow& row : rows) {
      if (row.rate == rate) return row.preset;
    }
    return 0;
  }
};

inline constexpr LineRatePresetTable kLineRatePresets{{
    {10.3125, 1},
    {12.16512, 2},
    {14.025, 3},
    {14.0625, 4},
    {24.33024, 5},
    {25.78125, 6},
    {25.9524, 7},
    {28.03, 8},
    {28.05, 9},
}};

// The rates the eight-lane preset path accepts, in the order it tests them
// (27.9524 where the preset table has 25.9524, and 8.5 besides).
inline constexpr double kEightLanePresetRates[10] = {8.5,      10.3125,  12.16512, 14.025, 14.0625,
                                                     24.33024, 25.78125, 27.9524,  28.03,  28.05};

constexpr bool IsEightLanePresetRate(double rate) {
  for (double r : kEightLanePresetRates) {
    if (r == rate) return true;
  }
  return false;
}

// ---- Rate-code bands ----

struct RateBand {
  double limit;    // Gb/s
  bool inclusive;  // rate <= limit (else rate < limit)
  std::uint16_t code;
};

// The first band the rate falls in gives the code; above the last band there is none.
struct RateBandTable {
  RateBand bands[4];
  int count;
};

inline constexpr RateBandTable kBandTableA{{{3, true, 16}, {5, true, 32}, {15, true, 64}, {33, true, 100}}, 4};
// Band table A on boards whose option word 57 reads 1 in its low bits.
inline constexpr RateBandTable kBandTableALow{{{3, true, 16}, {5, true, 32}, {16, true, 64}}, 3};
inline constexpr RateBandTable kBandTableB{{{3, true, 16}, {5, true, 32}, {15, true, 66}, {33, false, 100}}, 4};

// Band table A in the form the connected board's option57Low selects.
const RateBandTable& BandTableA(const Tessok_API& api);

// The band code of a rate; none above the last band or for a rate that is not a number.
std::optional<std::uint16_t> BandCode(const RateBandTable& table, double rate);

// A read-back or stored rate code the signal processors take: 1 to 165.
constexpr bool IsUsableRateCode(std::uint32_t code) { return code >= 1 && code <= 165; }

// The rate in Mb/s as the 16-bit word the rate registers take: trunc(rate x 1000), low 16 bits.
std::uint16_t RateWordMbps(double rate);

// Gives one lane's signal processor its rate code and waits for it: the
// read-back code when it is usable, else the band code of the lane's rate,
// written to register 0x205 of the bank (lastResult = that write's result),
// then Tessok_API::CheckDspReady; while not ready, up to two more writes and
// checks. A processor that never reports ready keeps the last code and is not
// reported. A lane with neither a usable code nor a band gets no write and no
// check, and lastResult becomes 0: the register would otherwise receive
// whatever the shared data word last held.
void ProgramLaneRateCode(Tessok_API& api, std::uint16_t bank, std::uint32_t readBackCode, double laneRate,
                         const RateBandTable& bands);

}  // namespace tessok::rate
