#include <gtest/gtest.h>

#include "support.h"

TEST(Smoke, NopAssembles) {
    AsmResult r = assemble(" nop\n");
    EXPECT_EQ(r.report.code, 0);
    EXPECT_EQ(hex_bytes(r.code), "90");
}
