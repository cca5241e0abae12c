#include "sim/SimInstrument.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>

namespace tessok::sim {

namespace {

// Registers with behaviour beyond plain storage.
constexpr unsigned kEepromAddressReg = 10;
constexpr unsigned kEepromDataReg = 11;
constexpr unsigned kClockChipAddressReg = 0x106;
constexpr unsigned kClockChipValueReg = 0x107;
constexpr unsigned kSubRegisterSelectReg = 0x200;
constexpr unsigned kSubRegisterDataReg = 0x201;
constexpr unsigned kChipAddressReg = 0x21F;
constexpr unsigned kChipDataReg = 0x220;
constexpr unsigned kSamplingPointReg = 0x30A;      // threshold << 8 | phase
constexpr unsigned kDecisionThresholdReg = 0x30B;  // threshold
constexpr unsigned kSamplingReadBackReg = 0x30C;
constexpr std::uint32_t kEepromBank1Base = 0x10000;
// Running counters of a lane.
constexpr unsigned kErrorCountRegs[] = {0x303, 0x304, 0x305, 0x30F};  // 16 bits each, least significant first
constexpr unsigned kElapsedLowReg = 0x306;
constexpr unsigned kElapsedHighReg = 0x307;

// Pattern-memory sub-registers of the two sides of a lane-pair device.
struct PatternSide {
  unsigned control, length, index, data, strobe;
};
constexpr PatternSide kPatternSides[2] = {{0x45A5, 0x45AA, 0x45B1, 0x45B2, 0x45BC},
                                          {0x45AB, 0x45B0, 0x45BD, 0x45BE, 0x45C8}};
constexpr std::uint16_t kPatternStore = 3;  // a strobe write of 3 stores the block

// Bytes 9 to 127 of a packet carry the data of page and module-bus writes.
constexpr std::size_t kDataOffset = 9;
constexpr std::size_t kMaxWriteData = 128 - kDataOffset;

unsigned RegKey(unsigned bank, unsigned reg) { return bank * kRegistersPerBank + reg; }
unsigned BankKey(unsigned bank, unsigned index) { return (bank << 16) | index; }

void CheckRegister(unsigned bank, unsigned reg) {
  if (bank >= static_cast<unsigned>(kBanks) || reg >= static_cast<unsigned>(kRegistersPerBank))
    throw std::out_of_range("register bank " + std::to_string(bank) + " reg " + std::to_string(reg));
}
void CheckBank(unsigned bank) {
  if (bank >= static_cast<unsigned>(kBanks)) throw std::out_of_range("bank " + std::to_string(bank));
}
void CheckWord(unsigned value, const char* what) {
  if (value > 0xFFFF) throw std::out_of_range(std::string(what) + " " + std::to_string(value));
}
std::uint8_t CheckByte(unsigned value, const char* what) {
  if (value > 0xFF) throw std::out_of_range(std::string(what) + " " + std::to_string(value));
  return static_cast<std::uint8_t>(value);
}

std::runtime_error SystemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

std::vector<std::uint8_t> Zeros(std::size_t n) { return std::vector<std::uint8_t>(n, 0); }

struct Behaviour {
  std::optional<std::uint16_t> canned;
  std::vector<std::uint16_t> sequence;
  std::size_t next = 0;
  ReadHandler onRead;
  WriteHandler onWrite;

  void ClearRead() {
    canned.reset();
    sequence.clear();
    next = 0;
    onRead = nullptr;
  }
};

enum class FaultKind { kClose, kReset, kShort, kSplit, kDelay };
struct Fault {
  FaultKind kind;
  std::size_t length;  // the bytes of a short reply, the first part of a split one
  std::chrono::milliseconds delay{0};
};

// A register window switched on by a test: the registers that key its data register.
struct RegisterWindow {
  unsigned address;
  std::optional<unsigned> select;
};
// (RegKey of the data register, select, address).
using WindowKey = std::tuple<unsigned, std::uint16_t, std::uint16_t>;

struct Connection {
  int fd = -1;
  std::array<std::uint8_t, 128> buffer{};
  std::size_t filled = 0;
};

}  // namespace

struct SimInstrument::State {
  // Fixed at construction.
  std::string listenAddress;
  int listenFd = -1;
  int wakeRead = -1;
  int wakeWrite = -1;
  std::thread thread;
  std::atomic<std::thread::id> serverId{};
  std::atomic<bool> stopping{false};
  std::mutex stopMutex;  // serialises Stop's join

  // Everything below is guarded by mutex.
  mutable std::mutex mutex;
  std::vector<int> openFds;  // connections, so Stop can shut them down
  std::vector<std::array<std::uint16_t, kRegistersPerBank>> regs =
      std::vector<std::array<std::uint16_t, kRegistersPerBank>>(kBanks);
  std::map<unsigned, Behaviour> behaviours;               // RegKey
  std::map<unsigned, std::vector<std::uint16_t>> writes;  // RegKey
  std::vector<std::uint8_t> eeprom;
  std::uint8_t eepromHighByte = 0;
  std::vector<std::vector<std::pair<std::uint16_t, std::uint16_t>>> clockChip =
      std::vector<std::vector<std::pair<std::uint16_t, std::uint16_t>>>(kBanks);
  std::map<unsigned, std::uint16_t> subRegisters;            // BankKey
  std::map<unsigned, std::vector<std::uint16_t>> subWrites;  // BankKey
  std::array<int, kBanks> notReadyChecks{};
  std::map<unsigned, std::uint16_t> chipRegisters;                              // BankKey
  std::map<unsigned, std::vector<SimInstrument::PatternBlock>> patternStrobes;  // BankKey(bank, side)
  std::array<std::uint16_t, kBanks> samplingPoint{};                            // threshold << 8 | phase, per bank
  std::map<unsigned, RegisterWindow> registerWindows;                           // RegKey of the data register
  std::map<WindowKey, std::uint16_t> windowWords;
  std::map<std::uint8_t, std::vector<std::uint8_t>> resultBlocks;
  std::map<std::pair<std::uint8_t, std::uint8_t>, std::vector<std::uint8_t>> numberedBlocks;
  std::map<std::uint8_t, std::vector<std::uint8_t>> bathtubs;
  std::map<std::uint8_t, std::vector<std::uint8_t>> verticalBathtubs;
  std::map<std::pair<std::uint8_t, std::uint8_t>, std::vector<std::uint8_t>> moduleMemory;
  std::vector<Packet> log;
  std::size_t requests = 0;
  int connections = 0;
  std::map<std::size_t, Fault> faults;
  std::size_t withholdFrom = std::numeric_limits<std::size_t>::max();

  ~State() {
    CloseFd(listenFd);
    CloseFd(wakeRead);
    CloseFd(wakeWrite);
  }

  // ---- Server thread ----
  void Run();
  void Accept(std::vector<Connection>& connections);
  bool Receive(Connection& c);
  bool Serve(Connection& c);
  void Forget(Connection& c, bool reset);
  bool PauseUnlessStopping(std::chrono::milliseconds pause) const;
  bool HoldReply(const Connection& c, std::chrono::milliseconds delay) const;

  // ---- Request handling (called without the lock; take it themselves) ----
  std::vector<std::uint8_t> Execute(const Packet& p);
  std::uint16_t AccessRegister(const Packet& p);
  std::vector<std::uint8_t> Extended(const Packet& p);

  // ---- Helpers that expect the lock held ----
  std::uint16_t WindowRead(unsigned bank, unsigned reg);
  void WindowWrite(unsigned bank, unsigned reg, std::uint16_t value);
  std::optional<std::uint32_t> EepromAddress(unsigned bank) const;
  std::uint16_t SubRegisterValue(unsigned bank, unsigned sub) const;
  std::optional<WindowKey> RegisterWindowKey(unsigned bank, unsigned reg) const;
  void CheckEeprom(std::uint32_t address, std::size_t count) const;
};

// ---------------------------------------------------------------------------
// Server thread

void SimInstrument::State::Run() {
  serverId = std::this_thread::get_id();
  std::vector<Connection> conns;
  std::vector<pollfd> fds;
  while (!stopping) {
    fds.clear();
    fds.push_back({wakeRead, POLLIN, 0});
    fds.push_back({listenFd, POLLIN, 0});
    for (const Connection& c : conns) fds.push_back({c.fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (stopping || fds[0].revents != 0) break;
    // Connections first: a request that is already here is answered before a
    // new connection is taken.
    for (std::size_t i = 0; i < conns.size(); ++i) {
      if (fds[i + 2].revents == 0) continue;
      if (!Receive(conns[i])) Forget(conns[i], false);
      if (stopping) break;
    }
    std::erase_if(conns, [](const Connection& c) { return c.fd < 0; });
    if (!stopping && (fds[1].revents & POLLIN) != 0) Accept(conns);
  }
  for (Connection& c : conns) Forget(c, false);
  CloseFd(listenFd);
}

void SimInstrument::State::Accept(std::vector<Connection>& conns) {
  int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;  // the client gave up before we took it; nothing to serve
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  std::lock_guard lock(mutex);
  ++connections;
  openFds.push_back(fd);
  Connection c;
  c.fd = fd;
  conns.push_back(c);
}

// Takes what has arrived towards the current request; serves it once all 128
// bytes are in. False when the connection is over.
bool SimInstrument::State::Receive(Connection& c) {
  ssize_t n;
  do {
    n = ::recv(c.fd, c.buffer.data() + c.filled, c.buffer.size() - c.filled, 0);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return false;
  c.filled += static_cast<std::size_t>(n);
  if (c.filled < c.buffer.size()) return true;
  c.filled = 0;
  return Serve(c);
}

bool SimInstrument::State::Serve(Connection& c) {
  Packet p;
  p.bytes = c.buffer;
  p.time = std::chrono::steady_clock::now();
  std::optional<Fault> fault;
  {
    std::lock_guard lock(mutex);
    p.sequence = requests++;
    log.push_back(p);
    if (p.sequence >= withholdFrom) return true;  // no reply, ever
    auto it = faults.find(p.sequence);
    if (it != faults.end()) {
      fault = it->second;
      faults.erase(it);
    }
  }
  if (fault && (fault->kind == FaultKind::kClose || fault->kind == FaultKind::kReset)) {
    Forget(c, fault->kind == FaultKind::kReset);
    return false;
  }

  std::vector<std::uint8_t> reply = Execute(p);
  if (fault && fault->kind == FaultKind::kDelay && !HoldReply(c, fault->delay)) return false;
  std::size_t first = reply.size();
  if (fault && fault->kind != FaultKind::kDelay) first = std::min(fault->length, reply.size());
  if (first > 0 && ::send(c.fd, reply.data(), first, MSG_NOSIGNAL) != static_cast<ssize_t>(first)) return false;
  if (fault && fault->kind == FaultKind::kSplit && first < reply.size()) {
    if (!PauseUnlessStopping(kSplitReplyPause)) return false;
    std::size_t rest = reply.size() - first;
    if (::send(c.fd, reply.data() + first, rest, MSG_NOSIGNAL) != static_cast<ssize_t>(rest)) return false;
  }
  return true;
}

// Closes a connection; with reset, linger 0 makes the close send RST instead of FIN.
void SimInstrument::State::Forget(Connection& c, bool reset) {
  if (c.fd < 0) return;
  if (reset) {
    linger l{1, 0};
    ::setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  {
    std::lock_guard lock(mutex);
    std::erase(openFds, c.fd);
  }
  CloseFd(c.fd);
}

// Waits, waking early for Stop. False when stopping.
bool SimInstrument::State::PauseUnlessStopping(std::chrono::milliseconds pause) const {
  pollfd wake{wakeRead, POLLIN, 0};
  auto deadline = std::chrono::steady_clock::now() + pause;
  while (!stopping) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    ::poll(&wake, 1, static_cast<int>(left.count()));
  }
  return false;
}

// Waits out a delayed reply, waking early for Stop and for the client closing
// or resetting the connection (one that gave up on the reply). A request that
// arrives meanwhile waits its turn. True when the reply is to be sent.
bool SimInstrument::State::HoldReply(const Connection& c, std::chrono::milliseconds delay) const {
  pollfd fds[2] = {{wakeRead, POLLIN, 0}, {c.fd, POLLIN, 0}};
  nfds_t watched = 2;
  const auto deadline = std::chrono::steady_clock::now() + delay;
  while (!stopping) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    const int timeout = static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count(), 60000));
    if (::poll(fds, watched, timeout) <= 0 || watched < 2 || fds[1].revents == 0) continue;
    std::uint8_t byte;
    const ssize_t n = ::recv(c.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return false;
    if (n > 0) watched = 1;  // the next request is here: only Stop ends the wait now
  }
  return false;
}

// ---------------------------------------------------------------------------
// Requests

std::vector<std::uint8_t> SimInstrument::State::Execute(const Packet& p) {
  if (p.IsRegister()) {
    std::uint16_t value = AccessRegister(p);
    std::vector<std::uint8_t> reply = Zeros(kReplyLength);
    reply[0] = 0xF0;
    reply[1] = static_cast<std::uint8_t>(value & 0xFF);
    reply[2] = static_cast<std::uint8_t>(value >> 8);
    return reply;
  }
  if (p.IsExtended()) return Extended(p);
  return Zeros(kReplyLength);
}

std::uint16_t SimInstrument::State::AccessRegister(const Packet& p) {
  const unsigned bank = p.Bank();
  const unsigned reg = p.Reg();
  const unsigned key = RegKey(bank, reg);
  std::unique_lock lock(mutex);
  auto it = behaviours.find(key);
  Behaviour* b = it == behaviours.end() ? nullptr : &it->second;
  if (p.IsWrite()) {
    const std::uint16_t value = p.Data();
    writes[key].push_back(value);
    if (b != nullptr && b->onWrite) {
      WriteHandler handler = b->onWrite;  // a copy: the handler may replace itself
      lock.unlock();
      handler(value);
      return value;
    }
    regs[bank][reg] = value;
    WindowWrite(bank, reg, value);
    return value;
  }
  if (b != nullptr) {
    if (b->onRead) {
      ReadHandler handler = b->onRead;
      lock.unlock();
      return handler();
    }
    if (!b->sequence.empty()) {
      std::uint16_t value = b->sequence[b->next];
      if (b->next + 1 < b->sequence.size()) ++b->next;
      return value;
    }
    if (b->canned) return *b->canned;
  }
  return WindowRead(bank, reg);
}

std::optional<std::uint32_t> SimInstrument::State::EepromAddress(unsigned bank) const {
  if (bank > 1) return std::nullopt;
  std::uint32_t address = regs[bank][kEepromAddressReg];
  if (bank == 1) address += kEepromBank1Base;
  return address;
}

std::uint16_t SimInstrument::State::SubRegisterValue(unsigned bank, unsigned sub) const {
  auto it = subRegisters.find(BankKey(bank, sub));
  if (it != subRegisters.end()) return it->second;
  return sub == 0 ? kDspReadyWord : 0;
}

std::optional<WindowKey> SimInstrument::State::RegisterWindowKey(unsigned bank, unsigned reg) const {
  auto it = registerWindows.find(RegKey(bank, reg));
  if (it == registerWindows.end()) return std::nullopt;
  const std::uint16_t select = it->second.select ? regs[bank][*it->second.select] : std::uint16_t{0};
  return WindowKey{RegKey(bank, reg), select, regs[bank][it->second.address]};
}

std::uint16_t SimInstrument::State::WindowRead(unsigned bank, unsigned reg) {
  if (reg == kEepromDataReg) {
    if (auto address = EepromAddress(bank)) {
      std::uint8_t byte = *address < eeprom.size() ? eeprom[*address] : 0xFF;
      return static_cast<std::uint16_t>(byte | (eepromHighByte << 8));
    }
  }
  if (reg == kSubRegisterDataReg) {
    const unsigned sub = regs[bank][kSubRegisterSelectReg];
    if (sub == 0 && notReadyChecks[bank] > 0) {
      --notReadyChecks[bank];
      return 0;
    }
    return SubRegisterValue(bank, sub);
  }
  if (reg == kChipDataReg) {
    auto it = chipRegisters.find(BankKey(bank, regs[bank][kChipAddressReg]));
    return it == chipRegisters.end() ? 0 : it->second;
  }
  if (reg == kSamplingReadBackReg) return samplingPoint[bank];
  if (auto key = RegisterWindowKey(bank, reg)) {
    auto it = windowWords.find(*key);
    return it == windowWords.end() ? 0 : it->second;
  }
  return regs[bank][reg];
}

void SimInstrument::State::WindowWrite(unsigned bank, unsigned reg, std::uint16_t value) {
  if (reg == kEepromDataReg) {
    if (auto address = EepromAddress(bank)) {
      if (*address < eeprom.size()) eeprom[*address] = static_cast<std::uint8_t>(value & 0xFF);
    }
  } else if (reg == kClockChipValueReg) {
    clockChip[bank].emplace_back(regs[bank][kClockChipAddressReg], value);
  } else if (reg == kSubRegisterDataReg) {
    const unsigned sub = regs[bank][kSubRegisterSelectReg];
    subWrites[BankKey(bank, sub)].push_back(value);
    // Sub-register 0 is the processor's readiness word: written to by the
    // readiness check, but what it reads is the processor's state.
    if (sub != 0) subRegisters[BankKey(bank, sub)] = value;
    for (unsigned side = 0; side < 2; ++side) {
      const PatternSide& p = kPatternSides[side];
      if (sub != p.strobe || value != kPatternStore) continue;
      SimInstrument::PatternBlock block{SubRegisterValue(bank, p.index), {}};
      for (unsigned w = 0; w < block.words.size(); ++w) block.words[w] = SubRegisterValue(bank, p.data + w);
      patternStrobes[BankKey(bank, side)].push_back(block);
    }
  } else if (reg == kChipDataReg) {
    chipRegisters[BankKey(bank, regs[bank][kChipAddressReg])] = value;
  } else if (reg == kSamplingPointReg) {
    samplingPoint[bank] = value;
  } else if (reg == kDecisionThresholdReg) {
    samplingPoint[bank] = static_cast<std::uint16_t>(((value & 0xFF) << 8) | (samplingPoint[bank] & 0xFF));
  } else if (auto key = RegisterWindowKey(bank, reg)) {
    windowWords[*key] = value;
  }
}

std::vector<std::uint8_t> SimInstrument::State::Extended(const Packet& p) {
  const auto& in = p.bytes;
  std::lock_guard lock(mutex);
  auto payload = [](const auto& table, const auto& key) {
    auto it = table.find(key);
    return it == table.end() ? Zeros(kDefaultBlockLength) : it->second;
  };
  switch (p.SubCommand()) {
    case 0x00: {  // EEPROM page: F1 00 01 80 (read) / F1 00 00 80 (write), device, u32 address
      if (in[3] != 0x80 || in[2] > 1) break;
      const std::uint32_t address = static_cast<std::uint32_t>(in[5]) | (static_cast<std::uint32_t>(in[6]) << 8) |
                                    (static_cast<std::uint32_t>(in[7]) << 16) |
                                    (static_cast<std::uint32_t>(in[8]) << 24);
      if (in[2] == 1) {
        std::vector<std::uint8_t> reply(kReplyLength, 0xFF);
        for (std::size_t i = 0; i < kReplyLength; ++i) {
          const std::uint64_t a = std::uint64_t{address} + i;
          if (a < eeprom.size()) reply[i] = eeprom[a];
        }
        return reply;
      }
      for (std::size_t i = 0; i < kMaxWriteData; ++i) {
        const std::uint64_t a = std::uint64_t{address} + i;
        if (a < eeprom.size()) eeprom[a] = in[kDataOffset + i];
      }
      return Zeros(kReplyLength);
    }
    case 0x02:  // F1 02 bank k 00 numbered block; F1 02 bank 7F 7F result block (byte 4 decides)
      if (in[4] == 0x7F) return payload(resultBlocks, in[2]);
      if (in[4] == 0x00) return payload(numberedBlocks, std::pair{in[2], in[3]});
      break;
    case 0x03: return payload(bathtubs, in[2]);
    case 0x04: return payload(verticalBathtubs, in[2]);
    case 0x06: {  // module bus: F1 06 01 len a b (read) / F1 06 00 len a b + data (write)
      const std::size_t len = in[3];
      const auto key = std::pair{in[4], in[5]};
      if (in[2] == 1) {
        std::vector<std::uint8_t> reply = Zeros(std::max(len, kReplyLength));
        auto it = moduleMemory.find(key);
        if (it != moduleMemory.end()) std::copy_n(it->second.begin(), std::min(len, it->second.size()), reply.begin());
        return reply;
      }
      if (in[2] == 0) {
        const std::size_t n = std::min(len, kMaxWriteData);
        std::vector<std::uint8_t>& memory = moduleMemory[key];
        if (memory.size() < n) memory.resize(n, 0);
        std::copy_n(in.begin() + kDataOffset, n, memory.begin());
      }
      break;
    }
    default:  // the parameter block (F1 07) and anything unknown: acknowledged and logged
      break;
  }
  return Zeros(kReplyLength);
}

// ---------------------------------------------------------------------------
// Control interface

SimInstrument::SimInstrument(std::string address, std::uint16_t port, std::size_t eepromSize)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.listenAddress = std::move(address);
  s.eeprom.assign(eepromSize, 0xFF);

  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  if (::inet_pton(AF_INET, s.listenAddress.c_str(), &addr.sin_addr) != 1)
    throw std::runtime_error("simulated instrument: not a dotted IPv4 address: " + s.listenAddress);

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) throw SystemError("simulated instrument: pipe");
  s.wakeRead = pipeFds[0];
  s.wakeWrite = pipeFds[1];

  s.listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (s.listenFd < 0) throw SystemError("simulated instrument: socket");
  int one = 1;
  ::setsockopt(s.listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const std::string where = s.listenAddress + ":" + std::to_string(port);
  if (::bind(s.listenFd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
    throw SystemError("simulated instrument: bind " + where);
  if (::listen(s.listenFd, 16) != 0) throw SystemError("simulated instrument: listen " + where);
  s.thread = std::thread([&s] { s.Run(); });
}

SimInstrument::~SimInstrument() { Stop(); }

const std::string& SimInstrument::Address() const { return state_->listenAddress; }

void SimInstrument::Stop() {
  State& s = *state_;
  s.stopping = true;
  const char byte = 1;
  [[maybe_unused]] ssize_t ignored = ::write(s.wakeWrite, &byte, 1);  // full pipe: already woken
  // From a callback on the server thread: the request in hand is answered, then
  // the thread ends; the destructor joins it.
  if (std::this_thread::get_id() == s.serverId.load()) return;
  {
    std::lock_guard lock(s.mutex);
    // Wakes a send blocked on a peer that does not read.
    for (int fd : s.openFds) ::shutdown(fd, SHUT_RDWR);
  }
  std::lock_guard stopLock(s.stopMutex);
  if (s.thread.joinable()) s.thread.join();
}

std::uint16_t SimInstrument::Reg(unsigned bank, unsigned reg) const {
  CheckRegister(bank, reg);
  std::lock_guard lock(state_->mutex);
  return state_->regs[bank][reg];
}

void SimInstrument::SetReg(unsigned bank, unsigned reg, std::uint16_t value) {
  CheckRegister(bank, reg);
  std::lock_guard lock(state_->mutex);
  state_->regs[bank][reg] = value;
}

void SimInstrument::SetReadValue(unsigned bank, unsigned reg, std::uint16_t value) {
  CheckRegister(bank, reg);
  std::lock_guard lock(state_->mutex);
  Behaviour& b = state_->behaviours[RegKey(bank, reg)];
  b.ClearRead();
  b.canned = value;
}

void SimInstrument::SetReadSequence(unsigned bank, unsigned reg, std::vector<std::uint16_t> values) {
  CheckRegister(bank, reg);
  std::lock_guard lock(state_->mutex);
  Behaviour& b = state_->behaviours[RegKey(bank, reg)];
  b.ClearRead();
  b.sequence = std::move(values);
}

void SimInstrument::OnRead(unsigned bank, unsigned reg, ReadHandler handler) {
  CheckRegister(bank, reg);
  std::lock_guard lock(state_->mutex);
  Behaviour& b = state_->behaviours[RegKey(bank, reg)];
  b.ClearRead();
  b.onRead = std::move(handler);
}

void SimInstrument::OnWrite(unsigned bank, unsigned reg, WriteHandler handler) {
  CheckRegister(bank, reg);
  std::lock_guard lock(state_->mutex);
  state_->behaviours[RegKey(bank, reg)].onWrite = std::move(handler);
}

void SimInstrument::ClearBehaviour(unsigned bank, unsigned reg) {
  CheckRegister(bank, reg);
  std::lock_guard lock(state_->mutex);
  state_->behaviours.erase(RegKey(bank, reg));
}

std::vector<std::uint16_t> SimInstrument::WritesTo(unsigned bank, unsigned reg) const {
  CheckRegister(bank, reg);
  std::lock_guard lock(state_->mutex);
  auto it = state_->writes.find(RegKey(bank, reg));
  return it == state_->writes.end() ? std::vector<std::uint16_t>{} : it->second;
}

void SimInstrument::State::CheckEeprom(std::uint32_t address, std::size_t count) const {
  if (std::uint64_t{address} + count > eeprom.size())
    throw std::out_of_range("EEPROM address " + std::to_string(address) + " + " + std::to_string(count));
}

void SimInstrument::FillEeprom(std::uint8_t value) {
  std::lock_guard lock(state_->mutex);
  std::fill(state_->eeprom.begin(), state_->eeprom.end(), value);
}

std::size_t SimInstrument::EepromSize() const {
  std::lock_guard lock(state_->mutex);
  return state_->eeprom.size();
}

std::uint8_t SimInstrument::EepromByte(std::uint32_t address) const {
  std::lock_guard lock(state_->mutex);
  state_->CheckEeprom(address, 1);
  return state_->eeprom[address];
}

void SimInstrument::SetEepromByte(std::uint32_t address, std::uint8_t value) {
  std::lock_guard lock(state_->mutex);
  state_->CheckEeprom(address, 1);
  state_->eeprom[address] = value;
}

std::vector<std::uint8_t> SimInstrument::EepromBytes(std::uint32_t address, std::size_t count) const {
  std::lock_guard lock(state_->mutex);
  state_->CheckEeprom(address, count);
  auto first = state_->eeprom.begin() + address;
  return {first, first + static_cast<std::ptrdiff_t>(count)};
}

void SimInstrument::SetEepromBytes(std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
  std::lock_guard lock(state_->mutex);
  state_->CheckEeprom(address, bytes.size());
  std::copy(bytes.begin(), bytes.end(), state_->eeprom.begin() + address);
}

void SimInstrument::SeedDouble(std::uint32_t address, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  std::vector<std::uint8_t> bytes(8);
  for (std::size_t i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  SetEepromBytes(address, bytes);
}

double SimInstrument::EepromDouble(std::uint32_t address) const {
  const std::vector<std::uint8_t> bytes = EepromBytes(address, 8);
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i) bits |= std::uint64_t{bytes[i]} << (8 * i);
  return std::bit_cast<double>(bits);
}

void SimInstrument::SetEepromReadHighByte(std::uint8_t value) {
  std::lock_guard lock(state_->mutex);
  state_->eepromHighByte = value;
}

std::vector<std::pair<std::uint16_t, std::uint16_t>> SimInstrument::ClockChipWrites(unsigned bank) const {
  CheckBank(bank);
  std::lock_guard lock(state_->mutex);
  return state_->clockChip[bank];
}

void SimInstrument::ClearClockChipWrites() {
  std::lock_guard lock(state_->mutex);
  for (auto& list : state_->clockChip) list.clear();
}

std::uint16_t SimInstrument::SubRegister(unsigned bank, unsigned sub) const {
  CheckBank(bank);
  CheckWord(sub, "sub-register");
  std::lock_guard lock(state_->mutex);
  return state_->SubRegisterValue(bank, sub);
}

void SimInstrument::SetSubRegister(unsigned bank, unsigned sub, std::uint16_t value) {
  CheckBank(bank);
  CheckWord(sub, "sub-register");
  std::lock_guard lock(state_->mutex);
  state_->subRegisters[BankKey(bank, sub)] = value;
}

std::vector<std::uint16_t> SimInstrument::SubRegisterWrites(unsigned bank, unsigned sub) const {
  CheckBank(bank);
  CheckWord(sub, "sub-register");
  std::lock_guard lock(state_->mutex);
  auto it = state_->subWrites.find(BankKey(bank, sub));
  return it == state_->subWrites.end() ? std::vector<std::uint16_t>{} : it->second;
}

void SimInstrument::SetDspNotReadyFor(unsigned bank, int checks) {
  CheckBank(bank);
  if (checks < 0) throw std::invalid_argument("SetDspNotReadyFor: negative count");
  std::lock_guard lock(state_->mutex);
  state_->notReadyChecks[bank] = checks;
}

std::uint16_t SimInstrument::ChipRegister(unsigned bank, unsigned address) const {
  CheckBank(bank);
  CheckWord(address, "chip register");
  std::lock_guard lock(state_->mutex);
  auto it = state_->chipRegisters.find(BankKey(bank, address));
  return it == state_->chipRegisters.end() ? 0 : it->second;
}

void SimInstrument::SetChipRegister(unsigned bank, unsigned address, std::uint16_t value) {
  CheckBank(bank);
  CheckWord(address, "chip register");
  std::lock_guard lock(state_->mutex);
  state_->chipRegisters[BankKey(bank, address)] = value;
}

void SimInstrument::AddRegisterWindow(unsigned bank, unsigned dataReg, unsigned addressReg,
                                      std::optional<unsigned> selectReg) {
  CheckRegister(bank, dataReg);
  CheckRegister(bank, addressReg);
  if (selectReg) CheckRegister(bank, *selectReg);
  std::lock_guard lock(state_->mutex);
  state_->registerWindows[RegKey(bank, dataReg)] = RegisterWindow{addressReg, selectReg};
}

std::uint16_t SimInstrument::WindowWord(unsigned bank, unsigned dataReg, std::uint16_t address,
                                        std::uint16_t select) const {
  CheckRegister(bank, dataReg);
  std::lock_guard lock(state_->mutex);
  auto it = state_->windowWords.find(WindowKey{RegKey(bank, dataReg), select, address});
  return it == state_->windowWords.end() ? 0 : it->second;
}

void SimInstrument::SetWindowWord(unsigned bank, unsigned dataReg, std::uint16_t address, std::uint16_t value,
                                  std::uint16_t select) {
  CheckRegister(bank, dataReg);
  std::lock_guard lock(state_->mutex);
  state_->windowWords[WindowKey{RegKey(bank, dataReg), select, address}] = value;
}

void SimInstrument::SetErrorCounter(unsigned bank, std::uint64_t count, std::uint32_t elapsedMs) {
  CheckBank(bank);
  for (unsigned i = 0; i < 4; ++i)
    SetReadValue(bank, kErrorCountRegs[i], static_cast<std::uint16_t>(count >> (16 * i)));
  SetReadValue(bank, kElapsedLowReg, static_cast<std::uint16_t>(elapsedMs & 0xFFFF));
  SetReadValue(bank, kElapsedHighReg, static_cast<std::uint16_t>(elapsedMs >> 16));
}

SimInstrument::PatternMemoryView SimInstrument::PatternMemory(unsigned bank, unsigned side) const {
  CheckBank(bank);
  if (side > 1) throw std::out_of_range("pattern memory side " + std::to_string(side));
  std::lock_guard lock(state_->mutex);
  const PatternSide& p = kPatternSides[side];
  PatternMemoryView view{{}, state_->SubRegisterValue(bank, p.length), state_->SubRegisterValue(bank, p.control)};
  auto it = state_->patternStrobes.find(BankKey(bank, side));
  if (it != state_->patternStrobes.end()) view.strobed = it->second;
  return view;
}

namespace {
// Stores a payload, or forgets it when empty so the default applies again.
template <typename Table, typename Key>
void StorePayload(Table& table, const Key& key, std::vector<std::uint8_t> payload) {
  if (payload.empty())
    table.erase(key);
  else
    table[key] = std::move(payload);
}
}  // namespace

void SimInstrument::SetResultBlock(unsigned bank, std::vector<std::uint8_t> payload) {
  const std::uint8_t b = CheckByte(bank, "result block bank");
  std::lock_guard lock(state_->mutex);
  StorePayload(state_->resultBlocks, b, std::move(payload));
}

void SimInstrument::SetNumberedBlock(unsigned bank, unsigned k, std::vector<std::uint8_t> payload) {
  const std::uint8_t b = CheckByte(bank, "numbered block bank");
  const std::uint8_t kb = CheckByte(k, "numbered block number");
  std::lock_guard lock(state_->mutex);
  StorePayload(state_->numberedBlocks, std::pair{b, kb}, std::move(payload));
}

void SimInstrument::SetBathtub(unsigned channel, std::vector<std::uint8_t> payload) {
  const std::uint8_t ch = CheckByte(channel, "bathtub channel");
  std::lock_guard lock(state_->mutex);
  StorePayload(state_->bathtubs, ch, std::move(payload));
}

void SimInstrument::SetVerticalBathtub(unsigned channel, std::vector<std::uint8_t> payload) {
  const std::uint8_t ch = CheckByte(channel, "vertical bathtub channel");
  std::lock_guard lock(state_->mutex);
  StorePayload(state_->verticalBathtubs, ch, std::move(payload));
}

void SimInstrument::SetModuleMemory(std::uint8_t a, std::uint8_t b, std::vector<std::uint8_t> bytes) {
  std::lock_guard lock(state_->mutex);
  state_->moduleMemory[std::pair{a, b}] = std::move(bytes);
}

std::vector<std::uint8_t> SimInstrument::ModuleMemory(std::uint8_t a, std::uint8_t b) const {
  std::lock_guard lock(state_->mutex);
  auto it = state_->moduleMemory.find(std::pair{a, b});
  return it == state_->moduleMemory.end() ? std::vector<std::uint8_t>{} : it->second;
}

std::vector<Packet> SimInstrument::Log() const {
  std::lock_guard lock(state_->mutex);
  return state_->log;
}

std::size_t SimInstrument::RequestCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->log.size();
}

std::size_t SimInstrument::RequestsSinceStart() const {
  std::lock_guard lock(state_->mutex);
  return state_->requests;
}

void SimInstrument::ClearLog() {
  std::lock_guard lock(state_->mutex);
  state_->log.clear();
}

int SimInstrument::ConnectionCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->connections;
}

namespace {
void AddFault(std::mutex& mutex, std::map<std::size_t, Fault>& faults, std::size_t n, Fault fault) {
  std::lock_guard lock(mutex);
  faults[n] = fault;
}
}  // namespace

void SimInstrument::CloseAtRequest(std::size_t n) {
  AddFault(state_->mutex, state_->faults, n, {FaultKind::kClose, 0});
}
void SimInstrument::ResetAtRequest(std::size_t n) {
  AddFault(state_->mutex, state_->faults, n, {FaultKind::kReset, 0});
}
void SimInstrument::ShortReplyAtRequest(std::size_t n, std::size_t length) {
  AddFault(state_->mutex, state_->faults, n, {FaultKind::kShort, length});
}
void SimInstrument::SplitReplyAtRequest(std::size_t n, std::size_t firstLength) {
  AddFault(state_->mutex, state_->faults, n, {FaultKind::kSplit, firstLength});
}
void SimInstrument::DelayReplyAtRequest(std::size_t n, std::chrono::milliseconds delay) {
  AddFault(state_->mutex, state_->faults, n, {FaultKind::kDelay, 0, delay});
}
void SimInstrument::WithholdRepliesFrom(std::size_t n) {
  std::lock_guard lock(state_->mutex);
  state_->withholdFrom = n;
}

}  // namespace tessok::sim
