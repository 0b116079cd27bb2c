// Encoders of the shift and rotate instructions: the group-2 single shifts and rotates and the
// double shifts SHLD/SHRD, each family held as a table of rows walked by one routine.
#include <array>
#include <cstring>

#include "asm/driver/diagnostics.h"
#include "asm/driver/output.h"
#include "asm/front/reader.h"
#include "asm/isa/words.h"
#include "asm/operand/operand.h"

namespace {

struct ShiftRow {
    uint8_t digit;  // ModRM reg field of the group-2 opcode
    int32_t byte_count_error;
    int32_t byte_operand_error;
    int32_t count_error;  // .w and .l
    int32_t operand_error;
};

// ORDER: ShiftOp, SHIFT_ASL .. SHIFT_ROCR. asl and lsl are both SHL.
constexpr std::array<ShiftRow, 8> SHIFT_ROWS = {{
    {4, 43, 44, 45, 46},      // asl
    {7, 47, 48, 49, 50},      // asr
    {4, 43, 44, 45, 46},      // lsl
    {5, 171, 172, 173, 174},  // lsr
    {0, 227, 228, 229, 230},  // rol
    {1, 231, 232, 233, 234},  // ror
    {2, 219, 220, 221, 222},  // rocl
    {3, 223, 224, 225, 226},  // rocr
}};

struct DoubleShiftRow {
    bool src_last;  // dsl: dest<src; dsr: src>dest
    char separator;
    uint8_t opcode_imm;  // second opcode byte with an immediate count; +1 for the r2 count
    int32_t separator_error;
    int32_t count_error;
    int32_t operand_error;
};

// ORDER: ShiftOp, SHIFT_DSL, SHIFT_DSR.
constexpr std::array<DoubleShiftRow, 2> DOUBLE_SHIFT_ROWS = {{
    {true, '<', 0xA4, 98, 99, 100},
    {false, '>', 0xAC, 101, 102, 103},
}};

constexpr int32_t CL_REGISTER = 2;  // r2

bool is_cl(const OperandDesc& op) { return op.kind == OPK_REG && op.reg == CL_REGISTER; }

// The prefixes come from the shifted operand; byte forms never take 0x66.
void emit_shift_prefixes(Asm& a, const OperandDesc& dest, WordSize size) {
    emit_address_size_prefix(a, dest);
    if (size != WS_B) emit_operand_size_prefix(a, size == WS_L);
    emit_segment_prefix(a, dest);
}

void emit_single_shift(Asm& a, const OperandDesc& dest, WordSize size, uint8_t byte_opcode,
                       uint8_t digit) {
    emit_shift_prefixes(a, dest, size);
    // Each word/long opcode of group 2 is the byte opcode plus one.
    emit_byte(a, size == WS_B ? byte_opcode : byte_opcode + 1);
    emit_modrm(a, digit, dest);
}

void single_shift(Asm& a, const ShiftRow& row, WordSize size) {
    const bool byte_size = size == WS_B;
    const int32_t count_error = byte_size ? row.byte_count_error : row.count_error;
    const int32_t operand_error = byte_size ? row.byte_operand_error : row.operand_error;

    OperandDesc count;
    char* count_text = read_operand(a);
    // The short form is chosen on the text, so "#$1" or a symbol of value 1 keep the count byte.
    const bool count_is_one = text_equal(count_text, "#1");
    parse_operand(a, count_text, count);

    OperandDesc dest;
    if (byte_size)
        read_parse_byte_operand(a, dest);
    else
        read_parse_operand(a, dest);
    const bool dest_ok = is_rm_kind(dest.kind);

    if (count_is_one && dest_ok) {
        emit_single_shift(a, dest, size, 0xD0, row.digit);
    } else if (count.kind == OPK_IMM) {
        if (!dest_ok) fatal_error(a, operand_error, MSG_BAD_OPERAND_FOR_INSN);
        if (count.reg != SIZE_BYTE) fatal_error(a, count_error, MSG_BYTE_TOO_LARGE);
        emit_single_shift(a, dest, size, 0xC0, row.digit);
        emit_byte(a, count.value & 0xFF);
    } else if (is_cl(count) && dest_ok) {
        emit_single_shift(a, dest, size, 0xD2, row.digit);
    } else {
        fatal_error(a, operand_error, MSG_BAD_OPERAND_FOR_INSN);
    }
}

// Copies text[from, to) into out as a NUL-terminated operand text.
void copy_part(const char* text, size_t from, size_t to, std::array<char, TEXT_BUF>& out) {
    const size_t n = to - from;
    std::memcpy(out.data(), text + from, n);
    out[n] = 0;
}

void double_shift(Asm& a, const DoubleShiftRow& row, WordSize size) {
    OperandDesc count;
    read_parse_operand(a, count);

    // The source register is always two characters, on the side the separator points from.
    const char* pair = read_operand(a);
    const size_t len = std::strlen(pair);
    const size_t sep = row.src_last ? len - 3 : 2;
    if (len < 4 || pair[sep] != row.separator) fatal_error(a, row.separator_error, MSG_BAD_OPERAND_FOR_INSN);

    std::array<char, TEXT_BUF> dest_text;
    std::array<char, TEXT_BUF> src_text;
    if (row.src_last) {
        copy_part(pair, 0, sep, dest_text);
        copy_part(pair, sep + 1, len, src_text);
    } else {
        copy_part(pair, 0, sep, src_text);
        copy_part(pair, sep + 1, len, dest_text);
    }
    OperandDesc dest;
    OperandDesc src;
    parse_operand(a, dest_text.data(), dest);
    parse_operand(a, src_text.data(), src);

    const bool operands_ok = is_rm_kind(dest.kind) && src.kind == OPK_REG;
    if (count.kind == OPK_IMM && operands_ok) {
        if (count.reg != SIZE_BYTE) fatal_error(a, row.count_error, MSG_BYTE_TOO_LARGE);
        emit_shift_prefixes(a, dest, size);
        emit_byte(a, 0x0F);
        emit_byte(a, row.opcode_imm);
        emit_modrm_reg(a, src.reg, dest);
        emit_byte(a, count.value & 0xFF);
    } else if (is_cl(count) && operands_ok) {
        emit_shift_prefixes(a, dest, size);
        emit_byte(a, 0x0F);
        emit_byte(a, row.opcode_imm + 1);
        emit_modrm_reg(a, src.reg, dest);
    } else {
        fatal_error(a, row.operand_error, MSG_BAD_OPERAND_FOR_INSN);
    }
}

}  // namespace

void isa_shift(Asm& a, const StatementWord& w) {
    static_assert(SHIFT_ROCR + 1 == SHIFT_ROWS.size() && SHIFT_DSL == SHIFT_ROWS.size());
    const size_t op = w.op;
    if (op < SHIFT_ROWS.size())
        single_shift(a, SHIFT_ROWS[op], w.size);
    else if (op - SHIFT_DSL < DOUBLE_SHIFT_ROWS.size())
        double_shift(a, DOUBLE_SHIFT_ROWS[op - SHIFT_DSL], w.size);
    else
        unknown_statement_word(a);
}
