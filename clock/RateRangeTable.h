// The rate-range rows of an instrument object: the first row with
// low <= rate < high gives the code and option bits of the rate-range register.
#pragma once

#include <cstdint>

struct RateRangeRow {
  double low;   // Gb/s
  double high;  // Gb/s
  std::uint32_t code;
  std::uint32_t optionBits;
};

struct RateRangeTable {
  RateRangeRow rows[12];
};
