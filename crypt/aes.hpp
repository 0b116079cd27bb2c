// Portable AES-256 block cipher: tables computed at start-up, one routine per round step
// taking the table it works with, GF(2^8) multiplication through log/antilog tables.
#pragma once

#include <array>
#include <cstdint>
#include <span>

using AesBlock = std::array<uint8_t, 16>;
using AesKey = std::array<uint8_t, 32>;
using AesByteTable = std::array<uint8_t, 256>;
using AesPermutation = std::array<uint8_t, 16>;
using AesMatrix = std::array<std::array<uint8_t, 4>, 4>;

struct AesTables {
    AesByteTable sbox;
    AesByteTable inv_sbox;
    AesByteTable antilog; // antilog[i] = 3^i in GF(2^8)
    AesByteTable log;     // log[antilog[i]] = i for i = 0..254; log[0] is unused
};

// The 15 round keys of AES-256 (60 words) in FIPS-197 byte order: round r is bytes 16r..16r+15.
struct AesRoundKeys {
    std::array<uint8_t, 240> bytes;
};

// Source positions of ShiftRows and InvShiftRows for every state byte.
inline constexpr AesPermutation AES_SHIFT_ROWS = {0, 5, 10, 15, 4, 9, 14, 3, 8, 13, 2, 7, 12, 1, 6, 11};
inline constexpr AesPermutation AES_INV_SHIFT_ROWS = {0, 13, 10, 7, 4, 1, 14, 11, 8, 5, 2, 15, 12, 9, 6, 3};

inline constexpr AesMatrix AES_MIX_COLUMNS = {{{0x02, 0x03, 0x01, 0x01},
                                               {0x01, 0x02, 0x03, 0x01},
                                               {0x01, 0x01, 0x02, 0x03},
                                               {0x03, 0x01, 0x01, 0x02}}};
inline constexpr AesMatrix AES_INV_MIX_COLUMNS = {{{0x0E, 0x0B, 0x0D, 0x09},
                                                   {0x09, 0x0E, 0x0B, 0x0D},
                                                   {0x0D, 0x09, 0x0E, 0x0B},
                                                   {0x0B, 0x0D, 0x09, 0x0E}}};

// Computes the S-box (inverse search plus affine map), its inverse and the log tables.
AesTables aes_build_tables();

// The process-wide tables, built on first use and read-only afterwards.
const AesTables& aes_tables();

uint8_t gf_mul(const AesTables& tables, uint8_t a, uint8_t b);

void substitute_bytes(AesBlock& state, const AesByteTable& table);
void shift_rows(AesBlock& state, const AesPermutation& permutation);
void mix_columns(AesBlock& state, const AesMatrix& matrix, const AesTables& tables);
void add_round_key(AesBlock& state, const AesRoundKeys& keys, int round);

void aes_expand_key(AesRoundKeys& keys, const AesKey& key);
void aes_encrypt_block(AesBlock& state, const AesRoundKeys& keys);
void aes_decrypt_block(AesBlock& state, const AesRoundKeys& keys);
