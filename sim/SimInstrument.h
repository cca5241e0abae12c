// A simulated instrument: a real TCP server on a loopback address, port 6653.
//
// It reads exactly 128 bytes per request and answers every request with one
// reply in one send. It holds 16 banks of 2048 registers that read back what
// was written unless a register has other behaviour, an EEPROM behind
// registers 10 (address) and 11 (data) and the page commands, payloads for the
// result-block, bathtub and module-bus commands, and a log of every packet.
// Faults are injected through this interface only, never by register values.
//
// The server is listening when the constructor returns; the destructor closes
// the listener and joins the server thread. All members are safe to call from
// the test thread while the server runs.
//
// One server thread serves every open connection (poll over the listener and
// the connections), so a client that opens a second connection without closing
// the first is still answered on both. Requests are handled one at a time in
// arrival order.
//
// Callbacks (OnRead, OnWrite) run on the server thread with no internal lock
// held, so they may call any member of this class, Stop included (Stop then
// only asks the thread to end; the destructor joins it). They must not throw.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessok::sim {

inline constexpr std::uint16_t kPort = 6653;
inline constexpr int kBanks = 16;
inline constexpr int kRegistersPerBank = 2048;
inline constexpr std::size_t kDefaultEepromSize = 0x20000;
// Length of every register, EEPROM-page, module and parameter-block reply.
inline constexpr std::size_t kReplyLength = 128;
// What sub-register 0 of the signal-processor window reads once the processor is ready.
inline constexpr std::uint16_t kDspReadyWord = 0x104B;
// Pause between the two sends of a split reply: long enough that the library's
// single receive sees only the first part.
inline constexpr std::chrono::milliseconds kSplitReplyPause{20};

// One request as received, with decoders for its fields.
struct Packet {
  std::array<std::uint8_t, 128> bytes{};
  std::chrono::steady_clock::time_point time{};
  std::size_t sequence = 0;  // 0-based request number since the server started

  bool IsRegister() const { return bytes[0] == 0xF0; }
  bool IsExtended() const { return bytes[0] == 0xF1; }
  std::uint8_t SubCommand() const { return bytes[1]; }
  std::uint16_t ControlWord() const { return static_cast<std::uint16_t>(bytes[4] | (bytes[5] << 8)); }
  bool IsWrite() const { return IsRegister() && (ControlWord() & 0x8000) != 0; }
  bool IsRead() const { return IsRegister() && (ControlWord() & 0x8000) == 0; }
  unsigned Bank() const { return (ControlWord() >> 11) & 15u; }
  unsigned Reg() const { return ControlWord() & 0x7FFu; }
  std::uint16_t Data() const { return static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8)); }
};

// A register access as seen by the instrument, for read and write callbacks.
using ReadHandler = std::function<std::uint16_t()>;
using WriteHandler = std::function<void(std::uint16_t value)>;

class SimInstrument {
 public:
  // Binds (SO_REUSEADDR) and listens on address:port, address a dotted IPv4
  // text; throws std::runtime_error when it cannot. The EEPROM starts erased (0xFF).
  explicit SimInstrument(std::string address, std::uint16_t port = kPort, std::size_t eepromSize = kDefaultEepromSize);
  ~SimInstrument();
  SimInstrument(const SimInstrument&) = delete;
  SimInstrument& operator=(const SimInstrument&) = delete;

  const std::string& Address() const;
  // Closes the listener and any open connection and joins the thread (idempotent).
  void Stop();

  // ---- Registers ----
  // bank < kBanks and reg < kRegistersPerBank in every member below (else
  // std::out_of_range). A register has at most one read behaviour: a canned
  // value, a sequence or a read callback; setting one replaces the other two.
  // A read answers, in order of precedence: the read behaviour; the window or
  // EEPROM data register the register belongs to (registers 11, 0x201, 0x220,
  // 0x30C and the register windows a test switched on, see below); plain
  // storage. A write is always appended to WritesTo; then a
  // write callback, if set, takes the place of storage and of any window
  // effect; otherwise the value is stored and the window effect applied.
  // Every register reply is F0 lo hi followed by zeros, kReplyLength bytes,
  // lo/hi the value read or, for a write, the value written.
  //
  // Plain storage: what a write stores and a read returns (unless overridden).
  std::uint16_t Reg(unsigned bank, unsigned reg) const;
  void SetReg(unsigned bank, unsigned reg, std::uint16_t value);
  // Canned read value: reads return it; writes are still logged and stored.
  void SetReadValue(unsigned bank, unsigned reg, std::uint16_t value);
  // Successive reads return the values in turn; the last one repeats. An empty
  // list removes the read behaviour.
  void SetReadSequence(unsigned bank, unsigned reg, std::vector<std::uint16_t> values);
  // Callbacks take the place of storage for that register (called on the server
  // thread, see the top of this file). An empty function removes the callback.
  void OnRead(unsigned bank, unsigned reg, ReadHandler handler);
  void OnWrite(unsigned bank, unsigned reg, WriteHandler handler);
  // Forgets canned values, sequences and callbacks of a register.
  void ClearBehaviour(unsigned bank, unsigned reg);
  // Values written to a register, in order.
  std::vector<std::uint16_t> WritesTo(unsigned bank, unsigned reg) const;

  // ---- EEPROM ----
  // Registers 10 and 11 of bank 0 address 0x0000-0xFFFF; of bank 1, 0x10000 up
  // (register 10 then holds the low 16 bits). A write to 11 stores its low byte
  // at the last address written to 10; a read of 11 returns that byte in the low
  // half and the read high byte in the high half. The address never advances.
  // Addresses at or beyond EepromSize() read 0xFF and ignore writes on the wire;
  // the accessors below throw std::out_of_range for them.
  void FillEeprom(std::uint8_t value);  // 0xFF by default (erased)
  std::size_t EepromSize() const;
  std::uint8_t EepromByte(std::uint32_t address) const;
  void SetEepromByte(std::uint32_t address, std::uint8_t value);
  std::vector<std::uint8_t> EepromBytes(std::uint32_t address, std::size_t count) const;
  void SetEepromBytes(std::uint32_t address, const std::vector<std::uint8_t>& bytes);
  // A double as 8 bytes, least significant first.
  void SeedDouble(std::uint32_t address, double value);
  double EepromDouble(std::uint32_t address) const;
  // High byte returned by reads of register 11 (0 by default).
  void SetEepromReadHighByte(std::uint8_t value);

  // ---- Windows of registers ----
  // Clock-chip list: each write of 0x107 in a bank appends (last 0x106 value, value).
  std::vector<std::pair<std::uint16_t, std::uint16_t>> ClockChipWrites(unsigned bank) const;
  void ClearClockChipWrites();
  // Sub-register window 0x200 (select) / 0x201 (data) per bank; sub-register 0
  // reads as the signal processor's readiness word, kDspReadyWord once ready.
  // The readiness word is the processor's status: writes of 0x201 with
  // sub-register 0 selected are logged (SubRegisterWrites) but do not change
  // it (the readiness check writes 0 there before it reads). Only
  // SetSubRegister(bank, 0, ...) does. sub is 0 to 0xFFFF.
  std::uint16_t SubRegister(unsigned bank, unsigned sub) const;
  void SetSubRegister(unsigned bank, unsigned sub, std::uint16_t value);
  // Values written through 0x201 to a sub-register, in order.
  std::vector<std::uint16_t> SubRegisterWrites(unsigned bank, unsigned sub) const;
  // The next k reads of sub-register 0 in the bank answer 0 (not ready); then
  // reads answer SubRegister(bank, 0) again. Replaces an earlier count; k >= 0.
  void SetDspNotReadyFor(unsigned bank, int checks);
  // Chip-register window 0x21F (address) / 0x220 (data), kept per bank.
  std::uint16_t ChipRegister(unsigned bank, unsigned address) const;
  void SetChipRegister(unsigned bank, unsigned address, std::uint16_t value);
  // Sampling point of the error detector, per bank: reads of 0x30C answer
  // threshold << 8 | phase as the last writes of 0x30A (the whole word) and
  // 0x30B (the threshold, its low byte) left it, 0 before any; writes of 0x30C
  // are stored but do not change what it reads. A canned value takes precedence.
  // Register windows of the module hardware, off until a test switches one on
  // for a bank: they overlap one another and other models' option registers
  // (the module-bus windows 34 by 33 and 57 by 56 of bank 0, the port-bank
  // window 35 by 34 and 33, 33 by 32 and 31 on bank 0 of a 7841, the bridge
  // window 61 by 60 of bank 0). Once on, reads and writes of dataReg reach a
  // store of words keyed by the values last written to addressReg and, when
  // given, selectReg; those stay plain registers. A read behaviour set on
  // dataReg still comes first. Registers as in SetReg; a later call for the
  // same data register replaces the keys (the stored words stay).
  void AddRegisterWindow(unsigned bank, unsigned dataReg, unsigned addressReg,
                         std::optional<unsigned> selectReg = std::nullopt);
  // The word of a window at (select, address), 0 until written; select is 0
  // for a window without a select register.
  std::uint16_t WindowWord(unsigned bank, unsigned dataReg, std::uint16_t address, std::uint16_t select = 0) const;
  void SetWindowWord(unsigned bank, unsigned dataReg, std::uint16_t address, std::uint16_t value,
                     std::uint16_t select = 0);

  // ---- Error counters (lane registers) ----
  // Cans a lane's running counters: the error count in 0x303, 0x304, 0x305
  // (bits 0-15, 16-31, 32-47) and 0x30F (bits 48-63), the elapsed time in ms
  // in 0x306 (bits 0-15) and 0x307 (bits 16-31). Reads never change them.
  void SetErrorCounter(unsigned bank, std::uint64_t count, std::uint32_t elapsedMs);

  // ---- Pattern memory of the lane-pair device ----
  // Behind the sub-register window of a bank, per side 0 or 1: block index
  // 0x45B1 / 0x45BD, data words 0x45B2-0x45B6 / 0x45BE-0x45C2, strobe
  // 0x45BC / 0x45C8, length 0x45AA / 0x45B0, control 0x45A5 / 0x45AB.
  struct PatternBlock {
    std::uint16_t index;
    std::array<std::uint16_t, 5> words;
    bool operator==(const PatternBlock&) const = default;
  };
  struct PatternMemoryView {
    std::vector<PatternBlock> strobed;  // one entry per write of 3 to the strobe, in order
    std::uint16_t length;               // the length sub-register
    std::uint16_t control;              // the control sub-register (bit 0: enabled)
  };
  // side is 0 or 1 (else std::out_of_range).
  PatternMemoryView PatternMemory(unsigned bank, unsigned side) const;

  // ---- Extended commands ----
  // Bank, channel, k, a and b are the bytes sent (0 to 255, else
  // std::out_of_range). A payload is sent as set, in one send, whatever its
  // length; setting an empty payload restores the default below.
  // F1 02 bank 7F 7F: the bank's result block.
  void SetResultBlock(unsigned bank, std::vector<std::uint8_t> payload);
  // F1 02 bank k 00: numbered block k of the bank (k is the low byte sent).
  void SetNumberedBlock(unsigned bank, unsigned k, std::vector<std::uint8_t> payload);
  // F1 03 ch b c / F1 04 ch b 7F: bathtub payloads per channel.
  void SetBathtub(unsigned channel, std::vector<std::uint8_t> payload);
  void SetVerticalBathtub(unsigned channel, std::vector<std::uint8_t> payload);
  // F1 06 01 len a b reads module memory (a, b) from offset 0: the reply is
  // max(len, kReplyLength) bytes, the first len from the memory (0 past its end).
  // F1 06 00 len a b writes data bytes 9 .. 8+len into it (len at most 119),
  // from offset 0, growing it as needed. Other commands are acknowledged with
  // kReplyLength zero bytes: page writes, the parameter block (F1 07) and any
  // command the instrument does not know.
  void SetModuleMemory(std::uint8_t a, std::uint8_t b, std::vector<std::uint8_t> bytes);
  std::vector<std::uint8_t> ModuleMemory(std::uint8_t a, std::uint8_t b) const;
  // Payload of an extended command nobody set: this many zero bytes.
  static constexpr std::size_t kDefaultBlockLength = 1024;

  // ---- Log ----
  // Every request, as received, since the start or the last ClearLog.
  std::vector<Packet> Log() const;
  // Number of requests in Log() (since the start or the last ClearLog).
  std::size_t RequestCount() const;
  // Number of requests received since the server started; the sequence number
  // of the next request and what the fault numbers count. ClearLog keeps it.
  std::size_t RequestsSinceStart() const;
  void ClearLog();
  // Number of accepted connections so far.
  int ConnectionCount() const;

  // ---- Faults (n counts requests from 0 since the server started) ----
  // One fault per request number; a later call for the same n replaces it.
  // A request that is closed or reset is logged but not carried out (a write
  // stores nothing); a short, split or delayed reply is carried out.
  //
  // Close the connection instead of answering request n.
  void CloseAtRequest(std::size_t n);
  // Reset the connection (RST, linger 0) instead of answering request n.
  void ResetAtRequest(std::size_t n);
  // Answer request n with only its first `length` bytes.
  void ShortReplyAtRequest(std::size_t n, std::size_t length);
  // Answer request n in two sends, the first of `firstLength` bytes, with
  // kSplitReplyPause between.
  void SplitReplyAtRequest(std::size_t n, std::size_t firstLength);
  // Answer request n whole, but only `delay` after it arrived. The server
  // serves nothing else meanwhile (requests are handled one at a time). The
  // wait ends early, with no reply, when the client closes or resets that
  // connection or Stop is called.
  void DelayReplyAtRequest(std::size_t n, std::chrono::milliseconds delay);
  // Answer nothing from request n on: those requests are logged but neither
  // carried out nor answered, and their connections stay open until the
  // client closes them. Replaces an earlier n.
  void WithholdRepliesFrom(std::size_t n);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tessok::sim
