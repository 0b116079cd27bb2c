// zvasm: binds the run to the real files and the console; the exit status tells whether the
// report was the normal end.
#include <cstdio>

#include "asm/driver/asm_state.h"

namespace {

struct FileIn : InStream {
    std::FILE* f;
    explicit FileIn(std::FILE* file) : f(file) {}
    ~FileIn() override { std::fclose(f); }
    size_t read(uint8_t* buf, size_t n) override { return std::fread(buf, 1, n, f); }
};

struct FileOut : OutStream {
    std::FILE* f;
    explicit FileOut(std::FILE* file) : f(file) {}
    ~FileOut() override { close(); }
    void write(const uint8_t* data, size_t n) override {
        if (f) std::fwrite(data, 1, n, f);
    }
    void close() override {
        if (f) std::fclose(f);
        f = nullptr;
    }
};

struct ConsoleIo : AsmIo {
    std::unique_ptr<InStream> open_read(const std::string& name) override {
        std::FILE* f = std::fopen(name.c_str(), "rb");
        return f ? std::make_unique<FileIn>(f) : nullptr;
    }
    std::unique_ptr<OutStream> open_write(const std::string& name, bool binary) override {
        std::FILE* f = std::fopen(name.c_str(), binary ? "wb" : "w");
        if (!f) return nullptr;
        std::setvbuf(f, nullptr, _IONBF, 0);  // the run writes through its own large buffers
        return std::make_unique<FileOut>(f);
    }
    int read_console_char() override {
        int c = std::getchar();
        return c == EOF ? -1 : c;
    }
    void write_console(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stdout); }
    void flush_console() override { std::fflush(stdout); }
};

}  // namespace

int main() {
    ConsoleIo io;
    AsmReport report = run_assembler(io);
    return report.code == 0 ? 0 : 1;
}
