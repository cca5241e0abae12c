// The auxiliary output block: per lane a frequency, amplitudes A and B and a
// level C (converted through the auxiliary calibration tables when they are in
// use) and a few control registers; on the board a global frequency, a global
// level and two control registers.
//
// Every single register write here passes its value through the main data
// word (regScratch.word[6]); WriteAuxControl417 sends whatever that word holds.
#include "signal/AuxOutput.h"

#include <cmath>
#include <span>

#include "calibration/Conversions.h"
#include "calibration/EepromMap.h"
#include "calibration/StatusItem.h"
#include "core/Lanes.h"
#include "core/RegisterOps.h"
#include "core/Tessok_API.h"
#include "signal/Registers.h"

using namespace tessok;

namespace {

constexpr std::uint16_t kBoardBank = 0;
constexpr int kBoardLane = 0;  // status lane of the board-level items
constexpr int kMaxCode = 4095;
constexpr double kHzPerMhz = 1e6;

// Band edges in MHz: band 0 from 0 up to and including the first edge, band k
// above edge k - 1 up to and including edge k. A frequency outside every band
// (negative, above the last edge, not a number) takes band 0.
constexpr double kUsualBandEdges[] = {5.0, 10.0, 15.0, 20.0, 25.0, 30.0, 35.0, 40.0, 60.0, 100.0};
constexpr double kVariant12AmplitudeAEdges[] = {0.1, 0.3, 0.7, 1.3, 2.7, 7.3, 12.7, 27.3, 92.7, 107.3};
constexpr double kGlobalBandEdges[] = {0.1, 0.2, 0.4, 0.5, 1.0, 5.0, 100.0};

int BandOf(std::span<const double> edges, double mhz) {
  if (!(mhz >= 0.0)) return 0;
  for (std::size_t band = 0; band < edges.size(); ++band) {
    if (mhz <= edges[band]) return static_cast<int>(band);
  }
  return 0;
}

// What a board does differently in this block, by model and option word 33.
struct AuxVariant {
  std::uint32_t model;
  std::uint32_t option33;
  double maxFrequencyMhz;
  std::span<const double> amplitudeAEdges;
  bool amplitudeBBandZero;          // amplitude B always converts with band 0
  bool signatureSelectsConversion;  // lane register 29 = 0xFACE converts uncalibrated amplitude A
  double levelLimit;
};

constexpr AuxVariant kUsualVariant{.model = 0,
                                   .option33 = 0,
                                   .maxFrequencyMhz = 100.0,
                                   .amplitudeAEdges = kUsualBandEdges,
                                   .amplitudeBBandZero = false,
                                   .signatureSelectsConversion = false,
                                   .levelLimit = 0.65};
constexpr AuxVariant kVariants[] = {
    {.model = 7733,
     .option33 = 12,
     .maxFrequencyMhz = 500.0,
     .amplitudeAEdges = kVariant12AmplitudeAEdges,
     .amplitudeBBandZero = true,
     .signatureSelectsConversion = true,
     .levelLimit = 0.22},
};

const AuxVariant& VariantOf(const Tessok_API& api) {
  for (const AuxVariant& v : kVariants) {
    if (api.board.row->model == v.model && api.option33 == v.option33) return v;
  }
  return kUsualVariant;
}

// The board part has its own test: option words 33 and 30 reading 12 and 1,
// whatever the model.
constexpr std::uint32_t kGlobalOption33 = 12;
constexpr std::uint32_t kGlobalOption30 = 1;
bool GlobalOptionsFitted(const Tessok_API& api) {
  return api.option33 == kGlobalOption33 && api.option30 == kGlobalOption30;
}

// Uncalibrated amplitude A of the signature boards: six requests have their
// own codes, every other one goes through the line.
struct FixedCode {
  double request;
  double code;
};
constexpr FixedCode kFixedCodes[] = {{3000, 1955}, {2800, 1704}, {2600, 1633},
                                     {2400, 1376}, {2200, 1228}, {2000, 1121}};
constexpr double kFixedSlope = 0.836428571428555;
constexpr double kFixedOffset = 588.238095238055;

double FixedConversion(double request) {
  for (const FixedCode& f : kFixedCodes) {
    if (request == f.request) return f.code;
  }
  return request * kFixedSlope - kFixedOffset;
}

// Codes of the 12-bit registers: 0 or less gives 0, above 4095 gives 4095.
std::uint16_t LimitCode(int code) {
  return static_cast<std::uint16_t>(code <= 0 ? 0 : (code > kMaxCode ? kMaxCode : code));
}
std::uint16_t LimitCode(double value) { return LimitCode(TruncateToInt32(value)); }
// The low 16 bits of a value truncated toward zero.
std::uint16_t Low16(double value) { return static_cast<std::uint16_t>(TruncateToInt32(value)); }

bool InCodeRange(double value) { return value >= 0.0 && value <= kMaxCode; }

// Bits 16-31 and 0-15 of hertz truncated toward zero, for 0 <= hz < 2^32. The
// upper half of that range does not fit the int32 conversion, so the high word
// is truncated from hz / 65536 (exact) and the low word from what remains
// (exact too: hz lies between 65536 x high and twice that).
void SplitHertz(double hz, std::uint16_t* high, std::uint16_t* low) {
  const std::int32_t h = TruncateToInt32(hz / 65536.0);
  *high = static_cast<std::uint16_t>(h);
  *low = static_cast<std::uint16_t>(TruncateToInt32(hz - 65536.0 * h));
}

// A single write through the virtual register access, with the value in the
// main data word.
std::uint8_t WriteBoardRegister(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t value) {
  std::uint16_t& word = api.regScratch.word[regs::kMainDataWord];
  word = value;
  return api.AccessBoardRegister(1, bank, reg, &word);
}

std::uint16_t Flag(int on) { return on == 1 ? 1 : 0; }

// Amplitudes A and B share one setter.
struct Amplitude {
  int table;  // index into Tessok_API::tableLoaded
  double (CalibrationStore::*header)[16];
  int (CalibrationStore::*convert)(int, int, double) const;
  int item;
  std::uint16_t reg;
  bool variantEdges;    // bands by the variant's own edges (A), or band 0 on the variant (B)
  bool zeroFlag;        // loaded but not in use: 0x401 = 1 for a value of 0 (A)
  bool readsSignature;  // no table: lane register 29 may select the fixed conversion (A)
};

constexpr Amplitude kAmplitudeA{.table = 0,
                                .header = &CalibrationStore::auxAmplitudeAMode,
                                .convert = &CalibrationStore::ComputeAuxAmplitudeACode,
                                .item = status::kAuxAmplitudeA,
                                .reg = reg::kAuxAmplitudeA,
                                .variantEdges = true,
                                .zeroFlag = true,
                                .readsSignature = true};
constexpr Amplitude kAmplitudeB{.table = 1,
                                .header = &CalibrationStore::auxAmplitudeBMode,
                                .convert = &CalibrationStore::ComputeAuxAmplitudeBCode,
                                .item = status::kAuxAmplitudeB,
                                .reg = reg::kAuxAmplitudeB,
                                .variantEdges = false,
                                .zeroFlag = false,
                                .readsSignature = false};

// A table is in use while loaded and with a header of exactly 2.0.
constexpr double kInUseHeader = 2.0;

bool TableInUse(const Tessok_API& api, const Amplitude& a, int ch) {
  return IsLane(ch) && api.tableLoaded[a.table][ch] == 1 && (api.calibration.*a.header)[ch] == kInUseHeader;
}

const Amplitude& AmplitudeOf(aux::Amplitude amplitude) {
  return amplitude == aux::Amplitude::A ? kAmplitudeA : kAmplitudeB;
}

int AmplitudeBand(const Amplitude& a, const AuxVariant& variant, double mhz) {
  if (a.variantEdges) return BandOf(variant.amplitudeAEdges, mhz);
  return variant.amplitudeBBandZero ? 0 : BandOf(kUsualBandEdges, mhz);
}

std::uint8_t SetAmplitude(Tessok_API& api, const Amplitude& a, int ch, double value) {
  Lane lane{};
  if (!ResolveLane(api, ch, kMappedThen3To2, &lane)) return 0;
  const AuxVariant& variant = VariantOf(api);
  const bool loaded = api.tableLoaded[a.table][ch] == 1;

  if (TableInUse(api, a, ch)) {
    // Calibrated: the band of the lane's recorded frequency picks the row. The
    // code is recorded as converted and limited only when it is sent, so that
    // the enable can send it again.
    if (!std::isfinite(value)) return 0;
    double mhz = 0.0;
    api.Monitor(lane.mapped, status::kAuxFrequency, &mhz);
    const int code = (api.calibration.*a.convert)(lane.mapped, AmplitudeBand(a, variant, mhz), value);
    return regs::RecordThenWrite(api, lane.mapped, a.item, code, lane.bank, a.reg, LimitCode(code));
  }

  if (!InCodeRange(value)) return 0;
  if (loaded) {
    // Loaded but not in use: the registers go to the channel's own bank after
    // 3 -> 2, without the channel map; the record stays at the mapped lane.
    Lane direct{};
    if (!ResolveLane(api, ch, {kFix3To2, false, kNoFix}, &direct)) return 0;
    api.WriteStatusToEEProm(lane.mapped, static_cast<std::int16_t>(a.item), value);
    if (a.zeroFlag) regs::Write(api, direct.bank, reg::kAuxFlag401, value == 0.0 ? 1 : 0);
    return regs::Write(api, direct.bank, a.reg, Low16(value));
  }

  api.WriteStatusToEEProm(lane.mapped, static_cast<std::int16_t>(a.item), value);
  double sent = value;
  if (a.readsSignature) {
    std::uint16_t signature = 0;
    regs::Read(api, lane.bank, reg::kLaneSignature, &signature);
    // Below about 703 the line gives negative codes: limited like every code.
    if (variant.signatureSelectsConversion && signature == reg::kAuxFixedConversionSignature) {
      sent = LimitCode(FixedConversion(value));
    }
  }
  return regs::Write(api, lane.bank, a.reg, Low16(sent));
}

}  // namespace

std::uint8_t Tessok_API::SetAuxFrequency(int ch, double mhz) {
  if (!(mhz >= 0.0 && mhz <= VariantOf(*this).maxFrequencyMhz)) return 0;
  Lane lane{};
  if (!ResolveLane(*this, ch, kMappedThen3To2, &lane)) return 0;
  WriteStatusToEEProm(lane.mapped, status::kAuxFrequency, mhz);
  std::uint16_t high = 0, low = 0;
  SplitHertz(mhz * kHzPerMhz, &high, &low);
  lastResult |= regs::Write(*this, lane.bank, reg::kAuxFrequencyHigh, high);
  return regs::Write(*this, lane.bank, reg::kAuxFrequencyLow, low);
}

std::uint8_t Tessok_API::SetAuxAmplitudeA(int ch, double value) { return SetAmplitude(*this, kAmplitudeA, ch, value); }
std::uint8_t Tessok_API::SetAuxAmplitudeB(int ch, double value) { return SetAmplitude(*this, kAmplitudeB, ch, value); }

std::uint8_t Tessok_API::EnableAuxAmplitudeA(int ch, std::uint32_t on) {
  Lane lane{};
  if (!ResolveLane(*this, ch, kMappedThen3To2, &lane)) return 0;
  std::uint16_t code = 0;
  if (on == 1) {
    // Item 23 holds the code last sent to 0x404 (the unlimited one when the
    // table was in use); an erased item reads NaN and gives 0.
    double stored = 0.0;
    Monitor(lane.bank, status::kAuxAmplitudeA, &stored);
    code = LimitCode(stored);
  }
  return regs::Write(*this, lane.bank, reg::kAuxAmplitudeA, code);
}

std::uint8_t Tessok_API::EnableAuxAmplitudeB(int ch, int on) {
  Lane lane{};
  if (!ResolveLane(*this, ch, kMappedThen3To2, &lane)) return 0;
  return regs::RecordThenWrite(*this, lane.mapped, status::kAuxAmplitudeB, 0.0, lane.bank, reg::kAuxAmplitudeBEnable,
                               Flag(on));
}

std::uint8_t Tessok_API::SetAuxLevelC(int ch, int value, std::uint32_t band) {
  Lane lane{};
  if (!ResolveLane(*this, ch, kMapped, &lane)) return 0;
  // Table C is in use with a header that truncates to 2 (2.9 counts).
  if (tableLoaded[2][ch] == 1 && TruncateToInt32(calibration.auxLevelCMode[ch]) == 2) {
    // Only rows 0 to 4 are ever loaded.
    if (band >= static_cast<std::uint32_t>(eeprom::kAuxLevelCRows)) return 0;
    const int code = calibration.ComputeAuxLevelCCode(lane.bank, static_cast<int>(band), value);
    WriteStatusToEEProm(lane.bank, status::kAuxLevelC, code);
    return WriteBoardRegister(*this, lane.bank, reg::kAuxLevelC, LimitCode(code));
  }
  return regs::RecordThenWrite(*this, lane.bank, status::kAuxLevelC, value, lane.bank, reg::kAuxLevelC,
                               static_cast<std::uint16_t>(value));
}

std::uint8_t Tessok_API::SetAuxSetting(int ch, double value) {
  if (!std::isfinite(value)) return 0;
  Lane lane{};
  if (!ResolveLane(*this, ch, kMappedThen3To2, &lane)) return 0;
  return regs::RecordThenWrite(*this, lane.mapped, status::kAuxSetting, value, lane.bank, reg::kAuxSetting,
                               Low16(value));
}

std::uint8_t Tessok_API::SetAuxControl40C(int ch, double value) {
  if (!InCodeRange(value)) return 0;
  Lane lane{};
  if (!ResolveLane(*this, ch, kMappedThen3To2, &lane)) return 0;
  // The register does not take 0.
  const std::uint16_t code = Low16(value);
  return regs::RecordThenWrite(*this, lane.mapped, status::kAuxControl40C, value, lane.bank, reg::kAuxControl40C,
                               code == 0 ? 1 : code);
}

std::uint8_t Tessok_API::SetAuxControl41A(int ch, std::uint16_t value) {
  Lane lane{};
  if (!ResolveLane(*this, ch, kMapped, &lane)) return 0;
  WriteBoardRegister(*this, lane.bank, reg::kAuxControl41A, value);
  return WriteStatusToEEProm(kBoardLane, status::kAuxControl41A, value);
}

std::uint8_t Tessok_API::SetAuxFlag401(int ch, int on) {
  Lane lane{};
  if (!ResolveLane(*this, ch, kMapped, &lane)) return 0;
  return regs::Write(*this, lane.bank, reg::kAuxFlag401, Flag(on));
}

std::uint8_t Tessok_API::SetAuxFlag419(int ch, int on) {
  Lane lane{};
  if (!ResolveLane(*this, ch, kMappedThen3To2, &lane)) return 0;
  return WriteBoardRegister(*this, lane.bank, reg::kAuxFlag419, Flag(on));
}

std::uint8_t Tessok_API::SetAuxGlobalControl(std::uint16_t value) {
  const std::uint16_t reg = GlobalOptionsFitted(*this) ? reg::kAuxGlobalControlAlt : reg::kAuxGlobalControl;
  return WriteBoardRegister(*this, kBoardBank, reg, value);
}

std::uint8_t Tessok_API::SetAuxFrequencyGlobal(double mhz) {
  const double hz = mhz * kHzPerMhz;
  if (!(hz >= 0.0 && hz < 4294967296.0)) return 0;  // the hertz must fit 32 bits
  std::uint16_t high = 0, low = 0;
  SplitHertz(hz, &high, &low);
  std::uint8_t ok = WriteBoardRegister(*this, kBoardBank, reg::kAuxGlobalFrequencyHigh, high);
  ok |= WriteBoardRegister(*this, kBoardBank, reg::kAuxGlobalFrequencyLow, low);
  WriteStatusToEEProm(kBoardLane, status::kAuxGlobalFrequency, hz);
  return ok;
}

std::uint8_t Tessok_API::SetAuxLevelGlobal(int value) {
  if (!GlobalOptionsFitted(*this)) return 0;
  if (auxGlobalLevelLoaded == 1 && auxGlobalLevelMode == 1) {
    WriteStatusToEEProm(kBoardLane, status::kAuxGlobalLevel, value);
    double hz = 0.0;
    Monitor(kBoardLane, status::kAuxGlobalFrequency, &hz);
    const int code = calibration.ComputeAuxGlobalLevelCode(BandOf(kGlobalBandEdges, hz / kHzPerMhz), value);
    return WriteBoardRegister(*this, kBoardBank, reg::kAuxGlobalLevel, LimitCode(code));
  }
  // Uncalibrated: the value goes out before and after its record, the second
  // time with 0 sent as 1.
  const std::uint16_t word = static_cast<std::uint16_t>(value);
  WriteBoardRegister(*this, kBoardBank, reg::kAuxGlobalLevel, word);
  WriteStatusToEEProm(kBoardLane, status::kAuxGlobalLevel, value);
  return WriteBoardRegister(*this, kBoardBank, reg::kAuxGlobalLevel, word == 0 ? 1 : word);
}

std::uint8_t Tessok_API::WriteAuxControl417() {
  return AccessBoardRegister(1, kBoardBank, reg::kAuxControl417, &regScratch.word[regs::kMainDataWord]);
}

double Tessok_API::GetAuxLevelLimit() { return VariantOf(*this).levelLimit; }

bool aux::AmplitudeTableInUse(const Tessok_API& api, Amplitude amplitude, int ch) {
  return TableInUse(api, AmplitudeOf(amplitude), ch);
}

std::uint8_t aux::WriteAmplitudeCode(Tessok_API& api, Amplitude amplitude, int ch, double code) {
  Lane lane{};
  if (!ResolveLane(api, ch, kMappedThen3To2, &lane)) return 0;
  return regs::Write(api, lane.bank, AmplitudeOf(amplitude).reg, LimitCode(code));
}
