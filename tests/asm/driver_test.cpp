// The run as a whole: console dialogue, report line, passes and files, conditional assembly,
// equates, the listing layout and the blk warning.
#include <gtest/gtest.h>

#include "support.h"

namespace {

constexpr const char* BANNER =
    "\n  *****************************************************"
    "\n  *                                                   *"
    "\n  *   ZZZZZ   OOO   RRRR   V   V  EEEEE  N   N   AAA  *"
    "\n  *      Z   O   O  R   R  V   V  E      NN  N  A   A *"
    "\n  *     Z    O   O  RRRR   V   V  EEEE   N N N  AAAAA *"
    "\n  *    Z     O   O  R  R    V V   E      N  NN  A   A *"
    "\n  *   ZZZZZ   OOO   R   R    V    EEEEE  N   N  A   A *"
    "\n  *                                                   *"
    "\n  *   ZORVENA                                         *"
    "\n  *   486                         Version 0.39        *"
    "\n  *   Assembler                     21.03.08          *"
    "\n  *                                                   *"
    "\n  *                                                   *"
    "\n  *****************************************************"
    "\n\n";

AsmResult run_with_name(const std::string& console_in, const std::string& file, const std::string& base) {
    MemoryIo io;
    io.files[file] = " nop\n";
    io.console_in = console_in;
    return assemble_with(io, base);
}

std::string listing_line(const std::string& listing, int n) {
    size_t pos = 0;
    for (int i = 0; i < n; ++i) pos = listing.find('\n', pos) + 1;
    return listing.substr(pos, listing.find('\n', pos) - pos);
}

}  // namespace

TEST(Driver, ConsoleDialogueAndNormalEnd) {
    AsmResult r = assemble(" nop\n");
    std::string expected = std::string(BANNER) + "\n\n  Filename (ohne .mac): " + "\n Pass 1\n" + " Pass 2\n" +
                           report_line(0, "Normales Ende", 2);
    EXPECT_EQ(r.console, expected);
    EXPECT_EQ(r.report.code, 0);
}

TEST(Driver, BaseNameReading) {
    struct Row {
        const char* typed;
        const char* file;  // the source that must be opened
        const char* base;  // base of the outputs
    };
    const Row rows[] = {
        {"abcdefghij\n", "abcdefgh.mac", "abcdefgh"},
        {"abc\n", "abc.mac", "abc"},
        {"\n", ".mac", ""},
        {"abc\r\n", "abc.mac", "abc"},
        {"abc", "abc.mac", "abc"},  // the input ends without a line feed
        {"", ".mac", ""},
        {"Prog\n", "Prog.mac", "Prog"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        AsmResult r = run_with_name(row.typed, row.file, row.base);
        EXPECT_EQ(r.report.code, 0) << r.console;
        EXPECT_EQ(hex_bytes(r.code), "90");
    }
    AsmResult missing = run_with_name("other\n", "abc.mac", "other");
    EXPECT_EQ(missing.report.code, 1);
    EXPECT_EQ(missing.report.line, 1);
    EXPECT_NE(missing.console.find(report_line(1, "Quelltextdatei konnte nicht geoeffnet werden", 1)),
              std::string::npos);
    EXPECT_FALSE(missing.listing_written);
}

TEST(Driver, OutputFilesThatCannotBeCreated) {
    for (auto [name, code] : {std::pair{"t.lst", 3}, std::pair{"t.com", 4}}) {
        MemoryIo io;
        io.files["t.mac"] = " nop\n";
        io.console_in = "t\n";
        io.unwritable.insert(name);
        AsmResult r = assemble_with(io, "t");
        EXPECT_EQ(r.report.code, code);
    }
}

TEST(Driver, LinesAreCountedToTheEnd) {
    std::string ten;
    for (int i = 0; i < 10; ++i) ten += " nop\n";
    EXPECT_EQ(assemble(ten).report.line, 11);
    EXPECT_EQ(assemble(ten.substr(0, ten.size() - 1)).report.line, 11);

    AsmResult empty = assemble("");
    EXPECT_EQ(empty.report.code, 0);
    EXPECT_EQ(empty.report.line, 1);
    EXPECT_TRUE(empty.code_written);
    EXPECT_TRUE(empty.code.empty());
    EXPECT_EQ(empty.listing, "\n");

    // A last line without a line feed that holds only a label: defined, not counted.
    AsmResult tail = assemble(" dc.b x\nx:");
    EXPECT_EQ(tail.report.code, 0);
    EXPECT_EQ(tail.report.line, 2);
    EXPECT_EQ(hex_bytes(tail.code), "01");
}

TEST(Driver, ErrorsInEachPassLeaveTheRightFiles) {
    AsmResult p1 = assemble(" nop\n dc.b 300\n");
    EXPECT_EQ(p1.console.substr(p1.console.size() - report_line(90, "Byte-Wert zu gross", 2).size()),
              report_line(90, "Byte-Wert zu gross", 2));
    EXPECT_EQ(p1.console.find(" Pass 2"), std::string::npos);
    EXPECT_FALSE(p1.listing_written);
    EXPECT_FALSE(p1.code_written);

    // Pass 2: the bytes emitted before the check stay in the files, the line is not echoed.
    AsmResult p2 = assemble(" nop\n dc.b 1,nowhere\n");
    EXPECT_EQ(p2.report.code, 286);
    EXPECT_EQ(p2.report.line, 2);
    EXPECT_EQ(hex_bytes(p2.code), "90 01");
    EXPECT_EQ(p2.listing.find("dc.b"), std::string::npos);
    EXPECT_NE(p2.listing.find("nop"), std::string::npos);
}

TEST(Driver, ConditionalAssembly) {
    struct Row {
        const char* name;
        std::string source;
        int32_t code;
        const char* bytes;
    };
    std::string nested11, nested12;
    for (int i = 0; i < 11; ++i) nested11 += " if 1\n";
    nested11 += " dc.b 1\n";
    for (int i = 0; i < 11; ++i) nested11 += " endif\n";
    nested12 = " if 1\n" + nested11 + " endif\n";
    const Row rows[] = {
        {"true branch", " if 1\n dc.b 1\n else\n dc.b 2\n endif\n", 0, "01"},
        {"false branch", " if 0\n dc.b 1\n else\n dc.b 2\n endif\n", 0, "02"},
        {"nested in skipped", " if 0\n if undefined\n dc.b 1\n else\n dc.b 2\n endif\n endif\n dc.b 3\n", 0, "03"},
        {"labels and equates skipped", " if 0\nx: nop\ny = 1\n endif\n dc.b x\n", 286, ""},
        {"eleven deep", nested11, 0, "01"},
        {"twelve deep", nested12, 8, ""},
        {"forward symbol in condition", " if later\n endif\nlater = 1\n", 9, ""},
        {"second else", " if 1\n else\n else\n endif\n", 10, ""},
        {"else outside", " else\n", 10, ""},
        {"else after else taken", " if 0\n else\n else\n endif\n", 10, ""},
        {"endif outside", " endif\n", 11, ""},
        {"open if at end", " if 1\n nop\n", 7, ""},
        {"else of inner skip", " if 0\n if 1\n dc.b 1\n else\n dc.b 2\n endif\n endif\n", 0, ""},
        {"operand after else", " if 1\n else 5\n endif\n", 346, ""},
        {"operand after endif in skip", " if 0\n endif x\n", 346, ""},
        {"condition reads one operand", " if 1,2\n endif\n", 346, ""},
        {"lock before true if", " lock if 1\n endif\n", 6, ""},
        {"lock before false if", " lock if 0\n endif\n", 0, ""},
        {"lock in skipped line", " if 0\n lock nop\n endif\n", 0, ""},
        {"bad char in skipped line", " if 0\n 1nop\n endif\n", 340, ""},
        {"condition with symbol", "x = 3\n if x==3\n dc.b x\n endif\n", 0, "03"},
        // The quote opened in a skipped line is still open: its ';' is no comment.
        {"skipped quote keeps state", " if 0\n dc.b ';\n endif ;'\n", 346, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AsmResult r = assemble(row.source);
        EXPECT_EQ(r.report.code, row.code) << r.console;
        if (row.code == 0) {
            EXPECT_EQ(hex_bytes(r.code), row.bytes);
        }
    }
    // An open if is found at the end of pass 1: no files.
    AsmResult open_if = assemble(" if 1\n");
    EXPECT_FALSE(open_if.listing_written);
}

TEST(Driver, Equates) {
    AsmResult r = assemble("x = y\n dc.b x\ny = 5\n");
    EXPECT_EQ(r.report.code, 0);
    EXPECT_EQ(hex_bytes(r.code), "05");
    EXPECT_EQ(assemble("x = 1\nx = 2\n").report.code, 343);
    EXPECT_EQ(assemble("@x = 1\n@x = 2\n dc.b @x\n").report.code, 0);
    EXPECT_EQ(assemble("x == 1\n label_block\n dc.b x\n").report.code, 0);
    EXPECT_EQ(assemble("x = 1\n label_block\n dc.b x\n").report.code, 286);
    EXPECT_EQ(assemble("x = \n").report.code, 288);
}

TEST(Listing, LayoutOfBytesAndSource) {
    AsmResult r = assemble(" dc.b 1,2,3,4,5,6,7\n dc.w $1234\n dc.l $12345678\n\n nop\n");
    ASSERT_EQ(r.report.code, 0);
    EXPECT_EQ(listing_line(r.listing, 0), "00000000: 00000000: 01 02 03 04 05 06 ");
    EXPECT_EQ(listing_line(r.listing, 1), "00000006: 00000006: 07                   dc.b 1,2,3,4,5,6,7");
    EXPECT_EQ(listing_line(r.listing, 2), "00000007: 00000007: 1234                 dc.w $1234");
    EXPECT_EQ(listing_line(r.listing, 3), "00000009: 00000009: 12345678             dc.l $12345678");
    EXPECT_EQ(listing_line(r.listing, 4), std::string(40, ' '));
    EXPECT_EQ(listing_line(r.listing, 5), "0000000d: 0000000d: 90                   nop");
    EXPECT_EQ(hex_bytes(r.code), "01 02 03 04 05 06 07 34 12 78 56 34 12 90");

    // Three words or two doublewords per listing line.
    r = assemble(" dc.w 1,2,3,4\n dc.l 1,2,3\n");
    EXPECT_EQ(listing_line(r.listing, 0), "00000000: 00000000: 0001 0002 0003 ");
    EXPECT_EQ(listing_line(r.listing, 1), "00000006: 00000006: 0004                 dc.w 1,2,3,4");
    EXPECT_EQ(listing_line(r.listing, 2), "00000008: 00000008: 00000001 00000002 ");
    EXPECT_EQ(listing_line(r.listing, 3), "00000010: 00000010: 00000003             dc.l 1,2,3");

    // Tabs are echoed as spaces; a carriage return before the line feed as a space.
    r = assemble("\tnop\r\n");
    EXPECT_EQ(listing_line(r.listing, 0), "00000000: 00000000: 90 " + std::string(17, ' ') + " nop ");
}

TEST(Listing, SymbolDump) {
    AsmResult r = assemble("alpha: nop\nb::\n_loc: nop\n@anon: nop\nfwd = later\nabcdefghijklmnopqrst:\n"
                           "c = $12345678\n label_block\nalpha: nop\n");
    ASSERT_EQ(r.report.code, 0);
    std::string dump = r.listing.substr(r.listing.rfind("alpha: nop\n") + 11);
    EXPECT_EQ(dump,
              "\n\nalpha.......... 00000000   b.............. 00000001   abcdefghijklmnopqrst 00000003"
              "\nc.............. 12345678   alpha.......... 00000003");
}

TEST(Listing, NolistAndListNest) {
    AsmResult r = assemble(" dc.b 1\n nolist\n dc.b 2\n nolist\n list\n dc.b 3\n list\n dc.b 4\n");
    ASSERT_EQ(r.report.code, 0);
    EXPECT_EQ(hex_bytes(r.code), "01 02 03 04");
    EXPECT_EQ(r.listing.find("dc.b 2"), std::string::npos);
    EXPECT_EQ(r.listing.find("dc.b 3"), std::string::npos);
    EXPECT_EQ(r.listing.find(" nolist"), std::string::npos);
    EXPECT_NE(r.listing.find("                                         list\n00000003: 00000003: 04"),
              std::string::npos);
    // More nolist than list at the end: no symbol dump either.
    r = assemble("x: nop\n nolist\n");
    EXPECT_EQ(r.listing.find("x......"), std::string::npos);
    // An extra list lets one nolist pass.
    r = assemble(" list\n nolist\n dc.b 5\n");
    EXPECT_NE(r.listing.find("dc.b 5"), std::string::npos);
}

TEST(Listing, BlkWarning) {
    AsmResult r = assemble(" blk.b 16\n nop\n nop\n blk.w 4,$1234\n");
    ASSERT_EQ(r.report.code, 0);
    EXPECT_EQ(hex_bytes(r.code), "90 90 34 12 34 12 34 12 34 12");
    std::string warning =
        "\nACHTUNG: Code generiert nach blk-Anweisung in Zeile 2\nblk reserviert keinen Speicherplatz\n";
    EXPECT_EQ(r.console.find(warning), r.console.rfind(warning));
    EXPECT_NE(r.console.find(" Pass 2\n" + warning), std::string::npos);
    EXPECT_NE(r.listing.find("00000000: 00000010: 90"), std::string::npos);

    // even aligns the address, evencom the file position.
    r = assemble(" blk.b 3\n even\n dc.b @\n");
    EXPECT_EQ(hex_bytes(r.code), "00 04");
    r = assemble(" blk.b 3\n evencom\n dc.b @,@@\n");
    EXPECT_EQ(hex_bytes(r.code), "03 01");
    r = assemble(" seg32\n blk.b -2\n dc.b 1\n");
    EXPECT_EQ(r.report.code, 0);
}

TEST(Listing, SegmentModeRestartsEachPass) {
    // If seg32 carried into pass 2, the seg16 label would be defined under a different mode;
    // here both passes must start alike, observable through the listing of the first line.
    AsmResult r = assemble(" dc.b 1\n seg32\n");
    EXPECT_EQ(r.report.code, 0);
}
