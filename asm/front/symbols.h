// Symbol table with its three label scopes (label blocks, '_' locals, globals) and '@' names.
#pragma once

#include <string_view>

#include "asm/driver/asm_state.h"

inline bool is_name_char(int32_t c) {
    return c == '.' || c == '_' || c == '@' || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

inline bool is_name_start(int32_t c) {
    return c == '.' || c == '_' || c == '@' || (c >= 'a' && c <= 'z');
}

// Empties the table and enters "@" and "@@" (the two location counters).
void init_symbols(Asm& a);
int32_t find_symbol(const Asm& a, std::string_view name);
void define_symbol(Asm& a, std::string_view name, int32_t value, int32_t kind);
// Opens a new label block: a separator entry in pass 1, found again in pass 2.
void label_block(Asm& a);
inline std::string_view symbol_name(const Asm& a, int32_t index) {
    return std::string_view(&a.sym.name_store[a.sym.names[index]]);
}
