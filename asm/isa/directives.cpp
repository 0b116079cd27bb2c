// The directives: data, reservation and alignment, listing switches, segment mode and label
// blocks.
#include "asm/driver/diagnostics.h"
#include "asm/driver/output.h"
#include "asm/front/expr.h"
#include "asm/front/reader.h"
#include "asm/front/symbols.h"
#include "asm/isa/words.h"

namespace {

bool is_quote(char c) { return c == '\'' || c == '"'; }

// Emits one byte of dc.b, or one zero-extended word of dc.bw.
void emit_data_byte(Asm& a, bool widen, int32_t value) {
    if (widen)
        emit_word(a, value & 0xFF);
    else
        emit_byte(a, value);
}

// dc.b and dc.bw: quoted strings byte by byte, anything else as a byte expression.
void dc_bytes(Asm& a, bool widen) {
    for (;;) {
        char* text = read_operand(a);
        if (text[0] == 0) return;
        if (is_quote(text[0])) {
            int32_t close = 1;
            while (text[close] != 0 && text[close] != text[0]) ++close;
            if (text[close] == 0) fatal_error(a, 88, MSG_BAD_ASCII);
            if (text[close + 1] == 0) {
                for (int32_t i = 1; i < close; ++i) emit_data_byte(a, widen, static_cast<uint8_t>(text[i]));
                continue;
            }
        }
        int32_t value = 0;
        if (evaluate_expression(a, text, &value) != SIZE_BYTE) fatal_error(a, 90, MSG_BYTE_TOO_LARGE);
        emit_data_byte(a, widen, value);
    }
}

int32_t swap16(int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    return static_cast<int32_t>(((u & 0xFFu) << 8) | ((u >> 8) & 0xFFu));
}

int32_t swap32(int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    return static_cast<int32_t>((u >> 24) | ((u >> 8) & 0xFF00u) | ((u << 8) & 0xFF0000u) | (u << 24));
}

void dc_words(Asm& a, bool big_endian) {
    for (;;) {
        char* text = read_operand(a);
        if (text[0] == 0) return;
        int32_t value = 0;
        if (evaluate_expression(a, text, &value) == SIZE_LONG) fatal_error(a, 91, MSG_WORD_TOO_LARGE);
        emit_word(a, big_endian ? swap16(value) : value);
    }
}

void dc_longs(Asm& a, bool big_endian) {
    for (;;) {
        char* text = read_operand(a);
        if (text[0] == 0) return;
        int32_t value = 0;
        evaluate_expression(a, text, &value);
        emit_dword(a, big_endian ? swap32(value) : value);
    }
}

struct BlkForm {
    int32_t unit;
    int32_t undefined_code;
};

void blk(Asm& a, WordSize size) {
    const BlkForm form = size == WS_B ? BlkForm{1, 59} : size == WS_W ? BlkForm{2, 61} : BlkForm{4, 60};
    int32_t count = 0;
    if (try_evaluate_expression(a, read_operand(a), &count) == EVAL_UNDEFINED)
        fatal_error(a, form.undefined_code, MSG_LABEL_NOT_FOUND);
    char* fill_text = read_operand(a);
    if (fill_text[0] == 0) {
        advance_address(a, wrap_mul(count, form.unit));
        a.blk_pending = true;
        return;
    }
    int32_t fill = 0;
    int32_t cls = evaluate_expression(a, fill_text, &fill);
    if (form.unit == 1 && cls != SIZE_BYTE) fatal_error(a, 90, MSG_BYTE_TOO_LARGE);
    if (form.unit == 2 && cls == SIZE_LONG) fatal_error(a, 90, MSG_WORD_TOO_LARGE);
    emit_repeated(a, form.unit, fill, count);
}

// even and evencom: pad the address (or the code file position) to a multiple of the
// alignment with a fill byte. An alignment of 0 or below pads nothing.
void align_counter(Asm& a, bool file_position) {
    int32_t alignment = 2;
    int32_t fill = 0;
    char* text = read_operand(a);
    if (text[0] != 0) {
        if (try_evaluate_expression(a, text, &alignment) == EVAL_UNDEFINED)
            fatal_error(a, file_position ? 505 : 500, MSG_LABEL_NOT_FOUND);
        text = read_operand(a);
        if (text[0] != 0 && evaluate_expression(a, text, &fill) != SIZE_BYTE)
            fatal_error(a, 501, MSG_BYTE_TOO_LARGE);
    }
    if (alignment <= 0) return;
    int32_t counter = file_position ? file_counter(a) : address_counter(a);
    int32_t r = counter % alignment;
    if (r == 0 || r >= alignment) return;
    emit_repeated(a, 1, fill, wrap_sub(alignment, r));
}

void pad_to_multiple(Asm& a, int32_t mask) {
    while ((address_counter(a) & mask) != 0) emit_byte(a, 0);
}

}  // namespace

void isa_directive(Asm& a, const StatementWord& w) {
    switch (w.op) {
    case DIR_DC_B: dc_bytes(a, false); break;
    case DIR_DC_BW: dc_bytes(a, true); break;
    case DIR_DC_W: dc_words(a, false); break;
    case DIR_DC_W_: dc_words(a, true); break;
    case DIR_DC_L: dc_longs(a, false); break;
    case DIR_DC_L_: dc_longs(a, true); break;
    case DIR_BLK: blk(a, w.size); break;
    case DIR_EVEN: align_counter(a, false); break;
    case DIR_EVENCOM: align_counter(a, true); break;
    case DIR_EVEN4: pad_to_multiple(a, 3); break;
    case DIR_EVEN16: pad_to_multiple(a, 15); break;
    case DIR_ODD:
        if ((address_counter(a) & 1) == 0) emit_byte(a, 0);
        break;
    case DIR_LIST: a.list_level += 1; break;
    case DIR_NOLIST: a.list_level -= 1; break;
    case DIR_SEG16: a.seg32 = false; break;
    case DIR_SEG32: a.seg32 = true; break;
    case DIR_LABEL_BLOCK: label_block(a); break;
    }
}
