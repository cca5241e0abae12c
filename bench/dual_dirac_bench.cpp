// DualDirac::Analyse on 129-point horizontal and 255-point vertical bathtub
// curves (textbook dual-Dirac shapes, errors below 1e-12 uncounted).
// Budgets: under 20 us per fit, and no allocation once a fitter has fitted a
// curve of that length: the sequences keep their capacity. The benchmark
// counts the global allocations made during the timed fits; both are
// reported after the run (bench/Budget.h), and a fit that fails ends it with
// an error. Each iteration also restores the caller's arrays (the fit
// overwrites them), a copy of 2 x n doubles, counted in the time per fit.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "AllocationCount.h"
#include "Budget.h"
#include "measure/DualDirac.h"

namespace {

double Tail(double z) { return 0.5 * std::erfc(z / std::sqrt(2.0)); }

// Two equal Diracs DJ apart at each edge of the span, Gaussian RJ, BER 0.5
// at the edges.
double Ber(double x, double span, double dj, double rj) {
  const double r = span - x;
  return 0.5 * (Tail((x - dj / 2) / rj) + Tail((x + dj / 2) / rj) + Tail((r - dj / 2) / rj) + Tail((r + dj / 2) / rj));
}

void BM_DualDiracAnalyse(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const bool vertical = n > 129;
  const double span = vertical ? 382.5 : 100.0;  // mV at 1.5 mV per step, or ps at 10 Gb/s
  const double step = span / n;
  // Four curves of different depth and flank length, fitted in turn: only the
  // first has been fitted before the timed loop.
  const double shapes[4][2] = {{0.2, 3.0}, {0.0, 5.0}, {0.35, 2.0}, {0.1, 4.0}};  // DJ in UI, RJ in steps
  std::vector<double> x0[4], ber0[4];
  for (int c = 0; c < 4; ++c) {
    x0[c].assign(1024, 0.0);
    ber0[c].assign(1024, 0.0);
    for (int k = 0; k < n; ++k) {
      const double b = Ber(k * step, span, shapes[c][0] * span, shapes[c][1] * step);
      x0[c][k] = k * step;
      ber0[c][k] = b < 1e-12 ? 0.0 : b;
    }
  }
  std::vector<double> x(x0[0]), ber(ber0[0]);
  DualDirac fit;
  if (!fit.Analyse(vertical, 10.0, n, x.data(), ber.data())) {  // the first fit sizes the sequences
    state.SkipWithError("the curve does not fit");
    return;
  }

  const long before = tessok::bench::Allocations();
  const auto start = std::chrono::steady_clock::now();
  bool ok = true;
  std::size_t c = 0;
  for (auto _ : state) {
    c = (c + 1) & 3;
    std::copy(x0[c].begin(), x0[c].begin() + n, x.begin());
    std::copy(ber0[c].begin(), ber0[c].begin() + n, ber.begin());
    ok &= fit.Analyse(vertical, 10.0, n, x.data(), ber.data());
    benchmark::DoNotOptimize(x.data());
    benchmark::DoNotOptimize(ber.data());
    benchmark::ClobberMemory();
  }
  const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() /
                    static_cast<double>(state.iterations());
  const long allocations = tessok::bench::Allocations() - before;
  state.counters["allocs_per_fit"] =
      benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
  if (!ok) {
    state.SkipWithError("a refit failed");
    return;
  }
  tessok::bench::ReportBudget("us per fit", us, 20.0);
  tessok::bench::ReportBudget("allocations", static_cast<double>(allocations), 0);
}

BENCHMARK(BM_DualDiracAnalyse)->Arg(129)->Arg(255)->Unit(benchmark::kMicrosecond);

}  // namespace
