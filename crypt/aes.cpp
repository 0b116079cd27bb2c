// Portable AES-256: table construction, the round steps, key expansion and the block functions.
#include "crypt/aes.hpp"

namespace {

// Carry-less product of two bytes reduced modulo the AES polynomial 0x11B.
uint8_t clmul_reduce(uint8_t a, uint8_t b)
{
    uint32_t product = 0;
    for (int i = 0; i < 8; ++i) {
        if ((b >> i) & 1u)
            product ^= uint32_t{a} << i;
    }
    for (int shift = 7; shift >= 0; --shift) {
        uint32_t reducer = uint32_t{0x11B} << shift;
        if ((product ^ reducer) < product)
            product ^= reducer;
    }
    return static_cast<uint8_t>(product);
}

uint8_t multiplicative_inverse(uint8_t x)
{
    for (uint32_t y = 255; y >= 1; --y) {
        if (clmul_reduce(x, static_cast<uint8_t>(y)) == 1)
            return static_cast<uint8_t>(y);
    }
    return 0; // x = 0 has no inverse; the S-box maps it through 0
}

uint8_t rotate_left(uint8_t value, int places)
{
    return static_cast<uint8_t>((value << places) | (value >> ((8 - places) & 7)));
}

uint8_t affine_map(uint8_t inverse)
{
    uint8_t s = 0x63;
    for (int i = 0; i < 8; ++i) {
        if ((inverse >> i) & 1u)
            s ^= rotate_left(0x1F, i);
    }
    return s;
}

// Multiplies by 3 (x + 1) in GF(2^8): p xor 2p, reduced when it leaves 8 bits.
uint8_t times_three(uint8_t p)
{
    uint32_t value = uint32_t{p} ^ (uint32_t{p} << 1);
    if (value > 0xFF)
        value ^= 0x11B;
    return static_cast<uint8_t>(value);
}

} // namespace

AesTables aes_build_tables()
{
    AesTables tables{};
    for (uint32_t x = 0; x < 256; ++x) {
        uint8_t s = affine_map(multiplicative_inverse(static_cast<uint8_t>(x)));
        tables.sbox[x] = s;
        tables.inv_sbox[s] = static_cast<uint8_t>(x);
    }
    uint8_t p = 1;
    for (uint32_t i = 0; i < 256; ++i) {
        tables.antilog[i] = p;
        tables.log[p] = static_cast<uint8_t>(i);
        p = times_three(p);
    }
    tables.log[1] = 0; // the last step (3^255 = 1) overwrote it with 255
    return tables;
}

const AesTables& aes_tables()
{
    static const AesTables tables = aes_build_tables();
    return tables;
}

uint8_t gf_mul(const AesTables& tables, uint8_t a, uint8_t b)
{
    if (a == 0 || b == 0)
        return 0;
    uint32_t sum = uint32_t{tables.log[a]} + uint32_t{tables.log[b]};
    if (sum >= 256)
        sum -= 255; // fold the carry back in: exponents live modulo 255
    return tables.antilog[sum];
}

void substitute_bytes(AesBlock& state, const AesByteTable& table)
{
    for (uint8_t& byte : state)
        byte = table[byte];
}

void shift_rows(AesBlock& state, const AesPermutation& permutation)
{
    AesBlock source = state;
    for (size_t i = 0; i < state.size(); ++i)
        state[i] = source[permutation[i]];
}

void mix_columns(AesBlock& state, const AesMatrix& matrix, const AesTables& tables)
{
    for (size_t column = 0; column < 4; ++column) {
        std::array<uint8_t, 4> in{};
        for (size_t j = 0; j < 4; ++j)
            in[j] = state[4 * column + j];
        for (size_t k = 0; k < 4; ++k) {
            uint8_t out = 0;
            for (size_t j = 0; j < 4; ++j)
                out ^= gf_mul(tables, matrix[k][j], in[j]);
            state[4 * column + k] = out;
        }
    }
}

void add_round_key(AesBlock& state, const AesRoundKeys& keys, int round)
{
    for (size_t i = 0; i < state.size(); ++i)
        state[i] ^= keys.bytes[16 * static_cast<size_t>(round) + i];
}

void aes_expand_key(AesRoundKeys& keys, const AesKey& key)
{
    const AesTables& tables = aes_tables();
    for (size_t i = 0; i < key.size(); ++i)
        keys.bytes[i] = key[i];
    uint8_t round_constant = 1;
    for (size_t word = 8; word < 60; ++word) {
        std::array<uint8_t, 4> temp{};
        for (size_t j = 0; j < 4; ++j)
            temp[j] = keys.bytes[4 * (word - 1) + j];
        if (word % 8 == 0) {
            std::array<uint8_t, 4> rotated = {temp[1], temp[2], temp[3], temp[0]};
            for (size_t j = 0; j < 4; ++j)
                temp[j] = tables.sbox[rotated[j]];
            temp[0] ^= round_constant;
            round_constant = static_cast<uint8_t>(round_constant << 1); // at most 0x40 for AES-256
        } else if (word % 8 == 4) {
            for (uint8_t& byte : temp)
                byte = tables.sbox[byte];
        }
        for (size_t j = 0; j < 4; ++j)
            keys.bytes[4 * word + j] = static_cast<uint8_t>(keys.bytes[4 * (word - 8) + j] ^ temp[j]);
    }
}

void aes_encrypt_block(AesBlock& state, const AesRoundKeys& keys)
{
    const AesTables& tables = aes_tables();
    add_round_key(state, keys, 0);
    for (int round = 1; round <= 14; ++round) {
        substitute_bytes(state, tables.sbox);
        shift_rows(state, AES_SHIFT_ROWS);
        if (round != 14)
            mix_columns(state, AES_MIX_COLUMNS, tables);
        add_round_key(state, keys, round);
    }
}

void aes_decrypt_block(AesBlock& state, const AesRoundKeys& keys)
{
    const AesTables& tables = aes_tables();
    add_round_key(state, keys, 14);
    for (int round = 13; round >= 0; --round) {
        shift_rows(state, AES_INV_SHIFT_ROWS);
        substitute_bytes(state, tables.inv_sbox);
        add_round_key(state, keys, round);
        if (round != 0)
            mix_columns(state, AES_INV_MIX_COLUMNS, tables);
    }
}
