// Timing of the benchmarks that compare the library with a baseline: the
// fastest of many rounds of each side, the two alternating, so that a busy
// machine slows both alike.
#pragma once

#include <algorithm>
#include <chrono>
#include <utility>

namespace tessok::bench {

using Clock = std::chrono::steady_clock;

inline double Ns(Clock::duration d) { return std::chrono::duration<double, std::nano>(d).count(); }

// The fastest of `rounds` runs of each side, alternating; in ns per run.
template <typename A, typename B>
std::pair<double, double> FastestOfEach(int rounds, A&& a, B&& b) {
  double bestA = 1e300, bestB = 1e300;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = Clock::now();
    a();
    auto t1 = Clock::now();
    b();
    auto t2 = Clock::now();
    bestA = std::min(bestA, Ns(t1 - t0));
    bestB = std::min(bestB, Ns(t2 - t1));
  }
  return {bestA, bestB};
}

}  // namespace tessok::bench
