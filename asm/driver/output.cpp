// Code output and listing.
#include "asm/driver/output.h"

#include "asm/driver/diagnostics.h"

namespace {

constexpr char HEX_DIGITS[] = "0123456789abcdef";

void format_hex32(char* out, uint32_t v) {
    for (int i = 0; i < 8; ++i) out[i] = HEX_DIGITS[(v >> (28 - 4 * i)) & 15u];
}

void list_hex32(Asm& a, uint32_t v) {
    char digits[8];
    format_hex32(digits, v);
    list_text(a, digits, 8);
}

// Moves both location counters, as n emitted bytes do.
void advance_counters(Asm& a, int32_t n) {
    a.sym.values[0] = wrap_add(a.sym.values[0], n);
    a.sym.values[1] = wrap_add(a.sym.values[1], n);
}

// A unit that would start beyond the threshold column starts a new listing line.
void wrap_listing(Asm& a, int32_t threshold) {
    if (a.listing_column > threshold) list_char(a, '\n');
}

}  // namespace

void list_hex_byte(Asm& a, int32_t value) {
    if (a.listing_column == 0) {
        char header[20];
        format_hex32(header, static_cast<uint32_t>(file_counter(a)));
        header[8] = ':';
        header[9] = ' ';
        format_hex32(header + 10, static_cast<uint32_t>(address_counter(a)));
        header[18] = ':';
        header[19] = ' ';
        list_text(a, header, 20);
    }
    uint32_t v = static_cast<uint32_t>(value);
    list_char(a, HEX_DIGITS[(v >> 4) & 15u]);
    list_char(a, HEX_DIGITS[v & 15u]);
}

void write_com_byte(Asm& a, int32_t value) {
    a.com.put(static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu));
    if (a.blk_pending) {
        print_string(a, "\nACHTUNG: Code generiert nach blk-Anweisung in Zeile ");
        print_decimal(a, a.line_number);
        print_string(a, "\nblk reserviert keinen Speicherplatz\n");
        a.blk_pending = false;
    }
}

void emit_byte(Asm& a, int32_t value) {
    if (a.pass2) {
        wrap_listing(a, 36);
        list_hex_byte(a, value);
        list_char(a, ' ');
        write_com_byte(a, value);
    }
    advance_counters(a, 1);
}

void emit_word(Asm& a, int32_t value) {
    if (a.pass2) {
        uint32_t v = static_cast<uint32_t>(value);
        wrap_listing(a, 34);
        list_hex_byte(a, static_cast<int32_t>(v >> 8));
        list_hex_byte(a, value);
        list_char(a, ' ');
        write_com_byte(a, value);
        write_com_byte(a, static_cast<int32_t>(v >> 8));
    }
    advance_counters(a, 2);
}

void emit_dword(Asm& a, int32_t value) {
    if (a.pass2) {
        uint32_t v = static_cast<uint32_t>(value);
        wrap_listing(a, 30);
        for (int shift = 24; shift >= 0; shift -= 8) list_hex_byte(a, static_cast<int32_t>(v >> shift));
        list_char(a, ' ');
        for (int shift = 0; shift <= 24; shift += 8) write_com_byte(a, static_cast<int32_t>(v >> shift));
    }
    advance_counters(a, 4);
}

void emit_repeated(Asm& a, int32_t unit, int32_t value, int32_t count) {
    if (count <= 0) return;
    if (!a.pass2) {
        // Pass 1 writes nothing: a fill only moves the counters, in one step however long.
        advance_counters(a, wrap_mul(count, unit));
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (unit == 1)
            emit_byte(a, value);
        else if (unit == 2)
            emit_word(a, value);
        else
            emit_dword(a, value);
    }
}

void dump_symbols(Asm& a) {
    const SymbolTable& t = a.sym;
    list_char(a, '\n');
    a.listing_column = 110;
    for (int32_t i = 0; i <= t.last_index; ++i) {
        if (t.kinds[i] <= 1) continue;
        const char* name = &t.name_store[t.names[i]];
        if (name[0] == '@') continue;
        if (a.listing_column > 64) {
            list_char(a, '\n');
        } else {
            for (int k = 0; k < 3; ++k) list_char(a, ' ');
        }
        int32_t len = 0;
        for (; name[len] != 0; ++len) list_char(a, static_cast<uint8_t>(name[len]));
        for (; len < 15; ++len) list_char(a, '.');
        list_char(a, ' ');
        list_hex32(a, static_cast<uint32_t>(t.values[i]));
    }
}
