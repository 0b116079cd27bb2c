// The statement-word table: every word is found, the table is in alphabetical order, the
// conditions of b<cc> and s<cc>.b are the processor's, and unknown words get their codes.
#include <gtest/gtest.h>

#include "asm/isa/words.h"
#include "support.h"

TEST(StatementWords, EveryWordIsFoundAndOrdered) {
    ASSERT_EQ(statement_word_count(), 288);
    for (int32_t i = 0; i < statement_word_count(); ++i) {
        std::string_view w = statement_word_at(i);
        SCOPED_TRACE(std::string(w));
        const StatementWord* found = find_statement_word(w);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->word, w);
        if (i > 0) {
            EXPECT_LT(statement_word_at(i - 1), w);
        }
    }
    for (const char* w : {"add", "add.x", "nop.b", "lock", "if", "", "dc", "move.q", "a"})
        EXPECT_EQ(find_statement_word(w), nullptr) << w;
}

TEST(StatementWords, ConditionNumbers) {
    struct Row {
        const char* cc;
        int cond;
    };
    const Row rows[] = {
        {"vs", 0}, {"vc", 1}, {"cs", 2}, {"lo", 2}, {"cc", 3},  {"hs", 3},  {"eq", 4},  {"ne", 5},  {"ls", 6},
        {"hi", 7}, {"mi", 8}, {"pl", 9}, {"ps", 10}, {"pc", 11}, {"lt", 12}, {"ge", 13}, {"le", 14}, {"gt", 15},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cc);
        for (const char* suffix : {".b", ".w", ".l"}) {
            const StatementWord* b = find_statement_word(std::string("b") + row.cc + suffix);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->family, FAM_BRANCH);
            EXPECT_EQ(b->cond, row.cond);
        }
        const StatementWord* s = find_statement_word(std::string("s") + row.cc + ".b");
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->family, FAM_MULBIT);
        EXPECT_EQ(s->cond, row.cond);
    }
}

TEST(StatementWords, UnknownWordCodes) {
    struct Row {
        const char* source;
        int32_t code;
    };
    const Row rows[] = {
        {" add\n", 145}, {" frob\n", 150}, {" go\n", 151}, {" kill\n", 155}, {" quit\n", 161},
        {" yes\n", 169}, {" zap\n", 170}, {" .x\n", 5},    {" _x\n", 5},     {" @x\n", 5},
        {" lock\n", 156}, {" nop.b\n", 158}, {" dc\n", 148},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.source);
        EXPECT_EQ(assemble(row.source).report.code, row.code);
    }
}
