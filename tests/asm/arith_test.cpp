// Arithmetic and logic instructions beyond single statements: which message an error carries,
// and immediates that name labels defined further down (value 0 in pass 1, checked in pass 2).
#include <gtest/gtest.h>

#include "asm/driver/diagnostics.h"
#include "support.h"

namespace {

struct ErrorRow {
    const char* source;
    int32_t code;
    int32_t message;
    int32_t line;
};

TEST(Arith, ErrorsCarryTheirCodeMessageAndLine) {
    const ErrorRow rows[] = {
        {" seg32\n add.b #300,r1\n", 13, MSG_BYTE_TOO_LARGE, 2},
        {" seg32\n add.b #300,r0\n", 12, MSG_BYTE_TOO_LARGE, 2},
        {" seg32\n add.w #70000,r1\n", 16, MSG_WORD_TOO_LARGE, 2},
        {" seg32\n cmp.w #70000,r0\n", 80, MSG_WORD_TOO_LARGE, 2},
        {" seg32\n add.l r1\n", 17, MSG_BAD_OPERAND_FOR_INSN, 2},
        {" seg32\n orq.w #256,r1\n", 213, MSG_BYTE_TOO_LARGE, 2},
        {" seg32\n orq.w r1,r0\n", 214, MSG_BAD_OPERAND_FOR_INSN, 2},
        {" seg32\n tst.w #$10000,(r3)\n", 262, MSG_WORD_TOO_LARGE, 2},
        {" seg32\n cmp.b (r6.w)+-{s1},(r5.l)+-\n", 79, MSG_BAD_OPERAND_FOR_INSN, 2},
        {" seg32\n inc.l #1\n", 121, MSG_BAD_OPERAND_FOR_INSN, 2},
        {" seg32\n inc.b r5\n", 298, MSG_BAD_BYTE_REGISTER, 2},
        {" adj_asc_div #256,r0\n", 29, MSG_BYTE_TOO_LARGE, 1},
        {" adj_asc_div #16,r1\n", 29, MSG_BAD_OPERAND_FOR_INSN, 1},
        {" adj_dec_add r1\n", 32, MSG_BAD_OPERAND_FOR_INSN, 1},
        {" lock add.l r1,r0\n", 6, MSG_BAD_PREFIX, 1},
        {" rep_r2 cmp.b (r6.l)+-{s1},(r5.l)+-\n", 6, MSG_BAD_PREFIX, 1},
    };
    for (const ErrorRow& row : rows) {
        SCOPED_TRACE(row.source);
        AsmResult r = assemble(row.source);
        EXPECT_EQ(r.report.code, row.code) << r.console;
        EXPECT_EQ(r.report.message, row.message);
        EXPECT_EQ(r.report.line, row.line);
    }
}

struct ForwardRow {
    const char* source;
    int32_t code;   // 0: assembles
    int32_t line;
    const char* bytes;
};

// The form never depends on an immediate's value, so a forward label gives the same length in
// both passes; its range is tested only once the value is known.
TEST(Arith, ForwardImmediatesAreCheckedInPassTwo) {
    const ForwardRow rows[] = {
        {" seg32\n add.b #fwd,r1\nfwd: nop\n", 0, 0, "80 c2 03 90"},
        {" seg32\n add.b #fwd,r1\n blk.b 300\nfwd: nop\n", 13, 2, ""},
        {" seg32\n addq.l #fwd,r0\n blk.b 300\nfwd: nop\n", 26, 2, ""},
        {" seg32\n add.w #fwd,r1\n blk.b $10000\nfwd: nop\n", 16, 2, ""},
        {" adj_asc_mul #fwd,r0\n blk.b 254\nfwd: nop\n", 30, 1, ""},
        {" adj_asc_mul #fwd,r0\nfwd: nop\n", 0, 0, "d4 02 90"},
        {" seg16\n cmpq.l #fwd,(r3)\nfwd: nop\n", 0, 0, "67 66 83 3b 05 90"},
    };
    for (const ForwardRow& row : rows) {
        SCOPED_TRACE(row.source);
        AsmResult r = assemble(row.source);
        ASSERT_EQ(r.report.code, row.code) << r.console;
        if (row.code != 0) {
            EXPECT_EQ(r.report.line, row.line);
        } else {
            EXPECT_EQ(hex_bytes(r.code), row.bytes);
        }
    }
}

// add.w #fwd,r0 with fwd = 4 + $1230 (the reservation writes nothing): the accumulator form
// keeps its word immediate although the value is 0 in pass 1.
TEST(Arith, ForwardWordImmediateKeepsItsLength) {
    AsmResult r = assemble(" seg32\n add.w #fwd,r0\n blk.b $1230\nfwd: nop\n");
    ASSERT_EQ(r.report.code, 0) << r.console;
    ASSERT_GE(r.code.size(), 4u);
    EXPECT_EQ(hex_bytes({r.code.begin(), r.code.begin() + 4}), "66 05 34 12");
}

}  // namespace
