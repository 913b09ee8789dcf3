// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "test_support.h"

namespace zan::test {

TEST(Smoke, OneNote) {
  Score r;
  r.compile("c");
  EXPECT_EQ(hex(r.file), "4D 54 68 64 00 00 00 06 00 01 00 01 00 60 4D 54 72 6B 00 00 00 0C 00 90 30 64 53 80 30 64 00 FF 2F 00");
  ASSERT_EQ(r.messages.size(), 2u);
  EXPECT_EQ(r.messages[0], "Compile Start");
  EXPECT_EQ(r.messages[1], "ok");
}

}  // namespace zan::test
