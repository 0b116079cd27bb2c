// Expression evaluator: constants, operators, precedence, size classes and every error code.
#include <gtest/gtest.h>

#include "support.h"

namespace {

struct ExprRow {
    const char* text;
    uint32_t value;
};

// The value of an expression, read back through dc.l.
uint32_t value_of(const std::string& expr, AsmResult* out = nullptr) {
    AsmResult r = assemble(" dc.l " + expr + "\n");
    if (out) *out = r;
    if (r.report.code != 0 || r.code.size() != 4) return 0xDEADBEEF;
    return r.code[0] | (r.code[1] << 8) | (r.code[2] << 16) | (static_cast<uint32_t>(r.code[3]) << 24);
}

}  // namespace

TEST(Expressions, Values) {
    const ExprRow rows[] = {
        {"$ff", 255}, {"%1010", 10}, {"255", 255}, {"$", 0}, {"%", 0}, {"007", 7},
        {"'a'", 0x61}, {"'abcd'", 0x61626364}, {"''", 0}, {"\"a'b\"", 0x612762}, {"'ab", 0x6162},
        {"2+3*4", 14}, {"(2+3)*4", 20}, {"10-4-3", 3}, {"-7/2", 0xFFFFFFFD}, {"-7\\2", 0xFFFFFFFF},
        {"1<<33", 2}, {"-8>>1", 0xFFFFFFFC}, {"3&&0", 0}, {"2||0", 1}, {"-2*3", 0xFFFFFFFA},
        {"!0==1", 1}, {"!5", 0}, {"~0", 0xFFFFFFFF}, {"--3", 3}, {"5<3", 0}, {"5>3", 1},
        {"3<=3", 1}, {"3>=4", 0}, {"3==3", 1}, {"3!=3", 0}, {"6&3", 2}, {"6^3", 5}, {"6|3", 7},
        {"1+2<<3", 24}, {"1|2^3&4", 3}, {"$ffffffff+2", 1}, {"4294967297", 1},
        {"$7fffffff*2", 0xFFFFFFFE}, {"-$80000000", 0x80000000}, {"1<<31>>31", 0xFFFFFFFF},
        {"((((((((((((((((((((1))))))))))))))))))))", 1}, {"@", 0}, {"@@", 0},
    };
    for (const ExprRow& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(value_of(row.text), row.value);
    }
}

TEST(Expressions, SizeClassesDecideByteAndWordFields) {
    struct Row {
        const char* text;
        bool fits_byte;
        bool fits_word;
    };
    const Row rows[] = {
        {"255", true, true},    {"-128", true, true},  {"-1", true, true},    {"128", true, true},
        {"256", false, true},   {"-129", false, true}, {"65535", false, true}, {"-32768", false, true},
        {"65536", false, false}, {"-32769", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(assemble(std::string(" dc.b ") + row.text + "\n").report.code == 0, row.fits_byte);
        EXPECT_EQ(assemble(std::string(" dc.w ") + row.text + "\n").report.code == 0, row.fits_word);
    }
}

TEST(Expressions, ErrorCodes) {
    struct Row {
        const char* text;
        int32_t code;
        int32_t message;
    };
    const Row rows[] = {
        {"1+", 288, 11},  {"+5", 289, 12},   {"5x", 292, 14},  {"(1", 295, 14},   {"1)", 288, 11},
        {"()", 289, 12},  {"1=2", 290, 14},  {"1!2", 291, 14}, {"1)+2", 289, 12}, {"1)2)", 294, 14},
        {"1)2", 295, 14}, {"'abcde'", 296, 22}, {"'abcd", 296, 22}, {"1#", 292, 14},
        {"(((((((((((((((((((((1)))))))))))))))))))))", 287, 26},
        {"1/0", 349, 14}, {"1\\0", 349, 14}, {"-$80000000/-1", 349, 14}, {"-$80000000\\-1", 349, 14},
        {"nowhere", 286, 10},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        AsmResult r;
        value_of(row.text, &r);
        EXPECT_EQ(r.report.code, row.code);
        EXPECT_EQ(r.report.message, row.message);
    }
}

TEST(Expressions, ForwardReferencesResolveInPass2) {
    AsmResult r = assemble(" dc.l later\n dc.w later+1\nlater: dc.b 1\n");
    EXPECT_EQ(r.report.code, 0);
    EXPECT_EQ(hex_bytes(r.code), "06 00 00 00 07 00 01");
}

TEST(Expressions, UndefinedSymbolHidesTheSyntaxErrorBehindIt) {
    // An equate evaluates with the undefined-tolerant entry, which stops at the symbol.
    AsmResult r = assemble("x = y+(\n");
    EXPECT_EQ(r.report.code, 0) << r.console;
}
