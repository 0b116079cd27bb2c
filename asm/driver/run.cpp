// The run of zvasm: start-up dialogue, pass 1 and pass 2 over the source, the statement
// loop with conditional assembly and equates, and the report at the end.
#include <algorithm>
#include <cstring>

#include "asm/driver/diagnostics.h"
#include "asm/driver/output.h"
#include "asm/front/expr.h"
#include "asm/front/reader.h"
#include "asm/front/symbols.h"
#include "asm/isa/words.h"

namespace {

constexpr size_t READ_BUFFER = 1 << 16;
constexpr size_t WRITE_BUFFER = 1 << 16;

constexpr std::string_view LETTER_ROWS[5] = {
    "   ZZZZZ   OOO   RRRR   V   V  EEEEE  N   N   AAA     ",
    "      Z   O   O  R   R  V   V  E      NN  N  A   A    ",
    "     Z    O   O  RRRR   V   V  EEEE   N N N  AAAAA    ",
    "    Z     O   O  R  R    V V   E      N  NN  A   A    ",
    "   ZZZZZ   OOO   R   R    V    EEEEE  N   N  A   A    ",
};

// One frame row: content placed at positions within 51 characters, between two '*'.
std::string frame_row(std::initializer_list<std::pair<size_t, std::string_view>> parts) {
    std::string content(51, ' ');
    for (const auto& [pos, text] : parts) content.replace(pos, text.size(), text);
    return "\n  *" + content + "*";
}

void print_banner(Asm& a) {
    std::string banner = "\n  " + std::string(53, '*');
    banner += frame_row({});
    for (std::string_view row : LETTER_ROWS) banner += frame_row({{0, row.substr(0, 51)}});
    banner += frame_row({});
    banner += frame_row({{3, "ZORVENA"}});
    banner += frame_row({{3, "486"}, {31, "Version 0.39"}});
    banner += frame_row({{3, "Assembler"}, {33, "21.03.08"}});
    banner += frame_row({});
    banner += frame_row({});
    banner += "\n  " + std::string(53, '*');
    banner += "\n\n";
    print_string(a, banner);
}

// Reads the base name line: at most 8 characters are kept, the rest of the line is dropped,
// and ".mac" is appended. The end of the input ends the name like a line feed.
void read_base_name(Asm& a) {
    char* name = a.file_name.data();
    int32_t pos = 0;
    int32_t kept = 0;
    int32_t c = a.io->read_console_char();
    name[0] = static_cast<char>(c);
    if (c != '\n' && c != -1) {
        for (;;) {
            if (name[pos] == '\r') break;
            if (kept < 8) {
                ++pos;
                ++kept;
            }
            c = a.io->read_console_char();
            name[pos] = static_cast<char>(c);
            if (c == '\n' || c == -1) break;
        }
    }
    std::memcpy(name + pos, ".mac", 5);
}

// Replaces the three characters after the first '.' of the file name.
void set_extension(Asm& a, const char* ext) {
    char* dot = std::strchr(a.file_name.data(), '.');
    std::memcpy(dot + 1, ext, 3);
}

void open_source(Asm& a, int32_t code) {
    a.src.stream = a.io->open_read(a.file_name.data());
    if (!a.src.stream) fatal_error(a, code, MSG_SOURCE_OPEN);
    a.src.buf.resize(READ_BUFFER);
    a.src.pos = a.src.len = 0;
    a.cur_char = 0;
    a.next_char = a.src.get();
}

void open_output(Asm& a, OutBuf& out, const char* ext, bool binary, int32_t code, int32_t message) {
    set_extension(a, ext);
    out.stream = a.io->open_write(a.file_name.data(), binary);
    if (!out.stream) fatal_error(a, code, message);
    out.buf.resize(WRITE_BUFFER);
    out.len = 0;
}

void handle_if(Asm& a) {
    char* text = read_operand(a);
    if (a.cond_depth > COND_MAX_DEPTH - 1) fatal_error(a, 8, MSG_TOO_MANY_IFS);
    int32_t pushed = a.cond_state;
    a.cond_stack[a.cond_depth++] = static_cast<int8_t>(pushed);
    if (pushed < 0) {
        a.cond_state = COND_INNER_SKIP;
        return;
    }
    int32_t value = 0;
    if (try_evaluate_expression(a, text, &value) == EVAL_UNDEFINED) fatal_error(a, 9, MSG_LABEL_NOT_FOUND);
    a.cond_state = value != 0 ? COND_TRUE : COND_FALSE;
}

void handle_else(Asm& a) {
    switch (a.cond_state) {
    case COND_TRUE:
    case COND_INNER_SKIP: a.cond_state = COND_ELSE_SKIP; break;
    case COND_FALSE: a.cond_state = COND_ELSE_TAKEN; break;
    default: fatal_error(a, 10, MSG_TOO_MANY_ELSES);
    }
}

void handle_endif(Asm& a) {
    if (a.cond_depth == 0) fatal_error(a, 11, MSG_TOO_MANY_ENDIFS);
    a.cond_state = a.cond_stack[--a.cond_depth];
}

// The word buffer holds the equate marker ('=' or ':') in place of the name's first
// character, which stands at the end.
void handle_equate(Asm& a) {
    char* w = a.word.data();
    size_t len = std::strlen(w);
    int32_t kind = w[0] == '=' ? SYM_BLOCK : SYM_GLOBAL;
    w[0] = w[len - 1];
    w[len - 1] = 0;
    if (w[0] == '_') kind = SYM_LOCAL;
    int32_t value = 0;
    if (try_evaluate_expression(a, read_operand(a), &value) == EVAL_UNDEFINED) kind = -kind;
    define_symbol(a, std::string_view(w, len - 1), value, kind);
}

// Handles if/else/endif; false for any other word.
bool handle_conditional(Asm& a) {
    const char* w = a.word.data();
    if (w[0] != 'i' && w[0] != 'e') return false;
    if (std::strcmp(w, "if") == 0)
        handle_if(a);
    else if (std::strcmp(w, "else") == 0)
        handle_else(a);
    else if (std::strcmp(w, "endif") == 0)
        handle_endif(a);
    else
        return false;
    return true;
}

void run_pass(Asm& a) {
    while (read_statement_word(a) != 0) {
        if (!handle_conditional(a)) {
            if (a.cond_state < 0)
                skip_line(a);
            else if (a.word[0] == '=' || a.word[0] == ':')
                handle_equate(a);
            else if (a.word[0] != 0)
                dispatch_statement(a);
        }
        if (a.pending_prefix != PREFIX_NONE && a.cond_state >= 0) fatal_error(a, 6, MSG_BAD_PREFIX);
        end_statement(a);
    }
    if (a.cond_state != COND_NONE) fatal_error(a, 7, MSG_MISSING_ENDIF);
}

void reset_for_pass2(Asm& a) {
    a.pass2 = true;
    a.line_number = 1;
    a.sym.values[0] = 0;
    a.sym.values[1] = 0;
    a.seg32 = false;
    a.list_level = 0;
    a.listing_column = 0;
    a.blk_pending = false;
    a.cond_state = COND_NONE;
    a.cond_depth = 0;
    a.sym.block_start = 2;
    a.sym.local_start = 2;
    a.line_echo_len = 0;
}

void assemble(Asm& a) {
    print_banner(a);
    print_string(a, "\n\n  Filename (ohne .mac): ");
    a.io->flush_console();
    read_base_name(a);
    open_source(a, 1);
    init_symbols(a);
    print_string(a, "\n Pass 1\n");
    run_pass(a);

    a.src.close();
    open_source(a, 2);
    open_output(a, a.lst, "lst", false, 3, MSG_LISTING_OPEN);
    open_output(a, a.com, "com", true, 4, MSG_COM_OPEN);
    reset_for_pass2(a);
    print_string(a, " Pass 2\n");
    run_pass(a);
    dump_symbols(a);
    fatal_error(a, 0, MSG_NORMAL_END);
}

void print_report(Asm& a, const AsmStop& stop) {
    std::string line = "\n\n" + decimal_text(stop.code) + " : ";
    line += MessageTable[stop.message];
    line += " in Zeile " + decimal_text(a.line_number) + "\n";
    print_string(a, line);
}

}  // namespace

bool SourceIn::refill() {
    if (!stream) return false;
    len = stream->read(buf.data(), buf.size());
    pos = 0;
    return len > 0;
}

void OutBuf::put_n(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        if (len == buf.size()) flush();
        size_t k = std::min(n, buf.size() - len);
        std::memcpy(buf.data() + len, p, k);
        len += k;
        p += k;
        n -= k;
    }
}

void OutBuf::flush() {
    if (stream && len > 0) stream->write(buf.data(), len);
    len = 0;
}

void OutBuf::close() {
    if (!stream) return;
    flush();
    stream->close();
    stream.reset();
}

AsmReport run_assembler(AsmIo& io) {
    auto a = std::make_unique<Asm>();
    a->io = &io;
    AsmReport report;
    try {
        assemble(*a);
    } catch (const AsmStop& stop) {
        print_report(*a, stop);
        a->src.close();
        a->lst.close();
        a->com.close();
        report = AsmReport{stop.code, stop.message, a->line_number};
    }
    io.flush_console();
    return report;
}
