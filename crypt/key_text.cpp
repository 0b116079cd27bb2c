// Key text scanning, repetition to 44 characters, and Base64 decoding into the key.
#include "crypt/key_text.hpp"

#include "crypt/wipe.hpp"

int key_char_value(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 'A' && u <= 'Z')
        return u - 'A';
    if (u >= 'a' && u <= 'z')
        return 26 + (u - 'a');
    if (u >= '0' && u <= '9')
        return 52 + (u - '0');
    if (u == '+')
        return 62;
    if (u == '/')
        return 63;
    return -1;
}

KeyText parse_command_line(std::span<const std::string_view> arguments)
{
    KeyText text{};
    for (std::string_view argument : arguments) {
        for (char c : argument) {
            // Nothing after the 44th key character is looked at, not even flags.
            if (text.collected == KEY_TEXT_LENGTH)
                break;
            if (c == '-') {
                text.flags |= FLAG_ENCRYPT;
            } else if (c == '*') {
                text.flags |= FLAG_ECB;
            } else if (int value = key_char_value(c); value >= 0) {
                text.values[text.collected++] = static_cast<uint8_t>(value);
            }
        }
    }
    // A short key text is repeated from its first character until there are 44.
    if (text.collected > 0) {
        for (size_t k = text.collected; k < KEY_TEXT_LENGTH; ++k)
            text.values[k] = text.values[k % text.collected];
    }
    return text;
}

FilterMode key_text_mode(const KeyText& text)
{
    return static_cast<FilterMode>(text.flags & (FLAG_ENCRYPT | FLAG_ECB));
}

std::array<uint8_t, KEY_DECODED_LENGTH> decode_key_text(const KeyText& text)
{
    std::array<uint8_t, KEY_DECODED_LENGTH> bytes{};
    for (size_t group = 0; group < KEY_TEXT_LENGTH / 4; ++group) {
        uint32_t a = text.values[4 * group];
        uint32_t b = text.values[4 * group + 1];
        uint32_t c = text.values[4 * group + 2];
        uint32_t d = text.values[4 * group + 3];
        bytes[3 * group] = static_cast<uint8_t>(a * 4 + b / 16);
        bytes[3 * group + 1] = static_cast<uint8_t>((b % 16) * 16 + c / 4);
        bytes[3 * group + 2] = static_cast<uint8_t>((c % 4) * 64 + d);
    }
    return bytes;
}

AesKey key_from_text(const KeyText& text)
{
    std::array<uint8_t, KEY_DECODED_LENGTH> bytes = decode_key_text(text);
    AesKey key{};
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = bytes[i];
    wipe_memory(bytes.data(), bytes.size());
    return key;
}
