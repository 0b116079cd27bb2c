// The four modes over one large buffer. Blocks are processed in place where they were read;
// processed bytes are written from the same buffer. A decryption holds back its latest block
// until it knows whether a trailer follows that shortens it.
#include "crypt/filter.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr size_t BLOCK = 16;
// Room beyond the read area for a padded last block and its trailer.
constexpr size_t BUFFER_SLACK = 2 * BLOCK;

// data[out_begin, in_begin) is processed and not yet written; data[in_begin, in_end) is input
// not yet processed.
struct StreamBuffer {
    ByteReader& reader;
    ByteWriter& writer;
    std::vector<uint8_t> data;
    size_t out_begin = 0;
    size_t in_begin = 0;
    size_t in_end = 0;
    bool input_ended = false;
    bool write_failed = false;
};

// Writes the processed bytes except the last `hold` of them.
void flush(StreamBuffer& s, size_t hold)
{
    if (s.write_failed || s.in_begin - s.out_begin <= hold)
        return;
    size_t end = s.in_begin - hold;
    if (!s.writer.write(std::span<const uint8_t>(s.data.data() + s.out_begin, end - s.out_begin)))
        s.write_failed = true;
    s.out_begin = end;
}

// Returns the number of whole input blocks ready at in_begin. When none is ready it writes
// what is done, then reads until a whole block is there or the input really ends: a short
// read from a pipe or terminal does not mean the end.
size_t fill(StreamBuffer& s, size_t hold)
{
    if (s.in_end - s.in_begin < BLOCK && !s.input_ended) {
        flush(s, hold);
        if (s.write_failed)
            return 0;
        size_t kept = s.in_end - s.out_begin;
        std::memmove(s.data.data(), s.data.data() + s.out_begin, kept);
        s.in_begin -= s.out_begin;
        s.in_end = kept;
        s.out_begin = 0;
        size_t read_limit = s.data.size() - BUFFER_SLACK;
        while (s.in_end - s.in_begin < BLOCK) {
            size_t n = s.reader.read(std::span<uint8_t>(s.data.data() + s.in_end, read_limit - s.in_end));
            if (n == 0) {
                s.input_ended = true;
                break;
            }
            s.in_end += n;
        }
    }
    return (s.in_end - s.in_begin) / BLOCK;
}

std::span<uint8_t> input_run(StreamBuffer& s, size_t blocks)
{
    return std::span<uint8_t>(s.data.data() + s.in_begin, blocks * BLOCK);
}

AesBlock last_block_of(std::span<const uint8_t> run)
{
    AesBlock block;
    std::memcpy(block.data(), run.data() + run.size() - BLOCK, BLOCK);
    return block;
}

size_t remainder_length(const StreamBuffer& s)
{
    return s.in_end - s.in_begin;
}

// Completes the r-byte partial block at in_begin with bytes r..15 of `filler`, so it can be
// encrypted as a whole.
std::span<uint8_t> pad_last_block(StreamBuffer& s, const AesBlock& filler)
{
    size_t r = remainder_length(s);
    uint8_t* block = s.data.data() + s.in_begin;
    std::memcpy(block + r, filler.data() + r, BLOCK - r);
    return std::span<uint8_t>(block, BLOCK);
}

// After the encrypted last block comes a trailer of its first r bytes: from its length the
// decryptor learns how much of the last block is plaintext.
void append_trailer(StreamBuffer& s, size_t r)
{
    uint8_t* block = s.data.data() + s.in_begin;
    std::memcpy(block + BLOCK, block, r);
    s.in_begin += BLOCK + r;
    s.in_end = s.in_begin;
}

FilterStatus finish(StreamBuffer& s)
{
    flush(s, 0);
    return s.write_failed ? FILTER_WRITE_FAILED : FILTER_OK;
}

FilterStatus run_ecb_encrypt(StreamBuffer& s, const Cipher& cipher)
{
    AesBlock previous_ciphertext{}; // pads a partial last block; zeros if it is the only one
    for (;;) {
        size_t blocks = fill(s, 0);
        if (s.write_failed)
            return FILTER_WRITE_FAILED;
        if (blocks == 0)
            break;
        std::span<uint8_t> run = input_run(s, blocks);
        cipher_ecb_encrypt(cipher, run);
        previous_ciphertext = last_block_of(run);
        s.in_begin += run.size();
    }
    if (size_t r = remainder_length(s); r > 0) {
        cipher_ecb_encrypt(cipher, pad_last_block(s, previous_ciphertext));
        append_trailer(s, r);
    }
    return finish(s);
}

FilterStatus run_cbc_encrypt(StreamBuffer& s, const Cipher& cipher, uint64_t timestamp)
{
    // The first output block, the encrypted time stamp, is the chain's initialisation vector.
    AesBlock chain = filter_timestamp_block(timestamp);
    cipher_ecb_encrypt(cipher, chain);
    std::memcpy(s.data.data(), chain.data(), BLOCK);
    s.in_begin = s.in_end = BLOCK;

    AesBlock previous_plaintext{}; // pads a partial last block; zeros if it is the only one
    for (;;) {
        size_t blocks = fill(s, 0);
        if (s.write_failed)
            return FILTER_WRITE_FAILED;
        if (blocks == 0)
            break;
        std::span<uint8_t> run = input_run(s, blocks);
        previous_plaintext = last_block_of(run);
        cipher_cbc_encrypt(cipher, chain, run);
        s.in_begin += run.size();
    }
    if (size_t r = remainder_length(s); r > 0) {
        cipher_cbc_encrypt(cipher, chain, pad_last_block(s, previous_plaintext));
        append_trailer(s, r);
    }
    return finish(s);
}

// Shared by both decryptions once the stream is known to hold a first ciphertext block.
// `decrypt_run` decrypts one run in place. The latest block stays unwritten until the next
// read shows whether a trailer of r bytes follows; then only its first r bytes are plaintext.
template <typename DecryptRun>
FilterStatus run_decrypt_blocks(StreamBuffer& s, DecryptRun decrypt_run)
{
    for (;;) {
        size_t blocks = fill(s, BLOCK);
        if (s.write_failed)
            return FILTER_WRITE_FAILED;
        if (blocks == 0)
            break;
        std::span<uint8_t> run = input_run(s, blocks);
        decrypt_run(run);
        s.in_begin += run.size();
    }
    if (size_t r = remainder_length(s); r > 0)
        s.in_begin -= BLOCK - r; // the trailer's own bytes are never examined
    return finish(s);
}

FilterStatus run_ecb_decrypt(StreamBuffer& s, const Cipher& cipher)
{
    // An empty input is the encryption of nothing; 1..15 bytes cannot be an ECB stream.
    if (fill(s, 0) == 0)
        return remainder_length(s) == 0 ? FILTER_OK : FILTER_BAD_INPUT;
    return run_decrypt_blocks(s, [&](std::span<uint8_t> run) { cipher_ecb_decrypt(cipher, run); });
}

FilterStatus run_cbc_decrypt(StreamBuffer& s, const Cipher& cipher)
{
    // The initialisation vector is not written. A 16-byte stream is the encryption of nothing;
    // fewer than 16 bytes, or 17..31, cannot be a CBC stream.
    if (fill(s, 0) == 0)
        return FILTER_BAD_INPUT;
    AesBlock chain = last_block_of(input_run(s, 1));
    s.in_begin += BLOCK;
    s.out_begin = s.in_begin;
    if (fill(s, 0) == 0)
        return remainder_length(s) == 0 ? FILTER_OK : FILTER_BAD_INPUT;
    return run_decrypt_blocks(s, [&](std::span<uint8_t> run) { cipher_cbc_decrypt(cipher, chain, run); });
}

} // namespace

AesBlock filter_timestamp_block(uint64_t timestamp)
{
    AesBlock block{};
    for (size_t i = 0; i < 8; ++i)
        block[i] = static_cast<uint8_t>(timestamp >> (8 * i));
    return block;
}

FilterStatus run_filter(FilterMode mode, const Cipher& cipher, uint64_t timestamp,
                        ByteReader& reader, ByteWriter& writer, size_t buffer_size)
{
    // The read area must hold what a compaction keeps (a held block and a partial one) plus a block.
    buffer_size = std::max(buffer_size, 4 * BLOCK);
    StreamBuffer s{reader, writer, std::vector<uint8_t>(buffer_size + BUFFER_SLACK)};
    switch (mode) {
    case MODE_ECB_ENCRYPT:
        return run_ecb_encrypt(s, cipher);
    case MODE_ECB_DECRYPT:
        return run_ecb_decrypt(s, cipher);
    case MODE_CBC_ENCRYPT:
        return run_cbc_encrypt(s, cipher, timestamp);
    case MODE_CBC_DECRYPT:
        return run_cbc_decrypt(s, cipher);
    }
    return FILTER_BAD_INPUT;
}
