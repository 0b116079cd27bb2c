// Key text tests: which characters count, where flags stop counting, repetition, decoding.
#include <gtest/gtest.h>

#include "tests/crypt/test_support.hpp"

namespace {

// A 32-byte key and its usual Base64 text (43 characters and a closing '=').
constexpr const char* KEY_HEX = "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
constexpr const char* KEY_BASE64 = "YD3rEBXKcb4rc67whX13gR81LAc7YQjXLZgQowkU3/Q=";

struct KeyRow {
    const char* name;
    std::vector<std::string_view> arguments;
    size_t collected;
    FilterMode mode;
    const char* key_hex; // expected AES key; unused when nothing was collected
};

TEST(KeyText, ParsesFlagsKeysAndRepetition)
{
    const std::string zero_key(64, '0');
    const KeyRow rows[] = {
        {"usual Base64 text", {KEY_BASE64}, 43, MODE_CBC_DECRYPT, KEY_HEX},
        {"groups in separate arguments and with blanks",
         {"YD3r EBXK cb4r", "c67w", "hX13gR81 LAc7YQjX", "LZgQowkU3/Q"}, 43, MODE_CBC_DECRYPT, KEY_HEX},
        {"flags before the key", {"-*", KEY_BASE64}, 43, MODE_ECB_ENCRYPT, KEY_HEX},
        {"flags inside the key text", {"YD3rEB*XKcb4rc67whX13gR81LAc7YQjXLZgQowkU3/Q"}, 43, MODE_ECB_DECRYPT, KEY_HEX},
        {"encrypt flag alone", {"-", KEY_BASE64}, 43, MODE_CBC_ENCRYPT, KEY_HEX},
        {"repeated flags", {"--**", KEY_BASE64}, 43, MODE_ECB_ENCRYPT, KEY_HEX},
        {"quotes, punctuation and non-ASCII bytes skipped",
         {"\"YD3rEBXKcb4rc67w\xC3\xA9hX13gR81LAc7YQjX,LZgQowkU3/Q!\""}, 43, MODE_CBC_DECRYPT, KEY_HEX},
        {"flag after the 44th key character is ignored", {"YD3rEBXKcb4rc67whX13gR81LAc7YQjXLZgQowkU3/QA", "-*"},
         44, MODE_CBC_DECRYPT, "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"},
        {"flag right before the 44th key character counts",
         {"YD3rEBXKcb4rc67whX13gR81LAc7YQjXLZgQowkU3/Q-A"}, 44, MODE_CBC_ENCRYPT, KEY_HEX},
        {"single A gives the all-zero key", {"A"}, 1, MODE_CBC_DECRYPT, zero_key.c_str()},
        // 'A','B' repeated: groups (0,1,0,1) decode to 00 10 01.
        {"short text is repeated", {"-", "AB"}, 2, MODE_CBC_ENCRYPT,
         "0010010010010010010010010010010010010010010010010010010010010010"},
        {"no arguments", {}, 0, MODE_CBC_DECRYPT, nullptr},
        {"flags only", {"-*"}, 0, MODE_ECB_ENCRYPT, nullptr},
        {"only skipped characters", {"=== !?", ""}, 0, MODE_CBC_DECRYPT, nullptr},
    };
    for (const KeyRow& row : rows) {
        SCOPED_TRACE(row.name);
        KeyText text = parse_command_line(row.arguments);
        EXPECT_EQ(text.collected, row.collected);
        EXPECT_EQ(key_text_mode(text), row.mode);
        if (row.collected > 0) {
            EXPECT_EQ(to_hex(key_from_text(text)), row.key_hex);
        }
    }
}

TEST(KeyText, CharacterValuesAndThe33rdByte)
{
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t v = 0; v < alphabet.size(); ++v)
        EXPECT_EQ(key_char_value(alphabet[v]), static_cast<int>(v)) << alphabet[v];
    for (int c = -128; c < 128; ++c) {
        char ch = static_cast<char>(c);
        if (alphabet.find(ch) == std::string::npos) {
            EXPECT_EQ(key_char_value(ch), -1) << c;
        }
    }
    // The missing 44th character of a 43-character text repeats the first ('Y' = 24) and
    // lands in the unused 33rd byte: (c mod 4) * 64 + 24 with c = 'Q' = 16.
    std::vector<std::string_view> arguments = {KEY_BASE64};
    KeyText text = parse_command_line(arguments);
    EXPECT_EQ(text.values[43], 24);
    EXPECT_EQ(decode_key_text(text)[32], 24);
}

} // namespace
