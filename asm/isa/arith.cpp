// Encoders of the arithmetic and logic instructions: the two-operand ALU rows with their quick
// forms and tst, the one-operand rows (inc, dec, neg, not) and the decimal and ASCII adjusts.
#include <cstdint>

#include "asm/driver/diagnostics.h"
#include "asm/driver/output.h"
#include "asm/isa/words.h"
#include "asm/operand/operand.h"

namespace {

enum OpSize : uint8_t { OS_BYTE, OS_WORD, OS_LONG };

constexpr uint8_t NO_QUICK = 0xFF;     // the row has no quick form
constexpr uint8_t QUICK_OPCODE = 0x83; // r/m, sign-extended 8-bit immediate

// Error codes of one two-operand row. The range codes of the byte size go with message 4,
// those of the word size with message 5; a long immediate is never range-checked.
struct AluCodes {
    int32_t acc_range_b;  // .b immediate to the accumulator
    int32_t rm_range_b;   // .b immediate to any other r/m operand
    int32_t invalid_b;
    int32_t acc_range_w;
    int32_t rm_range_w;
    int32_t invalid_wl;
    int32_t quick_range;
    int32_t quick_invalid;
};

// One two-operand operation. The opcodes are those of the byte size: the word and long forms
// set bit 0 (the processor's w bit), which holds for every column here.
struct AluRow {
    uint8_t op;        // ArithOp of the full form
    uint8_t quick_op;  // ArithOp of the quick form, or NO_QUICK
    uint8_t reg_rm;    // source register in the reg field, destination as r/m
    uint8_t rm_reg;    // memory source as r/m, destination register in the reg field
    uint8_t acc_imm;   // immediate to the accumulator, no ModRM
    uint8_t rm_imm;    // immediate to r/m, `digit` in the reg field
    uint8_t digit;
    bool lock;         // lock accepted when the destination is memory
    bool strings;      // the string compare and scan forms (cmp only)
    AluCodes codes;
};

constexpr AluRow ALU_ROWS[] = {
    // op         quick         reg,rm rm,reg acc   imm   /d  lock   strings
    {ARITH_ADD,  ARITH_ADDQ,  0x00, 0x02, 0x04, 0x80, 0, true,  false, {12, 13, 14, 15, 16, 17, 26, 27}},
    {ARITH_ADDC, ARITH_ADDCQ, 0x10, 0x12, 0x14, 0x80, 2, true,  false, {18, 19, 20, 21, 22, 23, 24, 25}},
    {ARITH_SUB,  ARITH_SUBQ,  0x28, 0x2A, 0x2C, 0x80, 5, true,  false, {248, 249, 250, 251, 252, 253, 254, 255}},
    {ARITH_SUBC, ARITH_SUBCQ, 0x18, 0x1A, 0x1C, 0x80, 3, true,  false, {240, 241, 242, 243, 244, 245, 246, 247}},
    {ARITH_AND,  ARITH_ANDQ,  0x20, 0x22, 0x24, 0x80, 4, true,  false, {34, 35, 36, 37, 38, 39, 40, 41}},
    {ARITH_OR,   ARITH_ORQ,   0x08, 0x0A, 0x0C, 0x80, 1, true,  false, {207, 208, 209, 210, 211, 212, 213, 214}},
    {ARITH_EOR,  ARITH_EORQ,  0x30, 0x32, 0x34, 0x80, 6, true,  false, {104, 105, 106, 107, 108, 109, 110, 111}},
    {ARITH_CMP,  ARITH_CMPQ,  0x38, 0x3A, 0x3C, 0x80, 7, false, true,  {77, 78, 79, 80, 81, 82, 83, 84}},
    // TEST is symmetric: both register directions use the same opcode.
    {ARITH_TST,  NO_QUICK,    0x84, 0x84, 0xA8, 0xF6, 0, false, false, {258, 259, 260, 261, 262, 263, 0, 0}},
};

// One one-operand operation: the ModRM form on any r/m operand (word/long with the w bit),
// and for inc and dec the one-byte register form of the word and long sizes.
struct UnaryRow {
    uint8_t op;
    uint8_t rm_op;
    uint8_t digit;
    uint8_t reg_short;  // opcode base + reg_code, 0 when the row has none
    int32_t invalid_b;
    int32_t invalid_wl;
};

constexpr UnaryRow UNARY_ROWS[] = {
    {ARITH_INC, 0xFE, 0, 0x40, 120, 121},
    {ARITH_DEC, 0xFE, 1, 0x48, 92, 93},
    {ARITH_NEG, 0xF6, 3, 0, 203, 204},
    {ARITH_NOT, 0xF6, 2, 0, 205, 206},
};

// The adjust instructions work on the accumulator only; AAM and AAD carry a number base
// (10 unless an immediate names another).
struct AdjustRow {
    uint8_t op;
    uint8_t opcode;
    bool has_base;
    int32_t code;
};

constexpr AdjustRow ADJUST_ROWS[] = {
    {ARITH_ADJ_DEC_ADD, 0x27, false, 32},
    {ARITH_ADJ_DEC_SUB, 0x2F, false, 33},
    {ARITH_ADJ_ASC_ADD, 0x37, false, 28},
    {ARITH_ADJ_ASC_SUB, 0x3F, false, 31},
    {ARITH_ADJ_ASC_MUL, 0xD4, true, 30},
    {ARITH_ADJ_ASC_DIV, 0xD5, true, 29},
};

// The repeat prefixes the string forms of cmp take; rep_r2 is not among them.
struct RepeatRow {
    int32_t prefix;
    uint8_t byte;
};

constexpr RepeatRow CMP_REPEATS[] = {
    {PREFIX_REPEQ, 0xF3},
    {PREFIX_REPNE, 0xF2},
};

OpSize op_size(WordSize size) {
    if (size == WS_B) return OS_BYTE;
    return size == WS_W ? OS_WORD : OS_LONG;
}

uint8_t w_bit(OpSize size) { return size == OS_BYTE ? 0 : 1; }

int32_t low_byte(int32_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value) & 0xFFu); }

bool is_acc(const OperandDesc& op) { return op.kind == OPK_REG && op.reg == 0; }

// Byte instructions see m0..m3 as byte registers and refuse r4..r7.
void read_sized_operand(Asm& a, OpSize size, OperandDesc& op) {
    if (size == OS_BYTE)
        read_parse_byte_operand(a, op);
    else
        read_parse_operand(a, op);
}

void emit_size_prefix(Asm& a, OpSize size) {
    if (size != OS_BYTE) emit_operand_size_prefix(a, size == OS_LONG);
}

// Address-size, operand-size and segment prefixes of the operand that becomes the r/m part.
void emit_rm_prefixes(Asm& a, const OperandDesc& rm, OpSize size) {
    emit_address_size_prefix(a, rm);
    emit_size_prefix(a, size);
    emit_segment_prefix(a, rm);
}

// A pending lock is taken only by a read-modify-write of memory; anywhere else it stays
// pending and the statement end refuses it.
void take_lock(Asm& a, bool accepted, const OperandDesc& dest) {
    if (accepted && a.pending_prefix == PREFIX_LOCK && is_mem_kind(dest.kind)) {
        emit_byte(a, 0xF0);
        a.pending_prefix = PREFIX_NONE;
    }
}

void check_immediate(Asm& a, OpSize size, const OperandDesc& imm, int32_t code_b, int32_t code_w) {
    if (size == OS_BYTE && imm.reg != SIZE_BYTE) fatal_error(a, code_b, MSG_BYTE_TOO_LARGE);
    if (size == OS_WORD && imm.reg == SIZE_LONG) fatal_error(a, code_w, MSG_WORD_TOO_LARGE);
}

void emit_immediate(Asm& a, OpSize size, int32_t value) {
    if (size == OS_BYTE)
        emit_byte(a, low_byte(value));
    else if (size == OS_WORD)
        emit_word(a, value);
    else
        emit_dword(a, value);
}

// cmp's string forms: operand 1 is the destination string (ES:EDI), operand 2 the source
// string (compare) or the accumulator (scan). The flags still come from operand 2 minus
// operand 1. Returns false when the operands are neither form.
bool encode_cmp_string(Asm& a, OpSize size, const OperandDesc& dst_str, const OperandDesc& second) {
    if (dst_str.kind != OPK_STRDST16 && dst_str.kind != OPK_STRDST32) return false;
    const bool compare = (dst_str.kind == OPK_STRDST16 && second.kind == OPK_STRSRC16) ||
                         (dst_str.kind == OPK_STRDST32 && second.kind == OPK_STRSRC32);
    if (!compare && !is_acc(second)) return false;
    for (const RepeatRow& rep : CMP_REPEATS)
        if (a.pending_prefix == rep.prefix) {
            emit_byte(a, rep.byte);
            a.pending_prefix = PREFIX_NONE;
            break;
        }
    emit_address_size_prefix(a, dst_str);
    emit_size_prefix(a, size);
    // Only the source string's segment can be overridden.
    if (compare) emit_segment_prefix(a, second);
    emit_byte(a, (compare ? 0xA6 : 0xAE) | w_bit(size));
    return true;
}

void encode_alu(Asm& a, const AluRow& row, OpSize size) {
    OperandDesc src;
    OperandDesc dst;
    read_sized_operand(a, size, src);
    read_sized_operand(a, size, dst);
    const AluCodes& c = row.codes;
    const uint8_t w = w_bit(size);
    if (src.kind == OPK_IMM && is_acc(dst)) {
        check_immediate(a, size, src, c.acc_range_b, c.acc_range_w);
        emit_size_prefix(a, size);
        emit_byte(a, row.acc_imm | w);
        emit_immediate(a, size, src.value);
        return;
    }
    if (src.kind == OPK_IMM && is_rm_kind(dst.kind)) {
        check_immediate(a, size, src, c.rm_range_b, c.rm_range_w);
        take_lock(a, row.lock, dst);
        emit_rm_prefixes(a, dst, size);
        emit_byte(a, row.rm_imm | w);
        emit_modrm(a, row.digit, dst);
        emit_immediate(a, size, src.value);
        return;
    }
    if (src.kind == OPK_REG && is_rm_kind(dst.kind)) {
        take_lock(a, row.lock, dst);
        emit_rm_prefixes(a, dst, size);
        emit_byte(a, row.reg_rm | w);
        emit_modrm_reg(a, src.reg, dst);
        return;
    }
    if (dst.kind == OPK_REG && is_rm_kind(src.kind)) {
        emit_rm_prefixes(a, src, size);
        emit_byte(a, row.rm_reg | w);
        emit_modrm_reg(a, dst.reg, src);
        return;
    }
    if (row.strings && encode_cmp_string(a, size, src, dst)) return;
    fatal_error(a, size == OS_BYTE ? c.invalid_b : c.invalid_wl, MSG_BAD_OPERAND_FOR_INSN);
}

// The quick form always takes opcode 0x83, the accumulator included: its byte immediate is
// sign-extended by the processor.
void encode_quick(Asm& a, const AluRow& row, OpSize size) {
    OperandDesc src;
    OperandDesc dst;
    read_parse_operand(a, src);
    read_parse_operand(a, dst);
    if (src.kind != OPK_IMM || !is_rm_kind(dst.kind))
        fatal_error(a, row.codes.quick_invalid, MSG_BAD_OPERAND_FOR_INSN);
    if (src.reg != SIZE_BYTE) fatal_error(a, row.codes.quick_range, MSG_BYTE_TOO_LARGE);
    take_lock(a, row.lock, dst);
    emit_rm_prefixes(a, dst, size);
    emit_byte(a, QUICK_OPCODE);
    emit_modrm(a, row.digit, dst);
    emit_byte(a, low_byte(src.value));
}

void encode_unary(Asm& a, const UnaryRow& row, OpSize size) {
    OperandDesc x;
    read_sized_operand(a, size, x);
    if (!is_rm_kind(x.kind))
        fatal_error(a, size == OS_BYTE ? row.invalid_b : row.invalid_wl, MSG_BAD_OPERAND_FOR_INSN);
    take_lock(a, true, x);
    // Byte registers have no one-byte form: inc.b m0 is FE C4.
    if (size != OS_BYTE && x.kind == OPK_REG && row.reg_short != 0) {
        emit_size_prefix(a, size);
        emit_byte(a, row.reg_short + reg_code(x.reg));
        return;
    }
    emit_rm_prefixes(a, x, size);
    emit_byte(a, row.rm_op | w_bit(size));
    emit_modrm(a, row.digit, x);
}

void encode_adjust(Asm& a, const AdjustRow& row) {
    OperandDesc first;
    read_parse_operand(a, first);
    if (!row.has_base) {
        if (!is_acc(first)) fatal_error(a, row.code, MSG_BAD_OPERAND_FOR_INSN);
        emit_byte(a, row.opcode);
        return;
    }
    OperandDesc second;
    read_parse_operand(a, second);
    int32_t base = 10;
    if (first.kind == OPK_IMM && is_acc(second)) {
        if (first.reg != SIZE_BYTE) fatal_error(a, row.code, MSG_BYTE_TOO_LARGE);
        base = first.value;
    } else if (!is_acc(first) || second.kind != OPK_NONE) {
        fatal_error(a, row.code, MSG_BAD_OPERAND_FOR_INSN);
    }
    emit_byte(a, row.opcode);
    emit_byte(a, low_byte(base));
}

}  // namespace

void isa_arith(Asm& a, const StatementWord& w) {
    const OpSize size = op_size(w.size);
    for (const AluRow& row : ALU_ROWS) {
        if (row.op == w.op) return encode_alu(a, row, size);
        if (row.quick_op == w.op) return encode_quick(a, row, size);
    }
    for (const UnaryRow& row : UNARY_ROWS)
        if (row.op == w.op) return encode_unary(a, row, size);
    for (const AdjustRow& row : ADJUST_ROWS)
        if (row.op == w.op) return encode_adjust(a, row);
    unknown_statement_word(a);
}
