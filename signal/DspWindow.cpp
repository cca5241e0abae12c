// The signal-processor window of a bank (0x200 selects a sub-register, 0x201
// reads or writes it) and a few raw board-control registers.
#include <cstdint>
#include <span>

#include "calibration/StatusItem.h"
#include "core/Models.h"
#include "core/RegisterOps.h"
#include "core/Registers.h"
#include "core/Tessok_API.h"
#include "signal/Registers.h"

using namespace tessok;

namespace {

// Boards whose bank-0 sub-registers carry the control bit of
// SetIndirectControlBits as well, and which sub-registers, in writing order.
constexpr std::uint16_t kSubs16To19[] = {16, 17, 18, 19};
constexpr std::uint16_t kSub18[] = {18};
struct Bank0ControlSubs {
  std::uint32_t model;
  std::span<const std::uint16_t> subs;
};
constexpr Bank0ControlSubs kBank0ControlSubs[] = {
    {7653, kSubs16To19}, {7733, kSubs16To19}, {7609, kSub18}, {7726, kSub18}, {7760, kSub18}, {7775, kSub18},
};
constexpr Bank0ControlSubs kNoBank0ControlSubs{0, {}};

// The lanes whose status item 29 records the control bits.
constexpr int kControlBitLanes = 4;

// The data words: window selects in word 0, reads in the single-read word,
// writes in the main data word.
constexpr int kSelectWord = 0;

// Which way an operation reaches the link: through the class's register access
// or the link itself (the same effect on the wire).
enum class Path { Board, Link };

std::uint8_t Access(Tessok_API& api, Path path, bool write, std::uint16_t bank, std::uint16_t reg,
                    std::uint16_t* data) {
  const std::uint8_t w = write ? 1 : 0;
  return path == Path::Board ? api.AccessBoardRegister(w, bank, reg, data)
                             : api.hwLayer.AccessRegister(w, bank, reg, data);
}

std::uint8_t Select(Tessok_API& api, Path path, std::uint16_t bank, std::uint16_t sub) {
  std::uint16_t& word = api.regScratch.word[kSelectWord];
  word = sub;
  return Access(api, path, true, bank, reg::kDeviceWindowAddress, &word);
}

struct Update {
  std::uint8_t any;      // OR of every transfer's result
  std::uint8_t written;  // the write-back's result; 0 when nothing was written back
};

// Window read-modify-write of a sub-register: select, read, select again
// (unless selectOnce), write (old & ~mask) | bits. Nothing is written back
// after a failed select or read: the word would then be another register's (a
// failed read hands back the previous reply) or go to another sub-register.
Update UpdateSub(Tessok_API& api, Path path, std::uint16_t bank, std::uint16_t sub, std::uint16_t mask,
                 std::uint16_t bits, bool selectOnce) {
  Update u{Select(api, path, bank, sub), 0};
  if (u.any == 0) return u;
  std::uint16_t& in = api.regScratch.word[regs::kSingleReadWord];
  in = 0;
  if (Access(api, path, false, bank, reg::kDeviceWindowData, &in) == 0) return u;
  if (!selectOnce) Select(api, path, bank, sub);
  std::uint16_t& out = api.regScratch.word[regs::kMainDataWord];
  out = static_cast<std::uint16_t>((in & ~mask) | (bits & mask));
  u.written = Access(api, path, true, bank, reg::kDeviceWindowData, &out);
  u.any |= u.written;
  return u;
}

// A failed select sends the state to whichever sub-register was selected
// before, so the result is the AND of both writes.
std::uint8_t SetDspState(Tessok_API& api, std::uint16_t bank, std::uint16_t state) {
  std::uint8_t ok = Select(api, Path::Board, bank, reg::kDspSubState);
  std::uint16_t& word = api.regScratch.word[regs::kMainDataWord];
  word = state;
  ok &= Access(api, Path::Board, true, bank, reg::kDeviceWindowData, &word);
  return ok;
}

}  // namespace

std::uint8_t Tessok_API::SetDspState0(std::uint16_t bank) { return SetDspState(*this, bank, 0); }
std::uint8_t Tessok_API::SetDspState1(std::uint16_t bank) { return SetDspState(*this, bank, 1); }
std::uint8_t Tessok_API::SetDspState2(std::uint16_t bank) { return SetDspState(*this, bank, 2); }
std::uint8_t Tessok_API::SetDspState6(std::uint16_t bank) { return SetDspState(*this, bank, 6); }

std::uint8_t Tessok_API::SetIndirectControlBits(int on) {
  const bool set = on == 1;
  std::uint8_t any = UpdateSub(*this, Path::Link, 1, reg::kDspSubControl, reg::kDspControlBank1Bit,
                               set ? reg::kDspControlBank1Bit : 0, false)
                         .any;
  // The bank-0 bit has the opposite sense: cleared when on.
  for (std::uint16_t sub : RowForModel(kBank0ControlSubs, boardModel, kNoBank0ControlSubs).subs) {
    any |=
        UpdateSub(*this, Path::Link, 0, sub, reg::kDspControlBank0Bit, set ? 0 : reg::kDspControlBank0Bit, false).any;
  }
  for (int lane = 0; lane < kControlBitLanes; ++lane) WriteStatusToEEProm(lane, status::kIndirectControlBits, on);
  return any;
}

std::uint8_t Tessok_API::SetBank1ControlBit0() {
  return UpdateSub(*this, Path::Board, 1, reg::kDspSubControl, reg::kDspControlBit0, reg::kDspControlBit0, true)
      .written;
}

std::uint8_t Tessok_API::ClearBank1ControlBit0() {
  return UpdateSub(*this, Path::Board, 1, reg::kDspSubControl, reg::kDspControlBit0, 0, true).written;
}

std::uint8_t Tessok_API::WriteReg71(std::uint16_t bank, std::uint16_t value) {
  std::uint16_t& word = regScratch.word[regs::kMainDataWord];
  word = value;
  return AccessBoardRegister(1, bank, reg::kBoardControl71, &word);
}

std::uint8_t Tessok_API::ReadReg71(std::uint16_t bank, std::uint16_t* out) {
  *out = 0;
  return AccessBoardRegister(0, bank, reg::kBoardControl71, out);
}

std::uint8_t Tessok_API::AccessReg72To75(std::uint16_t bank, int write, std::uint64_t* value) {
  std::uint16_t words[reg::kBoardValueWords];
  for (int k = 0; k < reg::kBoardValueWords; ++k) words[k] = static_cast<std::uint16_t>(*value >> (16 * k));
  std::uint8_t any = 0;
  for (int k = 0; k < reg::kBoardValueWords; ++k) {
    any |= AccessBoardRegister(write != 0 ? 1 : 0, bank, static_cast<std::uint16_t>(reg::kBoardValue72 + k), &words[k]);
  }
  std::uint64_t rebuilt = 0;
  for (int k = 0; k < reg::kBoardValueWords; ++k) rebuilt |= std::uint64_t{words[k]} << (16 * k);
  *value = rebuilt;
  return any;
}

std::uint8_t Tessok_API::AccessReg76(std::uint16_t bank, int write, std::uint16_t* data) {
  return AccessBoardRegister(write != 0 ? 1 : 0, bank, reg::kBoardControl76, data);
}

// No channel map and no fix-up: the bank is the lane. A bank outside 0-15 is
// still written (the link keeps its low 4 bits); the status table refuses the
// record.
std::uint8_t Tessok_API::SetLaneControl22C(int bank, std::uint32_t value) {
  const auto word = static_cast<std::uint16_t>(value);
  return regs::WriteThenRecord(*this, static_cast<std::uint16_t>(bank), reg::kLaneControl22C, word, bank,
                               status::kLaneControl22C, word);
}
