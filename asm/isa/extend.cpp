// Encoders of the extension, exchange and address instructions.
#include "asm/isa/words.h"

// Not built yet: every word of this family is reported as unknown.
void isa_extend(Asm& a, const StatementWord&) { unknown_statement_word(a); }
