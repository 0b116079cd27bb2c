// Malformed sources of every kind end with a report line, never a crash, hang or overrun
// (this suite is also run under AddressSanitizer and UndefinedBehaviorSanitizer).
#include <gtest/gtest.h>

#include <random>

#include "support.h"

TEST(Robustness, HostileSourcesEndWithAReport) {
    struct Row {
        const char* name;
        std::string source;
        int32_t code;
    };
    const Row rows[] = {
        {"unclosed quote to the end", " dc.b 1\nx = 'a\n nop\n dc.b 2,3\n", 292},  // the comma is quoted
        {"unclosed quote in dc.b", " dc.b 'abc\n nop\n", 88},
        {"unclosed parenthesis to the end", "x = (1\n nop\n", 295},
        {"twenty-one parentheses", " dc.b " + std::string(21, '(') + "1" + std::string(21, ')') + "\n", 287},
        {"nul bytes", std::string("\0\0\0\n", 4), 340},
        {"only a comment", "; nothing\n", 0},
        {"label without statement at the end", "a:", 0},
        {"equals without name", " = 5\n", 340},
        {"huge constant", " dc.l 99999999999999999999999999\n", 0},
        {"char constant at the end", " dc.l '", 0},
        // Fills and alignments near 2^31 bytes: pass 1 moves the counters in one step, so an
        // error after them is reported at once.
        {"huge fill then an error", " blk.b $7fffffff,0\n dc.b 'x\n", 88},
        {"huge long fill then an error", " blk.l $40000000,-1\n dc.b 'x\n", 88},
        {"huge alignment then an error", " nop\n even $7fffffff,$90\n dc.b 'x\n", 88},
        {"huge file alignment then an error", " nop\n evencom $40000000\n dc.b 'x\n", 88},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AsmResult r = assemble(row.source);
        EXPECT_EQ(r.report.code, row.code) << r.console;
        EXPECT_EQ(r.console.back(), '\n');
    }
}

// Random sources built from pieces of the language and raw bytes: every run must end with
// one report line.
TEST(Robustness, RandomSources) {
    const char* pieces[] = {
        " nop", " dc.b ", " dc.w ", " dc.l ", " blk.b ", " even ", " if ", " else", " endif", "x:",
        "_l:", "@a:", "y = ", "z == ", " label_block", " list", " nolist", " seg32", " lock ", "'",
        "\"", "(", ")", ",", ";", "1", "$ff", "%10", "x", "_l", "@", "@@", "+", "-", "*", "/", "\\",
        "<<", ">>", "==", "!", "~", "&&", "||", "\n", "\r", "\t", " ", "\n", "\n",
    };
    std::mt19937 rng(12345);
    for (int iteration = 0; iteration < 3000; ++iteration) {
        std::string src;
        int n = static_cast<int>(rng() % 60);
        for (int i = 0; i < n; ++i) {
            if (rng() % 10 == 0)
                src.push_back(static_cast<char>(rng() % 256));
            else
                src += pieces[rng() % std::size(pieces)];
        }
        SCOPED_TRACE(src);
        AsmResult r = assemble(src);
        ASSERT_FALSE(r.console.empty());
        ASSERT_NE(r.console.find(" in Zeile "), std::string::npos);
        ASSERT_EQ(r.console.back(), '\n');
    }
}
