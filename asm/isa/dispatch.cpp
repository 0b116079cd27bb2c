// The statement-word table and the dispatch: a compile-time hash index over the table finds
// a word with one probe sequence instead of a chain of string compares.
#include <array>

#include "asm/driver/diagnostics.h"
#include "asm/isa/words.h"

namespace {

// In alphabetical order.
constexpr StatementWord STATEMENT_WORDS[] = {
    {"add.b", FAM_ARITH, ARITH_ADD, WS_B, 0},
    {"add.l", FAM_ARITH, ARITH_ADD, WS_L, 0},
    {"add.w", FAM_ARITH, ARITH_ADD, WS_W, 0},
    {"addc.b", FAM_ARITH, ARITH_ADDC, WS_B, 0},
    {"addc.l", FAM_ARITH, ARITH_ADDC, WS_L, 0},
    {"addc.w", FAM_ARITH, ARITH_ADDC, WS_W, 0},
    {"addcq.l", FAM_ARITH, ARITH_ADDCQ, WS_L, 0},
    {"addcq.w", FAM_ARITH, ARITH_ADDCQ, WS_W, 0},
    {"addq.l", FAM_ARITH, ARITH_ADDQ, WS_L, 0},
    {"addq.w", FAM_ARITH, ARITH_ADDQ, WS_W, 0},
    {"adj_asc_add", FAM_ARITH, ARITH_ADJ_ASC_ADD, WS_NONE, 0},
    {"adj_asc_div", FAM_ARITH, ARITH_ADJ_ASC_DIV, WS_NONE, 0},
    {"adj_asc_mul", FAM_ARITH, ARITH_ADJ_ASC_MUL, WS_NONE, 0},
    {"adj_asc_sub", FAM_ARITH, ARITH_ADJ_ASC_SUB, WS_NONE, 0},
    {"adj_dec_add", FAM_ARITH, ARITH_ADJ_DEC_ADD, WS_NONE, 0},
    {"adj_dec_sub", FAM_ARITH, ARITH_ADJ_DEC_SUB, WS_NONE, 0},
    {"and.b", FAM_ARITH, ARITH_AND, WS_B, 0},
    {"and.l", FAM_ARITH, ARITH_AND, WS_L, 0},
    {"and.w", FAM_ARITH, ARITH_AND, WS_W, 0},
    {"andq.l", FAM_ARITH, ARITH_ANDQ, WS_L, 0},
    {"andq.w", FAM_ARITH, ARITH_ANDQ, WS_W, 0},
    {"arpl.w", FAM_MULBIT, MULBIT_ARPL, WS_W, 0},
    {"asl.b", FAM_SHIFT, SHIFT_ASL, WS_B, 0},
    {"asl.l", FAM_SHIFT, SHIFT_ASL, WS_L, 0},
    {"asl.w", FAM_SHIFT, SHIFT_ASL, WS_W, 0},
    {"asr.b", FAM_SHIFT, SHIFT_ASR, WS_B, 0},
    {"asr.l", FAM_SHIFT, SHIFT_ASR, WS_L, 0},
    {"asr.w", FAM_SHIFT, SHIFT_ASR, WS_W, 0},
    {"bcc.b", FAM_BRANCH, BRANCH_BCC, WS_B, 3},
    {"bcc.l", FAM_BRANCH, BRANCH_BCC, WS_L, 3},
    {"bcc.w", FAM_BRANCH, BRANCH_BCC, WS_W, 3},
    {"bchg.l", FAM_MULBIT, MULBIT_BCHG, WS_L, 0},
    {"bchg.w", FAM_MULBIT, MULBIT_BCHG, WS_W, 0},
    {"bclr.l", FAM_MULBIT, MULBIT_BCLR, WS_L, 0},
    {"bclr.w", FAM_MULBIT, MULBIT_BCLR, WS_W, 0},
    {"bcs.b", FAM_BRANCH, BRANCH_BCC, WS_B, 2},
    {"bcs.l", FAM_BRANCH, BRANCH_BCC, WS_L, 2},
    {"bcs.w", FAM_BRANCH, BRANCH_BCC, WS_W, 2},
    {"beq.b", FAM_BRANCH, BRANCH_BCC, WS_B, 4},
    {"beq.l", FAM_BRANCH, BRANCH_BCC, WS_L, 4},
    {"beq.w", FAM_BRANCH, BRANCH_BCC, WS_W, 4},
    {"beqr2l.b", FAM_BRANCH, BRANCH_BEQR2L, WS_B, 0},
    {"beqr2w.b", FAM_BRANCH, BRANCH_BEQR2W, WS_B, 0},
    {"bge.b", FAM_BRANCH, BRANCH_BCC, WS_B, 13},
    {"bge.l", FAM_BRANCH, BRANCH_BCC, WS_L, 13},
    {"bge.w", FAM_BRANCH, BRANCH_BCC, WS_W, 13},
    {"bgt.b", FAM_BRANCH, BRANCH_BCC, WS_B, 15},
    {"bgt.l", FAM_BRANCH, BRANCH_BCC, WS_L, 15},
    {"bgt.w", FAM_BRANCH, BRANCH_BCC, WS_W, 15},
    {"bhi.b", FAM_BRANCH, BRANCH_BCC, WS_B, 7},
    {"bhi.l", FAM_BRANCH, BRANCH_BCC, WS_L, 7},
    {"bhi.w", FAM_BRANCH, BRANCH_BCC, WS_W, 7},
    {"bhs.b", FAM_BRANCH, BRANCH_BCC, WS_B, 3},
    {"bhs.l", FAM_BRANCH, BRANCH_BCC, WS_L, 3},
    {"bhs.w", FAM_BRANCH, BRANCH_BCC, WS_W, 3},
    {"ble.b", FAM_BRANCH, BRANCH_BCC, WS_B, 14},
    {"ble.l", FAM_BRANCH, BRANCH_BCC, WS_L, 14},
    {"ble.w", FAM_BRANCH, BRANCH_BCC, WS_W, 14},
    {"blk.b", FAM_DIRECTIVE, DIR_BLK, WS_B, 0},
    {"blk.l", FAM_DIRECTIVE, DIR_BLK, WS_L, 0},
    {"blk.w", FAM_DIRECTIVE, DIR_BLK, WS_W, 0},
    {"blo.b", FAM_BRANCH, BRANCH_BCC, WS_B, 2},
    {"blo.l", FAM_BRANCH, BRANCH_BCC, WS_L, 2},
    {"blo.w", FAM_BRANCH, BRANCH_BCC, WS_W, 2},
    {"bls.b", FAM_BRANCH, BRANCH_BCC, WS_B, 6},
    {"bls.l", FAM_BRANCH, BRANCH_BCC, WS_L, 6},
    {"bls.w", FAM_BRANCH, BRANCH_BCC, WS_W, 6},
    {"blt.b", FAM_BRANCH, BRANCH_BCC, WS_B, 12},
    {"blt.l", FAM_BRANCH, BRANCH_BCC, WS_L, 12},
    {"blt.w", FAM_BRANCH, BRANCH_BCC, WS_W, 12},
    {"bmi.b", FAM_BRANCH, BRANCH_BCC, WS_B, 8},
    {"bmi.l", FAM_BRANCH, BRANCH_BCC, WS_L, 8},
    {"bmi.w", FAM_BRANCH, BRANCH_BCC, WS_W, 8},
    {"bne.b", FAM_BRANCH, BRANCH_BCC, WS_B, 5},
    {"bne.l", FAM_BRANCH, BRANCH_BCC, WS_L, 5},
    {"bne.w", FAM_BRANCH, BRANCH_BCC, WS_W, 5},
    {"bpc.b", FAM_BRANCH, BRANCH_BCC, WS_B, 11},
    {"bpc.l", FAM_BRANCH, BRANCH_BCC, WS_L, 11},
    {"bpc.w", FAM_BRANCH, BRANCH_BCC, WS_W, 11},
    {"bpl.b", FAM_BRANCH, BRANCH_BCC, WS_B, 9},
    {"bpl.l", FAM_BRANCH, BRANCH_BCC, WS_L, 9},
    {"bpl.w", FAM_BRANCH, BRANCH_BCC, WS_W, 9},
    {"bps.b", FAM_BRANCH, BRANCH_BCC, WS_B, 10},
    {"bps.l", FAM_BRANCH, BRANCH_BCC, WS_L, 10},
    {"bps.w", FAM_BRANCH, BRANCH_BCC, WS_W, 10},
    {"br.b", FAM_BRANCH, BRANCH_BR, WS_B, 0},
    {"br.l", FAM_BRANCH, BRANCH_BR, WS_L, 0},
    {"br.w", FAM_BRANCH, BRANCH_BR, WS_W, 0},
    {"bscf.l", FAM_MULBIT, MULBIT_BSCF, WS_L, 0},
    {"bscf.w", FAM_MULBIT, MULBIT_BSCF, WS_W, 0},
    {"bscr.l", FAM_MULBIT, MULBIT_BSCR, WS_L, 0},
    {"bscr.w", FAM_MULBIT, MULBIT_BSCR, WS_W, 0},
    {"bset.l", FAM_MULBIT, MULBIT_BSET, WS_L, 0},
    {"bset.w", FAM_MULBIT, MULBIT_BSET, WS_W, 0},
    {"bsr.l", FAM_BRANCH, BRANCH_BSR, WS_L, 0},
    {"bsr.w", FAM_BRANCH, BRANCH_BSR, WS_W, 0},
    {"bswap.l", FAM_EXTEND, EXTEND_BSWAP, WS_L, 0},
    {"btst.l", FAM_MULBIT, MULBIT_BTST, WS_L, 0},
    {"btst.w", FAM_MULBIT, MULBIT_BTST, WS_W, 0},
    {"bvc.b", FAM_BRANCH, BRANCH_BCC, WS_B, 1},
    {"bvc.l", FAM_BRANCH, BRANCH_BCC, WS_L, 1},
    {"bvc.w", FAM_BRANCH, BRANCH_BCC, WS_W, 1},
    {"bvs.b", FAM_BRANCH, BRANCH_BCC, WS_B, 0},
    {"bvs.l", FAM_BRANCH, BRANCH_BCC, WS_L, 0},
    {"bvs.w", FAM_BRANCH, BRANCH_BCC, WS_W, 0},
    {"cas.b", FAM_EXTEND, EXTEND_CAS, WS_B, 0},
    {"cas.l", FAM_EXTEND, EXTEND_CAS, WS_L, 0},
    {"cas.w", FAM_EXTEND, EXTEND_CAS, WS_W, 0},
    {"chk.l", FAM_EXTEND, EXTEND_CHK, WS_L, 0},
    {"chk.w", FAM_EXTEND, EXTEND_CHK, WS_W, 0},
    {"cmp.b", FAM_ARITH, ARITH_CMP, WS_B, 0},
    {"cmp.l", FAM_ARITH, ARITH_CMP, WS_L, 0},
    {"cmp.w", FAM_ARITH, ARITH_CMP, WS_W, 0},
    {"cmpq.l", FAM_ARITH, ARITH_CMPQ, WS_L, 0},
    {"cmpq.w", FAM_ARITH, ARITH_CMPQ, WS_W, 0},
    {"dbeq.l", FAM_BRANCH, BRANCH_DBEQ, WS_L, 0},
    {"dbeq.w", FAM_BRANCH, BRANCH_DBEQ, WS_W, 0},
    {"dbf.l", FAM_BRANCH, BRANCH_DBF, WS_L, 0},
    {"dbf.w", FAM_BRANCH, BRANCH_DBF, WS_W, 0},
    {"dbne.l", FAM_BRANCH, BRANCH_DBNE, WS_L, 0},
    {"dbne.w", FAM_BRANCH, BRANCH_DBNE, WS_W, 0},
    {"dc.b", FAM_DIRECTIVE, DIR_DC_B, WS_NONE, 0},
    {"dc.bw", FAM_DIRECTIVE, DIR_DC_BW, WS_NONE, 0},
    {"dc.l", FAM_DIRECTIVE, DIR_DC_L, WS_NONE, 0},
    {"dc.l_", FAM_DIRECTIVE, DIR_DC_L_, WS_NONE, 0},
    {"dc.w", FAM_DIRECTIVE, DIR_DC_W, WS_NONE, 0},
    {"dc.w_", FAM_DIRECTIVE, DIR_DC_W_, WS_NONE, 0},
    {"dec.b", FAM_ARITH, ARITH_DEC, WS_B, 0},
    {"dec.l", FAM_ARITH, ARITH_DEC, WS_L, 0},
    {"dec.w", FAM_ARITH, ARITH_DEC, WS_W, 0},
    {"divs.b", FAM_MULBIT, MULBIT_DIVS, WS_B, 0},
    {"divs.l", FAM_MULBIT, MULBIT_DIVS, WS_L, 0},
    {"divs.w", FAM_MULBIT, MULBIT_DIVS, WS_W, 0},
    {"divu.b", FAM_MULBIT, MULBIT_DIVU, WS_B, 0},
    {"divu.l", FAM_MULBIT, MULBIT_DIVU, WS_L, 0},
    {"divu.w", FAM_MULBIT, MULBIT_DIVU, WS_W, 0},
    {"dsl.l", FAM_SHIFT, SHIFT_DSL, WS_L, 0},
    {"dsl.w", FAM_SHIFT, SHIFT_DSL, WS_W, 0},
    {"dsr.l", FAM_SHIFT, SHIFT_DSR, WS_L, 0},
    {"dsr.w", FAM_SHIFT, SHIFT_DSR, WS_W, 0},
    {"eor.b", FAM_ARITH, ARITH_EOR, WS_B, 0},
    {"eor.l", FAM_ARITH, ARITH_EOR, WS_L, 0},
    {"eor.w", FAM_ARITH, ARITH_EOR, WS_W, 0},
    {"eorq.l", FAM_ARITH, ARITH_EORQ, WS_L, 0},
    {"eorq.w", FAM_ARITH, ARITH_EORQ, WS_W, 0},
    {"even", FAM_DIRECTIVE, DIR_EVEN, WS_NONE, 0},
    {"even16", FAM_DIRECTIVE, DIR_EVEN16, WS_NONE, 0},
    {"even4", FAM_DIRECTIVE, DIR_EVEN4, WS_NONE, 0},
    {"evencom", FAM_DIRECTIVE, DIR_EVENCOM, WS_NONE, 0},
    {"exg.b", FAM_EXTEND, EXTEND_EXG, WS_B, 0},
    {"exg.l", FAM_EXTEND, EXTEND_EXG, WS_L, 0},
    {"exg.w", FAM_EXTEND, EXTEND_EXG, WS_W, 0},
    {"ext.l", FAM_EXTEND, EXTEND_EXT, WS_L, 0},
    {"ext.w", FAM_EXTEND, EXTEND_EXT, WS_W, 0},
    {"halt", FAM_BRANCH, BRANCH_HALT, WS_NONE, 0},
    {"in.b", FAM_PORT, PORT_IN, WS_B, 0},
    {"in.l", FAM_PORT, PORT_IN, WS_L, 0},
    {"in.w", FAM_PORT, PORT_IN, WS_W, 0},
    {"inc.b", FAM_ARITH, ARITH_INC, WS_B, 0},
    {"inc.l", FAM_ARITH, ARITH_INC, WS_L, 0},
    {"inc.w", FAM_ARITH, ARITH_INC, WS_W, 0},
    {"invl_cache", FAM_MULBIT, MULBIT_INVL_CACHE, WS_NONE, 0},
    {"invl_cache_wb", FAM_MULBIT, MULBIT_INVL_CACHE_WB, WS_NONE, 0},
    {"invl_tlb", FAM_MULBIT, MULBIT_INVL_TLB, WS_NONE, 0},
    {"jmp.l", FAM_BRANCH, BRANCH_JMP, WS_L, 0},
    {"jmp.w", FAM_BRANCH, BRANCH_JMP, WS_W, 0},
    {"jmp.wl", FAM_BRANCH, BRANCH_JMP, WS_WL, 0},
    {"jmp.ww", FAM_BRANCH, BRANCH_JMP, WS_WW, 0},
    {"jsr.l", FAM_BRANCH, BRANCH_JSR, WS_L, 0},
    {"jsr.w", FAM_BRANCH, BRANCH_JSR, WS_W, 0},
    {"jsr.wl", FAM_BRANCH, BRANCH_JSR, WS_WL, 0},
    {"jsr.ww", FAM_BRANCH, BRANCH_JSR, WS_WW, 0},
    {"label_block", FAM_DIRECTIVE, DIR_LABEL_BLOCK, WS_NONE, 0},
    {"lar.l", FAM_EXTEND, EXTEND_LAR, WS_L, 0},
    {"lar.w", FAM_EXTEND, EXTEND_LAR, WS_W, 0},
    {"ldsl.l", FAM_EXTEND, EXTEND_LDSL, WS_L, 0},
    {"ldsl.w", FAM_EXTEND, EXTEND_LDSL, WS_W, 0},
    {"lea.l", FAM_EXTEND, EXTEND_LEA, WS_L, 0},
    {"lea.w", FAM_EXTEND, EXTEND_LEA, WS_W, 0},
    {"link.l", FAM_EXTEND, EXTEND_LINK, WS_L, 0},
    {"link.w", FAM_EXTEND, EXTEND_LINK, WS_W, 0},
    {"list", FAM_DIRECTIVE, DIR_LIST, WS_NONE, 0},
    {"lsl.b", FAM_SHIFT, SHIFT_LSL, WS_B, 0},
    {"lsl.l", FAM_SHIFT, SHIFT_LSL, WS_L, 0},
    {"lsl.w", FAM_SHIFT, SHIFT_LSL, WS_W, 0},
    {"lsr.b", FAM_SHIFT, SHIFT_LSR, WS_B, 0},
    {"lsr.l", FAM_SHIFT, SHIFT_LSR, WS_L, 0},
    {"lsr.w", FAM_SHIFT, SHIFT_LSR, WS_W, 0},
    {"move.b", FAM_MOVE, MOVE_MOVE, WS_B, 0},
    {"move.l", FAM_MOVE, MOVE_MOVE, WS_L, 0},
    {"move.w", FAM_MOVE, MOVE_MOVE, WS_W, 0},
    {"movem.l", FAM_MOVE, MOVE_MOVEM, WS_L, 0},
    {"movem.w", FAM_MOVE, MOVE_MOVEM, WS_W, 0},
    {"moveq.l", FAM_MOVE, MOVE_MOVEQ, WS_L, 0},
    {"moveq.w", FAM_MOVE, MOVE_MOVEQ, WS_W, 0},
    {"movs.bl", FAM_EXTEND, EXTEND_MOVS, WS_BL, 0},
    {"movs.bw", FAM_EXTEND, EXTEND_MOVS, WS_BW, 0},
    {"movs.wl", FAM_EXTEND, EXTEND_MOVS, WS_WL, 0},
    {"movu.bl", FAM_EXTEND, EXTEND_MOVU, WS_BL, 0},
    {"movu.bw", FAM_EXTEND, EXTEND_MOVU, WS_BW, 0},
    {"movu.wl", FAM_EXTEND, EXTEND_MOVU, WS_WL, 0},
    {"muls.b", FAM_MULBIT, MULBIT_MULS, WS_B, 0},
    {"muls.l", FAM_MULBIT, MULBIT_MULS, WS_L, 0},
    {"muls.w", FAM_MULBIT, MULBIT_MULS, WS_W, 0},
    {"mulsq.l", FAM_MULBIT, MULBIT_MULSQ, WS_L, 0},
    {"mulsq.w", FAM_MULBIT, MULBIT_MULSQ, WS_W, 0},
    {"mulu.b", FAM_MULBIT, MULBIT_MULU, WS_B, 0},
    {"mulu.l", FAM_MULBIT, MULBIT_MULU, WS_L, 0},
    {"mulu.w", FAM_MULBIT, MULBIT_MULU, WS_W, 0},
    {"neg.b", FAM_ARITH, ARITH_NEG, WS_B, 0},
    {"neg.l", FAM_ARITH, ARITH_NEG, WS_L, 0},
    {"neg.w", FAM_ARITH, ARITH_NEG, WS_W, 0},
    {"nolist", FAM_DIRECTIVE, DIR_NOLIST, WS_NONE, 0},
    {"nop", FAM_BRANCH, BRANCH_NOP, WS_NONE, 0},
    {"not.b", FAM_ARITH, ARITH_NOT, WS_B, 0},
    {"not.l", FAM_ARITH, ARITH_NOT, WS_L, 0},
    {"not.w", FAM_ARITH, ARITH_NOT, WS_W, 0},
    {"odd", FAM_DIRECTIVE, DIR_ODD, WS_NONE, 0},
    {"or.b", FAM_ARITH, ARITH_OR, WS_B, 0},
    {"or.l", FAM_ARITH, ARITH_OR, WS_L, 0},
    {"or.w", FAM_ARITH, ARITH_OR, WS_W, 0},
    {"orq.l", FAM_ARITH, ARITH_ORQ, WS_L, 0},
    {"orq.w", FAM_ARITH, ARITH_ORQ, WS_W, 0},
    {"out.b", FAM_PORT, PORT_OUT, WS_B, 0},
    {"out.l", FAM_PORT, PORT_OUT, WS_L, 0},
    {"out.w", FAM_PORT, PORT_OUT, WS_W, 0},
    {"prefetch.b", FAM_MULBIT, MULBIT_PREFETCH, WS_B, 0},
    {"rocl.b", FAM_SHIFT, SHIFT_ROCL, WS_B, 0},
    {"rocl.l", FAM_SHIFT, SHIFT_ROCL, WS_L, 0},
    {"rocl.w", FAM_SHIFT, SHIFT_ROCL, WS_W, 0},
    {"rocr.b", FAM_SHIFT, SHIFT_ROCR, WS_B, 0},
    {"rocr.l", FAM_SHIFT, SHIFT_ROCR, WS_L, 0},
    {"rocr.w", FAM_SHIFT, SHIFT_ROCR, WS_W, 0},
    {"rol.b", FAM_SHIFT, SHIFT_ROL, WS_B, 0},
    {"rol.l", FAM_SHIFT, SHIFT_ROL, WS_L, 0},
    {"rol.w", FAM_SHIFT, SHIFT_ROL, WS_W, 0},
    {"ror.b", FAM_SHIFT, SHIFT_ROR, WS_B, 0},
    {"ror.l", FAM_SHIFT, SHIFT_ROR, WS_L, 0},
    {"ror.w", FAM_SHIFT, SHIFT_ROR, WS_W, 0},
    {"rte.l", FAM_BRANCH, BRANCH_RTE, WS_L, 0},
    {"rte.w", FAM_BRANCH, BRANCH_RTE, WS_W, 0},
    {"rts.l", FAM_BRANCH, BRANCH_RTS, WS_L, 0},
    {"rts.ll", FAM_BRANCH, BRANCH_RTS, WS_LL, 0},
    {"rts.w", FAM_BRANCH, BRANCH_RTS, WS_W, 0},
    {"rts.ww", FAM_BRANCH, BRANCH_RTS, WS_WW, 0},
    {"scc.b", FAM_MULBIT, MULBIT_SCC, WS_B, 3},
    {"scs.b", FAM_MULBIT, MULBIT_SCC, WS_B, 2},
    {"seg16", FAM_DIRECTIVE, DIR_SEG16, WS_NONE, 0},
    {"seg32", FAM_DIRECTIVE, DIR_SEG32, WS_NONE, 0},
    {"seq.b", FAM_MULBIT, MULBIT_SCC, WS_B, 4},
    {"sge.b", FAM_MULBIT, MULBIT_SCC, WS_B, 13},
    {"sgt.b", FAM_MULBIT, MULBIT_SCC, WS_B, 15},
    {"shi.b", FAM_MULBIT, MULBIT_SCC, WS_B, 7},
    {"shs.b", FAM_MULBIT, MULBIT_SCC, WS_B, 3},
    {"sle.b", FAM_MULBIT, MULBIT_SCC, WS_B, 14},
    {"slo.b", FAM_MULBIT, MULBIT_SCC, WS_B, 2},
    {"sls.b", FAM_MULBIT, MULBIT_SCC, WS_B, 6},
    {"slt.b", FAM_MULBIT, MULBIT_SCC, WS_B, 12},
    {"smi.b", FAM_MULBIT, MULBIT_SCC, WS_B, 8},
    {"sne.b", FAM_MULBIT, MULBIT_SCC, WS_B, 5},
    {"spc.b", FAM_MULBIT, MULBIT_SCC, WS_B, 11},
    {"spl.b", FAM_MULBIT, MULBIT_SCC, WS_B, 9},
    {"sps.b", FAM_MULBIT, MULBIT_SCC, WS_B, 10},
    {"sub.b", FAM_ARITH, ARITH_SUB, WS_B, 0},
    {"sub.l", FAM_ARITH, ARITH_SUB, WS_L, 0},
    {"sub.w", FAM_ARITH, ARITH_SUB, WS_W, 0},
    {"subc.b", FAM_ARITH, ARITH_SUBC, WS_B, 0},
    {"subc.l", FAM_ARITH, ARITH_SUBC, WS_L, 0},
    {"subc.w", FAM_ARITH, ARITH_SUBC, WS_W, 0},
    {"subcq.l", FAM_ARITH, ARITH_SUBCQ, WS_L, 0},
    {"subcq.w", FAM_ARITH, ARITH_SUBCQ, WS_W, 0},
    {"subq.l", FAM_ARITH, ARITH_SUBQ, WS_L, 0},
    {"subq.w", FAM_ARITH, ARITH_SUBQ, WS_W, 0},
    {"svc.b", FAM_MULBIT, MULBIT_SCC, WS_B, 1},
    {"svs.b", FAM_MULBIT, MULBIT_SCC, WS_B, 0},
    {"trap", FAM_BRANCH, BRANCH_TRAP, WS_NONE, 0},
    {"trapv", FAM_BRANCH, BRANCH_TRAPV, WS_NONE, 0},
    {"tst.b", FAM_ARITH, ARITH_TST, WS_B, 0},
    {"tst.l", FAM_ARITH, ARITH_TST, WS_L, 0},
    {"tst.w", FAM_ARITH, ARITH_TST, WS_W, 0},
    {"unlk.l", FAM_EXTEND, EXTEND_UNLK, WS_L, 0},
    {"unlk.w", FAM_EXTEND, EXTEND_UNLK, WS_W, 0},
    {"verr.w", FAM_MULBIT, MULBIT_VERR, WS_W, 0},
    {"verw.w", FAM_MULBIT, MULBIT_VERW, WS_W, 0},
    {"wait", FAM_BRANCH, BRANCH_WAIT, WS_NONE, 0},
    {"xadd.b", FAM_EXTEND, EXTEND_XADD, WS_B, 0},
    {"xadd.l", FAM_EXTEND, EXTEND_XADD, WS_L, 0},
    {"xadd.w", FAM_EXTEND, EXTEND_XADD, WS_W, 0},
};

constexpr int32_t WORD_COUNT = static_cast<int32_t>(std::size(STATEMENT_WORDS));
static_assert(WORD_COUNT == 288);

constexpr size_t INDEX_SIZE = 1024;  // power of two, load under 0.3

constexpr uint32_t hash_word(std::string_view w) {
    uint32_t h = 2166136261u;
    for (char c : w) {
        h ^= static_cast<uint8_t>(c);
        h *= 16777619u;
    }
    return h;
}

// Slot -> table position + 1 (0 = empty), open addressing with linear probing.
constexpr std::array<int16_t, INDEX_SIZE> build_index() {
    std::array<int16_t, INDEX_SIZE> index{};
    for (int32_t i = 0; i < WORD_COUNT; ++i) {
        size_t slot = hash_word(STATEMENT_WORDS[i].word) & (INDEX_SIZE - 1);
        while (index[slot] != 0) slot = (slot + 1) & (INDEX_SIZE - 1);
        index[slot] = static_cast<int16_t>(i + 1);
    }
    return index;
}

constexpr std::array<int16_t, INDEX_SIZE> WORD_INDEX = build_index();

}  // namespace

const StatementWord* find_statement_word(std::string_view word) {
    size_t slot = hash_word(word) & (INDEX_SIZE - 1);
    while (WORD_INDEX[slot] != 0) {
        const StatementWord& w = STATEMENT_WORDS[WORD_INDEX[slot] - 1];
        if (w.word == word) return &w;
        slot = (slot + 1) & (INDEX_SIZE - 1);
    }
    return nullptr;
}

std::string_view statement_word_at(int32_t index) { return STATEMENT_WORDS[index].word; }

int32_t statement_word_count() { return WORD_COUNT; }

void unknown_statement_word(Asm& a) {
    int32_t first = static_cast<uint8_t>(a.word[0]);
    if (first >= 'a' && first <= 'z') fatal_error(a, 144 + (first - 'a' + 1), MSG_UNKNOWN_OPCODE);
    fatal_error(a, 5, MSG_UNKNOWN_OPCODE);
}

void dispatch_statement(Asm& a) {
    const StatementWord* w = find_statement_word(std::string_view(a.word.data()));
    if (w == nullptr) unknown_statement_word(a);
    switch (w->family) {
    case FAM_DIRECTIVE: isa_directive(a, *w); break;
    case FAM_ARITH: isa_arith(a, *w); break;
    case FAM_MOVE: isa_move(a, *w); break;
    case FAM_BRANCH: isa_branch(a, *w); break;
    case FAM_SHIFT: isa_shift(a, *w); break;
    case FAM_MULBIT: isa_mulbit(a, *w); break;
    case FAM_EXTEND: isa_extend(a, *w); break;
    case FAM_PORT: isa_port(a, *w); break;
    }
}
