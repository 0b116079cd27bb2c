// Source reader: characters with one look-ahead, comments, quotes and parentheses, case
// folding, and the statement-level readers (statement word, operand texts, line end).
#pragma once

#include "asm/driver/asm_state.h"

int32_t read_raw_char(Asm& a);
int32_t read_char(Asm& a);
// Fills buf (TEXT_BUF characters) with the next operand text, squeezed; empty when none is left.
void read_operand_text(Asm& a, char* buf);
void squeeze_operand(Asm& a, char* buf);
// 0 at the end of the source, else 1 with the statement word in a.word.
int32_t read_statement_word(Asm& a);
void skip_line(Asm& a);
void end_statement(Asm& a);

// The next operand of the statement in a.operand.
inline char* read_operand(Asm& a) {
    read_operand_text(a, a.operand.data());
    return a.operand.data();
}
