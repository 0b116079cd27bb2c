// Source reader and symbol table: statement fields, labels, scopes, and their error codes.
#include <gtest/gtest.h>

#include "support.h"

namespace {

struct SourceRow {
    const char* name;
    std::string source;
    int32_t code;          // expected report code
    const char* bytes;     // expected code bytes when code is 0
};

void check_rows(const std::vector<SourceRow>& rows) {
    for (const SourceRow& row : rows) {
        SCOPED_TRACE(row.name);
        AsmResult r = assemble(row.source);
        EXPECT_EQ(r.report.code, row.code) << r.console;
        if (row.code == 0) {
            EXPECT_EQ(hex_bytes(r.code), row.bytes);
        }
    }
}

}  // namespace

TEST(Reader, StatementFields) {
    check_rows({
        {"tab reads as space", " nop\t\n\tnop\n", 0, "90 90"},
        {"upper case folded", " NOP\n DC.B 'Ab'\n", 0, "90 41 62"},
        {"comment", " nop ; comment, with comma\n; whole line\n", 0, "90"},
        {"semicolon in quotes", " dc.b ';'\n", 0, "3b"},
        {"trailing comma", " dc.b 1,\n", 0, "01"},
        {"two commas", " dc.b 1,,2\n", 346, ""},
        {"nop with operand", " nop r1\n", 346, ""},
        {"two labels and nop", "a: b: nop\n dc.w a,b\n", 0, "90 00 00 00 00"},
        {"label without space", "a:nop\n", 0, "90"},
        {"space before colon", "a : nop\n dc.b a\n", 0, "90 00"},
        {"space in operand", " dc.b 1 2\n", 297, ""},
        {"detached size suffix allowed", "x = 1\n dc.b x .w\n", 286, ""},
        {"digit starts statement", "1nop\n", 340, ""},
        {"hash starts statement", "#\n", 340, ""},
        {"word followed by paren", " dc.b(1)\n", 341, ""},
        {"word followed by quote", " dc.b'a'\n", 341, ""},
        {"crlf line end", " nop\r\n nop\r\n", 0, "90 90"},
        {"lone cr ends a line", " nop\r nop\n", 0, "90 90"},
        {"no final line feed", " nop\n nop", 0, "90 90"},
        {"unclosed quote in a string", " dc.b 'a,b\n", 88, ""},
        {"unclosed quote spans lines", "x = 'a\n dc.b 1,2 ;'\n", 292, ""},
        {"zero byte in source", std::string(" nop\n", 5) + std::string(1, '\0') + "\n", 340, ""},
        {"binary bytes", std::string("\x80\xff\x01\n", 4), 340, ""},
    });
}

TEST(Reader, LineLengthIsCheckedInBothPasses) {
    std::string ok = " dc.b 1 ;" + std::string(150, 'x') + "\n";  // 160 characters with its line feed
    ASSERT_EQ(ok.size(), 160u);
    AsmResult r = assemble(ok);
    EXPECT_EQ(r.report.code, 0);

    std::string too_long = " nop\n dc.b 1 ;" + std::string(151, 'x') + "\n";
    r = assemble(too_long);
    EXPECT_EQ(r.report.code, 347);
    EXPECT_EQ(r.report.line, 2);
    EXPECT_EQ(r.console.find(" Pass 2"), std::string::npos);  // stopped in pass 1
    EXPECT_FALSE(r.listing_written);

    // Thousands of characters on one line, in a label, a word and an operand.
    for (std::string body : {std::string(5000, 'a') + ": nop\n", " dc.b " + std::string(5000, '1') + "\n",
                             " dc.b '" + std::string(5000, 'y') + "'\n", std::string(5000, ' ') + "\n"}) {
        r = assemble(body);
        EXPECT_EQ(r.report.code, 347);
    }
}

TEST(Reader, PrefixWords) {
    check_rows({
        {"lock before dc.b", " lock dc.b 1\n", 6, ""},
        {"lock alone", " lock\n", 156, ""},
        {"lock then spaces", " lock   \n", 6, ""},
        {"second prefix is the statement word", " lock word nop\n", 167, ""},
        {"equate named lock", "lock = 5\n dc.b lock\n", 0, "05"},
        {"labels around prefix", "a: lock b: dc.b 1\n", 6, ""},
    });
}

TEST(Symbols, ScopesAndBlocks) {
    check_rows({
        {"same label in two blocks",
         "x: dc.b x\n label_block\nx: dc.b x\n", 0, "00 01"},
        {"block label hides global", "x:: dc.b 0\n label_block\nx: dc.b x\n", 343, ""},
        {"global visible across blocks", "g:: dc.b 0\n label_block\n dc.b g\n", 0, "00 00"},
        {"block label invisible after label_block", "x: dc.b 0\n label_block\ny: dc.b x\n", 286, ""},
        {"global after block label in another block",
         "x: dc.b x\n label_block\nx:: dc.b x\n label_block\n dc.b x\n", 0, "00 01 01"},
        {"kind 2 and 3 in one block", "x: nop\nx:: nop\n", 343, ""},
        {"locals per label", "a: _l: dc.b _l\nb: _l: dc.b _l\n", 0, "00 01"},
        {"local twice after one label", "a: _l: nop\n_l: nop\n", 343, ""},
        {"local forward reference", "a: dc.b _l\n_l: dc.b 0\n", 0, "01 00"},
        {"local out of scope", "a: _l: nop\nb: dc.b _l\n", 286, ""},
        {"dot name keeps local scope", "a: _l: nop\n.d: nop\n dc.b _l\n", 0, "90 90 00"},
        {"dot after first char", "a.b: nop\n", 342, ""},
        {"dot first is valid", ".a: nop\n dc.b .a\n", 0, "90 00"},
        {"anon label redefined", "@1: nop\n dc.b @1\n@1: nop\n dc.b @1\n", 0, "90 00 90 02"},
        {"anon equate unknown", "@x = later\nlater: nop\n", 144, ""},
        {"equate chain", "x = y\ny = z\nz = 5\n dc.b y,z\n", 0, "05 05"},
        {"equate chain first stays unknown", "x = y\ny = z\nz = 5\n dc.b x\n", 286, ""},
        {"local equate", "a: _e = 3\n dc.b _e\n", 0, "03"},
        {"global equate", "g == 4\n label_block\n dc.b g\n", 0, "04"},
        {"two label_blocks in a row",
         " label_block\n label_block\nx: dc.b x\n label_block\nx: dc.b x\n", 0, "00 01"},
        {"label value moved in pass 2", " seg16\n dc.b 1\nx: dc.b x\n", 0, "01 01"},
    });
}

TEST(Symbols, TableLimits) {
    // 4,999 own entries fit beside "@" and "@@"; one more does not.
    std::string src;
    for (int i = 0; i < 4999; ++i) {
        src += 'l';
        src += std::to_string(i);
        src += ":\n";
    }
    EXPECT_EQ(assemble(src).report.code, 0);
    AsmResult r = assemble(src + "extra:\n");
    EXPECT_EQ(r.report.code, 345);
    EXPECT_EQ(r.report.line, 5000);
    EXPECT_EQ(assemble(src + " label_block\n").report.code, 345);

    // The 40,000-byte name store: 400 names of 100 bytes with their zeros overflow it.
    std::string long_names;
    for (int i = 0; i < 400; ++i) {
        std::string n = std::to_string(i);
        long_names += 'n';
        long_names += n;
        long_names.append(98 - n.size(), 'x');
        long_names += ":\n";
    }
    r = assemble(long_names);
    EXPECT_EQ(r.report.code, 344);
    EXPECT_EQ(r.report.line, 400);
}

TEST(Symbols, PhaseErrorStopsPass2) {
    // In seg16 mode a forward absolute address above $ffff changes a statement's size
    // between the passes; the label after it would silently move.
    AsmResult r = assemble(" dc.b 1\n even later\nx: nop\nlater = 4\n");
    EXPECT_EQ(r.report.code, 500);  // alignments must be known in pass 1
}
