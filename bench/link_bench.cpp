// Register accesses through the library against the simulated instrument,
// compared with a raw socket round trip of the same 128-byte request and reply.
// Single round trips of the two alternate and the medians are compared; run it
// on one core (taskset -c 0 build/bench/tessok_bench --benchmark_filter=Link),
// since a wake-up across cores costs far more than a round trip on one core.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "RawLink.h"
#include "core/Tessok_API.h"
#include "sim/SimInstrument.h"
#include "tessok/tessok.h"

namespace {

double Median(std::vector<double>& v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

// Alternates one library access (access()) with one raw round trip of the
// same request bytes and reports both medians and their ratio.
template <typename Access>
void CompareWithRawRoundTrip(benchmark::State& state, const char* libraryAddress, const char* rawAddress,
                             const unsigned char (&request)[128], Access access) {
  tessok::sim::SimInstrument forLibrary(libraryAddress);
  tessok::sim::SimInstrument forRaw(rawAddress);
  if (APIConnect(0, libraryAddress) != 1) {
    state.SkipWithError("cannot connect the library");
    return;
  }
  tessok::bench::RawLink rawLink(rawAddress);
  if (!rawLink.Connected()) {
    state.SkipWithError("cannot connect the raw socket");
    APIDisconnect(0);
    return;
  }
  std::vector<double> library, raw;
  library.reserve(1 << 20);
  raw.reserve(1 << 20);
  bool rawOk = true;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    access();
    auto t1 = std::chrono::steady_clock::now();
    rawOk &= rawLink.RoundTrip(request);
    auto t2 = std::chrono::steady_clock::now();
    library.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
    raw.push_back(std::chrono::duration<double, std::nano>(t2 - t1).count());
  }
  double lib = Median(library);
  double rawMedian = Median(raw);
  state.counters["library_median_ns"] = lib;
  state.counters["raw_median_ns"] = rawMedian;
  state.counters["ratio"] = rawMedian > 0 ? lib / rawMedian : 0.0;
  APIDisconnect(0);
  if (!rawOk) state.SkipWithError("a raw round trip failed");
}

void BM_LinkRegisterReadVersusRawRoundTrip(benchmark::State& state) {
  static const unsigned char request[128] = {0xF0, 0, 0, 0, 0x14, 0x00};
  std::uint16_t value = 0;
  CompareWithRawRoundTrip(state, "127.0.200.1", "127.0.200.2", request,
                          [&] { APIAccessBoardRegister(0, 0, 0, 20, &value); });
}
BENCHMARK(BM_LinkRegisterReadVersusRawRoundTrip)->Iterations(20000)->Unit(benchmark::kMicrosecond);

// Register 0x20C of bank 3 = 0x1234.
void BM_LinkRegisterWriteVersusRawRoundTrip(benchmark::State& state) {
  static const unsigned char request[128] = {0xF0, 0, 0, 0, 0x0C, 0x9A, 0x34, 0x12};
  CompareWithRawRoundTrip(state, "127.0.200.3", "127.0.200.4", request, [] {
    std::uint16_t value = 0x1234;
    APIAccessBoardRegister(0, 1, 3, 0x20C, &value);
  });
}
BENCHMARK(BM_LinkRegisterWriteVersusRawRoundTrip)->Iterations(20000)->Unit(benchmark::kMicrosecond);

}  // namespace
