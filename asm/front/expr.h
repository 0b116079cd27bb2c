// Expression evaluator: constants, character constants, symbols and operators with
// precedence and parentheses, in signed 32-bit wrap-around arithmetic.
#pragma once

#include "asm/driver/asm_state.h"

// Size class of a value: SIZE_BYTE, SIZE_WORD or SIZE_LONG.
int32_t size_class(int32_t value);
// Returns the size class and stores the value, or EVAL_UNDEFINED (value not written) when a
// symbol is not defined yet.
int32_t try_evaluate_expression(Asm& a, const char* text, int32_t* value);
// As try_evaluate_expression; an undefined symbol counts as 0 in pass 1 and stops pass 2.
int32_t evaluate_expression(Asm& a, const char* text, int32_t* value);
