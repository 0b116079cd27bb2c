// Symbol table. Entries, their order and the scope rules are those of a plain table scanned
// linearly; the spelling index only finds the same entry without the scan.
#include "asm/front/symbols.h"

#include <algorithm>

#include "asm/driver/diagnostics.h"

namespace {

constexpr size_t SLOT_COUNT = 16384;  // power of two, well above the 5,001 possible spellings

uint32_t hash_name(std::string_view name) {
    uint32_t h = 2166136261u;
    for (char c : name) {
        h ^= static_cast<uint8_t>(c);
        h *= 16777619u;
    }
    return h;
}

int32_t abs_kind(int8_t kind) { return kind < 0 ? -kind : kind; }

// A '_' name is always local, an '@' name always kind 4; every other name is kind 2 or 3
// and closes the local scope unless it begins with '.'.
bool name_stops_locals(std::string_view name) {
    return name[0] != '_' && name[0] != '@' && name[0] != '.';
}

std::string_view spelling_text(const SymbolTable& t, const SymbolName& s) {
    return std::string_view(&t.name_store[s.name_off], s.len);
}

// Spelling index of a name, or -1.
int32_t find_spelling(const SymbolTable& t, std::string_view name, uint32_t h) {
    size_t slot = h & (SLOT_COUNT - 1);
    while (t.slots[slot] != 0) {
        const SymbolName& s = t.spellings[t.slots[slot] - 1];
        if (s.hash == h && spelling_text(t, s) == name) return t.slots[slot] - 1;
        slot = (slot + 1) & (SLOT_COUNT - 1);
    }
    return -1;
}

int32_t add_spelling(SymbolTable& t, uint32_t name_off, uint32_t len, uint32_t h) {
    size_t slot = h & (SLOT_COUNT - 1);
    while (t.slots[slot] != 0) slot = (slot + 1) & (SLOT_COUNT - 1);
    t.spellings.push_back(SymbolName{name_off, len, h, -1, {}});
    t.slots[slot] = static_cast<int32_t>(t.spellings.size());
    return static_cast<int32_t>(t.spellings.size()) - 1;
}

bool is_global_kind(int8_t kind) { return abs_kind(kind) == SYM_GLOBAL || kind == SYM_ANON; }

void recompute_first_global(const SymbolTable& t, SymbolName& s) {
    s.first_global = -1;
    for (int32_t e : s.entries) {
        if (is_global_kind(t.kinds[e])) {
            s.first_global = e;
            return;
        }
    }
}

// First entry of the sorted list at or after index, or the list end.
int32_t first_at_or_after(const std::vector<int32_t>& list, int32_t index, int32_t none) {
    auto it = std::lower_bound(list.begin(), list.end(), index);
    return it == list.end() ? none : *it;
}

int32_t find_local(const SymbolTable& t, const SymbolName& s) {
    // The scan from local_start stops at the first separator, the terminator or a kind-2/3
    // name not beginning with '.'; locals are matched before that point.
    int32_t scope_end = first_at_or_after(t.stoppers, t.local_start, t.last_index + 1);
    auto it = std::lower_bound(s.entries.begin(), s.entries.end(), t.local_start);
    for (; it != s.entries.end() && *it < scope_end; ++it)
        if (abs_kind(t.kinds[*it]) == SYM_LOCAL) return *it;
    return -1;
}

int32_t find_nonlocal(const SymbolTable& t, const SymbolName& s) {
    int32_t block_end = first_at_or_after(t.separators, t.block_start, t.last_index + 1);
    auto it = std::lower_bound(s.entries.begin(), s.entries.end(), t.block_start);
    for (; it != s.entries.end() && *it < block_end; ++it)
        if (abs_kind(t.kinds[*it]) == SYM_BLOCK) return *it;
    return s.first_global;
}

// The visible entry of a spelling (or -1), under the scope rules of its first character.
int32_t find_visible(const SymbolTable& t, std::string_view name, int32_t id) {
    if (id < 0) return -1;
    const SymbolName& s = t.spellings[id];
    return name[0] == '_' ? find_local(t, s) : find_nonlocal(t, s);
}

}  // namespace

void init_symbols(Asm& a) {
    SymbolTable& t = a.sym;
    t.last_index = -1;
    t.names[0] = 0;
    t.kinds[0] = 0;
    t.block_start = 2;
    t.local_start = 2;
    t.spellings.clear();
    t.spellings.reserve(1024);
    t.slots.assign(SLOT_COUNT, 0);
    t.separators.clear();
    t.stoppers.clear();
    define_symbol(a, "@", 0, SYM_ANON);
    define_symbol(a, "@@", 0, SYM_ANON);
}

int32_t find_symbol(const Asm& a, std::string_view name) {
    if (name.empty()) return -1;
    return find_visible(a.sym, name, find_spelling(a.sym, name, hash_name(name)));
}

void define_symbol(Asm& a, std::string_view name, int32_t value, int32_t kind) {
    SymbolTable& t = a.sym;
    if (name.find('.', 1) != std::string_view::npos) fatal_error(a, 342, MSG_DOT_IN_LABEL);
    if (name[0] == '@') {
        if (kind < 0) fatal_error(a, 144, MSG_LABEL_NOT_FOUND);
        kind = SYM_ANON;
    }
    bool opens_scope = name_stops_locals(name);
    const uint32_t h = hash_name(name);
    int32_t id = find_spelling(t, name, h);
    int32_t found = find_visible(t, name, id);
    if (found >= 0) {
        if (!a.pass2 && kind != SYM_ANON) fatal_error(a, 343, MSG_LABEL_TWICE);
        int8_t old_kind = t.kinds[found];
        // A label whose pass-2 value differs from pass 1 would leave every later address
        // wrong: some statement before it changed its size between the passes.
        if (a.pass2 && old_kind > 0 && name[0] != '@' && t.values[found] != value)
            fatal_error(a, 350, MSG_LABEL_MOVED);
        t.values[found] = value;
        t.kinds[found] = static_cast<int8_t>(kind);
        if (is_global_kind(old_kind) != is_global_kind(t.kinds[found]))
            recompute_first_global(t, t.spellings[t.name_id[found]]);
        if (opens_scope) t.local_start = found + 1;
        return;
    }
    int32_t n = t.last_index + 1;
    t.last_index = n;
    if (opens_scope) t.local_start = n + 1;
    uint32_t free_pos = t.names[n];
    if (name.size() + 1 > NAME_STORE_SIZE - free_pos) fatal_error(a, 344, MSG_NAME_STORE_FULL);
    std::copy(name.begin(), name.end(), t.name_store.begin() + free_pos);
    t.name_store[free_pos + name.size()] = 0;
    if (n > SYM_MAX_INDEX) fatal_error(a, 345, MSG_SYMBOL_TABLE_FULL);
    t.values[n] = value;
    t.kinds[n] = static_cast<int8_t>(kind);
    t.names[n + 1] = free_pos + static_cast<uint32_t>(name.size()) + 1;
    t.kinds[n + 1] = 0;

    if (id < 0) id = add_spelling(t, free_pos, static_cast<uint32_t>(name.size()), h);
    SymbolName& s = t.spellings[id];
    s.entries.push_back(n);
    t.name_id[n] = id;
    if (s.first_global < 0 && is_global_kind(t.kinds[n])) s.first_global = n;
    if (opens_scope) t.stoppers.push_back(n);
}

void label_block(Asm& a) {
    SymbolTable& t = a.sym;
    if (!a.pass2) {
        t.last_index += 1;
        if (t.last_index > SYM_MAX_INDEX) fatal_error(a, 345, MSG_SYMBOL_TABLE_FULL);
        int32_t n = t.last_index;
        // The separator was the terminator: kind 0, name pointer at the free position.
        t.name_id[n] = -1;
        t.names[n + 1] = t.names[n];
        t.kinds[n + 1] = 0;
        t.separators.push_back(n);
        t.stoppers.push_back(n);
        t.block_start = n + 1;
        return;
    }
    // Pass 2: the separator pass 1 made for this directive is the first kind-0 entry at or
    // after block_start.
    int32_t sep = first_at_or_after(t.separators, t.block_start, t.last_index + 1);
    t.block_start = sep + 1;
}
