// PAM4 receiver read-outs: the level histogram and the signal-to-noise ratio.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/Lanes.h"
#include "core/Models.h"
#include "core/RegisterOps.h"
#include "core/Tessok_API.h"
#include "link/Packet.h"
#include "link/ResultBlocks.h"
#include "measure/Acquisition.h"
#include "measure/CsvLogs.h"
#include "measure/Registers.h"

namespace {

// 160 bins of 1/16 from -5.0: the positions are fixed, whatever the reply says.
constexpr int kHistogramBins = 160;
constexpr double kFirstBinPosition = -5.0;
constexpr double kBinWidth = 0.0625;
// Count i is a little-endian two's-complement 32-bit word at byte 4i.
constexpr std::size_t kHistogramBytes = kHistogramBins * 4;
static_assert(kHistogramBytes > tessok::link::kPacketSize, "a short reply must not pass for a failed send");

// Models whose signal-to-noise register holds a linear noise figure, read as
// 37.1 - 10 log10(raw) dB; every other model counts tenths of a decibel.
constexpr std::uint32_t kLinearNoiseFigureModels[] = {7746};
constexpr double kLinearNoiseFigureOffsetDb = 37.1;
constexpr double kTenthsPerDb = 10.0;

}  // namespace

std::uint8_t Tessok_API::GetPam4Histogram(int ch, double* x, double* counts) {
  if (x == nullptr || counts == nullptr) return 0;
  tessok::Lane lane{};
  if (!tessok::ResolveLane(*this, ch, tessok::kMapped, &lane)) return 0;

  std::uint8_t reply[tessok::link::kReplyCapacity];
  hwLayer.ReadResultBlock(static_cast<std::uint8_t>(lane.bank), reply);
  // A block that did not arrive whole is no histogram: nothing changes.
  if (!tessok::measure::ReplyHolds(hwLayer, kHistogramBytes)) return 0;

  for (int i = 0; i < kHistogramBins; ++i) {
    counts[i] = tessok::link::SignedCount32(reply, static_cast<std::size_t>(i));
    x[i] = i * kBinWidth + kFirstBinPosition;
  }
  const auto log = tessok::measure::WriteMeasurementLog(*this, tessok::measure::kHistogramCsvFile, lane.bank, x, counts,
                                                        kHistogramBins);
  return log == tessok::measure::LogOutcome::Failed ? 0 : 1;
}

std::uint8_t Tessok_API::GetPam4SignalToNoiseRatio(int ch, double* snr) {
  if (snr == nullptr) return 0;
  // The channel is the bank itself: no channel map, no fix-ups. A channel
  // outside 0-15 (a negative one included) is refused, *snr untouched, rather
  // than reach bank (ch & 15).
  if (!tessok::IsLane(ch)) return 0;
  std::uint16_t raw = 0;
  const std::uint8_t ok =
      tessok::regs::Read(*this, static_cast<std::uint16_t>(ch), tessok::reg::kPam4SignalToNoise, &raw);
  // Computed from the word the read left, also when it failed.
  *snr = tessok::InModelList(kLinearNoiseFigureModels, boardModel)
             ? kLinearNoiseFigureOffsetDb - kTenthsPerDb * std::log10(raw)
             : raw / kTenthsPerDb;
  return ok;
}
