// Line rates from a host-planned reference clock against the simulated
// instrument (a 7652 whose lane processors report ready at once; waits counted
// through the sleep hook, not spent). Each call is compared in the same run
// with the plainest way to do its work: the planner alone (ComputePlan) plus
// the very accesses the call sent, replayed one by one through
// AccessBoardRegister. Calls and baselines alternate and their medians are
// compared; run on one core:
//   taskset -c 0 build/bench/tessok_bench --benchmark_filter=LineRate
// ConfigureLineRate also writes the clock file; writing the same 379 lines
// alone is reported beside (file_write_us).
// Budgets: exactly the fewest packets the sequence needs (ConfigureLineRate
// at 10.3125 Gb/s: 0x100, 756 plan writes, the read-back's 2, two banks' code
// and check of 4, eight records of 16 and four integer rates of 2 = 903;
// SynthNominal at 25.78125 Gb/s: 756, 0x105, 0x205 and two records = 790),
// the waits of the sequence (860 ms and 160 ms), and host time at most
// 1.15 x (baseline + planner) (ratio <= 1.15); reported after the run
// (bench/Budget.h). A call that fails ends the benchmark with an error.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <locale>
#include <string>
#include <vector>

#include "Budget.h"
#include "core/Tessok_API.h"
#include "platform/Sleep.h"
#include "sim/Models.h"
#include "sim/SimInstrument.h"
#include "tessok/tessok.h"

namespace {

using Clock = std::chrono::steady_clock;
using tessok::bench::Bound;
using tessok::bench::ReportBudget;

constexpr double kBudget = 1.15;

double Median(std::vector<double>& v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

std::uint64_t g_waitedMs = 0;
void CountWait(std::uint32_t ms) { g_waitedMs += ms; }
void NoWait(std::uint32_t) {}

double Us(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::micro>(b - a).count(); }

struct Access {
  std::uint8_t write;
  std::uint16_t bank, reg, data;
};

// The register accesses a call sent, in order, as the simulated instrument logged them.
std::vector<Access> Sent(const tessok::sim::SimInstrument& sim) {
  std::vector<Access> out;
  for (const tessok::sim::Packet& p : sim.Log()) {
    if (p.IsRegister()) {
      out.push_back({static_cast<std::uint8_t>(p.IsWrite() ? 1 : 0), static_cast<std::uint16_t>(p.Bank()),
                     static_cast<std::uint16_t>(p.Reg()), p.Data()});
    }
  }
  return out;
}

struct Run {
  std::size_t packets;     // the fewest the sequence needs
  std::uint64_t waitedMs;  // waits of one call
  std::function<std::uint32_t(Tessok_API&)> call;
  std::function<void()> planner;    // the planner's share of the call, alone
  std::function<void()> fileWrite;  // the call's file, written alone (none: no file)
};

// The clock directory of one run, removed afterwards.
class ClockDirectory {
 public:
  ClockDirectory()
      : path_(std::filesystem::temp_directory_path() / ("tessok-line-rate-bench-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~ClockDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string Prefix() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

// A clock file of a plan as the library writes it: "BertOnly", then one
// "address,value" line per pair.
void WritePlanFile(const std::string& name, const SI5346_API& plan) {
  std::ofstream out(name, std::ios::out | std::ios::trunc);
  out.imbue(std::locale::classic());
  out << "BertOnly\n";
  for (std::size_t i = 0; i < plan.addresses.size(); ++i) out << plan.addresses[i] << ',' << plan.values[i] << '\n';
}

void CompareWithBaseline(benchmark::State& state, const char* address, const Run& run) {
  tessok::sim::SimInstrument sim(address);
  tessok::sim::ApplyModel(sim, 7652);
  tessok::platform::SleepHook previous = tessok::platform::SetSleepHook(&NoWait);
  const int connected = APIConnect(0, address);
  if (connected != 1) {
    tessok::platform::SetSleepHook(previous);
    state.SkipWithError("cannot connect the library");
    return;
  }
  Tessok_API& api = g_apiInstances[0];
  ClockDirectory clockDir;
  api.clockFileDir = clockDir.Prefix();
  tessok::platform::SetSleepHook(&CountWait);
  std::vector<double> host, baseline, planner, fileWrite;
  std::size_t packets = 0;
  std::uint64_t waited = 0;
  bool failed = false;
  for (auto _ : state) {
    sim.ClearLog();
    g_waitedMs = 0;
    const std::size_t before = sim.RequestsSinceStart();
    auto t0 = Clock::now();
    const std::uint32_t result = run.call(api);
    auto t1 = Clock::now();
    packets = sim.RequestsSinceStart() - before;
    waited = g_waitedMs;
    failed = failed || result != 1;
    const std::vector<Access> sent = Sent(sim);
    sim.ClearLog();
    auto t2 = Clock::now();
    run.planner();
    auto t3 = Clock::now();
    for (const Access& a : sent) {
      std::uint16_t data = a.data;
      api.AccessBoardRegister(a.write, a.bank, a.reg, &data);
    }
    auto t4 = Clock::now();
    if (run.fileWrite) run.fileWrite();
    auto t5 = Clock::now();
    host.push_back(Us(t0, t1));
    fileWrite.push_back(Us(t4, t5));
    planner.push_back(Us(t2, t3));
    baseline.push_back(Us(t3, t4));
  }
  tessok::platform::SetSleepHook(previous);
  const double hostUs = Median(host);
  const double plannerUs = Median(planner);
  const double baselineUs = Median(baseline);
  const double ratio = hostUs / (baselineUs + plannerUs);
  state.counters["packets"] = static_cast<double>(packets);
  state.counters["fewest_packets"] = static_cast<double>(run.packets);
  state.counters["waits_ms"] = static_cast<double>(waited);
  state.counters["host_us"] = hostUs;
  state.counters["planner_us"] = plannerUs;
  state.counters["baseline_us"] = baselineUs;
  if (run.fileWrite) state.counters["file_write_us"] = Median(fileWrite);
  state.counters["ratio"] = ratio;
  APIDisconnect(0);
  if (failed) {
    state.SkipWithError("the call did not succeed");
    return;
  }
  ReportBudget("packets", static_cast<double>(packets), static_cast<double>(run.packets), Bound::Exactly);
  ReportBudget("ms of waits", static_cast<double>(waited), static_cast<double>(run.waitedMs), Bound::Exactly);
  ReportBudget("host time over baseline and planner", ratio, kBudget);
}

void BM_LineRateConfigureFromGeneratedPlan(benchmark::State& state) {
  SI5346_API planner;
  // The clock-file plan of 10.3125 Gb/s: reference 10312.5 / 64 MHz.
  auto plan = [&] {
    double f1 = 0, ref = 161.1328125, f3 = 100, f4 = 156.25;
    benchmark::DoNotOptimize(planner.ComputePlan(&f1, &ref, &f3, &f4, 0, 7592));
  };
  plan();
  const std::string file =
      (std::filesystem::temp_directory_path() / ("tessok-line-rate-bench-file-" + std::to_string(::getpid()) + ".clk"))
          .string();
  CompareWithBaseline(state, "127.0.202.2",
                      {903, 860,
                       [](Tessok_API& api) {
                         double f1 = 0, ref = 0, f3 = 100, f4 = 156.25;
                         return api.ConfigureLineRate(10.3125, 0, &f1, &ref, &f3, &f4);
                       },
                       plan, [&] { WritePlanFile(file, planner); }});
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
}
BENCHMARK(BM_LineRateConfigureFromGeneratedPlan)->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_LineRateSynthNominal(benchmark::State& state) {
  SI5346_API planner;
  CompareWithBaseline(state, "127.0.202.1",
                      {790, 160, [](Tessok_API& api) { return api.LineRateConfigurationSynthNominal(25.78125); },
                       [&] {
                         double f1 = 156.25, f2 = 312.5, f3 = 156.25, f4 = 312.5;
                         benchmark::DoNotOptimize(planner.ComputePlan(&f1, &f2, &f3, &f4, 1, 7652));
                       },
                       nullptr});
}
BENCHMARK(BM_LineRateSynthNominal)->Iterations(200)->Unit(benchmark::kMillisecond);

}  // namespace
