// Si5346 planner: ComputePlan for outputs spread over 1 to 700 MHz in modes 0
// (clock file, DSPLL A from 50 MHz) and 1 (synthesizer, both DSPLLs from f3),
// the slowest request that has a plan, and requests that have none.
//
// Budgets: typical requests (312.5 MHz and the spread) under 1 ms, the slowest
// valid request under 20 ms, "no plan" under 10 ms, reported after the run
// (bench/Budget.h). A run that gets a plan where none exists (or none where
// one does) ends with an error. Run it as
//   build/bench/tessok_bench --benchmark_filter=ClockPlan
// and read the medians.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <iterator>
#include <string>

#include "Budget.h"
#include "clock/SI5346_API.h"

namespace {

struct Request {
  double f1, f2, f3, f4;  // MHz
  std::uint32_t mode;
  int boardId;
};

void Plan(benchmark::State& state, const Request& q, bool hasPlan, double targetMs) {
  SI5346_API planner;
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    double f1 = q.f1, f2 = q.f2, f3 = q.f3, f4 = q.f4;
    bool ok = planner.ComputePlan(&f1, &f2, &f3, &f4, q.mode, q.boardId);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(f2);
    benchmark::DoNotOptimize(f4);
    if (ok != hasPlan) {
      state.SkipWithError(hasPlan ? "no plan for a request that has one" : "a plan for a request without one");
      return;
    }
  }
  // Mean wall time per plan (the loop body dominates the loop's own cost).
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() /
              static_cast<double>(state.iterations());
  state.counters["target_ms"] = targetMs;
  tessok::bench::ReportBudget("ms per plan", ms, targetMs);
}

// Outputs over 1 to 700 MHz: the line-rate references and round values between.
constexpr double kOutputs[] = {1.0,   10.0,       50.0,       100.0,   156.25, 161.1328125, 212.5,
                               312.5, 322.265625, 339.393939, 390.625, 500.0,  644.53125,   700.0};

void ClockPlanSpread(benchmark::State& state) {
  const auto mode = static_cast<std::uint32_t>(state.range(0));
  const double fout = kOutputs[state.range(1)];
  state.SetLabel(std::to_string(fout).substr(0, 10) + " MHz");
  Request q = mode == 0 ? Request{50, fout, 100, fout, 0, 7592} : Request{156.25, fout, 156.25, fout, 1, 7652};
  Plan(state, q, true, 1.0);
}
BENCHMARK(ClockPlanSpread)
    ->ArgsProduct({{0, 1}, benchmark::CreateDenseRange(0, static_cast<int>(std::size(kOutputs)) - 1, 1)})
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

// The 25.78125 Gb/s synthesizer plan.
void ClockPlanTypical(benchmark::State& state) { Plan(state, {156.25, 312.5, 156.25, 312.5, 1, 7652}, true, 1.0); }
BENCHMARK(ClockPlanTypical)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// Among the slowest requests found by a random search over inputs just above an
// even number of MHz on board 7828 (DSPLL A keeps its input, so Fpfd lies just
// above 2 MHz, where the test on M rejects part or all of the window) and
// outputs down to the 32-bit limit of R, where one whole-MHz step of Fn spans
// thousands of R.
//
// Valid: Fpfd 2.0079 MHz; the first R that passes lies inside the window's
// first steps.
void ClockPlanSlowestValid(benchmark::State& state) {
  Plan(state, {8.0316421641776206, 1.584199906371952e-05, 100, 312.5, 0, 7828}, true, 20.0);
}
BENCHMARK(ClockPlanSlowestValid)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// No plan, the longest way: at Fpfd 2.0175 MHz every R is rejected, so the
// search visits every whole-MHz step of Fn from 710 to 1420.
void ClockPlanNoPlanWholeWindow(benchmark::State& state) {
  Plan(state, {6.052501247396906, 6.5448115765120527e-05, 100, 312.5, 0, 7828}, false, 10.0);
}
BENCHMARK(ClockPlanNoPlanWholeWindow)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// No plan, the common way: 355 MHz puts DSPLL B's Fn on both ends of its window.
void ClockPlanNoPlan355(benchmark::State& state) { Plan(state, {50, 312.5, 100, 355, 0, 7592}, false, 10.0); }
BENCHMARK(ClockPlanNoPlan355)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

}  // namespace
