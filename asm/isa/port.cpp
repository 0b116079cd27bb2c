// Encoders of the port input and output instructions: in and out with an immediate port,
// with the port in DX, and the string forms INS and OUTS.
#include <array>

#include "asm/driver/diagnostics.h"
#include "asm/driver/output.h"
#include "asm/isa/words.h"
#include "asm/operand/operand.h"

namespace {

// One row per direction and width. The data operand is the accumulator or a string operand,
// the port operand an immediate or r1 (DX); `in` names the port first, `out` last.
struct PortForm {
    PortOp op;
    bool byte;
    bool port_first;
    uint32_t string16, string32;  // the string operand kinds of this direction
    bool string_seg;              // the string source may take a segment override
    uint8_t imm_opcode, dx_opcode, string_opcode;
    int16_t imm_code;             // port immediate not of class SIZE_BYTE
    int16_t code;                 // operands that fit no form
};

constexpr std::array PORT_FORMS{
    PortForm{PORT_IN, true, true, OPK_STRDST16, OPK_STRDST32, false, 0xE4, 0xEC, 0x6C, 116, 117},
    PortForm{PORT_IN, false, true, OPK_STRDST16, OPK_STRDST32, false, 0xE5, 0xED, 0x6D, 118, 119},
    PortForm{PORT_OUT, true, false, OPK_STRSRC16, OPK_STRSRC32, true, 0xE6, 0xEE, 0x6E, 215, 216},
    PortForm{PORT_OUT, false, false, OPK_STRSRC16, OPK_STRSRC32, true, 0xE7, 0xEF, 0x6F, 217, 218},
};

bool is_acc(const OperandDesc& op) { return op.kind == OPK_REG && op.reg == 0; }
bool is_dx(const OperandDesc& op) { return op.kind == OPK_REG && op.reg == 1; }

void emit_size_prefix(Asm& a, const PortForm& f, const StatementWord& w) {
    if (!f.byte) emit_operand_size_prefix(a, w.size == WS_L);
}

void encode_string(Asm& a, const PortForm& f, const StatementWord& w, const OperandDesc& str) {
    if (a.pending_prefix == PREFIX_REP) {
        emit_byte(a, 0xF3);
        a.pending_prefix = PREFIX_NONE;
    }
    emit_address_size_prefix(a, str);
    emit_size_prefix(a, f, w);
    // OUTS reads DS:(E)SI unless overridden; INS always writes ES:(E)DI.
    if (f.string_seg) emit_segment_prefix(a, str);
    emit_byte(a, f.string_opcode);
}

void encode_port(Asm& a, const PortForm& f, const StatementWord& w) {
    OperandDesc op1, op2;
    read_parse_operand(a, op1);
    read_parse_operand(a, op2);
    const OperandDesc& port = f.port_first ? op1 : op2;
    const OperandDesc& data = f.port_first ? op2 : op1;
    if (port.kind == OPK_IMM && is_acc(data)) {
        if (port.reg != SIZE_BYTE) fatal_error(a, f.imm_code, MSG_BYTE_TOO_LARGE);
        emit_size_prefix(a, f, w);
        emit_byte(a, f.imm_opcode);
        emit_byte(a, port.value & 0xFF);
    } else if (is_dx(port) && is_acc(data)) {
        emit_size_prefix(a, f, w);
        emit_byte(a, f.dx_opcode);
    } else if (is_dx(port) && (data.kind == f.string16 || data.kind == f.string32)) {
        encode_string(a, f, w, data);
    } else {
        fatal_error(a, f.code, MSG_BAD_OPERAND_FOR_INSN);
    }
}

}  // namespace

void isa_port(Asm& a, const StatementWord& w) {
    bool byte = w.size == WS_B;
    for (const PortForm& f : PORT_FORMS)
        if (f.op == w.op && f.byte == byte) return encode_port(a, f, w);
    unknown_statement_word(a);
}
