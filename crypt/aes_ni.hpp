// AES-256 with the x86 AES instructions: several blocks in flight where the mode allows it.
// Only call these when cipher_aesni_available() says the processor has the instructions.
#pragma once

#include <cstdint>
#include <span>

#include "crypt/aes.hpp"

bool aesni_supported();

// Derives the decryption schedule the AESDEC instruction expects from the FIPS-197 schedule.
void aesni_prepare_decrypt_keys(AesRoundKeys& decrypt_keys, const AesRoundKeys& encrypt_keys);

void aesni_ecb_encrypt(const AesRoundKeys& keys, std::span<uint8_t> blocks);
void aesni_ecb_decrypt(const AesRoundKeys& decrypt_keys, std::span<uint8_t> blocks);
void aesni_cbc_encrypt(const AesRoundKeys& keys, AesBlock& chain, std::span<uint8_t> blocks);
void aesni_cbc_decrypt(const AesRoundKeys& decrypt_keys, AesBlock& chain, std::span<uint8_t> blocks);
