// Operand parsing into descriptors, the template matcher, and the prefix, ModRM, SIB and
// displacement bytes emitted for each register-or-memory form, as tables of rows.
#include <gtest/gtest.h>

#include <cstring>

#include "asm/driver/diagnostics.h"
#include "asm/front/symbols.h"
#include "asm/operand/operand.h"
#include "support.h"

namespace {

constexpr int NA = -999;  // field not compared

// Symbols known to every row: a label ending in 'l', and the names that look like registers.
void define_test_symbols(Asm& a) {
    const bool pass2 = a.pass2;
    a.pass2 = false;
    define_symbol(a, "total", 0x10, SYM_GLOBAL);
    define_symbol(a, "sp", 0x20, SYM_GLOBAL);
    define_symbol(a, "r8", 0x30, SYM_GLOBAL);
    a.pass2 = pass2;
}

std::unique_ptr<UnitAsm> unit(int mode, bool pass2 = true) {
    auto u = make_unit_asm(mode == 32, pass2);
    define_test_symbols(*u->a);
    return u;
}

// Runs f and returns the stop code, or -1 when it returned normally.
template <typename F>
int stop_code(F f) {
    try {
        f();
    } catch (const AsmStop& stop) {
        return stop.code;
    }
    return -1;
}

struct ParseRow {
    int mode;
    const char* text;
    uint32_t kind;
    int reg;
    int index;
    int value;
    int seg;
};

const ParseRow PARSE_ROWS[] = {
    {32, "", OPK_NONE, NA, NA, NA, NA},
    {32, "r3", OPK_REG, 3, NA, NA, NA},
    {32, "r0", OPK_REG, 0, NA, NA, NA},
    {32, "m0", OPK_HREG, 7, NA, NA, NA},
    {32, "m1", OPK_HREG, 5, NA, NA, NA},
    {32, "m2", OPK_HREG, 4, NA, NA, NA},
    {32, "m3", OPK_HREG, 6, NA, NA, NA},
    // 32-bit one-register forms and their normalisations
    {32, "(r3)", OPK_M32_B, 3, NA, NA, 0},
    {32, "(r3.l)", OPK_M32_B, 3, NA, NA, 0},
    {32, "(r7)", OPK_M32_B, 7, NA, NA, 0},
    {32, "(r3){s4}", OPK_M32_B, 3, NA, NA, 4},
    {32, "(r4)", OPK_M32_B_D8, 4, NA, 0, 0},
    {32, "(r4){s7}", OPK_M32_B_D8, 4, NA, 0, 7},
    {32, "8(r4)", OPK_M32_I1_D32, 0, 4, 8, 0},
    {32, "8(r4){s7}", OPK_M32_B_D32, 4, NA, 8, 7},
    {32, "8.l(r4.l){s1}", OPK_M32_B_D32, 4, NA, 8, 1},
    {32, "8.b(r4)", OPK_M32_B_D8, 4, NA, 8, 0},
    {32, "-4.b(r4){s7}", OPK_M32_B_D8, 4, NA, -4, 7},
    {32, "200.b(r3)", OPK_M32_B_D8, 3, NA, 200, 0},
    {32, "$100(r3)", OPK_M32_B_D32, 3, NA, 0x100, 0},
    {32, "total(r3)", OPK_M32_B_D32, 3, NA, 0x10, 0},
    {32, "total.l(r3.l){s2}", OPK_M32_B_D32, 3, NA, 0x10, 2},
    // scaled index without base
    {32, "0(r5*4)", OPK_M32_I4_D32, 0, 5, 0, 0},
    {32, "8.l(r4*2)", OPK_M32_I2_D32, 0, 4, 8, 0},
    {32, "8(r1.l*8){s3}", OPK_M32_I8_D32, 0, 1, 8, 3},
    // two registers: exchanges
    {32, "(r3,r5)", OPK_M32_BI, 3, 5, NA, 0},
    {32, "(r4,r3)", OPK_M32_BI, 3, 4, NA, 0},
    {32, "(r4,r3){s1}", OPK_M32_BI, 3, 4, NA, 1},
    {32, "(r4,r3){s7}", OPK_M32_BI_D8, 4, 3, 0, 7},
    {32, "(r3,r4){s7}", OPK_M32_BI_D8, 4, 3, 0, 7},
    {32, "(r3,r7)", OPK_M32_BI, 7, 3, NA, 0},
    {32, "(r7,r4){s7}", OPK_M32_BI, 7, 4, NA, 7},
    {32, "(r4,r4)", OPK_M32_BI_D8, 4, 4, 0, 0},
    {32, "1.b(r4,r3)", OPK_M32_BI_D8, 3, 4, 1, 0},
    {32, "1.b(r4,r3){s1}", OPK_M32_BI_D8, 4, 3, 1, 1},
    {32, "1.b(r3,r4){s7}", OPK_M32_BI_D8, 4, 3, 1, 7},
    {32, "1.b(r3,r7)", OPK_M32_BI_D8, 7, 3, 1, 0},
    {32, "10.b(r3,r6)", OPK_M32_BI_D8, 3, 6, 10, 0},
    {32, "$100(r3,r5)", OPK_M32_BI_D32, 3, 5, 0x100, 0},
    {32, "$100.l(r4.l,r5.l)", OPK_M32_BI_D32, 5, 4, 0x100, 0},
    {32, "$100(r4,r5){s6}", OPK_M32_BI_D32, 5, 4, 0x100, 6},
    {32, "$100(r5,r4){s7}", OPK_M32_BI_D32, 4, 5, 0x100, 7},
    // two registers, scaled: never exchanged
    {32, "(r3,r5*2)", OPK_M32_BI2, 3, 5, NA, 0},
    {32, "(r3,r5*4)", OPK_M32_BI4, 3, 5, NA, 0},
    {32, "(r3.l,r5.l*8){s2}", OPK_M32_BI8, 3, 5, NA, 2},
    {32, "(r4,r5*2)", OPK_M32_BI2_D8, 4, 5, 0, 0},
    {32, "(r4,r5*4)", OPK_M32_BI4_D8, 4, 5, 0, 0},
    {32, "(r4,r5*8)", OPK_M32_BI8_D8, 4, 5, 0, 0},
    {32, "(r7,r4*8)", OPK_M32_BI8, 7, 4, NA, 0},
    {32, "3.b(r3,r6*2)", OPK_M32_BI2_D8, 3, 6, 3, 0},
    {32, "3.b(r3,r6*4)", OPK_M32_BI4_D8, 3, 6, 3, 0},
    {32, "-1.b(r3,r6*8){s2}", OPK_M32_BI8_D8, 3, 6, -1, 2},
    {32, "$10(r3,r6*2)", OPK_M32_BI2_D32, 3, 6, 0x10, 0},
    {32, "$10(r3,r6*4)", OPK_M32_BI4_D32, 3, 6, 0x10, 0},
    {32, "$10.l(r3,r6*8)", OPK_M32_BI8_D32, 3, 6, 0x10, 0},
    // 16-bit forms
    {32, "$1234.w", OPK_M16_ABS, 0, NA, 0x1234, 0},
    {32, "$1234.w{s6}", OPK_M16_ABS, 0, NA, 0x1234, 6},
    {32, "(r3.w)", OPK_M16_B, 3, NA, NA, 0},
    {32, "(r5.w)", OPK_M16_B, 5, NA, NA, 0},
    {32, "(r6.w){s1}", OPK_M16_B, 6, NA, NA, 1},
    {32, "0.b(r4.w)", OPK_M16_B_D8, 4, NA, 0, 0},
    {32, "-1.b(r6.w)", OPK_M16_B_D8, 6, NA, -1, 0},
    {32, "$10(r4.w)", OPK_M16_B_D16, 4, NA, 0x10, 0},
    {32, "-2.w(r5.w){s1}", OPK_M16_B_D16, 5, NA, -2, 1},
    {32, "(r3.w,r6.w)", OPK_M16_BI, 3, 6, NA, 0},
    {32, "(r4.w,r5.w){s7}", OPK_M16_BI, 4, 5, NA, 7},
    {32, "2.b(r4.w,r6.w)", OPK_M16_BI_D8, 4, 6, 2, 0},
    {32, "$300(r3.w,r5.w)", OPK_M16_BI_D16, 3, 5, 0x300, 0},
    {32, "$300.w(r3.w,r5.w)", OPK_M16_BI_D16, 3, 5, 0x300, 0},
    // absolute addresses and the seg16 short form
    {16, "$1234", OPK_M16_ABS, 0, NA, 0x1234, 0},
    {16, "$1234.l", OPK_M32_ABS, 0, NA, 0x1234, 0},
    {16, "$12345", OPK_M32_ABS, 0, NA, 0x12345, 0},
    {16, "$ffff", OPK_M16_ABS, 0, NA, 0xffff, 0},
    {16, "-1", OPK_M32_ABS, 0, NA, -1, 0},
    {16, "total", OPK_M16_ABS, 0, NA, 0x10, 0},
    {32, "$1234", OPK_M32_ABS, 0, NA, 0x1234, 0},
    {32, "$1234.l", OPK_M32_ABS, 0, NA, 0x1234, 0},
    {32, "$12345", OPK_M32_ABS, 0, NA, 0x12345, 0},
    {32, "$10{s1}", OPK_M32_ABS, 0, NA, 0x10, 1},
    {32, "total", OPK_M32_ABS, 0, NA, 0x10, 0},
    {32, "sp", OPK_M32_ABS, 0, NA, 0x20, 0},
    {32, "r8", OPK_M32_ABS, 0, NA, 0x30, 0},
    // immediates
    {32, "#5", OPK_IMM, SIZE_BYTE, NA, 5, NA},
    {32, "#-200", OPK_IMM, SIZE_WORD, NA, -200, NA},
    {32, "#$12345", OPK_IMM, SIZE_LONG, NA, 0x12345, NA},
    // stack, register list, special registers
    {32, "(sp)+", OPK_POP, NA, NA, NA, NA},
    {32, "(r7.x)+{s7}", OPK_POP, NA, NA, NA, NA},
    {32, "-(sp)", OPK_PUSH, NA, NA, NA, NA},
    {32, "-(r7.x){s7}", OPK_PUSH, NA, NA, NA, NA},
    {32, "r0-r7", OPK_ALLREGS, NA, NA, NA, NA},
    {32, "sr", OPK_SR, NA, NA, NA, NA},
    {32, "cr0", OPK_CR, 0, NA, NA, NA},
    {32, "cr3", OPK_CR, 3, NA, NA, NA},
    {32, "dr7", OPK_DR, 7, NA, NA, NA},
    {32, "tr3", OPK_TESTREG, 3, NA, NA, NA},
    {32, "tr7", OPK_TESTREG, 7, NA, NA, NA},
    {32, "ldtr", OPK_LDTR, NA, NA, NA, NA},
    {32, "gdtr", OPK_GDTR, NA, NA, NA, NA},
    {32, "idtr", OPK_IDTR, NA, NA, NA, NA},
    {32, "tr", OPK_TASKREG, NA, NA, NA, NA},
    // string, pair and translate forms
    {32, "(r6.w)+-{s1}", OPK_STRDST16, NA, NA, NA, NA},
    {32, "(r6.l)+-{s1}", OPK_STRDST32, NA, NA, NA, NA},
    {32, "(r6)+-{s1}", OPK_STRDST32, NA, NA, NA, NA},
    {32, "(r5.w)+-", OPK_STRSRC16, 0, NA, NA, 0},
    {32, "(r5.w)+-{s3}", OPK_STRSRC16, 0, NA, NA, 3},
    {32, "(r5.l)+-", OPK_STRSRC32, 0, NA, NA, 0},
    {32, "(r5)+-{s6}", OPK_STRSRC32, 0, NA, NA, 6},
    {32, "r1|r0", OPK_PAIR_R1R0, NA, NA, NA, NA},
    {32, "m0|r0", OPK_PAIR_M0R0, NA, NA, NA, NA},
    {32, "s2|r5", OPK_PAIR_SR, 5, NA, NA, 2},
    {32, "(r3.w,r0.b)", OPK_XLAT16, 0, NA, NA, 0},
    {32, "(r3.l,r0.b)", OPK_XLAT32, 0, NA, NA, 0},
    {32, "(r3,r0.b){s1}", OPK_XLAT32, 0, NA, NA, 1},
    // segment registers
    {32, "s0", OPK_SREG, 3, NA, NA, 0},
    {32, "s1", OPK_SREG, 0, NA, NA, 1},
    {32, "s2", OPK_SREG, 7, NA, NA, 2},
    {32, "s3", OPK_SREG, 4, NA, NA, 3},
    {32, "s6", OPK_SREG, 2, NA, NA, 6},
    {32, "s7", OPK_SREG, 1, NA, NA, 7},
};

TEST(OperandParse, Kinds) {
    for (const ParseRow& row : PARSE_ROWS) {
        SCOPED_TRACE(std::string(row.text) + " in seg" + std::to_string(row.mode));
        auto u = unit(row.mode);
        char text[TEXT_BUF];
        std::strcpy(text, row.text);
        OperandDesc op;
        int code = stop_code([&] { parse_operand(*u->a, text, op); });
        ASSERT_EQ(code, -1);
        EXPECT_EQ(op.kind, row.kind);
        if (row.reg != NA) {
            EXPECT_EQ(op.reg, row.reg);
        }
        if (row.index != NA) {
            EXPECT_EQ(op.index, row.index);
        }
        if (row.value != NA) {
            EXPECT_EQ(op.value, row.value);
        }
        if (row.seg != NA) {
            EXPECT_EQ(op.seg, static_cast<uint32_t>(row.seg));
        }
    }
}

struct ErrorRow {
    int mode;
    const char* text;
    int code;
};

const ErrorRow PARSE_ERROR_ROWS[] = {
    {32, "m4", 299}, {32, "m7", 299},
    {32, "$12345.w", 300},
    {32, "1.b(r2.w)", 301}, {32, "1.b(r7.w)", 301}, {32, "300.b(r3.w)", 302},
    {32, "1.w(r7.w)", 303}, {32, "1(r1.w)", 303}, {32, "$12345.w(r3.w)", 304}, {32, "$12345(r3.w)", 304},
    {32, "(r4.w)", 305}, {32, "(r2.w)", 305},
    {32, "1.b(r5.w,r5.w)", 306}, {32, "1.b(r3.w,r3.w)", 307}, {32, "300.b(r3.w,r5.w)", 308},
    {32, "1.w(r6.w,r5.w)", 309}, {32, "1(r3.w,r4.w)", 310}, {32, "$12345(r3.w,r5.w)", 311},
    {32, "(r5.w,r3.w)", 312}, {32, "(r3.w,r4.w)", 313},
    {32, "300.b(r3)", 314},
    {32, "(r7*2)", 315}, {32, "(r7*4)", 316}, {32, "8(r7*8)", 317},
    {32, "1.b(r7,r7)", 319}, {32, "300.b(r3,r5)", 320},
    {32, "4.b(r3,r7*2)", 321}, {32, "300.b(r3,r5*2)", 322},
    {32, "1.b(r3,r7*4)", 323}, {32, "300.b(r3,r5*4)", 324},
    {32, "1.b(r3,r7*8)", 325}, {32, "300.b(r3,r5*8)", 326},
    {32, "(r7,r7)", 327}, {32, "8(r7,r7){s7}", 327},
    {32, "(r3,r7*2)", 328}, {32, "8(r3,r7*4)", 329}, {32, "(r3,r7*8)", 330},
    {32, "1(sp)+", 331}, {32, "x(r7.x)+{s7}", 331}, {32, "x-(sp)", 332}, {32, "1-(r7.x){s7}", 332},
    {32, "1(r5.w)+-", 333}, {32, "1(r5)+-", 334},
    {32, "1s2|r3", 335},
    {32, "1(r3.w,r0.b)", 336}, {32, "1(r3,r0.b)", 337},
    {32, "s4", 338}, {32, "s5", 338},
    {32, "$10{s8}", 939}, {32, "x{y}", 939}, {32, "(r3){s9}", 939},
    {32, "{s3}", 288}, {32, "(r5*4)", 288}, {32, ".b(r3)", 288}, {32, ".w", 288},
    {32, "undefined(r3)", 286}, {32, "#undefined", 286}, {16, "undefined", 286},
};

TEST(OperandParse, Errors) {
    for (const ErrorRow& row : PARSE_ERROR_ROWS) {
        SCOPED_TRACE(std::string(row.text) + " in seg" + std::to_string(row.mode));
        auto u = unit(row.mode);
        char text[TEXT_BUF];
        std::strcpy(text, row.text);
        OperandDesc op;
        EXPECT_EQ(stop_code([&] { parse_operand(*u->a, text, op); }), row.code);
    }
}

TEST(OperandParse, ForwardReferenceInPass1) {
    // An undefined symbol counts as 0 in pass 1, so in seg16 mode it is a 16-bit address.
    auto u = unit(16, false);
    char text[TEXT_BUF] = "later";
    OperandDesc op;
    parse_operand(*u->a, text, op);
    EXPECT_EQ(op.kind, OPK_M16_ABS);
    EXPECT_EQ(op.value, 0);
    char imm[TEXT_BUF] = "#later";
    parse_operand(*u->a, imm, op);
    EXPECT_EQ(op.kind, OPK_IMM);
    EXPECT_EQ(op.reg, SIZE_BYTE);
}

TEST(OperandParse, ByteOperands) {
    struct Row {
        const char* text;
        int code;
        uint32_t kind;
        int reg;
    };
    const Row rows[] = {
        {"r0", -1, OPK_REG, 0}, {"r3", -1, OPK_REG, 3}, {"m0", -1, OPK_REG, 7}, {"m1", -1, OPK_REG, 5},
        {"m2", -1, OPK_REG, 4}, {"m3", -1, OPK_REG, 6}, {"r4", 298, 0, 0}, {"r5", 298, 0, 0},
        {"r7", 298, 0, 0},      {"m5", 299, 0, 0},      {"(r3)", -1, OPK_M32_B, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        auto u = unit(32);
        char text[TEXT_BUF];
        std::strcpy(text, row.text);
        OperandDesc op;
        ASSERT_EQ(stop_code([&] { parse_byte_operand(*u->a, text, op); }), row.code);
        if (row.code != -1) continue;
        EXPECT_EQ(op.kind, row.kind);
        EXPECT_EQ(op.reg, row.reg);
    }
}

TEST(OperandParse, TextIsCutToTheDisplacement) {
    auto u = unit(32);
    char text[TEXT_BUF] = "total+4.b(r3,r5*2){s1}";
    OperandDesc op;
    parse_operand(*u->a, text, op);
    EXPECT_STREQ(text, "total+4");
    EXPECT_EQ(op.value, 0x14);
    char reg[TEXT_BUF] = "r3";
    parse_operand(*u->a, reg, op);
    EXPECT_STREQ(reg, "r3");
}

TEST(OperandTemplate, Matches) {
    struct Row {
        const char* text;
        const char* templ;
        int result;
        const char* rest;  // text after a match
        int digits[3];     // segment, then '?' digits right to left (-1: not compared)
    };
    const Row rows[] = {
        {"8.b(r3)", ".b(r?.l){s?}", 2, "8", {0, 3, -1}},
        {"(r3)", ".l(r?.l){s?}", 3, "", {0, 3, -1}},
        {"total(r3)", ".l(r?.l){s?}", 3, "total", {0, 3, -1}},
        {"l(r3)", ".l(r?.l){s?}", 3, "l", {0, 3, -1}},
        {"x.l(r3.l){s2}", ".l(r?.l){s?}", 1, "x", {2, 3, -1}},
        {"(r3,r5*4)", ".l(r?.l,r?.l*4){s?}", 4, "", {0, 5, 3}},
        {"a+1.l(r6,r1.l*8){s7}", ".l(r?.l,r?.l*8){s?}", 2, "a+1", {7, 1, 6}},
        {"$10", ".l{s?}", 2, "$10", {0, -1, -1}},
        {"$10.l", ".l{s?}", 1, "$10", {0, -1, -1}},
        {"label", ".l{s?}", 2, "label", {0, -1, -1}},
        {"s2|r5", "s?|r?", 1, "", {0, 5, 2}},
        {"(sp)+", "(sp)+", 1, "", {0, -1, -1}},
        {"$10{s8}", ".l{s?}", 0, nullptr, {-1, -1, -1}},
        {"$10{x1}", ".l{s?}", 0, nullptr, {-1, -1, -1}},
        {"(r3)", ".w{s?}", 0, nullptr, {-1, -1, -1}},
        {"(r8)", ".l(r?.l){s?}", 0, nullptr, {-1, -1, -1}},
        {"(r3.w)", ".l(r?.l){s?}", 0, nullptr, {-1, -1, -1}},
        {"(r3)", ".b(r?.l){s?}", 0, nullptr, {-1, -1, -1}},
        {"(r3,r5*2)", ".l(r?.l*2){s?}", 0, nullptr, {-1, -1, -1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.text) + " against " + row.templ);
        char text[TEXT_BUF];
        std::strcpy(text, row.text);
        int32_t digits[4] = {-1, -1, -1, -1};
        EXPECT_EQ(match_operand_template(text, row.templ, digits), row.result);
        if (row.result == 0) {
            EXPECT_STREQ(text, row.text);
            continue;
        }
        EXPECT_STREQ(text, row.rest);
        for (int i = 0; i < 3; ++i)
            if (row.digits[i] != -1) {
            EXPECT_EQ(digits[i], row.digits[i]) << "digit " << i;
        }
    }
}

TEST(OperandEncode, RegCode) {
    const int32_t expected[8] = {0, 2, 1, 3, 5, 6, 7, 4};
    for (int32_t r = 0; r < 8; ++r) {
        EXPECT_EQ(reg_code(r), expected[r]) << r;
        EXPECT_EQ(reg_code(r + 8), expected[r]) << r + 8;
    }
    EXPECT_EQ(reg_code(-1), 4);
}

// Parses the operand, then emits what an encoder emits around the opcode for it: address-size
// prefix, segment prefix, ModRM with the given reg field, SIB and displacement.
std::string rm_bytes(int mode, int32_t reg_field, const char* operand_text, int* code) {
    auto u = unit(mode);
    char text[TEXT_BUF];
    std::strcpy(text, operand_text);
    *code = stop_code([&] {
        OperandDesc op;
        parse_operand(*u->a, text, op);
        emit_address_size_prefix(*u->a, op);
        emit_segment_prefix(*u->a, op);
        emit_modrm(*u->a, reg_field, op);
    });
    return unit_hex(*u);
}

struct EncodeRow {
    int mode;
    int32_t reg_field;
    const char* text;
    const char* bytes;
};

const EncodeRow ENCODE_ROWS[] = {
    {32, 0, "r3", "c3"},
    {32, 7, "r7", "fc"},
    {32, 2, "r4", "d5"},
    // 32-bit one-register forms
    {32, 0, "(r3)", "03"},
    {32, 0, "(r7)", "3e 04 24"},
    {32, 0, "(r7){s7}", "04 24"},
    {32, 0, "(r4)", "3e 45 00"},
    {32, 0, "(r4){s7}", "45 00"},
    {32, 0, "-4.b(r4){s7}", "45 fc"},
    {32, 3, "8.b(r7)", "3e 5c 24 08"},
    {32, 0, "-128.b(r3)", "43 80"},
    {32, 0, "127.b(r3)", "43 7f"},
    {32, 0, "$100(r3)", "83 00 01 00 00"},
    {32, 0, "$100(r7)", "3e 84 24 00 01 00 00"},
    {32, 0, "8(r4)", "04 2d 08 00 00 00"},
    {32, 0, "8(r4){s7}", "85 08 00 00 00"},
    {32, 0, "$12345678", "05 78 56 34 12"},
    {32, 1, "-1", "0d ff ff ff ff"},
    // index without base
    {32, 0, "0(r5*4)", "04 b5 00 00 00 00"},
    {32, 0, "8(r1*2)", "04 55 08 00 00 00"},
    {32, 0, "8(r1*8)", "04 d5 08 00 00 00"},
    // base and index
    {32, 2, "(r3,r5*4)", "14 b3"},
    {32, 0, "(r3,r5)", "04 33"},
    {32, 0, "(r3,r5*2)", "04 73"},
    {32, 0, "(r3,r5*8)", "04 f3"},
    {32, 1, "(r3,r4)", "0c 2b"},
    {32, 0, "(r4,r3)", "04 2b"},
    {32, 0, "(r4,r3){s7}", "44 1d 00"},
    {32, 0, "(r3,r7)", "3e 04 1c"},
    {32, 0, "(r3,r7){s7}", "04 1c"},
    {32, 0, "(r7,r4*8)", "3e 04 ec"},
    {32, 0, "(r3,r5){s2}", "64 04 33"},
    {32, 0, "10.b(r3,r6)", "44 3b 0a"},
    {32, 0, "1.b(r3,r5*4)", "44 b3 01"},
    {32, 0, "-1.b(r3,r5*2)", "44 73 ff"},
    {32, 0, "1.b(r3,r5*8)", "44 f3 01"},
    {32, 0, "$100(r3,r5)", "84 33 00 01 00 00"},
    {32, 0, "$100(r3,r5*2)", "84 73 00 01 00 00"},
    {32, 0, "$100(r3,r5*4)", "84 b3 00 01 00 00"},
    {32, 0, "$100(r3,r5*8)", "84 f3 00 01 00 00"},
    // segment suffixes
    {32, 0, "(r3){s0}", "03"},
    {32, 0, "(r3){s1}", "26 03"},
    {32, 0, "(r3){s2}", "64 03"},
    {32, 0, "(r3){s3}", "65 03"},
    {32, 0, "(r3){s6}", "2e 03"},
    {32, 0, "(r3){s7}", "36 03"},
    {32, 0, "(r7){s0}", "3e 04 24"},
    {32, 0, "(r7){s1}", "26 04 24"},
    // 16-bit forms in seg32 mode take 0x67
    {32, 0, "(r3.w,r5.w)", "67 00"},
    {32, 0, "(r5.w)", "67 04"},
    {32, 0, "(r3.w)", "67 07"},
    {32, 0, "0.b(r4.w)", "67 3e 46 00"},
    {32, 0, "$1234.w", "67 06 34 12"},
    // seg16 mode
    {16, 0, "(r3.w,r5.w)", "00"},
    {16, 0, "(r3.w,r6.w)", "01"},
    {16, 0, "(r4.w,r5.w)", "3e 02"},
    {16, 0, "(r4.w,r6.w)", "3e 03"},
    {16, 0, "(r4.w,r5.w){s7}", "02"},
    {16, 0, "(r5.w)", "04"},
    {16, 0, "(r6.w)", "05"},
    {16, 0, "(r3.w)", "07"},
    {16, 0, "1.b(r5.w)", "44 01"},
    {16, 0, "-1.b(r6.w)", "45 ff"},
    {16, 0, "1.b(r4.w){s7}", "46 01"},
    {16, 0, "0.b(r4.w)", "3e 46 00"},
    {16, 0, "1.b(r3.w)", "47 01"},
    {16, 0, "1.b(r3.w,r5.w)", "40 01"},
    {16, 0, "$100(r5.w)", "84 00 01"},
    {16, 0, "$7fff(r3.w)", "87 ff 7f"},
    {16, 0, "-$8000(r3.w)", "87 00 80"},
    {16, 0, "$100(r4.w,r6.w){s7}", "83 00 01"},
    {16, 0, "$100.w(r3.w,r6.w)", "81 00 01"},
    {16, 0, "$1234", "06 34 12"},
    {16, 5, "$1234", "2e 34 12"},
    {16, 0, "$ffff", "06 ff ff"},
    {16, 0, "$1234{s1}", "26 06 34 12"},
    {16, 0, "$12345", "67 05 45 23 01 00"},
    {16, 0, "$1234.l", "67 05 34 12 00 00"},
    {16, 0, "(r3)", "67 03"},
    {16, 0, "r3", "c3"},
};

TEST(OperandEncode, ModrmSibDisplacement) {
    for (const EncodeRow& row : ENCODE_ROWS) {
        SCOPED_TRACE(std::string(row.text) + " reg field " + std::to_string(row.reg_field) + " in seg" +
                     std::to_string(row.mode));
        int code = 0;
        std::string bytes = rm_bytes(row.mode, row.reg_field, row.text, &code);
        EXPECT_EQ(code, -1);
        EXPECT_EQ(bytes, row.bytes);
    }
}

// Range and segment errors stop the run after the bytes already emitted: the ModRM and SIB
// bytes come before the displacement check.
TEST(OperandEncode, Errors) {
    struct Row {
        int mode;
        const char* text;
        int code;
        const char* bytes_before;
    };
    const Row rows[] = {
        {32, "(r3){s4}", 268, ""},
        {32, "(r7){s5}", 268, ""},
        {16, "-2.w", 269, "06"},
        {16, "$10000.w", 300, ""},
        {16, "200.b(r3.w)", 273, "47"},
        {16, "200.b(r3.w,r5.w)", 275, "40"},
        {16, "$8000(r3.w)", 277, "87"},
        {16, "$ffff(r3.w)", 277, "87"},
        {16, "$8000(r3.w,r5.w)", 279, "80"},
        {32, "200.b(r3)", 280, "43"},
        {32, "255.b(r3)", 280, "43"},
        {32, "200.b(r3,r5)", 281, "44 33"},
        {32, "200.b(r3,r5*2)", 282, "44 73"},
        {32, "200.b(r3,r5*4)", 283, "44 b3"},
        {32, "200.b(r3,r5*8)", 284, "44 f3"},
        {32, "#5", 285, ""},
        {32, "(sp)+", 285, ""},
        {32, "s1", 285, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.text) + " in seg" + std::to_string(row.mode));
        int code = 0;
        std::string bytes = rm_bytes(row.mode, 0, row.text, &code);
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(bytes, row.bytes_before);
    }
}

// The emitter repeats the parser's 16-bit register checks for descriptors built by hand.
TEST(OperandEncode, Bad16BitRegistersFromHandBuiltDescriptors) {
    struct Row {
        uint32_t kind;
        int32_t reg;
        int32_t index;
        int code;
    };
    const Row rows[] = {
        {OPK_M16_B, 4, 0, 270},      {OPK_M16_B, 2, 0, 270},      {OPK_M16_BI, 5, 3, 271},
        {OPK_M16_B_D8, 7, 0, 272},   {OPK_M16_BI_D8, 3, 3, 274},  {OPK_M16_B_D16, 0, 0, 276},
        {OPK_M16_BI_D16, 6, 5, 278}, {OPK_NONE, 0, 0, 285},       {OPK_HREG, 7, 0, 285},
        {OPK_M32_BI8_D32 + 1, 0, 0, 285},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("kind " + std::to_string(row.kind) + " reg " + std::to_string(row.reg));
        auto u = unit(16);
        OperandDesc op;
        op.kind = row.kind;
        op.reg = row.reg;
        op.index = row.index;
        EXPECT_EQ(stop_code([&] { emit_modrm(*u->a, 0, op); }), row.code);
        EXPECT_EQ(unit_hex(*u), "");
    }
}

TEST(OperandEncode, ModrmRegMapsTheRegister) {
    struct Row {
        int32_t logical;
        const char* text;
        const char* bytes;
    };
    const Row rows[] = {
        {1, "(r3)", "13"}, {2, "(r3)", "0b"}, {7, "r0", "e0"}, {4, "8.b(r3)", "6b 08"}, {5, "r7", "f4"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        auto u = unit(32);
        char text[TEXT_BUF];
        std::strcpy(text, row.text);
        OperandDesc op;
        parse_operand(*u->a, text, op);
        emit_modrm_reg(*u->a, row.logical, op);
        EXPECT_EQ(unit_hex(*u), row.bytes);
    }
}

TEST(OperandEncode, OperandSizePrefix) {
    struct Row {
        int mode;
        bool is_long;
        const char* bytes;
    };
    const Row rows[] = {{16, true, "66"}, {16, false, ""}, {32, false, "66"}, {32, true, ""}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.mode) + (row.is_long ? " long" : " word"));
        auto u = unit(row.mode);
        emit_operand_size_prefix(*u->a, row.is_long);
        EXPECT_EQ(unit_hex(*u), row.bytes);
    }
}

// Address-size and segment prefixes of the forms that are not r/m operands.
TEST(OperandEncode, PrefixesOfOtherKinds) {
    struct Row {
        int mode;
        const char* text;
        const char* bytes;  // address-size prefix, then segment prefix
        int code;
    };
    const Row rows[] = {
        {32, "(r6.w)+-{s1}", "67", -1},    {16, "(r6.w)+-{s1}", "", -1},      {16, "(r6)+-{s1}", "67", -1},
        {32, "(r6)+-{s1}", "", -1},        {32, "(r5.w)+-{s3}", "67 65", -1}, {16, "(r5)+-", "67", -1},
        {16, "(r5.l)+-{s6}", "67 2e", -1}, {32, "(r5)+-{s0}", "", -1},        {32, "(r3.w,r0.b)", "67", -1},
        {16, "(r3,r0.b){s2}", "67 64", -1}, {16, "(r3.w,r0.b){s7}", "36", -1}, {32, "(r5)+-{s4}", "", 268},
        {32, "r3", "", -1},                {16, "r3", "", -1},                {16, "#5", "", -1},
        {32, "(sp)+", "", -1},             {16, "-(sp)", "", -1},             {32, "s2", "", -1},
        {32, "cr0", "", -1},               {16, "s2|r3", "", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.text) + " in seg" + std::to_string(row.mode));
        auto u = unit(row.mode);
        char text[TEXT_BUF];
        std::strcpy(text, row.text);
        OperandDesc op;
        parse_operand(*u->a, text, op);
        int code = stop_code([&] {
            emit_address_size_prefix(*u->a, op);
            emit_segment_prefix(*u->a, op);
        });
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(unit_hex(*u), row.bytes);
    }
}

}  // namespace
