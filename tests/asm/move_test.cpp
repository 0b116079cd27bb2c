// Data movement across lines: addresses named by labels further down, the repeat prefix taken
// by one statement only, operand words against symbols of the same name, and error lines.
#include <gtest/gtest.h>

#include "support.h"

namespace {

const SourceCase MOVE_CASES[] = {
    // The accumulator short form is chosen for a forward label in both passes alike.
    {"forward long address to accumulator", " seg32\n move.l r0,data.l\ndata: dc.l 7\n",
     "a3 05 00 00 00 07 00 00 00", 0, 0},
    {"forward byte address from accumulator, seg16", " seg16\n move.b data,r0\ndata: dc.b 7\n",
     "a0 03 00 07", 0, 0},
    {"forward ModRM address", " seg32\n move.l r1,data.l\ndata: dc.b 7\n",
     "89 15 06 00 00 00 07", 0, 0},
    {"forward immediate to register", " seg32\n move.w #value,r3\nvalue = $1234\n", "66 bb 34 12", 0, 0},
    {"forward push of an immediate", " seg16\n move.w #value,-(sp)\nvalue = -2\n", "68 fe ff", 0, 0},
    {"forward moveq byte", " seg32\n moveq.l #value,-(sp)\nvalue = -128\n", "6a 80", 0, 0},
    {"label ending in l as displacement", " seg32\n move.l total(r3),r1\ntotal = 8\n",
     "8b 93 08 00 00 00", 0, 0},
    // rep_r2 belongs to its own statement: the next string move carries no F3.
    {"repeat prefix taken once",
     " seg32\n rep_r2 move.l (r5)+-,(r6)+-{s1}\n move.l (r5)+-,(r6)+-{s1}\n", "f3 a5 a5", 0, 0},
    // The operand words are texts: a symbol called cpuid changes nothing for move.l.
    {"cpuid word beside a symbol cpuid", " seg32\ncpuid = 4\n move.l cpuid,r3|r2|r1|r0\n move.w cpuid,r0\n",
     "0f a2 66 a1 04 00 00 00", 0, 0},
    {"undefined address in pass 2", " seg32\n nop\n move.l r0,nowhere.l\n", "", 286, 3},
    {"forward immediate too large for a byte", " seg32\n move.b #big,r0\nbig = 256\n", "", 175, 2},
    {"forward immediate too large for a word", " seg32\n move.w #big,(r3)\nbig = $10000\n", "", 181, 2},
    {"forward moveq too large", " seg32\n moveq.w #big,-(sp)\nbig = 256\n", "", 190, 2},
    {"lock is never taken by move", " seg32\n nop\n lock move.l r1,(r3)\n", "", 6, 3},
    {"too many operands", " seg32\n move.l r1,r0,r2\n", "", 346, 2},
};

TEST(Move, MultiLineSources) { check_source_cases(MOVE_CASES); }

}  // namespace
