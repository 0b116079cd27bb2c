// AES-256 with the x86 AES instructions. The functions carry their own target attribute so
// the rest of the program is built for the baseline processor and runs everywhere; the
// caller checks aesni_supported() before choosing this path.
#include "crypt/aes_ni.hpp"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace {

// Eight blocks in flight hide the latency of AESENC/AESDEC (several cycles each, one issued per cycle).
constexpr size_t AESNI_LANES = 8;
constexpr int AES_ROUNDS = 14;

// Plain arrays in structs: std::array would drop the vector type's alignment attribute.
struct RoundKeyVectors {
    __m128i v[AES_ROUNDS + 1];
    const __m128i& operator[](int r) const { return v[r]; }
    __m128i& operator[](int r) { return v[r]; }
};

struct Lanes {
    __m128i v[AESNI_LANES];
};

[[gnu::target("aes")]] inline __m128i load_block(const uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

[[gnu::target("aes")]] inline void store_block(uint8_t* p, __m128i value)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), value);
}

[[gnu::target("aes")]] inline RoundKeyVectors load_round_keys(const AesRoundKeys& keys)
{
    RoundKeyVectors vectors;
    for (int r = 0; r <= AES_ROUNDS; ++r)
        vectors[r] = load_block(keys.bytes.data() + 16 * r);
    return vectors;
}

[[gnu::target("aes")]] inline __m128i encrypt_one(__m128i block, const RoundKeyVectors& rk)
{
    block = _mm_xor_si128(block, rk[0]);
    for (int r = 1; r < AES_ROUNDS; ++r)
        block = _mm_aesenc_si128(block, rk[r]);
    return _mm_aesenclast_si128(block, rk[AES_ROUNDS]);
}

[[gnu::target("aes")]] inline __m128i decrypt_one(__m128i block, const RoundKeyVectors& dk)
{
    block = _mm_xor_si128(block, dk[0]);
    for (int r = 1; r < AES_ROUNDS; ++r)
        block = _mm_aesdec_si128(block, dk[r]);
    return _mm_aesdeclast_si128(block, dk[AES_ROUNDS]);
}

[[gnu::target("aes")]] inline void encrypt_lanes(Lanes& b, const RoundKeyVectors& rk)
{
    for (__m128i& x : b.v)
        x = _mm_xor_si128(x, rk[0]);
    for (int r = 1; r < AES_ROUNDS; ++r) {
        for (__m128i& x : b.v)
            x = _mm_aesenc_si128(x, rk[r]);
    }
    for (__m128i& x : b.v)
        x = _mm_aesenclast_si128(x, rk[AES_ROUNDS]);
}

[[gnu::target("aes")]] inline void decrypt_lanes(Lanes& b, const RoundKeyVectors& dk)
{
    for (__m128i& x : b.v)
        x = _mm_xor_si128(x, dk[0]);
    for (int r = 1; r < AES_ROUNDS; ++r) {
        for (__m128i& x : b.v)
            x = _mm_aesdec_si128(x, dk[r]);
    }
    for (__m128i& x : b.v)
        x = _mm_aesdeclast_si128(x, dk[AES_ROUNDS]);
}

} // namespace

bool aesni_supported()
{
    return __builtin_cpu_supports("aes");
}

[[gnu::target("aes")]] void aesni_prepare_decrypt_keys(AesRoundKeys& decrypt_keys, const AesRoundKeys& encrypt_keys)
{
    // AESDEC implements the equivalent inverse cipher: the round keys run backwards and
    // the inner ones pass through InvMixColumns.
    RoundKeyVectors rk = load_round_keys(encrypt_keys);
    store_block(decrypt_keys.bytes.data(), rk[AES_ROUNDS]);
    for (int r = 1; r < AES_ROUNDS; ++r)
        store_block(decrypt_keys.bytes.data() + 16 * r, _mm_aesimc_si128(rk[AES_ROUNDS - r]));
    store_block(decrypt_keys.bytes.data() + 16 * AES_ROUNDS, rk[0]);
}

// ECB in either direction: eight independent blocks at a time, then the rest one by one.
template <bool ENCRYPT>
[[gnu::target("aes")]] void aesni_ecb_run(const AesRoundKeys& keys, std::span<uint8_t> blocks)
{
    const RoundKeyVectors rk = load_round_keys(keys);
    uint8_t* p = blocks.data();
    size_t count = blocks.size() / 16;
    for (; count >= AESNI_LANES; count -= AESNI_LANES, p += 16 * AESNI_LANES) {
        Lanes b;
        for (size_t j = 0; j < AESNI_LANES; ++j)
            b.v[j] = load_block(p + 16 * j);
        if constexpr (ENCRYPT)
            encrypt_lanes(b, rk);
        else
            decrypt_lanes(b, rk);
        for (size_t j = 0; j < AESNI_LANES; ++j)
            store_block(p + 16 * j, b.v[j]);
    }
    for (; count > 0; --count, p += 16)
        store_block(p, ENCRYPT ? encrypt_one(load_block(p), rk) : decrypt_one(load_block(p), rk));
}

void aesni_ecb_encrypt(const AesRoundKeys& keys, std::span<uint8_t> blocks)
{
    aesni_ecb_run<true>(keys, blocks);
}

void aesni_ecb_decrypt(const AesRoundKeys& decrypt_keys, std::span<uint8_t> blocks)
{
    aesni_ecb_run<false>(decrypt_keys, blocks);
}

[[gnu::target("aes")]] void aesni_cbc_encrypt(const AesRoundKeys& keys, AesBlock& chain, std::span<uint8_t> blocks)
{
    // Each block needs the ciphertext of the one before: no parallelism to be had.
    const RoundKeyVectors rk = load_round_keys(keys);
    __m128i previous = load_block(chain.data());
    uint8_t* p = blocks.data();
    for (size_t count = blocks.size() / 16; count > 0; --count, p += 16) {
        previous = encrypt_one(_mm_xor_si128(load_block(p), previous), rk);
        store_block(p, previous);
    }
    store_block(chain.data(), previous);
}

[[gnu::target("aes")]] void aesni_cbc_decrypt(const AesRoundKeys& decrypt_keys, AesBlock& chain, std::span<uint8_t> blocks)
{
    const RoundKeyVectors dk = load_round_keys(decrypt_keys);
    __m128i previous = load_block(chain.data());
    uint8_t* p = blocks.data();
    size_t count = blocks.size() / 16;
    for (; count >= AESNI_LANES; count -= AESNI_LANES, p += 16 * AESNI_LANES) {
        Lanes ciphertext;
        for (size_t j = 0; j < AESNI_LANES; ++j)
            ciphertext.v[j] = load_block(p + 16 * j);
        Lanes b = ciphertext;
        decrypt_lanes(b, dk);
        store_block(p, _mm_xor_si128(b.v[0], previous));
        for (size_t j = 1; j < AESNI_LANES; ++j)
            store_block(p + 16 * j, _mm_xor_si128(b.v[j], ciphertext.v[j - 1]));
        previous = ciphertext.v[AESNI_LANES - 1];
    }
    for (; count > 0; --count, p += 16) {
        __m128i ciphertext = load_block(p);
        store_block(p, _mm_xor_si128(decrypt_one(ciphertext, dk), previous));
        previous = ciphertext;
    }
    store_block(chain.data(), previous);
}

#else // not x86: the portable cipher is the only path

#include <cstdlib>

bool aesni_supported()
{
    return false;
}

void aesni_prepare_decrypt_keys(AesRoundKeys&, const AesRoundKeys&) { std::abort(); }
void aesni_ecb_encrypt(const AesRoundKeys&, std::span<uint8_t>) { std::abort(); }
void aesni_ecb_decrypt(const AesRoundKeys&, std::span<uint8_t>) { std::abort(); }
void aesni_cbc_encrypt(const AesRoundKeys&, AesBlock&, std::span<uint8_t>) { std::abort(); }
void aesni_cbc_decrypt(const AesRoundKeys&, AesBlock&, std::span<uint8_t>) { std::abort(); }

#endif
