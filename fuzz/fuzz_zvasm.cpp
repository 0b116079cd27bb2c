// libFuzzer target for zvasm: the whole run (dialogue, both passes, listing and code file) on
// arbitrary source text, in process through an in-memory file and console seam.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "asm/driver/asm_state.h"
#include "asm/driver/diagnostics.h"

namespace {

// Output kept per file; the rest is only counted.
constexpr size_t KEEP_LIMIT = size_t{1} << 20;
// A run that writes more than this in total (a long fill or alignment in pass 2) is stopped:
// its output is correct but too large to be worth waiting for.
constexpr size_t TOTAL_LIMIT = size_t{16} << 20;

// Thrown by the seam when a run exceeds TOTAL_LIMIT; never thrown by the assembler itself.
struct OutputLimit {};

struct OutFile {
    std::string kept;
    size_t written = 0;
    bool opened = false;
    bool closed = false;
};

struct FuzzIo;

struct FuzzIn : InStream {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    FuzzIn(const uint8_t* d, size_t n) : data(d), size(n) {}
    size_t read(uint8_t* buf, size_t n) override {
        size_t k = n < size - pos ? n : size - pos;
        if (k > 0) std::memcpy(buf, data + pos, k);
        pos += k;
        return k;
    }
};

struct FuzzOut : OutStream {
    OutFile* file;
    size_t* total;
    FuzzOut(OutFile* f, size_t* t) : file(f), total(t) {}
    void write(const uint8_t* data, size_t n) override {
        if (file->closed) std::abort();
        size_t keep = file->kept.size() < KEEP_LIMIT ? KEEP_LIMIT - file->kept.size() : 0;
        file->kept.append(reinterpret_cast<const char*>(data), n < keep ? n : keep);
        file->written += n;
        *total += n;
        if (*total > TOTAL_LIMIT) throw OutputLimit{};
    }
    void close() override { file->closed = true; }
};

struct FuzzIo : AsmIo {
    const uint8_t* source;
    size_t source_size;
    std::map<std::string, OutFile> outputs;
    size_t total = 0;
    std::string console_in = "t\n";
    size_t console_pos = 0;
    std::string console_out;

    FuzzIo(const uint8_t* d, size_t n) : source(d), source_size(n) {}

    std::unique_ptr<InStream> open_read(const std::string& name) override {
        if (name != "t.mac") return nullptr;
        return std::make_unique<FuzzIn>(source, source_size);
    }
    std::unique_ptr<OutStream> open_write(const std::string& name, bool) override {
        OutFile& f = outputs[name];
        if (f.opened) std::abort();  // each output is created once per run
        f.opened = true;
        return std::make_unique<FuzzOut>(&f, &total);
    }
    int read_console_char() override {
        if (console_pos >= console_in.size()) return -1;
        return static_cast<uint8_t>(console_in[console_pos++]);
    }
    void write_console(std::string_view text) override {
        if (console_out.size() < KEEP_LIMIT) console_out.append(text.substr(0, KEEP_LIMIT));
        total += text.size();
        if (total > TOTAL_LIMIT) throw OutputLimit{};
    }
};

[[noreturn]] void fail(const char* what, const FuzzIo& io) {
    std::fprintf(stderr, "fuzz_zvasm: %s\nconsole tail: %s\n", what,
                 io.console_out.substr(io.console_out.size() > 200 ? io.console_out.size() - 200 : 0).c_str());
    std::abort();
}

bool ends_with(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzIo io(data, size);
    AsmReport report;
    try {
        report = run_assembler(io);
    } catch (const OutputLimit&) {
        return 0;
    }
    if (report.message < 0 || report.message >= MSG_COUNT) fail("message index out of range", io);
    if (report.code < 0) fail("negative report code", io);
    std::string line = "\n\n" + std::to_string(report.code) + " : " +
                       std::string(MessageTable[static_cast<size_t>(report.message)]) + " in Zeile " +
                       std::to_string(report.line) + "\n";
    if (!ends_with(io.console_out, line)) fail("the console does not end with the report line", io);
    for (const auto& [name, file] : io.outputs)
        if (!file.closed) fail("an output file was left open", io);
    if (report.code == 0) {
        if (report.message != MSG_NORMAL_END) fail("code 0 with another message", io);
        if (!io.outputs.count("t.lst") || !io.outputs.count("t.com")) fail("normal end without both outputs", io);
    }
    return 0;
}
