// The statement words: every mnemonic and directive with the family that encodes it, the
// operation within that family, the size suffix and, for b<cc> and s<cc>.b, the condition.
#pragma once

#include <cstdint>
#include <string_view>

#include "asm/driver/asm_state.h"

enum Family : uint8_t {
    FAM_DIRECTIVE,
    FAM_ARITH,   // arithmetic and logic
    FAM_MOVE,    // data movement
    FAM_BRANCH,  // control transfer
    FAM_SHIFT,   // shifts and rotates
    FAM_MULBIT,  // multiply, divide, bit, set-on-condition, system
    FAM_EXTEND,  // extension, exchange, address
    FAM_PORT,    // port input and output
};

// The size suffix of a statement word.
enum WordSize : uint8_t {
    WS_NONE,
    WS_B,
    WS_W,
    WS_L,
    WS_BW,
    WS_BL,
    WS_WL,
    WS_WW,
    WS_LL,
    WS_W_,  // big-endian word data
    WS_L_,  // big-endian long data
};

enum DirectiveOp : uint8_t {
    DIR_DC_B,
    DIR_DC_BW,
    DIR_DC_W,
    DIR_DC_W_,
    DIR_DC_L,
    DIR_DC_L_,
    DIR_BLK,
    DIR_EVEN,
    DIR_EVEN4,
    DIR_EVEN16,
    DIR_EVENCOM,
    DIR_ODD,
    DIR_LIST,
    DIR_NOLIST,
    DIR_SEG16,
    DIR_SEG32,
    DIR_LABEL_BLOCK,
};

enum ArithOp : uint8_t {
    ARITH_ADD,
    ARITH_ADDC,
    ARITH_SUB,
    ARITH_SUBC,
    ARITH_AND,
    ARITH_OR,
    ARITH_EOR,
    ARITH_CMP,
    ARITH_TST,
    ARITH_INC,
    ARITH_DEC,
    ARITH_NEG,
    ARITH_NOT,
    ARITH_ADDQ,
    ARITH_ADDCQ,
    ARITH_SUBQ,
    ARITH_SUBCQ,
    ARITH_ANDQ,
    ARITH_ORQ,
    ARITH_EORQ,
    ARITH_CMPQ,
    ARITH_ADJ_DEC_ADD,
    ARITH_ADJ_DEC_SUB,
    ARITH_ADJ_ASC_ADD,
    ARITH_ADJ_ASC_SUB,
    ARITH_ADJ_ASC_MUL,
    ARITH_ADJ_ASC_DIV,
};

enum MoveOp : uint8_t {
    MOVE_MOVE,
    MOVE_MOVEQ,
    MOVE_MOVEM,
};

enum BranchOp : uint8_t {
    BRANCH_BCC,
    BRANCH_BR,
    BRANCH_BSR,
    BRANCH_DBF,
    BRANCH_DBEQ,
    BRANCH_DBNE,
    BRANCH_BEQR2W,
    BRANCH_BEQR2L,
    BRANCH_JMP,
    BRANCH_JSR,
    BRANCH_RTS,
    BRANCH_RTE,
    BRANCH_TRAP,
    BRANCH_TRAPV,
    BRANCH_HALT,
    BRANCH_NOP,
    BRANCH_WAIT,
};

enum ShiftOp : uint8_t {
    SHIFT_ASL,
    SHIFT_ASR,
    SHIFT_LSL,
    SHIFT_LSR,
    SHIFT_ROL,
    SHIFT_ROR,
    SHIFT_ROCL,
    SHIFT_ROCR,
    SHIFT_DSL,
    SHIFT_DSR,
};

enum MulBitOp : uint8_t {
    MULBIT_MULS,
    MULBIT_MULU,
    MULBIT_DIVS,
    MULBIT_DIVU,
    MULBIT_MULSQ,
    MULBIT_BTST,
    MULBIT_BSET,
    MULBIT_BCLR,
    MULBIT_BCHG,
    MULBIT_BSCF,
    MULBIT_BSCR,
    MULBIT_SCC,
    MULBIT_VERR,
    MULBIT_VERW,
    MULBIT_ARPL,
    MULBIT_PREFETCH,
    MULBIT_INVL_TLB,
    MULBIT_INVL_CACHE,
    MULBIT_INVL_CACHE_WB,
};

enum ExtendOp : uint8_t {
    EXTEND_MOVS,
    EXTEND_MOVU,
    EXTEND_EXT,
    EXTEND_EXG,
    EXTEND_XADD,
    EXTEND_CAS,
    EXTEND_BSWAP,
    EXTEND_LEA,
    EXTEND_LDSL,
    EXTEND_LAR,
    EXTEND_CHK,
    EXTEND_LINK,
    EXTEND_UNLK,
};

enum PortOp : uint8_t {
    PORT_IN,
    PORT_OUT,
};

struct StatementWord {
    std::string_view word;
    Family family;
    uint8_t op;     // the family's operation enum
    WordSize size;
    uint8_t cond;   // processor condition number 0..15 of b<cc> and s<cc>.b
};

// The statement word of that spelling, or nullptr.
const StatementWord* find_statement_word(std::string_view word);
// All statement words in alphabetical order.
std::string_view statement_word_at(int32_t index);
int32_t statement_word_count();

// Runs the handler of the word in a.word, or stops with "Unbekannter Opcode".
void dispatch_statement(Asm& a);
[[noreturn]] void unknown_statement_word(Asm& a);

// Family handlers.
void isa_directive(Asm& a, const StatementWord& w);
void isa_arith(Asm& a, const StatementWord& w);
void isa_move(Asm& a, const StatementWord& w);
void isa_branch(Asm& a, const StatementWord& w);
void isa_shift(Asm& a, const StatementWord& w);
void isa_mulbit(Asm& a, const StatementWord& w);
void isa_extend(Asm& a, const StatementWord& w);
void isa_port(Asm& a, const StatementWord& w);
