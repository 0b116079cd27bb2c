// Encoders of the control transfer instructions: relative branches, count-register branches,
// indirect and far jumps and calls, returns, software interrupts and the one-byte forms.
#include <cstring>

#include "asm/driver/diagnostics.h"
#include "asm/driver/output.h"
#include "asm/front/expr.h"
#include "asm/front/reader.h"
#include "asm/isa/words.h"
#include "asm/operand/operand.h"

namespace {

// ---- relative branches ------------------------------------------------------------------

enum RelativeShape : uint8_t {
    REL_SHORT,    // [word/long] opcode d8
    REL_NEAR,     // [66] [0x0F] opcode d16/d32
    REL_COUNT,    // r2 operand, [67 by counter width] [word/long] opcode d8
    REL_CXZ,      // [67 by counter width] [word/long] opcode d8
};

struct RelativeForm {
    BranchOp op;
    WordSize size;
    RelativeShape shape;
    bool lead_0f;         // two-byte opcode 0x0F, opcode
    uint8_t opcode;       // b<cc> adds the condition number
    uint8_t width;        // displacement bytes
    int16_t range_code;   // pass-2 range error, 0 for the unchecked 32-bit field
    int16_t operand_code; // count-register forms: first operand is not r2
    bool counter_long;    // count-register forms: ECX rather than CX
};

constexpr RelativeForm RELATIVE_FORMS[] = {
    {BRANCH_BCC, WS_B, REL_SHORT, false, 0x70, 1, 51, 0, false},
    {BRANCH_BCC, WS_W, REL_NEAR, true, 0x80, 2, 52, 0, false},
    {BRANCH_BCC, WS_L, REL_NEAR, true, 0x80, 4, 0, 0, false},
    {BRANCH_BR, WS_B, REL_SHORT, false, 0xEB, 1, 51, 0, false},
    {BRANCH_BR, WS_W, REL_NEAR, false, 0xE9, 2, 62, 0, false},
    {BRANCH_BR, WS_L, REL_NEAR, false, 0xE9, 4, 0, 0, false},
    {BRANCH_BSR, WS_W, REL_NEAR, false, 0xE8, 2, 68, 0, false},
    {BRANCH_BSR, WS_L, REL_NEAR, false, 0xE8, 4, 0, 0, false},
    {BRANCH_DBEQ, WS_W, REL_COUNT, false, 0xE0, 1, 51, 85, false},
    {BRANCH_DBEQ, WS_L, REL_COUNT, false, 0xE0, 1, 51, 85, true},
    {BRANCH_DBNE, WS_W, REL_COUNT, false, 0xE1, 1, 51, 87, false},
    {BRANCH_DBNE, WS_L, REL_COUNT, false, 0xE1, 1, 51, 87, true},
    {BRANCH_DBF, WS_W, REL_COUNT, false, 0xE2, 1, 51, 86, false},
    {BRANCH_DBF, WS_L, REL_COUNT, false, 0xE2, 1, 51, 86, true},
    {BRANCH_BEQR2W, WS_B, REL_CXZ, false, 0xE3, 1, 51, 0, false},
    {BRANCH_BEQR2L, WS_B, REL_CXZ, false, 0xE3, 1, 51, 0, true},
};

// Relative to the first byte after the instruction: the prefixes and opcode have already
// advanced the address counter, only the displacement field itself is still to come.
void emit_displacement(Asm& a, int32_t target, int32_t width, int32_t range_code) {
    int32_t d = wrap_sub(target, wrap_add(address_counter(a), width));
    if (a.pass2 && range_code != 0) {
        int32_t limit = width == 1 ? 128 : 32768;
        if (d < -limit || d > limit - 1) fatal_error(a, range_code, MSG_BRANCH_TOO_FAR);
    }
    if (width == 1)
        emit_byte(a, d);
    else if (width == 2)
        emit_word(a, d);
    else
        emit_dword(a, d);
}

int32_t read_target(Asm& a) {
    int32_t target = 0;
    evaluate_expression(a, read_operand(a), &target);
    return target;
}

// Only the operand-size prefix words belong to a short branch; lock and the repeat prefixes
// stay pending so that the statement end refuses them.
void consume_size_prefix_word(Asm& a) {
    if (a.pending_prefix == PREFIX_WORD) {
        a.pending_prefix = PREFIX_NONE;
        if (a.seg32) emit_byte(a, 0x66);
    } else if (a.pending_prefix == PREFIX_LONG) {
        a.pending_prefix = PREFIX_NONE;
        if (!a.seg32) emit_byte(a, 0x66);
    }
}

void emit_short_branch(Asm& a, int32_t opcode) {
    int32_t target = read_target(a);
    consume_size_prefix_word(a);
    emit_byte(a, opcode);
    emit_displacement(a, target, 1, 51);
}

void encode_relative(Asm& a, const RelativeForm& f, int32_t cond) {
    int32_t opcode = f.op == BRANCH_BCC ? f.opcode + cond : f.opcode;
    switch (f.shape) {
    case REL_SHORT:
        emit_short_branch(a, opcode);
        return;
    case REL_NEAR: {
        int32_t target = read_target(a);
        emit_operand_size_prefix(a, f.size == WS_L);
        if (f.lead_0f) emit_byte(a, 0x0F);
        emit_byte(a, opcode);
        emit_displacement(a, target, f.width, f.range_code);
        return;
    }
    case REL_COUNT: {
        OperandDesc counter;
        read_parse_operand(a, counter);
        if (counter.kind != OPK_REG || counter.reg != 2)
            fatal_error(a, f.operand_code, MSG_BAD_OPERAND_FOR_INSN);
        [[fallthrough]];
    }
    case REL_CXZ:
        // The address-size prefix picks CX or ECX as the counter.
        if (f.counter_long != a.seg32) emit_byte(a, 0x67);
        emit_short_branch(a, opcode);
        return;
    }
}

// ---- jumps and calls through an operand or to a far pointer ------------------------------

struct TransferForm {
    BranchOp op;
    int32_t near_digit;     // 0xFF /digit, near indirect
    int32_t far_digit;      // 0xFF /digit, far indirect
    int32_t far_opcode;     // direct far pointer
    int16_t near_paren_code;
    int16_t near_operand_code;
    int16_t far_paren_code;
    int16_t far_operand_code;
    int16_t no_colon_code;
    int16_t offset_code;
    int16_t selector_code;
};

constexpr TransferForm TRANSFER_FORMS[] = {
    {BRANCH_JMP, 4, 5, 0xEA, 123, 124, 125, 126, 127, 128, 129},
    {BRANCH_JSR, 2, 3, 0x9A, 130, 132, 133, 134, 135, 136, 137},
};

bool is_long_size(WordSize size) { return size == WS_L || size == WS_WL || size == WS_LL; }

bool parenthesised(const char* text, size_t len) {
    return len >= 2 && text[0] == '(' && text[len - 1] == ')';
}

// Parses the inside of "(...)" in place.
void parse_inside_parens(Asm& a, char* text, size_t len, OperandDesc& op) {
    text[len - 1] = 0;
    parse_operand(a, text + 1, op);
}

void emit_indirect(Asm& a, const OperandDesc& op, bool is_long, int32_t digit) {
    emit_address_size_prefix(a, op);
    emit_operand_size_prefix(a, is_long);
    emit_segment_prefix(a, op);
    emit_byte(a, 0xFF);
    emit_modrm(a, digit, op);
}

int32_t evaluate_word_field(Asm& a, const char* text, int32_t code) {
    int32_t value = 0;
    evaluate_expression(a, text, &value);
    if (value < 0 || value > 0xFFFF) fatal_error(a, code, MSG_WORD_TOO_LARGE);
    return value;
}

void encode_far_pointer(Asm& a, const TransferForm& f, WordSize size, char* text) {
    char* colon = std::strchr(text, ':');
    if (colon == nullptr) fatal_error(a, f.no_colon_code, MSG_BAD_OPERAND_FOR_INSN);
    *colon = 0;
    const char* offset_text = colon + 1;
    emit_operand_size_prefix(a, size == WS_WL);
    emit_byte(a, f.far_opcode);
    if (size == WS_WL) {
        int32_t offset = 0;
        evaluate_expression(a, offset_text, &offset);
        emit_dword(a, offset);
    } else {
        emit_word(a, evaluate_word_field(a, offset_text, f.offset_code));
    }
    // The selector is written after the offset, so it is checked after the offset is out.
    emit_word(a, evaluate_word_field(a, text, f.selector_code));
}

void encode_transfer(Asm& a, const TransferForm& f, WordSize size) {
    char* text = read_operand(a);
    size_t len = std::strlen(text);
    OperandDesc op;
    if (size == WS_W || size == WS_L) {
        if (!parenthesised(text, len)) fatal_error(a, f.near_paren_code, MSG_BAD_OPERAND_FOR_INSN);
        parse_inside_parens(a, text, len, op);
        if (!is_rm_kind(op.kind)) fatal_error(a, f.near_operand_code, MSG_BAD_OPERAND_FOR_INSN);
        emit_indirect(a, op, size == WS_L, f.near_digit);
        return;
    }
    if (len > 0 && text[0] == '(') {
        if (!parenthesised(text, len)) fatal_error(a, f.far_paren_code, MSG_BAD_OPERAND_FOR_INSN);
        parse_inside_parens(a, text, len, op);
        if (!is_mem_kind(op.kind)) fatal_error(a, f.far_operand_code, MSG_BAD_OPERAND_FOR_INSN);
        emit_indirect(a, op, size == WS_WL, f.far_digit);
        return;
    }
    encode_far_pointer(a, f, size, text);
}

// ---- returns, interrupts and the operand-less forms -------------------------------------

struct ReturnForm {
    WordSize size;
    uint8_t plain_opcode;
    uint8_t imm_opcode;
    int16_t long_imm_code;
    int16_t operand_code;
};

constexpr ReturnForm RETURN_FORMS[] = {
    {WS_W, 0xC3, 0xC2, 235, 236},
    {WS_L, 0xC3, 0xC2, 235, 236},
    {WS_WW, 0xCB, 0xCA, 237, 238},
    {WS_LL, 0xCB, 0xCA, 237, 238},
};

void encode_return(Asm& a, const ReturnForm& f) {
    OperandDesc op;
    read_parse_operand(a, op);
    emit_operand_size_prefix(a, is_long_size(f.size));
    if (op.kind == OPK_NONE) {
        emit_byte(a, f.plain_opcode);
    } else if (op.kind == OPK_IMM) {
        if (op.reg == SIZE_LONG) fatal_error(a, f.long_imm_code, MSG_WORD_TOO_LARGE);
        emit_byte(a, f.imm_opcode);
        emit_word(a, op.value);
    } else {
        fatal_error(a, f.operand_code, MSG_BAD_OPERAND_FOR_INSN);
    }
}

// The breakpoint interrupt has its own one-byte opcode, so `trap #3` is a byte shorter
// than every other vector.
void encode_trap(Asm& a) {
    OperandDesc op;
    read_parse_operand(a, op);
    if (op.kind != OPK_IMM) fatal_error(a, 257, MSG_BAD_OPERAND_FOR_INSN);
    if (op.reg != SIZE_BYTE) fatal_error(a, 256, MSG_BYTE_TOO_LARGE);
    if (op.value == 3) {
        emit_byte(a, 0xCC);
    } else {
        emit_byte(a, 0xCD);
        emit_byte(a, op.value);
    }
}

struct FixedForm {
    BranchOp op;
    uint8_t opcode;
};

constexpr FixedForm FIXED_FORMS[] = {
    {BRANCH_TRAPV, 0xCE},
    {BRANCH_HALT, 0xF4},
    {BRANCH_NOP, 0x90},
    {BRANCH_WAIT, 0x9B},
};

template <typename Row, typename Match>
const Row* find_row(const Row* begin, const Row* end, Match match) {
    for (const Row* r = begin; r != end; ++r)
        if (match(*r)) return r;
    return nullptr;
}

}  // namespace

void isa_branch(Asm& a, const StatementWord& w) {
    if (const RelativeForm* f = find_row(std::begin(RELATIVE_FORMS), std::end(RELATIVE_FORMS),
                                         [&](const RelativeForm& r) { return r.op == w.op && r.size == w.size; })) {
        encode_relative(a, *f, w.cond);
        return;
    }
    if (const TransferForm* f = find_row(std::begin(TRANSFER_FORMS), std::end(TRANSFER_FORMS),
                                         [&](const TransferForm& r) { return r.op == w.op; })) {
        encode_transfer(a, *f, w.size);
        return;
    }
    if (w.op == BRANCH_RTS) {
        if (const ReturnForm* f = find_row(std::begin(RETURN_FORMS), std::end(RETURN_FORMS),
                                           [&](const ReturnForm& r) { return r.size == w.size; })) {
            encode_return(a, *f);
            return;
        }
    }
    if (w.op == BRANCH_RTE && (w.size == WS_W || w.size == WS_L)) {
        // x86 IRET/IRETD: no operand is read.
        emit_operand_size_prefix(a, w.size == WS_L);
        emit_byte(a, 0xCF);
        return;
    }
    if (w.op == BRANCH_TRAP) {
        encode_trap(a);
        return;
    }
    if (const FixedForm* f = find_row(std::begin(FIXED_FORMS), std::end(FIXED_FORMS),
                                      [&](const FixedForm& r) { return r.op == w.op; })) {
        emit_byte(a, f->opcode);
        return;
    }
    unknown_statement_word(a);
}
