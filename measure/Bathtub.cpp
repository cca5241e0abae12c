// Horizontal bathtub acquisitions: one channel with cleaning and check, up to
// four channels from one result block, and one channel with a caller's gate.
//
// A failed transfer ends an acquisition before anything is stored: a checker
// whose state could not be read, or a result request that was not sent or
// whose reply holds fewer bytes than the decoding reads. Nothing more is then
// sent, and the tables, the fit flags and the caller's arrays keep what they
// held.
#include "measure/Bathtub.h"

#include <cstdint>

#include "core/Lanes.h"
#include "core/Models.h"
#include "core/Tessok_API.h"
#include "link/Packet.h"
#include "measure/Acquisition.h"
#include "measure/CsvLogs.h"

namespace tessok::measure {

const HorizontalFamily& HorizontalFamilyOf(const Tessok_API& api) {
  return api.board.row->sixtyFourStep ? k64StepHorizontal : k128StepHorizontal;
}

bool StoreHorizontalCurve(Tessok_API& api, int bank, const HorizontalFamily& family, const std::uint8_t* reply,
                          double* x, double* ber) {
  double* storedBer = api.bathtubBer[bank];
  double* storedX = api.bathtubX[bank];
  const double step = api.phaseStep[bank];
  DecodeBathtub(*family.decoding, reply, api.gateTime, step, storedBer, storedX);
  api.CleanBathtubCurve(false, bank, family.checkedEntries);
  // The cleaned BER goes back on the uniform grid, whatever the cleaning moved.
  for (int i = 0; i < family.handedBack; ++i) {
    ber[i] = storedBer[i];
    x[i] = i * step;
    storedX[i] = x[i];
  }
  return api.IsCurveWellFormed(false, bank, family.checkedEntries);
}

}  // namespace tessok::measure

namespace {

using namespace tessok;
using namespace tessok::measure;

// MeasureBathtub measures the mapped bank, after both fix-ups of the bank.
constexpr LaneRoute kMappedThenFixes{kNoFix, true, kBothFixes};
// MeasureBathtubWithGate takes the channel as it is, but for the 7841's move of lane 1.
constexpr LaneRoute kChannelWithFix1To0{kFix1To0, false, kNoFix};

// The several-channel acquisition: channels 0 to 3, each one block of 64
// 32-bit counts 256 bytes apart; selection 4 asks for all of them at once.
constexpr int kMultiChannels = 4;
constexpr int kAllChannels = 4;
constexpr std::size_t kChannelBlockBytes = 256;
constexpr int kPointsPerChannel = 64;
static_assert(ReplyBytes(kHorizontal64) == kChannelBlockBytes);

// An entry counts as enabled only when it is exactly 1. The first enabled
// entry selects its channel, a second one selects all; none selects channel 0.
int Selection(const std::uint32_t* enable) {
  int selection = 0;
  int enabled = 0;
  for (int c = 0; c < kMultiChannels; ++c) {
    if (enable[c] != 1) continue;
    selection = ++enabled == 1 ? c : kAllChannels;
  }
  return selection;
}

// Bytes of the reply that the decoding of a selection reads.
std::size_t MultiChannelReplyBytes(int selection, const std::uint32_t* enable) {
  if (selection != kAllChannels) return kChannelBlockBytes;
  int last = 0;
  for (int c = 0; c < kMultiChannels; ++c) {
    if (enable[c] == 1) last = c;
  }
  return kChannelBlockBytes * static_cast<std::size_t>(last + 1);
}

// Decodes one channel's 64-step block into the caller's arrays and the channel's tables.
void StoreChannelBlock(Tessok_API& api, int ch, const std::uint8_t* block, double* x, double* ber) {
  DecodeBathtub(kHorizontal64, block, api.gateTime, api.phaseStep[ch], ber, x);
  for (int k = 0; k < kPointsPerChannel; ++k) {
    api.bathtubBer[ch][k] = ber[k];
    api.bathtubX[ch][k] = x[k];
  }
}

}  // namespace

std::uint8_t Tessok_API::MeasureBathtub(int ch, double* x, double* ber) {
  if (x == nullptr || ber == nullptr) return 0;
  Lane lane{};
  if (!ResolveLane(*this, ch, kMappedThenFixes, &lane)) return 0;
  // From here the bank is the channel everywhere: checker, request, phase
  // step, tables, fit flag and log name.
  const int bank = lane.bank;
  switch (AskChecker(*this, bank)) {
    case Checker::ReadFailed: return 0;
    case Checker::NotSynchronised: return 1;  // nothing requested, nothing changed
    case Checker::Synchronised: break;
  }
  // Only an object's first acquisitions program the gate; later ones measure
  // over the gate programmed last.
  if (gateTimeSet == 0) SetGateTime(gateTime);

  const HorizontalFamily& family = HorizontalFamilyOf(*this);
  std::uint8_t reply[link::kReplyCapacity];
  hwLayer.ReadResultBlock(static_cast<std::uint8_t>(bank), reply);
  if (!ReplyHolds(hwLayer, ReplyBytes(*family.decoding))) return 0;
  // A curve that fails the check is stored and handed back, but leaves the fit
  // flag as it was and writes no log.
  if (!StoreHorizontalCurve(*this, bank, family, reply, x, ber)) return 1;
  horizontalFitValid[bank] = 0;
  const LogOutcome log = WriteMeasurementLog(*this, kBathtubCsvFile, bank, x, ber, family.logRows);
  return log == LogOutcome::Failed ? 0 : 1;
}

std::uint8_t Tessok_API::MeasureBathtubMultiChannel(const std::uint32_t* enable, double* x, double* ber) {
  if (enable == nullptr || x == nullptr || ber == nullptr) return 0;
  SetGateTime(gateTime);
  // On a 7841 whose lane 1 is moved, channel 1's curve is bank 0's; the other
  // selections stay, so no channel's curve is stored as another's.
  const int selection = ApplyLaneFixes(*this, Selection(enable), kFix1To0);

  std::uint8_t reply[link::kReplyCapacity];
  const std::uint8_t result = hwLayer.ReadResultBlock(static_cast<std::uint8_t>(selection), reply) ? 1 : 0;
  if (!ReplyHolds(hwLayer, MultiChannelReplyBytes(selection, enable))) return 0;

  // The block is asked for first, then all four checkers; one that reports
  // lock is enough for the curves to be stored.
  bool synchronised = false;
  for (int c = 0; c < kMultiChannels; ++c) {
    const Checker checker = AskChecker(*this, c);
    if (checker == Checker::ReadFailed) return 0;
    if (checker == Checker::Synchronised) synchronised = true;
  }
  if (!synchronised) return result;

  if (selection == kAllChannels) {
    for (int c = 0; c < kMultiChannels; ++c) {
      if (enable[c] != 1) continue;
      const std::size_t offset = static_cast<std::size_t>(kPointsPerChannel * c);
      StoreChannelBlock(*this, c, reply + kChannelBlockBytes * static_cast<std::size_t>(c), x + offset, ber + offset);
    }
    for (int c = 0; c < kMultiChannels; ++c) horizontalFitValid[c] = 0;
  } else {
    // One channel: its fit flag is left as it is.
    StoreChannelBlock(*this, selection, reply, x, ber);
  }
  return result;
}

void Tessok_API::MeasureBathtubWithGate(int ch, std::uint64_t gate, std::uint8_t a, std::uint8_t b, double* x,
                                        double* ber) {
  if (x == nullptr || ber == nullptr) return;
  Lane lane{};
  if (!ResolveLane(*this, ch, kChannelWithFix1To0, &lane)) return;
  // The gate registers take the low 32 bits; the BER divides by the whole gate.
  SetGateTime(static_cast<std::uint32_t>(gate));
  ch = lane.bank;
  if (AskChecker(*this, ch) != Checker::Synchronised) return;

  std::uint8_t reply[link::kReplyCapacity];
  hwLayer.RequestBathtub(static_cast<std::uint8_t>(ch), a, b, reply);
  if (!ReplyHolds(hwLayer, ReplyBytes(kHorizontalWithGate))) return;
  // Neither cleaned nor checked; the stored positions stay as they were.
  DecodeBathtub(kHorizontalWithGate, reply, gate, phaseStep[ch], ber, x);
  for (int i = 0; i < kHorizontalWithGate.points; ++i) bathtubBer[ch][i] = ber[i];
  horizontalFitValid[ch] = 0;
  // A log that cannot be written is skipped: the operation has no result.
  WriteMeasurementLog(*this, kBathtubCsvFile, ch, x, ber, kHorizontalWithGate.points);
}
