// Relative branches against GNU as: both encodings are disassembled by objdump and must name
// the same instruction and the same decoded target address. Skipped when binutils is absent.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "support.h"

namespace {

namespace fs = std::filesystem;

struct RelRow {
    int mode;           // 16 or 32
    std::string ours;   // statement, "T" stands for the target address
    std::string gnu;    // GNU as intel statement, branching to the label t
    uint32_t place;     // address of the branch
    uint32_t target;
};

bool have_binutils() {
    return std::system("command -v as >/dev/null 2>&1 && command -v objdump >/dev/null 2>&1 && "
                       "command -v objcopy >/dev/null 2>&1") == 0;
}

std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%x", v);
    return buf;
}

// The instruction text objdump gives for the bytes at `place`, blanks collapsed.
std::string disassemble(const fs::path& bin, int mode, uint32_t place, const fs::path& out) {
    std::string cmd = "objdump -D -b binary -M intel -m " + std::string(mode == 16 ? "i8086" : "i386") +
                      " --start-address=" + std::to_string(place) + " " + bin.string() + " > " + out.string();
    if (std::system(cmd.c_str()) != 0) return "objdump failed";
    std::istringstream in(read_file(out));
    std::string line;
    while (std::getline(in, line)) {
        size_t colon = line.find(":\t");
        if (colon == std::string::npos) continue;
        size_t tab = line.find('\t', colon + 2);
        if (tab == std::string::npos) continue;
        std::string text;
        for (char c : line.substr(tab + 1))
            if (c != ' ' || (!text.empty() && text.back() != ' ')) text += c;
        return text;
    }
    return "no instruction";
}

std::vector<RelRow> rows() {
    struct Cond {
        const char* cc;
        const char* jcc;
    };
    static constexpr Cond CONDS[] = {
        {"vs", "jo"}, {"vc", "jno"}, {"cs", "jb"},  {"lo", "jb"},  {"cc", "jae"}, {"hs", "jae"},
        {"eq", "je"}, {"ne", "jne"}, {"ls", "jbe"}, {"hi", "ja"},  {"mi", "js"},  {"pl", "jns"},
        {"ps", "jp"}, {"pc", "jnp"}, {"lt", "jl"},  {"ge", "jge"}, {"le", "jle"}, {"gt", "jg"},
    };
    std::vector<RelRow> r;
    for (const Cond& c : CONDS) {
        std::string b = std::string("b") + c.cc;
        std::string j = c.jcc;
        // Each condition in one mode per width; the widths' prefixes differ by mode.
        bool odd = (&c - CONDS) % 2 != 0;
        r.push_back({odd ? 16 : 32, b + ".b T", j + " t", 0x40, odd ? 0x10u : 0xB0u});
        if (odd)
            r.push_back({16, b + ".w T", j + " t", 0x40, 0x1234});
        else
            r.push_back({32, b + ".w T", "data16 " + j + " t", 0x1240, 0x100});
        if (odd)
            r.push_back({32, b + ".l T", j + " t", 0x40, 0x9000});
        else
            r.push_back({16, b + ".l T", "data32 " + j + " t", 0x2000, 0x20});
    }
    const RelRow OTHERS[] = {
        {16, "br.b T", "jmp t", 0x100, 0x82},
        {32, "br.b T", "jmp t", 0x100, 0x181},
        {16, "br.w T", "jmp t", 0x40, 0x8000},
        {32, "br.w T", "data16 jmp t", 0x4000, 0x40},
        {16, "br.l T", "data32 jmp t", 0x40, 0x5000},
        {32, "br.l T", "jmp t", 0x5000, 0x40},
        {16, "bsr.w T", "call t", 0x40, 0x40},
        {32, "bsr.w T", "data16 call t", 0x40, 0x3000},
        {16, "bsr.l T", "data32 call t", 0x3000, 0x10},
        {32, "bsr.l T", "call t", 0x40, 0x40},
        {16, "dbf.w r2,T", "loop t", 0x40, 0x20},
        {32, "dbf.w r2,T", "addr16 loop t", 0x40, 0x60},
        {16, "dbf.l r2,T", "addr32 loop t", 0x40, 0x60},
        {32, "dbf.l r2,T", "loop t", 0x40, 0x20},
        {16, "dbeq.w r2,T", "loopne t", 0x40, 0x50},
        {32, "dbeq.w r2,T", "addr16 loopne t", 0x40, 0x30},
        {16, "dbne.l r2,T", "addr32 loope t", 0x40, 0x45},
        {32, "dbne.l r2,T", "loope t", 0x40, 0x43},
        {16, "beqr2w.b T", "jcxz t", 0x40, 0x90},
        {32, "beqr2w.b T", "jcxz t", 0x40, 0x10},
        {16, "beqr2l.b T", "jecxz t", 0x40, 0x10},
        {32, "beqr2l.b T", "jecxz t", 0x40, 0x90},
        {32, "word br.b T", "data16 jmp t", 0x40, 0x60},
        {16, "long br.b T", "data32 jmp t", 0x40, 0x20},
        {32, "word beq.b T", "data16 je t", 0x40, 0x30},
        {16, "long bne.b T", "data32 jne t", 0x40, 0x30},
    };
    r.insert(r.end(), std::begin(OTHERS), std::end(OTHERS));
    return r;
}

std::string replace_target(std::string s, const std::string& with) {
    size_t at = s.rfind('T');
    return s.substr(0, at) + with + s.substr(at + 1);
}

TEST(BranchDiff, DecodedTargetsMatchGnuAs) {
    if (!have_binutils()) GTEST_SKIP() << "GNU as, objcopy or objdump not found";
    fs::path dir = fs::temp_directory_path() / ("zv_branch_diff_" + std::to_string(getpid()));
    fs::create_directories(dir);
    int compared = 0;
    for (const RelRow& row : rows()) {
        std::string name = std::to_string(row.mode) + ": " + row.ours + " / " + row.gnu + " at " +
                           hex(row.place) + " to " + hex(row.target);
        SCOPED_TRACE(name);
        std::string ours_src = std::string(row.mode == 16 ? "seg16\n" : "seg32\n") + " blk.b " +
                               hex(row.place) + ",$90\n " + replace_target(row.ours, hex(row.target)) + "\n";
        AsmResult r = assemble(ours_src);
        ASSERT_EQ(r.report.code, 0) << r.console;
        {
            std::ofstream out(dir / "ours.bin", std::ios::binary);
            out.write(reinterpret_cast<const char*>(r.code.data()), static_cast<std::streamsize>(r.code.size()));
        }
        std::ostringstream gnu;
        gnu << ".intel_syntax noprefix\n.code" << row.mode << "\n";
        if (row.target <= row.place)
            gnu << ".org " << row.target << "\nt:\n.org " << row.place << "\n" << row.gnu << "\n";
        else
            gnu << ".org " << row.place << "\n" << row.gnu << "\n.org " << row.target << "\nt:\n nop\n";
        {
            std::ofstream out(dir / "gnu.s");
            out << gnu.str();
        }
        std::string build = "as --32 " + (dir / "gnu.s").string() + " -o " + (dir / "gnu.o").string() +
                            " 2>" + (dir / "as.err").string() + " && objcopy -O binary -j .text " +
                            (dir / "gnu.o").string() + " " + (dir / "gnu.bin").string();
        ASSERT_EQ(std::system(build.c_str()), 0) << read_file(dir / "as.err");
        std::string ours = disassemble(dir / "ours.bin", row.mode, row.place, dir / "ours.txt");
        std::string theirs = disassemble(dir / "gnu.bin", row.mode, row.place, dir / "gnu.txt");
        EXPECT_EQ(ours, theirs);
        char want[16];
        std::snprintf(want, sizeof want, "0x%x", row.target);
        EXPECT_NE(ours.find(want), std::string::npos) << ours;
        ++compared;
    }
    fs::remove_all(dir);
    EXPECT_EQ(compared, 18 * 3 + 26);
}

}  // namespace
