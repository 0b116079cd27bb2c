// Branches across several lines: forward and backward targets, range limits that only pass 2
// can check, targets that stay undefined, and trap whose vector is known only later.
#include <gtest/gtest.h>

#include <string>

#include "support.h"

namespace {

struct BranchCase {
    const char* name;
    const char* source;
    int32_t code;          // report code at the end of the run
    int32_t line;          // line of the report when code is not 0
    bool reached_pass2;    // the run got as far as pass 2
    const char* prefix;    // expected leading code bytes ("" = not checked)
};

const BranchCase CASES[] = {
    {"forward short at +127", " beq.b fwd\n blk.b 127,$90\nfwd: nop\n", 0, 0, true, "74 7f 90"},
    {"forward short at +128 fails in pass 2", " beq.b fwd\n blk.b 128,$90\nfwd: nop\n", 51, 1, true, ""},
    {"backward short at -128", "back: blk.b 126,$90\n br.b back\n", 0, 0, true, ""},
    {"backward short at -129", "back: blk.b 127,$90\n br.b back\n", 51, 2, true, ""},
    {"count register forward", " seg32\n dbf.w r2,next\nnext: nop\n", 0, 0, true, "67 e2 00 90"},
    {"count register too far", " dbne.w r2,fwd\n blk.b 200,$90\nfwd: nop\n", 51, 1, true, ""},
    {"near word forward too far", " beq.w fwd\n blk.b $8000,$90\nfwd: nop\n", 52, 1, true, ""},
    {"near word forward at +32767", " br.w fwd\n blk.b $7fff,$90\nfwd: nop\n", 0, 0, true, "e9 ff 7f"},
    {"bsr word backward too far", "back: blk.b $7ffe,$90\n bsr.w back\n", 68, 2, true, ""},
    {"br word backward too far seg32", " seg32\nback: blk.b $7ffd,$90\n br.w back\n", 62, 3, true, ""},
    {"long branch never range-checked", " seg32\n br.l far\n bsr.l far\nfar = $7fffffff\n", 0, 0, true,
     "e9 fa ff ff 7f e8 f5 ff ff 7f"},
    {"long branch in seg16", " bne.l far\nfar = -$10000000\n", 0, 0, true, "66 0f 85 f9 ff ff ef"},
    {"undefined short target", " beq.b nowhere\n", 286, 1, true, ""},
    {"undefined near target", " seg32\n bsr.l nowhere\n", 286, 2, true, ""},
    {"undefined count-register target", " dbf.l r2,nowhere\n", 286, 1, true, ""},
    {"target defined later by an equate", " br.b t\n nop\nt = @\n", 0, 0, true, "eb 01 90"},
    {"trap with a known vector 3", "v = 3\n trap #v\nafter: nop\n", 0, 0, true, "cc 90"},
    {"trap with a later vector 3, no label after", " trap #v\nv = 3\n", 0, 0, true, "cc"},
    {"trap with a later vector 4", " trap #v\nafter: nop\nv = 4\n", 0, 0, true, "cd 04 90"},
    // Pass 1 counted two bytes, pass 2 emits one: the label behind it would move.
    {"trap with a later vector 3 moves a label", " trap #v\nafter: nop\nv = 3\n", 350, 2, true, ""},
    {"trap with a later vector above a byte", " trap #v\nv = 256\n", 256, 1, true, ""},
};

TEST(Branch, MultiLineCases) {
    for (const BranchCase& c : CASES) {
        SCOPED_TRACE(c.name);
        AsmResult r = assemble(c.source);
        EXPECT_EQ(r.report.code, c.code) << r.console;
        if (c.code != 0) {
            EXPECT_EQ(r.report.line, c.line);
        }
        EXPECT_EQ(r.console.find(" Pass 2") != std::string::npos, c.reached_pass2);
        std::string prefix = c.prefix;
        if (!prefix.empty()) {
            EXPECT_EQ(hex_bytes(r.code).substr(0, prefix.size()), prefix);
        }
    }
}

// The short form is range-checked against the byte after the whole instruction, prefixes
// included: the same distance that fits without a prefix word fails with one.
TEST(Branch, PrefixWordCountsInTheDisplacement) {
    AsmResult plain = assemble(" seg32\n br.b fwd\n blk.b 127,$90\nfwd: nop\n");
    EXPECT_EQ(plain.report.code, 0);
    AsmResult prefixed = assemble(" seg32\n word br.b fwd\n blk.b 127,$90\nfwd: nop\n");
    EXPECT_EQ(prefixed.report.code, 0);
    EXPECT_EQ(hex_bytes(prefixed.code).substr(0, 8), "66 eb 7f");
    AsmResult too_far = assemble(" seg32\n word br.b fwd\n blk.b 128,$90\nfwd: nop\n");
    EXPECT_EQ(too_far.report.code, 51);
}

}  // namespace
