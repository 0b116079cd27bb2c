// End-to-end runs of the built zvasm program: its prompt, real files in a temporary
// directory, the console and the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct ProgramRun {
    int status = -1;
    std::string console;
};

// Runs zvasm in dir with `typed` as its standard input.
ProgramRun run_zvasm(const fs::path& dir, const std::string& typed) {
    fs::path input = dir / "stdin.txt";
    std::ofstream(input, std::ios::binary) << typed;
    std::string cmd = "cd '" + dir.string() + "' && '" + ZVASM_BINARY + "' < stdin.txt 2>&1";
    ProgramRun run;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return run;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) run.console.append(buf, n);
    int st = pclose(p);
    run.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return run;
}

std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct TempDir {
    fs::path path;
    TempDir() {
        char tmpl[] = "/tmp/zvasm-e2e-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
};

}  // namespace

TEST(EndToEnd, AssemblesThroughThePrompt) {
    TempDir d;
    std::ofstream(d.path / "prog.mac") << "start: dc.b 'Hi'\n dc.w start\n nop\n";
    ProgramRun run = run_zvasm(d.path, "prog\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.console.find("Filename (ohne .mac): "), std::string::npos);
    EXPECT_TRUE(run.console.ends_with("\n\n0 : Normales Ende in Zeile 4\n")) << run.console;
    EXPECT_EQ(read_file(d.path / "prog.com"), std::string("Hi\0\0\x90", 5));
    std::string lst = read_file(d.path / "prog.lst");
    EXPECT_EQ(lst.substr(0, lst.find('\n')), "00000000: 00000000: 48 69 " + std::string(14, ' ') + "start: dc.b 'Hi'");
}

TEST(EndToEnd, ExitStatusFollowsTheReport) {
    TempDir d;
    std::ofstream(d.path / "bad.mac") << " nop\n dc.b 300\n";
    ProgramRun run = run_zvasm(d.path, "bad");  // no line feed: the name ends at the input's end
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.console.ends_with("\n\n90 : Byte-Wert zu gross in Zeile 2\n")) << run.console;
    EXPECT_FALSE(fs::exists(d.path / "bad.lst"));

    run = run_zvasm(d.path, "missing\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.console.ends_with("\n\n1 : Quelltextdatei konnte nicht geoeffnet werden in Zeile 1\n"));

    run = run_zvasm(d.path, "");  // empty input: the name is empty, ".mac" is missing
    EXPECT_EQ(run.status, 1);
}

TEST(EndToEnd, ListingThatCannotBeCreated) {
    TempDir d;
    std::ofstream(d.path / "p.mac") << " nop\n";
    fs::create_directory(d.path / "p.lst");  // a directory where the listing should go
    ProgramRun run = run_zvasm(d.path, "p\n");
    EXPECT_EQ(run.status, 1);
    // The files are created before the counters are reset for pass 2.
    EXPECT_TRUE(run.console.ends_with("\n\n3 : Listdatei konnte nicht geoeffnet werden in Zeile 2\n"));
}
