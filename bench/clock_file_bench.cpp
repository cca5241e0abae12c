// Clock files against the simulated instrument, waits hooked out.
//
// Loading: a 500-pair file through LoadClockFile500 and LoadClockFileCsv,
// alternated in one run with the 1000 register writes of the same pairs sent
// over a raw socket to an instrument of its own (bench/RawLink.h), and with
// the same file followed by a 1 GiB sparse tail. Budgets:
// loader over raw writes at most 1.15 (medians), the file with its tail within
// 10 % of the file without, exactly 2 packets per pair. Parse-only time per
// pair is reported beside.
//
// Generating: GenerateClockFile at 10.3125 and 25.78125 Gb/s, alternated with
// the planner alone plus its 756 writes over the raw socket: at most 1.15,
// exactly 756 packets.
//
// The budgets are reported after the run (bench/Budget.h); a load or a
// generation that fails ends the benchmark with an error.
//
// Run on one core, as the link benchmark:
//   taskset -c 0 build/bench/tessok_bench --benchmark_filter=ClockFile
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Budget.h"
#include "RawLink.h"
#include "clock/ClockFiles.h"
#include "core/Tessok_API.h"
#include "platform/Sleep.h"
#include "sim/SimInstrument.h"
#include "tessok/tessok.h"

namespace {

using Clock = std::chrono::steady_clock;
using tessok::bench::Bound;
using tessok::bench::ReportBudget;
namespace fs = std::filesystem;

constexpr int kPairs = 500;
constexpr double kLoadBudget = 1.15;
constexpr double kTailBudget = 1.10;
constexpr double kGenerateBudget = 1.15;
constexpr std::uintmax_t kTailBytes = std::uintmax_t{1} << 30;

void NoWait(std::uint32_t) {}

double Median(std::vector<double>& v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

double Ns(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::nano>(b - a).count(); }

// A scratch directory with the clock files of one run, removed afterwards.
class Files {
 public:
  Files() : dir_(fs::temp_directory_path() / ("tessok-clock-bench-" + std::to_string(::getpid()))) {
    fs::create_directories(dir_);
  }
  ~Files() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Dir() const { return dir_.string() + "/"; }
  // Writes the rate's file: an optional header line, then the pairs, then
  // optionally a sparse tail of zero bytes.
  void Write(double rate, bool header, const std::vector<tessok::clockfile::Pair>& pairs, bool tail) const {
    const std::string name = tessok::clockfile::FileName(Dir(), rate);
    {
      std::ofstream out(name, std::ios::binary | std::ios::trunc);
      if (header) out << "BertOnly\n";
      for (const auto& p : pairs) out << p.address << ',' << p.value << '\n';
    }
    if (tail) fs::resize_file(name, fs::file_size(name) + kTailBytes);
  }

 private:
  fs::path dir_;
};

std::vector<tessok::clockfile::Pair> SamplePairs() {
  std::vector<tessok::clockfile::Pair> out;
  for (int i = 0; i < kPairs; ++i)
    out.push_back({static_cast<std::uint16_t>(0x0B24 + 3 * i), static_cast<std::uint16_t>((i * 37) & 0xFF)});
  return out;
}

// A connected instrument object with waits hooked out, and the raw link to
// an instrument of its own.
struct Session {
  Session(const char* address, const char* rawAddress) : sim(address), rawSim(rawAddress), raw(rawAddress) {
    previous = tessok::platform::SetSleepHook(&NoWait);
    libraryConnected = APIConnect(0, address) == 1;
    connected = libraryConnected && raw.Connected();
  }
  ~Session() {
    if (libraryConnected) APIDisconnect(0);
    tessok::platform::SetSleepHook(previous);
  }
  Tessok_API& api() { return g_apiInstances[0]; }
  tessok::sim::SimInstrument sim;
  tessok::sim::SimInstrument rawSim;
  tessok::bench::RawLink raw;
  tessok::platform::SleepHook previous = nullptr;
  bool libraryConnected = false;
  bool connected = false;  // the library and the raw link
};

// Each pair as the loaders send it: register 0x106 = address, then 0x107 =
// value, at bank 0. False when a round trip failed.
bool RawWrites(tessok::bench::RawLink& raw, const std::vector<tessok::clockfile::Pair>& pairs) {
  bool ok = true;
  for (const auto& p : pairs) {
    ok &= raw.WriteRegister(0, 0x106, p.address);
    ok &= raw.WriteRegister(0, 0x107, p.value);
  }
  return ok;
}

enum class Loader { File500, Csv };

void ClockFileLoad(benchmark::State& state, Loader loader) {
  Session s(loader == Loader::File500 ? "127.0.201.1" : "127.0.201.2",
            loader == Loader::File500 ? "127.0.201.11" : "127.0.201.12");
  if (!s.connected) {
    state.SkipWithError("cannot connect the library or the raw socket");
    return;
  }
  Files files;
  const auto pairs = SamplePairs();
  const bool header = loader == Loader::Csv;
  constexpr double kPlain = 1.0, kWithTail = 2.0;
  files.Write(kPlain, header, pairs, false);
  files.Write(kWithTail, header, pairs, true);
  const std::string dir = files.Dir();
  auto load = [&](double rate) {
    return loader == Loader::File500 ? s.api().LoadClockFile500(dir, rate) : s.api().LoadClockFileCsv(dir, rate);
  };
  const tessok::clockfile::Kind& kind =
      loader == Loader::File500 ? tessok::clockfile::kFile500 : tessok::clockfile::kCsv;

  std::vector<double> loaded, tailed, raw, parsed;
  std::size_t packets = 0;
  for (auto _ : state) {
    const std::size_t before = s.sim.RequestsSinceStart();
    const auto t0 = Clock::now();
    const int ok = load(kPlain);
    const auto t1 = Clock::now();
    packets = s.sim.RequestsSinceStart() - before;
    const int okTail = load(kWithTail);
    const auto t2 = Clock::now();
    const bool rawOk = RawWrites(s.raw, pairs);
    const auto t3 = Clock::now();
    s.rawSim.ClearLog();
    std::uint32_t sum = 0;
    tessok::clockfile::ForEachPair(
        tessok::clockfile::FileName(dir, kPlain), kind, kind.pairs, [](int) {},
        [&](tessok::clockfile::Pair p) { sum += p.address ^ p.value; });
    const auto t4 = Clock::now();
    benchmark::DoNotOptimize(sum);
    if (ok != 1 || okTail != 1 || !rawOk) {
      state.SkipWithError(rawOk ? "the clock file did not load" : "a raw round trip failed");
      return;
    }
    loaded.push_back(Ns(t0, t1));
    tailed.push_back(Ns(t1, t2));
    raw.push_back(Ns(t2, t3));
    parsed.push_back(Ns(t3, t4));
  }
  const double load_ns = Median(loaded), tail_ns = Median(tailed), raw_ns = Median(raw), parse_ns = Median(parsed);
  state.counters["per_pair_us"] = load_ns / kPairs / 1000.0;
  state.counters["raw_per_pair_us"] = raw_ns / kPairs / 1000.0;
  state.counters["parse_per_pair_ns"] = parse_ns / kPairs;
  state.counters["ratio"] = load_ns / raw_ns;
  state.counters["tail_ratio"] = tail_ns / load_ns;
  state.counters["packets_per_pair"] = static_cast<double>(packets) / kPairs;
  ReportBudget("loader over raw writes", load_ns / raw_ns, kLoadBudget);
  ReportBudget("file with its sparse tail over the file alone", tail_ns / load_ns, kTailBudget);
  ReportBudget("packets per pair", static_cast<double>(packets) / kPairs, 2, Bound::Exactly);
}
BENCHMARK_CAPTURE(ClockFileLoad, File500, Loader::File500)->Iterations(100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ClockFileLoad, Csv, Loader::Csv)->Iterations(100)->Unit(benchmark::kMillisecond);

void ClockFileGenerate(benchmark::State& state, double rate, const char* address, const char* rawAddress) {
  Session s(address, rawAddress);
  if (!s.connected) {
    state.SkipWithError("cannot connect the library or the raw socket");
    return;
  }
  Files files;
  const std::string dir = files.Dir();
  std::vector<double> generated, baseline;
  std::size_t packets = 0;
  for (auto _ : state) {
    double f1 = 0, ref = 0, f3 = 100, f4 = 156.25;
    const std::size_t before = s.sim.RequestsSinceStart();
    const auto t0 = Clock::now();
    const int ok = s.api().GenerateClockFile(dir, rate, &f1, &ref, &f3, &f4);
    const auto t1 = Clock::now();
    packets = s.sim.RequestsSinceStart() - before;

    // The planner alone on the same request, then its pairs as raw writes.
    double g1 = 0, gref = ref, g3 = 100, g4 = 156.25;
    SI5346_API planner;
    const auto t2 = Clock::now();
    const bool planned = planner.ComputePlan(&g1, &gref, &g3, &g4, 0, 7592);
    std::vector<tessok::clockfile::Pair> pairs;
    pairs.reserve(planner.addresses.size());
    for (std::size_t i = 0; i < planner.addresses.size(); ++i)
      pairs.push_back({planner.addresses[i], planner.values[i]});
    const bool rawOk = RawWrites(s.raw, pairs);
    const auto t3 = Clock::now();
    s.rawSim.ClearLog();
    if (ok != 1 || !planned || !rawOk) {
      state.SkipWithError(rawOk ? "no clock file or no plan" : "a raw round trip failed");
      return;
    }
    generated.push_back(Ns(t0, t1));
    baseline.push_back(Ns(t2, t3));
  }
  const double gen_ns = Median(generated), base_ns = Median(baseline);
  state.counters["generate_ms"] = gen_ns / 1e6;
  state.counters["planner_and_raw_ms"] = base_ns / 1e6;
  state.counters["ratio"] = gen_ns / base_ns;
  state.counters["packets"] = static_cast<double>(packets);
  ReportBudget("GenerateClockFile over planner and raw writes", gen_ns / base_ns, kGenerateBudget);
  ReportBudget("packets", static_cast<double>(packets), 756, Bound::Exactly);
}
BENCHMARK_CAPTURE(ClockFileGenerate, Rate10G3125, 10.3125, "127.0.201.3", "127.0.201.13")
    ->Iterations(100)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ClockFileGenerate, Rate25G78125, 25.78125, "127.0.201.4", "127.0.201.14")
    ->Iterations(100)
    ->Unit(benchmark::kMillisecond);

}  // namespace
