// Encoders of the multiply, divide, bit, set-on-condition and system instructions.
#include "asm/isa/words.h"

// Not built yet: every word of this family is reported as unknown.
void isa_mulbit(Asm& a, const StatementWord&) { unknown_statement_word(a); }
