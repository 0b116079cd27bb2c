// Extension and port instructions across lines: frame sizes and port numbers named by symbols
// defined further down, the message of each check, and prefixes taken by one statement only.
#include <gtest/gtest.h>

#include "asm/driver/diagnostics.h"
#include "support.h"

namespace {

const SourceCase EXTEND_CASES[] = {
    {"forward frame size", " seg32\n link.l r4,#size,#1\nsize = $1234\n", "c8 34 12 01", 0, 0, 0},
    {"forward long frame size, long form", " seg32\n link.l r4,#size,#0\nsize = 70000\n", "", 139,
     2, MSG_WORD_TOO_LARGE},
    {"forward long frame size, word form", " seg16\n nop\n link.w r4,#size,#0\nsize = -40000\n", "",
     139, 3, MSG_WORD_TOO_LARGE},
    {"forward nesting level out of range", " seg32\n link.w r4,#8,#lvl\nlvl = 32\n", "", 140,
     2, MSG_BYTE_TOO_LARGE},
    {"undefined frame size", " seg32\n link.l r4,#nowhere,#0\n", "", 286, 2, MSG_LABEL_NOT_FOUND},
    {"bad link operands", " seg32\n link.l r3,#8,#0\n", "", 138, 2, MSG_BAD_OPERAND_FOR_INSN},
    {"forward port", " seg32\n in.b #port,r0\n out.w r0,#port\nport = $60\n", "e4 60 66 e7 60", 0, 0, 0},
    {"forward port too large for in", " seg32\n in.l #port,r0\nport = 256\n", "", 118,
     2, MSG_BYTE_TOO_LARGE},
    {"forward port too large for out", " seg16\n out.b r0,#port\nport = $1000\n", "", 215,
     2, MSG_BYTE_TOO_LARGE},
    {"bad port operands", " seg32\n out.b r1,r0\n", "", 216, 2, MSG_BAD_OPERAND_FOR_INSN},
    {"string source in segment 4", " seg32\n out.b (r5)+-{s4},r1\n", "", 268, 2, MSG_BAD_SEGMENT},
    {"lock taken by each statement", " seg32\n lock xadd.l r1,(r3)\n lock cas.b r0,r1,(r3)\n nop\n",
     "f0 0f c1 13 f0 0f b0 13 90", 0, 0, 0},
    {"lock left pending by a register destination", " seg32\n lock exg.b r1,(r3)\n lock exg.b r1,r3\n",
     "", 6, 3, MSG_BAD_PREFIX},
    {"rep taken by a string form only", " seg32\n rep_r2 out.b (r5)+-{s1},r1\n rep_r2 in.w r1,r0\n", "",
     6, 3, MSG_BAD_PREFIX},
    {"rep taken by each string form",
     " seg16\n rep_r2 in.w r1,(r6.w)+-{s1}\n rep_r2 out.l (r5.w)+-{s2},r1\n nop\n",
     "f3 6d f3 66 64 6f 90", 0, 0, 0},
    {"ext operand text after a label", " seg32\nhere: ext.l r0,r1|r0\n ext.w r0\n", "99 66 98", 0, 0, 0},
    {"ext with a bad second operand", " seg32\n ext.w r0,r2|r0\n", "", 115, 2, MSG_BAD_OPERAND_FOR_INSN},
};

TEST(Extend, MultiLineSources) { check_source_cases(EXTEND_CASES); }

}  // namespace
