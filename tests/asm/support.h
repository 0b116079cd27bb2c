// In-memory assembly for tests: the source, the console input and the output files live in
// memory, and one call gives the code bytes, the listing, the console text and the report.
#pragma once

#include <map>
#include <span>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "asm/driver/asm_state.h"

struct AsmResult {
    std::string console;
    std::string listing;
    std::vector<uint8_t> code;
    bool listing_written = false;
    bool code_written = false;
    AsmReport report;
};

struct MemoryIo : AsmIo {
    std::map<std::string, std::string> files;   // readable files by name
    std::map<std::string, std::string> written; // files written, by name
    std::set<std::string> unwritable;          // names whose creation fails
    std::string console_in;
    size_t console_pos = 0;
    std::string console_out;

    std::unique_ptr<InStream> open_read(const std::string& name) override;
    std::unique_ptr<OutStream> open_write(const std::string& name, bool binary) override;
    int read_console_char() override;
    void write_console(std::string_view text) override { console_out.append(text); }
};

// Assembles `source` as t.mac, answering the prompt with "t".
AsmResult assemble(std::string_view source);
// Runs with the given files and console input; outputs are looked up by base name.
AsmResult assemble_with(MemoryIo& io, std::string_view base);

// "81 c2 05" style hex of the code bytes.
std::string hex_bytes(const std::vector<uint8_t>& bytes);
// The report line the assembler prints for a code, message and line.
std::string report_line(int32_t code, std::string_view message, int32_t line);

// A bare run object for unit tests of the operand core: symbols ready, segment mode and pass
// chosen, code bytes collected in memory, listing off.
struct UnitAsm {
    std::unique_ptr<Asm> a;
    std::string code;
};
std::unique_ptr<UnitAsm> make_unit_asm(bool seg32, bool pass2);
// The code bytes emitted so far, as "81 c2 05".
std::string unit_hex(UnitAsm& u);

// A multi-line source and what it must give: the code bytes when code is 0, otherwise the
// report code, its line and (when not -1) its message index.
struct SourceCase {
    const char* name;
    const char* source;
    const char* bytes;
    int32_t code;
    int32_t line;
    int32_t message = -1;
};

void check_source_cases(std::span<const SourceCase> cases);
