// In-memory seam for the assembler tests.
#include "support.h"

#include <gtest/gtest.h>

#include <cstring>

#include "asm/driver/diagnostics.h"

namespace {

struct StringIn : InStream {
    std::string data;
    size_t pos = 0;
    explicit StringIn(std::string d) : data(std::move(d)) {}
    size_t read(uint8_t* buf, size_t n) override {
        size_t k = std::min(n, data.size() - pos);
        std::memcpy(buf, data.data() + pos, k);
        pos += k;
        return k;
    }
};

struct StringOut : OutStream {
    std::string* target;
    explicit StringOut(std::string* t) : target(t) {}
    void write(const uint8_t* data, size_t n) override {
        target->append(reinterpret_cast<const char*>(data), n);
    }
    void close() override {}
};

}  // namespace

std::unique_ptr<InStream> MemoryIo::open_read(const std::string& name) {
    auto it = files.find(name);
    if (it == files.end()) return nullptr;
    return std::make_unique<StringIn>(it->second);
}

std::unique_ptr<OutStream> MemoryIo::open_write(const std::string& name, bool) {
    if (unwritable.count(name)) return nullptr;
    written[name].clear();
    return std::make_unique<StringOut>(&written[name]);
}

int MemoryIo::read_console_char() {
    if (console_pos >= console_in.size()) return -1;
    return static_cast<uint8_t>(console_in[console_pos++]);
}

AsmResult assemble_with(MemoryIo& io, std::string_view base) {
    AsmResult r;
    r.report = run_assembler(io);
    r.console = io.console_out;
    std::string b(base);
    if (auto it = io.written.find(b + ".lst"); it != io.written.end()) {
        r.listing = it->second;
        r.listing_written = true;
    }
    if (auto it = io.written.find(b + ".com"); it != io.written.end()) {
        r.code.assign(it->second.begin(), it->second.end());
        r.code_written = true;
    }
    return r;
}

AsmResult assemble(std::string_view source) {
    MemoryIo io;
    io.files["t.mac"] = std::string(source);
    io.console_in = "t\n";
    return assemble_with(io, "t");
}

std::string hex_bytes(const std::vector<uint8_t>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        if (!out.empty()) out.push_back(' ');
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

std::string report_line(int32_t code, std::string_view message, int32_t line) {
    return "\n\n" + std::to_string(code) + " : " + std::string(message) + " in Zeile " + std::to_string(line) + "\n";
}

#include "asm/front/symbols.h"

std::unique_ptr<UnitAsm> make_unit_asm(bool seg32, bool pass2) {
    auto u = std::make_unique<UnitAsm>();
    u->a = std::make_unique<Asm>();
    Asm& a = *u->a;
    init_symbols(a);
    a.seg32 = seg32;
    a.pass2 = pass2;
    a.list_level = -1;
    a.com.stream = std::make_unique<StringOut>(&u->code);
    a.com.buf.resize(256);
    return u;
}

std::string unit_hex(UnitAsm& u) {
    u.a->com.flush();
    return hex_bytes(std::vector<uint8_t>(u.code.begin(), u.code.end()));
}

void check_source_cases(std::span<const SourceCase> cases) {
    for (const SourceCase& c : cases) {
        SCOPED_TRACE(c.name);
        AsmResult r = assemble(c.source);
        EXPECT_EQ(r.report.code, c.code) << r.console;
        if (c.code == 0) {
            EXPECT_EQ(hex_bytes(r.code), c.bytes);
        } else {
            EXPECT_EQ(r.report.line, c.line);
            if (c.message >= 0) {
                EXPECT_EQ(r.report.message, c.message);
            }
        }
    }
}
