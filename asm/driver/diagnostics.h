// The message table, the single error exit and the console printing routines.
#pragma once

#include "asm/driver/asm_state.h"

enum MessageIndex : int32_t {
    MSG_NORMAL_END = 0,
    MSG_UNKNOWN_OPCODE = 1,
    MSG_BAD_PREFIX = 2,
    MSG_BAD_OPERAND_FOR_INSN = 3,
    MSG_BYTE_TOO_LARGE = 4,
    MSG_WORD_TOO_LARGE = 5,
    MSG_BRANCH_TOO_FAR = 6,
    MSG_BAD_SEGMENT = 7,
    MSG_MODSIB = 8,
    MSG_BAD_ADDRESSING = 9,
    MSG_LABEL_NOT_FOUND = 10,
    MSG_NO_VALUE = 11,
    MSG_BAD_CHAR = 12,
    MSG_BAD_PAREN = 13,
    MSG_BAD_EXPRESSION = 14,
    MSG_BAD_BYTE_REGISTER = 15,
    MSG_BAD_OPERAND = 16,
    MSG_BAD_SPACE = 17,
    MSG_DOT_IN_LABEL = 18,
    MSG_LABEL_TWICE = 19,
    MSG_TOO_MANY_OPERANDS = 20,
    MSG_LINE_TOO_LONG = 21,
    MSG_ASCII_TOO_LONG = 22,
    MSG_NAME_STORE_FULL = 23,
    MSG_SYMBOL_TABLE_FULL = 24,
    MSG_BAD_ASCII = 25,
    MSG_TOO_MANY_PARENS = 26,
    MSG_MISSING_ENDIF = 27,
    MSG_TOO_MANY_IFS = 28,
    MSG_TOO_MANY_ELSES = 29,
    MSG_TOO_MANY_ENDIFS = 30,
    MSG_SOURCE_OPEN = 31,
    MSG_LISTING_OPEN = 32,
    MSG_COM_OPEN = 33,
    MSG_LABEL_MOVED = 34,
    MSG_COUNT
};

extern const std::array<std::string_view, MSG_COUNT> MessageTable;

// Unwinds to the top of the run, which prints the report line and closes the files.
struct AsmStop {
    int32_t code;
    int32_t message;
};

[[noreturn]] void fatal_error(Asm& a, int32_t code, int32_t message);

void print_string(Asm& a, std::string_view text);
void print_decimal(Asm& a, int32_t value);
// The decimal text print_decimal writes, for callers that build a line first.
std::string decimal_text(int32_t value);
