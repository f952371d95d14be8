#include "core/String.h"

#include <gtest/gtest.h>

#include "core/GeneralException.h"

using VORLIN::GeneralException;
using VORLIN::String;

TEST(StringTest, EmptyAllocatesNothing) {
    String s;
    EXPECT_TRUE(s.isInline());
    EXPECT_EQ(s.length(), 0u);
    EXPECT_STREQ(s.c_str(), "");
}
