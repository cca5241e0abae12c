// The exported boundary: exactly the 81 names leave the shared library, bad
// indexes and null pointers fail without touching anything, objects are independent.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "TestSupport.h"
#include "api/Boundary.h"

extern "C" double tessok_c_header_revision(void);
extern "C" int tessok_c_header_unconnected_read(void);

using namespace tessok;
using tessok::test::Rig;

TEST(Exports, SharedLibraryExportsExactlyTheListedNames) {
  std::set<std::string> listed;
  std::ifstream list(TESSOK_EXPORTS_LIST);
  for (std::string line; std::getline(list, line);) {
    if (!line.empty()) listed.insert(line);
  }
  ASSERT_EQ(listed.size(), 81u);

  std::string command = std::string("nm -D --defined-only '") + TESSOK_SHARED_LIBRARY + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> exported;
  char buf[512];
  while (std::fgets(buf, sizeof buf, pipe) != nullptr) {
    char type = 0;
    char name[400] = {};
    unsigned long long address = 0;
    if (std::sscanf(buf, "%llx %c %399s", &address, &type, name) == 3) exported.insert(name);
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(exported, listed);
}

TEST(Exports, HeaderWorksFromC) {
  EXPECT_EQ(tessok_c_header_revision(), 7324.0);
  EXPECT_EQ(tessok_c_header_unconnected_read(), 10);  // configured, read failed
  EXPECT_EQ(g_apiInstances[7].clockFileDir, "./clk/");
}

TEST(Exports, RevisionNeedsNoConnection) {
  EXPECT_EQ(APIGetAPIRev(), 7324.0);
  g_apiInstances[0].boardModel = 1234;
  EXPECT_EQ(APIGetAPIRev(), 7324.0);
}

TEST(Exports, IndexOutOfRangeFailsAndTouchesNothing) {
  std::uint16_t v = 77;
  char text[16] = "unchanged";
  std::uint64_t serial = 5;
  std::uint32_t isLong = 6;
  for (int index : {32, 100, 255}) {
    auto i = static_cast<std::uint8_t>(index);
    EXPECT_EQ(APIConnect(i, "127.0.0.1"), 0);
    EXPECT_EQ(APIAccessBoardRegister(i, 1, 0, 20, &v), 0);
    EXPECT_EQ(APIReadFirmwareRevision(i), 0.0);
    EXPECT_FALSE(APIConfigureApplication(i, "a", "b", "c", 1, 1));
    EXPECT_EQ(APIreadGateway(i, text), 0);
    EXPECT_EQ(APIReadSerialNumber(i, &serial, &isLong), 0);
  }
  EXPECT_EQ(v, 77);
  EXPECT_STREQ(text, "unchanged");
  EXPECT_EQ(serial, 5u);
  EXPECT_EQ(isLong, 6u);
}

TEST(Exports, NullPointersFail) {
  Rig rig;
  rig.Connect();
  std::uint32_t isLong = 0;
  std::uint64_t serial = 0;
  EXPECT_EQ(APIConnect(1, nullptr), 0);
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 20, nullptr), 0);
  EXPECT_EQ(APIReadSerialNumber(0, nullptr, &isLong), 0);
  EXPECT_EQ(APIReadSerialNumber(0, &serial, nullptr), 0);
  EXPECT_FALSE(APIConfigureApplication(0, "d", nullptr, "e", 0, 0));
  EXPECT_EQ(APIChangeIPConfiguration(0, nullptr), 0);
  EXPECT_EQ(APIreadIPMask(0, nullptr), 0);
  EXPECT_EQ(rig.sim.Log().size(), 0u);
  EXPECT_EQ(rig.api().clockFileDir, "./clk/");
}

TEST(Exports, IndexesZeroAndThirtyOneAreIndependent) {
  Rig first(7652, 0, 0);
  Rig last(7828, 31, 1);
  first.Connect();
  last.Connect();
  EXPECT_EQ(g_apiInstances[0].boardModel, 7652u);
  EXPECT_EQ(g_apiInstances[31].boardModel, 7828u);
  EXPECT_EQ(g_apiInstances[31].channelCount, 16);
  EXPECT_EQ(g_apiInstances[0].channelCount, 4);
  std::uint16_t v = 0x4321;
  ASSERT_EQ(APIAccessBoardRegister(31, 1, 2, 0x100, &v), 1);
  EXPECT_EQ(last.sim.Reg(2, 0x100), 0x4321);
  EXPECT_EQ(first.sim.Log().size(), 0u);
  EXPECT_EQ(APIDisconnect(31), 1);
  EXPECT_EQ(APIReadBoardID(0), 7652);
  EXPECT_EQ(APIReadBoardID(31), 0);
}

TEST(Exports, ExceptionsDoNotCrossTheBoundary) {
  // The boundary turns anything thrown inside into the failure value.
  int r = tessok::api::Call(std::uint8_t{3}, -1, [](Tessok_API&) -> int { throw std::length_error("boom"); });
  EXPECT_EQ(r, -1);
}

TEST(InstrumentObject, FreshObjectState) {
  for (int i : {0, 17, 31}) {
    const Tessok_API& api = g_apiInstances[i];
    EXPECT_EQ(api.clockFileDir, "./clk/");
    EXPECT_TRUE(api.curveCsvDir.empty());
    EXPECT_TRUE(api.eyeCsvDir.empty());
    EXPECT_EQ(api.saveCurveCsv, 0);
    EXPECT_EQ(api.saveEyeCsv, 0);
    EXPECT_EQ(api.gateTimeSet, 0);
    EXPECT_EQ(api.channelCount, 0);
    EXPECT_EQ(api.boardModel, 0u);
    EXPECT_EQ(api.hwLayer.sock, platform::kNoSocket);
  }
  const double poly[9] = {6.495886904, 4.609947052, -3.130113801, 0.777132962, -0.095490271,
                          0.006382248, -0.000235087, 4.47347e-06, -3.42852e-08};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(g_apiInstances[3].rateScalePoly[i], poly[i]) << i;
  // Rate-range rows: the fourth stays zero; the others run contiguously 1.12 to 29.88 Gb/s.
  const RateRangeTable& t = g_apiInstances[3].rateRanges;
  EXPECT_EQ(t.rows[3].low, 0.0);
  EXPECT_EQ(t.rows[3].high, 0.0);
  EXPECT_EQ(t.rows[0].low, 1.12);
  EXPECT_EQ(t.rows[11].high, 29.88);
  EXPECT_EQ(t.rows[10].code, 165u);
  EXPECT_EQ(t.rows[7].optionBits, 23u);
}

TEST(InstrumentObject, HeapObjectStartsZeroAndConstructed) {
  Tessok_API* api = CreateApiInstance();
  ASSERT_NE(api, nullptr);
  EXPECT_EQ(api->clockFileDir, "./clk/");
  EXPECT_EQ(api->channelCount, 0);
  EXPECT_EQ(api->hwLayer.txBuf[100], 0);
  EXPECT_EQ(api->eyeMap[15][32767], 0.0);
  EXPECT_EQ(api->GetAPIRev(), 7324.0);
  DestroyApiInstance(api);
  DestroyApiInstance(nullptr);
}

#ifndef TESSOK_SANITIZED
TEST(InstrumentObject, LoadingTheLibraryStaysSmall) {
  // A process that loaded the shared library (32 objects constructed) and did
  // nothing else: the large tables must not have been touched.
  FILE* pipe = popen(TESSOK_RSS_PROBE, "r");
  ASSERT_NE(pipe, nullptr);
  long rssKiB = -1;
  ASSERT_EQ(std::fscanf(pipe, "%ld", &rssKiB), 1);
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_GT(rssKiB, 0);
  EXPECT_LT(rssKiB, 16 * 1024);
}
#endif
