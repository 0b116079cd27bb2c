// Multiply, bit and system instructions across lines: immediates named by symbols defined
// further down, and a lock prefix taken by one statement and not left for the next.
#include <gtest/gtest.h>

#include "support.h"

namespace {

const SourceCase MULBIT_CASES[] = {
    {"forward word immediate too large", " seg32\n muls.w #big,r3,r1\nbig = $12345\n", "", 197, 2},
    {"forward long immediate", " seg32\n muls.l #big,r3,r1\nbig = $12345\n", "69 d3 45 23 01 00", 0, 0},
    {"forward quick immediate", " seg32\n mulsq.l #k,r3,r1\nk = 200\n", "6b d3 c8", 0, 0},
    {"forward quick immediate too large", " seg32\n mulsq.w #k,r3,r1\nk = 300\n", "", 199, 2},
    {"forward prefetch hint", " seg32\n prefetch.b #h,(r3)\nh = 2\n", "0f 18 13", 0, 0},
    {"forward prefetch hint out of range", " seg32\n prefetch.b #h,(r3)\nh = 4\n", "", 2180, 2},
    {"forward bit number too large", " seg16\n nop\n bchg.w #b,(r3.w)\nb = 256\n", "", 53, 3},
    {"lock taken by each statement", " seg32\n lock bset.l #5,(r3)\n lock bclr.l r1,(r3)\n",
     "f0 0f ba 2b 05 f0 0f b3 13", 0, 0},
    {"lock left pending on a register", " seg32\n lock bset.l #5,(r3)\n lock bchg.l r1,r3\n", "", 6, 3},
    {"condition after a label", " seg32\nhere: sne.b r0\n sgt.b here\n",
     "0f 95 c0 0f 9f 05 00 00 00 00", 0, 0},
};

TEST(MulBit, MultiLineSources) { check_source_cases(MULBIT_CASES); }

}  // namespace
