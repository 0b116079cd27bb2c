// Block cipher tests: computed tables against the published S-box and field arithmetic,
// known-answer vectors on both cipher paths, and the two paths against each other.
#include <gtest/gtest.h>

#include "tests/crypt/test_support.hpp"

namespace {

// The published AES S-box, row by row (high nibble selects the row).
constexpr AesByteTable STANDARD_SBOX = {
    0x63, 0x7c, 0x77, 0x7b, 0xf2, 0x6b, 0x6f, 0xc5, 0x30, 0x01, 0x67, 0x2b, 0xfe, 0xd7, 0xab, 0x76,
    0xca, 0x82, 0xc9, 0x7d, 0xfa, 0x59, 0x47, 0xf0, 0xad, 0xd4, 0xa2, 0xaf, 0x9c, 0xa4, 0x72, 0xc0,
    0xb7, 0xfd, 0x93, 0x26, 0x36, 0x3f, 0xf7, 0xcc, 0x34, 0xa5, 0xe5, 0xf1, 0x71, 0xd8, 0x31, 0x15,
    0x04, 0xc7, 0x23, 0xc3, 0x18, 0x96, 0x05, 0x9a, 0x07, 0x12, 0x80, 0xe2, 0xeb, 0x27, 0xb2, 0x75,
    0x09, 0x83, 0x2c, 0x1a, 0x1b, 0x6e, 0x5a, 0xa0, 0x52, 0x3b, 0xd6, 0xb3, 0x29, 0xe3, 0x2f, 0x84,
    0x53, 0xd1, 0x00, 0xed, 0x20, 0xfc, 0xb1, 0x5b, 0x6a, 0xcb, 0xbe, 0x39, 0x4a, 0x4c, 0x58, 0xcf,
    0xd0, 0xef, 0xaa, 0xfb, 0x43, 0x4d, 0x33, 0x85, 0x45, 0xf9, 0x02, 0x7f, 0x50, 0x3c, 0x9f, 0xa8,
    0x51, 0xa3, 0x40, 0x8f, 0x92, 0x9d, 0x38, 0xf5, 0xbc, 0xb6, 0xda, 0x21, 0x10, 0xff, 0xf3, 0xd2,
    0xcd, 0x0c, 0x13, 0xec, 0x5f, 0x97, 0x44, 0x17, 0xc4, 0xa7, 0x7e, 0x3d, 0x64, 0x5d, 0x19, 0x73,
    0x60, 0x81, 0x4f, 0xdc, 0x22, 0x2a, 0x90, 0x88, 0x46, 0xee, 0xb8, 0x14, 0xde, 0x5e, 0x0b, 0xdb,
    0xe0, 0x32, 0x3a, 0x0a, 0x49, 0x06, 0x24, 0x5c, 0xc2, 0xd3, 0xac, 0x62, 0x91, 0x95, 0xe4, 0x79,
    0xe7, 0xc8, 0x37, 0x6d, 0x8d, 0xd5, 0x4e, 0xa9, 0x6c, 0x56, 0xf4, 0xea, 0x65, 0x7a, 0xae, 0x08,
    0xba, 0x78, 0x25, 0x2e, 0x1c, 0xa6, 0xb4, 0xc6, 0xe8, 0xdd, 0x74, 0x1f, 0x4b, 0xbd, 0x8b, 0x8a,
    0x70, 0x3e, 0xb5, 0x66, 0x48, 0x03, 0xf6, 0x0e, 0x61, 0x35, 0x57, 0xb9, 0x86, 0xc1, 0x1d, 0x9e,
    0xe1, 0xf8, 0x98, 0x11, 0x69, 0xd9, 0x8e, 0x94, 0x9b, 0x1e, 0x87, 0xe9, 0xce, 0x55, 0x28, 0xdf,
    0x8c, 0xa1, 0x89, 0x0d, 0xbf, 0xe6, 0x42, 0x68, 0x41, 0x99, 0x2d, 0x0f, 0xb0, 0x54, 0xbb, 0x16,
};

// Shift-and-add multiplication modulo 0x11B, independent of the log tables.
uint8_t slow_gf_mul(uint8_t a, uint8_t b)
{
    uint32_t x = a;
    uint8_t product = 0;
    for (int i = 0; i < 8; ++i) {
        if ((b >> i) & 1u)
            product ^= static_cast<uint8_t>(x);
        x <<= 1;
        if (x & 0x100u)
            x ^= 0x11B;
    }
    return product;
}

TEST(AesTables, ComputedSboxIsTheStandardOneAndInverts)
{
    AesTables tables = aes_build_tables();
    EXPECT_EQ(tables.sbox, STANDARD_SBOX);
    for (uint32_t x = 0; x < 256; ++x) {
        SCOPED_TRACE(x);
        EXPECT_EQ(tables.inv_sbox[tables.sbox[x]], x);
    }
}

TEST(AesTables, LogTablesAndGfMulAgreeWithFieldArithmetic)
{
    const AesTables& tables = aes_tables();
    EXPECT_EQ(tables.antilog[0], 1);
    EXPECT_EQ(tables.antilog[255], 1);
    EXPECT_EQ(tables.log[1], 0);
    for (uint32_t i = 0; i < 255; ++i)
        EXPECT_EQ(tables.log[tables.antilog[i]], i) << "i=" << i;

    struct Row {
        uint8_t a, b, product;
    };
    const Row rows[] = {{0x57, 0x83, 0xC1}, {0x57, 0x13, 0xFE}, {0x00, 0x57, 0x00},
                        {0x57, 0x00, 0x00}, {0x03, 0xF6, 0x01}, {0x80, 0x02, 0x1B}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << int{row.a} << " * " << int{row.b});
        EXPECT_EQ(gf_mul(tables, row.a, row.b), row.product);
    }
    // Every product, including sums of logarithms of exactly 255 and above.
    for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t b = 0; b < 256; ++b) {
            uint8_t x = static_cast<uint8_t>(a);
            uint8_t y = static_cast<uint8_t>(b);
            ASSERT_EQ(gf_mul(tables, x, y), slow_gf_mul(x, y)) << a << " * " << b;
        }
    }
}

TEST(AesKeySchedule, MatchesPublishedExpansion)
{
    // The AES-256 key expansion example of FIPS-197 (appendix A.3): words 8, 9, 12 and 59.
    AesRoundKeys keys;
    aes_expand_key(keys, array_from_hex<32>("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"));
    EXPECT_EQ(to_hex(std::span(keys.bytes).subspan(4 * 8, 8)), "9ba354118e6925af");
    EXPECT_EQ(to_hex(std::span(keys.bytes).subspan(4 * 12, 4)), "a8b09c1a");
    EXPECT_EQ(to_hex(std::span(keys.bytes).subspan(4 * 59, 4)), "706c631e");
}

struct KnownAnswer {
    const char* name;
    bool chained; // CBC with `iv`, otherwise ECB
    const char* key;
    const char* iv;
    const char* plaintext;
    const char* ciphertext;
};

constexpr KnownAnswer KNOWN_ANSWERS[] = {
    {"FIPS-197 C.3", false, "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "",
     "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
    {"SP 800-38A F.1.5 ECB-AES256", false,
     "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4", "",
     "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
     "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710",
     "f3eed1bdb5d2a03c064b5a7e3db181f8591ccb10d410ed26dc5ba74a31362870"
     "b6ed21b99ca6f4f9f153e7b1beafed1d23304b7a39f9f3ff067d8d8f9e24ecc7"},
    {"SP 800-38A F.2.5 CBC-AES256", true,
     "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4", "000102030405060708090a0b0c0d0e0f",
     "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
     "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710",
     "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
     "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"},
};

TEST(AesKnownAnswers, EncryptAndDecryptOnEveryPath)
{
    for (const KnownAnswer& row : KNOWN_ANSWERS) {
        for (CipherPath path : available_paths()) {
            SCOPED_TRACE(testing::Message() << row.name << " on " << path_name(path));
            Cipher cipher = make_cipher(array_from_hex<32>(row.key), path);
            Bytes data = from_hex(row.plaintext);
            AesBlock chain = array_from_hex<16>(row.iv);
            if (row.chained)
                cipher_cbc_encrypt(cipher, chain, data);
            else
                cipher_ecb_encrypt(cipher, data);
            EXPECT_EQ(to_hex(data), row.ciphertext);

            chain = array_from_hex<16>(row.iv);
            if (row.chained)
                cipher_cbc_decrypt(cipher, chain, data);
            else
                cipher_ecb_decrypt(cipher, data);
            EXPECT_EQ(to_hex(data), row.plaintext);
        }
    }
    // The single-block routines of the portable cipher on the FIPS-197 example.
    AesRoundKeys keys;
    aes_expand_key(keys, array_from_hex<32>(KNOWN_ANSWERS[0].key));
    AesBlock state = array_from_hex<16>(KNOWN_ANSWERS[0].plaintext);
    aes_encrypt_block(state, keys);
    EXPECT_EQ(to_hex(state), KNOWN_ANSWERS[0].ciphertext);
    aes_decrypt_block(state, keys);
    EXPECT_EQ(to_hex(state), KNOWN_ANSWERS[0].plaintext);
}

TEST(AesPaths, AesniIsBitIdenticalToPortable)
{
    if (!cipher_aesni_available())
        GTEST_SKIP() << "processor has no AES instructions";
    std::mt19937_64 rng(20240601);
    for (int round = 0; round < 24; ++round) {
        AesKey key = random_key(rng);
        Cipher portable = make_cipher(key, CIPHER_PORTABLE);
        Cipher aesni = make_cipher(key, CIPHER_AESNI);
        // Run lengths around the eight-block batches: tails of every length 0..7.
        size_t blocks = static_cast<size_t>(round) + (round % 3 == 0 ? 17 : 0);
        Bytes data = random_bytes(rng, 16 * blocks);
        AesBlock iv = array_from_hex<16>(to_hex(random_bytes(rng, 16)));
        SCOPED_TRACE(testing::Message() << "round " << round << ", " << blocks << " blocks");

        Bytes a = data, b = data;
        cipher_ecb_encrypt(portable, a);
        cipher_ecb_encrypt(aesni, b);
        EXPECT_EQ(a, b) << "ECB encryption";
        cipher_ecb_decrypt(portable, a);
        cipher_ecb_decrypt(aesni, b);
        EXPECT_EQ(a, b) << "ECB decryption";
        EXPECT_EQ(a, data);

        AesBlock chain_a = iv, chain_b = iv;
        cipher_cbc_encrypt(portable, chain_a, a);
        cipher_cbc_encrypt(aesni, chain_b, b);
        EXPECT_EQ(a, b) << "CBC encryption";
        EXPECT_EQ(chain_a, chain_b);
        chain_a = iv, chain_b = iv;
        cipher_cbc_decrypt(portable, chain_a, a);
        cipher_cbc_decrypt(aesni, chain_b, b);
        EXPECT_EQ(a, b) << "CBC decryption";
        EXPECT_EQ(chain_a, chain_b);
        EXPECT_EQ(a, data);
    }
}

} // namespace
