// Eye-map captures against the simulated instrument: the single-channel
// capture of both families (packets, decoded words, row bounds, measured
// step, log, centring), the multi-channel capture through its last column,
// the raw block stores, failed transfers and bad input.
//
// Status records at 0x2000 + 8 (96 lane + item): item 9 (output level) of
// lane 0, 1, 2, 3 at 0x2048, 0x2348, 0x2648, 0x2948; items 19 and 20 (phase,
// threshold) of lane 0 at 0x2098 and 0x20A0, 0x300 further per lane.
// Registers: 0x30A = 778, 0x30B = 779, 0x30C = 780; gate 0x301 = 769 (high
// word) and 0x300 = 768 (low word) of banks 0 and 4.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "FaultSupport.h"
#include "LaneTrace.h"
#include "Payloads.h"
#include "TempDir.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::EyeColumnBlock;
using tessok::test::EyeRowBlock;
using tessok::test::IsLogName;
using tessok::test::R;
using tessok::test::Recorded;
using tessok::test::RecordRead;
using tessok::test::Rig;
using tessok::test::TempDir;
using tessok::test::Trace;
using tessok::test::TransferFaults;
using tessok::test::W;

namespace {

const std::vector<sim::RegisterValue> k7841Remapped{{57, 0x40}};

// A value no capture writes (no count / 25000 or / 10000, no multiple of the
// steps used here).
constexpr double kUnset = 0.123456789;

struct Arrays {
  explicit Arrays(std::size_t n = 32768) : x(n, kUnset), y(n, kUnset), ber(n, kUnset) {}
  std::vector<double> x, y, ber;
  bool Untouched() const {
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (x[i] != kUnset || y[i] != kUnset || ber[i] != kUnset) return false;
    }
    return true;
  }
};

bool MapUntouched(const Tessok_API& api, int lane) {
  for (double v : api.eyeMap[lane]) {
    if (v != kUnset) return false;
  }
  return true;
}

std::string Block(unsigned bank, unsigned k) { return "block " + std::to_string(bank) + ":" + std::to_string(k); }

// The lane trace with each numbered-block request as "block bank:k" (bytes
// F1 02 bank k 00).
Trace EyeTrace(const Rig& rig) {
  Trace blocks;
  for (const sim::Packet& p : rig.sim.Log()) {
    if (!p.IsExtended()) continue;
    const bool numbered = p.bytes[1] == 0x02 && p.bytes[4] == 0x00;
    blocks.push_back(numbered ? Block(p.bytes[2], p.bytes[3]) : "extended");
  }
  Trace out;
  std::size_t next = 0;
  for (const std::string& line : test::LaneTrace(rig))
    out.push_back(line.starts_with("extended") ? blocks[next++] : line);
  return out;
}

Trace Blocks(unsigned bank, unsigned count) {
  Trace out;
  for (unsigned k = 0; k < count; ++k) out.push_back(Block(bank, k));
  return out;
}

Trace Concat(std::initializer_list<Trace> parts) {
  Trace out;
  for (const Trace& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Trace kGate1000{W(0, 769, 0), W(0, 768, 1000), W(4, 769, 0), W(4, 768, 1000)};

// The centring's writes at a lane: the threshold, then the sampling point
// recorded (items 19 and 20) and written.
Trace Centring(unsigned lane, unsigned code, unsigned phase) {
  const std::uint32_t items = 0x2098 + 0x300 * lane;
  return {W(lane, 779, code), Recorded(items), Recorded(items + 8), W(lane, 778, (code << 8) | phase)};
}

void LogEyesInto(const TempDir& dir) { APIConfigureApplication(0, "./clk/", "", dir.Prefix().c_str(), 0, 1); }

// ---- 128-step single capture ----

// Row 120 is the eye: counts 1 to 128 (BER below 0.08). Every other row
// counts 2000 and up (BER 0.08 and up: no eye).
std::uint16_t Count128(int r, int k) {
  return static_cast<std::uint16_t>(r == 120 ? 1 + k : 2000 + (r * 131 + k * 17) % 60000);
}

void Serve128(Rig& rig, unsigned bank) {
  for (int r = 0; r < 256; ++r) rig.sim.SetNumberedBlock(bank, r, EyeRowBlock([r](int k) { return Count128(r, k); }));
}

// Channel 2 mapped to bank 3, sampling point read back non-zero.
struct Capture128Rig : Rig {
  Capture128Rig() : Rig(7652) {
    Connect();
    api().channelMap[2] = 3;
    api().phaseStep[3] = 0.5;
    api().calibration.thresholdStepMv = 2.0;
    api().eyeCentre[3] = kUnset;
    for (double& v : api().eyeMap[3]) v = kUnset;
    sim.SetReadValue(3, 0x30C, 0x2A40);
    Serve128(*this, 3);
  }
};

}  // namespace

TEST(CaptureEyeDiagram, RowsDecodedInOrderLoggedAndCentredOnTheEye) {
  TempDir dir;
  Capture128Rig rig;
  LogEyesInto(dir);
  Tessok_API& api = rig.api();
  Arrays a;
  ASSERT_EQ(api.CaptureEyeDiagram(2, a.x.data(), a.y.data(), a.ber.data()), 1);

  // One row makes the eye: its cells all fall into grid row 0, so the centre
  // is that row, 120 threshold steps.
  EXPECT_EQ(EyeTrace(rig), Concat({{W(3, 780, 0), R(3, 780)}, Blocks(3, 256), Centring(3, 120, 64)}));
  for (const sim::Packet& p : rig.sim.Log()) {
    if (!p.IsExtended()) continue;
    EXPECT_EQ(p.bytes[0], 0xF1);
    EXPECT_EQ(p.bytes[2], 3);
    EXPECT_EQ(p.bytes[4], 0x00);
  }
  for (int r = 0; r < 256; ++r) {
    for (int k = 0; k < 128; ++k) {
      const int i = r * 128 + k;
      ASSERT_EQ(a.ber[i], Count128(r, k) / 25000.0) << i;
      ASSERT_EQ(a.x[i], (128 - k) * 0.5) << i;  // column 0 at 128 phase steps
      ASSERT_EQ(a.y[i], r * 2.0) << i;
      ASSERT_EQ(api.eyeMap[3][i], a.ber[i]) << i;
    }
  }
  EXPECT_EQ(api.eyeMapValid[3], 1);
  EXPECT_EQ(api.eyeCentre[3], 120.0);
  EXPECT_EQ(api.GetEyeCentreResult(3), 120.0);

  // The eye log: every BER of the map, one per line, in index order.
  const std::vector<std::string> files = dir.Entries();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(IsLogName(files[0], "eyeChannel_3_")) << files[0];
  const std::string text = test::ReadFile(dir.Path() / files[0]);
  std::string expected;
  char line[64];
  for (double b : a.ber) {
    std::snprintf(line, sizeof line, "%f\r\n", b);
    expected += line;
  }
  EXPECT_EQ(text, expected);
}

TEST(CaptureEyeDiagram, LogThatCannotBeWrittenDoesNotFailTheCapture) {
  TempDir dir;
  Capture128Rig rig;
  const std::string missing = (dir.Path() / "missing").string() + "/";
  APIConfigureApplication(0, "./clk/", "", missing.c_str(), 0, 1);
  Arrays a;
  EXPECT_EQ(rig.api().CaptureEyeDiagram(2, a.x.data(), a.y.data(), a.ber.data()), 1);
  EXPECT_EQ(rig.api().eyeMapValid[3], 1);
  EXPECT_EQ(rig.api().eyeCentre[3], 120.0);
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(CaptureEyeDiagram, SamplingPointReadingZeroRefusesWithTheFilledMap) {
  TempDir dir;
  Capture128Rig rig;
  LogEyesInto(dir);
  Tessok_API& api = rig.api();
  api.eyeMapValid[3] = 1;
  rig.sim.SetReadValue(3, 0x30C, 0);
  Arrays a;
  EXPECT_EQ(api.CaptureEyeDiagram(2, a.x.data(), a.y.data(), a.ber.data()), 0);
  EXPECT_EQ(EyeTrace(rig), (Trace{W(3, 780, 0), R(3, 780)}));
  for (int r = 0; r < 256; ++r) {
    for (int k = 0; k < 128; ++k) {
      const int i = r * 128 + k;
      ASSERT_EQ(a.ber[i], 1.0);
      ASSERT_EQ(a.x[i], k * 0.5);  // rising with the column, unlike a capture
      ASSERT_EQ(a.y[i], r * 2.0);
      ASSERT_EQ(api.eyeMap[3][i], 1.0);
    }
  }
  EXPECT_EQ(api.eyeMapValid[3], 1);
  EXPECT_EQ(api.eyeCentre[3], kUnset);
  EXPECT_TRUE(dir.Entries().empty());
}

// ---- 64-step single capture ----

namespace {

// Column c of the 64-step map: rows 20 to 220 of columns 10 to 50 are the
// eye (counts below 800, BER below 0.08); other cells count 1000 and up.
// Block 63 counts 1 everywhere: an eye from row 0 to 255 if it were used.
std::uint32_t Count64(int c, int r) {
  if (c == 63) return 1;
  if (c >= 10 && c <= 50 && r >= 20 && r <= 220) return static_cast<std::uint32_t>(1 + (r + c) % 700);
  return static_cast<std::uint32_t>(1000 + r * 7 + c);
}

bool InEye64(int c, int r) { return c >= 10 && c <= 50 && r >= 20 && r <= 220; }

struct SixtyFourStepCase {
  std::uint16_t model;
  std::vector<sim::RegisterValue> options;
  int ch;
  unsigned bank;
  std::uint32_t levelRecord;  // item 9 of the bank
  bool rescaled;              // y of the eye cells in measured mV
};

}  // namespace

TEST(CaptureEyeDiagram, SixtyFourStepColumnsRowBoundsAndMeasuredStep) {
  const SixtyFourStepCase cases[] = {
      {7792, {}, 2, 2, 0x2648, false},
      {7822, {}, 1, 1, 0x2348, true},
      {7841, k7841Remapped, 1, 0, 0x2048, true},  // lane 1 is captured at bank 0
  };
  unsigned salt = 0;
  for (const SixtyFourStepCase& c : cases) {
    SCOPED_TRACE(c.model);
    TempDir dir;
    Rig rig(c.model, c.options, 0, ++salt);
    rig.Connect();
    LogEyesInto(dir);
    Tessok_API& api = rig.api();
    const unsigned b = c.bank;
    // 400 mV recorded, flag 0 (doubled), gain 0 (as 1), eye rows 20 to 220:
    // 800 / 200 = 4.0 mV per step.
    ASSERT_EQ(api.WriteStatusToEEProm(static_cast<int>(b), 9, 400.0), 1);
    api.calibration.laneFlag[b] = 0;
    api.calibration.laneGain[b] = 0.0;
    // The 7792's step from its polynomial: 2.0 at any rate. Its centring
    // divides by the object's own rate polynomial, at rate 0 its c0.
    for (double& p : api.calibration.thresholdStepPoly) p = 0.0;
    api.calibration.thresholdStepPoly[0] = 2.0;
    api.lineRate[b] = 0.0;
    for (double& v : api.eyeMap[b]) v = kUnset;
    for (int k = 0; k < 64; ++k) {
      rig.sim.SetNumberedBlock(b, static_cast<unsigned>(k), EyeColumnBlock([k](int r) { return Count64(k, r); }));
    }
    rig.sim.ClearLog();
    Arrays a;
    ASSERT_EQ(api.CaptureEyeDiagram(c.ch, a.x.data(), a.y.data(), a.ber.data()), 1);

    const double rowStep = c.rescaled ? 1.0 : 2.0;
    const double eyeStep = c.rescaled ? 4.0 : 2.0;
    EXPECT_EQ(api.calibration.thresholdStepMeasured[b], 4.0);
    EXPECT_EQ(api.calibration.eyeFirstRow[b], 20u);
    EXPECT_EQ(api.calibration.eyeLastRow[b], 220u);
    for (int r = 0; r < 256; ++r) {
      // Entry r x 64 is where block 63 would go: never written.
      ASSERT_EQ(a.x[r * 64], kUnset);
      ASSERT_EQ(a.y[r * 64], kUnset);
      ASSERT_EQ(a.ber[r * 64], kUnset);
      ASSERT_EQ(api.eyeMap[b][r * 64], kUnset);
      for (int col = 0; col < 63; ++col) {
        const int i = r * 64 + 63 - col;
        ASSERT_EQ(a.ber[i], Count64(col, r) / 10000.0) << i;
        ASSERT_EQ(a.x[i], col * 1.5625) << i;
        ASSERT_EQ(a.y[i], r * (InEye64(col, r) ? eyeStep : rowStep)) << i;
        ASSERT_EQ(api.eyeMap[b][i], a.ber[i]) << i;
      }
    }
    // The centre: the grid rows hold eight map rows each (the 26th only row
    // 220) and every cell keeps its top row, 27 + 8g, so the level is the
    // mean of those rows, (25 x 27 + 8 x 300 + 220) / 26 = 3295 / 26 rows.
    const double centre = c.rescaled ? 3295.0 / 26 : 2.0 * 3295.0 / 26 / 6.495886904;
    EXPECT_DOUBLE_EQ(api.eyeCentre[b], centre);
    const auto code = static_cast<unsigned>(centre);
    EXPECT_EQ(EyeTrace(rig), Concat({{RecordRead(c.levelRecord)}, kGate1000, Blocks(b, 64), Centring(b, code, 32)}));
    EXPECT_EQ(api.eyeMapValid[b], 1);
    // The eye log of these boards is created and stays empty.
    const std::vector<std::string> files = dir.Entries();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(IsLogName(files[0], "eyeChannel_" + std::to_string(b) + "_")) << files[0];
    EXPECT_EQ(test::ReadFile(dir.Path() / files[0]), "");
    APIDisconnect(0);
  }
}

TEST(CaptureEyeDiagram, SixtyFourStepWithoutEyeStoresTheStepAsComputed) {
  // No eye cell: both rows 0, the step 800 / 0 = infinity. One eye cell (row
  // 30): the last row stays 0 and the step is 800 / -30.
  struct Case {
    int eyeRow;
    double step;
  } cases[] = {{-1, std::numeric_limits<double>::infinity()}, {30, 800.0 / -30}};
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(7822, {}, 0, ++salt);
    rig.Connect();
    Tessok_API& api = rig.api();
    ASSERT_EQ(api.WriteStatusToEEProm(1, 9, 400.0), 1);
    api.calibration.laneFlag[1] = 0;
    api.calibration.laneGain[1] = 0.0;
    for (int k = 0; k < 64; ++k) {
      rig.sim.SetNumberedBlock(1, static_cast<unsigned>(k),
                               EyeColumnBlock([&](int r) { return k == 5 && r == c.eyeRow ? 10u : 5000u; }));
    }
    Arrays a;
    ASSERT_EQ(api.CaptureEyeDiagram(1, a.x.data(), a.y.data(), a.ber.data()), 1);
    EXPECT_EQ(api.calibration.thresholdStepMeasured[1], c.step) << c.eyeRow;
    EXPECT_EQ(api.calibration.eyeFirstRow[1], c.eyeRow < 0 ? 0u : 30u);
    EXPECT_EQ(api.calibration.eyeLastRow[1], 0u);
    APIDisconnect(0);
  }
}

// ---- Multi-channel capture ----

namespace {

// Count r of column b of channel c, all BER 0.1 and up (no eye).
std::uint32_t MultiCount(int c, int b, int r) { return static_cast<std::uint32_t>(1000 + r + 3 * b + 100 * c); }

}  // namespace

TEST(CaptureEyeDiagramMultiChannel, OneTwentyEightStepColumnsPerChannel) {
  Rig rig(7652);
  rig.Connect();
  Tessok_API& api = rig.api();
  api.phaseStep[0] = 0.5;
  api.phaseStep[2] = 0.25;
  api.calibration.thresholdStepMv = 3.0;
  api.channelMap[0] = 1;  // not used: the channel is the bank
  for (int c : {0, 2}) {
    for (int b : {0, 5}) {
      rig.sim.SetNumberedBlock(c, b, EyeColumnBlock([c, b](int r) { return MultiCount(c, b, r); }));
    }
  }
  const int enable[4] = {1, 2, 1, 0};  // only a flag of 1 takes part
  Arrays a(4 * 32768);
  ASSERT_EQ(api.CaptureEyeDiagramMultiChannel(enable, 0, a.x.data(), a.y.data(), a.ber.data()), 1);
  EXPECT_EQ(EyeTrace(rig), Concat({kGate1000, {Block(0, 0), Block(2, 0)}}));
  rig.sim.ClearLog();
  ASSERT_EQ(api.CaptureEyeDiagramMultiChannel(enable, 5, a.x.data(), a.y.data(), a.ber.data()), 1);
  EXPECT_EQ(EyeTrace(rig), (Trace{Block(0, 5), Block(2, 5)}));

  for (int c : {0, 2}) {
    for (int b : {0, 5}) {
      for (int r = 0; r < 256; ++r) {
        const int entry = r * 128 + b;
        const int i = c * 32768 + entry;
        ASSERT_EQ(a.ber[i], MultiCount(c, b, r) / 10000.0);
        ASSERT_EQ(a.x[i], b * api.phaseStep[c]);  // rising with the column
        ASSERT_EQ(a.y[i], r * 3.0);
        ASSERT_EQ(api.eyeMap[c][entry], a.ber[i]);
      }
    }
  }
  EXPECT_EQ(a.ber[32768 + 5], kUnset);  // channel 1 took no part
  EXPECT_EQ(a.ber[6], kUnset);          // nor did column 6
  EXPECT_EQ((std::vector<int>{api.eyeMapValid[0], api.eyeMapValid[1], api.eyeMapValid[2], api.eyeMapValid[3]}),
            (std::vector<int>{1, 0, 1, 0}));
  // Channel 2's column 5 kept in store B (3,407,872 + channel x 1,048,576 +
  // block x 1024) and as counts (8,650,752 + channel x 131,072 + block x 1024).
  const std::vector<std::uint8_t> payload = EyeColumnBlock([](int r) { return MultiCount(2, 5, r); });
  const std::uint8_t* stored = api.captureArea + 3407872 + 2 * 1048576 + 5 * 1024;
  const std::uint8_t* counts = api.captureArea + 8650752 + 2 * 131072 + 5 * 1024;
  EXPECT_EQ(std::vector<std::uint8_t>(stored, stored + 1024), payload);
  EXPECT_EQ(std::vector<std::uint8_t>(counts, counts + 1024), payload);
}

TEST(CaptureEyeDiagramMultiChannel, NoChannelTakingPartProgramsOnlyTheGate) {
  Rig rig(7652);
  rig.Connect();
  const int none[4] = {0, 0, 0, 0};
  Arrays a(4 * 32768);
  EXPECT_EQ(rig.api().CaptureEyeDiagramMultiChannel(none, 0, a.x.data(), a.y.data(), a.ber.data()), 1);
  EXPECT_EQ(EyeTrace(rig), kGate1000);
  EXPECT_EQ(rig.api().CaptureEyeDiagramMultiChannel(none, 7, a.x.data(), a.y.data(), a.ber.data()), 1);
  EXPECT_EQ(rig.sim.RequestCount(), 4u);
  EXPECT_TRUE(a.Untouched());
  for (int c = 0; c < 4; ++c) EXPECT_EQ(rig.api().eyeMapValid[c], 0);
}

namespace {

// Eye of channel 1: rows 30 to 130 of columns 5 to 40; of channel 3: rows 50
// to 90 of columns 10 to 20 (counts below 800).
bool MultiEye(int c, int b, int r) {
  if (c == 1) return b >= 5 && b <= 40 && r >= 30 && r <= 130;
  return b >= 10 && b <= 20 && r >= 50 && r <= 90;
}
std::uint32_t MultiEyeCount(int c, int b, int r) {
  return MultiEye(c, b, r) ? static_cast<std::uint32_t>(1 + (r + b) % 700) : MultiCount(c, b, r);
}

}  // namespace

TEST(CaptureEyeDiagramMultiChannel, SixtyFourStepMeasuresStepAndRowsAtTheLastColumn) {
  struct Case {
    std::uint16_t model;
    std::vector<sim::RegisterValue> options;
  } cases[] = {{7792, {}}, {7841, k7841Remapped}};  // no fix-up: channel 1 stays bank 1
  unsigned salt = 0;
  for (const Case& m : cases) {
    SCOPED_TRACE(m.model);
    Rig rig(m.model, m.options, 0, ++salt);
    rig.Connect();
    Tessok_API& api = rig.api();
    CalibrationStore& cal = api.calibration;
    // Amplitudes 300 and 200 mV, channel 1's gain 2: steps 300 / 2 / 100 =
    // 1.5 and 200 / 40 = 5.0 mV, the flag not doubling them here.
    ASSERT_EQ(api.WriteStatusToEEProm(1, 9, 300.0), 1);
    ASSERT_EQ(api.WriteStatusToEEProm(3, 9, 200.0), 1);
    cal.laneGain[1] = 2.0;
    cal.laneGain[3] = 0.0;
    cal.laneFlag[1] = cal.laneFlag[3] = 0;
    for (double& p : cal.thresholdStepPoly) p = 0.0;
    cal.thresholdStepPoly[0] = 2.0;  // the 7792's step before the measurement
    api.lineRate[1] = api.lineRate[3] = 10.0;
    for (int c : {1, 3}) {
      cal.eyeFirstRow[c] = cal.eyeLastRow[c] = 77;
      for (int b = 0; b < 64; ++b) {
        rig.sim.SetNumberedBlock(c, b, EyeColumnBlock([c, b](int r) { return MultiEyeCount(c, b, r); }));
      }
    }
    rig.sim.ClearLog();
    const int enable[4] = {0, 1, 0, 1};
    Arrays a(4 * 16384);
    for (std::uint32_t b = 0; b < 63; ++b) {
      ASSERT_EQ(api.CaptureEyeDiagramMultiChannel(enable, b, a.x.data(), a.y.data(), a.ber.data()), 1);
    }
    // Columns 0 to 62 reset the step and leave the rows alone.
    for (int c : {1, 3}) {
      EXPECT_EQ(cal.thresholdStepMeasured[c], 1.0);
      EXPECT_EQ(cal.eyeFirstRow[c], 77u);
    }
    EXPECT_EQ(rig.sim.RequestCount(), 4u + 2 * 63);
    rig.sim.ClearLog();
    ASSERT_EQ(api.CaptureEyeDiagramMultiChannel(enable, 63, a.x.data(), a.y.data(), a.ber.data()), 1);
    EXPECT_EQ(EyeTrace(rig), (Trace{Block(1, 63), Block(3, 63), RecordRead(0x2348), RecordRead(0x2948)}));

    const double rowStep = m.model == 7792 ? 2.0 : 1.0;
    const double steps[4] = {0, 1.5, 0, 5.0};
    EXPECT_EQ(cal.eyeFirstRow[1], 30u);
    EXPECT_EQ(cal.eyeLastRow[1], 130u);
    EXPECT_EQ(cal.eyeFirstRow[3], 50u);
    EXPECT_EQ(cal.eyeLastRow[3], 90u);
    for (int c : {1, 3}) {
      EXPECT_EQ(cal.thresholdStepMeasured[c], steps[c]);
      EXPECT_EQ(api.eyeMapValid[c], 1);
      for (int r = 0; r < 256; ++r) {
        for (int b = 0; b < 64; ++b) {
          const int entry = r * 64 + b;  // rising columns
          const int i = c * 16384 + entry;
          ASSERT_EQ(a.ber[i], MultiEyeCount(c, b, r) / 10000.0);
          ASSERT_EQ(a.x[i], b * 1.5625);
          // Entry r x 64 is column 0 here, but the rows and the rescaling
          // look at entries 63 down to 1 only.
          const bool rescaled = MultiEye(c, b, r) && b != 0;
          ASSERT_EQ(a.y[i], r * (rescaled ? steps[c] : rowStep)) << c << " " << r << " " << b;
          ASSERT_EQ(api.eyeMap[c][entry], a.ber[i]);
        }
      }
    }
    APIDisconnect(0);
  }
}

// ---- Failures and bad input ----

namespace {

enum class Fault { kClose, kShort, kReceive, kSend };
const char* Name(Fault f) {
  switch (f) {
    case Fault::kClose: return "close";
    case Fault::kShort: return "short";
    case Fault::kReceive: return "receive";
    case Fault::kSend: return "send";
  }
  return "";
}

// Injects the fault at the n-th request from now; the reply of a short one
// holds one byte less than the block's counts.
void Inject(Rig& rig, TransferFaults& faults, Fault f, std::size_t n, std::size_t countsBytes) {
  switch (f) {
    case Fault::kClose: rig.sim.CloseAtRequest(rig.sim.RequestsSinceStart() + n); break;
    case Fault::kShort: rig.sim.ShortReplyAtRequest(rig.sim.RequestsSinceStart() + n, countsBytes - 1); break;
    case Fault::kReceive: faults.FailReceive(n); break;
    case Fault::kSend: faults.FailSend(n); break;
  }
}

}  // namespace

TEST(CaptureEyeDiagram, BlockThatDidNotArriveWholeEndsTheCaptureWithNothingStored) {
  struct Case {
    std::uint16_t model;
    int ch;
    std::size_t before;  // requests before the first block
    std::size_t countsBytes;
  } cases[] = {
      {7652, 2, 2, 256},    // the 0x30C write and read; a row is 128 u16 counts
      {7822, 1, 20, 1024},  // the level record (16) and the gate (4); a column is 256 u32 counts
  };
  for (const Case& c : cases) {
    for (Fault f : {Fault::kClose, Fault::kShort, Fault::kReceive, Fault::kSend}) {
      SCOPED_TRACE(std::to_string(c.model) + " " + Name(f));
      TempDir dir;
      Rig rig(c.model);
      rig.Connect();
      LogEyesInto(dir);
      Tessok_API& api = rig.api();
      api.channelMap[2] = 3;
      const int bank = c.model == 7652 ? 3 : 1;
      rig.sim.SetReadValue(bank, 0x30C, 0x2A40);
      if (c.model == 7652) Serve128(rig, 3);
      api.eyeCentre[bank] = kUnset;
      api.calibration.thresholdStepMeasured[bank] = kUnset;
      api.calibration.eyeFirstRow[bank] = api.calibration.eyeLastRow[bank] = 77;
      for (double& v : api.eyeMap[bank]) v = kUnset;
      TransferFaults faults;
      const std::size_t failing = 30;  // the block that fails
      Inject(rig, faults, f, c.before + failing, c.countsBytes);
      Arrays a;
      EXPECT_EQ(api.CaptureEyeDiagram(c.ch, a.x.data(), a.y.data(), a.ber.data()), 0);
      // Nothing after the failing block is requested (a failed send reaches
      // the instrument not at all).
      EXPECT_EQ(rig.sim.RequestCount(), c.before + failing + (f == Fault::kSend ? 0 : 1));
      EXPECT_EQ(api.hwLayer.sock, tessok::platform::kNoSocket);  // the link ended with the block
      EXPECT_TRUE(a.Untouched());
      EXPECT_TRUE(MapUntouched(api, bank));
      EXPECT_EQ(api.eyeMapValid[bank], 0);
      EXPECT_EQ(api.eyeCentre[bank], kUnset);
      EXPECT_EQ(api.calibration.thresholdStepMeasured[bank], kUnset);
      EXPECT_EQ(api.calibration.eyeFirstRow[bank], 77u);
      EXPECT_EQ(api.calibration.eyeLastRow[bank], 77u);
      EXPECT_TRUE(dir.Entries().empty());
    }
  }
}

TEST(CaptureEyeDiagramMultiChannel, BlockThatDidNotArriveWholeStoresNothing) {
  for (std::uint16_t model : {std::uint16_t{7652}, std::uint16_t{7822}}) {
    for (Fault f : {Fault::kClose, Fault::kShort, Fault::kReceive, Fault::kSend}) {
      SCOPED_TRACE(std::to_string(model) + " " + Name(f));
      Rig rig(model);
      rig.Connect();
      Tessok_API& api = rig.api();
      for (int c = 0; c < 4; ++c) {
        for (double& v : api.eyeMap[c]) v = kUnset;
      }
      const int enable[4] = {1, 1, 1, 0};
      TransferFaults faults;
      Inject(rig, faults, f, 1, 1024);  // channel 1's block of column 3
      Arrays a(4 * 32768);
      EXPECT_EQ(api.CaptureEyeDiagramMultiChannel(enable, 3, a.x.data(), a.y.data(), a.ber.data()), 0);
      EXPECT_EQ(rig.sim.RequestCount(), f == Fault::kSend ? 1u : 2u);
      EXPECT_EQ(api.hwLayer.sock, tessok::platform::kNoSocket);
      EXPECT_TRUE(a.Untouched());
      for (int c = 0; c < 4; ++c) {
        EXPECT_TRUE(MapUntouched(api, c)) << c;
        EXPECT_EQ(api.eyeMapValid[c], 0) << c;
      }
    }
  }
}

TEST(CaptureEyeDiagram, BadChannelOrArraySendsNothing) {
  Rig rig(7652);
  rig.Connect();
  Tessok_API& api = rig.api();
  api.channelMap[2] = 16;
  Arrays a;
  for (int ch : {-1, 16, 2}) EXPECT_EQ(api.CaptureEyeDiagram(ch, a.x.data(), a.y.data(), a.ber.data()), 0) << ch;
  EXPECT_EQ(api.CaptureEyeDiagram(0, nullptr, a.y.data(), a.ber.data()), 0);
  EXPECT_EQ(api.CaptureEyeDiagram(0, a.x.data(), nullptr, a.ber.data()), 0);
  EXPECT_EQ(api.CaptureEyeDiagram(0, a.x.data(), a.y.data(), nullptr), 0);

  const int enable[4] = {1, 1, 1, 1};
  Arrays m(4 * 32768);
  EXPECT_EQ(api.CaptureEyeDiagramMultiChannel(nullptr, 0, m.x.data(), m.y.data(), m.ber.data()), 0);
  EXPECT_EQ(api.CaptureEyeDiagramMultiChannel(enable, 0, nullptr, m.y.data(), m.ber.data()), 0);
  EXPECT_EQ(api.CaptureEyeDiagramMultiChannel(enable, 128, m.x.data(), m.y.data(), m.ber.data()), 0);
  api.boardModel = 7822;  // 64 columns
  api.RefreshBoardTraits();
  EXPECT_EQ(api.CaptureEyeDiagramMultiChannel(enable, 64, m.x.data(), m.y.data(), m.ber.data()), 0);
  EXPECT_EQ(rig.sim.RequestCount(), 0u);
  EXPECT_TRUE(a.Untouched());
  EXPECT_TRUE(m.Untouched());
}

TEST(StoreEyeBlock, CopiesOneBlockOfWordsIntoTheChannelsStore) {
  const test::ApiPtr api = test::NewApi();
  ASSERT_NE(api, nullptr);
  std::vector<std::uint16_t> src(1024 * 512);
  for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint16_t>(i * 7 + 3);
  // Store A: 524,288 + channel x 524,288, room for 512 blocks; store B:
  // 3,407,872 + channel x 1,048,576, room for 1024.
  EXPECT_EQ(api->StoreEyeBlockA(3, 511, src.data()), 0);
  EXPECT_EQ(api->StoreEyeBlockB(2, 1023, src.data()), 0);
  auto words = [&](std::size_t offset, std::size_t first) {
    for (std::size_t w = 0; w < 512; ++w) {
      const std::uint8_t* p = api->captureArea + offset + 2 * w;
      if (static_cast<std::uint16_t>(p[0] | (p[1] << 8)) != src[first + w]) return false;
    }
    return true;
  };
  EXPECT_TRUE(words(524288 + 3 * 524288 + 511 * 1024, 511 * 512));
  EXPECT_TRUE(words(3407872 + 2 * 1048576 + 1023 * 1024, 1023 * 512));
  // Refused: a channel outside 0-3, a block beyond the store, no source.
  EXPECT_EQ(api->StoreEyeBlockA(4, 0, src.data()), 0);
  EXPECT_EQ(api->StoreEyeBlockA(-1, 0, src.data()), 0);
  EXPECT_EQ(api->StoreEyeBlockA(0, 512, src.data()), 0);
  EXPECT_EQ(api->StoreEyeBlockB(0, 1024, src.data()), 0);
  EXPECT_EQ(api->StoreEyeBlockB(0, 0, nullptr), 0);
  for (std::size_t i = 0; i < 524288; ++i) ASSERT_EQ(api->captureArea[i + 524288], 0) << i;    // store A, channel 0
  for (std::size_t i = 0; i < 1048576; ++i) ASSERT_EQ(api->captureArea[i + 3407872], 0) << i;  // store B, channel 0
}
