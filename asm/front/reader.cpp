// Source reader and statement fields.
#include "asm/front/reader.h"

#include <string_view>

#include "asm/driver/diagnostics.h"
#include "asm/driver/output.h"
#include "asm/front/symbols.h"

namespace {

int32_t fold(int32_t c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

bool is_quote(int32_t c) { return c == '\'' || c == '"'; }

struct PrefixWord {
    std::string_view word;
    int32_t prefix;
};

constexpr PrefixWord PREFIX_WORDS[] = {
    {"rep_r2", PREFIX_REP},   {"repeq_r2", PREFIX_REPEQ}, {"repne_r2", PREFIX_REPNE},
    {"lock", PREFIX_LOCK},    {"word", PREFIX_WORD},      {"long", PREFIX_LONG},
};

int32_t prefix_of(std::string_view word) {
    for (const PrefixWord& p : PREFIX_WORDS)
        if (p.word == word) return p.prefix;
    return PREFIX_NONE;
}

void consume_spaces(Asm& a) {
    while (a.next_char == ' ') read_char(a);
}

// A space inside an operand may only separate a displacement from a size suffix written
// apart from it ("name .w(r3)").
bool is_detached_suffix(const char* at) {
    if (at[0] != '.' || (at[1] != 'b' && at[1] != 'w' && at[1] != 'l')) return false;
    const char* p = at + 2;
    while (*p == ' ') ++p;
    return *p == 0 || *p == '(' || *p == '{';
}

}  // namespace

int32_t read_raw_char(Asm& a) {
    if (a.cur_char == '\n' || a.cur_char == -1) return '\n';
    a.cur_char = a.next_char;
    a.next_char = a.src.get();
    if (a.cur_char == -1) return '\n';
    if (a.cur_char == '\t')
        a.cur_char = ' ';
    else if (a.cur_char == '\r')
        a.cur_char = (a.next_char == '\n') ? ' ' : '\n';
    // Counted in both passes, so an overlong line is reported before pass 2.
    if (a.line_echo_len == SOURCE_LINE_MAX) fatal_error(a, 347, MSG_LINE_TOO_LONG);
    a.line_echo[a.line_echo_len++] = static_cast<char>(a.cur_char);
    return a.cur_char;
}

int32_t read_char(Asm& a) {
    int32_t c = read_raw_char(a);
    if (c == ';' && a.quote_state == 0) {
        while (read_raw_char(a) != '\n') {
        }
        return '\n';
    }
    if (c == a.quote_state) {
        a.quote_state = 0;
        return c;
    }
    if (a.quote_state == ')') return fold(c);
    if (a.quote_state != 0) return c;
    if (is_quote(c)) {
        a.quote_state = c;
        return c;
    }
    if (c == '(') {
        a.quote_state = ')';
        return c;
    }
    if (c == ',') return '\n';
    return fold(c);
}

void squeeze_operand(Asm& a, char* buf) {
    int32_t out = 0;
    int32_t quote = 0;
    bool after_space = false;
    for (int32_t in = 0; buf[in] != 0; ++in) {
        int32_t c = static_cast<uint8_t>(buf[in]);
        if (quote != 0) {
            if (c == quote) quote = 0;
            buf[out++] = static_cast<char>(c);
            continue;
        }
        if (c == ' ') {
            after_space = true;
            continue;
        }
        if (after_space && is_name_char(c) && out > 0 &&
            is_name_char(static_cast<uint8_t>(buf[out - 1])) && !is_detached_suffix(buf + in))
            fatal_error(a, 297, MSG_BAD_SPACE);
        after_space = false;
        if (is_quote(c)) quote = c;
        buf[out++] = static_cast<char>(c);
    }
    buf[out] = 0;
    buf[out + 1] = 0;
}

void read_operand_text(Asm& a, char* buf) {
    int32_t c = read_char(a);
    while (c == ' ') c = read_char(a);
    int32_t n = 0;
    while (c != '\n') {
        // A line holds at most SOURCE_LINE_MAX characters, so this bound is never reached.
        if (n < TEXT_BUF - 2) buf[n++] = static_cast<char>(c);
        c = read_char(a);
    }
    buf[n] = 0;
    buf[n + 1] = 0;
    if (n > 0) squeeze_operand(a, buf);
}

int32_t read_statement_word(Asm& a) {
    char* w = a.word.data();
    a.pending_prefix = PREFIX_NONE;
    for (;;) {
        w[0] = 0;
        int32_t c = read_char(a);
        while (c == ' ') c = read_char(a);
        if (a.cur_char == -1) return 0;
        if (c == '\n') return 1;
        if (!is_name_start(c)) fatal_error(a, 340, MSG_BAD_CHAR);
        int32_t n = 0;
        while (is_name_char(c)) {
            if (n < TEXT_BUF - 3) w[n++] = static_cast<char>(c);
            c = read_char(a);
        }
        if (c == ' ') {
            consume_spaces(a);
            if (a.next_char == ':' || a.next_char == '=') c = read_char(a);
        }
        if (c == '=') {
            consume_spaces(a);
            w[n] = w[0];
            w[n + 1] = 0;
            if (a.next_char == '=') {
                read_char(a);
                w[0] = ':';
            } else {
                w[0] = '=';
            }
            return 1;
        }
        w[n] = 0;
        if (c == '\n') return 1;
        if (c != ' ') {
            if (c != ':') fatal_error(a, 341, MSG_BAD_CHAR);
            consume_spaces(a);
            int32_t kind = SYM_BLOCK;
            if (a.next_char == ':') {
                read_char(a);
                kind = SYM_GLOBAL;
            }
            if (a.cond_state >= 0) {
                if (w[0] == '_') kind = SYM_LOCAL;
                define_symbol(a, std::string_view(w, static_cast<size_t>(n)), address_counter(a), kind);
            }
            continue;
        }
        if (a.pending_prefix != PREFIX_NONE) return 1;
        int32_t prefix = prefix_of(std::string_view(w, static_cast<size_t>(n)));
        if (prefix == PREFIX_NONE) return 1;
        a.pending_prefix = prefix;
    }
}

void skip_line(Asm& a) {
    while (a.cur_char != '\n' && a.cur_char != -1) {
        int32_t c = read_raw_char(a);
        if (c == ';' && a.quote_state == 0) {
            while (read_raw_char(a) != '\n') {
            }
        } else if (c == a.quote_state) {
            a.quote_state = 0;
        } else if (a.quote_state == 0) {
            if (is_quote(c))
                a.quote_state = c;
            else if (c == '(')
                a.quote_state = ')';
        }
    }
}

void end_statement(Asm& a) {
    if (a.cur_char == '\n') {
        a.cur_char = 0;
    } else if (a.cur_char != -1) {
        while (read_char(a) == ' ') {
        }
        if (a.cur_char == '\n')
            a.cur_char = 0;
        else if (a.cur_char != -1)
            fatal_error(a, 346, MSG_TOO_MANY_OPERANDS);
    }
    if (a.pass2) {
        static constexpr char SPACES[] = "                                        ";  // 40
        if (a.listing_column < 40) list_text(a, SPACES, 40 - a.listing_column);
        // Only the last character of the echo can be a line feed.
        int32_t n = a.line_echo_len;
        bool ends_line = n > 0 && a.line_echo[n - 1] == '\n';
        list_text(a, a.line_echo.data(), ends_line ? n - 1 : n);
        if (ends_line) list_char(a, '\n');
    }
    a.line_echo_len = 0;
    a.line_number = wrap_add(a.line_number, 1);
}
