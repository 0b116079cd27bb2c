// Helpers shared by the zvcrypt tests: hex and random data, in-memory reader and writer,
// and a block-by-block model of the stream format to compare the filter against.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crypt/aes.hpp"
#include "crypt/cipher.hpp"
#include "crypt/filter.hpp"
#include "crypt/key_text.hpp"

using Bytes = std::vector<uint8_t>;

inline Bytes from_hex(std::string_view hex)
{
    auto nibble = [](char c) -> uint8_t {
        if (c >= '0' && c <= '9')
            return static_cast<uint8_t>(c - '0');
        if (c >= 'a' && c <= 'f')
            return static_cast<uint8_t>(c - 'a' + 10);
        return static_cast<uint8_t>(c - 'A' + 10);
    };
    Bytes bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
    return bytes;
}

inline std::string to_hex(std::span<const uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

template <size_t N>
std::array<uint8_t, N> array_from_hex(std::string_view hex)
{
    Bytes bytes = from_hex(hex);
    std::array<uint8_t, N> out{};
    std::copy_n(bytes.begin(), std::min(N, bytes.size()), out.begin());
    return out;
}

inline Bytes random_bytes(std::mt19937_64& rng, size_t size)
{
    Bytes bytes(size);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(rng() >> 56);
    return bytes;
}

inline AesKey random_key(std::mt19937_64& rng)
{
    AesKey key{};
    for (uint8_t& b : key)
        b = static_cast<uint8_t>(rng() >> 56);
    return key;
}

inline std::string base64_of_key(const AesKey& key)
{
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < 33; i += 3) {
        uint32_t b0 = key[i];
        uint32_t b1 = i + 1 < 32 ? key[i + 1] : 0;
        uint32_t b2 = i + 2 < 32 ? key[i + 2] : 0;
        uint32_t group = (b0 << 16) | (b1 << 8) | b2;
        text += alphabet[(group >> 18) & 63];
        text += alphabet[(group >> 12) & 63];
        text += alphabet[(group >> 6) & 63];
        text += alphabet[group & 63];
    }
    text.resize(43);
    return text + "=";
}

// Hands out the input in pieces whose sizes cycle through `chunks` (all at once when empty),
// as a pipe fed by a slow writer would.
class MemoryReader final : public ByteReader {
public:
    MemoryReader(std::span<const uint8_t> data, std::vector<size_t> chunks = {})
        : data_(data), chunks_(std::move(chunks)) {}

    size_t read(std::span<uint8_t> into) override
    {
        size_t n = std::min(into.size(), data_.size() - position_);
        if (!chunks_.empty())
            n = std::min(n, chunks_[next_chunk_++ % chunks_.size()]);
        if (n > 0)
            std::memcpy(into.data(), data_.data() + position_, n);
        position_ += n;
        return n;
    }

    size_t position() const { return position_; }

private:
    std::span<const uint8_t> data_;
    std::vector<size_t> chunks_;
    size_t next_chunk_ = 0;
    size_t position_ = 0;
};

// Collects the output; after `limit` bytes it takes part of a write and reports failure.
class MemoryWriter final : public ByteWriter {
public:
    explicit MemoryWriter(size_t limit = SIZE_MAX) : limit_(limit) {}

    bool write(std::span<const uint8_t> bytes) override
    {
        size_t room = limit_ - std::min(limit_, bytes_.size());
        size_t n = std::min(room, bytes.size());
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        return n == bytes.size();
    }

    const Bytes& bytes() const { return bytes_; }

private:
    size_t limit_;
    Bytes bytes_;
};

struct FilterResult {
    FilterStatus status;
    Bytes output;
};

inline FilterResult run_in_memory(FilterMode mode, const Cipher& cipher, std::span<const uint8_t> input,
                                  std::vector<size_t> chunks = {}, uint64_t timestamp = 0x0123456789ABCDEFu,
                                  size_t buffer_size = FILTER_BUFFER_SIZE)
{
    MemoryReader reader(input, std::move(chunks));
    MemoryWriter writer;
    FilterStatus status = run_filter(mode, cipher, timestamp, reader, writer, buffer_size);
    return {status, writer.bytes()};
}

inline Cipher make_cipher(const AesKey& key, CipherPath path)
{
    Cipher cipher{};
    cipher_init(cipher, key, path);
    return cipher;
}

// The cipher paths this processor can run.
inline std::vector<CipherPath> available_paths()
{
    std::vector<CipherPath> paths = {CIPHER_PORTABLE};
    if (cipher_aesni_available())
        paths.push_back(CIPHER_AESNI);
    return paths;
}

inline const char* path_name(CipherPath path)
{
    return path == CIPHER_AESNI ? "aes-ni" : "portable";
}

// The stream format transcribed block by block with two 16-byte buffers S and B, one
// 16-byte read at a time, calling the cipher once per block.
struct StreamModel {
    std::span<const uint8_t> input;
    size_t position = 0;

    size_t read_block(AesBlock& buffer)
    {
        size_t n = std::min<size_t>(16, input.size() - position);
        if (n > 0)
            std::memcpy(buffer.data(), input.data() + position, n);
        position += n;
        return n;
    }
};

inline void append(Bytes& out, const AesBlock& block, size_t n = 16)
{
    out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
}

inline void xor_block(AesBlock& target, const AesBlock& other)
{
    for (size_t i = 0; i < 16; ++i)
        target[i] ^= other[i];
}

inline void encrypt_one(const Cipher& cipher, AesBlock& block)
{
    cipher_ecb_encrypt(cipher, block);
}

inline void decrypt_one(const Cipher& cipher, AesBlock& block)
{
    cipher_ecb_decrypt(cipher, block);
}

inline Bytes model_encrypt(FilterMode mode, const Cipher& cipher, std::span<const uint8_t> input, uint64_t timestamp)
{
    StreamModel model{input};
    AesBlock s{};
    AesBlock b{};
    Bytes out;
    if (mode == MODE_ECB_ENCRYPT) {
        for (;;) {
            size_t n = model.read_block(s);
            if (n == 0)
                break;
            encrypt_one(cipher, s);
            append(out, s);
            if (n < 16) {
                append(out, s, n);
                break;
            }
        }
        return out;
    }
    for (size_t i = 0; i < 8; ++i)
        s[i] = static_cast<uint8_t>(timestamp >> (8 * i));
    encrypt_one(cipher, s);
    append(out, s);
    for (;;) {
        size_t n = model.read_block(b);
        if (n == 0)
            break;
        xor_block(s, b);
        encrypt_one(cipher, s);
        append(out, s);
        if (n < 16) {
            append(out, s, n);
            break;
        }
    }
    return out;
}

// Decryption with the exit statuses: 2 when the input is too short to be a stream.
inline FilterResult model_decrypt(FilterMode mode, const Cipher& cipher, std::span<const uint8_t> input)
{
    StreamModel model{input};
    AesBlock s{};
    AesBlock b{};
    Bytes out;
    if (mode == MODE_ECB_DECRYPT) {
        size_t n = model.read_block(s);
        if (n != 16)
            return {n == 0 ? FILTER_OK : FILTER_BAD_INPUT, out};
        for (;;) {
            decrypt_one(cipher, s);
            n = model.read_block(b);
            if (n == 16) {
                append(out, s);
                s = b;
                continue;
            }
            append(out, s, n == 0 ? 16 : n);
            return {FILTER_OK, out};
        }
    }
    if (model.read_block(b) != 16)
        return {FILTER_BAD_INPUT, out};
    size_t n = model.read_block(s);
    if (n != 16)
        return {n == 0 ? FILTER_OK : FILTER_BAD_INPUT, out};
    for (;;) {
        AesBlock q = s;
        decrypt_one(cipher, s);
        xor_block(s, b);
        n = model.read_block(b);
        if (n == 16) {
            append(out, s);
            s = b;
            b = q;
            continue;
        }
        append(out, s, n == 0 ? 16 : n);
        return {FILTER_OK, out};
    }
}
