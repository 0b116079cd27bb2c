// Path selection and the block-run operations of both cipher paths.
#include "crypt/cipher.hpp"

#include <cstring>

#include "crypt/aes_ni.hpp"
#include "crypt/wipe.hpp"

namespace {

AesBlock load(const uint8_t* p)
{
    AesBlock block;
    std::memcpy(block.data(), p, block.size());
    return block;
}

void store(uint8_t* p, const AesBlock& block)
{
    std::memcpy(p, block.data(), block.size());
}

void xor_into(AesBlock& target, const AesBlock& other)
{
    for (size_t i = 0; i < target.size(); ++i)
        target[i] ^= other[i];
}

void portable_ecb_encrypt(const AesRoundKeys& keys, std::span<uint8_t> blocks)
{
    for (size_t offset = 0; offset + 16 <= blocks.size(); offset += 16) {
        AesBlock state = load(blocks.data() + offset);
        aes_encrypt_block(state, keys);
        store(blocks.data() + offset, state);
    }
}

void portable_ecb_decrypt(const AesRoundKeys& keys, std::span<uint8_t> blocks)
{
    for (size_t offset = 0; offset + 16 <= blocks.size(); offset += 16) {
        AesBlock state = load(blocks.data() + offset);
        aes_decrypt_block(state, keys);
        store(blocks.data() + offset, state);
    }
}

void portable_cbc_encrypt(const AesRoundKeys& keys, AesBlock& chain, std::span<uint8_t> blocks)
{
    for (size_t offset = 0; offset + 16 <= blocks.size(); offset += 16) {
        AesBlock state = load(blocks.data() + offset);
        xor_into(state, chain);
        aes_encrypt_block(state, keys);
        store(blocks.data() + offset, state);
        chain = state;
    }
}

void portable_cbc_decrypt(const AesRoundKeys& keys, AesBlock& chain, std::span<uint8_t> blocks)
{
    for (size_t offset = 0; offset + 16 <= blocks.size(); offset += 16) {
        AesBlock ciphertext = load(blocks.data() + offset);
        AesBlock state = ciphertext;
        aes_decrypt_block(state, keys);
        xor_into(state, chain);
        store(blocks.data() + offset, state);
        chain = ciphertext;
    }
}

} // namespace

bool cipher_aesni_available()
{
    return aesni_supported();
}

CipherPath cipher_best_path()
{
    return cipher_aesni_available() ? CIPHER_AESNI : CIPHER_PORTABLE;
}

void cipher_init(Cipher& cipher, const AesKey& key, CipherPath path)
{
    if (path == CIPHER_AESNI && !cipher_aesni_available())
        path = CIPHER_PORTABLE;
    cipher.path = path;
    aes_expand_key(cipher.encrypt_keys, key);
    cipher.aesni_decrypt_keys = {};
    if (path == CIPHER_AESNI)
        aesni_prepare_decrypt_keys(cipher.aesni_decrypt_keys, cipher.encrypt_keys);
}

void cipher_ecb_encrypt(const Cipher& cipher, std::span<uint8_t> blocks)
{
    if (cipher.path == CIPHER_AESNI)
        aesni_ecb_encrypt(cipher.encrypt_keys, blocks);
    else
        portable_ecb_encrypt(cipher.encrypt_keys, blocks);
}

void cipher_ecb_decrypt(const Cipher& cipher, std::span<uint8_t> blocks)
{
    if (cipher.path == CIPHER_AESNI)
        aesni_ecb_decrypt(cipher.aesni_decrypt_keys, blocks);
    else
        portable_ecb_decrypt(cipher.encrypt_keys, blocks);
}

void cipher_cbc_encrypt(const Cipher& cipher, AesBlock& chain, std::span<uint8_t> blocks)
{
    if (cipher.path == CIPHER_AESNI)
        aesni_cbc_encrypt(cipher.encrypt_keys, chain, blocks);
    else
        portable_cbc_encrypt(cipher.encrypt_keys, chain, blocks);
}

void cipher_cbc_decrypt(const Cipher& cipher, AesBlock& chain, std::span<uint8_t> blocks)
{
    if (cipher.path == CIPHER_AESNI)
        aesni_cbc_decrypt(cipher.aesni_decrypt_keys, chain, blocks);
    else
        portable_cbc_decrypt(cipher.encrypt_keys, chain, blocks);
}

void cipher_wipe(Cipher& cipher)
{
    wipe_memory(&cipher, sizeof cipher);
}
