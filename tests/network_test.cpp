// The instrument's own IPv4 settings: which texts are written, in which
// register order, and the dotted texts read back.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "TestSupport.h"

using namespace tessok;
using tessok::test::Rd;
using tessok::test::Rig;
using tessok::test::Wr;

TEST(Network, SettersWriteTheirRegistersInOrder) {
  Rig rig;
  rig.Connect();
  EXPECT_EQ(APIChangeIPConfiguration(0, "192.168.1.10"), 1);
  EXPECT_EQ(APISetEthIPMask(0, "255.255.255.0"), 1);
  EXPECT_EQ(APISetEthIPGateway(0, " 10.0.0.1 "), 1);
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(0, 4, 0xA8C0), Wr(0, 3, 0x0A01), Wr(0, 5, 0x00FF),
                                                       Wr(0, 6, 0xFFFF), Wr(0, 7, 0x0100), Wr(0, 8, 0x000A)}));
}

TEST(Network, MalformedTextsAreRefusedAndNothingIsSent) {
  Rig rig;
  rig.Connect();
  const char* texts[] = {"10.0.0",  "1.2.3",    "1.2.3.4.5", "1..2.3", "1.2.300.4", "a.b.c.d", "",
                         "1.2.3.4.", ".1.2.3.4", "1.2.3.-4", "1.2.3.4x", "1. 2.3.4", "0001.2.3.4"};
  for (const char* t : texts) {
    EXPECT_EQ(APIChangeIPConfiguration(0, t), 0) << t;
    EXPECT_EQ(APISetEthIPMask(0, t), 0) << t;
    EXPECT_EQ(APISetEthIPGateway(0, t), 0) << t;
  }
  EXPECT_EQ(rig.sim.Log().size(), 0u);
}

TEST(Network, SetterReportsTheSecondWrite) {
  Rig rig;
  rig.Connect();
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart() + 1);
  EXPECT_EQ(APIChangeIPConfiguration(0, "1.2.3.4"), 0);
  EXPECT_EQ(rig.sim.Reg(0, 4), 0x0201);
}

TEST(Network, ReadersDeliverDottedText) {
  Rig rig;
  rig.sim.SetReg(0, 8, 0xA8C0);
  rig.sim.SetReg(0, 7, 0x0A01);
  rig.sim.SetReg(0, 6, 0xFFFF);
  rig.sim.SetReg(0, 5, 0xFFFF);
  rig.sim.SetReg(0, 4, 0x0000);
  rig.sim.SetReg(0, 3, 0x0100);
  rig.Connect();
  char text[16];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(APIreadGateway(0, text), 1);
  EXPECT_STREQ(text, "192.168.1.10");
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(APIreadIPMask(0, text), 1);
  EXPECT_EQ(std::memcmp(text, "255.255.255.255", 16), 0);  // 15 characters and the NUL
  EXPECT_EQ(APIreadIPConfiguration(0, text), 1);
  EXPECT_STREQ(text, "0.0.0.1");
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Rd(0, 8), Rd(0, 7), Rd(0, 6), Rd(0, 5), Rd(0, 4), Rd(0, 3)}));
}

TEST(Network, SplitToIntegers) {
  Tessok_API& api = g_apiInstances[0];
  EXPECT_EQ(api.SplitToIntegers("12,x,-3", ','), (std::vector<int>{12, 0, -3}));
  EXPECT_EQ(api.SplitToIntegers("", '.'), std::vector<int>{});
  EXPECT_EQ(api.SplitToIntegers("7", '.'), std::vector<int>{7});
  EXPECT_EQ(api.SplitToIntegers("1..2.3", '.'), (std::vector<int>{1, 0, 2, 3}));
  EXPECT_EQ(api.SplitToIntegers(" 4x.", '.'), (std::vector<int>{4, 0}));
}
