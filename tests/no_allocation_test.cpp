// Command paths allocate nothing: the packet and reply buffers are members.
// Allocations are counted per thread, so the simulated instrument's own
// thread does not count.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "TestSupport.h"

namespace {
thread_local long g_allocations = 0;
}

void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

using tessok::test::Rig;

TEST(NoAllocation, RegisterAccessAndBlockReads) {
  Rig rig;
  rig.Connect();
  static std::uint8_t out[4 * 1024];
  std::uint16_t v = 0x55;
  long before = g_allocations;
  for (int i = 0; i < 50; ++i) {
    APIAccessBoardRegister(0, 1, 1, 0x100, &v);
    APIAccessBoardRegister(0, 0, 1, 0x100, &v);
  }
  HwLayer& hw = rig.api().hwLayer;
  hw.ReadBlocks(1, 4, out);
  hw.ReadResultBlock(1, out);
  hw.ReadEEPROMPage(0, 0x100, out);
  hw.ReadModuleBlock(1, 8, 2, out);
  hw.SendExtendedCommand(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  rig.api().SetGateTime(1000);
  EXPECT_EQ(g_allocations - before, 0);
  EXPECT_EQ(v, 0x55);
}
