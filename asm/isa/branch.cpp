// Encoders of the control transfer instructions.
#include "asm/driver/output.h"
#include "asm/isa/words.h"

void isa_branch(Asm& a, const StatementWord& w) {
    switch (w.op) {
    case BRANCH_TRAPV: emit_byte(a, 0xCE); return;
    case BRANCH_HALT: emit_byte(a, 0xF4); return;
    case BRANCH_NOP: emit_byte(a, 0x90); return;
    case BRANCH_WAIT: emit_byte(a, 0x9B); return;
    default: unknown_statement_word(a);  // the other forms are not built yet
    }
}
