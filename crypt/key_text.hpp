// The command-line key text: Base64 key characters and the mode flags '-' and '*',
// and the decoding of the 44 key characters into the AES-256 key.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "crypt/aes.hpp"

enum FilterMode {
    MODE_CBC_DECRYPT = 0,
    MODE_CBC_ENCRYPT = 1,
    MODE_ECB_DECRYPT = 2,
    MODE_ECB_ENCRYPT = 3,
};

enum KeyFlag : uint8_t {
    FLAG_ENCRYPT = 1, // '-'
    FLAG_ECB = 2,     // '*'
};

constexpr size_t KEY_TEXT_LENGTH = 44;
constexpr size_t KEY_DECODED_LENGTH = 33; // 11 groups of 4 characters give 3 bytes each

struct KeyText {
    std::array<uint8_t, KEY_TEXT_LENGTH> values; // six-bit values, repeated up to 44
    size_t collected;                            // key characters actually given; 0 means no key
    uint8_t flags;                               // KeyFlag bits; also the FilterMode
};

// Base64 value of a key character, or -1 for a character that is skipped or is a flag.
int key_char_value(char c);

// Scans the arguments after the program name in order, stopping at the 44th key character.
KeyText parse_command_line(std::span<const std::string_view> arguments);

FilterMode key_text_mode(const KeyText& text);

std::array<uint8_t, KEY_DECODED_LENGTH> decode_key_text(const KeyText& text);

// The AES-256 key: the first 32 decoded bytes (the 33rd is not used).
AesKey key_from_text(const KeyText& text);
