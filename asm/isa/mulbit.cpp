// Encoders of the multiply, divide, bit test/modify/scan, set-on-condition and system
// instructions; each group is a table of rows walked by one routine.
#include <array>

#include "asm/driver/diagnostics.h"
#include "asm/driver/output.h"
#include "asm/front/reader.h"
#include "asm/isa/words.h"
#include "asm/operand/operand.h"

namespace {

// ---- shared emitters ------------------------------------------------------------------------

// Address-size, operand-size and segment prefixes of the r/m operand x. Only .w and .l
// operations take 0x66; byte forms and fixed-size system forms pass WS_NONE or WS_B.
void emit_rm_prefixes(Asm& a, const OperandDesc& x, WordSize size) {
    emit_address_size_prefix(a, x);
    if (size == WS_W || size == WS_L) emit_operand_size_prefix(a, size == WS_L);
    emit_segment_prefix(a, x);
}

void emit_opcode(Asm& a, uint8_t first, uint8_t second) {
    emit_byte(a, first);
    if (first == 0x0F) emit_byte(a, second);
}

void read_sized_operand(Asm& a, OperandDesc& op, bool byte_parse) {
    if (byte_parse)
        read_parse_byte_operand(a, op);
    else
        read_parse_operand(a, op);
}

bool is_reg(const OperandDesc& op, int32_t reg) { return op.kind == OPK_REG && op.reg == reg; }

// ---- multiply and divide --------------------------------------------------------------------

struct MulDivRow {
    uint8_t op;
    bool divide;     // two operands (X, pair) instead of three (X, r0, pair)
    uint8_t digit;   // ModRM digit of 0xF6 / 0xF7
    int32_t byte_error;
    int32_t error;   // .w and .l
};

constexpr std::array<MulDivRow, 4> MULDIV_ROWS = {{
    {MULBIT_MULS, false, 5, 196, 198},
    {MULBIT_MULU, false, 4, 201, 202},
    {MULBIT_DIVS, true, 7, 94, 95},
    {MULBIT_DIVU, true, 6, 96, 97},
}};

constexpr int32_t MULS_WORD_IMM_ERROR = 197;

void emit_group3(Asm& a, const OperandDesc& x, WordSize size, uint8_t digit) {
    emit_rm_prefixes(a, x, size);
    emit_byte(a, size == WS_B ? 0xF6 : 0xF7);
    emit_modrm(a, digit, x);
}

// The two- and three-operand signed multiplies of muls.w/.l; false when the operands fit neither.
bool signed_multiply_forms(Asm& a, const OperandDesc& o1, const OperandDesc& o2,
                           const OperandDesc& o3, WordSize size) {
    if (is_rm_kind(o1.kind) && o2.kind == OPK_REG && is_reg(o3, o2.reg)) {
        emit_rm_prefixes(a, o1, size);
        emit_opcode(a, 0x0F, 0xAF);
        emit_modrm_reg(a, o2.reg, o1);
        return true;
    }
    if (o1.kind == OPK_IMM && is_rm_kind(o2.kind) && o3.kind == OPK_REG) {
        if (size == WS_W && o1.reg == SIZE_LONG) fatal_error(a, MULS_WORD_IMM_ERROR, MSG_WORD_TOO_LARGE);
        emit_rm_prefixes(a, o2, size);
        emit_byte(a, 0x69);
        emit_modrm_reg(a, o3.reg, o2);
        if (size == WS_W)
            emit_word(a, o1.value);
        else
            emit_dword(a, o1.value);  // written in full, unchecked
        return true;
    }
    return false;
}

void mul_div(Asm& a, const MulDivRow& row, WordSize size) {
    const bool byte_size = size == WS_B;
    const int32_t error = byte_size ? row.byte_error : row.error;
    const uint32_t pair = byte_size ? OPK_PAIR_M0R0 : OPK_PAIR_R1R0;

    OperandDesc o1;
    OperandDesc o2;
    OperandDesc o3;
    read_sized_operand(a, o1, byte_size);
    read_sized_operand(a, o2, byte_size);
    if (row.divide) {
        if (!is_rm_kind(o1.kind) || o2.kind != pair) fatal_error(a, error, MSG_BAD_OPERAND_FOR_INSN);
        emit_group3(a, o1, size, row.digit);
        return;
    }
    read_parse_operand(a, o3);
    // The implicit accumulator is written out: X, r0 and the pair that receives the product.
    if (is_rm_kind(o1.kind) && is_reg(o2, 0) && o3.kind == pair) {
        emit_group3(a, o1, size, row.digit);
        return;
    }
    if (row.op == MULBIT_MULS && !byte_size && signed_multiply_forms(a, o1, o2, o3, size)) return;
    fatal_error(a, error, MSG_BAD_OPERAND_FOR_INSN);
}

// mulsq: IMUL r, r/m, imm8.
void multiply_quick(Asm& a, WordSize size) {
    OperandDesc o1;
    OperandDesc o2;
    OperandDesc o3;
    read_parse_operand(a, o1);
    read_parse_operand(a, o2);
    read_parse_operand(a, o3);
    if (o1.kind != OPK_IMM || !is_rm_kind(o2.kind) || o3.kind != OPK_REG)
        fatal_error(a, 200, MSG_BAD_OPERAND_FOR_INSN);
    if (o1.reg != SIZE_BYTE) fatal_error(a, 199, MSG_BYTE_TOO_LARGE);
    emit_rm_prefixes(a, o2, size);
    emit_byte(a, 0x6B);
    emit_modrm_reg(a, o3.reg, o2);
    emit_byte(a, o1.value & 0xFF);
}

// ---- bit test, modify and scan ----------------------------------------------------------------

struct BitRow {
    uint8_t op;
    uint8_t digit;        // 0x0F 0xBA /digit with an immediate bit number
    uint8_t reg_opcode;   // 0x0F reg_opcode with a register bit number
    bool lockable;
    int32_t imm_error;
    int32_t flag_error;   // 0: no flag-bit forms, sr is refused as an operand
    int32_t operand_error;
};

constexpr std::array<BitRow, 4> BIT_ROWS = {{
    {MULBIT_BTST, 4, 0xA3, false, 70, 0, 71},
    {MULBIT_BSET, 5, 0xAB, true, 65, 66, 67},
    {MULBIT_BCLR, 6, 0xB3, true, 56, 57, 58},
    {MULBIT_BCHG, 7, 0xBB, true, 53, 54, 55},
}};

// A bit number on `sr` names a flag; the instructions that set, clear or flip it.
struct FlagBitRow {
    uint8_t op;
    int32_t bit;
    uint8_t first;
    uint8_t second;  // only after 0x0F
};

constexpr std::array<FlagBitRow, 8> FLAG_BIT_ROWS = {{
    {MULBIT_BSET, 0, 0xF9, 0},     // stc
    {MULBIT_BSET, 9, 0xFB, 0},     // sti
    {MULBIT_BSET, 10, 0xFD, 0},    // std
    {MULBIT_BCLR, 0, 0xF8, 0},     // clc
    {MULBIT_BCLR, 3, 0x0F, 0x06},  // clts
    {MULBIT_BCLR, 9, 0xFA, 0},     // cli
    {MULBIT_BCLR, 10, 0xFC, 0},    // cld
    {MULBIT_BCHG, 0, 0xF5, 0},     // cmc
}};

void flag_bit(Asm& a, const BitRow& row, int32_t bit) {
    for (const FlagBitRow& f : FLAG_BIT_ROWS) {
        if (f.op == row.op && f.bit == bit) {
            emit_opcode(a, f.first, f.second);
            return;
        }
    }
    fatal_error(a, row.flag_error, MSG_BAD_OPERAND_FOR_INSN);
}

// lock belongs only in front of a read-modify-write of memory; elsewhere it stays pending
// and the statement end refuses it.
void take_lock(Asm& a, const BitRow& row, const OperandDesc& x) {
    if (row.lockable && is_mem_kind(x.kind) && a.pending_prefix == PREFIX_LOCK) {
        emit_byte(a, 0xF0);
        a.pending_prefix = PREFIX_NONE;
    }
}

void bit_modify(Asm& a, const BitRow& row, WordSize size) {
    OperandDesc bit;
    OperandDesc x;
    read_parse_operand(a, bit);
    read_parse_operand(a, x);
    if (bit.kind == OPK_IMM && is_rm_kind(x.kind)) {
        if (bit.reg != SIZE_BYTE) fatal_error(a, row.imm_error, MSG_BYTE_TOO_LARGE);
        take_lock(a, row, x);
        emit_rm_prefixes(a, x, size);
        emit_opcode(a, 0x0F, 0xBA);
        emit_modrm(a, row.digit, x);
        emit_byte(a, bit.value & 0xFF);
    } else if (bit.kind == OPK_IMM && x.kind == OPK_SR && row.flag_error != 0) {
        flag_bit(a, row, bit.value);
    } else if (bit.kind == OPK_REG && is_rm_kind(x.kind)) {
        take_lock(a, row, x);
        emit_rm_prefixes(a, x, size);
        emit_opcode(a, 0x0F, row.reg_opcode);
        emit_modrm_reg(a, bit.reg, x);
    } else {
        fatal_error(a, row.operand_error, MSG_BAD_OPERAND_FOR_INSN);
    }
}

// ---- register-from-r/m forms: bit scans and arpl ----------------------------------------------

struct RegRmRow {
    uint8_t op;
    bool reg_first;  // arpl names the register first, the bit scans name it last
    bool sized;      // takes 0x66 by its suffix
    uint8_t first;
    uint8_t second;
    int32_t error;
};

constexpr std::array<RegRmRow, 3> REG_RM_ROWS = {{
    {MULBIT_BSCF, false, true, 0x0F, 0xBC, 63},
    {MULBIT_BSCR, false, true, 0x0F, 0xBD, 64},
    {MULBIT_ARPL, true, false, 0x63, 0, 42},
}};

void reg_rm(Asm& a, const RegRmRow& row, WordSize size) {
    OperandDesc o1;
    OperandDesc o2;
    read_parse_operand(a, o1);
    read_parse_operand(a, o2);
    const OperandDesc& r = row.reg_first ? o1 : o2;
    const OperandDesc& x = row.reg_first ? o2 : o1;
    if (r.kind != OPK_REG || !is_rm_kind(x.kind)) fatal_error(a, row.error, MSG_BAD_OPERAND_FOR_INSN);
    emit_rm_prefixes(a, x, row.sized ? size : WS_NONE);
    emit_opcode(a, row.first, row.second);
    emit_modrm_reg(a, r.reg, x);
}

// ---- one-operand forms with a ModRM digit: s<cc>.b, verr, verw, invl_tlb ------------------

struct DigitRow {
    uint8_t op;
    bool memory_only;
    uint8_t second;  // after 0x0F; s<cc>.b adds the condition number
    uint8_t digit;
    int32_t error;
};

constexpr std::array<DigitRow, 4> DIGIT_ROWS = {{
    {MULBIT_SCC, false, 0x90, 0, 239},
    {MULBIT_VERR, false, 0x00, 4, 264},
    {MULBIT_VERW, false, 0x00, 5, 265},
    {MULBIT_INVL_TLB, true, 0x01, 7, 122},
}};

void one_operand(Asm& a, const DigitRow& row, const StatementWord& w) {
    OperandDesc x;
    // s<cc>.b writes a byte: m0..m3 are its high byte registers.
    read_sized_operand(a, x, row.op == MULBIT_SCC);
    if (!(row.memory_only ? is_mem_kind(x.kind) : is_rm_kind(x.kind)))
        fatal_error(a, row.error, MSG_BAD_OPERAND_FOR_INSN);
    emit_rm_prefixes(a, x, WS_NONE);
    emit_opcode(a, 0x0F, static_cast<uint8_t>(row.op == MULBIT_SCC ? row.second + w.cond : row.second));
    emit_modrm(a, row.digit, x);
}

// prefetch.b #h,X: the hint 0..3 is the ModRM digit.
void prefetch(Asm& a) {
    OperandDesc hint;
    OperandDesc x;
    read_parse_operand(a, hint);
    read_parse_operand(a, x);
    if (hint.kind != OPK_IMM || hint.value < 0 || hint.value > 3 || !is_rm_kind(x.kind))
        fatal_error(a, 2180, MSG_BAD_OPERAND_FOR_INSN);
    emit_rm_prefixes(a, x, WS_NONE);
    emit_opcode(a, 0x0F, 0x18);
    emit_modrm(a, hint.value, x);
}

template <typename Row, size_t N>
const Row* find_row(const std::array<Row, N>& rows, uint8_t op) {
    for (const Row& r : rows)
        if (r.op == op) return &r;
    return nullptr;
}

}  // namespace

void isa_mulbit(Asm& a, const StatementWord& w) {
    if (const MulDivRow* r = find_row(MULDIV_ROWS, w.op)) return mul_div(a, *r, w.size);
    if (const BitRow* r = find_row(BIT_ROWS, w.op)) return bit_modify(a, *r, w.size);
    if (const RegRmRow* r = find_row(REG_RM_ROWS, w.op)) return reg_rm(a, *r, w.size);
    if (const DigitRow* r = find_row(DIGIT_ROWS, w.op)) return one_operand(a, *r, w);
    switch (w.op) {
    case MULBIT_MULSQ: multiply_quick(a, w.size); return;
    case MULBIT_PREFETCH: prefetch(a); return;
    case MULBIT_INVL_CACHE: emit_opcode(a, 0x0F, 0x08); return;     // invd
    case MULBIT_INVL_CACHE_WB: emit_opcode(a, 0x0F, 0x09); return;  // wbinvd
    default: unknown_statement_word(a);
    }
}
