// The command-header builders, byte by byte: each writes exactly the bytes its
// command defines and leaves every other byte of the packet as it found it.
// Expected bytes are worked out by hand from the packet layouts (little-endian
// fields; control word bit 15 = write, bank in bits 14-11, register in 10-0).
#include "link/Packet.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>

using namespace tessok::link;

namespace {

using Packet = std::array<std::uint8_t, kPacketSize>;

struct BuilderCase {
  const char* name;
  std::function<void(std::uint8_t*)> build;
  // The bytes from offset 0, in hex; "--" marks a byte the command keeps.
  const char* bytes;
};

const std::uint8_t kFirstTen[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
const std::uint8_t kLastFour[4] = {11, 12, 13, 14};

const BuilderCase kBuilders[] = {
    {"RegisterReadBank0Reg20", [](std::uint8_t* p) { BuildRegisterRead(p, 0, 20); }, "F0 00 00 00 14 00"},
    {"RegisterReadBank15Reg7FF", [](std::uint8_t* p) { BuildRegisterRead(p, 15, 0x7FF); }, "F0 00 00 00 FF 7F"},
    {"RegisterReadBank16IsBank0", [](std::uint8_t* p) { BuildRegisterRead(p, 16, 5); }, "F0 00 00 00 05 00"},
    {"RegisterWriteBank3Reg20C", [](std::uint8_t* p) { BuildRegisterWrite(p, 3, 0x20C, 0x1234); },
     "F0 00 00 00 0C 9A 34 12"},
    {"RegisterWriteBank17IsBank1", [](std::uint8_t* p) { BuildRegisterWrite(p, 17, 5, 0xBEEF); },
     "F0 00 00 00 05 88 EF BE"},
    {"ResultBlockBank5", [](std::uint8_t* p) { BuildResultBlockRequest(p, 5); }, "F1 02 05 7F 7F"},
    {"NumberedBlockHeaderBank6", [](std::uint8_t* p) { BuildNumberedBlockRequest(p, 6); }, "F1 02 06 -- 00"},
    {"BlockNumberLowByteOnly", [](std::uint8_t* p) { PutBlockNumber(p, 0x0102); }, "-- -- -- 02"},
    {"NumberedBlock65535",
     [](std::uint8_t* p) {
       BuildNumberedBlockRequest(p, 7);
       PutBlockNumber(p, 65535);
     },
     "F1 02 07 FF 00"},
    {"RepeatedBlockBank9", [](std::uint8_t* p) { BuildRepeatedBlockRequest(p, 9); }, "F1 02 09"},
    {"RawBlock", [](std::uint8_t* p) { BuildRawBlockRequest(p); }, "F1 02"},
    {"BathtubChannel3", [](std::uint8_t* p) { BuildBathtubRequest(p, 3, 0x11, 0x22); }, "F1 03 03 11 22"},
    {"VerticalBathtubChannel4", [](std::uint8_t* p) { BuildVerticalBathtubRequest(p, 4, 0x33); }, "F1 04 04 33 7F"},
    {"PageRead9000", [](std::uint8_t* p) { BuildEepromPageRead(p, 0, 0x9000); }, "F1 00 01 80 00 00 90 00 00"},
    {"PageReadDevice2Address12345678", [](std::uint8_t* p) { BuildEepromPageRead(p, 2, 0x12345678); },
     "F1 00 01 80 02 78 56 34 12"},
    {"PageWriteHeader12345", [](std::uint8_t* p) { BuildEepromPageWriteHeader(p, 0, 0x00012345); },
     "F1 00 00 80 00 45 23 01 00"},
    {"ModuleBusRead", [](std::uint8_t* p) { BuildModuleBusReadHeader(p, 0x51, 2, 0x61); }, "F1 06 01 02 51 61"},
    {"ModuleBusWrite", [](std::uint8_t* p) { BuildModuleBusWriteHeader(p, 0x50, 3, 0x60); }, "F1 06 00 03 50 60"},
    {"ParameterBlock", [](std::uint8_t* p) { BuildParameterBlock(p, kFirstTen, 258, kLastFour); },
     "F1 07 00 00 01 02 03 04 05 06 07 08 09 0A 02 01 0B 0C 0D 0E"},
};

class Builders : public ::testing::TestWithParam<BuilderCase> {};
void PrintTo(const BuilderCase& c, std::ostream* os) { *os << c.name; }

// The packet a builder must leave when it starts from `before`.
Packet Expected(const char* bytes, const Packet& before) {
  Packet out = before;
  std::istringstream in(bytes);
  std::string token;
  for (std::size_t i = 0; in >> token; ++i) {
    if (token != "--") out[i] = static_cast<std::uint8_t>(std::stoul(token, nullptr, 16));
  }
  return out;
}

}  // namespace

TEST_P(Builders, WriteOnlyTheirOwnBytes) {
  const BuilderCase& c = GetParam();
  // Two different fillings, so that a kept byte cannot pass by matching its filling.
  for (std::uint8_t fill : {std::uint8_t{0xEE}, std::uint8_t{0x11}}) {
    Packet before;
    for (std::size_t i = 0; i < before.size(); ++i) before[i] = static_cast<std::uint8_t>(fill + i);
    Packet p = before;
    c.build(p.data());
    const Packet expected = Expected(c.bytes, before);
    for (std::size_t i = 0; i < p.size(); ++i) EXPECT_EQ(p[i], expected[i]) << "byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, Builders, ::testing::ValuesIn(kBuilders),
                         [](const auto& p) { return std::string(p.param.name); });
