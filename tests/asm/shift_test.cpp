// Shifts and rotates across lines: counts named by symbols defined further down, and the
// line an error is reported in.
#include <gtest/gtest.h>

#include "support.h"

namespace {

const SourceCase SHIFT_CASES[] = {
    // A symbol of value 1 is no "#1" text: the count byte stays, in both passes alike.
    {"forward count of one", " seg32\n rol.l #one,r0\none = 1\n nop\n", "c1 c0 01 90", 0, 0},
    {"backward count of one", " seg32\none = 1\n rol.b #one,r0\n", "c0 c0 01", 0, 0},
    {"two shifts in a row", " seg32\n lsl.l #1,r0\n lsl.l r2,r0\n", "d1 e0 d3 e0", 0, 0},
    {"forward count too large", " seg32\n asr.l #big,r1\nbig = 256\n", "", 49, 2},
    {"forward byte count too large", " seg16\n nop\n rocl.b #big,(r3.w)\nbig = -129\n", "", 219, 3},
    {"forward double-shift count", " seg32\n dsl.l #n,r0<r1\nn = 8\n", "0f a4 d0 08", 0, 0},
    {"forward double-shift count too large", " seg32\n dsr.w #n,r1>r0\nn = 300\n", "", 102, 2},
};

TEST(Shift, MultiLineSources) { check_source_cases(SHIFT_CASES); }

}  // namespace
