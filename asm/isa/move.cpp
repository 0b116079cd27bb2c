// Encoders of the data movement instructions: move.b/.w/.l (register, memory, immediate,
// stack, string, translate, flags, segment, far-pointer and system-register forms), moveq, movem.
#include <array>
#include <cstdint>
#include <span>

#include "asm/driver/diagnostics.h"
#include "asm/driver/output.h"
#include "asm/front/reader.h"
#include "asm/isa/words.h"
#include "asm/operand/operand.h"

namespace {

// What an operand must be for a row to apply.
enum MoveMatch : uint8_t {
    MM_IMM,
    MM_REG,
    MM_ACC,        // r0 (AL, AX, EAX)
    MM_M0,         // AH, which parse_byte_operand turns into OPK_REG 7
    MM_MEM,
    MM_RM,
    MM_ABS,        // 16- or 32-bit absolute address
    MM_STRSRC,
    MM_STRDST,
    MM_STRSRC16,
    MM_STRDST16,
    MM_STRSRC32,
    MM_STRDST32,
    MM_XLAT,
    MM_SR,
    MM_POP,
    MM_PUSH,
    MM_SREG,
    MM_SREG_NOT_CS,
    MM_PAIR_SR,
    MM_GDTR,
    MM_IDTR,
    MM_LDTR,
    MM_TASKREG,
    MM_CR0,
    MM_CR023,      // the control registers the 486 has
    MM_DR_MOVABLE, // dr4 and dr5 are not addressable
    MM_TESTREG,
};

// Prefix recipe of a row, emitted after the repeat prefix and before the opcode.
enum MovePrefix : uint8_t {
    MP_NONE,
    MP_66,           // operand-size prefix alone (word/long)
    MP_OP1,          // address size, operand size (word/long), segment of operand 1
    MP_OP2,
    MP_OP1_NO66,     // address size and segment of operand 1; the operation size is fixed
    MP_OP2_NO66,
    MP_STORE,        // address size of the destination string, operand size (ES has no override)
};

// Where the opcode comes from.
enum MoveOpcode : uint8_t {
    MO_FIXED,
    MO_PLUS_REG1,    // opcode + reg_code of operand 1's register
    MO_PLUS_REG2,
    MO_SEG_PUSH,     // by operand 1's segment digit
    MO_SEG_POP,      // by operand 2's segment digit
    MO_SEG_FAR,      // far-pointer load by operand 2's s-digit
};

// What follows the opcode.
enum MoveTail : uint8_t {
    MT_NONE,
    MT_IMM,          // ib / iw / id by size
    MT_ADDR1,        // operand 1's absolute address, dw or dd by its kind
    MT_ADDR2,
    MT_REG1_RM2,     // /r: operand 1's register, r/m operand 2
    MT_REG2_RM1,
    MT_DIGIT_RM1,    // /digit, r/m operand 1
    MT_DIGIT_RM2,
    MT_DIGIT_RM2_IMM,  // /digit, r/m operand 2, then the immediate of operand 1
    MT_SYSREG2_RM1,  // /n with n the digit of operand 2's cr/dr/tr, r/m operand 1
    MT_SYSREG1_RM2,
};

enum MoveRep : uint8_t {
    MR_NONE,
    MR_F2,  // string load and translate
    MR_F3,  // string move and store
};

enum MoveSizes : uint8_t {
    MS_B = 1,
    MS_W = 2,
    MS_L = 4,
    MS_WL = MS_W | MS_L,
};

struct MoveRow {
    MoveMatch src;
    MoveMatch dst;
    uint8_t sizes;
    MoveRep rep;
    MovePrefix prefix;
    MoveOpcode from;
    uint8_t len;              // opcode bytes (a 0x0F escape counts)
    std::array<uint8_t, 2> opcode;
    MoveTail tail;
    uint8_t digit;            // ModRM reg field of MT_DIGIT_*
    int16_t code;             // error code of the row's value check (immediate, address, digit)
};

// move.b, in the order of testing: the accumulator short forms come before the ModRM forms.
constexpr MoveRow BYTE_ROWS[] = {
    {MM_IMM, MM_REG, MS_B, MR_NONE, MP_NONE, MO_PLUS_REG2, 1, {0xB0, 0}, MT_IMM, 0, 175},
    {MM_IMM, MM_MEM, MS_B, MR_NONE, MP_OP2, MO_FIXED, 1, {0xC6, 0}, MT_DIGIT_RM2_IMM, 0, 176},
    {MM_ACC, MM_ABS, MS_B, MR_NONE, MP_OP2, MO_FIXED, 1, {0xA2, 0}, MT_ADDR2, 0, 177},
    {MM_ABS, MM_ACC, MS_B, MR_NONE, MP_OP1, MO_FIXED, 1, {0xA0, 0}, MT_ADDR1, 0, 178},
    {MM_REG, MM_RM, MS_B, MR_NONE, MP_OP2, MO_FIXED, 1, {0x88, 0}, MT_REG1_RM2, 0, 0},
    {MM_MEM, MM_REG, MS_B, MR_NONE, MP_OP1, MO_FIXED, 1, {0x8A, 0}, MT_REG2_RM1, 0, 0},
    {MM_STRSRC, MM_ACC, MS_B, MR_F2, MP_OP1, MO_FIXED, 1, {0xAC, 0}, MT_NONE, 0, 0},
    {MM_ACC, MM_STRDST, MS_B, MR_F3, MP_STORE, MO_FIXED, 1, {0xAA, 0}, MT_NONE, 0, 0},
    {MM_STRSRC16, MM_STRDST16, MS_B, MR_F3, MP_OP1, MO_FIXED, 1, {0xA4, 0}, MT_NONE, 0, 0},
    {MM_STRSRC32, MM_STRDST32, MS_B, MR_F3, MP_OP1, MO_FIXED, 1, {0xA4, 0}, MT_NONE, 0, 0},
    {MM_XLAT, MM_ACC, MS_B, MR_F2, MP_OP1, MO_FIXED, 1, {0xD7, 0}, MT_NONE, 0, 0},
    {MM_SR, MM_M0, MS_B, MR_NONE, MP_NONE, MO_FIXED, 1, {0x9F, 0}, MT_NONE, 0, 0},
    {MM_M0, MM_SR, MS_B, MR_NONE, MP_NONE, MO_FIXED, 1, {0x9E, 0}, MT_NONE, 0, 0},
};
constexpr int32_t BYTE_NO_ROW = 179;

// move.w and move.l, in the order of testing.
constexpr MoveRow WORD_LONG_ROWS[] = {
    {MM_IMM, MM_REG, MS_WL, MR_NONE, MP_66, MO_PLUS_REG2, 1, {0xB8, 0}, MT_IMM, 0, 180},
    {MM_IMM, MM_MEM, MS_WL, MR_NONE, MP_OP2, MO_FIXED, 1, {0xC7, 0}, MT_DIGIT_RM2_IMM, 0, 181},
    {MM_ACC, MM_ABS, MS_WL, MR_NONE, MP_OP2, MO_FIXED, 1, {0xA3, 0}, MT_ADDR2, 0, 182},
    {MM_ABS, MM_ACC, MS_WL, MR_NONE, MP_OP1, MO_FIXED, 1, {0xA1, 0}, MT_ADDR1, 0, 183},
    {MM_REG, MM_RM, MS_WL, MR_NONE, MP_OP2, MO_FIXED, 1, {0x89, 0}, MT_REG1_RM2, 0, 0},
    {MM_MEM, MM_REG, MS_WL, MR_NONE, MP_OP1, MO_FIXED, 1, {0x8B, 0}, MT_REG2_RM1, 0, 0},
    {MM_STRSRC, MM_ACC, MS_WL, MR_F2, MP_OP1, MO_FIXED, 1, {0xAD, 0}, MT_NONE, 0, 0},
    {MM_ACC, MM_STRDST, MS_WL, MR_F3, MP_STORE, MO_FIXED, 1, {0xAB, 0}, MT_NONE, 0, 0},
    {MM_STRSRC16, MM_STRDST16, MS_WL, MR_F3, MP_OP1, MO_FIXED, 1, {0xA5, 0}, MT_NONE, 0, 0},
    {MM_STRSRC32, MM_STRDST32, MS_WL, MR_F3, MP_OP1, MO_FIXED, 1, {0xA5, 0}, MT_NONE, 0, 0},
    {MM_GDTR, MM_MEM, MS_WL, MR_NONE, MP_OP2, MO_FIXED, 2, {0x0F, 0x01}, MT_DIGIT_RM2, 0, 0},
    {MM_IDTR, MM_MEM, MS_WL, MR_NONE, MP_OP2, MO_FIXED, 2, {0x0F, 0x01}, MT_DIGIT_RM2, 1, 0},
    {MM_MEM, MM_GDTR, MS_WL, MR_NONE, MP_OP1, MO_FIXED, 2, {0x0F, 0x01}, MT_DIGIT_RM1, 2, 0},
    {MM_MEM, MM_IDTR, MS_WL, MR_NONE, MP_OP1, MO_FIXED, 2, {0x0F, 0x01}, MT_DIGIT_RM1, 3, 0},
    {MM_MEM, MM_PAIR_SR, MS_WL, MR_NONE, MP_OP1, MO_SEG_FAR, 0, {0, 0}, MT_REG2_RM1, 0, 184},
    {MM_POP, MM_REG, MS_WL, MR_NONE, MP_66, MO_PLUS_REG2, 1, {0x58, 0}, MT_NONE, 0, 0},
    {MM_REG, MM_PUSH, MS_WL, MR_NONE, MP_66, MO_PLUS_REG1, 1, {0x50, 0}, MT_NONE, 0, 0},
    {MM_POP, MM_MEM, MS_WL, MR_NONE, MP_OP2, MO_FIXED, 1, {0x8F, 0}, MT_DIGIT_RM2, 0, 0},
    {MM_MEM, MM_PUSH, MS_WL, MR_NONE, MP_OP1, MO_FIXED, 1, {0xFF, 0}, MT_DIGIT_RM1, 6, 0},
    {MM_POP, MM_SR, MS_WL, MR_NONE, MP_66, MO_FIXED, 1, {0x9D, 0}, MT_NONE, 0, 0},
    {MM_SR, MM_PUSH, MS_WL, MR_NONE, MP_66, MO_FIXED, 1, {0x9C, 0}, MT_NONE, 0, 0},
    {MM_IMM, MM_PUSH, MS_WL, MR_NONE, MP_66, MO_FIXED, 1, {0x68, 0}, MT_IMM, 0, 185},
    {MM_SREG, MM_PUSH, MS_WL, MR_NONE, MP_66, MO_SEG_PUSH, 0, {0, 0}, MT_NONE, 0, 186},
    {MM_POP, MM_SREG, MS_WL, MR_NONE, MP_66, MO_SEG_POP, 0, {0, 0}, MT_NONE, 0, 187},
    {MM_SREG, MM_RM, MS_WL, MR_NONE, MP_OP2, MO_FIXED, 1, {0x8C, 0}, MT_REG1_RM2, 0, 0},
    // CS cannot be loaded by MOV; the segment register move is 16 bits whatever the size.
    {MM_RM, MM_SREG_NOT_CS, MS_WL, MR_NONE, MP_OP1_NO66, MO_FIXED, 1, {0x8E, 0}, MT_REG2_RM1, 0, 0},
    // Moves with the control, debug and test registers always work on 32 bits: no prefix.
    {MM_REG, MM_CR023, MS_L, MR_NONE, MP_NONE, MO_FIXED, 2, {0x0F, 0x22}, MT_SYSREG2_RM1, 0, 0},
    {MM_CR023, MM_REG, MS_L, MR_NONE, MP_NONE, MO_FIXED, 2, {0x0F, 0x20}, MT_SYSREG1_RM2, 0, 0},
    {MM_REG, MM_DR_MOVABLE, MS_L, MR_NONE, MP_NONE, MO_FIXED, 2, {0x0F, 0x23}, MT_SYSREG2_RM1, 0, 0},
    {MM_DR_MOVABLE, MM_REG, MS_L, MR_NONE, MP_NONE, MO_FIXED, 2, {0x0F, 0x21}, MT_SYSREG1_RM2, 0, 0},
    {MM_REG, MM_TESTREG, MS_L, MR_NONE, MP_NONE, MO_FIXED, 2, {0x0F, 0x26}, MT_SYSREG2_RM1, 0, 0},
    {MM_TESTREG, MM_REG, MS_L, MR_NONE, MP_NONE, MO_FIXED, 2, {0x0F, 0x24}, MT_SYSREG1_RM2, 0, 0},
    // The 16-bit system registers: SLDT, LLDT, SMSW, LMSW, STR, LTR.
    {MM_LDTR, MM_RM, MS_W, MR_NONE, MP_OP2_NO66, MO_FIXED, 2, {0x0F, 0x00}, MT_DIGIT_RM2, 0, 0},
    {MM_RM, MM_LDTR, MS_W, MR_NONE, MP_OP1_NO66, MO_FIXED, 2, {0x0F, 0x00}, MT_DIGIT_RM1, 2, 0},
    {MM_CR0, MM_RM, MS_W, MR_NONE, MP_OP2_NO66, MO_FIXED, 2, {0x0F, 0x01}, MT_DIGIT_RM2, 4, 0},
    {MM_RM, MM_CR0, MS_W, MR_NONE, MP_OP1_NO66, MO_FIXED, 2, {0x0F, 0x01}, MT_DIGIT_RM1, 6, 0},
    {MM_TASKREG, MM_RM, MS_W, MR_NONE, MP_OP2_NO66, MO_FIXED, 2, {0x0F, 0x00}, MT_DIGIT_RM2, 1, 0},
    {MM_RM, MM_TASKREG, MS_W, MR_NONE, MP_OP1_NO66, MO_FIXED, 2, {0x0F, 0x00}, MT_DIGIT_RM1, 3, 0},
};
constexpr int32_t WORD_LONG_NO_ROW = 188;

// Segment register opcodes by segment digit; len 0 marks a register without that form.
struct SegOpcode {
    uint8_t len;
    std::array<uint8_t, 2> bytes;
};
struct SegOpcodes {
    SegOpcode push, pop, far_load;
};
constexpr std::array<SegOpcodes, 8> SEG_OPCODES = {{
    {{1, {0x1E, 0}}, {1, {0x1F, 0}}, {1, {0xC5, 0}}},        // 0 DS
    {{1, {0x06, 0}}, {1, {0x07, 0}}, {1, {0xC4, 0}}},        // 1 ES
    {{2, {0x0F, 0xA0}}, {2, {0x0F, 0xA1}}, {2, {0x0F, 0xB4}}},  // 2 FS
    {{2, {0x0F, 0xA8}}, {2, {0x0F, 0xA9}}, {2, {0x0F, 0xB5}}},  // 3 GS
    {{0, {0, 0}}, {0, {0, 0}}, {0, {0, 0}}},                 // 4 none
    {{0, {0, 0}}, {0, {0, 0}}, {0, {0, 0}}},                 // 5 none
    {{1, {0x0E, 0}}, {0, {0, 0}}, {0, {0, 0}}},              // 6 CS: neither popped nor loaded
    {{1, {0x16, 0}}, {1, {0x17, 0}}, {2, {0x0F, 0xB2}}},     // 7 SS
}};

// The two move.l forms named by operand words rather than operands.
struct WordForm {
    const char* first;
    const char* second;
    std::array<uint8_t, 2> bytes;
};
constexpr WordForm WORD_FORMS[] = {
    {"timestampcounter", "r1|r0", {0x0F, 0x31}},  // RDTSC
    {"cpuid", "r3|r2|r1|r0", {0x0F, 0xA2}},       // CPUID
};

bool is_abs_kind(uint32_t kind) { return kind == OPK_M16_ABS || kind == OPK_M32_ABS; }

bool operand_matches(MoveMatch m, const OperandDesc& op) {
    const uint32_t k = op.kind;
    switch (m) {
    case MM_IMM: return k == OPK_IMM;
    case MM_REG: return k == OPK_REG;
    case MM_ACC: return k == OPK_REG && op.reg == 0;
    case MM_M0: return k == OPK_REG && op.reg == 7;
    case MM_MEM: return is_mem_kind(k);
    case MM_RM: return is_rm_kind(k);
    case MM_ABS: return is_abs_kind(k);
    case MM_STRSRC: return k == OPK_STRSRC16 || k == OPK_STRSRC32;
    case MM_STRDST: return k == OPK_STRDST16 || k == OPK_STRDST32;
    case MM_STRSRC16: return k == OPK_STRSRC16;
    case MM_STRDST16: return k == OPK_STRDST16;
    case MM_STRSRC32: return k == OPK_STRSRC32;
    case MM_STRDST32: return k == OPK_STRDST32;
    case MM_XLAT: return k == OPK_XLAT16 || k == OPK_XLAT32;
    case MM_SR: return k == OPK_SR;
    case MM_POP: return k == OPK_POP;
    case MM_PUSH: return k == OPK_PUSH;
    case MM_SREG: return k == OPK_SREG;
    case MM_SREG_NOT_CS: return k == OPK_SREG && op.seg != 6;
    case MM_PAIR_SR: return k == OPK_PAIR_SR;
    case MM_GDTR: return k == OPK_GDTR;
    case MM_IDTR: return k == OPK_IDTR;
    case MM_LDTR: return k == OPK_LDTR;
    case MM_TASKREG: return k == OPK_TASKREG;
    case MM_CR0: return k == OPK_CR && op.reg == 0;
    case MM_CR023: return k == OPK_CR && (op.reg == 0 || op.reg == 2 || op.reg == 3);
    case MM_DR_MOVABLE: return k == OPK_DR && op.reg != 4 && op.reg != 5;
    case MM_TESTREG: return k == OPK_TESTREG;
    }
    return false;
}

uint8_t size_bit(WordSize size) {
    switch (size) {
    case WS_B: return MS_B;
    case WS_W: return MS_W;
    default: return MS_L;
    }
}

const MoveRow* find_row(std::span<const MoveRow> rows, WordSize size, const OperandDesc& op1,
                        const OperandDesc& op2) {
    const uint8_t bit = size_bit(size);
    for (const MoveRow& row : rows)
        if ((row.sizes & bit) && operand_matches(row.src, op1) && operand_matches(row.dst, op2))
            return &row;
    return nullptr;
}

// Byte immediates take values -128..255, word immediates anything short of SIZE_LONG.
bool immediate_fits(WordSize size, int32_t size_class) {
    if (size == WS_B) return size_class == SIZE_BYTE;
    if (size == WS_W) return size_class != SIZE_LONG;
    return true;
}

void emit_operand_size(Asm& a, WordSize size) {
    if (size != WS_B) emit_operand_size_prefix(a, size == WS_L);
}

void emit_full_prefixes(Asm& a, WordSize size, const OperandDesc& op) {
    emit_address_size_prefix(a, op);
    emit_operand_size(a, size);
    emit_segment_prefix(a, op);
}

void emit_row_prefixes(Asm& a, const MoveRow& row, WordSize size, const OperandDesc& op1,
                       const OperandDesc& op2) {
    switch (row.prefix) {
    case MP_NONE: break;
    case MP_66: emit_operand_size(a, size); break;
    case MP_OP1: emit_full_prefixes(a, size, op1); break;
    case MP_OP2: emit_full_prefixes(a, size, op2); break;
    case MP_OP1_NO66:
        emit_address_size_prefix(a, op1);
        emit_segment_prefix(a, op1);
        break;
    case MP_OP2_NO66:
        emit_address_size_prefix(a, op2);
        emit_segment_prefix(a, op2);
        break;
    case MP_STORE:
        emit_address_size_prefix(a, op2);
        emit_operand_size(a, size);
        break;
    }
}

void emit_opcode_bytes(Asm& a, uint8_t len, const std::array<uint8_t, 2>& bytes) {
    for (uint8_t i = 0; i < len; ++i) emit_byte(a, bytes[i]);
}

// Segment opcodes are looked up only after the prefixes are out, so a refused digit still
// stops the run after them.
void emit_seg_opcode(Asm& a, const SegOpcode SegOpcodes::*form, uint32_t digit, int32_t code) {
    const SegOpcode& op = SEG_OPCODES[digit & 7].*form;
    if (digit > 7 || op.len == 0) fatal_error(a, code, MSG_BAD_OPERAND_FOR_INSN);
    emit_opcode_bytes(a, op.len, op.bytes);
}

void emit_row_opcode(Asm& a, const MoveRow& row, const OperandDesc& op1, const OperandDesc& op2) {
    switch (row.from) {
    case MO_FIXED: emit_opcode_bytes(a, row.len, row.opcode); break;
    case MO_PLUS_REG1: emit_byte(a, row.opcode[0] + reg_code(op1.reg)); break;
    case MO_PLUS_REG2: emit_byte(a, row.opcode[0] + reg_code(op2.reg)); break;
    case MO_SEG_PUSH: emit_seg_opcode(a, &SegOpcodes::push, op1.seg, row.code); break;
    case MO_SEG_POP: emit_seg_opcode(a, &SegOpcodes::pop, op2.seg, row.code); break;
    case MO_SEG_FAR: emit_seg_opcode(a, &SegOpcodes::far_load, op2.seg, row.code); break;
    }
}

void emit_immediate(Asm& a, WordSize size, int32_t value) {
    if (size == WS_B)
        emit_byte(a, value & 0xFF);
    else if (size == WS_W)
        emit_word(a, value & 0xFFFF);
    else
        emit_dword(a, value);
}

// The address of an accumulator short form: a 16-bit address is tested as unsigned.
void emit_address(Asm& a, const OperandDesc& op, int32_t code) {
    if (op.kind == OPK_M32_ABS) {
        emit_dword(a, op.value);
        return;
    }
    if (op.value < 0 || op.value > 0xFFFF) fatal_error(a, code, MSG_WORD_TOO_LARGE);
    emit_word(a, op.value);
}

void emit_row_tail(Asm& a, const MoveRow& row, WordSize size, const OperandDesc& op1,
                   const OperandDesc& op2) {
    switch (row.tail) {
    case MT_NONE: break;
    case MT_IMM: emit_immediate(a, size, op1.value); break;
    case MT_ADDR1: emit_address(a, op1, row.code); break;
    case MT_ADDR2: emit_address(a, op2, row.code); break;
    case MT_REG1_RM2: emit_modrm_reg(a, op1.reg, op2); break;
    case MT_REG2_RM1: emit_modrm_reg(a, op2.reg, op1); break;
    case MT_DIGIT_RM1: emit_modrm(a, row.digit, op1); break;
    case MT_DIGIT_RM2: emit_modrm(a, row.digit, op2); break;
    case MT_DIGIT_RM2_IMM:
        emit_modrm(a, row.digit, op2);
        emit_immediate(a, size, op1.value);
        break;
    case MT_SYSREG2_RM1: emit_modrm(a, op2.reg, op1); break;
    case MT_SYSREG1_RM2: emit_modrm(a, op1.reg, op2); break;
    }
}

// The repeat prefix rep_r2 is taken only by the string and translate forms.
void take_repeat_prefix(Asm& a, MoveRep rep) {
    if (rep == MR_NONE || a.pending_prefix != PREFIX_REP) return;
    emit_byte(a, rep == MR_F2 ? 0xF2 : 0xF3);
    a.pending_prefix = PREFIX_NONE;
}

void encode_row(Asm& a, const MoveRow& row, WordSize size, const OperandDesc& op1,
                const OperandDesc& op2) {
    if (row.src == MM_IMM && !immediate_fits(size, op1.reg))
        fatal_error(a, row.code, size == WS_B ? MSG_BYTE_TOO_LARGE : MSG_WORD_TOO_LARGE);
    take_repeat_prefix(a, row.rep);
    emit_row_prefixes(a, row, size, op1, op2);
    emit_row_opcode(a, row, op1, op2);
    emit_row_tail(a, row, size, op1, op2);
}

// move.l with an operand word: returns false when the first operand text is no such word.
bool encode_word_form(Asm& a, const char* first) {
    for (const WordForm& form : WORD_FORMS) {
        if (!text_equal(first, form.first)) continue;
        if (!text_equal(read_operand(a), form.second)) fatal_error(a, 348, MSG_BAD_OPERAND);
        emit_opcode_bytes(a, 2, form.bytes);
        return true;
    }
    return false;
}

void encode_move(Asm& a, WordSize size) {
    OperandDesc op1;
    OperandDesc op2;
    if (size == WS_B) {
        read_parse_byte_operand(a, op1);
        read_parse_byte_operand(a, op2);
    } else {
        char* first = read_operand(a);
        if (size == WS_L && encode_word_form(a, first)) return;
        parse_operand(a, first, op1);
        read_parse_operand(a, op2);
    }
    const bool is_byte = size == WS_B;
    const MoveRow* row = is_byte ? find_row(BYTE_ROWS, size, op1, op2)
                                 : find_row(WORD_LONG_ROWS, size, op1, op2);
    if (row == nullptr)
        fatal_error(a, is_byte ? BYTE_NO_ROW : WORD_LONG_NO_ROW, MSG_BAD_OPERAND_FOR_INSN);
    encode_row(a, *row, size, op1, op2);
}

// moveq: PUSH of a sign-extended byte immediate.
void encode_moveq(Asm& a, WordSize size) {
    OperandDesc op1;
    OperandDesc op2;
    read_parse_operand(a, op1);
    read_parse_operand(a, op2);
    if (op1.kind != OPK_IMM || op2.kind != OPK_PUSH) fatal_error(a, 191, MSG_BAD_OPERAND_FOR_INSN);
    if (op1.reg != SIZE_BYTE) fatal_error(a, 190, MSG_BYTE_TOO_LARGE);
    emit_operand_size(a, size);
    emit_byte(a, 0x6A);
    emit_byte(a, op1.value & 0xFF);
}

// movem: PUSHA/POPA. The POPAD of movem.l is followed by a NOP in either mode.
void encode_movem(Asm& a, WordSize size) {
    OperandDesc op1;
    OperandDesc op2;
    read_parse_operand(a, op1);
    read_parse_operand(a, op2);
    emit_operand_size(a, size);
    if (op1.kind == OPK_POP && op2.kind == OPK_ALLREGS) {
        emit_byte(a, 0x61);
        if (size == WS_L) emit_byte(a, 0x90);
    } else if (op1.kind == OPK_ALLREGS && op2.kind == OPK_PUSH) {
        emit_byte(a, 0x60);
    } else {
        fatal_error(a, 189, MSG_BAD_OPERAND_FOR_INSN);
    }
}

}  // namespace

void isa_move(Asm& a, const StatementWord& w) {
    switch (w.op) {
    case MOVE_MOVE: encode_move(a, w.size); break;
    case MOVE_MOVEQ: encode_moveq(a, w.size); break;
    case MOVE_MOVEM: encode_movem(a, w.size); break;
    default: unknown_statement_word(a);
    }
}
