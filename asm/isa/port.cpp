// Encoders of the port input and output instructions.
#include "asm/isa/words.h"

// Not built yet: every word of this family is reported as unknown.
void isa_port(Asm& a, const StatementWord&) { unknown_statement_word(a); }
