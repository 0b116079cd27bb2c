// Execution tests: routines in tests/asm/exec/*.mac are assembled in memory and run on the
// Unicorn x86 emulator; their registers and buffers are compared with C++ reference code.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support.h"

#if ZV_HAVE_UNICORN
#include <unicorn/unicorn.h>

namespace {

// ---------------------------------------------------------------------------------------
// Harness
// ---------------------------------------------------------------------------------------

// 32-bit runs: the image is mapped at address 0, so the assembler's addresses (which start
// at 0) are the run-time addresses; data buffers and the stack lie above it.
constexpr uint32_t MEM_SIZE = 0x400000;
constexpr uint32_t IN_ADDR = 0x100000;   // input buffers
constexpr uint32_t OUT_ADDR = 0x200000;  // output buffers
constexpr uint32_t STACK_TOP = 0x3fff00;
constexpr uint32_t SENTINEL = 0x3ff000;  // return address of the routine: the run stops there

// 16-bit runs: real mode, every segment register holds SEG16 and the image starts at offset 0
// of that segment; buffers are offsets in the same segment.
constexpr uint16_t SEG16 = 0x1000;
constexpr uint32_t SEG16_BASE = uint32_t{SEG16} << 4;
constexpr uint16_t IN16 = 0x4000;
constexpr uint16_t OUT16 = 0x6000;
constexpr uint16_t STACK16 = 0xfff0;
constexpr uint16_t SENTINEL16 = 0xff00;

// Every run is bounded by an instruction count and a wall-clock limit, so that a wrong
// encoding that loops can never hang the test.
constexpr uint64_t MAX_INSNS = 2'000'000;
constexpr uint64_t TIMEOUT_US = 5'000'000;

// Logical register numbers r0..r7 as Unicorn register ids.
constexpr std::array<int, 8> REG32 = {UC_X86_REG_EAX, UC_X86_REG_EDX, UC_X86_REG_ECX,
                                      UC_X86_REG_EBX, UC_X86_REG_EBP, UC_X86_REG_ESI,
                                      UC_X86_REG_EDI, UC_X86_REG_ESP};

struct Cpu {
    uc_engine* uc = nullptr;
    bool seg16 = false;
    uint32_t base = 0;  // linear address of the image (and of the 16-bit segment)
    Cpu() = default;
    Cpu(const Cpu&) = delete;
    Cpu& operator=(const Cpu&) = delete;
    ~Cpu() {
        if (uc) uc_close(uc);
    }
};

std::string read_routine(const std::string& name) {
    std::ifstream in(std::string(ZV_SOURCE_DIR) + "/tests/asm/exec/" + name + ".mac",
                     std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Assembles a routine file; fails the test (and returns an empty image) when the assembler
// does not end normally.
std::vector<uint8_t> build(const std::string& name) {
    std::string source = read_routine(name);
    EXPECT_FALSE(source.empty()) << "missing routine " << name;
    AsmResult r = assemble(source);
    EXPECT_EQ(r.report.code, 0) << name
                                << ".mac: " << r.console.substr(r.console.rfind("\n\n") + 2);
    if (r.report.code != 0) return {};
    EXPECT_FALSE(r.code.empty());
    return r.code;
}

void cpu_write(Cpu& c, uint32_t addr, const void* data, size_t n) {
    ASSERT_EQ(uc_mem_write(c.uc, c.base + addr, data, n), UC_ERR_OK);
}

template <typename T>
void cpu_write_vec(Cpu& c, uint32_t addr, const std::vector<T>& v) {
    cpu_write(c, addr, v.data(), v.size() * sizeof(T));
}

template <typename T>
std::vector<T> cpu_read_vec(Cpu& c, uint32_t addr, size_t count) {
    std::vector<T> v(count);
    EXPECT_EQ(uc_mem_read(c.uc, c.base + addr, v.data(), count * sizeof(T)), UC_ERR_OK);
    return v;
}

void set_reg(Cpu& c, int r, uint32_t v) { uc_reg_write(c.uc, REG32[r], &v); }

uint32_t get_reg(Cpu& c, int r) {
    uint32_t v = 0;
    uc_reg_read(c.uc, REG32[r], &v);
    return v;
}

// Makes an engine with the image loaded, the stack set and a sentinel return address pushed.
// Registers r0..r6 start at 0.
void cpu_open(Cpu& c, const std::vector<uint8_t>& image, bool seg16) {
    c.seg16 = seg16;
    ASSERT_EQ(uc_open(UC_ARCH_X86, seg16 ? UC_MODE_16 : UC_MODE_32, &c.uc), UC_ERR_OK);
    uint32_t size = seg16 ? 0x100000 : MEM_SIZE;
    ASSERT_EQ(uc_mem_map(c.uc, 0, size, UC_PROT_ALL), UC_ERR_OK);
    c.base = seg16 ? SEG16_BASE : 0;
    ASSERT_LT(image.size(), seg16 ? size_t{IN16} : size_t{IN_ADDR});
    cpu_write(c, 0, image.data(), image.size());
    for (int r = 0; r < 7; ++r) set_reg(c, r, 0);
    if (seg16) {
        for (int sreg : {UC_X86_REG_CS, UC_X86_REG_DS, UC_X86_REG_ES, UC_X86_REG_SS, UC_X86_REG_FS,
                         UC_X86_REG_GS}) {
            uint32_t s = SEG16;
            uc_reg_write(c.uc, sreg, &s);
        }
        uint16_t ret = SENTINEL16;
        cpu_write(c, STACK16 - 2, &ret, 2);
        set_reg(c, 7, STACK16 - 2);
    } else {
        uint32_t ret = SENTINEL;
        cpu_write(c, STACK_TOP - 4, &ret, 4);
        set_reg(c, 7, STACK_TOP - 4);
    }
}

// Runs from the image start until the routine returns to the sentinel; true when it got there.
bool cpu_run(Cpu& c) {
    uint64_t begin = c.base;
    uint64_t until = c.base + (c.seg16 ? SENTINEL16 : SENTINEL);
    if (c.seg16) {
        uint32_t ip = 0;
        uc_reg_write(c.uc, UC_X86_REG_IP, &ip);
    }
    uc_err err = uc_emu_start(c.uc, begin, until, TIMEOUT_US, MAX_INSNS);
    uint32_t pc = 0;
    uc_reg_read(c.uc, c.seg16 ? UC_X86_REG_IP : UC_X86_REG_EIP, &pc);
    uint32_t stop = c.seg16 ? SENTINEL16 : SENTINEL;
    EXPECT_EQ(err, UC_ERR_OK) << uc_strerror(err) << " at pc 0x" << std::hex << pc;
    EXPECT_EQ(pc, stop) << "routine did not return (instruction or time limit) at pc 0x" << std::hex
                        << pc;
    return err == UC_ERR_OK && pc == stop;
}

// The stack pointer after a routine returned: where the sentinel was, plus its size.
uint32_t expected_sp(const Cpu& c) { return c.seg16 ? STACK16 : STACK_TOP; }

// A small deterministic generator for test data.
uint32_t next_rand(uint32_t& s) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
}

// ---------------------------------------------------------------------------------------
// fib.mac: recursion through bsr/rts with link/unlk frames
// ---------------------------------------------------------------------------------------

TEST(Exec, FibRecursion) {
    std::vector<uint8_t> image = build("fib");
    ASSERT_FALSE(image.empty());
    for (uint32_t n : {0u, 1u, 2u, 3u, 10u, 20u}) {
        SCOPED_TRACE("n=" + std::to_string(n));
        uint32_t a = 0, b = 1, calls = 0;
        for (uint32_t i = 0; i < n; ++i) std::tie(a, b) = std::pair{b, a + b};
        // calls(n) = 1 + calls(n-1) + calls(n-2), calls(0) = calls(1) = 1
        std::vector<uint32_t> cc(n + 2, 1);
        for (uint32_t i = 2; i <= n; ++i) cc[i] = 1 + cc[i - 1] + cc[i - 2];
        calls = cc[n];
        Cpu c;
        cpu_open(c, image, false);
        set_reg(c, 0, n);
        set_reg(c, 4, 0x11223344);
        ASSERT_TRUE(cpu_run(c));
        EXPECT_EQ(get_reg(c, 0), a);
        EXPECT_EQ(get_reg(c, 2), calls);
        EXPECT_EQ(get_reg(c, 4), 0x11223344u);  // frame pointer restored by unlk
        EXPECT_EQ(get_reg(c, 7), expected_sp(c));
    }
}

// ---------------------------------------------------------------------------------------
// Reference helpers
// ---------------------------------------------------------------------------------------

uint32_t ld32(const uint8_t* p) {
    uint32_t v = 0;
    std::memcpy(&v, p, 4);
    return v;
}
void st32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
uint16_t ld16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void st16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
uint32_t rotl32(uint32_t v, unsigned c) { return c ? (v << c) | (v >> (32 - c)) : v; }
uint32_t rotr32(uint32_t v, unsigned c) { return c ? (v >> c) | (v << (32 - c)) : v; }

// The carry flag of the x86 as the reference code tracks it.
struct Carry {
    bool cf = false;
    uint32_t add(uint32_t a, uint32_t b) { return adc(a, b, false); }
    uint32_t adc(uint32_t a, uint32_t b, bool in) {
        uint64_t s = uint64_t{a} + b + (in ? 1 : 0);
        cf = (s >> 32) != 0;
        return static_cast<uint32_t>(s);
    }
    uint32_t adc(uint32_t a, uint32_t b) { return adc(a, b, cf); }
    uint32_t sub(uint32_t a, uint32_t b) { return sbb(a, b, false); }
    uint32_t sbb(uint32_t a, uint32_t b, bool in) {
        cf = uint64_t{b} + (in ? 1 : 0) > a;
        return a - b - (in ? 1u : 0u);
    }
    uint32_t sbb(uint32_t a, uint32_t b) { return sbb(a, b, cf); }
    uint32_t logic(uint32_t v) {
        cf = false;
        return v;
    }
};

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(next_rand(seed) >> 7);
    return v;
}

// ---------------------------------------------------------------------------------------
// arith32.mac: one reference line per statement of the routine
// ---------------------------------------------------------------------------------------

struct Arith32Out {
    uint32_t x, y;
    std::vector<uint8_t> t;
};

Arith32Out arith32_reference(std::vector<uint8_t> t, uint32_t i, uint32_t x, uint32_t y) {
    static const uint32_t ktab_longs[16] = {
        3, 0x10000001, 0xfffffff9, 0x7fffffff, 0x80000000, 12345, 0xffffffff, 0x5555aaaa,
        1, 2,          3,          4,          5,          6,     7,          8};
    uint8_t kt[64];
    std::memcpy(kt, ktab_longs, sizeof kt);
    uint8_t* T = t.data();
    auto L = [&](uint32_t off) { return ld32(T + off); };
    auto K = [&](uint32_t off) { return ld32(kt + off); };
    Carry c;
    x = c.add(x, L(0));
    x = c.sub(x, L(4));
    x = c.logic(x ^ L(12));
    y = c.add(y, L(i));
    y = c.adc(y, L(2 * i));
    y = c.sub(y, L(4 * i));
    y = c.sbb(y, L(8 * i));
    y = c.logic(y | L(4 + i));
    x = c.logic(x ^ L(8 + 2 * i));
    x = c.add(x, L(16 + 4 * i));
    y = c.sub(y, L(8 + 8 * i));
    x = c.add(x, L(20 + i));
    y = c.logic(y ^ L(24 + 2 * i));
    x = c.sub(x, L(28 + 4 * i));
    y = c.add(y, L(4 + 8 * i));
    x = c.add(x, K(4 * i));
    y = c.logic(y ^ K(2 * i));
    x = c.sub(x, K(8 * i));
    y = c.add(y, 0x9e3779b9);
    x = c.logic(x ^ L(64));
    y = c.add(y, L(76));
    x = c.sub(x, L(56));
    y = c.add(y, L(64 + 4 * i));
    x = c.logic(x ^ L(64 + i));
    y = c.add(y, L(68 + i));
    st32(T + 16 + 4 * i, L(16 + 4 * i) + x);
    st32(T, L(0) - y);
    st32(T + 68, L(68) ^ x);
    st32(T + 8, L(8) + 0x01020304);
    st32(T + 4 * i, L(4 * i) - 3);
    st32(T + 40, L(40) - 100);
    st32(T + 44, L(44) ^ 0x55);
    st32(T + 48, L(48) & ~15u);
    st32(T + 52, L(52) | 7);
    st32(T + 56, L(56) + 1);
    st32(T + 60, L(60) - 1);
    st32(T + 84, 0 - L(84));
    st32(T + 88, ~L(88));
    st16(T + 100, static_cast<uint16_t>(ld16(T + 100) + y));
    T[101] = static_cast<uint8_t>(T[101] - x);
    T[102] = static_cast<uint8_t>(T[102] + (y >> 8));
    st16(T + 104, static_cast<uint16_t>(0 - ld16(T + 104)));
    T[106] = static_cast<uint8_t>(~T[106]);
    st16(T + 108, static_cast<uint16_t>(ld16(T + 108) + 1));
    T[110] = static_cast<uint8_t>(T[110] - 1);
    x += 7;
    x ^= 0x5a;
    x |= 0x1234;
    y &= 0xfffffffe;
    y = (y & 0xffff00ff) | (((y >> 8) + T[5]) & 0xff) << 8;
    y = (y & 0xffff0000) | ((y + ld16(T + 2)) & 0xffff);
    y = c.add(y, L(96));
    x = c.adc(x, L(100));
    c.cf = y < x;
    x = c.adc(x, 0);
    c.cf = x < L(8);
    y = c.sbb(y, 0);
    c.cf = y != 0;
    y = 0 - y;
    x = c.adc(x, 0);
    c.cf = x < y;
    y = (y & 0xffff0000) | ((y - 1 - (c.cf ? 1 : 0)) & 0xffff);
    return {x, y, t};
}

TEST(Exec, Arith32AllAddressForms) {
    std::vector<uint8_t> image = build("arith32");
    ASSERT_FALSE(image.empty());
    struct Row {
        uint32_t i, x, y, seed;
    };
    const Row rows[] = {
        {0, 0, 0, 1},
        {3, 0x12345678, 0x9abcdef0, 2},
        {7, 0xffffffff, 0x80000000, 3},
        {5, 0x7fffffff, 1, 4},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("i=" + std::to_string(r.i) + " seed=" + std::to_string(r.seed));
        std::vector<uint8_t> t = random_bytes(128, r.seed * 7919);
        Arith32Out want = arith32_reference(t, r.i, r.x, r.y);
        Cpu c;
        cpu_open(c, image, false);
        cpu_write_vec(c, IN_ADDR, t);
        set_reg(c, 3, IN_ADDR);
        set_reg(c, 4, IN_ADDR + 64);
        set_reg(c, 5, r.i);
        set_reg(c, 0, r.x);
        set_reg(c, 1, r.y);
        ASSERT_TRUE(cpu_run(c));
        EXPECT_EQ(get_reg(c, 0), want.x);
        EXPECT_EQ(get_reg(c, 1), want.y);
        EXPECT_EQ(get_reg(c, 2), want.x);
        EXPECT_EQ(cpu_read_vec<uint8_t>(c, IN_ADDR, 128), want.t);
    }
}

// ---------------------------------------------------------------------------------------
// strings.mac: copy, fill, compare, length, translate, backward move
// ---------------------------------------------------------------------------------------

struct StringRun {
    uint32_t r0 = 0;
    std::vector<uint8_t> dst;
    uint32_t flags = 0;
};

// Source at IN_ADDR, destination at OUT_ADDR (pre-filled with $ee), translate table at
// IN_ADDR + $8000; the destination is read back over `dst.size() + 8` bytes.
StringRun run_strings(const std::vector<uint8_t>& image, uint32_t op,
                      const std::vector<uint8_t>& src, std::vector<uint8_t> dst, uint32_t n,
                      uint32_t r3, uint32_t dst_addr = OUT_ADDR) {
    Cpu c;
    cpu_open(c, image, false);
    dst.resize(dst.size() + 8, 0xee);
    cpu_write_vec(c, IN_ADDR, src);
    cpu_write_vec(c, OUT_ADDR, dst);
    std::vector<uint8_t> table(256);
    for (int k = 0; k < 256; ++k)
        table[k] = static_cast<uint8_t>(k >= 'a' && k <= 'z' ? k - 32 : k ^ 0x80);
    cpu_write_vec(c, IN_ADDR + 0x8000, table);
    set_reg(c, 0, op);
    set_reg(c, 5, IN_ADDR);
    set_reg(c, 6, dst_addr);
    set_reg(c, 1, n);
    set_reg(c, 3, r3);
    StringRun out;
    if (!cpu_run(c)) return out;
    out.r0 = get_reg(c, 0);
    out.dst = cpu_read_vec<uint8_t>(c, OUT_ADDR, dst.size());
    uc_reg_read(c.uc, UC_X86_REG_EFLAGS, &out.flags);
    return out;
}

TEST(Exec, StringsRepeatPrefixes) {
    std::vector<uint8_t> image = build("strings");
    ASSERT_FALSE(image.empty());
    for (uint32_t n : {0u, 1u, 3u, 4u, 7u, 64u, 101u}) {
        SCOPED_TRACE("n=" + std::to_string(n));
        std::vector<uint8_t> src = random_bytes(n, n + 11);
        std::vector<uint8_t> want(n + 8, 0xee);
        std::copy(src.begin(), src.end(), want.begin());
        EXPECT_EQ(run_strings(image, 0, src, std::vector<uint8_t>(n, 0xee), n, 0).dst, want)
            << "copy";
        std::vector<uint8_t> fill(n + 8, 0xee);
        std::fill(fill.begin(), fill.begin() + n, uint8_t{0x80});
        EXPECT_EQ(run_strings(image, 1, {}, std::vector<uint8_t>(n, 0xee), n, 0xabcdef80).dst, fill)
            << "fill";
    }
    struct CmpRow {
        uint32_t n, pos;  // pos == n: equal
        uint8_t a, b;
    };
    for (const CmpRow& r : {CmpRow{0, 0, 0, 0}, CmpRow{16, 16, 0, 0}, CmpRow{16, 0, 5, 9},
                            CmpRow{16, 15, 0xff, 0x01}, CmpRow{40, 17, 0x01, 0xff}}) {
        SCOPED_TRACE("compare n=" + std::to_string(r.n) + " pos=" + std::to_string(r.pos));
        std::vector<uint8_t> a = random_bytes(r.n, 99), b = a;
        if (r.pos < r.n) {
            a[r.pos] = r.a;
            b[r.pos] = r.b;
        }
        uint32_t want = r.pos < r.n ? static_cast<uint32_t>(int{r.a} - int{r.b}) : 0;
        EXPECT_EQ(run_strings(image, 2, a, b, r.n, 0).r0, want);
    }
    for (uint32_t len : {0u, 1u, 17u, 300u}) {
        SCOPED_TRACE("length " + std::to_string(len));
        std::vector<uint8_t> s(len, 'x');
        s.push_back(0);
        EXPECT_EQ(run_strings(image, 3, {}, s, 0, 0).r0, len);
    }
    for (uint32_t n : {0u, 1u, 26u}) {
        SCOPED_TRACE("translate n=" + std::to_string(n));
        std::vector<uint8_t> src;
        for (uint32_t k = 0; k < n; ++k)
            src.push_back(static_cast<uint8_t>(k % 2 ? 'a' + k : 0xc0 + k));
        std::vector<uint8_t> want(n + 8, 0xee);
        for (uint32_t k = 0; k < n; ++k)
            want[k] =
                static_cast<uint8_t>(src[k] >= 'a' && src[k] <= 'z' ? src[k] - 32 : src[k] ^ 0x80);
        EXPECT_EQ(
            run_strings(image, 4, src, std::vector<uint8_t>(n, 0xee), n, IN_ADDR + 0x8000).dst,
            want);
    }
    struct ScanRow {
        std::vector<uint8_t> data;
        uint8_t byte;
        uint32_t find, span;  // expected index (or -1) and span length
    };
    const ScanRow scans[] = {
        {{}, 7, 0xffffffff, 0},        {{7}, 7, 0, 1},
        {{1, 2, 3}, 7, 0xffffffff, 0}, {{7, 7, 7, 1, 7}, 7, 0, 3},
        {{1, 2, 3, 4, 9}, 9, 4, 0},    {{9, 9, 9, 9}, 9, 0, 4},
    };
    for (const ScanRow& r : scans) {
        SCOPED_TRACE("scan of " + std::to_string(r.data.size()) + " bytes for " +
                     std::to_string(r.byte));
        uint32_t n = static_cast<uint32_t>(r.data.size());
        std::vector<uint8_t> src = r.data;
        src.push_back(r.byte);  // a match just past the end must not be found
        EXPECT_EQ(run_strings(image, 6, src, {}, n, 0xffffff00u | r.byte).r0, r.find) << "find";
        EXPECT_EQ(run_strings(image, 7, src, {}, n, 0xffffff00u | r.byte).r0, r.span) << "span";
    }
    {
        SCOPED_TRACE("overlapping backward move");
        // The buffer lies at OUT_ADDR; the source is its start, the destination 3 bytes on.
        std::vector<uint8_t> buf = random_bytes(24, 5);
        std::vector<uint8_t> want = buf;
        want.resize(buf.size() + 8, 0xee);
        std::memmove(want.data() + 3, want.data(), 20);
        Cpu c;
        cpu_open(c, image, false);
        std::vector<uint8_t> init = buf;
        init.resize(buf.size() + 8, 0xee);
        cpu_write_vec(c, OUT_ADDR, init);
        set_reg(c, 0, 5);
        set_reg(c, 5, OUT_ADDR);
        set_reg(c, 6, OUT_ADDR + 3);
        set_reg(c, 1, 20);
        ASSERT_TRUE(cpu_run(c));
        EXPECT_EQ(cpu_read_vec<uint8_t>(c, OUT_ADDR, want.size()), want);
        uint32_t flags = 0;
        uc_reg_read(c.uc, UC_X86_REG_EFLAGS, &flags);
        EXPECT_EQ(flags & 0x400u, 0u) << "direction flag left set";
    }
}

// ---------------------------------------------------------------------------------------
// bits.mac: shifts, rotates, double shifts, bit scan, bit test and modify
// ---------------------------------------------------------------------------------------

TEST(Exec, BitsShiftsAndScans) {
    std::vector<uint8_t> image = build("bits");
    ASSERT_FALSE(image.empty());
    struct Row {
        uint32_t a, b, c;
    };
    const Row rows[] = {{0x12345678, 0x9abcdef0, 0},
                        {0x12345678, 0x9abcdef0, 1},
                        {0x80000001, 0x00000003, 31},
                        {0xdeadbeef, 0x0badf00d, 13},
                        {0, 0, 7},
                        {0xffffffff, 0x80000000, 16},
                        {0x00010000, 0x00000001, 4}};
    for (const Row& r : rows) {
        SCOPED_TRACE("a=" + std::to_string(r.a) + " b=" + std::to_string(r.b) +
                     " c=" + std::to_string(r.c));
        uint32_t a = r.a, b = r.b, c = r.c;
        std::vector<uint8_t> bitmap = random_bytes(32, a ^ b ^ 77);
        std::vector<uint32_t> want(18, 0);
        want[0] = a << c;
        want[1] = a >> c;
        want[2] = static_cast<uint32_t>(static_cast<int32_t>(a) >> c);
        want[3] = rotl32(a, c);
        want[4] = rotr32(a, c);
        want[5] = c ? (a << c) | (b >> (32 - c)) : a;
        want[6] = c ? (a >> c) | (b << (32 - c)) : a;
        want[7] = a << 5;
        want[8] = a >> 1;
        want[9] = a << 1;
        want[10] = (b << 1) | (a >> 31);
        want[11] = (a >> 1) | (b << 31);
        want[12] = b >> 1;
        uint8_t lo = static_cast<uint8_t>(a);
        uint32_t rb = static_cast<uint8_t>((lo << 3) | (lo >> 5));
        uint16_t w = static_cast<uint16_t>(static_cast<int16_t>(static_cast<uint16_t>(b)) >> 4);
        want[13] = rb | uint32_t{w} << 16;
        want[14] = a ? static_cast<uint32_t>(std::countr_zero(a)) : 0xffffffff;
        want[15] = b ? static_cast<uint32_t>(31 - std::countl_zero(b)) : 0xffffffff;
        want[16] = static_cast<uint32_t>(std::popcount(a));
        std::vector<uint8_t> bm = bitmap;
        auto bit = [&](uint32_t pos) { return (bm[pos / 8] >> (pos % 8)) & 1; };
        auto put = [&](uint32_t pos, int v) {
            bm[pos / 8] =
                static_cast<uint8_t>((bm[pos / 8] & ~(1 << (pos % 8))) | (v << (pos % 8)));
        };
        uint8_t cfs[4];
        uint32_t p = a & 127, q = b & 255;
        cfs[0] = static_cast<uint8_t>(bit(p));
        put(p, 1);
        cfs[1] = static_cast<uint8_t>(bit(q));
        put(q, !bit(q));
        cfs[2] = static_cast<uint8_t>(bit(35));
        put(35, 0);
        cfs[3] = static_cast<uint8_t>(bit(15));
        put(15, 1);
        std::memcpy(&want[17], cfs, 4);
        Cpu cpu;
        cpu_open(cpu, image, false);
        cpu_write_vec(cpu, IN_ADDR, bitmap);
        set_reg(cpu, 0, a);
        set_reg(cpu, 1, b);
        set_reg(cpu, 2, c);
        set_reg(cpu, 5, IN_ADDR);
        set_reg(cpu, 6, OUT_ADDR);
        ASSERT_TRUE(cpu_run(cpu));
        std::vector<uint32_t> got = cpu_read_vec<uint32_t>(cpu, OUT_ADDR, 18);
        for (size_t k = 0; k < want.size(); ++k) EXPECT_EQ(got[k], want[k]) << "output long " << k;
        EXPECT_EQ(cpu_read_vec<uint8_t>(cpu, IN_ADDR, 32), bm);
    }
}

// ---------------------------------------------------------------------------------------
// cond.mac: s<cc>.b and b<cc> in all three widths for every condition
// ---------------------------------------------------------------------------------------

TEST(Exec, ConditionsSetAndBranch) {
    std::vector<uint8_t> image = build("cond");
    ASSERT_FALSE(image.empty());
    const std::pair<uint32_t, uint32_t> rows[] = {
        {5, 5},          {5, 7},          {7, 5},       {0x80000000, 1}, {0x7fffffff, 0xffffffff},
        {0, 0x80000000}, {0xffffffff, 0}, {0x10, 0x0f}, {0x13, 0x10}};
    for (auto [a, b] : rows) {
        SCOPED_TRACE("a=" + std::to_string(a) + " b=" + std::to_string(b));
        uint32_t r = a - b;
        bool cf = a < b, zf = r == 0, sf = (r >> 31) != 0, of = (((a ^ b) & (a ^ r)) >> 31) != 0;
        bool pf = (std::popcount(r & 0xff) % 2) == 0;
        // vs vc cs lo cc hs eq ne ls hi mi pl ps pc lt ge le gt
        const bool cond[18] = {of,
                               !of,
                               cf,
                               cf,
                               !cf,
                               !cf,
                               zf,
                               !zf,
                               cf || zf,
                               !cf && !zf,
                               sf,
                               !sf,
                               pf,
                               !pf,
                               sf != of,
                               sf == of,
                               zf || sf != of,
                               !zf && sf == of};
        uint32_t not_taken = 0;
        std::vector<uint8_t> want(28, 0);
        for (int k = 0; k < 18; ++k) {
            want[k] = cond[k] ? 1 : 0;
            if (!cond[k]) not_taken |= 1u << k;
        }
        want[20] = 3;
        want[24] = 3;
        Cpu c;
        cpu_open(c, image, false);
        set_reg(c, 0, a);
        set_reg(c, 1, b);
        set_reg(c, 6, OUT_ADDR);
        ASSERT_TRUE(cpu_run(c));
        EXPECT_EQ(cpu_read_vec<uint8_t>(c, OUT_ADDR, 28), want);
        EXPECT_EQ(get_reg(c, 3), not_taken) << "b<cc>.b";
        EXPECT_EQ(get_reg(c, 4), not_taken) << "b<cc>.w";
        EXPECT_EQ(get_reg(c, 5), not_taken) << "b<cc>.l";
    }
}

// ---------------------------------------------------------------------------------------
// muldiv.mac: multiply and divide in all widths, gcd
// ---------------------------------------------------------------------------------------

TEST(Exec, MultiplyDivide) {
    std::vector<uint8_t> image = build("muldiv");
    ASSERT_FALSE(image.empty());
    struct Row {
        uint32_t a, b, c;
    };
    const Row rows[] = {{0, 1, 1},
                        {1071, 462, 7},
                        {0xffffffff, 0xffffffff, 0xffffffff},
                        {0x80000000, 3, 2},
                        {0x12345678, 0x9abc, 0xfffffff9},
                        {123456789, 987654321, 1000}};
    for (const Row& r : rows) {
        SCOPED_TRACE("a=" + std::to_string(r.a) + " b=" + std::to_string(r.b) +
                     " c=" + std::to_string(r.c));
        uint32_t a = r.a, b = r.b, c = r.c;
        int32_t sa = static_cast<int32_t>(a), sb = static_cast<int32_t>(b),
                sc = static_cast<int32_t>(c);
        std::vector<uint32_t> want(16);
        uint64_t pu = uint64_t{a} * b;
        int64_t ps = int64_t{sa} * sb;
        want[0] = static_cast<uint32_t>(pu);
        want[1] = static_cast<uint32_t>(pu >> 32);
        want[2] = static_cast<uint32_t>(ps);
        want[3] = static_cast<uint32_t>(static_cast<uint64_t>(ps) >> 32);
        want[4] = a * b;
        want[5] = a * static_cast<uint32_t>(-12345);
        want[6] = b * static_cast<uint32_t>(-7);
        want[7] = a / b;
        want[8] = a % b;
        want[9] = static_cast<uint32_t>(sa / sc);
        want[10] = static_cast<uint32_t>(sa % sc);
        want[11] = (a & 0xff) * (b & 0xff);
        uint32_t ax = a & 0x3fff, d = (b & 0x7f) | 0x80;
        want[12] = (ax / d) | (ax % d) << 8;
        int sax = static_cast<int16_t>(static_cast<uint16_t>(a << 3)) >> 3;
        int sd = static_cast<int>((b & 0x3f) | 0x40);
        want[13] = static_cast<uint8_t>(sax / sd) | uint32_t{static_cast<uint8_t>(sax % sd)} << 8;
        want[14] =
            static_cast<uint32_t>(int32_t{static_cast<int16_t>(a)} * static_cast<int16_t>(b));
        uint32_t g = a, h = b;
        while (h) std::tie(g, h) = std::pair{h, g % h};
        want[15] = g;
        Cpu cpu;
        cpu_open(cpu, image, false);
        set_reg(cpu, 3, a);
        set_reg(cpu, 5, b);
        set_reg(cpu, 4, c);
        set_reg(cpu, 6, OUT_ADDR);
        ASSERT_TRUE(cpu_run(cpu));
        std::vector<uint32_t> got = cpu_read_vec<uint32_t>(cpu, OUT_ADDR, 16);
        for (size_t k = 0; k < want.size(); ++k) EXPECT_EQ(got[k], want[k]) << "output long " << k;
    }
}

// ---------------------------------------------------------------------------------------
// atomic.mac: xadd, cas, exg, bswap
// ---------------------------------------------------------------------------------------

TEST(Exec, AtomicExchangeSwap) {
    std::vector<uint8_t> image = build("atomic");
    ASSERT_FALSE(image.empty());
    struct Row {
        std::array<uint32_t, 4> cells;
        uint32_t expected, addend, count;
    };
    const Row rows[] = {
        {{10, 0x1111, 0x123456aa, 0xfffff000}, 0x1111, 5, 1},  // both compares succeed
        {{0xffffffff, 0x2222, 0x12345600, 0x0000ffff}, 0x1111, 0x01020304, 3},  // both fail
        {{0, 0, 0xaa, 0}, 0, 0xffffffff, 8},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("expected=" + std::to_string(r.expected));
        std::array<uint32_t, 4> cell = r.cells;
        std::vector<uint32_t> arr(r.count);
        uint32_t seed = r.count * 31 + 1;
        for (auto& v : arr) v = next_rand(seed);
        std::vector<uint32_t> want(8, 0);
        want[0] = cell[0];
        cell[0] += r.addend;
        want[1] = cell[1];
        if (cell[1] == r.expected) {
            cell[1] = 0xc0ffee;
            want[2] = 1;
        }
        uint32_t old_byte = cell[2] & 0xff;
        bool ok = old_byte == 0xaa;
        if (ok) cell[2] = (cell[2] & ~0xffu) | 0x55;
        want[3] = old_byte | (ok ? 1u : 0u) << 8;
        want[4] = cell[3] & 0xffff;
        cell[3] = (cell[3] & 0xffff0000) | ((cell[3] + 0x1234) & 0xffff);
        uint32_t y = r.addend;
        want[5] = (y & 0xff0000ff) | ((y >> 8) & 0xff) << 16 | ((y >> 16) & 0xff) << 8;
        want[6] = (y & 0xffff0000) | ((y >> 8) & 0xff) | (y & 0xff) << 8;
        want[7] = cell[3];
        std::vector<uint32_t> swapped = arr;
        for (auto& v : swapped) v = (v >> 24) | (v >> 8 & 0xff00) | (v << 8 & 0xff0000) | (v << 24);
        Cpu c;
        cpu_open(c, image, false);
        cpu_write(c, IN_ADDR, r.cells.data(), 16);
        cpu_write_vec(c, IN_ADDR + 0x100, arr);
        set_reg(c, 3, IN_ADDR);
        set_reg(c, 0, r.expected);
        set_reg(c, 1, r.addend);
        set_reg(c, 5, IN_ADDR + 0x100);
        set_reg(c, 2, r.count);
        set_reg(c, 6, OUT_ADDR);
        ASSERT_TRUE(cpu_run(c));
        std::vector<uint32_t> got = cpu_read_vec<uint32_t>(c, OUT_ADDR, 8);
        for (size_t k = 0; k < want.size(); ++k) EXPECT_EQ(got[k], want[k]) << "output long " << k;
        std::vector<uint32_t> cells_got = cpu_read_vec<uint32_t>(c, IN_ADDR, 4);
        for (size_t k = 0; k < 4; ++k) EXPECT_EQ(cells_got[k], cell[k]) << "cell " << k;
        EXPECT_EQ(cpu_read_vec<uint32_t>(c, IN_ADDR + 0x100, r.count), swapped);
        EXPECT_EQ(get_reg(c, 3), IN_ADDR);
    }
}

// ---------------------------------------------------------------------------------------
// sort.mac: insertion sort of signed words and checksums
// ---------------------------------------------------------------------------------------

TEST(Exec, InsertionSortWords) {
    std::vector<uint8_t> image = build("sort");
    ASSERT_FALSE(image.empty());
    std::vector<std::vector<int16_t>> rows = {
        {}, {42}, {2, 1}, {-32768, 32767, 0, -1, 1, -32768, 5}, {1, 2, 3, 4, 5, 6, 7, 8}};
    std::vector<int16_t> big(200);
    uint32_t seed = 1234;
    for (auto& v : big) v = static_cast<int16_t>(next_rand(seed));
    rows.push_back(big);
    for (const auto& row : rows) {
        SCOPED_TRACE("n=" + std::to_string(row.size()));
        std::vector<int16_t> want = row;
        std::sort(want.begin(), want.end());
        uint32_t bytes = 0, words = 0;
        for (int16_t v : want) {
            words += static_cast<uint32_t>(int32_t{v});
            bytes += (static_cast<uint16_t>(v) & 0xff) + (static_cast<uint16_t>(v) >> 8);
        }
        Cpu c;
        cpu_open(c, image, false);
        if (!row.empty()) cpu_write_vec(c, IN_ADDR, row);
        set_reg(c, 5, IN_ADDR);
        set_reg(c, 1, static_cast<uint32_t>(row.size()));
        ASSERT_TRUE(cpu_run(c));
        EXPECT_EQ(cpu_read_vec<int16_t>(c, IN_ADDR, row.size()), want);
        EXPECT_EQ(get_reg(c, 0), bytes);
        EXPECT_EQ(get_reg(c, 3), words);
    }
}

// ---------------------------------------------------------------------------------------
// bcd.mac: packed decimal arithmetic and ASCII adjust
// ---------------------------------------------------------------------------------------

uint32_t to_bcd(uint32_t v) {
    uint32_t r = 0;
    for (int k = 0; k < 8; ++k, v /= 10) r |= (v % 10) << (4 * k);
    return r;
}

TEST(Exec, PackedDecimal) {
    std::vector<uint8_t> image = build("bcd");
    ASSERT_FALSE(image.empty());
    struct Row {
        uint32_t a, b, bin;
    };
    const Row rows[] = {{0, 0, 0},         {12345678, 87654321, 99}, {99999999, 1, 42},
                        {1, 99999999, 10}, {50000000, 50000000, 9},  {19, 28, 55}};
    for (const Row& r : rows) {
        SCOPED_TRACE("a=" + std::to_string(r.a) + " b=" + std::to_string(r.b));
        std::vector<uint8_t> want(12, 0);
        uint32_t sum = r.a + r.b;
        st32(want.data(), to_bcd(sum % 100000000));
        want[4] = sum >= 100000000 ? 1 : 0;
        bool borrow = r.a < r.b;
        st32(want.data() + 5, to_bcd(borrow ? r.a + 100000000 - r.b : r.a - r.b));
        want[9] = borrow ? 1 : 0;
        want[10] = static_cast<uint8_t>(r.bin % 10);
        want[11] = static_cast<uint8_t>((r.bin / 10) * 16 + r.bin % 10);
        Cpu c;
        cpu_open(c, image, false);
        uint32_t a = to_bcd(r.a), b = to_bcd(r.b);
        cpu_write(c, IN_ADDR, &a, 4);
        cpu_write(c, IN_ADDR + 16, &b, 4);
        set_reg(c, 5, IN_ADDR);
        set_reg(c, 3, IN_ADDR + 16);
        set_reg(c, 6, OUT_ADDR);
        set_reg(c, 1, r.bin);
        ASSERT_TRUE(cpu_run(c));
        EXPECT_EQ(cpu_read_vec<uint8_t>(c, OUT_ADDR, 12), want);
        EXPECT_EQ(get_reg(c, 5), IN_ADDR);
        EXPECT_EQ(get_reg(c, 3), IN_ADDR + 16);
        EXPECT_EQ(get_reg(c, 6), OUT_ADDR);
    }
}

// ---------------------------------------------------------------------------------------
// frames.mac: indirect calls, stack arguments, callee pops, movem, flags on the stack
// ---------------------------------------------------------------------------------------

TEST(Exec, FramesAndSavedRegisters) {
    std::vector<uint8_t> image = build("frames");
    ASSERT_FALSE(image.empty());
    const std::array<uint32_t, 6> inputs[] = {
        {0, 0, 0, 0, 0, 0},
        {1, 2, 3, 4, 5, 6},
        {0xffffffff, 0x80000000, 0x7fffffff, 0x12345678, 0xdeadbeef, 77},
    };
    for (const auto& in : inputs) {
        SCOPED_TRACE("r0=" + std::to_string(in[0]));
        uint32_t extra = in[5] * 3 + 1;
        Cpu c;
        cpu_open(c, image, false);
        for (int r = 0; r < 6; ++r) set_reg(c, r, in[r]);
        set_reg(c, 6, OUT_ADDR);
        cpu_write(c, OUT_ADDR + 28, &extra, 4);
        ASSERT_TRUE(cpu_run(c));
        for (int r = 0; r < 6; ++r) EXPECT_EQ(get_reg(c, r), in[r]) << "r" << r;
        EXPECT_EQ(get_reg(c, 6), OUT_ADDR);
        EXPECT_EQ(get_reg(c, 7), expected_sp(c));
        std::vector<uint32_t> got = cpu_read_vec<uint32_t>(c, OUT_ADDR, 7);
        auto sum3 = [](uint32_t x, uint32_t y, uint32_t z) { return x + 2 * y + 3 * z; };
        EXPECT_EQ(got[0], sum3(in[0], static_cast<uint32_t>(-5), 0x12345678));
        EXPECT_EQ(got[1], sum3(in[1], in[3], extra));
        EXPECT_EQ(got[2], sum3(in[5], 1000, 0xffffffff));
        EXPECT_EQ(got[3], 1u);
        EXPECT_EQ(got[4], 0u);
        EXPECT_EQ(got[5], 1u);
        EXPECT_EQ(got[6], 1u);
    }
}

// ---------------------------------------------------------------------------------------
// arith16.mac: 16-bit address forms in real mode
// ---------------------------------------------------------------------------------------

struct Arith16Out {
    uint32_t x, y, z;
    std::vector<uint8_t> t;
};

Arith16Out arith16_reference(std::vector<uint8_t> t, uint32_t i, uint32_t x, uint32_t y,
                             uint32_t z) {
    uint8_t* T = t.data();
    auto W = [&](uint32_t off) { return uint32_t{ld16(T + off)}; };
    bool cf = false;
    auto add = [&](uint32_t a, uint32_t b, bool in) {
        uint32_t s = (a & 0xffff) + (b & 0xffff) + (in ? 1 : 0);
        cf = s > 0xffff;
        return s & 0xffff;
    };
    auto sub = [&](uint32_t a, uint32_t b, bool in) {
        cf = (b & 0xffff) + (in ? 1u : 0u) > (a & 0xffff);
        return (a - b - (in ? 1u : 0u)) & 0xffff;
    };
    x = add(x, W(0), false);
    x = sub(x, W(2), false);
    x ^= W(22);
    y = add(y, W(16), false);
    y = add(y, W(i), cf);
    y = sub(y, W(i), false);
    y = sub(y, W(20 + i), cf);
    x ^= W(2 * i);
    x = add(x, W(19 + 2 * i), false);
    x = sub(x, W(2 * i + 8), false);
    y = add(y, W(40 + i), false);
    y = add(y, W(2 * i + 5), false);
    y ^= 0x9e37;
    x = add(x, W(10), false);
    y = sub(y, W(2 * i), false);
    z += ld32(T + 12);
    z ^= ld32(T + 20 + i);
    z -= 1;
    z += 0x12345678;
    st16(T + 16, static_cast<uint16_t>(W(16) + x));
    st16(T + 2, static_cast<uint16_t>(W(2) - y));
    st16(T + i, static_cast<uint16_t>(W(i) + 1));
    st16(T + 2 * i + 30, static_cast<uint16_t>(0 - W(2 * i + 30)));
    st32(T + 48, ~ld32(T + 48));
    T[50] = static_cast<uint8_t>(T[50] + (x >> 8));
    st16(T + 52, static_cast<uint16_t>(W(52) + 5));
    x = add(x, 0x1234, false);
    cf = y < x;
    x = add(x, 0, cf);
    return {x, y, z, t};
}

TEST(Exec, Arith16RealMode) {
    std::vector<uint8_t> image = build("arith16");
    ASSERT_FALSE(image.empty());
    struct Row {
        uint32_t i, x, y, z, seed;
    };
    const Row rows[] = {{0, 0, 0, 0, 1},
                        {1, 0xffff, 0x8000, 0xffffffff, 2},
                        {5, 0x1234, 0xfedc, 0x80000000, 3},
                        {7, 0x7fff, 1, 0x12345678, 4}};
    for (const Row& r : rows) {
        SCOPED_TRACE("i=" + std::to_string(r.i) + " seed=" + std::to_string(r.seed));
        std::vector<uint8_t> t = random_bytes(128, r.seed * 104729);
        Arith16Out want = arith16_reference(t, r.i, r.x, r.y, r.z);
        Cpu c;
        cpu_open(c, image, true);
        cpu_write_vec(c, IN16, t);
        set_reg(c, 3, r.i);
        set_reg(c, 4, 2 * r.i);
        set_reg(c, 5, IN16);
        set_reg(c, 6, IN16 + 16);
        set_reg(c, 0, r.x);
        set_reg(c, 1, r.y);
        set_reg(c, 2, r.z);
        ASSERT_TRUE(cpu_run(c));
        EXPECT_EQ(get_reg(c, 0), want.x);
        EXPECT_EQ(get_reg(c, 1), want.y);
        EXPECT_EQ(get_reg(c, 2), want.z);
        EXPECT_EQ(get_reg(c, 3), want.x);
        EXPECT_EQ(cpu_read_vec<uint8_t>(c, IN16, 128), want.t);
    }
}

// ---------------------------------------------------------------------------------------
// str16.mac: 16-bit strings, loops and recursion in real mode
// ---------------------------------------------------------------------------------------

TEST(Exec, Strings16AndRecursion16) {
    std::vector<uint8_t> image = build("str16");
    ASSERT_FALSE(image.empty());
    struct Row {
        uint32_t copy, strlen, n;
    };
    const Row rows[] = {{0, 0, 0}, {1, 5, 1}, {10, 10, 2}, {33, 200, 10}, {100, 100, 20}};
    for (const Row& r : rows) {
        SCOPED_TRACE("copy=" + std::to_string(r.copy) + " n=" + std::to_string(r.n));
        std::vector<uint8_t> src = random_bytes(r.strlen, r.strlen + 3);
        for (auto& b : src) b = static_cast<uint8_t>(b | 1);  // no zero inside the string
        src.push_back(0);
        std::vector<uint8_t> want(r.copy + 4, 0xee);
        std::copy(src.begin(), src.begin() + r.copy, want.begin());
        uint32_t sum = 0;
        for (uint32_t k = 0; k < r.copy; ++k) sum += src[k];
        uint32_t a = 0, b = 1;
        for (uint32_t k = 0; k < r.n; ++k) std::tie(a, b) = std::pair{b, a + b};
        Cpu c;
        cpu_open(c, image, true);
        cpu_write_vec(c, IN16, src);
        cpu_write_vec(c, OUT16, std::vector<uint8_t>(r.copy + 4, 0xee));
        set_reg(c, 5, IN16);
        set_reg(c, 6, OUT16);
        set_reg(c, 1, r.copy);
        set_reg(c, 0, r.n);
        set_reg(c, 4, 0x1234);
        ASSERT_TRUE(cpu_run(c));
        EXPECT_EQ(cpu_read_vec<uint8_t>(c, OUT16, r.copy + 4), want);
        EXPECT_EQ(get_reg(c, 3), sum & 0xffff);
        EXPECT_EQ(get_reg(c, 1), r.strlen);
        EXPECT_EQ(get_reg(c, 0), a);
        EXPECT_EQ(get_reg(c, 4), 0x1234u);
        EXPECT_EQ(get_reg(c, 5), IN16);
        EXPECT_EQ(get_reg(c, 6), OUT16);
        EXPECT_EQ(get_reg(c, 7), expected_sp(c));
    }
}

// ---------------------------------------------------------------------------------------
// crc32.mac: table-driven CRC-32
// ---------------------------------------------------------------------------------------

TEST(Exec, Crc32) {
    std::vector<uint8_t> image = build("crc32");
    ASSERT_FALSE(image.empty());
    std::vector<uint32_t> table(256);
    for (uint32_t k = 0; k < 256; ++k) {
        uint32_t v = k;
        for (int j = 0; j < 8; ++j) v = (v >> 1) ^ ((v & 1) ? 0xedb88320u : 0u);
        table[k] = v;
    }
    auto crc = [&](const std::vector<uint8_t>& d) {
        uint32_t v = 0xffffffff;
        for (uint8_t b : d) v = (v >> 8) ^ table[(v ^ b) & 0xff];
        return ~v;
    };
    const std::string check = "123456789";
    std::vector<std::vector<uint8_t>> rows = {
        {}, {0}, {0xff}, {check.begin(), check.end()}, random_bytes(1000, 42)};
    EXPECT_EQ(crc(rows[3]), 0xcbf43926u);  // the published check value
    for (const auto& d : rows) {
        SCOPED_TRACE("length " + std::to_string(d.size()));
        Cpu c;
        cpu_open(c, image, false);
        if (!d.empty()) cpu_write_vec(c, IN_ADDR, d);
        set_reg(c, 5, IN_ADDR);
        set_reg(c, 1, static_cast<uint32_t>(d.size()));
        set_reg(c, 6, OUT_ADDR);
        ASSERT_TRUE(cpu_run(c));
        EXPECT_EQ(get_reg(c, 0), crc(d));
        EXPECT_EQ(cpu_read_vec<uint32_t>(c, OUT_ADDR, 256), table);
    }
}

// ---------------------------------------------------------------------------------------
// ports.mac: in/out against a simulated device, traps, ext, popf, chk, xlat
// ---------------------------------------------------------------------------------------

struct PortEvent {
    uint32_t port;
    int size;
    uint32_t value;
    bool operator==(const PortEvent&) const = default;
};

struct Device {
    std::vector<PortEvent> outs;
    std::vector<PortEvent> ins;
    std::vector<std::pair<uint32_t, uint32_t>> traps;  // number, r0 at the trap
    uint32_t next_byte = 0x10;
};

uint32_t device_in(uc_engine*, uint32_t port, int size, void* user) {
    Device& d = *static_cast<Device*>(user);
    uint32_t v = port == 0x43   ? 0xbeef
                 : port == 0x44 ? 0x5a
                 : size == 4    ? 0xcafebabe
                                : d.next_byte++;
    d.ins.push_back({port, size, v});
    return v;
}

void device_out(uc_engine*, uint32_t port, int size, uint32_t value, void* user) {
    static_cast<Device*>(user)->outs.push_back({port, size, value});
}

void device_trap(uc_engine* uc, uint32_t intno, void* user) {
    uint32_t eax = 0;
    uc_reg_read(uc, UC_X86_REG_EAX, &eax);
    static_cast<Device*>(user)->traps.push_back({intno, eax});
}

TEST(Exec, PortsTrapsAndExtensions) {
    std::vector<uint8_t> image = build("ports");
    ASSERT_FALSE(image.empty());
    for (uint32_t a :
         {0u, 5u, 0xffffff80u /* -128 */, 0xfffffc19u /* -999 */, 0x000003e8u /* 1000 */}) {
        SCOPED_TRACE("a=" + std::to_string(a));
        std::vector<uint8_t> send = random_bytes(a % 7, a + 1);
        Device dev;
        Cpu c;
        cpu_open(c, image, false);
        uc_hook h_in, h_out, h_int;
        ASSERT_EQ(uc_hook_add(c.uc, &h_in, UC_HOOK_INSN, reinterpret_cast<void*>(device_in), &dev,
                              1, 0, UC_X86_INS_IN),
                  UC_ERR_OK);
        ASSERT_EQ(uc_hook_add(c.uc, &h_out, UC_HOOK_INSN, reinterpret_cast<void*>(device_out), &dev,
                              1, 0, UC_X86_INS_OUT),
                  UC_ERR_OK);
        ASSERT_EQ(uc_hook_add(c.uc, &h_int, UC_HOOK_INTR, reinterpret_cast<void*>(device_trap),
                              &dev, 1, 0),
                  UC_ERR_OK);
        if (!send.empty()) cpu_write_vec(c, IN_ADDR, send);
        set_reg(c, 0, a);
        set_reg(c, 5, IN_ADDR);
        set_reg(c, 3, static_cast<uint32_t>(send.size()));
        set_reg(c, 6, OUT_ADDR);
        ASSERT_TRUE(cpu_run(c));
        std::vector<PortEvent> outs = {{0x40, 4, a}, {0x41, 1, a & 0xff}, {0x42, 2, a & 0xffff}};
        for (uint8_t b : send) outs.push_back({0x1234, 1, b});
        EXPECT_EQ(dev.outs, outs);
        std::vector<PortEvent> ins = {{0x43, 2, 0xbeef}, {0x1234, 4, 0xcafebabe}, {0x44, 1, 0x5a}};
        for (uint32_t k = 0; k < 4; ++k) ins.push_back({0x1234, 1, 0x10 + k});
        EXPECT_EQ(dev.ins, ins);
        std::vector<std::pair<uint32_t, uint32_t>> traps = {{0x21, 0x4c00}, {3, 0x4c00}};
        EXPECT_EQ(dev.traps, traps);
        std::vector<uint8_t> got = cpu_read_vec<uint8_t>(c, OUT_ADDR, 48);
        EXPECT_EQ(ld16(&got[0]), 0xbeef);
        EXPECT_EQ(ld32(&got[4]), 0xcafebabeu);
        EXPECT_EQ(got[8], 0x5a);
        EXPECT_EQ(ld32(&got[16]), 0x13121110u);
        uint32_t cbw =
            (a & 0xffff0000) | static_cast<uint16_t>(static_cast<int16_t>(static_cast<int8_t>(a)));
        EXPECT_EQ(ld32(&got[20]), cbw);
        EXPECT_EQ(ld32(&got[24]), static_cast<uint32_t>(int32_t{static_cast<int16_t>(a)}));
        EXPECT_EQ(ld32(&got[28]), (a & 0x8000) ? 0xffffu : 0u);  // r1 was $1234: dx replaced
        EXPECT_EQ(got[32], 1);
        EXPECT_EQ(got[33], 0);
        EXPECT_EQ(got[36], 1);
        EXPECT_EQ(got[40], (a & 15) * (a & 15));
        EXPECT_EQ(ld32(&got[44]), 3u);
    }
}

// ---------------------------------------------------------------------------------------
// wide16.mac: word and byte forms, far transfers and segment registers in real mode
// ---------------------------------------------------------------------------------------

TEST(Exec, Wide16FarAndSegments) {
    std::vector<uint8_t> image = build("wide16");
    ASSERT_FALSE(image.empty());
    struct Row {
        uint16_t a, b, c;
    };
    const Row rows[] = {{0, 1, 0},      {0x1234, 0x5678, 4}, {0xffff, 0xffff, 15},
                        {0x8000, 3, 8}, {0x7fff, 0x8000, 1}, {12345, 77, 7}};
    for (const Row& r : rows) {
        SCOPED_TRACE("a=" + std::to_string(r.a) + " b=" + std::to_string(r.b) +
                     " c=" + std::to_string(r.c));
        uint32_t a = r.a, b = r.b, c = r.c;
        int sa = static_cast<int16_t>(r.a), sb = static_cast<int16_t>(r.b);
        std::vector<uint8_t> want(64, 0);
        auto w = [&](int k, uint32_t v) { st16(&want[2 * k], static_cast<uint16_t>(v)); };
        w(0, a * b);
        w(1, (a * b) >> 16);
        w(2, a / b);
        w(3, a % b);
        w(4, static_cast<uint32_t>(sa / sb));
        w(5, static_cast<uint32_t>(sa % sb));
        w(6, static_cast<uint32_t>(static_cast<int8_t>(a) * static_cast<int8_t>(c)));
        w(7, a * static_cast<uint32_t>(-3));
        w(8, c ? (a << c) | (b >> (16 - c)) : a);
        w(9, (a >> 4) | (b << 12));
        uint32_t al = ((a & 0xff) << c) & 0xff, ah = (((a >> 8) << 1) | 1) & 0xff;
        w(10, ah << 8 | al);
        w(11, static_cast<uint32_t>(std::countr_zero(b)));
        want[24] = static_cast<uint8_t>((a >> c) & 1);
        want[25] = static_cast<uint8_t>(a >> 15);
        want[26] = c == 0 ? 1 : 0;
        w(14, static_cast<uint32_t>(static_cast<int8_t>(a)));
        st32(&want[30], static_cast<uint32_t>(int32_t{static_cast<int8_t>(a)}));
        w(17, a + b + 7);
        w(18, a - b);
        w(19, a + b);
        w(20, a);
        w(21, a + b);
        w(22, 0x0104);
        w(23, 0x0008);
        w(24, 0x4242);
        w(25, 0x4343);
        w(26, SEG16);
        w(27, SEG16);
        w(28, 0x1234);
        w(29, SEG16);
        w(30, 0x1234);
        w(31, 0x5151);
        Cpu cpu;
        cpu_open(cpu, image, true);
        set_reg(cpu, 0, a);
        set_reg(cpu, 1, b);
        set_reg(cpu, 3, c);
        set_reg(cpu, 6, OUT16);
        ASSERT_TRUE(cpu_run(cpu));
        std::vector<uint8_t> got = cpu_read_vec<uint8_t>(cpu, OUT16, 64);
        for (size_t k = 0; k < 64; k += 2)
            EXPECT_EQ(ld16(&got[k]), ld16(&want[k])) << "output word at byte " << k;
        EXPECT_EQ(get_reg(cpu, 7), expected_sp(cpu));
    }
}

}  // namespace

#else

TEST(Exec, NeedsUnicorn) { GTEST_SKIP() << "built without the Unicorn emulator"; }

#endif
