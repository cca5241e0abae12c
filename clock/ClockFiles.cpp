// Clock files: the eight loaders and the writer (see clock/ClockFiles.h).
#include "clock/ClockFiles.h"

#include <algorithm>
#include <cstring>
#include <ios>
#include <locale>

#include "calibration/Conversions.h"
#include "clock/Registers.h"
#include "core/Models.h"
#include "core/RegisterOps.h"
#include "core/Tessok_API.h"
#include "core/ToString.h"
#include "platform/Directory.h"
#include "platform/Sleep.h"
#include "platform/Text.h"

using namespace tessok;
using namespace tessok::clockfile;

namespace tessok {

bool DirectoryExists(const std::string& path) { return platform::DirectoryExists(path.c_str()); }

namespace clockfile {

namespace {

constexpr int kRateDigits = 10;
constexpr const char* kSeparators = ",\r";

}  // namespace

std::string FileName(const std::string& dir, double rate) { return dir + ToString(rate, kRateDigits) + ".clk"; }

std::string FileName(const std::string& dir, double rate1, double rate2) {
  return dir + ToString(rate1, kRateDigits) + "_" + ToString(rate2, kRateDigits) + ".clk";
}

std::uint16_t FieldWord(double field) { return static_cast<std::uint16_t>(TruncateToInt32(field) & 0xFFFF); }

Pair ParsePair(const char* line) {
  char* end = nullptr;
  const double address = platform::ParseDouble(line, &end);
  // The separator is the one character after the address text, whatever it is.
  // Past the end of the line there is no value: 0.
  const double value = *end == '\0' ? 0.0 : platform::ParseDouble(end + 1, nullptr);
  return {FieldWord(address), FieldWord(value)};
}

int ParseMode(const char* line) { return TruncateToInt32(platform::ParseDouble(line, nullptr)); }

bool HasSecondField(const char* line) {
  const char* p = line + std::strspn(line, kSeparators);
  p += std::strcspn(p, kSeparators);
  p += std::strspn(p, kSeparators);
  return *p != '\0';
}

bool LineReader::Open(const std::string& path) {
  if (platform::GetPathKind(path.c_str()) != platform::PathKind::RegularFile) return false;
  in_.open(path, std::ios::in);
  return in_.is_open();
}

bool LineReader::Next() {
  line_[0] = '\0';
  if (ended_ || !in_.is_open()) return false;
  in_.getline(line_, kLineCapacity);
  if (!in_.fail()) return true;  // a whole line; the last one may lack its line feed
  ended_ = true;
  // Characters stored with the failure: the line ran past 99 characters and is
  // cut there. Nothing stored: the end of the file.
  return in_.gcount() > 0;
}

}  // namespace clockfile
}  // namespace tessok

namespace {

// Line-rate operations write through the single-read word.
constexpr int kClockWord = regs::kSingleReadWord;

void SendPair(Tessok_API& api, std::uint16_t bank, Pair pair) {
  // Neither result is looked at: a loader reports only whether its file was read.
  regs::Write(api, bank, reg::kClockChipAddress, pair.address, kClockWord);
  regs::Write(api, bank, reg::kClockChipValue, pair.value, kClockWord);
}

std::string NameOf(const Kind& kind, const std::string& dir, double rate1, double rate2) {
  return kind.name == NameForm::SingleRate ? FileName(dir, rate1) : FileName(dir, rate1, rate2);
}

// Every loader: read the file, send each pair at the bank as it is read,
// settle. 0 with nothing sent and no wait when the file cannot be opened.
template <typename OnMode>
int SendFile(Tessok_API& api, const std::string& name, const Kind& kind, int pairs, std::uint16_t bank,
             OnMode&& onMode) {
  if (!ForEachPair(name, kind, pairs, onMode, [&](Pair p) { SendPair(api, bank, p); })) return 0;
  platform::SleepMs(kSettleMs);
  return 1;
}

// The loaders without a mode line; the bank is taken to its low 16 bits.
int Load(Tessok_API& api, const Kind& kind, const std::string& dir, std::uint32_t bank, double rate1,
         double rate2 = 0.0) {
  return SendFile(api, NameOf(kind, dir, rate1, rate2), kind, kind.pairs, static_cast<std::uint16_t>(bank & 0xFFFF),
                  [](int) {});
}

// What the mode line of a clock file does on each model.
struct ModeFileModel {
  std::uint32_t model;
  bool altInputColumn;  // register 0x103 from the second column of kClockInputByMode
  bool pulseClockBit;   // bit 1 of bank-0 register 2 pulsed low then high before the pairs
  int pairs;            // pair lines after the mode line
};

constexpr ModeFileModel kModeFileModels[] = {
    {7775, false, true, 381},
    {7780, true, false, 379},
    {7781, true, false, 379},
};
constexpr ModeFileModel kModeFileDefault{0, false, false, kWithMode.pairs};

struct ClockInput {
  std::uint16_t bank;
  std::uint16_t value;
};

// Register 0x103 by mode (0, 1, any other), in two columns: most models, and
// the 7780/7781 form.
constexpr ClockInput kClockInputByMode[3][2] = {
    {{reg::kClockInputBankLow, 1}, {reg::kClockInputBankLow, 0}},
    {{reg::kClockInputBankLow, 1}, {reg::kClockInputBankLow, 1}},
    {{reg::kClockInputBankHigh, 0}, {reg::kClockInputBankHigh, 2}},
};

void SelectClockInput(Tessok_API& api, const ModeFileModel& m, int mode) {
  const int row = mode == 0 ? 0 : mode == 1 ? 1 : 2;
  const ClockInput in = kClockInputByMode[row][m.altInputColumn ? 1 : 0];
  regs::Write(api, in.bank, reg::kClockSelect, in.value, kClockWord);
  if (!m.pulseClockBit) return;
  std::uint16_t control = 0;
  // A failed read leaves another register's word: writing it back would
  // overwrite the board's control bits, so nothing is written then.
  if (regs::Read(api, 0, reg::kBoardControl, &control) == 0) return;
  regs::Write(api, 0, reg::kBoardControl, static_cast<std::uint16_t>(control & ~reg::kBoardControlClockBit),
              kClockWord);
  regs::Write(api, 0, reg::kBoardControl, static_cast<std::uint16_t>(control | reg::kBoardControlClockBit), kClockWord);
}

// The requested reference of a clock-file plan: the rate over the lane rate
// code of its band (the codes ConfigureLineRate writes for the same rate).
// False for a rate without a band: 32 Gb/s and above, and NaN.
bool ReferenceMHz(double rate, bool wideMiddleBand, double* mhz) {
  double divisor = 0.0;
  if (rate <= 3.0) {
    divisor = 16.0;
  } else if (rate <= 5.0) {
    divisor = 32.0;
  } else if (rate <= (wideMiddleBand ? 16.0 : 15.0)) {
    divisor = 64.0;
  } else if (rate < 32.0) {
    divisor = 100.0;
  } else {
    return false;
  }
  *mhz = rate * 1000.0 / divisor;
  return true;
}

// The clock-file plan: mode 0 with the board identifier whose plan the clock
// files carry, whatever model is connected.
constexpr std::uint32_t kFilePlanMode = 0;
constexpr int kFilePlanBoard = 7592;

// Writes the plan as a clock file. Only a missing name or a regular file is
// written: a FIFO under the name would block the open. A file that cannot be
// written is not an error of the caller's (the pairs still go out).
void WritePlanFile(const std::string& name, const SI5346_API& plan, std::size_t count) {
  const platform::PathKind kind = platform::GetPathKind(name.c_str());
  if (kind != platform::PathKind::Missing && kind != platform::PathKind::RegularFile) return;
  std::ofstream out(name, std::ios::out | std::ios::trunc);
  if (!out.is_open()) return;
  out.imbue(std::locale::classic());
  out << kGeneratedHeader << '\n';
  for (std::size_t i = 0; i < count; ++i) out << plan.addresses[i] << ',' << plan.values[i] << '\n';
}

}  // namespace

int Tessok_API::LoadClockFilePair378(std::string dir, double rate1, double rate2) {
  return Load(*this, kPair378, dir, 0, rate1, rate2);
}

int Tessok_API::LoadClockFile500(std::string dir, double rate) { return Load(*this, kFile500, dir, 0, rate); }

int Tessok_API::LoadClockFileWithMode(std::string dir, double rate) {
  const ModeFileModel& m = RowForModel(kModeFileModels, boardModel, kModeFileDefault);
  return SendFile(*this, NameOf(kWithMode, dir, rate, 0.0), kWithMode, m.pairs, 0,
                  [&](int mode) { SelectClockInput(*this, m, mode); });
}

int Tessok_API::LoadClockFileCsv2(std::string dir, double rate) { return Load(*this, kCsv, dir, 0, rate); }

int Tessok_API::GenerateClockFile(std::string dir, double rate, double* f1, double* refMHz, double* f3, double* f4) {
  // A rate without a band, or a request the planner cannot plan, is refused
  // before the file is opened: an existing good file is never replaced by an
  // empty one, and nothing is sent.
  double reference = 0.0;
  if (refMHz == nullptr || !ReferenceMHz(rate, option57Low == 1, &reference)) return 0;
  if (!DirectoryExists(dir) && !platform::CreateDirectory(dir.c_str())) return 0;
  const std::string name = FileName(dir, rate);
  *refMHz = reference;
  if (!si5346.ComputePlan(f1, refMHz, f3, f4, kFilePlanMode, kFilePlanBoard)) return 0;

  const std::size_t count = std::min(si5346.addresses.size(), si5346.values.size());
  // The file is complete and closed before the first pair goes out.
  WritePlanFile(name, si5346, count);
  SendPlan(*this, 0);
  platform::SleepMs(kSettleMs);
  return 1;
}

int Tessok_API::LoadClockFileCsv(std::string dir, double rate) { return Load(*this, kCsv, dir, 0, rate); }

int Tessok_API::LoadClockFile45(std::string dir, double rate) { return Load(*this, kFile45, dir, 0, rate); }

int Tessok_API::LoadClockFilePair45Bank(std::string dir, std::uint32_t bank, double rate1, double rate2) {
  return Load(*this, kPair45Bank, dir, bank, rate1, rate2);
}

int Tessok_API::LoadClockFilePair378Bank(std::string dir, std::uint32_t bank, double rate1, double rate2) {
  return Load(*this, kPair378Bank, dir, bank, rate1, rate2);
}

void tessok::clockfile::SendPlan(Tessok_API& api, std::uint16_t bank) {
  const std::size_t count = std::min(api.si5346.addresses.size(), api.si5346.values.size());
  for (std::size_t i = 0; i < count; ++i) SendPair(api, bank, {api.si5346.addresses[i], api.si5346.values[i]});
}
