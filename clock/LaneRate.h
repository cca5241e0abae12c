// Rate tables and the lane rate-code procedure shared by the line-rate
// operations: the fixed preset rates, the band tables that give a lane's
// signal processor its rate code when it has no usable read-back or stored
// code, and the procedure that writes that code and waits for the processor.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

class Tessok_API;

namespace tessok::rate {

// ---- Line rates the operations take ----

// A line rate in Gb/s that a line-rate operation can set: a finite number. A
// rate that is not a number or is infinite names no clock file, has no rate
// word, rate range or phase step, and once recorded would come back as the
// lanes' rate at the next connection; every line-rate operation checks its
// rates with this first and refuses such a rate before anything is sent,
// recorded or changed.
inline bool IsUsableLineRate(double rate) { return std::isfinite(rate); }

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

// ---- Sampling-phase step ----

// Phase steps per unit interval: 129 on most line-rate paths, 64 on the pair
// and signal-processor variants.
inline constexpr double kPhaseSteps = 129.0;
inline constexpr double kPhaseStepsDsp = 64.0;

// Picoseconds per sampling-phase step at a line rate (Gb/s).
constexpr double PhaseStepPs(double rate, double steps) { return 1000.0 / (rate * steps); }

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
// The clock-pattern output's own bands: as table B, the last one ending below 32 Gb/s.
inline constexpr RateBandTable kBandTableClockPattern{{{3, true, 16}, {5, true, 32}, {15, true, 66}, {32, false, 100}},
                                                      4};

// Band table A in the form the connected board's option57Low selects.
const RateBandTable& BandTableA(const Tessok_API& api);

// The band code of a rate; none above the last band or for a rate that is not a number.
std::optional<std::uint16_t> BandCode(const RateBandTable& table, double rate);

// A read-back or stored rate code the signal processors take: 1 to 165.
constexpr bool IsUsableRateCode(std::uint32_t code) { return code >= 1 && code <= 165; }

// The rate in Mb/s as the 16-bit word the rate registers take: trunc(rate x 1000), low 16 bits.
std::uint16_t RateWordMbps(double rate);

// Retries of a rate-code write whose processor does not report ready: two per
// bank, so at most three writes and three checks.
inline constexpr int kRateCodeRetries = 2;

// Writes a rate code to register 0x205 of the bank (lastResult = that write's
// result), then Tessok_API::CheckDspReady; while the processor is not ready and
// retries are left, writes the same code again (one retry used) and checks
// again. A processor that never reports ready keeps the last code and is not
// reported. The caller's allowance lets several banks share one.
void WriteLaneRateCode(Tessok_API& api, std::uint16_t bank, std::uint16_t code, int& retriesLeft);

// The code a lane's processor takes: the read-back code when it is usable,
// else the band code of the lane's rate; none when neither exists.
std::optional<std::uint16_t> LaneRateCode(std::uint32_t readBackCode, double laneRate, const RateBandTable& bands);

// Gives one lane's signal processor its rate code (LaneRateCode) with its own
// allowance of kRateCodeRetries (WriteLaneRateCode); true. A lane with neither
// a usable code nor a band gets no write and no check, lastResult becomes 0
// and the result is false: the register would otherwise receive whatever the
// shared data word last held.
bool ProgramLaneRateCode(Tessok_API& api, std::uint16_t bank, std::uint32_t readBackCode, double laneRate,
                         const RateBandTable& bands);

}  // namespace tessok::rate
