#include "clock/ClockRegisterList.h"

#include <array>
#include <string_view>

#include "core/Models.h"

namespace {

// Where the value of one body entry comes from: a fixed byte, or byte `byte`
// of a computed field.
enum Field : std::uint8_t {
  kFixed,
  kBoard,
  kWordA,
  kWordB,
  kPA,
  kPB,
  kRRegA,
  kRRegB,
  kN0,
  kN1,
  kMNumA,
  kMDenA,
  kMNumB,
  kMDenB,
};

struct Slot {
  std::uint8_t field;
  std::uint8_t byte;   // byte index within the field
  std::uint8_t fixed;  // the value when field is kFixed
};

struct BodyEntry {
  std::uint16_t address;
  Slot slot;
};

// One run of consecutive addresses. The text lists one token per address:
//   "6C"        a fixed byte
//   "00*8"      a fixed byte repeated
//   "PA:6"      bytes 0..5 of a computed field (a name alone is one byte)
struct Run {
  std::uint16_t first;
  std::string_view values;
};

// A run whose values differ between the modes.
struct ModeRun {
  std::uint16_t first;
  std::string_view mode0, mode1, mode2;
};

// The body in mode 0, in list order.
constexpr Run kBodyMode0[] = {
    {0x000B, "6C"},
    {0x0016, "03 1C AA CC CF"},
    {0x002B, "02 05 11 39 00 00 00 39 00 00 00 39 00 00 00 39 00 00 00"},
    {0x003F, "55 BOARD 0C 00 0C 00 0C 32 00 32 00 32 00 32 00 05 05"},
    {0x0051, "03 00 03 00 03 00 03 00 33 00 00 00 01 00 00 00 00 00 00 00 01 00 00 00 00"},
    {0x0092, "00 00"},
    {0x0095, "00 00"},
    {0x0098, "00"},
    {0x009A, "03 11"},
    {0x009D, "00 22"},
    {0x00A0, "00"},
    {0x00A2, "03 78 BE 09 00 00 78 BE 09 00 00"},
    {0x0102, "01"},
    {0x0112, "WORDA 09 6B 00 01 01 09 6B 00 00"},
    {0x0126, "WORDB 09 6B 01 02 WORDB 09 6B 01 02"},
    {0x013F, "00 00 40 FF"},
    {0x0202, "00 00 00 00 00"},
    // P0_NUM, P0_DEN = 1, unused, P2_NUM, P2_DEN = 1, P3_NUM and P3_DEN = 0.
    {0x0208, "PA:6 01 00*13 PB:6 01 00*13"},
    {0x0231, "03 03 03 03 00 00 00 00 8E 00 00 00 00 80"},
    {0x0240, "00 00 00 00 00 00 00"},
    {0x0250, "RREGA:3 RREGA:3"},
    {0x025C, "RREGB:3 RREGB:3"},
    {0x026B, "00*8"},
    {0x0302, "N0:6 00 00 00 A0"},  // N0_NUM, N0_DEN = 0xA0000000
    {0x030D, "N1:6 00 00 00 A0"},  // N1_NUM, N1_DEN = 0xA0000000
    {0x0318, "00*10"},
    {0x0323, "00*10"},
    {0x0339, "00"},
    {0x033B, "00*24"},
    {0x0402, "01"},
    {0x0408, "10 1F 0C 0B 03 3F 10 21 0C 0B 03 3F"},
    {0x0415, "MNUMA:7 MDENA:4"},
    {0x0421, "03 01 00 00 00 00 00 00 00 00 01 0F 03 19 19"},
    {0x0431, "00 42 03 00"},
    {0x0436, "0C 00 01 00"},
    {0x0502, "01"},
    {0x0508, "10 1F 0C 0B 03 3F 10 21 0C 0B 03 3F"},
    {0x0515, "MNUMB:7 MDENB:4"},
    {0x0521, "03 01 00 00 00 00 00 00 00 05 01 0F 03 19 19"},
    {0x0531, "00 42 03 00"},
    {0x0536, "0C 00 00 03"},
    {0x090E, "02"},
    {0x0943, "01"},
    {0x0949, "05 05"},
    {0x0A03, "03 03 03"},
    {0x0B44, "3F 00 00 00 0A"},
    {0x0B4A, "00"},
};

// The entries that differ between the modes; the mode 0 column repeats the
// table above and is checked against it at compile time.
constexpr ModeRun kModeDifferences[] = {
    {0x0018, "AA", "AA", "77"},
    {0x002C, "05 11 39", "05 11 39", "08 40 00"},
    {0x0032, "39", "39", "00"},
    {0x0034, "00", "00", "3B"},
    {0x0036, "39", "39", "00"},
    {0x003A, "39", "39", "00"},
    {0x003C, "00", "00", "3B"},
    {0x003F, "55 BOARD 0C", "55 02 0C", "88 03 00"},
    {0x0043, "0C 00", "0C 00", "00 0F"},
    {0x0046, "32", "32", "00"},
    {0x0048, "32 00 32", "32 00 32", "00 32 00"},
    {0x004C, "32 00 05 05", "32 00 05 05", "00 32 00 50"},
    {0x0051, "03", "03", "00"},
    {0x0053, "03 00 03", "03 00 03", "00 03 00"},
    {0x0057, "03 00 33", "03 00 33", "00 03 C0"},
    {0x005D, "01", "01", "00"},
    {0x0065, "01", "01", "00"},
    {0x0069, "00", "00", "01"},
    {0x00A3, "78 BE 09", "78 BE 09", "47 86 06"},
    {0x00A8, "78 BE 09", "78 BE 09", "D6 4A 08"},
    {0x0112, "WORDA", "WORDA", "02"},
    {0x0117, "01", "02", "01"},
    {0x0126, "WORDB", "WORDB", "02"},
    {0x012B, "WORDB", "WORDB", "02"},
    // Mode 2: input 0 divides by the constant 100 and input 2 is off (P_DEN 0);
    // DSPLL B takes input 3, P3_DEN = 1.
    {0x0208, "PA:6 01", "PA:6 01", "64 00 00 00 00 00 00"},
    {0x021C, "PB:6 01", "PB:6 01", "00 00 00 00 00 00 00"},
    {0x0226, "00*7", "00*7", "PB:6 01"},
    {0x0421, "03", "23", "23"},
    {0x042A, "00", "00", "03"},
    {0x0432, "42", "56", "56"},
    {0x0438, "01 00", "01 00", "00 40"},
    {0x0521, "03", "33", "33"},
    {0x052A, "05", "05", "07"},
    {0x0532, "42", "42", "56"},
    {0x0539, "03", "03", "40"},
    {0x0949, "05 05", "05 05", "08 08"},
    {0x0A04, "03", "00", "00"},
    {0x0B44, "3F", "1F", "1F"},
    {0x0B48, "0A", "0A", "07"},
};

constexpr std::uint16_t kPreamble[][2] = {{0x0B24, 0xD8}, {0x0B25, 0x00}};
constexpr std::uint16_t kPostamble[][2] = {
    {0x0414, 0x01}, {0x0514, 0x01}, {0x001C, 0x01}, {0x0B24, 0xDB}, {0x0B25, 0x02}};

constexpr std::size_t kBodyCount = kClockRegisterCount - 2 - 5;

// ---- Compile-time expansion of the run texts ----

constexpr bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw "bad hex digit in a register run";
}

constexpr std::uint8_t FieldNamed(std::string_view name) {
  constexpr struct {
    std::string_view name;
    Field field;
  } kNames[] = {{"BOARD", kBoard}, {"WORDA", kWordA}, {"WORDB", kWordB}, {"PA", kPA},       {"PB", kPB},
                {"RREGA", kRRegA}, {"RREGB", kRRegB}, {"N0", kN0},       {"N1", kN1},       {"MNUMA", kMNumA},
                {"MDENA", kMDenA}, {"MNUMB", kMNumB}, {"MDENB", kMDenB}};
  for (const auto& n : kNames) {
    if (n.name == name) return n.field;
  }
  throw "unknown field in a register run";
}

constexpr int ParseCount(std::string_view digits) {
  if (digits.empty()) throw "missing count in a register run";
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') throw "bad count in a register run";
    n = n * 10 + (c - '0');
  }
  return n;
}

// Calls emit(slot) once per address of the run text.
template <typename Emit>
constexpr void ExpandRun(std::string_view text, Emit&& emit) {
  while (!text.empty()) {
    std::size_t space = text.find(' ');
    std::string_view token = text.substr(0, space);
    text = space == std::string_view::npos ? std::string_view{} : text.substr(space + 1);
    if (token.empty()) continue;
    bool fixed = token.size() >= 2 && IsHex(token[0]) && IsHex(token[1]) && (token.size() == 2 || token[2] == '*');
    if (!fixed) {
      std::size_t colon = token.find(':');
      std::uint8_t field = FieldNamed(token.substr(0, colon));
      int bytes = colon == std::string_view::npos ? 1 : ParseCount(token.substr(colon + 1));
      for (int j = 0; j < bytes; ++j) emit(Slot{field, static_cast<std::uint8_t>(j), 0});
      continue;
    }
    std::uint8_t value = static_cast<std::uint8_t>(HexDigit(token[0]) * 16 + HexDigit(token[1]));
    int repeat = token.size() > 2 ? ParseCount(token.substr(3)) : 1;
    for (int j = 0; j < repeat; ++j) emit(Slot{kFixed, 0, value});
  }
}

constexpr bool SameSlot(const Slot& a, const Slot& b) {
  return a.field == b.field && a.byte == b.byte && a.fixed == b.fixed;
}

using Body = std::array<BodyEntry, kBodyCount>;

consteval Body BuildBody(int mode) {
  Body body{};
  std::size_t n = 0;
  for (const Run& run : kBodyMode0) {
    std::uint16_t address = run.first;
    ExpandRun(run.values, [&](Slot slot) {
      if (n == kBodyCount) throw "register body longer than 371 entries";
      if (n > 0 && body[n - 1].address >= address) throw "register body addresses not ascending";
      body[n++] = BodyEntry{address++, slot};
    });
  }
  if (n != kBodyCount) throw "register body shorter than 371 entries";
  if (body[0].address != 0x000B || body[n - 1].address != 0x0B4A) throw "register body out of its address range";

  auto find = [&](std::uint16_t address) -> BodyEntry& {
    for (BodyEntry& e : body) {
      if (e.address == address) return e;
    }
    throw "mode difference at an address outside the body";
  };
  for (const ModeRun& run : kModeDifferences) {
    std::uint16_t address = run.first;
    ExpandRun(run.mode0, [&](Slot slot) {
      if (!SameSlot(find(address++).slot, slot)) throw "mode 0 column disagrees with the body";
    });
    std::uint16_t end = address;
    address = run.first;
    std::string_view chosen = mode == 0 ? run.mode0 : mode == 1 ? run.mode1 : run.mode2;
    ExpandRun(chosen, [&](Slot slot) { find(address++).slot = slot; });
    if (address != end) throw "mode columns of different lengths";
  }
  return body;
}

constexpr Body kBodies[3] = {BuildBody(0), BuildBody(1), BuildBody(2)};

std::uint8_t BoardValue(int boardId) {
  return tessok::ModelRow(static_cast<std::uint32_t>(boardId)).clockPlanBoardValue;
}

std::uint16_t SlotValue(const Slot& slot, const ClockPlanFields& plan) {
  std::uint64_t field = 0;
  switch (slot.field) {
    case kFixed: return slot.fixed;
    case kBoard: return BoardValue(plan.boardId);
    case kWordA: return plan.wordA;
    case kWordB: return plan.wordB;
    case kPA: field = plan.pA; break;
    case kPB: field = plan.pB; break;
    case kRRegA: field = plan.rRegA; break;
    case kRRegB: field = plan.rRegB; break;
    case kN0: field = plan.n0Num; break;
    case kN1: field = plan.n1Num; break;
    case kMNumA: field = plan.mNumA; break;
    case kMDenA: field = plan.mDenA; break;
    case kMNumB: field = plan.mNumB; break;
    case kMDenB: field = plan.mDenB; break;
    default: return 0;
  }
  std::uint16_t byte = static_cast<std::uint16_t>((field >> (8 * slot.byte)) & 0xFF);
  // N_NUM is a 44-bit field: only the low nibble of its sixth byte is used.
  if ((slot.field == kN0 || slot.field == kN1) && slot.byte == 5) byte &= 0x0F;
  return byte;
}

}  // namespace

bool AppendClockRegisterList(const ClockPlanFields& plan, std::vector<std::uint16_t>& addresses,
                             std::vector<std::uint16_t>& values) {
  if (plan.mode > 2) return false;
  addresses.reserve(addresses.size() + kClockRegisterCount);
  values.reserve(values.size() + kClockRegisterCount);
  auto append = [&](std::uint16_t address, std::uint16_t value) {
    addresses.push_back(address);
    values.push_back(value);
  };
  for (const auto& pair : kPreamble) append(pair[0], pair[1]);
  for (const BodyEntry& e : kBodies[plan.mode]) append(e.address, SlotValue(e.slot, plan));
  for (const auto& pair : kPostamble) append(pair[0], pair[1]);
  return true;
}
