#include "Budget.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <sstream>

namespace tessok::bench {

namespace {

struct Entry {
  std::string benchmark;  // empty until the benchmark's runs are reported
  std::string what;
  Bound bound;
  double budget;
  std::vector<double> measured;  // one per call of the benchmark function
};

std::vector<Entry>& Entries() {
  static std::vector<Entry> entries;
  return entries;
}

bool Met(Bound bound, double measured, double budget) {
  return bound == Bound::AtMost ? measured <= budget : measured == budget;
}

// How far a value lies on the wrong side of the budget, to pick the worst run.
double Excess(Bound bound, double measured, double budget) {
  if (std::isnan(measured)) return INFINITY;
  return bound == Bound::AtMost ? measured - budget : std::fabs(measured - budget);
}

std::string Number(double v) {
  std::ostringstream out;
  out.precision(4);
  out << v;
  return out.str();
}

}  // namespace

void ReportBudget(const std::string& what, double measured, double budget, Bound bound) {
  for (Entry& e : Entries()) {
    if (e.benchmark.empty() && e.what == what) {
      e.measured.push_back(measured);
      return;
    }
  }
  Entries().push_back({"", what, bound, budget, {measured}});
}

BudgetReporter::BudgetReporter(benchmark::BenchmarkReporter* display)
    : display_(display), console_(dynamic_cast<benchmark::ConsoleReporter*>(display) != nullptr) {}

bool BudgetReporter::ReportContext(const Context& context) { return display_->ReportContext(context); }

void BudgetReporter::ReportRuns(const std::vector<Run>& runs) {
  if (!runs.empty()) {
    // The function ran a few more times than reported while its iteration
    // count was being found; the reported runs are the last ones.
    const auto reported = static_cast<std::size_t>(std::max<std::int64_t>(1, runs.front().repetitions));
    for (Entry& e : Entries()) {
      if (!e.benchmark.empty()) continue;
      e.benchmark = runs.front().run_name.str();
      if (e.measured.size() > reported)
        e.measured.erase(e.measured.begin(), e.measured.end() - static_cast<std::ptrdiff_t>(reported));
    }
  }
  display_->ReportRuns(runs);
}

void BudgetReporter::Finalize() { display_->Finalize(); }

void BudgetReporter::PrintBudgets() {
  if (Entries().empty()) return;
  std::ostream& out = console_ ? GetOutputStream() : GetErrorStream();
  out << "\nBudgets (a report: a missed budget does not fail the run)\n";
  for (const Entry& e : Entries()) {
    double worst = e.measured.front();
    int met = 0;
    for (double m : e.measured) {
      if (Excess(e.bound, m, e.budget) > Excess(e.bound, worst, e.budget)) worst = m;
      met += Met(e.bound, m, e.budget) ? 1 : 0;
    }
    const auto runs = static_cast<int>(e.measured.size());
    out << "  " << (e.benchmark.empty() ? "(unnamed)" : e.benchmark) << ": " << e.what << " " << Number(worst);
    if (runs > 1) out << " (worst of " << runs << " runs)";
    out << ", budget " << (e.bound == Bound::AtMost ? "at most " : "exactly ") << Number(e.budget);
    if (e.budget != 0.0) out << ", measured/budget " << Number(worst / e.budget);
    if (runs > 1) {
      out << ": met in " << met << " of " << runs << "\n";
    } else {
      out << ": " << (met == 1 ? "met" : "missed") << "\n";
    }
  }
  out.flush();
}

}  // namespace tessok::bench
