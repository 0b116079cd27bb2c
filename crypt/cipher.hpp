// AES-256 over runs of whole blocks (ECB both ways, CBC both ways), served either by the
// portable table cipher or by the processor's AES instructions, chosen once at start-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "crypt/aes.hpp"

enum CipherPath {
    CIPHER_PORTABLE,
    CIPHER_AESNI,
};

struct Cipher {
    CipherPath path;
    AesRoundKeys encrypt_keys;   // FIPS-197 schedule, used by both paths
    AesRoundKeys aesni_decrypt_keys; // reversed schedule with InvMixColumns applied, AES-NI only
};

bool cipher_aesni_available();

// The fastest path this processor supports.
CipherPath cipher_best_path();

void cipher_init(Cipher& cipher, const AesKey& key, CipherPath path);

// Every run is a whole number of 16-byte blocks, processed in place.
void cipher_ecb_encrypt(const Cipher& cipher, std::span<uint8_t> blocks);
void cipher_ecb_decrypt(const Cipher& cipher, std::span<uint8_t> blocks);

// chain holds the previous ciphertext block (the initialisation vector at the start);
// on return it holds the last ciphertext block of the run.
void cipher_cbc_encrypt(const Cipher& cipher, AesBlock& chain, std::span<uint8_t> blocks);
void cipher_cbc_decrypt(const Cipher& cipher, AesBlock& chain, std::span<uint8_t> blocks);

// Overwrites the key material so it does not linger in memory after the run.
void cipher_wipe(Cipher& cipher);
