// Register numbering and the bytes around an opcode: address-size, operand-size and segment
// prefixes, and the ModRM byte with its SIB byte and displacement for every r/m kind.
#include "asm/driver/diagnostics.h"
#include "asm/driver/output.h"
#include "asm/operand/operand.h"

namespace {

// ORDER: logical r0..r7 -> EAX, EDX, ECX, EBX, EBP, ESI, EDI, ESP.
constexpr int32_t REG_CODES[8] = {0, 2, 1, 3, 5, 6, 7, 4};

// Override prefix of each segment digit; 0 where the digit names no segment.
constexpr uint8_t SEGMENT_PREFIXES[8] = {0x3E, 0x26, 0x64, 0x65, 0, 0, 0x2E, 0x36};

// How the r/m part of a kind is laid out.
enum RmShape : uint8_t {
    RM_NONE,
    RM_REG,        // register in r/m, mod 11
    RM_ABS16,      // r/m 6 with mod 00 and a 16-bit address
    RM_BASE16,     // SI, DI, BP or BX
    RM_PAIR16,     // BX/BP plus SI/DI
    RM_ABS32,      // r/m 5 with mod 00 and a 32-bit address
    RM_BASE32,     // one base register; ESP needs a SIB byte
    RM_SIB,        // SIB byte with base and index
    RM_SIB_NOBASE, // SIB byte with an index and no base: base field 5, mod 00, 32-bit displacement
};

enum DispSize : uint8_t {
    DS_NONE,
    DS_BYTE,   // -128..127
    DS_WORD,   // -32768..32767
    DS_ABS16,  // 0..65535
    DS_DWORD,  // not checked
};

struct RmRule {
    RmShape shape;
    uint8_t mod;     // 0x00, 0x40, 0x80 or 0xC0
    uint8_t scale;   // SIB scale bits, already shifted to bits 6..7
    DispSize disp;
    uint16_t bad_reg_code; // 16-bit forms: base or pair without an r/m number
    uint16_t range_code;   // displacement out of range
};

// ORDER OperandKind, kinds 0..30.
constexpr RmRule RM_RULES[31] = {
    {}, {}, {},                                          // 0, OPK_NONE, OPK_HREG
    {RM_REG, 0xC0, 0, DS_NONE, 0, 0},                    // 3 OPK_REG
    {RM_ABS16, 0x00, 0, DS_ABS16, 0, 269},               // 4 OPK_M16_ABS
    {RM_BASE16, 0x00, 0, DS_NONE, 270, 0},               // 5 OPK_M16_B
    {RM_PAIR16, 0x00, 0, DS_NONE, 271, 0},               // 6 OPK_M16_BI
    {RM_BASE16, 0x40, 0, DS_BYTE, 272, 273},             // 7 OPK_M16_B_D8
    {RM_PAIR16, 0x40, 0, DS_BYTE, 274, 275},             // 8 OPK_M16_BI_D8
    {RM_BASE16, 0x80, 0, DS_WORD, 276, 277},             // 9 OPK_M16_B_D16
    {RM_PAIR16, 0x80, 0, DS_WORD, 278, 279},             // 10 OPK_M16_BI_D16
    {RM_ABS32, 0x00, 0, DS_DWORD, 0, 0},                 // 11 OPK_M32_ABS
    {RM_BASE32, 0x00, 0, DS_NONE, 0, 0},                 // 12 OPK_M32_B
    {RM_BASE32, 0x40, 0, DS_BYTE, 0, 280},               // 13 OPK_M32_B_D8
    {RM_BASE32, 0x80, 0, DS_DWORD, 0, 0},                // 14 OPK_M32_B_D32
    {RM_SIB, 0x00, 0x00, DS_NONE, 0, 0},                 // 15 OPK_M32_BI
    {RM_SIB, 0x00, 0x40, DS_NONE, 0, 0},                 // 16 OPK_M32_BI2
    {RM_SIB, 0x00, 0x80, DS_NONE, 0, 0},                 // 17 OPK_M32_BI4
    {RM_SIB, 0x00, 0xC0, DS_NONE, 0, 0},                 // 18 OPK_M32_BI8
    {RM_SIB_NOBASE, 0x00, 0x00, DS_DWORD, 0, 0},         // 19 OPK_M32_I1_D32
    {RM_SIB_NOBASE, 0x00, 0x40, DS_DWORD, 0, 0},         // 20 OPK_M32_I2_D32
    {RM_SIB_NOBASE, 0x00, 0x80, DS_DWORD, 0, 0},         // 21 OPK_M32_I4_D32
    {RM_SIB_NOBASE, 0x00, 0xC0, DS_DWORD, 0, 0},         // 22 OPK_M32_I8_D32
    {RM_SIB, 0x40, 0x00, DS_BYTE, 0, 281},               // 23 OPK_M32_BI_D8
    {RM_SIB, 0x40, 0x40, DS_BYTE, 0, 282},               // 24 OPK_M32_BI2_D8
    {RM_SIB, 0x40, 0x80, DS_BYTE, 0, 283},               // 25 OPK_M32_BI4_D8
    {RM_SIB, 0x40, 0xC0, DS_BYTE, 0, 284},               // 26 OPK_M32_BI8_D8
    {RM_SIB, 0x80, 0x00, DS_DWORD, 0, 0},                // 27 OPK_M32_BI_D32
    {RM_SIB, 0x80, 0x40, DS_DWORD, 0, 0},                // 28 OPK_M32_BI2_D32
    {RM_SIB, 0x80, 0x80, DS_DWORD, 0, 0},                // 29 OPK_M32_BI4_D32
    {RM_SIB, 0x80, 0xC0, DS_DWORD, 0, 0},                // 30 OPK_M32_BI8_D32
};

// The processor's 16-bit r/m number of a base register (logical r3..r6 = BX, BP, SI, DI),
// -1 where there is none. BP alone (r/m 6) exists only with a displacement.
int32_t rm16_base(int32_t reg, bool bp_allowed) {
    switch (reg) {
    case 3: return 7;
    case 4: return bp_allowed ? 6 : -1;
    case 5: return 4;
    case 6: return 5;
    default: return -1;
    }
}

// BX+SI 0, BX+DI 1, BP+SI 2, BP+DI 3.
int32_t rm16_pair(int32_t base, int32_t index) {
    if ((base != 3 && base != 4) || (index != 5 && index != 6)) return -1;
    return (base - 3) * 2 + (index - 5);
}

// The r/m field (with the shape's SIB need) of one operand; stops on a 16-bit base without one.
int32_t rm_field(Asm& a, const RmRule& rule, const OperandDesc& op) {
    int32_t rm = -1;
    switch (rule.shape) {
    case RM_REG: return reg_code(op.reg);
    case RM_ABS16: return 6;
    case RM_BASE16: rm = rm16_base(op.reg, rule.mod != 0); break;
    case RM_PAIR16: rm = rm16_pair(op.reg, op.index); break;
    case RM_ABS32: return 5;
    case RM_BASE32: return reg_code(op.reg);
    case RM_SIB:
    case RM_SIB_NOBASE: return 4;
    case RM_NONE: break;
    }
    if (rm < 0) fatal_error(a, rule.bad_reg_code, MSG_BAD_ADDRESSING);
    return rm;
}

void emit_displacement(Asm& a, const RmRule& rule, int32_t d) {
    switch (rule.disp) {
    case DS_NONE: return;
    case DS_BYTE:
        if (d < -128 || d > 127) fatal_error(a, rule.range_code, MSG_BYTE_TOO_LARGE);
        emit_byte(a, d);
        return;
    case DS_WORD:
        if (d < -32768 || d > 32767) fatal_error(a, rule.range_code, MSG_WORD_TOO_LARGE);
        emit_word(a, d);
        return;
    case DS_ABS16:
        if (d < 0 || d > 0xFFFF) fatal_error(a, rule.range_code, MSG_WORD_TOO_LARGE);
        emit_word(a, d);
        return;
    case DS_DWORD: emit_dword(a, d); return;
    }
}

bool has_address_size16(uint32_t kind) {
    return is_mem16_kind(kind) || kind == OPK_STRDST16 || kind == OPK_STRSRC16 || kind == OPK_XLAT16;
}

bool has_address_size32(uint32_t kind) {
    return is_mem32_kind(kind) || kind == OPK_STRDST32 || kind == OPK_STRSRC32 || kind == OPK_XLAT32;
}

bool takes_segment(uint32_t kind) {
    return is_mem_kind(kind) || kind == OPK_STRSRC16 || kind == OPK_STRSRC32 || kind == OPK_XLAT16 ||
           kind == OPK_XLAT32;
}

}  // namespace

int32_t reg_code(int32_t logical) { return REG_CODES[static_cast<uint32_t>(logical) & 7u]; }

void emit_address_size_prefix(Asm& a, const OperandDesc& op) {
    if (a.seg32 ? has_address_size16(op.kind) : has_address_size32(op.kind)) emit_byte(a, 0x67);
}

void emit_operand_size_prefix(Asm& a, bool is_long) {
    if (is_long != a.seg32) emit_byte(a, 0x66);
}

void emit_segment_prefix(Asm& a, const OperandDesc& op) {
    if (!takes_segment(op.kind)) return;
    // The processor defaults to SS for a base of EBP, BP or ESP and to DS otherwise; the
    // source defaults to DS everywhere, so a prefix is needed exactly where the two differ.
    const bool stack_base = op.reg == 4 || op.reg == 7;
    if (op.seg == 0 && !stack_base) return;
    if (op.seg == 7 && stack_base) return;
    const uint8_t prefix = op.seg < 8 ? SEGMENT_PREFIXES[op.seg] : 0;
    if (prefix == 0) fatal_error(a, 268, MSG_BAD_SEGMENT);
    emit_byte(a, prefix);
}

void emit_modrm(Asm& a, int32_t reg_field, const OperandDesc& op) {
    if (!is_rm_kind(op.kind)) fatal_error(a, 285, MSG_MODSIB);
    const RmRule& rule = RM_RULES[op.kind];
    const int32_t f = (reg_field & 7) << 3;
    const int32_t rm = rm_field(a, rule, op);
    const bool esp_base = rule.shape == RM_BASE32 && rm == 4;
    emit_byte(a, rule.mod + f + rm);
    if (esp_base) emit_byte(a, 0x24);
    if (rule.shape == RM_SIB) emit_byte(a, rule.scale + reg_code(op.index) * 8 + reg_code(op.reg));
    if (rule.shape == RM_SIB_NOBASE) emit_byte(a, rule.scale + reg_code(op.index) * 8 + 5);
    emit_displacement(a, rule, op.value);
}

void emit_modrm_reg(Asm& a, int32_t logical_reg, const OperandDesc& op) {
    emit_modrm(a, reg_code(logical_reg), op);
}
