// Expression evaluator: an operator-precedence scan with an operator stack and a value stack.
#include "asm/front/expr.h"

#include <string_view>

#include "asm/driver/diagnostics.h"
#include "asm/front/symbols.h"

namespace {

// Operator codes: code / 4 is the precedence group, lower binds tighter.
enum OpCode : int32_t {
    OP_NOT = 0,
    OP_COMPL = 1,
    OP_NEG = 2,
    OP_MUL = 4,
    OP_DIV = 5,
    OP_REM = 6,
    OP_ADD = 8,
    OP_SUB = 9,
    OP_SHL = 12,
    OP_SHR = 13,
    OP_LT = 16,
    OP_GT = 17,
    OP_LE = 18,
    OP_GE = 19,
    OP_EQ = 20,
    OP_NE = 21,
    OP_AND = 24,
    OP_XOR = 28,
    OP_OR = 32,
    OP_LAND = 36,
    OP_LOR = 40,
    OP_END = 44,
    OP_OPEN = 48,
    OP_CLOSE = 49,
    OP_BOTTOM = 52,
};

constexpr int32_t STACK_LIMIT = 20;

struct ExprStacks {
    int32_t ops[STACK_LIMIT + 2];
    int32_t op_count = 0;  // entries above the bottom marker
    int32_t values[STACK_LIMIT + 2];
    int32_t value_count = 0;
};

int32_t top_op(const ExprStacks& s) { return s.op_count == 0 ? OP_BOTTOM : s.ops[s.op_count - 1]; }

bool is_hex_digit(int32_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

int32_t hex_value(int32_t c) { return c <= '9' ? c - '0' : c - 'a' + 10; }

uint32_t read_char_constant(Asm& a, const char*& p) {
    const int32_t delimiter = static_cast<uint8_t>(*p++);
    uint32_t v = 0;
    for (int count = 0;; ++count) {
        int32_t c = static_cast<uint8_t>(*p);
        if (c == delimiter) {
            ++p;
            return v;
        }
        if (count == 4) fatal_error(a, 296, MSG_ASCII_TOO_LONG);
        if (c == 0) return v;
        v = v * 256u + static_cast<uint32_t>(c);
        ++p;
    }
}

// Reads one constant or symbol; false when the symbol is not defined (yet).
bool parse_primary(Asm& a, const char*& p, int32_t* value) {
    uint32_t v = 0;
    int32_t c = static_cast<uint8_t>(*p);
    if (c >= '0' && c <= '9') {
        while (*p >= '0' && *p <= '9') v = v * 10u + static_cast<uint32_t>(*p++ - '0');
    } else if (c == '$') {
        ++p;
        while (is_hex_digit(static_cast<uint8_t>(*p))) v = v * 16u + static_cast<uint32_t>(hex_value(*p++));
    } else if (c == '%') {
        ++p;
        while (*p == '0' || *p == '1') v = v * 2u + static_cast<uint32_t>(*p++ - '0');
    } else if (c == '\'' || c == '"') {
        v = read_char_constant(a, p);
    } else {
        const char* start = p;
        while (is_name_char(static_cast<uint8_t>(*p))) ++p;
        int32_t index = find_symbol(a, std::string_view(start, static_cast<size_t>(p - start)));
        if (index < 0 || a.sym.kinds[index] <= 0) return false;
        v = static_cast<uint32_t>(a.sym.values[index]);
    }
    *value = static_cast<int32_t>(v);
    return true;
}

// The arriving operator after an operand; advances past it.
int32_t read_operator(Asm& a, const char*& p) {
    int32_t c = static_cast<uint8_t>(*p);
    if (c == 0) return OP_END;
    ++p;
    switch (c) {
    case '*': return OP_MUL;
    case '/': return OP_DIV;
    case '\\': return OP_REM;
    case '+': return OP_ADD;
    case '-': return OP_SUB;
    case '^': return OP_XOR;
    case ')': return OP_CLOSE;
    case '<':
        if (*p == '<') return ++p, OP_SHL;
        if (*p == '=') return ++p, OP_LE;
        return OP_LT;
    case '>':
        if (*p == '>') return ++p, OP_SHR;
        if (*p == '=') return ++p, OP_GE;
        return OP_GT;
    case '=':
        if (*p == '=') return ++p, OP_EQ;
        fatal_error(a, 290, MSG_BAD_EXPRESSION);
    case '!':
        if (*p == '=') return ++p, OP_NE;
        fatal_error(a, 291, MSG_BAD_EXPRESSION);
    case '&':
        if (*p == '&') return ++p, OP_LAND;
        return OP_AND;
    case '|':
        if (*p == '|') return ++p, OP_LOR;
        return OP_OR;
    default: fatal_error(a, 292, MSG_BAD_EXPRESSION);
    }
}

int32_t apply_binary(Asm& a, int32_t op, int32_t x, int32_t y) {
    uint32_t ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
    switch (op) {
    case OP_MUL: return wrap_mul(x, y);
    case OP_DIV:
    case OP_REM:
        // No quotient for a zero divisor, nor for -2^31 / -1, which leaves 32 bits.
        if (y == 0 || (x == INT32_MIN && y == -1)) fatal_error(a, 349, MSG_BAD_EXPRESSION);
        return op == OP_DIV ? x / y : x % y;
    case OP_ADD: return wrap_add(x, y);
    case OP_SUB: return wrap_sub(x, y);
    case OP_SHL: return static_cast<int32_t>(ux << (uy & 31u));
    case OP_SHR: return x >> (uy & 31u);
    case OP_LT: return x < y;
    case OP_GT: return x > y;
    case OP_LE: return x <= y;
    case OP_GE: return x >= y;
    case OP_EQ: return x == y;
    case OP_NE: return x != y;
    case OP_AND: return static_cast<int32_t>(ux & uy);
    case OP_XOR: return static_cast<int32_t>(ux ^ uy);
    case OP_OR: return static_cast<int32_t>(ux | uy);
    case OP_LAND: return (x != 0 && y != 0) ? 1 : 0;
    case OP_LOR: return (x != 0 || y != 0) ? 1 : 0;
    default: fatal_error(a, 294, MSG_BAD_EXPRESSION);
    }
}

// Applies pending operators that bind at least as tight as the arriving one. Returns true
// when an open parenthesis was closed (the group then stands as one operand).
bool reduce(Asm& a, ExprStacks& s, int32_t arriving) {
    const int32_t limit = arriving | 3;
    while (top_op(s) <= limit) {
        int32_t op = s.ops[--s.op_count];
        if (op <= OP_NEG) {
            if (s.value_count == 0) fatal_error(a, 293, MSG_BAD_EXPRESSION);
            int32_t& v = s.values[s.value_count - 1];
            if (op == OP_NOT)
                v = (v == 0) ? 1 : 0;
            else if (op == OP_COMPL)
                v = static_cast<int32_t>(~static_cast<uint32_t>(v));
            else
                v = wrap_sub(0, v);
        } else if (op == OP_OPEN) {
            return true;
        } else if (op < OP_END) {
            if (s.value_count < 2) fatal_error(a, 293, MSG_BAD_EXPRESSION);
            int32_t right = s.values[--s.value_count];
            int32_t& left = s.values[s.value_count - 1];
            left = apply_binary(a, op, left, right);
        } else {
            fatal_error(a, 294, MSG_BAD_EXPRESSION);
        }
    }
    return false;
}

}  // namespace

int32_t size_class(int32_t value) {
    if (value >= -128 && value <= 255) return SIZE_BYTE;
    if (value >= -32768 && value <= 65535) return SIZE_WORD;
    return SIZE_LONG;
}

int32_t try_evaluate_expression(Asm& a, const char* text, int32_t* value) {
    ExprStacks s;
    const char* p = text;
    for (;;) {
        // Operand expected.
        if (s.op_count > STACK_LIMIT || s.value_count > STACK_LIMIT) fatal_error(a, 287, MSG_TOO_MANY_PARENS);
        int32_t c = static_cast<uint8_t>(*p);
        if (c == 0) fatal_error(a, 288, MSG_NO_VALUE);
        if (c == '(' || c == '!' || c == '~' || c == '-') {
            s.ops[s.op_count++] = c == '(' ? OP_OPEN : c == '!' ? OP_NOT : c == '~' ? OP_COMPL : OP_NEG;
            ++p;
            continue;
        }
        if (!(c == '$' || c == '%' || c == '\'' || c == '"' || is_name_char(c))) fatal_error(a, 289, MSG_BAD_CHAR);
        int32_t v = 0;
        if (!parse_primary(a, p, &v)) return EVAL_UNDEFINED;
        s.values[s.value_count++] = v;
        // Operator expected; a closed group is an operand, so another operator follows.
        for (;;) {
            int32_t arriving = read_operator(a, p);
            if (reduce(a, s, arriving)) continue;
            if (arriving == OP_END) {
                if (s.op_count != 0 || s.value_count != 1) fatal_error(a, 295, MSG_BAD_EXPRESSION);
                *value = s.values[0];
                return size_class(s.values[0]);
            }
            s.ops[s.op_count++] = arriving;
            break;
        }
    }
}

int32_t evaluate_expression(Asm& a, const char* text, int32_t* value) {
    int32_t cls = try_evaluate_expression(a, text, value);
    if (cls != EVAL_UNDEFINED) return cls;
    if (a.pass2) fatal_error(a, 286, MSG_LABEL_NOT_FOUND);
    *value = 0;
    return SIZE_BYTE;
}
