// Encoders of the arithmetic and logic instructions.
#include "asm/isa/words.h"

// Not built yet: every word of this family is reported as unknown.
void isa_arith(Asm& a, const StatementWord&) { unknown_statement_word(a); }
