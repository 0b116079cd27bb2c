// The bundled example programs assemble with "Normales Ende" into the code files shown here
// (each checked by disassembly when it was written).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support.h"

namespace {

std::string read_example(const char* name) {
    std::ifstream in(std::filesystem::path(ZV_SOURCE_DIR) / "examples" / name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string compact_hex(const std::vector<uint8_t>& bytes) {
    std::string h = hex_bytes(bytes);
    std::erase(h, ' ');
    return h;
}

}  // namespace

TEST(Examples, CodeFiles) {
    struct Row {
        const char* file;
        const char* code;  // the whole code file, in hex
    };
    const Row rows[] = {
        {"lib32.mac",
         "b9ffffffffb000f2aef7d14989c8c3f3a4c3b800000000030681c604000000e2f6c383f9017706b801000000c35149e8"
         "eeffffff59f7e1c3"},
        {"table.mac",
         "5a5654310002000800000010000000000000000001000000040000000900000010000000190000002400000031000000"
         "040007006f6b006572726f7200ffffff"},
        {"demo.mac",
         "5a5641534d2064656d6f0d0a000000000e0000b864636261616263640306ffffffff0f0001020303280000b8"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        AsmResult r = assemble(read_example(row.file));
        ASSERT_EQ(r.report.code, 0) << r.console;
        EXPECT_EQ(compact_hex(r.code), row.code);
    }
}

TEST(Examples, BootSectorFillsOneSector) {
    AsmResult r = assemble(read_example("boot.mac"));
    ASSERT_EQ(r.report.code, 0) << r.console;
    ASSERT_EQ(r.code.size(), 512u);
    EXPECT_EQ(r.code[510], 0x55);
    EXPECT_EQ(r.code[511], 0xAA);
    std::vector<uint8_t> head(r.code.begin(), r.code.begin() + 24);
    // mov ax,0; mov ds,ax; mov si,7C18h; mov ah,0Eh; mov bh,0; lodsb; test al,al; je; int 10h;
    // jmp; hlt; jmp
    EXPECT_EQ(compact_hex(head), "b800008ed8be187cb40eb700ac84c07404cd10ebf7f4ebfd");
    EXPECT_EQ(std::string(r.code.begin() + 24, r.code.begin() + 40), "Hello from zvasm");
}
