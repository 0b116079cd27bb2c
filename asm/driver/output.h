// Code output and listing: the emitters that advance the location counters, write the code
// file and list the bytes in hex, and the symbol dump at the end of the listing.
#pragma once

#include "asm/driver/asm_state.h"

void emit_byte(Asm& a, int32_t value);
void emit_word(Asm& a, int32_t value);
void emit_dword(Asm& a, int32_t value);
// count units of 1, 2 or 4 bytes holding value (nothing when count <= 0).
void emit_repeated(Asm& a, int32_t unit, int32_t value, int32_t count);
void write_com_byte(Asm& a, int32_t value);
void list_hex_byte(Asm& a, int32_t value);
void dump_symbols(Asm& a);

// One character into the listing: written while list_level >= 0, counted always.
inline void list_char(Asm& a, int32_t c) {
    if (a.list_level >= 0) a.lst.put(static_cast<uint8_t>(c));
    if (c == '\n')
        a.listing_column = 0;
    else
        ++a.listing_column;
}

// A run of characters without line feeds into the listing.
inline void list_text(Asm& a, const char* text, int32_t n) {
    if (a.list_level >= 0) a.lst.put_n(text, static_cast<size_t>(n));
    a.listing_column += n;
}

// Moves only the address, as a reservation does.
inline void advance_address(Asm& a, int32_t n) { a.sym.values[0] = wrap_add(a.sym.values[0], n); }
