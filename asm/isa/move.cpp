// Encoders of the data movement instructions.
#include "asm/isa/words.h"

// Not built yet: every word of this family is reported as unknown.
void isa_move(Asm& a, const StatementWord&) { unknown_statement_word(a); }
