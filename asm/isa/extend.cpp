// Encoders of the extension, exchange and address instructions: movs/movu, ext, exg, xadd,
// cas, bswap, lea, ldsl, lar, chk, link and unlk.
#include <array>
#include <string_view>

#include "asm/driver/diagnostics.h"
#include "asm/driver/output.h"
#include "asm/front/reader.h"
#include "asm/isa/words.h"
#include "asm/operand/operand.h"

namespace {

// Operand size that decides the 0x66 prefix of a form.
enum OpSize : uint8_t {
    OSZ_BYTE,    // byte operation: never a prefix
    OSZ_WORD,    // word destination whatever the suffix
    OSZ_LONG,    // long destination whatever the suffix
    OSZ_SUFFIX,  // .w or .l of the statement word
};

// One register-with-r/m form: the register in the ModRM reg field, the other operand as r/m.
struct RegRmForm {
    ExtendOp op;
    WordSize size;      // WS_NONE: every suffix of the word not matched by an earlier row
    bool reg_first;     // the register is operand 1 (else operand 2)
    bool byte_reg;      // the register operand follows the byte-register rule
    bool byte_rm;       // the r/m operand follows the byte-register rule
    OpSize opsize;
    bool lock;          // accepts a pending lock when the r/m operand is memory
    bool seg_prefix;    // false: a segment suffix is accepted and ignored (lea)
    uint8_t escape;     // 0x0F for two-byte opcodes, 0 for one-byte ones
    uint8_t opcode;
    int16_t code;       // operands that fit no form
};

constexpr std::array REG_RM_FORMS{
    RegRmForm{EXTEND_MOVS, WS_BW, false, false, true, OSZ_WORD, false, true, 0x0F, 0xBE, 192},
    RegRmForm{EXTEND_MOVS, WS_BL, false, false, true, OSZ_LONG, false, true, 0x0F, 0xBE, 192},
    RegRmForm{EXTEND_MOVS, WS_WL, false, false, false, OSZ_LONG, false, true, 0x0F, 0xBF, 193},
    RegRmForm{EXTEND_MOVU, WS_BW, false, false, true, OSZ_WORD, false, true, 0x0F, 0xB6, 194},
    RegRmForm{EXTEND_MOVU, WS_BL, false, false, true, OSZ_LONG, false, true, 0x0F, 0xB6, 194},
    RegRmForm{EXTEND_MOVU, WS_WL, false, false, false, OSZ_LONG, false, true, 0x0F, 0xB7, 195},
    RegRmForm{EXTEND_XADD, WS_B, true, true, true, OSZ_BYTE, true, true, 0x0F, 0xC0, 266},
    RegRmForm{EXTEND_XADD, WS_NONE, true, false, false, OSZ_SUFFIX, true, true, 0x0F, 0xC1, 267},
    RegRmForm{EXTEND_LEA, WS_NONE, false, false, false, OSZ_SUFFIX, false, false, 0, 0x8D, 143},
    RegRmForm{EXTEND_LDSL, WS_NONE, false, false, false, OSZ_SUFFIX, false, true, 0x0F, 0x03, 142},
    RegRmForm{EXTEND_LAR, WS_NONE, true, false, false, OSZ_SUFFIX, false, true, 0x0F, 0x02, 141},
    RegRmForm{EXTEND_CHK, WS_NONE, true, false, false, OSZ_SUFFIX, false, true, 0, 0x62, 76},
};

bool is_reg(const OperandDesc& op) { return op.kind == OPK_REG; }
bool is_acc(const OperandDesc& op) { return op.kind == OPK_REG && op.reg == 0; }
bool is_long(const StatementWord& w) { return w.size == WS_L; }

void read_operand_as(Asm& a, bool byte_rule, OperandDesc& op) {
    if (byte_rule)
        read_parse_byte_operand(a, op);
    else
        read_parse_operand(a, op);
}

// The lock prefix goes out only for forms that write memory atomically; otherwise it stays
// pending and the statement end reports it.
void lock_if_memory(Asm& a, const OperandDesc& dest) {
    if (a.pending_prefix == PREFIX_LOCK && is_mem_kind(dest.kind)) {
        emit_byte(a, 0xF0);
        a.pending_prefix = PREFIX_NONE;
    }
}

void emit_size_prefix(Asm& a, OpSize size, bool suffix_long) {
    switch (size) {
    case OSZ_BYTE: return;
    case OSZ_WORD: emit_operand_size_prefix(a, false); return;
    case OSZ_LONG: emit_operand_size_prefix(a, true); return;
    case OSZ_SUFFIX: emit_operand_size_prefix(a, suffix_long); return;
    }
}

// Address-size, operand-size and segment prefixes of the r/m operand, the opcode and ModRM.
void emit_reg_rm(Asm& a, OpSize size, bool suffix_long, bool seg_prefix, uint8_t escape,
                 uint8_t opcode, int32_t reg, const OperandDesc& rm) {
    emit_address_size_prefix(a, rm);
    emit_size_prefix(a, size, suffix_long);
    if (seg_prefix) emit_segment_prefix(a, rm);
    if (escape != 0) emit_byte(a, escape);
    emit_byte(a, opcode);
    emit_modrm_reg(a, reg, rm);
}

const RegRmForm* find_reg_rm_form(const StatementWord& w) {
    for (const RegRmForm& f : REG_RM_FORMS)
        if (f.op == w.op && (f.size == w.size || f.size == WS_NONE)) return &f;
    return nullptr;
}

void encode_reg_rm(Asm& a, const StatementWord& w, const RegRmForm& f) {
    OperandDesc op1, op2;
    read_operand_as(a, f.reg_first ? f.byte_reg : f.byte_rm, op1);
    read_operand_as(a, f.reg_first ? f.byte_rm : f.byte_reg, op2);
    const OperandDesc& reg = f.reg_first ? op1 : op2;
    const OperandDesc& rm = f.reg_first ? op2 : op1;
    if (!is_reg(reg) || !is_rm_kind(rm.kind)) fatal_error(a, f.code, MSG_BAD_OPERAND_FOR_INSN);
    if (f.lock) lock_if_memory(a, rm);
    emit_reg_rm(a, f.opsize, is_long(w), f.seg_prefix, f.escape, f.opcode, reg.reg, rm);
}

// The accumulator extensions compare their operand texts: only "r0" and "r1|r0" are forms.
void encode_ext(Asm& a, const StatementWord& w) {
    emit_operand_size_prefix(a, is_long(w));
    if (std::string_view(read_operand(a)) != "r0") fatal_error(a, 114, MSG_BAD_OPERAND_FOR_INSN);
    std::string_view second = read_operand(a);
    if (second.empty())
        emit_byte(a, 0x98);
    else if (second == "r1|r0")
        emit_byte(a, 0x99);
    else
        fatal_error(a, 115, MSG_BAD_OPERAND_FOR_INSN);
}

void encode_exg(Asm& a, const StatementWord& w) {
    bool byte = w.size == WS_B;
    OperandDesc op1, op2;
    read_operand_as(a, byte, op1);
    read_operand_as(a, byte, op2);
    if (!byte) {
        // The one-byte 90+r form exchanges with the accumulator.
        const OperandDesc* other = nullptr;
        if (is_acc(op1) && is_reg(op2))
            other = &op2;
        else if (is_acc(op2) && is_reg(op1))
            other = &op1;
        if (other != nullptr) {
            emit_operand_size_prefix(a, is_long(w));
            emit_byte(a, 0x90 + reg_code(other->reg));
            return;
        }
    }
    OpSize size = byte ? OSZ_BYTE : OSZ_SUFFIX;
    uint8_t opcode = byte ? 0x86 : 0x87;
    if (is_reg(op1) && is_rm_kind(op2.kind)) {
        lock_if_memory(a, op2);
        emit_reg_rm(a, size, is_long(w), true, 0, opcode, op1.reg, op2);
    } else if (is_reg(op2) && is_rm_kind(op1.kind)) {
        // Memory written first: the destination is a register, so lock stays pending.
        emit_reg_rm(a, size, is_long(w), true, 0, opcode, op2.reg, op1);
    } else {
        fatal_error(a, byte ? 112 : 113, MSG_BAD_OPERAND_FOR_INSN);
    }
}

// The comparand must be written as r0 although CMPXCHG names the accumulator implicitly.
void encode_cas(Asm& a, const StatementWord& w) {
    bool byte = w.size == WS_B;
    OperandDesc cmp, update, dest;
    read_parse_operand(a, cmp);
    if (!is_acc(cmp)) fatal_error(a, byte ? 72 : 74, MSG_BAD_OPERAND_FOR_INSN);
    read_operand_as(a, byte, update);
    read_operand_as(a, byte, dest);
    if (!is_reg(update) || !is_rm_kind(dest.kind)) fatal_error(a, byte ? 73 : 75, MSG_BAD_OPERAND_FOR_INSN);
    lock_if_memory(a, dest);
    emit_reg_rm(a, byte ? OSZ_BYTE : OSZ_SUFFIX, is_long(w), true, 0x0F, byte ? 0xB0 : 0xB1,
                update.reg, dest);
}

void encode_bswap(Asm& a) {
    OperandDesc op;
    read_parse_operand(a, op);
    if (!is_reg(op)) fatal_error(a, 69, MSG_BAD_OPERAND_FOR_INSN);
    emit_operand_size_prefix(a, true);
    emit_byte(a, 0x0F);
    emit_byte(a, 0xC8 + reg_code(op.reg));
}

bool is_frame_reg(const OperandDesc& op) { return op.kind == OPK_REG && op.reg == 4; }

// ENTER takes a 16-bit frame size in both sizes, so a long frame size is refused for .l
// as well rather than cut to its low word.
void encode_link(Asm& a, const StatementWord& w) {
    OperandDesc frame_reg, frame_size, level;
    read_parse_operand(a, frame_reg);
    read_parse_operand(a, frame_size);
    read_parse_operand(a, level);
    if (!is_frame_reg(frame_reg) || frame_size.kind != OPK_IMM || level.kind != OPK_IMM)
        fatal_error(a, 138, MSG_BAD_OPERAND_FOR_INSN);
    if (frame_size.reg == SIZE_LONG) fatal_error(a, 139, MSG_WORD_TOO_LARGE);
    if (level.value < 0 || level.value > 31) fatal_error(a, 140, MSG_BYTE_TOO_LARGE);
    emit_operand_size_prefix(a, is_long(w));
    emit_byte(a, 0xC8);
    emit_word(a, frame_size.value);
    emit_byte(a, level.value);
}

void encode_unlk(Asm& a, const StatementWord& w) {
    OperandDesc op;
    read_parse_operand(a, op);
    if (!is_frame_reg(op)) fatal_error(a, 348, MSG_BAD_OPERAND_FOR_INSN);
    emit_operand_size_prefix(a, is_long(w));
    emit_byte(a, 0xC9);
}

}  // namespace

void isa_extend(Asm& a, const StatementWord& w) {
    switch (w.op) {
    case EXTEND_EXT: encode_ext(a, w); return;
    case EXTEND_EXG: encode_exg(a, w); return;
    case EXTEND_CAS: encode_cas(a, w); return;
    case EXTEND_BSWAP: encode_bswap(a); return;
    case EXTEND_LINK: encode_link(a, w); return;
    case EXTEND_UNLK: encode_unlk(a, w); return;
    default: break;
    }
    const RegRmForm* form = find_reg_rm_form(w);
    if (form == nullptr) unknown_statement_word(a);
    encode_reg_rm(a, w, *form);
}
