// Eye-map captures: the whole map of one channel in one call, or one phase
// column of channels 0 to 3 per call; and the raw block stores of the
// multi-channel capture.
//
// Blocks are requested one by one. A block that is not sent, not received or
// shorter than the counts decoded from it ends the capture with 0: no later
// block is requested and nothing is stored (caller's arrays, eyeMap,
// eyeMapValid, eyeCentre, the calibration fields), no log is written and the
// sampling point is not centred.
#include "measure/EyeCapture.h"

#include <cstring>

#include "calibration/StatusItem.h"
#include "core/Lanes.h"
#include "core/Models.h"
#include "core/RegisterOps.h"
#include "core/Tessok_API.h"
#include "link/ResultBlocks.h"
#include "measure/Acquisition.h"
#include "measure/CsvLogs.h"
#include "signal/Registers.h"

static_assert(tessok::measure::area::kSize == sizeof(Tessok_API::captureArea));

namespace tessok::measure {

EyeRows FindEyeRows64(const double* ber) {
  EyeRows rows{0, 0};
  bool met = false;
  for (int r = 0; r < kEyeRows; ++r) {
    const double* row = ber + r * kEyeColumns64;
    for (int e = kEyeColumns64 - 1; e >= 1; --e) {
      if (!IsEyeCell(row[e])) continue;
      if (met) {
        rows.last = static_cast<std::uint32_t>(r);
      } else {
        rows.first = static_cast<std::uint32_t>(r);
        met = true;
      }
    }
  }
  return rows;
}

void DecodeRowBlocks128(const std::uint8_t* __restrict blocks, double phaseStep, double thresholdStep,
                        double* __restrict x, double* __restrict y, double* __restrict ber, double* __restrict map) {
  for (int r = 0; r < kEyeRows; ++r) {
    const std::uint8_t* block = link::BlockAt(blocks, static_cast<std::size_t>(r));
    const double rowY = r * thresholdStep;
    const int base = r * kEyeColumns128;
    for (int k = 0; k < kEyeColumns128; ++k) {
      const double b = link::Count16(block, static_cast<std::size_t>(k)) / kCountsPerBer16;
      // Column 0 lies at 128 phase steps, column 127 at one.
      x[base + k] = (kEyeColumns128 - k) * phaseStep;
      y[base + k] = rowY;
      ber[base + k] = b;
      map[base + k] = b;
    }
  }
}

void DecodeColumnBlocks64(const std::uint8_t* __restrict blocks, double phaseStep, double thresholdStep,
                          double* __restrict x, double* __restrict y, double* __restrict ber, double* __restrict map) {
  // Block 63 arrives with the others but holds no column of the map.
  constexpr int kDecodedColumns = kEyeColumns64 - 1;
  // A block is a column and the map is by rows, so the rows go in bands of
  // one cache line of counts per block: each band takes its line of every
  // block once (blocks 1024 bytes apart share few cache sets, so reading a
  // row across all blocks at a time keeps missing), then writes each of its
  // rows whole, entry 1 up to 63.
  constexpr int kBandRows = 16;
  static_assert(kEyeRows % kBandRows == 0);
  std::uint32_t band[kBandRows][kDecodedColumns];
  for (int r0 = 0; r0 < kEyeRows; r0 += kBandRows) {
    for (int c = 0; c < kDecodedColumns; ++c) {
      const std::uint8_t* block = link::BlockAt(blocks, static_cast<std::size_t>(c));
      for (int j = 0; j < kBandRows; ++j) {
        band[j][kDecodedColumns - 1 - c] = link::Count32(block, static_cast<std::size_t>(r0 + j));
      }
    }
    for (int j = 0; j < kBandRows; ++j) {
      const int r = r0 + j;
      const double rowY = r * thresholdStep;
      // Entry e (1 to 63) of the row holds column 63 - e.
      double* const rowX = x + r * kEyeColumns64 + 1;
      double* const rowYs = y + r * kEyeColumns64 + 1;
      double* const rowBer = ber + r * kEyeColumns64 + 1;
      double* const rowMap = map + r * kEyeColumns64 + 1;
      for (int e = 0; e < kDecodedColumns; ++e) {
        const double b = band[j][e] / kCountsPerBer32;
        rowX[e] = (kDecodedColumns - 1 - e) * phaseStep;
        rowYs[e] = rowY;
        rowBer[e] = b;
        rowMap[e] = b;
      }
    }
  }
}

}  // namespace tessok::measure

namespace {

using namespace tessok;
using namespace tessok::measure;

// The single capture measures the mapped bank; on the 64-step models a 7841
// whose lane 1 is moved measures bank 0 for bank 1.
constexpr LaneRoute kCaptureRoute128 = kMapped;
constexpr LaneRoute kCaptureRoute64{kNoFix, true, kFix1To0};
// The 64-step counts and the multi-channel counts are taken over this gate.
constexpr std::uint32_t kEyeGate = 1000;

// Requests blocks 0 to count - 1 of a bank, block k into area at k x 1024;
// false at the first that did not bring `bytes` bytes (nothing more is then
// requested).
bool ReadBlocksWhole(Tessok_API& api, std::uint16_t bank, int count, std::uint8_t* area, std::size_t bytes) {
  for (int k = 0; k < count; ++k) {
    api.hwLayer.ReadBlock(static_cast<std::uint8_t>(bank), static_cast<std::uint16_t>(k), area);
    if (!ReplyHolds(api.hwLayer, bytes)) return false;
  }
  return true;
}

// Millivolts per threshold step from the eye's height: the amplitude over the
// lane gain (0 counts as 1) and the rows between the first and the last eye
// row, a signed difference. No eye, or one row of it, gives an infinite or
// not-a-number step, stored as computed.
double StepFromEyeHeight(const CalibrationStore& cal, int bank, double amplitude, EyeRows rows) {
  const double gain = cal.laneGain[bank] == 0.0 ? 1.0 : cal.laneGain[bank];
  const auto span = static_cast<std::int32_t>(rows.last - rows.first);
  return amplitude / gain / span;
}

// y = r x step for every eye cell of a 64-entry-wide slice (entries 63 down
// to 1 of each row, those the row bounds look at).
void RescaleEyeCells64(const double* ber, double* y, double step) {
  for (int r = 0; r < kEyeRows; ++r) {
    for (int e = kEyeColumns64 - 1; e >= 1; --e) {
      const int i = r * kEyeColumns64 + e;
      if (IsEyeCell(ber[i])) y[i] = r * step;
    }
  }
}

std::uint8_t Capture128(Tessok_API& api, std::uint16_t bank, double* x, double* y, double* ber) {
  const double phaseStep = api.phaseStep[bank];
  const double step = api.calibration.thresholdStepMv;
  double* map = api.eyeMap[bank];
  // Written 0 and read back: a lane that reads back no sampling point is not
  // captured. The read is not checked; a failed one decides from the
  // previous reply's word.
  regs::Write(api, bank, reg::kSamplingPointReadBack, 0);
  std::uint16_t point = 0;
  regs::Read(api, bank, reg::kSamplingPointReadBack, &point);
  if (point == 0) {
    // The refused map: every BER 1.0, x rising with the column (the captured
    // map has it falling). Validity, centre and log stay as they were.
    for (int r = 0; r < kEyeRows; ++r) {
      for (int k = 0; k < kEyeColumns128; ++k) {
        const int i = r * kEyeColumns128 + k;
        x[i] = k * phaseStep;
        y[i] = r * step;
        ber[i] = 1.0;
        map[i] = 1.0;
      }
    }
    return 0;
  }
  std::uint8_t* blocks = api.captureArea + area::kSingleCapture;
  if (!ReadBlocksWhole(api, bank, kEyeRows, blocks, kRowBlockBytes)) return 0;
  DecodeRowBlocks128(blocks, phaseStep, step, x, y, ber, map);
  // A log that cannot be written does not fail the capture.
  WriteMeasurementLog(api, kEyeCsvFile, bank, ber, nullptr, kEyeEntries128);
  api.eyeMapValid[bank] = 1;
  api.eyeCentre[bank] = api.CenterSamplingPoint(bank, x, y, ber);
  return 1;
}

std::uint8_t Capture64(Tessok_API& api, std::uint16_t bank, double* x, double* y, double* ber) {
  // The lane's recorded output level is the eye's amplitude in mV.
  double amplitude = 0.0;
  api.Monitor(bank, status::kOutputLevel, &amplitude);
  api.SetGateTime(kEyeGate);
  std::uint8_t* blocks = api.captureArea + area::kSingleCapture;
  if (!ReadBlocksWhole(api, bank, kEyeColumns64, blocks, kColumnBlockBytes)) return 0;

  CalibrationStore& cal = api.calibration;
  // Until the step is measured it is 1.0: on the boards whose evaluator
  // returns the measured step, y counts threshold steps.
  cal.thresholdStepMeasured[bank] = 1.0;
  const double step = cal.ComputeThresholdStep(api.boardModel, bank, 0.0, api.lineRate[bank]);
  DecodeColumnBlocks64(blocks, api.phaseStep[bank], step, x, y, ber, api.eyeMap[bank]);

  const EyeRows rows = FindEyeRows64(ber);
  cal.eyeFirstRow[bank] = rows.first;
  cal.eyeLastRow[bank] = rows.last;
  // A lane without the flag sees half the swing: its amplitude counts double.
  const double a = cal.laneFlag[bank] == 0 ? 2.0 * amplitude : amplitude;
  cal.thresholdStepMeasured[bank] = StepFromEyeHeight(cal, bank, a, rows);
  if (api.board.row->measuredThresholdStep) RescaleEyeCells64(ber, y, cal.thresholdStepMeasured[bank]);

  // The eye log of these boards is created (or emptied) and holds no line.
  WriteMeasurementLog(api, kEyeCsvFile, bank, ber, nullptr, 0);
  api.eyeMapValid[bank] = 1;
  api.eyeCentre[bank] = api.CenterSamplingPoint(bank, x, y, ber);
  return 1;
}

// The multi-channel capture of one family: where its replies, raw words and
// counts go, and the size of a channel's slice of the caller's arrays.
struct MultiChannelLayout {
  std::uint32_t columns;
  int sliceEntries;
  std::size_t replies;  // the column region: block k at + k x 1024
  int (Tessok_API::*store)(int, std::uint32_t, const std::uint16_t*);
  std::size_t storeBase, storeChannel;
  std::size_t countsBase, countsChannel;
  // 64-step: y from the store's evaluator after the step is reset to 1.0;
  // 128-step: the store's fixed step.
  bool stepFromEvaluator;
};

constexpr MultiChannelLayout kMulti128{
    kEyeColumns128, kEyeEntries128,       area::kColumns128, &Tessok_API::StoreEyeBlockB,
    area::kStoreB,  area::kStoreBChannel, area::kCounts128,  area::kCounts128Channel,
    false};
constexpr MultiChannelLayout kMulti64{
    kEyeColumns64, kEyeEntries64,        area::kColumns64, &Tessok_API::StoreEyeBlockA,
    area::kStoreA, area::kStoreAChannel, area::kCounts64,  area::kCounts64Channel,
    true};

constexpr int kMultiChannels = 4;
// The last column of a 64-step map: its call also measures step and rows.
constexpr std::uint32_t kClosingColumn64 = kEyeColumns64 - 1;

int StoreEyeBlock(Tessok_API& api, std::size_t base, std::size_t channelBytes, int ch, std::uint32_t block,
                  const std::uint16_t* src) {
  if (src == nullptr || ch < 0 || ch >= area::kStoreChannels) return 0;
  if (block >= channelBytes / area::kBlock) return 0;
  const std::size_t offset = static_cast<std::size_t>(block) * area::kBlock;
  std::uint8_t* to = api.captureArea + base + static_cast<std::size_t>(ch) * channelBytes + offset;
  // Byte-wise: src may point into the byte-addressed capture area.
  std::memcpy(to, reinterpret_cast<const unsigned char*>(src) + offset, area::kBlock);
  return 0;
}

}  // namespace

std::uint8_t Tessok_API::CaptureEyeDiagram(int ch, double* x, double* y, double* ber) {
  if (x == nullptr || y == nullptr || ber == nullptr) return 0;
  const bool sixtyFourStep = board.row->sixtyFourStep;
  Lane lane{};
  if (!ResolveLane(*this, ch, sixtyFourStep ? kCaptureRoute64 : kCaptureRoute128, &lane)) return 0;
  return sixtyFourStep ? Capture64(*this, lane.bank, x, y, ber) : Capture128(*this, lane.bank, x, y, ber);
}

std::uint8_t Tessok_API::CaptureEyeDiagramMultiChannel(const int* enable, std::uint32_t block, double* x, double* y,
                                                       double* ber) {
  if (enable == nullptr || x == nullptr || y == nullptr || ber == nullptr) return 0;
  const MultiChannelLayout& layout = board.row->sixtyFourStep ? kMulti64 : kMulti128;
  // A column beyond the map would put counts and slices out of place.
  if (block >= layout.columns) return 0;
  // The channel is the bank: no channel map, no fix-ups.
  bool takesPart[kMultiChannels];
  for (int c = 0; c < kMultiChannels; ++c) takesPart[c] = enable[c] == 1;

  if (block == 0) SetGateTime(kEyeGate);
  std::uint8_t* replies = captureArea + layout.replies;
  const auto* replyWords = reinterpret_cast<const std::uint16_t*>(replies);
  for (int c = 0; c < kMultiChannels; ++c) {
    if (!takesPart[c]) continue;
    hwLayer.ReadBlock(static_cast<std::uint8_t>(c), static_cast<std::uint16_t>(block), replies);
    if (!ReplyHolds(hwLayer, kColumnBlockBytes)) return 0;
    (this->*layout.store)(c, block, replyWords);
  }
  const std::size_t blockOffset = static_cast<std::size_t>(block) * area::kBlock;
  for (int c = 0; c < kMultiChannels; ++c) {
    if (!takesPart[c]) continue;
    // Word 2r is the low and word 2r + 1 the high half of count r.
    const std::uint8_t* raw =
        captureArea + layout.storeBase + static_cast<std::size_t>(c) * layout.storeChannel + blockOffset;
    std::uint8_t* counts =
        captureArea + layout.countsBase + static_cast<std::size_t>(c) * layout.countsChannel + blockOffset;
    for (int r = 0; r < kEyeRows; ++r) {
      const std::uint32_t count = link::GetU16(raw + 4 * r) | (std::uint32_t{link::GetU16(raw + 4 * r + 2)} << 16);
      link::PutU32(counts + 4 * r, count);
    }
  }
  for (int c = 0; c < kMultiChannels; ++c) {
    if (!takesPart[c]) continue;
    double step = calibration.thresholdStepMv;
    if (layout.stepFromEvaluator) {
      calibration.thresholdStepMeasured[c] = 1.0;
      step = calibration.ComputeThresholdStep(boardModel, c, 0.0, lineRate[c]);
    }
    const std::uint8_t* counts =
        captureArea + layout.countsBase + static_cast<std::size_t>(c) * layout.countsChannel + blockOffset;
    const std::size_t slice = static_cast<std::size_t>(c) * static_cast<std::size_t>(layout.sliceEntries);
    const double columnX = block * phaseStep[c];
    for (int r = 0; r < kEyeRows; ++r) {
      const std::size_t entry = static_cast<std::size_t>(r) * layout.columns + block;
      const double b = link::Count32(counts, static_cast<std::size_t>(r)) / kCountsPerBer32;
      x[slice + entry] = columnX;
      y[slice + entry] = r * step;
      ber[slice + entry] = b;
      eyeMap[c][entry] = b;
    }
    eyeMapValid[c] = 1;
  }
  if (!layout.stepFromEvaluator || block != kClosingColumn64) return 1;

  // The map is complete: each channel's rows and step, from its amplitude
  // without the doubling of the single capture, and y rescaled on every
  // 64-step board.
  for (int c = 0; c < kMultiChannels; ++c) {
    if (!takesPart[c]) continue;
    double amplitude = 0.0;
    Monitor(static_cast<std::uint32_t>(c), status::kOutputLevel, &amplitude);
    const std::size_t slice = static_cast<std::size_t>(c) * kEyeEntries64;
    const EyeRows rows = FindEyeRows64(ber + slice);
    calibration.eyeFirstRow[c] = rows.first;
    calibration.eyeLastRow[c] = rows.last;
    calibration.thresholdStepMeasured[c] = StepFromEyeHeight(calibration, c, amplitude, rows);
    RescaleEyeCells64(ber + slice, y + slice, calibration.thresholdStepMeasured[c]);
  }
  return 1;
}

int Tessok_API::StoreEyeBlockA(int ch, std::uint32_t block, const std::uint16_t* src) {
  return StoreEyeBlock(*this, area::kStoreA, area::kStoreAChannel, ch, block, src);
}

int Tessok_API::StoreEyeBlockB(int ch, std::uint32_t block, const std::uint16_t* src) {
  return StoreEyeBlock(*this, area::kStoreB, area::kStoreBChannel, ch, block, src);
}
