// The simulated instrument, seen from a raw socket client: the bytes it answers,
// the state those requests leave and the faults it injects. Packets are written
// out byte by byte (control word = bit 15 write, bits 14-11 bank, 10-0 register,
// little-endian) so that these tests do not lean on the library's codec.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "sim/SimInstrument.h"

namespace {

using tessok::sim::Packet;
using tessok::sim::SimInstrument;
using tessok::test::TestAddress;
using Bytes = std::vector<std::uint8_t>;
using Request = std::array<std::uint8_t, 128>;

// A blocking client socket with a receive time-out, so a missing reply fails
// the test instead of hanging it.
class Client {
 public:
  explicit Client(const std::string& address) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd_ < 0) throw std::runtime_error("socket");
    timeval tv{5, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(tessok::sim::kPort);
    ::inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
      connectErrno_ = errno;
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~Client() {
    if (fd_ >= 0) ::close(fd_);
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool Connected() const { return fd_ >= 0; }
  int ConnectErrno() const { return connectErrno_; }

  void Send(const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
      ssize_t n = ::send(fd_, data, length, MSG_NOSIGNAL);
      if (n <= 0) throw std::runtime_error("send failed");
      data += n;
      length -= static_cast<std::size_t>(n);
    }
  }
  void Send(const Request& r) { Send(r.data(), r.size()); }

  // One receive, as the library takes it. Returns the bytes; result_ keeps recv's result.
  Bytes ReceiveOnce(std::size_t capacity = 8192) {
    Bytes buffer(capacity);
    ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
    result_ = n;
    errno_ = n < 0 ? errno : 0;
    buffer.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return buffer;
  }
  Bytes Exchange(const Request& r) {
    Send(r);
    return ReceiveOnce();
  }
  // Whether a byte arrives within the given time (for "no reply yet").
  bool Readable(int milliseconds) {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, milliseconds) == 1;
  }
  ssize_t LastResult() const { return result_; }
  int LastErrno() const { return errno_; }

 private:
  int fd_ = -1;
  int connectErrno_ = 0;
  ssize_t result_ = 0;
  int errno_ = 0;
};

Request Make(std::initializer_list<std::uint8_t> head) {
  Request r{};
  std::size_t i = 0;
  for (std::uint8_t b : head) r[i++] = b;
  return r;
}

std::uint16_t Control(bool write, unsigned bank, unsigned reg) {
  return static_cast<std::uint16_t>((write ? 0x8000u : 0u) | (bank << 11) | reg);
}

Request ReadReq(unsigned bank, unsigned reg) {
  std::uint16_t c = Control(false, bank, reg);
  return Make({0xF0, 0, 0, 0, static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>(c >> 8)});
}

Request WriteReq(unsigned bank, unsigned reg, std::uint16_t value) {
  std::uint16_t c = Control(true, bank, reg);
  return Make({0xF0, 0, 0, 0, static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>(c >> 8),
               static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)});
}

// The register reply F0 lo hi 00 ..., 128 bytes.
Bytes RegisterReply(std::uint16_t value) {
  Bytes b(128, 0);
  b[0] = 0xF0;
  b[1] = static_cast<std::uint8_t>(value & 0xFF);
  b[2] = static_cast<std::uint8_t>(value >> 8);
  return b;
}

std::uint16_t Read(Client& c, unsigned bank, unsigned reg) {
  Bytes reply = c.Exchange(ReadReq(bank, reg));
  EXPECT_EQ(reply.size(), 128u);
  if (reply.size() < 3) return 0xDEAD;
  EXPECT_EQ(reply[0], 0xF0);
  return static_cast<std::uint16_t>(reply[1] | (reply[2] << 8));
}

void Write(Client& c, unsigned bank, unsigned reg, std::uint16_t value) {
  EXPECT_EQ(c.Exchange(WriteReq(bank, reg, value)), RegisterReply(value));
}

Bytes Pattern(std::size_t n, std::uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
  return b;
}

Bytes Zeros(std::size_t n) { return Bytes(n, 0); }

// Waits (up to a few seconds) until the instrument has received n requests.
bool ReceivedRequests(const SimInstrument& sim, std::size_t n) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (sim.RequestsSinceStart() < n) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(SimInstrument, RegisterWriteAndReadAnswerTheValueInBytes1And2) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  ASSERT_TRUE(c.Connected());
  // Writing 0x1234 to register 0x20C of bank 3: control word 0x9A0C.
  Request write = Make({0xF0, 0, 0, 0, 0x0C, 0x9A, 0x34, 0x12});
  EXPECT_EQ(c.Exchange(write), RegisterReply(0x1234));
  // The read keeps bytes 6-7 of the write, as the library's buffer does; they must be ignored.
  Request read = Make({0xF0, 0, 0, 0, 0x0C, 0x1A, 0x34, 0x12});
  read[100] = 0x77;
  EXPECT_EQ(c.Exchange(read), RegisterReply(0x1234));
  EXPECT_EQ(Read(c, 4, 0x20C), 0u);  // another bank, same register

  EXPECT_EQ(sim.Reg(3, 0x20C), 0x1234);
  EXPECT_EQ(sim.WritesTo(3, 0x20C), (std::vector<std::uint16_t>{0x1234}));
  std::vector<Packet> log = sim.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].bytes, write);
  EXPECT_EQ(log[1].bytes, read);
  EXPECT_TRUE(log[0].IsWrite());
  EXPECT_EQ(log[0].Bank(), 3u);
  EXPECT_EQ(log[0].Reg(), 0x20Cu);
  EXPECT_EQ(log[0].Data(), 0x1234);
  EXPECT_TRUE(log[1].IsRead());
  EXPECT_EQ(log[2].sequence, 2u);
  EXPECT_EQ(sim.ConnectionCount(), 1);
}

TEST(SimInstrument, SetRegIsWhatTheWireReads) {
  SimInstrument sim(TestAddress());
  sim.SetReg(15, 0x7FF, 0xBEEF);
  Client c(TestAddress());
  EXPECT_EQ(Read(c, 15, 0x7FF), 0xBEEF);
}

TEST(SimInstrument, CannedValueAnswersReadsWhileWritesAreStillStored) {
  SimInstrument sim(TestAddress());
  sim.SetReadValue(2, 0x20C, 0x1F05);
  Client c(TestAddress());
  Write(c, 2, 0x20C, 0);
  EXPECT_EQ(Read(c, 2, 0x20C), 0x1F05);
  EXPECT_EQ(sim.Reg(2, 0x20C), 0);
  EXPECT_EQ(sim.WritesTo(2, 0x20C), (std::vector<std::uint16_t>{0}));
  Write(c, 2, 0x20C, 0x0042);
  EXPECT_EQ(Read(c, 2, 0x20C), 0x1F05);
  sim.ClearBehaviour(2, 0x20C);
  EXPECT_EQ(Read(c, 2, 0x20C), 0x0042);
}

TEST(SimInstrument, SamplingPointReadBackAnswersTheLastPointNotTheZeroWritten) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  EXPECT_EQ(Read(c, 2, 0x30C), 0);
  Write(c, 2, 0x30A, 0x2848);  // threshold 40, phase 72
  Write(c, 2, 0x30C, 0);
  EXPECT_EQ(Read(c, 2, 0x30C), 0x2848);
  Write(c, 2, 0x30B, 0x0133);  // threshold 0x33 (low byte), phase kept
  Write(c, 2, 0x30C, 0);
  EXPECT_EQ(Read(c, 2, 0x30C), 0x3348);
  EXPECT_EQ(Read(c, 3, 0x30C), 0);  // kept per bank
  EXPECT_EQ(sim.WritesTo(2, 0x30C), (std::vector<std::uint16_t>{0, 0}));
  sim.SetReadValue(2, 0x30C, 0x1F05);
  EXPECT_EQ(Read(c, 2, 0x30C), 0x1F05);
}

TEST(SimInstrument, ReadSequenceAnswersInTurnAndRepeatsTheLast) {
  SimInstrument sim(TestAddress());
  sim.SetReadSequence(0, 13, {7, 8, 9});
  Client c(TestAddress());
  EXPECT_EQ(Read(c, 0, 13), 7);
  EXPECT_EQ(Read(c, 0, 13), 8);
  EXPECT_EQ(Read(c, 0, 13), 9);
  EXPECT_EQ(Read(c, 0, 13), 9);
  // A canned value replaces the sequence.
  sim.SetReadValue(0, 13, 3);
  EXPECT_EQ(Read(c, 0, 13), 3);
}

TEST(SimInstrument, CallbacksTakeThePlaceOfStorageAndMayCallBackIn) {
  SimInstrument sim(TestAddress());
  std::vector<std::uint16_t> seen;
  // The write callback calls into the simulator: it must not deadlock.
  sim.OnWrite(1, 0x40, [&](std::uint16_t v) {
    seen.push_back(v);
    sim.SetReg(1, 0x41, static_cast<std::uint16_t>(v + 1));
    EXPECT_EQ(sim.RequestCount(), 1u);
  });
  int reads = 0;
  sim.OnRead(1, 0x40, [&] { return static_cast<std::uint16_t>(0x100 + ++reads + sim.Reg(1, 0x41)); });
  Client c(TestAddress());
  Write(c, 1, 0x40, 0x10);
  EXPECT_EQ(seen, (std::vector<std::uint16_t>{0x10}));
  EXPECT_EQ(sim.Reg(1, 0x40), 0);                                        // not stored
  EXPECT_EQ(sim.WritesTo(1, 0x40), (std::vector<std::uint16_t>{0x10}));  // still logged
  EXPECT_EQ(Read(c, 1, 0x40), 0x100 + 1 + 0x11);
  EXPECT_EQ(Read(c, 1, 0x40), 0x100 + 2 + 0x11);
  sim.ClearBehaviour(1, 0x40);
  Write(c, 1, 0x40, 0x20);
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_EQ(Read(c, 1, 0x40), 0x20);
}

TEST(SimInstrument, EepromBank0ThroughRegisters10And11) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  Write(c, 0, 10, 0x1234);
  Write(c, 0, 11, 0x01AB);  // only the low byte is kept
  EXPECT_EQ(sim.EepromByte(0x1234), 0xAB);
  EXPECT_EQ(Read(c, 0, 11), 0x00AB);
  sim.SetEepromReadHighByte(0x5A);
  EXPECT_EQ(Read(c, 0, 11), 0x5AAB);
  // The address does not advance: a second write lands on the same byte.
  Write(c, 0, 11, 0xCD);
  EXPECT_EQ(sim.EepromByte(0x1234), 0xCD);
  EXPECT_EQ(sim.EepromByte(0x1235), 0xFF);
  Write(c, 0, 10, 0xFFFF);
  EXPECT_EQ(Read(c, 0, 11), 0x5AFF);  // erased
  sim.FillEeprom(0x00);
  EXPECT_EQ(Read(c, 0, 11), 0x5A00);
}

TEST(SimInstrument, EepromBank1ReachesFrom0x10000AndOtherBanksArePlain) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  // Bank 1, register 10 = 0x0FCE: EEPROM address 0x10FCE (control word 0x880A).
  EXPECT_EQ(c.Exchange(Make({0xF0, 0, 0, 0, 0x0A, 0x88, 0xCE, 0x0F})), RegisterReply(0x0FCE));
  Write(c, 1, 11, 0x77);
  EXPECT_EQ(sim.EepromByte(0x10FCE), 0x77);
  EXPECT_EQ(sim.EepromByte(0x0FCE), 0xFF);
  EXPECT_EQ(Read(c, 1, 11), 0x77);
  // Bank 2: registers 10 and 11 are plain storage.
  Write(c, 2, 10, 0x0FCE);
  Write(c, 2, 11, 0x1234);
  EXPECT_EQ(Read(c, 2, 11), 0x1234);
  EXPECT_EQ(sim.EepromByte(0x0FCE), 0xFF);
  EXPECT_EQ(sim.EepromByte(0x10FCE), 0x77);
}

TEST(SimInstrument, PageReadAnswersThe128BytesAtTheAddress) {
  SimInstrument sim(TestAddress());
  const Bytes page = Pattern(128, 3);
  sim.SetEepromBytes(0x9000, page);
  Client c(TestAddress());
  // Device 0, address 0x9000.
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x00, 0x01, 0x80, 0x00, 0x00, 0x90, 0x00, 0x00})), page);
  // Near the end: bytes past the EEPROM read as erased.
  const std::uint32_t end = static_cast<std::uint32_t>(sim.EepromSize());
  sim.SetEepromBytes(end - 64, Zeros(64));
  Bytes tail = c.Exchange(Make({0xF1, 0x00, 0x01, 0x80, 0x00, 0xC0, 0xFF, 0x01, 0x00}));  // 0x1FFC0
  ASSERT_EQ(end, 0x20000u);
  Bytes expected(128, 0xFF);
  std::fill_n(expected.begin(), 64, std::uint8_t{0});
  EXPECT_EQ(tail, expected);
  // A seeded double is its 8 bytes, least significant first.
  sim.SeedDouble(0x9008, 1.0);
  EXPECT_EQ(sim.EepromBytes(0x9008, 8), (Bytes{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
  EXPECT_EQ(sim.EepromDouble(0x9008), 1.0);
  Bytes again = c.Exchange(Make({0xF1, 0x00, 0x01, 0x80, 0x00, 0x08, 0x90, 0x00, 0x00}));
  ASSERT_EQ(again.size(), 128u);
  EXPECT_EQ(Bytes(again.begin(), again.begin() + 8), (Bytes{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
}

TEST(SimInstrument, PageWriteStoresThe119DataBytes) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  Request r = Make({0xF1, 0x00, 0x00, 0x80, 0x00, 0x00, 0x30, 0x01, 0x00});  // 0x13000
  const Bytes data = Pattern(119, 11);
  std::copy(data.begin(), data.end(), r.begin() + 9);
  EXPECT_EQ(c.Exchange(r), Zeros(128));
  EXPECT_EQ(sim.EepromBytes(0x13000, 119), data);
  EXPECT_EQ(sim.EepromByte(0x13000 + 119), 0xFF);
}

TEST(SimInstrument, ResultAndNumberedBlocksAreToldApartByByte4) {
  SimInstrument sim(TestAddress());
  const Bytes result = Pattern(300, 1);
  const Bytes block127 = Pattern(1024, 2);
  const Bytes big = Pattern(1500, 3);
  sim.SetResultBlock(2, result);
  sim.SetNumberedBlock(2, 127, block127);
  sim.SetNumberedBlock(2, 0, big);
  Client c(TestAddress());
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x02, 0x02, 0x7F, 0x7F})), result);
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x02, 0x02, 0x7F, 0x00})), block127);
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x02, 0x02, 0x00, 0x00})), big);  // sent whole, in one send
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x02, 0x02, 0x05, 0x00})), Zeros(1024));
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x02, 0x03, 0x7F, 0x7F})), Zeros(1024));
  sim.SetResultBlock(2, {});  // back to the default
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x02, 0x02, 0x7F, 0x7F})), Zeros(1024));
}

TEST(SimInstrument, BathtubPayloadsPerChannel) {
  SimInstrument sim(TestAddress());
  const Bytes horizontal = Pattern(1024, 5);
  const Bytes vertical = Pattern(512, 6);
  sim.SetBathtub(1, horizontal);
  sim.SetVerticalBathtub(1, vertical);
  Client c(TestAddress());
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x03, 0x01, 0x05, 0x06})), horizontal);
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x04, 0x01, 0x05, 0x7F})), vertical);
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x03, 0x02, 0x05, 0x06})), Zeros(1024));
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x04, 0x00, 0x05, 0x7F})), Zeros(1024));
}

TEST(SimInstrument, ModuleBusReadAndWrite) {
  SimInstrument sim(TestAddress());
  sim.SetModuleMemory(0xA0, 0x10, {1, 2, 3, 4, 5});
  Client c(TestAddress());
  // len 4: 128 bytes, the first 4 from the memory.
  Bytes expected = Zeros(128);
  for (std::uint8_t i = 0; i < 4; ++i) expected[i] = static_cast<std::uint8_t>(i + 1);
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x06, 0x01, 0x04, 0xA0, 0x10})), expected);
  // len 200: 200 bytes, past the memory's end zero.
  expected = Zeros(200);
  for (std::uint8_t i = 0; i < 5; ++i) expected[i] = static_cast<std::uint8_t>(i + 1);
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x06, 0x01, 200, 0xA0, 0x10})), expected);
  // Write 3 bytes (bytes 9-11) to (0xA0, 0x11); byte 12 is not part of it.
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x06, 0x00, 0x03, 0xA0, 0x11, 0, 0, 0, 9, 8, 7, 0xEE})), Zeros(128));
  EXPECT_EQ(sim.ModuleMemory(0xA0, 0x11), (Bytes{9, 8, 7}));
  // A write over the start of longer memory keeps its tail.
  EXPECT_EQ(c.Exchange(Make({0xF1, 0x06, 0x00, 0x02, 0xA0, 0x10, 0, 0, 0, 0x55, 0x66})), Zeros(128));
  EXPECT_EQ(sim.ModuleMemory(0xA0, 0x10), (Bytes{0x55, 0x66, 3, 4, 5}));
  EXPECT_TRUE(sim.ModuleMemory(0xA1, 0x10).empty());
}

TEST(SimInstrument, ParameterBlockAndUnknownCommandsAreAcknowledgedAndLogged) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  const Request parameters = Make({0xF1, 0x07, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x02, 0x01, 11, 12, 13, 14});
  const Request unknownSub = Make({0xF1, 0x09, 1, 2, 3});
  const Request unknown = Make({0x55, 0xAA});
  EXPECT_EQ(c.Exchange(parameters), Zeros(128));
  EXPECT_EQ(c.Exchange(unknownSub), Zeros(128));
  EXPECT_EQ(c.Exchange(unknown), Zeros(128));
  std::vector<Packet> log = sim.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].bytes, parameters);
  EXPECT_EQ(log[1].bytes, unknownSub);
  EXPECT_EQ(log[2].bytes, unknown);
}

TEST(SimInstrument, ClockChipListPairsEachValueWithTheLastAddress) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  Write(c, 0, 0x106, 0x10);
  Write(c, 0, 0x107, 0xAA);
  Write(c, 0, 0x107, 0xBB);
  Write(c, 0, 0x106, 0x20);
  Write(c, 0, 0x107, 0xCC);
  Write(c, 1, 0x106, 5);
  Write(c, 1, 0x107, 6);
  using List = std::vector<std::pair<std::uint16_t, std::uint16_t>>;
  EXPECT_EQ(sim.ClockChipWrites(0), (List{{0x10, 0xAA}, {0x10, 0xBB}, {0x20, 0xCC}}));
  EXPECT_EQ(sim.ClockChipWrites(1), (List{{5, 6}}));
  EXPECT_TRUE(sim.ClockChipWrites(2).empty());
  sim.ClearClockChipWrites();
  EXPECT_TRUE(sim.ClockChipWrites(0).empty());
  EXPECT_TRUE(sim.ClockChipWrites(1).empty());
}

TEST(SimInstrument, SubRegisterWindowAndReadinessScript) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  // The readiness check: select 0, write 0, read.
  auto check = [&](unsigned bank) {
    Write(c, bank, 0x200, 0);
    Write(c, bank, 0x201, 0);
    return Read(c, bank, 0x201);
  };
  EXPECT_EQ(check(2), 0x104B);
  sim.SetDspNotReadyFor(2, 2);
  EXPECT_EQ(check(3), 0x104B);  // other banks are ready
  EXPECT_EQ(check(2), 0);
  EXPECT_EQ(check(2), 0);
  EXPECT_EQ(check(2), 0x104B);
  EXPECT_EQ(sim.SubRegisterWrites(2, 0), (std::vector<std::uint16_t>(4, 0)));
  EXPECT_EQ(sim.SubRegister(2, 0), 0x104B);

  // Other sub-registers store what is written, per bank.
  Write(c, 2, 0x200, 38);
  Write(c, 2, 0x201, 0x220D);
  Write(c, 2, 0x201, 0x2310);
  EXPECT_EQ(Read(c, 2, 0x201), 0x2310);
  EXPECT_EQ(sim.SubRegister(2, 38), 0x2310);
  EXPECT_EQ(sim.SubRegister(3, 38), 0);
  EXPECT_EQ(sim.SubRegisterWrites(2, 38), (std::vector<std::uint16_t>{0x220D, 0x2310}));
  sim.SetSubRegister(3, 45, 0x8001);
  Write(c, 3, 0x200, 45);
  EXPECT_EQ(Read(c, 3, 0x201), 0x8001);
  sim.SetSubRegister(3, 0, 0x0001);
  EXPECT_EQ(check(3), 0x0001);
}

TEST(SimInstrument, ChipRegisterWindowIsKeptPerBank) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  Write(c, 2, 0x21F, 9);
  Write(c, 2, 0x220, 33);
  EXPECT_EQ(sim.ChipRegister(2, 9), 33);
  EXPECT_EQ(sim.ChipRegister(3, 9), 0);
  sim.SetChipRegister(3, 9, 44);
  Write(c, 3, 0x21F, 9);
  EXPECT_EQ(Read(c, 3, 0x220), 44);
  Write(c, 2, 0x21F, 10);
  EXPECT_EQ(Read(c, 2, 0x220), 0);
  Write(c, 2, 0x21F, 9);
  EXPECT_EQ(Read(c, 2, 0x220), 33);
}

TEST(SimInstrument, RegisterWindowsAreOffUntilSwitchedOnAndKeyedByTheirRegisters) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  // Off: 35 of bank 2 is plain storage.
  Write(c, 2, 34, 7);
  Write(c, 2, 35, 0x1111);
  EXPECT_EQ(sim.WindowWord(2, 35, 7), 0);
  EXPECT_EQ(sim.Reg(2, 35), 0x1111);

  // The port-bank window: 35 keyed by select 33 and address 34.
  sim.AddRegisterWindow(2, 35, 34, 33);
  Write(c, 2, 33, 1);
  Write(c, 2, 34, 7);
  Write(c, 2, 35, 0x2222);
  Write(c, 2, 33, 2);
  Write(c, 2, 35, 0x3333);
  EXPECT_EQ(sim.WindowWord(2, 35, 7, 1), 0x2222);
  EXPECT_EQ(sim.WindowWord(2, 35, 7, 2), 0x3333);
  EXPECT_EQ(Read(c, 2, 35), 0x3333);
  Write(c, 2, 33, 1);
  EXPECT_EQ(Read(c, 2, 35), 0x2222);
  Write(c, 2, 34, 8);
  EXPECT_EQ(Read(c, 2, 35), 0);               // nothing written at (1, 8)
  EXPECT_EQ(Read(c, 2, 34), 8);               // the keys stay plain registers
  EXPECT_EQ(Read(c, 3, 35), 0);               // per bank: bank 3 has no window
  EXPECT_EQ(sim.WritesTo(2, 35).size(), 3u);  // every write is still logged

  // A window without select (the module bus of bank 0), seeded by the test.
  sim.AddRegisterWindow(0, 57, 56);
  sim.SetWindowWord(0, 57, 0x80, 0xBEEF);
  Write(c, 0, 56, 0x80);
  EXPECT_EQ(Read(c, 0, 57), 0xBEEF);
  Write(c, 0, 57, 3);
  EXPECT_EQ(sim.WindowWord(0, 57, 0x80), 3);

  // A canned read still comes first.
  sim.SetReadValue(0, 57, 0x4444);
  EXPECT_EQ(Read(c, 0, 57), 0x4444);
  EXPECT_THROW(sim.AddRegisterWindow(16, 35, 34), std::out_of_range);
}

TEST(SimInstrument, ErrorCounterIsCannedAcrossItsRegisters) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  sim.SetErrorCounter(5, 0x1234'5678'9ABC'DEF0ull, 0x0001'86A0u);
  const std::pair<unsigned, std::uint16_t> expected[] = {{0x303, 0xDEF0}, {0x304, 0x9ABC}, {0x305, 0x5678},
                                                         {0x30F, 0x1234}, {0x306, 0x86A0}, {0x307, 0x0001}};
  for (int pass = 0; pass < 2; ++pass) {  // reads never change them
    for (auto [reg, value] : expected) EXPECT_EQ(Read(c, 5, reg), value) << std::hex << reg;
  }
  EXPECT_EQ(Read(c, 4, 0x303), 0);
}

TEST(SimInstrument, PatternMemoryCapturesABlockAtEachStrobeOfThree) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  auto sub = [&](unsigned bank, unsigned reg, std::uint16_t value) {
    Write(c, bank, 0x200, static_cast<std::uint16_t>(reg));
    Write(c, bank, 0x201, value);
  };
  // Side 1 of bank 2: block 7, then the strobe 3, 0, 3.
  sub(2, 0x45BD, 7);
  for (unsigned w = 0; w < 5; ++w) sub(2, 0x45BE + w, static_cast<std::uint16_t>(0x100 + w));
  for (std::uint16_t s : {std::uint16_t{3}, std::uint16_t{0}, std::uint16_t{3}}) sub(2, 0x45C8, s);
  sub(2, 0x45B0, 40);
  sub(2, 0x45AB, 1);
  // A strobe of side 0 does not store a side-1 block.
  sub(2, 0x45BC, 3);

  const SimInstrument::PatternBlock block{7, {0x100, 0x101, 0x102, 0x103, 0x104}};
  const SimInstrument::PatternMemoryView side1 = sim.PatternMemory(2, 1);
  EXPECT_EQ(side1.strobed, (std::vector<SimInstrument::PatternBlock>{block, block}));
  EXPECT_EQ(side1.length, 40);
  EXPECT_EQ(side1.control, 1);
  const SimInstrument::PatternMemoryView side0 = sim.PatternMemory(2, 0);
  ASSERT_EQ(side0.strobed.size(), 1u);
  EXPECT_EQ(side0.strobed[0], (SimInstrument::PatternBlock{0, {0, 0, 0, 0, 0}}));
  EXPECT_TRUE(sim.PatternMemory(3, 1).strobed.empty());
  EXPECT_THROW(sim.PatternMemory(2, 2), std::out_of_range);
}

TEST(SimInstrument, CloseAtRequestClosesInsteadOfAnswering) {
  SimInstrument sim(TestAddress());
  sim.CloseAtRequest(1);
  {
    Client c(TestAddress());
    Write(c, 0, 5, 1);
    Bytes reply = c.Exchange(WriteReq(0, 5, 2));
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(c.LastResult(), 0);  // the peer closed
  }
  EXPECT_EQ(sim.RequestCount(), 2u);  // the closed request is logged ...
  EXPECT_EQ(sim.Reg(0, 5), 1);        // ... but not carried out
  Client again(TestAddress());
  EXPECT_EQ(Read(again, 0, 5), 1);
  EXPECT_EQ(sim.ConnectionCount(), 2);
}

TEST(SimInstrument, ResetAtRequestResetsTheConnection) {
  SimInstrument sim(TestAddress());
  sim.ResetAtRequest(0);
  Client c(TestAddress());
  Bytes reply = c.Exchange(ReadReq(0, 20));
  EXPECT_TRUE(reply.empty());
  EXPECT_EQ(c.LastResult(), -1);
  EXPECT_EQ(c.LastErrno(), ECONNRESET);
  EXPECT_EQ(sim.RequestCount(), 1u);
}

TEST(SimInstrument, ShortReplyAtRequestSendsOnlyTheFirstBytes) {
  SimInstrument sim(TestAddress());
  sim.SetReg(0, 20, 0x1E9C);
  sim.ShortReplyAtRequest(0, 3);
  Client c(TestAddress());
  EXPECT_EQ(c.Exchange(ReadReq(0, 20)), (Bytes{0xF0, 0x9C, 0x1E}));
  // Nothing is left over: the next request gets exactly its own reply.
  EXPECT_EQ(c.Exchange(ReadReq(0, 21)), RegisterReply(0));
}

TEST(SimInstrument, SplitReplyAtRequestSendsTheReplyInTwoParts) {
  SimInstrument sim(TestAddress());
  sim.SetReg(0, 20, 0x1E9C);
  sim.SplitReplyAtRequest(1, 2);
  Client c(TestAddress());
  EXPECT_EQ(Read(c, 0, 20), 0x1E9C);
  c.Send(ReadReq(0, 20));
  Bytes first = c.ReceiveOnce();
  EXPECT_EQ(first, (Bytes{0xF0, 0x9C}));
  Bytes rest = c.ReceiveOnce();
  first.insert(first.end(), rest.begin(), rest.end());
  EXPECT_EQ(first, RegisterReply(0x1E9C));
}

TEST(SimInstrument, DelayReplyAtRequestAnswersWholeAfterTheDelay) {
  SimInstrument sim(TestAddress());
  sim.SetReg(0, 20, 0x1E9C);
  sim.SetReg(0, 21, 0x0021);
  const auto delay = std::chrono::milliseconds(300);
  sim.DelayReplyAtRequest(1, delay);
  Client c(TestAddress());
  EXPECT_EQ(Read(c, 0, 21), 0x0021);
  c.Send(ReadReq(0, 20));
  c.Send(ReadReq(0, 21));  // waits its turn behind the delayed reply
  Bytes replies;
  while (replies.size() < 256) {
    Bytes part = c.ReceiveOnce();
    ASSERT_FALSE(part.empty());
    replies.insert(replies.end(), part.begin(), part.end());
  }
  const auto answered = std::chrono::steady_clock::now();
  Bytes expected = RegisterReply(0x1E9C);
  Bytes second = RegisterReply(0x0021);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(replies, expected);
  std::vector<Packet> log = sim.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_GE(answered - log[1].time, delay);
}

// A client that gives up on a delayed reply ends the wait: the next
// connection is served at once, not after the delay.
TEST(SimInstrument, DelayedReplyEndsWhenTheClientCloses) {
  SimInstrument sim(TestAddress());
  sim.SetReg(0, 20, 0x1E9C);
  sim.DelayReplyAtRequest(0, std::chrono::hours(1));
  {
    Client c(TestAddress());
    c.Send(ReadReq(0, 20));
    EXPECT_FALSE(c.Readable(50));
  }
  Client again(TestAddress());
  EXPECT_EQ(Read(again, 0, 20), 0x1E9C);  // the client's own time-out is 5 s
  EXPECT_EQ(sim.RequestCount(), 2u);
}

TEST(SimInstrument, StopDuringADelayedReplyReturnsPromptly) {
  SimInstrument sim(TestAddress());
  sim.DelayReplyAtRequest(0, std::chrono::hours(1));
  Client c(TestAddress());
  c.Send(ReadReq(0, 20));
  ASSERT_TRUE(ReceivedRequests(sim, 1));
  auto start = std::chrono::steady_clock::now();
  sim.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(c.ReceiveOnce().empty());  // closed without the reply
  EXPECT_EQ(c.LastResult(), 0);
}

TEST(SimInstrument, WithholdRepliesFromAnswersNothingMore) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  Write(c, 0, 5, 1);
  sim.WithholdRepliesFrom(1);
  c.Send(WriteReq(0, 5, 2));
  c.Send(ReadReq(0, 5));
  ASSERT_TRUE(ReceivedRequests(sim, 3));  // logged ...
  EXPECT_FALSE(c.Readable(50));           // ... not answered ...
  EXPECT_EQ(sim.Reg(0, 5), 1);            // ... nor carried out
  Client other(TestAddress());            // another connection is not answered either
  other.Send(ReadReq(0, 5));
  ASSERT_TRUE(ReceivedRequests(sim, 4));
  EXPECT_FALSE(other.Readable(50));
}

TEST(SimInstrument, RequestSentInPiecesGetsOneReply) {
  SimInstrument sim(TestAddress());
  sim.SetReg(4, 0x22B, 0x0103);
  Client c(TestAddress());
  const Request r = ReadReq(4, 0x22B);
  c.Send(r.data(), 50);
  EXPECT_FALSE(c.Readable(50));  // no answer to a part of a request
  c.Send(r.data() + 50, 78);
  EXPECT_EQ(c.ReceiveOnce(), RegisterReply(0x0103));
  ASSERT_EQ(sim.RequestCount(), 1u);
  EXPECT_EQ(sim.Log()[0].bytes, r);
}

TEST(SimInstrument, TwoRequestsInOneSendGetTwoReplies) {
  SimInstrument sim(TestAddress());
  sim.SetReg(0, 1, 0x0101);
  sim.SetReg(0, 2, 0x0202);
  Client c(TestAddress());
  std::array<std::uint8_t, 256> both{};
  const Request a = ReadReq(0, 1);
  const Request b = ReadReq(0, 2);
  std::copy(a.begin(), a.end(), both.begin());
  std::copy(b.begin(), b.end(), both.begin() + 128);
  c.Send(both.data(), both.size());
  Bytes replies;
  while (replies.size() < 256) {
    Bytes part = c.ReceiveOnce();
    ASSERT_FALSE(part.empty());
    replies.insert(replies.end(), part.begin(), part.end());
  }
  Bytes expected = RegisterReply(0x0101);
  Bytes second = RegisterReply(0x0202);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(replies, expected);
}

TEST(SimInstrument, FaultNumbersCountFromTheStartAcrossClearLog) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  for (unsigned i = 0; i < 3; ++i) Read(c, 0, i);
  sim.ClearLog();
  EXPECT_EQ(sim.RequestCount(), 0u);
  EXPECT_EQ(sim.RequestsSinceStart(), 3u);
  sim.CloseAtRequest(4);
  EXPECT_EQ(Read(c, 0, 9), 0);
  std::vector<Packet> log = sim.Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].sequence, 3u);
  EXPECT_TRUE(c.Exchange(ReadReq(0, 9)).empty());
  EXPECT_EQ(c.LastResult(), 0);
}

TEST(SimInstrument, LogTimestampsLieBetweenSendAndReply) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  auto before = std::chrono::steady_clock::now();
  Read(c, 0, 1);
  auto between = std::chrono::steady_clock::now();
  Read(c, 0, 2);
  auto after = std::chrono::steady_clock::now();
  std::vector<Packet> log = sim.Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_GE(log[0].time, before);
  EXPECT_LE(log[0].time, between);
  EXPECT_GE(log[1].time, between);
  EXPECT_LE(log[1].time, after);
}

TEST(SimInstrument, StopWithAConnectedClientReturnsPromptly) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  Read(c, 0, 1);  // the connection has been taken
  auto start = std::chrono::steady_clock::now();
  sim.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(c.ReceiveOnce().empty());
  EXPECT_EQ(c.LastResult(), 0);
  sim.Stop();  // idempotent
  Client late(TestAddress());
  EXPECT_FALSE(late.Connected());
  EXPECT_EQ(late.ConnectErrno(), ECONNREFUSED);
}

TEST(SimInstrument, StopWhileAClientIsMidRequestReturnsPromptly) {
  SimInstrument sim(TestAddress());
  Client c(TestAddress());
  const Request r = ReadReq(0, 1);
  c.Send(r.data(), 10);
  Client other(TestAddress());
  Read(other, 0, 1);  // a second connection is served meanwhile
  auto start = std::chrono::steady_clock::now();
  sim.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(SimInstrument, StopFromACallbackAnswersThatRequestFirst) {
  auto sim = std::make_unique<SimInstrument>(TestAddress());
  sim->OnWrite(0, 3, [&](std::uint16_t) { sim->Stop(); });
  Client c(TestAddress());
  Write(c, 0, 3, 1);
  EXPECT_TRUE(c.ReceiveOnce().empty());  // then the server closes
  sim.reset();                           // joins
}

TEST(SimInstrument, ServesSeveralConnectionsAtOnce) {
  SimInstrument sim(TestAddress());
  Client a(TestAddress());
  Write(a, 0, 7, 70);
  Client b(TestAddress());  // a is still open
  EXPECT_EQ(Read(b, 0, 7), 70);
  Write(b, 0, 7, 71);
  EXPECT_EQ(Read(a, 0, 7), 71);
  EXPECT_EQ(sim.ConnectionCount(), 2);
}

TEST(SimInstrument, RestartsOnTheSameAddressRightAway) {
  for (int i = 0; i < 3; ++i) {
    SimInstrument sim(TestAddress());
    sim.SetReg(0, 20, static_cast<std::uint16_t>(i));
    Client c(TestAddress());
    EXPECT_EQ(Read(c, 0, 20), i);
  }  // the server side closes first, leaving TIME_WAIT behind
}

TEST(SimInstrument, ConstructorThrowsWhenItCannotListen) {
  SimInstrument sim(TestAddress());
  EXPECT_THROW(SimInstrument{TestAddress()}, std::runtime_error);
  EXPECT_THROW(SimInstrument("not an address"), std::runtime_error);
  EXPECT_THROW(SimInstrument("::1"), std::runtime_error);
}

TEST(SimInstrument, AccessorsRejectWhatTheWireCannotAddress) {
  SimInstrument sim(TestAddress());
  EXPECT_THROW(sim.Reg(16, 0), std::out_of_range);
  EXPECT_THROW(sim.SetReg(0, 2048, 1), std::out_of_range);
  EXPECT_THROW(sim.SetNumberedBlock(0, 256, {1}), std::out_of_range);
  EXPECT_THROW(sim.EepromByte(static_cast<std::uint32_t>(sim.EepromSize())), std::out_of_range);
  EXPECT_THROW(sim.SetEepromBytes(static_cast<std::uint32_t>(sim.EepromSize()) - 4, Zeros(8)), std::out_of_range);
  EXPECT_THROW(sim.SetDspNotReadyFor(0, -1), std::invalid_argument);
}

TEST(SimInstrument, EepromSizeIsChosenAtConstruction) {
  SimInstrument sim(TestAddress(), tessok::sim::kPort, 0x14000);
  EXPECT_EQ(sim.EepromSize(), 0x14000u);
  Client c(TestAddress());
  Write(c, 1, 10, 0x4000);  // 0x14000: just past the end
  Write(c, 1, 11, 0x12);
  EXPECT_EQ(Read(c, 1, 11), 0x00FF);
}

}  // namespace
