// The run object of one assembly: every piece of state the passes share, the symbol table,
// the statement buffers and the file/console seam. One Asm is created per assembly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// ---- file and console seam --------------------------------------------------------------

struct InStream {
    virtual ~InStream() = default;
    // Reads up to n bytes; returns the count, 0 at the end of the input.
    virtual size_t read(uint8_t* buf, size_t n) = 0;
};

struct OutStream {
    virtual ~OutStream() = default;
    virtual void write(const uint8_t* data, size_t n) = 0;
    virtual void close() = 0;
};

struct AsmIo {
    virtual ~AsmIo() = default;
    // nullptr when the file cannot be opened.
    virtual std::unique_ptr<InStream> open_read(const std::string& name) = 0;
    virtual std::unique_ptr<OutStream> open_write(const std::string& name, bool binary) = 0;
    // One character of the console line, or -1 at the end of the input.
    virtual int read_console_char() = 0;
    virtual void write_console(std::string_view text) = 0;
    virtual void flush_console() {}
};

// Buffered byte reader over an InStream, with getc-like results (0..255, -1 at the end).
struct SourceIn {
    std::unique_ptr<InStream> stream;
    std::vector<uint8_t> buf;
    size_t pos = 0;
    size_t len = 0;

    int get() {
        if (pos == len && !refill()) return -1;
        return buf[pos++];
    }
    bool refill();
    void close() { stream.reset(); pos = len = 0; }
    bool is_open() const { return stream != nullptr; }
};

// Buffered writer over an OutStream.
struct OutBuf {
    std::unique_ptr<OutStream> stream;
    std::vector<uint8_t> buf;
    size_t len = 0;

    void put(uint8_t c) {
        if (len == buf.size()) flush();
        buf[len++] = c;
    }
    void put_n(const void* data, size_t n);
    void flush();
    void close();
    bool is_open() const { return stream != nullptr; }
};

// ---- shared constants ---------------------------------------------------------------------

enum SizeClass : int32_t {
    EVAL_UNDEFINED = 0,
    SIZE_BYTE = 1,
    SIZE_WORD = 2,
    SIZE_LONG = 3,
};

enum PendingPrefix : int32_t {
    PREFIX_NONE = 0,
    PREFIX_REP = 1,
    PREFIX_REPEQ = 2,
    PREFIX_REPNE = 3,
    PREFIX_LOCK = 4,
    PREFIX_WORD = 5,
    PREFIX_LONG = 6,
};

enum CondState : int32_t {
    COND_ELSE_SKIP = -3,
    COND_INNER_SKIP = -2,
    COND_FALSE = -1,
    COND_NONE = 0,
    COND_TRUE = 1,
    COND_ELSE_TAKEN = 2,
};

enum SymbolKind : int8_t {
    SYM_SEPARATOR = 0,
    SYM_LOCAL = 1,
    SYM_BLOCK = 2,
    SYM_GLOBAL = 3,
    SYM_ANON = 4,
};

constexpr int32_t SOURCE_LINE_MAX = 160;        // characters of one source line, line feed included
constexpr int32_t TEXT_BUF = SOURCE_LINE_MAX + 8; // word and operand buffers, with room for terminators
constexpr int32_t SYM_MAX_INDEX = 5000;
constexpr int32_t NAME_STORE_SIZE = 40000;
constexpr int32_t COND_MAX_DEPTH = 11;

// ---- symbol table ----------------------------------------------------------------------------

// All entries that carry one spelling, in ascending index order, so that the scoped
// searches can jump to the first candidate instead of scanning the table.
struct SymbolName {
    uint32_t name_off = 0;
    uint32_t len = 0;
    uint32_t hash = 0;
    int32_t first_global = -1;     // lowest entry of kind 3 or 4, -1 if none
    std::vector<int32_t> entries;
};

struct SymbolTable {
    std::array<uint32_t, SYM_MAX_INDEX + 2> names{};  // offsets into name_store
    std::array<int32_t, SYM_MAX_INDEX + 2> values{};
    std::array<int8_t, SYM_MAX_INDEX + 2> kinds{};
    std::array<int32_t, SYM_MAX_INDEX + 2> name_id{}; // index into spellings, -1 for separators
    int32_t last_index = -1;
    std::array<char, NAME_STORE_SIZE> name_store{};
    int32_t block_start = 2;
    int32_t local_start = 2;

    // Lookup index: spellings by hash (open addressing), separators and scope stoppers in order.
    std::vector<SymbolName> spellings;
    std::vector<int32_t> slots;        // spelling index + 1, 0 = empty
    std::vector<int32_t> separators;   // entries of kind 0, ascending
    std::vector<int32_t> stoppers;     // separators and kind-2/3 names not beginning with '.'
};

// ---- the run ---------------------------------------------------------------------------------

struct Asm {
    AsmIo* io = nullptr;

    bool pass2 = false;
    int32_t line_number = 1;
    SourceIn src;
    OutBuf lst;
    OutBuf com;

    int32_t cond_state = COND_NONE;
    std::array<int8_t, COND_MAX_DEPTH> cond_stack{};
    int32_t cond_depth = 0;

    int32_t cur_char = 0;
    int32_t next_char = -1;
    int32_t quote_state = 0;
    std::array<char, SOURCE_LINE_MAX> line_echo{};
    int32_t line_echo_len = 0;
    int32_t pending_prefix = PREFIX_NONE;

    int32_t listing_column = 0;
    int32_t list_level = 0;
    bool blk_pending = false;
    bool seg32 = false;

    SymbolTable sym;

    std::array<char, TEXT_BUF> word{};
    std::array<char, TEXT_BUF> operand{};
    std::array<char, 16> file_name{};
};

// The two location counters are the values of the symbols "@" and "@@".
inline int32_t address_counter(const Asm& a) { return a.sym.values[0]; }
inline int32_t file_counter(const Asm& a) { return a.sym.values[1]; }

// Two's-complement wrap-around arithmetic, never undefined behaviour.
inline int32_t wrap_add(int32_t x, int32_t y) {
    return static_cast<int32_t>(static_cast<uint32_t>(x) + static_cast<uint32_t>(y));
}
inline int32_t wrap_sub(int32_t x, int32_t y) {
    return static_cast<int32_t>(static_cast<uint32_t>(x) - static_cast<uint32_t>(y));
}
inline int32_t wrap_mul(int32_t x, int32_t y) {
    return static_cast<int32_t>(static_cast<uint32_t>(x) * static_cast<uint32_t>(y));
}

// Outcome of one run: the report code and message index, and the line it names.
struct AsmReport {
    int32_t code = 0;
    int32_t message = 0;
    int32_t line = 0;
};

// Runs the whole dialogue and both passes on the seam; returns the report.
AsmReport run_assembler(AsmIo& io);
