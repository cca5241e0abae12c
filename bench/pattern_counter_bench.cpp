// The long-pattern upload and the all-channel counter reads against the
// simulated instrument, each compared with as many raw socket round trips of
// a 128-byte request and reply in the same run (the link benchmark's raw
// round trip). Library calls and raw runs alternate and their medians are
// compared; run on one core:
//   taskset -c 0 build/bench/tessok_bench --benchmark_filter='Upload|Counter|PatternText'
// Targets: the upload of the longest binary text (33,120 characters, 414
// blocks) takes exactly 7,466 transfers, ReadRealTimeBER and
// ReadBERAllChannels on a 16-channel board 80 and 53; each at most 1.1 x the
// raw round trips (ratio <= 1.1); parsing and repeating the text alone under
// 1 ms (plan_us < 1000). Reported after the run (bench/Budget.h); a text
// refused ends the benchmark with an error.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "Budget.h"
#include "RawLink.h"
#include "core/Tessok_API.h"
#include "platform/Sleep.h"
#include "signal/PatternUpload.h"
#include "sim/Models.h"
#include "sim/SimInstrument.h"
#include "tessok/tessok.h"

namespace {

using Clock = std::chrono::steady_clock;
using tessok::bench::Bound;
using tessok::bench::ReportBudget;

double Median(std::vector<double>& v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

void NoWait(std::uint32_t) {}

// The longest binary text the pattern memory takes: 414 blocks of 80 bits.
std::string LongestBinaryText() {
  std::string text(tessok::patterns::kMaxBlocks * tessok::patterns::kBlockBits, '0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = ((i * 7919) % 13) < 6 ? '1' : '0';
  return text;
}

// A library call and as many raw round trips as it made transfers, alternated.
// Reports the transfers per call, both medians and their ratio.
void CompareWithRawRoundTrips(benchmark::State& state, std::uint16_t model, std::size_t expectedTransfers,
                              const std::function<void()>& call) {
  tessok::sim::SimInstrument forLibrary("127.0.201.1");
  tessok::sim::SimInstrument forRaw("127.0.201.2");
  tessok::sim::ApplyModel(forLibrary, model);
  // The connection reads every channel's recorded line rate with a wait per
  // byte; those waits are not what is measured here.
  tessok::platform::SleepHook previous = tessok::platform::SetSleepHook(&NoWait);
  const int connected = APIConnect(0, "127.0.201.1");
  tessok::platform::SetSleepHook(previous);
  if (connected != 1) {
    state.SkipWithError("cannot connect the library");
    return;
  }
  tessok::bench::RawLink rawLink("127.0.201.2");
  if (!rawLink.Connected()) {
    state.SkipWithError("cannot connect the raw socket");
    APIDisconnect(0);
    return;
  }
  const std::uint8_t request[128] = {0xF0, 0, 0, 0, 0x14, 0x00};
  std::vector<double> library, raw;
  std::size_t transfers = 0;
  bool rawOk = true;
  for (auto _ : state) {
    const std::size_t before = forLibrary.RequestsSinceStart();
    auto t0 = Clock::now();
    call();
    auto t1 = Clock::now();
    transfers = forLibrary.RequestsSinceStart() - before;
    for (std::size_t i = 0; i < transfers; ++i) rawOk &= rawLink.RoundTrip(request);
    auto t2 = Clock::now();
    forLibrary.ClearLog();
    library.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    raw.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
  }
  const double lib = Median(library);
  const double rawMedian = Median(raw);
  state.counters["transfers"] = static_cast<double>(transfers);
  state.counters["library_median_us"] = lib;
  state.counters["raw_median_us"] = rawMedian;
  state.counters["ratio"] = rawMedian > 0 ? lib / rawMedian : 0.0;
  APIDisconnect(0);
  if (!rawOk) {
    state.SkipWithError("a raw round trip failed");
    return;
  }
  ReportBudget("transfers per call", static_cast<double>(transfers), static_cast<double>(expectedTransfers),
               Bound::Exactly);
  ReportBudget("library over raw round trips", lib / rawMedian, 1.1);
}

void BM_UploadLongestPatternVersusRawRoundTrips(benchmark::State& state) {
  const std::string text = LongestBinaryText();
  CompareWithRawRoundTrips(state, 7652, 7466,
                           [&] { benchmark::DoNotOptimize(g_apiInstances[0].UploadUserPattern(1, text, 0)); });
}
BENCHMARK(BM_UploadLongestPatternVersusRawRoundTrips)->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_CounterReadRealTimeBerVersusRawRoundTrips(benchmark::State& state) {
  std::uint64_t errors[16];
  std::uint32_t elapsed[16];
  CompareWithRawRoundTrips(state, 7828, 80, [&] { benchmark::DoNotOptimize(APIReadRealTimeBER(0, errors, elapsed)); });
}
BENCHMARK(BM_CounterReadRealTimeBerVersusRawRoundTrips)->Iterations(5000)->Unit(benchmark::kMicrosecond);

void BM_CounterReadBerAllChannelsVersusRawRoundTrips(benchmark::State& state) {
  double ber[16];
  CompareWithRawRoundTrips(state, 7828, 53,
                           [&] { benchmark::DoNotOptimize(g_apiInstances[0].ReadBERAllChannels(ber)); });
}
BENCHMARK(BM_CounterReadBerAllChannelsVersusRawRoundTrips)->Iterations(5000)->Unit(benchmark::kMicrosecond);

// Length check, repetition and parsing of the longest text, without the instrument.
void BM_PatternTextPlanOfTheLongestText(benchmark::State& state) {
  const std::string text = LongestBinaryText();
  tessok::patterns::UploadPlan plan;
  std::vector<double> times;
  for (auto _ : state) {
    auto t0 = Clock::now();
    const bool ok = tessok::patterns::PlanUpload(g_apiInstances[1], text, 0, &plan);
    auto t1 = Clock::now();
    benchmark::DoNotOptimize(ok);
    if (!ok) state.SkipWithError("the longest text was refused");
    times.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
  }
  state.counters["plan_us"] = Median(times);
  state.counters["blocks"] = plan.Blocks();
  ReportBudget("us per plan", Median(times), 1000.0);
}
BENCHMARK(BM_PatternTextPlanOfTheLongestText)->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace
