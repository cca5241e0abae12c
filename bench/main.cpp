// The benchmark program: Google Benchmark's usual run, then the lines of the
// budgets the benchmarks recorded (bench/Budget.h).
#include <benchmark/benchmark.h>

#include "Budget.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  tessok::bench::BudgetReporter reporter(benchmark::CreateDefaultDisplayReporter());
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintBudgets();
  benchmark::Shutdown();
  return 0;
}
