#include <gtest/gtest.h>

#include "tessok/tessok.h"

TEST(Smoke, Revision) { EXPECT_EQ(APIGetAPIRev(), 7324.0); }
