// Budgets of the benchmarks: what a benchmark says its subject may cost (time
// against a baseline or per point, allocations, packets, waits). A budget is
// a report, never a failing run: each one recorded while a benchmark runs
// becomes a line printed after the whole run, with the benchmark's name, the
// measured value, the budget, their ratio and "met" or "missed". A wrong
// result is another matter: a benchmark still ends with an error on that.
//
// The benchmark program's own main (bench/main.cpp) runs the benchmarks
// through BudgetReporter and prints the lines; on the console they follow the
// table on stdout, with another --benchmark_format they go to stderr.
#pragma once

#include <benchmark/benchmark.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace tessok::bench {

enum class Bound {
  AtMost,   // met when the measured value is at most the budget
  Exactly,  // met when it equals the budget (packets and waits a sequence needs)
};

// Records a budget of the benchmark that runs now: `what` names the measured
// quantity and its unit, e.g. ReportBudget("ns per map point", 0.9, 2.0).
// A benchmark run several times (repetitions) gets one line: the worst of
// its runs and in how many of them the budget was met.
void ReportBudget(const std::string& what, double measured, double budget, Bound bound = Bound::AtMost);

// The display reporter of the run (the one --benchmark_format chooses),
// forwarded to, with the budgets recorded during each benchmark given the
// name of the benchmark reported next.
class BudgetReporter : public benchmark::BenchmarkReporter {
 public:
  explicit BudgetReporter(benchmark::BenchmarkReporter* display);
  bool ReportContext(const Context& context) override;
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;
  // The budget lines of the run, in the order the benchmarks ran; nothing
  // when no benchmark stated a budget.
  void PrintBudgets();

 private:
  std::unique_ptr<benchmark::BenchmarkReporter> display_;
  bool console_;
};

}  // namespace tessok::bench
