// Measurement acquisitions on the host: decoding each bathtub reply form,
// MeasureBathtub's work on an arrived reply, and writing the measurement logs.
//
// Budgets, each compared in the same run with the plainest correct code for
// the job and reported after the run (bench/Budget.h); a wrong result ends
// the benchmark with an error:
// - decoding a whole reply, per point, within 1.5 x a loop that copies each
//   word out with memcpy, divides once and stores BER and position; no
//   allocation;
// - MeasureBathtub's host work (decode, store, clean, hand back, check) under
//   5 us per 128-point curve;
// - a 128-line bathtub log and a 32,768-line eye log within 1.25 x fprintf
//   into a default-buffered FILE, with a fixed few allocations per file and
//   none per line;
// - packets per acquisition, counted in the simulated instrument's log, at
//   the fewest the wire needs: the checker's two reads, the gate's four
//   writes where the operation programs it, the status item's sixteen
//   accesses, one request per reply.
// Timings are the fastest of many rounds, the two sides alternating, so that
// a busy machine slows both alike. Run it as
//   build/bench/tessok_bench --benchmark_filter=Acquisition
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "AllocationCount.h"
#include "Budget.h"
#include "Timing.h"
#include "core/Tessok_API.h"
#include "measure/Bathtub.h"
#include "measure/BathtubDecoding.h"
#include "measure/CsvLogs.h"
#include "platform/Sleep.h"
#include "sim/Models.h"
#include "sim/SimInstrument.h"
#include "tessok/tessok.h"

namespace {

using tessok::bench::Bound;
using tessok::bench::Clock;
using tessok::bench::FastestOfEach;
using tessok::bench::Ns;
using tessok::bench::ReportBudget;
using tessok::measure::BathtubDecoding;

// ---- Decoding ----

// A reply of the form's layout with counts and multipliers of every size.
std::vector<std::uint8_t> SampleReply() {
  std::vector<std::uint8_t> reply(1024);
  std::uint32_t seed = 12345;
  for (std::size_t i = 0; i < reply.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    reply[i] = static_cast<std::uint8_t>(seed >> 16);
  }
  for (std::size_t i = 2; i + 1 < 512; i += 8) reply[i] = 1, reply[i + 1] = 0;  // every other multiplier is 1
  return reply;
}

// The plainest correct loops, one per layout.
void BaselinePairs(const std::uint8_t* reply, int n, double step, double* ber, double* x) {
  for (int i = 0; i < n; ++i) {
    std::uint16_t count, m;
    std::memcpy(&count, reply + 4 * i, 2);
    std::memcpy(&m, reply + 4 * i + 2, 2);
    ber[i] = count / (m == 1 ? 1.0 : m * 10.0) / 25000.0;
    x[i] = i * step;
  }
}
void Baseline32(const std::uint8_t* reply, int n, double divisor, double step, double* ber, double* x) {
  for (int i = 0; i < n; ++i) {
    std::uint32_t count;
    std::memcpy(&count, reply + 4 * i, 4);
    ber[i] = count / divisor;
    x[i] = i * step;
  }
}
void Baseline16(const std::uint8_t* reply, int n, double divisor, double step, double* ber, double* x) {
  for (int i = 0; i < n; ++i) {
    std::uint16_t count;
    std::memcpy(&count, reply + 2 * i, 2);
    ber[i] = count / divisor;
    x[i] = i * step;
  }
}

void Decoding(benchmark::State& state, const BathtubDecoding& form, std::uint64_t gate) {
  const std::vector<std::uint8_t> reply = SampleReply();
  const int n = form.points;
  const double step = 0.7559;
  const double divisor = tessok::measure::ReplyDivisor(form, gate);
  std::vector<double> ber(256), x(256), ber2(256), x2(256);
  constexpr int kRepeat = 200;
  auto library = [&] {
    for (int r = 0; r < kRepeat; ++r) {
      tessok::measure::DecodeBathtub(form, reply.data(), gate, step, ber.data(), x.data());
      benchmark::DoNotOptimize(ber.data());
      benchmark::ClobberMemory();
    }
  };
  auto baseline = [&] {
    for (int r = 0; r < kRepeat; ++r) {
      if (form.layout == tessok::measure::CountLayout::CountAndMultiplier) {
        BaselinePairs(reply.data(), n, step, ber2.data(), x2.data());
      } else if (form.layout == tessok::measure::CountLayout::Words16) {
        Baseline16(reply.data(), n, divisor, step, ber2.data(), x2.data());
      } else {
        Baseline32(reply.data(), n, divisor, step, ber2.data(), x2.data());
      }
      benchmark::DoNotOptimize(ber2.data());
      benchmark::ClobberMemory();
    }
  };
  double lib = 0, base = 0;
  const long before = tessok::bench::Allocations();
  for (auto _ : state) std::tie(lib, base) = FastestOfEach(200, library, baseline);
  const long allocations = tessok::bench::Allocations() - before;
  const double perPoint = lib / (kRepeat * n), basePerPoint = base / (kRepeat * n);
  state.counters["ns_per_point"] = perPoint;
  state.counters["baseline_ns_per_point"] = basePerPoint;
  state.counters["ratio"] = perPoint / basePerPoint;
  for (int i = 0; i < n; ++i) {
    const bool same = ber[i] == ber2[i] || (std::isnan(ber[i]) && std::isnan(ber2[i]));
    if (!same || x[i] != x2[i]) {
      state.SkipWithError("the decoding differs from the baseline");
      return;
    }
  }
  ReportBudget("decoding over the baseline", perPoint / basePerPoint, 1.5);
  ReportBudget("allocations", static_cast<double>(allocations), 0);
}

void BM_AcquisitionDecodeHorizontal128(benchmark::State& s) { Decoding(s, tessok::measure::kHorizontal128, 0); }
void BM_AcquisitionDecodeHorizontal64(benchmark::State& s) { Decoding(s, tessok::measure::kHorizontal64, 1000); }
void BM_AcquisitionDecodeWithGate(benchmark::State& s) {
  Decoding(s, tessok::measure::kHorizontalWithGate, (std::uint64_t{1} << 32) + 7);
}
void BM_AcquisitionDecodeVertical128(benchmark::State& s) { Decoding(s, tessok::measure::kVertical128, 0); }
void BM_AcquisitionDecodeVertical64(benchmark::State& s) { Decoding(s, tessok::measure::kVertical64, 0); }
BENCHMARK(BM_AcquisitionDecodeHorizontal128)->Iterations(5);
BENCHMARK(BM_AcquisitionDecodeHorizontal64)->Iterations(5);
BENCHMARK(BM_AcquisitionDecodeWithGate)->Iterations(5);
BENCHMARK(BM_AcquisitionDecodeVertical128)->Iterations(5);
BENCHMARK(BM_AcquisitionDecodeVertical64)->Iterations(5);

// ---- MeasureBathtub's host work ----

double Tail(double z) { return 0.5 * std::erfc(z / std::sqrt(2.0)); }

// A 128-step reply of a dual-Dirac bathtub (UI of 128 positions, DJ 0.15 UI,
// RJ 2.5 positions), each count with the largest multiplier word that keeps it
// within 16 bits, BER below the finest step reading as 0.
std::vector<std::uint8_t> BathtubReply() {
  std::vector<std::uint8_t> reply(1024, 0);
  const double ui = 128.0, dj = 0.15 * ui, rj = 2.5;
  for (int i = 0; i < 129; ++i) {
    const double l = i, r = ui - i;
    const double ber =
        0.25 * (Tail((l - dj / 2) / rj) + Tail((l + dj / 2) / rj) + Tail((r - dj / 2) / rj) + Tail((r + dj / 2) / rj));
    const double perMultiplier = ber * 25000.0 * 10.0;
    double m = std::floor(std::min(6553.0, 65535.0 / std::max(perMultiplier, 1e-300)));
    double count = m <= 1.0 ? std::round(ber * 25000.0) : std::round(perMultiplier * m);
    if (m <= 1.0) m = 1.0;
    const auto c = static_cast<std::uint16_t>(std::min(count, 65535.0));
    const auto mw = static_cast<std::uint16_t>(m);
    reply[4 * i] = static_cast<std::uint8_t>(c & 0xFF);
    reply[4 * i + 1] = static_cast<std::uint8_t>(c >> 8);
    reply[4 * i + 2] = static_cast<std::uint8_t>(mw & 0xFF);
    reply[4 * i + 3] = static_cast<std::uint8_t>(mw >> 8);
  }
  return reply;
}

void BM_AcquisitionMeasureBathtubHostWork(benchmark::State& state) {
  Tessok_API* api = CreateApiInstance();
  if (api == nullptr) {
    state.SkipWithError("no memory for an instrument object");
    return;
  }
  api->phaseStep[0] = 1000.0 / (10.3125 * 129.0);
  const std::vector<std::uint8_t> reply = BathtubReply();
  std::vector<double> x(129), ber(129);
  const auto& family = tessok::measure::k128StepHorizontal;
  bool wellFormed = true;
  double best = 1e300;
  for (auto _ : state) {
    for (int r = 0; r < 1000; ++r) {
      auto t0 = Clock::now();
      wellFormed &= tessok::measure::StoreHorizontalCurve(*api, 0, family, reply.data(), x.data(), ber.data());
      best = std::min(best, Ns(Clock::now() - t0));
      benchmark::DoNotOptimize(ber.data());
    }
  }
  state.counters["ns_per_curve"] = best;
  DestroyApiInstance(api);
  if (!wellFormed) {
    state.SkipWithError("the sample curve failed the check");
    return;
  }
  ReportBudget("us of host work per curve", best / 1000.0, 5.0);
}
BENCHMARK(BM_AcquisitionMeasureBathtubHostWork)->Iterations(5);

// ---- Logs ----

struct LogDir {
  std::filesystem::path path;
  LogDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessok-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path = pattern;
  }
  ~LogDir() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
  void Empty() const {
    for (const auto& e : std::filesystem::directory_iterator(path)) std::filesystem::remove(e.path());
  }
};

void Log(benchmark::State& state, bool eye) {
  LogDir dir;
  Tessok_API* api = CreateApiInstance();
  if (dir.path.empty() || api == nullptr) {
    state.SkipWithError("no log directory or instrument object");
    if (api != nullptr) DestroyApiInstance(api);
    return;
  }
  const int lines = eye ? 32768 : 128;
  std::vector<double> x(lines), ber(lines);
  for (int i = 0; i < lines; ++i) {
    x[i] = i * 0.7559;
    ber[i] = 0.5 * std::exp(-0.05 * (i % 700));
  }
  api->curveCsvDir = dir.path.string() + "/";
  api->eyeCsvDir = api->curveCsvDir;
  api->saveCurveCsv = 1;
  api->saveEyeCsv = 1;
  const auto& format = eye ? tessok::measure::kEyeCsvFile : tessok::measure::kBathtubCsvFile;
  const std::string baselinePath = (dir.path / "baseline.csv").string();
  bool ok = true;
  auto library = [&] {
    ok &= tessok::measure::WriteMeasurementLog(*api, format, 0, eye ? ber.data() : x.data(), eye ? nullptr : ber.data(),
                                               lines) == tessok::measure::LogOutcome::Written;
  };
  auto baseline = [&] {
    std::FILE* f = std::fopen(baselinePath.c_str(), "wb");
    if (f == nullptr) return;
    for (int i = 0; i < lines; ++i) {
      if (eye) {
        std::fprintf(f, "%f\r\n", ber[i]);
      } else {
        std::fprintf(f, "%f,%f\r\n", x[i], ber[i]);
      }
    }
    std::fclose(f);
  };
  // Allocations of one file, of this length and of a one-line file: the
  // difference is what the lines cost.
  long perFile = 0, perShortFile = 0;
  {
    long before = tessok::bench::Allocations();
    library();
    perFile = tessok::bench::Allocations() - before;
    before = tessok::bench::Allocations();
    ok &= tessok::measure::WriteMeasurementLog(*api, format, 0, x.data(), nullptr, 1) ==
          tessok::measure::LogOutcome::Written;
    perShortFile = tessok::bench::Allocations() - before;
  }
  double lib = 0, base = 0;
  const int rounds = eye ? 30 : 300;
  for (auto _ : state) {
    lib = base = 1e300;
    for (int r = 0; r < rounds; ++r) {
      auto [l, b] = FastestOfEach(1, library, baseline);
      lib = std::min(lib, l);
      base = std::min(base, b);
      dir.Empty();
    }
  }
  state.counters["us_per_file"] = lib / 1000.0;
  state.counters["baseline_us_per_file"] = base / 1000.0;
  state.counters["ns_per_line"] = lib / lines;
  state.counters["ratio"] = lib / base;
  state.counters["allocs_per_file"] = static_cast<double>(perFile);
  DestroyApiInstance(api);
  if (!ok) {
    state.SkipWithError("a log could not be written");
    return;
  }
  ReportBudget("log over fprintf", lib / base, 1.25);
  ReportBudget("allocations per file", static_cast<double>(perFile), 8);
  ReportBudget("allocations added by the lines", static_cast<double>(perFile - perShortFile), 0);
}

void BM_AcquisitionBathtubLog(benchmark::State& s) { Log(s, false); }
void BM_AcquisitionEyeLog(benchmark::State& s) { Log(s, true); }
BENCHMARK(BM_AcquisitionBathtubLog)->Iterations(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AcquisitionEyeLog)->Iterations(1)->Unit(benchmark::kMicrosecond);

// ---- Packets per acquisition ----

struct Acquisition {
  const char* name;
  std::uint16_t model;
  std::size_t packets;  // the fewest the wire needs
  int points;
  std::function<void(Tessok_API&, double*, double*)> run;
};

void BM_AcquisitionPacketsPerPoint(benchmark::State& state) {
  const std::uint32_t two[4] = {1, 0, 1, 1};
  const Acquisition acquisitions[] = {
      {"bathtub_first", 7652, 7, 128, [](Tessok_API& a, double* x, double* b) { a.MeasureBathtub(0, x, b); }},
      {"bathtub", 7652, 3, 128, [](Tessok_API& a, double* x, double* b) { a.MeasureBathtub(0, x, b); }},
      {"multi_channel", 7652, 13, 192,
       [&](Tessok_API& a, double* x, double* b) { a.MeasureBathtubMultiChannel(two, x, b); }},
      {"with_gate", 7652, 7, 129,
       [](Tessok_API& a, double* x, double* b) { a.MeasureBathtubWithGate(0, 1000, 0, 0, x, b); }},
      {"vertical", 7652, 23, 256, [](Tessok_API& a, double* y, double* b) { a.MeasureVerticalBathtub(0, 0, y, b); }},
      {"vertical_64_step", 7792, 27, 256,
       [](Tessok_API& a, double* y, double* b) { a.MeasureVerticalBathtub(0, 0, y, b); }},
      {"histogram", 7652, 1, 160, [](Tessok_API& a, double* x, double* b) { a.GetPam4Histogram(0, x, b); }},
  };
  std::vector<double> x(1024), ber(1024);
  // The EEPROM waits of the connection and the status item count packets, not time.
  const tessok::platform::SleepHook previous = tessok::platform::SetSleepHook([](std::uint32_t) {});
  for (auto _ : state) {
    for (const Acquisition& acq : acquisitions) {
      tessok::sim::SimInstrument sim(acq.model == 7652 ? "127.0.201.1" : "127.0.201.2");
      tessok::sim::ApplyModel(sim, acq.model);
      for (unsigned bank = 0; bank < 4; ++bank) sim.SetReadValue(bank, 0x21C, 1);  // checkers locked
      if (APIConnect(0, sim.Address().c_str()) != 1) {
        tessok::platform::SetSleepHook(previous);
        state.SkipWithError("cannot connect to the simulated instrument");
        return;
      }
      Tessok_API& api = g_apiInstances[0];
      api.gateTimeSet = 0;
      // The second single-channel bathtub of an object finds its gate programmed.
      if (std::string(acq.name) == "bathtub") acq.run(api, x.data(), ber.data());
      sim.ClearLog();
      acq.run(api, x.data(), ber.data());
      const std::size_t packets = sim.RequestCount();
      APIDisconnect(0);
      state.counters[std::string(acq.name) + "_packets"] = static_cast<double>(packets);
      state.counters[std::string(acq.name) + "_per_point"] = static_cast<double>(packets) / acq.points;
      ReportBudget(std::string(acq.name) + " packets", static_cast<double>(packets), static_cast<double>(acq.packets),
                   Bound::Exactly);
    }
  }
  tessok::platform::SetSleepHook(previous);
}
BENCHMARK(BM_AcquisitionPacketsPerPoint)->Iterations(1);

}  // namespace
