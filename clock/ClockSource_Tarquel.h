// ClockSource_Tarquel: the divider finder of each instrument object.
//
// For a line rate it lists the division factors of a fixed table that put the
// divided clock (rate x 1000 / divider, MHz) in one of the two windows that a
// x8 or a x4 multiplier brings into the VCO band of 2430 to 2580 MHz:
// 303.75 to 322.5 MHz (x8) or 607.5 to 645 MHz (x4), both ends included.
#pragma once

#include <cstdint>
#include <vector>

// One accepted divider. A value-initialised candidate (divider 0) stands for
// "no candidate".
struct ClockCandidate {
  double rate;              // line rate in Gb/s
  std::uint32_t multiplier; // 8 or 4
  std::uint32_t divider;    // division factor from the table; 0 = no candidate
  double frequency;         // rate x 1000 / divider, MHz
  double vco;               // frequency x multiplier, MHz

  bool IsValid() const { return divider != 0; }
};

class ClockSource_Tarquel {
 public:
  ClockSource_Tarquel();   // sets the bounds; the candidate list starts empty
  ~ClockSource_Tarquel();  // not virtual: nothing derives from the finder

  // Rebuilds `candidates` for rate (Gb/s), in ascending order of the divider,
  // and returns a copy of candidate `index` (0 is the smallest divider that
  // fits). An index outside the list (negative, too large, or any index when
  // nothing fits) returns "no candidate": ClockCandidate{} with divider 0.
  virtual ClockCandidate FindDivider(double rate, int index);

  double vcoMinMHz;     // 2430, the VCO band (kept for reference)
  double vcoMaxMHz;     // 2580
  double div8MinMHz;    // 303.75 = 2430 / 8
  double div8MaxMHz;    // 322.5  = 2580 / 8
  double div4MinMHz;    // 607.5  = 2430 / 4
  double div4MaxMHz;    // 645    = 2580 / 4
  double maxOutputMHz;  // 700: divided clocks must stay below it
  std::vector<ClockCandidate> candidates;
};
