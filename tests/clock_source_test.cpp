// Divider finder: the dividers of its table that bring a line rate into the
// x8 window (303.75 to 322.5 MHz) or the x4 window (607.5 to 645 MHz), in
// ascending order of the divider, and "no candidate" outside the list.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "clock/ClockSource_Tarquel.h"

namespace {

struct Expected {
  std::uint32_t divider, multiplier;
  double frequency;  // MHz
};

TEST(ClockSource, CandidatesComeInDividerOrderFromBothWindows) {
  const struct {
    const char* note;
    double rate;  // Gb/s
    std::vector<Expected> candidates;
  } cases[] = {
      {"25.78125 Gb/s",
       25.78125,
       {{40, 4, 644.53125}, {42, 4, 25781.25 / 42}, {80, 8, 322.265625}, {84, 8, 25781.25 / 84}}},
      {"10.3125 Gb/s", 10.3125, {{16, 4, 644.53125}, {32, 8, 322.265625}}},
      {"window bottoms are included: 607.5 and 303.75 MHz", 12.15, {{20, 4, 607.5}, {40, 8, 303.75}}},
      {"window tops are included: 645 and 322.5 MHz", 12.9, {{20, 4, 645.0}, {40, 8, 322.5}, {42, 8, 12900.0 / 42}}},
      {"1 Gb/s: even divider 4 gives only 250 MHz", 1.0, {}},
      {"between the windows for every divider", 2.7, {}},
      {"NaN", std::numeric_limits<double>::quiet_NaN(), {}},
  };
  ClockSource_Tarquel finder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    ClockCandidate first = finder.FindDivider(c.rate, 0);
    ASSERT_EQ(finder.candidates.size(), c.candidates.size());
    for (std::size_t i = 0; i < c.candidates.size(); ++i) {
      SCOPED_TRACE(i);
      const ClockCandidate& got = finder.candidates[i];
      const Expected& want = c.candidates[i];
      EXPECT_EQ(got.divider, want.divider);
      EXPECT_EQ(got.multiplier, want.multiplier);
      EXPECT_DOUBLE_EQ(got.frequency, want.frequency);
      EXPECT_DOUBLE_EQ(got.vco, want.frequency * want.multiplier);
      EXPECT_GE(got.vco, 2430.0);
      EXPECT_LE(got.vco, 2580.0);
      EXPECT_DOUBLE_EQ(got.rate, c.rate);
    }
    if (c.candidates.empty()) {
      EXPECT_FALSE(first.IsValid());
    } else {
      EXPECT_EQ(first.divider, c.candidates[0].divider);
    }
  }
}

TEST(ClockSource, IndexSelectsACandidateOrReportsNone) {
  ClockSource_Tarquel finder;
  const ClockCandidate third = finder.FindDivider(25.78125, 2);
  EXPECT_TRUE(third.IsValid());
  EXPECT_EQ(third.divider, 80u);
  EXPECT_EQ(third.multiplier, 8u);
  EXPECT_EQ(third.vco, 2578.125);
  for (int index : {-1, 4, 1000, std::numeric_limits<int>::min()}) {
    SCOPED_TRACE(index);
    ClockCandidate none = finder.FindDivider(25.78125, index);
    EXPECT_FALSE(none.IsValid());
    EXPECT_EQ(none.divider, 0u);
    EXPECT_EQ(finder.candidates.size(), 4u);
  }
  // A later call replaces the list: nothing fits 1 Gb/s, so even index 0 has none.
  EXPECT_FALSE(finder.FindDivider(1.0, 0).IsValid());
  EXPECT_TRUE(finder.candidates.empty());
}

}  // namespace
