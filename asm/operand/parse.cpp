// Operand parser: the template table of the memory forms, the right-to-left template matcher,
// the register checks and base/index normalisations, and the exact register and special forms.
#include <cstring>
#include <string_view>

#include "asm/driver/diagnostics.h"
#include "asm/front/expr.h"
#include "asm/front/reader.h"
#include "asm/operand/operand.h"

namespace {

// Register sets a register of a memory form must belong to (logical numbers).
enum RegSet : uint8_t {
    RS_ANY,
    RS_16_ANY,   // r3..r6: BX, BP, SI, DI
    RS_16_BARE,  // r3, r5, r6: BP cannot be addressed without a displacement
    RS_16_FIRST, // r3, r4: BX or BP
    RS_16_SECOND,// r5, r6: SI or DI
    RS_NOT_R7,   // ESP cannot be an index
};

enum DispRule : uint8_t {
    DISP_NONE,
    DISP_ANY,
    DISP_BYTE,   // size class 1
    DISP_WORD,   // size class at most 2
};

enum Exchange : uint8_t {
    EX_NONE,
    EX_D8,  // d.b(rB,rI)
    EX_D32, // (rB,rI) and d.l(rB,rI)
};

// What the parser checks for one memory kind. One-register forms carry their register as base,
// except the scaled forms without base, whose only register is the index.
struct KindRule {
    bool index_only;
    RegSet base_set;
    uint16_t base_code;
    RegSet index_set;
    uint16_t index_code;
    Exchange exchange;
    DispRule disp;
    uint16_t disp_code;
};

// ORDER OperandKind, kinds 0..30 (0 and 1..3 unused here).
constexpr KindRule KIND_RULES[31] = {
    {},                                                                   // 0
    {},                                                                   // 1 OPK_NONE
    {},                                                                   // 2 OPK_HREG
    {},                                                                   // 3 OPK_REG
    {false, RS_ANY, 0, RS_ANY, 0, EX_NONE, DISP_WORD, 300},               // 4 OPK_M16_ABS
    {false, RS_16_BARE, 305, RS_ANY, 0, EX_NONE, DISP_NONE, 0},           // 5 OPK_M16_B
    {false, RS_16_FIRST, 312, RS_16_SECOND, 313, EX_NONE, DISP_NONE, 0},  // 6 OPK_M16_BI
    {false, RS_16_ANY, 301, RS_ANY, 0, EX_NONE, DISP_BYTE, 302},          // 7 OPK_M16_B_D8
    {false, RS_16_FIRST, 306, RS_16_SECOND, 307, EX_NONE, DISP_BYTE, 308},// 8 OPK_M16_BI_D8
    {false, RS_16_ANY, 303, RS_ANY, 0, EX_NONE, DISP_WORD, 304},          // 9 OPK_M16_B_D16
    {false, RS_16_FIRST, 309, RS_16_SECOND, 310, EX_NONE, DISP_WORD, 311},// 10 OPK_M16_BI_D16
    {},                                                                   // 11 OPK_M32_ABS
    {false, RS_ANY, 0, RS_ANY, 0, EX_NONE, DISP_NONE, 0},                 // 12 OPK_M32_B
    {false, RS_ANY, 0, RS_ANY, 0, EX_NONE, DISP_BYTE, 314},               // 13 OPK_M32_B_D8
    {false, RS_ANY, 0, RS_ANY, 0, EX_NONE, DISP_ANY, 0},                  // 14 OPK_M32_B_D32
    {false, RS_ANY, 0, RS_NOT_R7, 327, EX_D32, DISP_NONE, 0},             // 15 OPK_M32_BI
    {false, RS_ANY, 0, RS_NOT_R7, 328, EX_NONE, DISP_NONE, 0},            // 16 OPK_M32_BI2
    {false, RS_ANY, 0, RS_NOT_R7, 329, EX_NONE, DISP_NONE, 0},            // 17 OPK_M32_BI4
    {false, RS_ANY, 0, RS_NOT_R7, 330, EX_NONE, DISP_NONE, 0},            // 18 OPK_M32_BI8
    {},                                                                   // 19 OPK_M32_I1_D32
    {true, RS_ANY, 0, RS_NOT_R7, 315, EX_NONE, DISP_ANY, 0},              // 20 OPK_M32_I2_D32
    {true, RS_ANY, 0, RS_NOT_R7, 316, EX_NONE, DISP_ANY, 0},              // 21 OPK_M32_I4_D32
    {true, RS_ANY, 0, RS_NOT_R7, 317, EX_NONE, DISP_ANY, 0},              // 22 OPK_M32_I8_D32
    {false, RS_ANY, 0, RS_NOT_R7, 319, EX_D8, DISP_BYTE, 320},            // 23 OPK_M32_BI_D8
    {false, RS_ANY, 0, RS_NOT_R7, 321, EX_NONE, DISP_BYTE, 322},          // 24 OPK_M32_BI2_D8
    {false, RS_ANY, 0, RS_NOT_R7, 323, EX_NONE, DISP_BYTE, 324},          // 25 OPK_M32_BI4_D8
    {false, RS_ANY, 0, RS_NOT_R7, 325, EX_NONE, DISP_BYTE, 326},          // 26 OPK_M32_BI8_D8
    {false, RS_ANY, 0, RS_NOT_R7, 327, EX_D32, DISP_ANY, 0},              // 27 OPK_M32_BI_D32
    {false, RS_ANY, 0, RS_NOT_R7, 328, EX_NONE, DISP_ANY, 0},             // 28 OPK_M32_BI2_D32
    {false, RS_ANY, 0, RS_NOT_R7, 329, EX_NONE, DISP_ANY, 0},             // 29 OPK_M32_BI4_D32
    {false, RS_ANY, 0, RS_NOT_R7, 330, EX_NONE, DISP_ANY, 0},             // 30 OPK_M32_BI8_D32
};

// One memory template: the kind when nothing stands in front of it (0: the displacement is
// required) and the kind with a displacement in front.
struct MemTemplate {
    std::string_view text;
    uint8_t kind_bare;
    uint8_t kind_disp;
    uint8_t regs;
};

// Tried in this order; the first that matches decides.
constexpr MemTemplate MEM_TEMPLATES[] = {
    {".w{s?}", 0, OPK_M16_ABS, 0},
    {".b(r?.w){s?}", 0, OPK_M16_B_D8, 1},
    {".w(r?.w){s?}", 0, OPK_M16_B_D16, 1},
    {"(r?.w){s?}", OPK_M16_B, OPK_M16_B_D16, 1},
    {".b(r?.w,r?.w){s?}", 0, OPK_M16_BI_D8, 2},
    {".w(r?.w,r?.w){s?}", 0, OPK_M16_BI_D16, 2},
    {"(r?.w,r?.w){s?}", OPK_M16_BI, OPK_M16_BI_D16, 2},
    {".b(r?.l){s?}", 0, OPK_M32_B_D8, 1},
    {".l(r?.l){s?}", OPK_M32_B, OPK_M32_B_D32, 1},
    {".l(r?.l*2){s?}", 0, OPK_M32_I2_D32, 1},
    {".l(r?.l*4){s?}", 0, OPK_M32_I4_D32, 1},
    {".l(r?.l*8){s?}", 0, OPK_M32_I8_D32, 1},
    {".b(r?.l,r?.l){s?}", 0, OPK_M32_BI_D8, 2},
    {".b(r?.l,r?.l*2){s?}", 0, OPK_M32_BI2_D8, 2},
    {".b(r?.l,r?.l*4){s?}", 0, OPK_M32_BI4_D8, 2},
    {".b(r?.l,r?.l*8){s?}", 0, OPK_M32_BI8_D8, 2},
    {".l(r?.l,r?.l){s?}", OPK_M32_BI, OPK_M32_BI_D32, 2},
    {".l(r?.l,r?.l*2){s?}", OPK_M32_BI2, OPK_M32_BI2_D32, 2},
    {".l(r?.l,r?.l*4){s?}", OPK_M32_BI4, OPK_M32_BI4_D32, 2},
    {".l(r?.l,r?.l*8){s?}", OPK_M32_BI8, OPK_M32_BI8_D32, 2},
};

// The other templated forms, tried after the memory forms in this order. `bad_front` is the
// code for text in front of the form (0: text in front is allowed).
struct SpecialTemplate {
    std::string_view text;
    uint8_t kind;
    uint16_t bad_front;
};

constexpr SpecialTemplate STACK_TEMPLATES[] = {
    {"(r7.x)+{s7}", OPK_POP, 331},
    {"(sp)+", OPK_POP, 331},
    {"-(r7.x){s7}", OPK_PUSH, 332},
    {"-(sp)", OPK_PUSH, 332},
};

constexpr SpecialTemplate STRSRC_TEMPLATES[] = {
    {"(r5.w)+-{s?}", OPK_STRSRC16, 333},
    {"(r5.l)+-{s?}", OPK_STRSRC32, 334},
};

constexpr SpecialTemplate XLAT_TEMPLATES[] = {
    {"(r3.w,r0.b){s?}", OPK_XLAT16, 336},
    {"(r3.l,r0.b){s?}", OPK_XLAT32, 337},
};

// Exact forms, each one whole operand text.
struct ExactForm {
    const char* text;
    uint8_t kind;
};

constexpr ExactForm EXACT_SYSTEM_FORMS[] = {
    {"r0-r7", OPK_ALLREGS},
};

constexpr ExactForm EXACT_TABLE_FORMS[] = {
    {"ldtr", OPK_LDTR}, {"gdtr", OPK_GDTR}, {"idtr", OPK_IDTR}, {"tr", OPK_TASKREG},
    {"(r6.w)+-{s1}", OPK_STRDST16}, {"(r6.l)+-{s1}", OPK_STRDST32}, {"(r6)+-{s1}", OPK_STRDST32},
};

constexpr ExactForm EXACT_PAIR_FORMS[] = {
    {"r1|r0", OPK_PAIR_R1R0},
    {"m0|r0", OPK_PAIR_M0R0},
};

// `cr`, `dr`, `tr` plus one digit: the kind and the digits allowed.
struct SpecialRegister {
    char first;
    uint8_t kind;
    char low;
    char high;
};

constexpr SpecialRegister SPECIAL_REGISTERS[] = {
    {'c', OPK_CR, '0', '3'},
    {'d', OPK_DR, '0', '7'},
    {'t', OPK_TESTREG, '3', '7'},
};

// Logical register numbers of the high byte registers m0..m3 and the segment registers s0..s7
// (their reg_code is the processor's code); -1 where no register exists.
constexpr int32_t HREG_LOGICAL[4] = {7, 5, 4, 6};
constexpr int32_t SREG_LOGICAL[8] = {3, 0, 7, 4, -1, -1, 2, 1};

bool is_reg_digit(char c) { return c >= '0' && c <= '7'; }

bool in_set(RegSet set, int32_t r) {
    switch (set) {
    case RS_ANY: return true;
    case RS_16_ANY: return r >= 3 && r <= 6;
    case RS_16_BARE: return r == 3 || r == 5 || r == 6;
    case RS_16_FIRST: return r == 3 || r == 4;
    case RS_16_SECOND: return r == 5 || r == 6;
    case RS_NOT_R7: return r != 7;
    }
    return false;
}

// The matcher on a text of known length; see match_operand_template.
int32_t match_template(char* text, size_t len, std::string_view templ, int32_t* digits) {
    ptrdiff_t t = static_cast<ptrdiff_t>(templ.size()) - 1;
    ptrdiff_t p = static_cast<ptrdiff_t>(len) - 1;
    int32_t captured = 1;
    int32_t skipped = 0;
    digits[0] = 0;
    if (t >= 3 && templ[t] == '}' && templ[t - 1] == '?') {
        if (p < 0 || text[p] != '}') {
            t -= 4;
        } else {
            if (p < 3 || text[p - 3] != '{' || text[p - 2] != 's' || !is_reg_digit(text[p - 1])) return 0;
            digits[0] = text[p - 1] - '0';
            t -= 4;
            p -= 4;
        }
    }
    while (t >= 0) {
        const char tc = templ[t];
        const int32_t c = p >= 0 ? static_cast<uint8_t>(text[p]) : -1;
        if (tc == '?') {
            if (c < '0' || c > '7') return 0;
            digits[captured++] = c - '0';
            --t;
            --p;
        } else if (c == static_cast<uint8_t>(tc)) {
            --t;
            --p;
        } else if (tc == 'l' && t > 0 && templ[t - 1] == '.') {
            // ".l" left out: the text goes on without it.
            ++skipped;
            t -= 2;
        } else if (tc == '.' && t + 1 < static_cast<ptrdiff_t>(templ.size()) && templ[t + 1] == 'l') {
            // The 'l' just matched ends a displacement name such as "total": give it back.
            ++skipped;
            ++p;
            --t;
        } else {
            return 0;
        }
    }
    text[p + 1] = 0;
    return 1 + skipped;
}

bool equals_any(const char* text, const ExactForm* forms, size_t count, OperandDesc& op) {
    for (size_t i = 0; i < count; ++i) {
        if (text_equal(text, forms[i].text)) {
            op.kind = forms[i].kind;
            return true;
        }
    }
    return false;
}

// Tries the templates of one group; on a match sets kind, reg = 0 and seg.
bool match_special(Asm& a, char* text, size_t len, const SpecialTemplate* rows, size_t count,
                   OperandDesc& op) {
    int32_t digits[4];
    for (size_t i = 0; i < count; ++i) {
        if (match_template(text, len, rows[i].text, digits) == 0) continue;
        if (text[0] != 0) fatal_error(a, rows[i].bad_front, MSG_BAD_ADDRESSING);
        op.kind = rows[i].kind;
        op.seg = static_cast<uint32_t>(digits[0]);
        return true;
    }
    return false;
}

// Exchanges base and index of the unscaled two-register forms so that ESP is never the index
// and EBP takes or leaves the base as the requested segment needs.
void exchange_base_index(Exchange rule, OperandDesc& op) {
    if (rule == EX_NONE) return;
    const int32_t b = op.reg;
    const int32_t i = op.index;
    const uint32_t s = op.seg;
    const bool move_ebp_to_index = rule == EX_D8 ? (b == 4 && s == 0) : (b == 4 && s != 7);
    if (i == 7 || move_ebp_to_index || (b != 7 && s == 7 && i == 4)) {
        op.reg = i;
        op.index = b;
    }
}

void check_displacement(Asm& a, const KindRule& rule, int32_t cls) {
    if (rule.disp == DISP_BYTE && cls != SIZE_BYTE) fatal_error(a, rule.disp_code, MSG_BYTE_TOO_LARGE);
    if (rule.disp == DISP_WORD && cls > SIZE_WORD) fatal_error(a, rule.disp_code, MSG_WORD_TOO_LARGE);
}

// The normalisations of the 32-bit forms whose register choice the processor cannot encode
// directly, or that would need a segment prefix the other choice avoids.
void normalise_mem32(OperandDesc& op) {
    if (op.kind == OPK_M32_B && op.reg == 4) {
        op.kind = OPK_M32_B_D8;
        op.value = 0;
    } else if (op.kind == OPK_M32_B_D32 && op.reg == 4 && op.seg == 0) {
        op.kind = OPK_M32_I1_D32;
        op.reg = 0;
        op.index = 4;
    } else if (op.kind >= OPK_M32_BI && op.kind <= OPK_M32_BI8 && op.reg == 4) {
        op.kind += OPK_M32_BI_D8 - OPK_M32_BI;
        op.value = 0;
    }
}

// Fills op from a matched memory template; text holds the displacement expression.
void finish_memory(Asm& a, char* text, const MemTemplate& row, const int32_t* digits, OperandDesc& op) {
    const bool bare = text[0] == 0 && row.kind_bare != 0;
    op.kind = bare ? row.kind_bare : row.kind_disp;
    op.seg = static_cast<uint32_t>(digits[0]);
    const KindRule& rule = KIND_RULES[op.kind];
    if (row.regs == 2) {
        op.reg = digits[2];
        op.index = digits[1];
    } else if (row.regs == 1 && rule.index_only) {
        op.index = digits[1];
    } else if (row.regs == 1) {
        op.reg = digits[1];
    }
    exchange_base_index(rule.exchange, op);
    if (!rule.index_only && !in_set(rule.base_set, op.reg)) fatal_error(a, rule.base_code, MSG_BAD_ADDRESSING);
    if ((row.regs == 2 || rule.index_only) && !in_set(rule.index_set, op.index))
        fatal_error(a, rule.index_code, MSG_BAD_ADDRESSING);
    if (rule.disp != DISP_NONE) check_displacement(a, rule, evaluate_expression(a, text, &op.value));
    normalise_mem32(op);
}

bool try_memory_templates(Asm& a, char* text, size_t len, OperandDesc& op) {
    // Every memory template ends in ')' or ".w", or in a segment suffix: any other text (an
    // immediate, a plain address) is decided without walking the table.
    const char last = text[len - 1];
    if (last != ')' && last != 'w' && last != '}') return false;
    int32_t digits[4];
    for (const MemTemplate& row : MEM_TEMPLATES) {
        if (match_template(text, len, row.text, digits) == 0) continue;
        finish_memory(a, text, row, digits, op);
        return true;
    }
    return false;
}

// `sr`, `cr0`..`cr3`, `dr0`..`dr7`, `tr3`..`tr7`.
bool try_special_register(const char* text, size_t len, OperandDesc& op) {
    if (text_equal(text, "sr")) {
        op.kind = OPK_SR;
        return true;
    }
    if (len != 3 || text[1] != 'r') return false;
    for (const SpecialRegister& r : SPECIAL_REGISTERS) {
        if (text[0] == r.first && text[2] >= r.low && text[2] <= r.high) {
            op.kind = r.kind;
            op.reg = text[2] - '0';
            return true;
        }
    }
    return false;
}

bool try_pair_sr(Asm& a, char* text, size_t len, OperandDesc& op) {
    int32_t digits[4];
    if (match_template(text, len, "s?|r?", digits) == 0) return false;
    if (text[0] != 0) fatal_error(a, 335, MSG_BAD_ADDRESSING);
    op.kind = OPK_PAIR_SR;
    op.reg = digits[1];
    op.seg = static_cast<uint32_t>(digits[2]);
    return true;
}

// '#' and an expression: the value, and its size class in reg.
void parse_immediate(Asm& a, const char* text, OperandDesc& op) {
    op.kind = OPK_IMM;
    op.reg = evaluate_expression(a, text + 1, &op.value);
}

// The absolute address, the form every other text falls to.
void parse_absolute(Asm& a, char* text, size_t len, OperandDesc& op) {
    int32_t digits[4];
    const int32_t result = match_template(text, len, ".l{s?}", digits);
    if (result == 0) fatal_error(a, 939, MSG_BAD_OPERAND);
    op.seg = static_cast<uint32_t>(digits[0]);
    evaluate_expression(a, text, &op.value);
    op.kind = OPK_M32_ABS;
    // Without ".l", a seg16 address that fits in 16 bits takes the short form.
    if (result == 2 && !a.seg32 && static_cast<uint32_t>(op.value) < 0x10000u) op.kind = OPK_M16_ABS;
}

}  // namespace

int32_t match_operand_template(char* text, const char* templ, int32_t* digits) {
    return match_template(text, std::strlen(text), templ, digits);
}

bool text_equal(const char* text, const char* form) { return std::strcmp(text, form) == 0; }

void parse_operand(Asm& a, char* text, OperandDesc& op) {
    op = OperandDesc{};
    const size_t len = std::strlen(text);
    if (len == 0) return;
    if (len == 2 && text[0] == 'm' && is_reg_digit(text[1])) {
        if (text[1] > '3') fatal_error(a, 299, MSG_BAD_ADDRESSING);
        op.kind = OPK_HREG;
        op.reg = HREG_LOGICAL[text[1] - '0'];
        return;
    }
    if (len == 2 && text[0] == 'r' && is_reg_digit(text[1])) {
        op.kind = OPK_REG;
        op.reg = text[1] - '0';
        return;
    }
    // Memory and stack forms end in ')', '}', '+' or ".w": an immediate that ends otherwise
    // needs none of the template walks in front of its rule.
    const char last = text[len - 1];
    if (text[0] == '#' && last != ')' && last != '}' && last != '+' && last != 'w') {
        parse_immediate(a, text, op);
        return;
    }
    if (try_memory_templates(a, text, len, op)) return;
    if (match_special(a, text, len, STACK_TEMPLATES, std::size(STACK_TEMPLATES), op)) return;
    if (equals_any(text, EXACT_SYSTEM_FORMS, std::size(EXACT_SYSTEM_FORMS), op)) return;
    if (text[0] == '#') {
        parse_immediate(a, text, op);
        return;
    }
    if (try_special_register(text, len, op)) return;
    if (equals_any(text, EXACT_TABLE_FORMS, std::size(EXACT_TABLE_FORMS), op)) return;
    if (match_special(a, text, len, STRSRC_TEMPLATES, std::size(STRSRC_TEMPLATES), op)) return;
    if (equals_any(text, EXACT_PAIR_FORMS, std::size(EXACT_PAIR_FORMS), op)) return;
    if (try_pair_sr(a, text, len, op)) return;
    if (match_special(a, text, len, XLAT_TEMPLATES, std::size(XLAT_TEMPLATES), op)) return;
    if (len == 2 && text[0] == 's' && is_reg_digit(text[1])) {
        const int32_t digit = text[1] - '0';
        if (SREG_LOGICAL[digit] < 0) fatal_error(a, 338, MSG_BAD_OPERAND);
        op.kind = OPK_SREG;
        op.reg = SREG_LOGICAL[digit];
        op.seg = static_cast<uint32_t>(digit);
        return;
    }
    parse_absolute(a, text, len, op);
}

void parse_byte_operand(Asm& a, char* text, OperandDesc& op) {
    parse_operand(a, text, op);
    if (op.kind == OPK_REG && op.reg > 3) fatal_error(a, 298, MSG_BAD_BYTE_REGISTER);
    if (op.kind == OPK_HREG) op.kind = OPK_REG;
}

void read_parse_operand(Asm& a, OperandDesc& op) { parse_operand(a, read_operand(a), op); }
void read_parse_byte_operand(Asm& a, OperandDesc& op) { parse_byte_operand(a, read_operand(a), op); }
