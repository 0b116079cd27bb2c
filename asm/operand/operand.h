// Operands: the descriptor of one parsed operand, the parser with its templates, and the
// emitters of the prefixes, ModRM, SIB and displacement bytes.
#pragma once

#include "asm/driver/asm_state.h"

// ORDER: the numbers are part of the encoders' range tests (r/m operand = 3..30).
enum OperandKind : uint32_t {
    OPK_NONE = 1,
    OPK_HREG = 2,
    OPK_REG = 3,
    OPK_M16_ABS = 4,
    OPK_M16_B = 5,
    OPK_M16_BI = 6,
    OPK_M16_B_D8 = 7,
    OPK_M16_BI_D8 = 8,
    OPK_M16_B_D16 = 9,
    OPK_M16_BI_D16 = 10,
    OPK_M32_ABS = 11,
    OPK_M32_B = 12,
    OPK_M32_B_D8 = 13,
    OPK_M32_B_D32 = 14,
    OPK_M32_BI = 15,
    OPK_M32_BI2 = 16,
    OPK_M32_BI4 = 17,
    OPK_M32_BI8 = 18,
    OPK_M32_I1_D32 = 19,
    OPK_M32_I2_D32 = 20,
    OPK_M32_I4_D32 = 21,
    OPK_M32_I8_D32 = 22,
    OPK_M32_BI_D8 = 23,
    OPK_M32_BI2_D8 = 24,
    OPK_M32_BI4_D8 = 25,
    OPK_M32_BI8_D8 = 26,
    OPK_M32_BI_D32 = 27,
    OPK_M32_BI2_D32 = 28,
    OPK_M32_BI4_D32 = 29,
    OPK_M32_BI8_D32 = 30,
    OPK_POP = 31,
    OPK_PUSH = 32,
    OPK_ALLREGS = 33,
    OPK_IMM = 34,
    OPK_SR = 35,
    OPK_CR = 36,
    OPK_DR = 37,
    OPK_TESTREG = 38,
    OPK_LDTR = 39,
    OPK_GDTR = 40,
    OPK_IDTR = 41,
    OPK_TASKREG = 42,
    OPK_STRDST16 = 43,
    OPK_STRDST32 = 44,
    OPK_STRSRC16 = 45,
    OPK_STRSRC32 = 46,
    OPK_PAIR_R1R0 = 47,
    OPK_PAIR_M0R0 = 48,
    OPK_PAIR_SR = 49,
    OPK_XLAT16 = 50,
    OPK_XLAT32 = 51,
    OPK_SREG = 52,
};

struct OperandDesc {
    uint32_t kind = OPK_NONE;
    int32_t reg = 0;    // register, base register, size class of an immediate, ...
    int32_t index = 0;  // index register, second register of a 16-bit pair
    int32_t value = 0;  // displacement, absolute address or immediate
    uint32_t seg = 0;   // digit of {sN}; the digit of sN for OPK_SREG and OPK_PAIR_SR
};

inline bool is_rm_kind(uint32_t kind) { return kind >= OPK_REG && kind <= OPK_M32_BI8_D32; }
inline bool is_mem_kind(uint32_t kind) { return kind >= OPK_M16_ABS && kind <= OPK_M32_BI8_D32; }
inline bool is_mem16_kind(uint32_t kind) { return kind >= OPK_M16_ABS && kind <= OPK_M16_BI_D16; }
inline bool is_mem32_kind(uint32_t kind) { return kind >= OPK_M32_ABS && kind <= OPK_M32_BI8_D32; }

// Parses the operand text (squeezed, NUL-terminated; may be shortened in place).
void parse_operand(Asm& a, char* text, OperandDesc& op);
// parse_operand, then r4..r7 are refused and m0..m3 become OPK_REG 7, 5, 4, 6.
void parse_byte_operand(Asm& a, char* text, OperandDesc& op);
// 0 when the template does not match, else 1 + the number of left-out ".l"; cuts the text
// at the start of the match. digits[0] is the segment digit, then the '?' digits right to left.
int32_t match_operand_template(char* text, const char* templ, int32_t* digits);
// Whole-string equality of an operand text with an exact form.
bool text_equal(const char* text, const char* form);

// Reads the next operand of the statement and parses it.
void read_parse_operand(Asm& a, OperandDesc& op);
void read_parse_byte_operand(Asm& a, OperandDesc& op);

// Logical register number -> processor register code (only the low three bits are used).
int32_t reg_code(int32_t logical);

void emit_address_size_prefix(Asm& a, const OperandDesc& op);
// For a word or long operation: 0x66 when the operation size differs from the segment mode.
void emit_operand_size_prefix(Asm& a, bool is_long);
void emit_segment_prefix(Asm& a, const OperandDesc& op);
// ModRM, SIB and displacement of an r/m operand (kinds 3..30) with the given reg field.
void emit_modrm(Asm& a, int32_t reg_field, const OperandDesc& op);
void emit_modrm_reg(Asm& a, int32_t logical_reg, const OperandDesc& op);
