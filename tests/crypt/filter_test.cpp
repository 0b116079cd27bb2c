// Filter tests in process: the stream format against a block-by-block model, round trips,
// the end conditions and exit statuses, failing writers, and random decryption inputs.
#include <gtest/gtest.h>

#include "tests/crypt/test_support.hpp"

namespace {

const AesKey TEST_KEY = array_from_hex<32>("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");

// Irregular read sizes, as a pipe fed by a slow writer delivers them.
const std::vector<size_t> IRREGULAR = {1, 7, 16, 3, 15, 33, 2, 100, 5, 4096, 17, 1, 65539};

struct ChainRow {
    const char* name;
    FilterMode encrypt;
    FilterMode decrypt;
};
constexpr ChainRow CHAININGS[] = {
    {"ECB", MODE_ECB_ENCRYPT, MODE_ECB_DECRYPT},
    {"CBC", MODE_CBC_ENCRYPT, MODE_CBC_DECRYPT},
};

// Output lengths straight from the format: whole blocks, a padded last block, its trailer.
TEST(FilterFormat, OutputLengthsOfSmallInputs)
{
    struct Row {
        FilterMode mode;
        size_t input, output;
    };
    const Row rows[] = {
        {MODE_ECB_ENCRYPT, 0, 0},  {MODE_ECB_ENCRYPT, 16, 16}, {MODE_ECB_ENCRYPT, 20, 36},
        {MODE_CBC_ENCRYPT, 0, 16}, {MODE_CBC_ENCRYPT, 16, 32}, {MODE_CBC_ENCRYPT, 17, 49},
    };
    Cipher cipher = make_cipher(TEST_KEY, cipher_best_path());
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << row.mode << ", " << row.input << " bytes");
        Bytes input(row.input, 0x5A);
        FilterResult encrypted = run_in_memory(row.mode, cipher, input);
        EXPECT_EQ(encrypted.status, FILTER_OK);
        ASSERT_EQ(encrypted.output.size(), row.output);
        size_t r = row.input % 16;
        if (r != 0) { // the trailer repeats the start of the padded block before it
            const uint8_t* last = encrypted.output.data() + row.output - r - 16;
            EXPECT_TRUE(std::equal(last, last + r, encrypted.output.end() - static_cast<std::ptrdiff_t>(r)));
        }
        FilterMode back = row.mode == MODE_ECB_ENCRYPT ? MODE_ECB_DECRYPT : MODE_CBC_DECRYPT;
        FilterResult decrypted = run_in_memory(back, cipher, encrypted.output);
        EXPECT_EQ(decrypted.status, FILTER_OK);
        EXPECT_EQ(decrypted.output, input);
    }
}

// The batched filter writes exactly what the one-block-at-a-time model writes, and decrypting
// gives the input back: every length 0..130 through small buffers (many run boundaries),
// and inputs that cross the full 1 MiB buffer, with whole and irregular reads, on every path.
TEST(FilterFormat, MatchesBlockModelAndRoundTrips)
{
    std::vector<size_t> small_lengths;
    for (size_t n = 0; n <= 130; ++n)
        small_lengths.push_back(n);
    struct Row {
        CipherPath path;
        size_t buffer_size;
        std::vector<size_t> lengths;
    };
    std::vector<Row> rows = {
        {CIPHER_PORTABLE, 64, small_lengths},
        {CIPHER_PORTABLE, 1000, {0, 5, 999, 1000, 1001, 5009}},
    };
    if (cipher_aesni_available()) {
        rows.push_back({CIPHER_AESNI, 64, small_lengths});
        rows.push_back({CIPHER_AESNI, 200, small_lengths});
        rows.push_back({CIPHER_AESNI, FILTER_BUFFER_SIZE,
                        {0, 100, FILTER_BUFFER_SIZE - 1, FILTER_BUFFER_SIZE + 16, 3 * FILTER_BUFFER_SIZE + 37}});
    }
    const uint64_t timestamp = 0x1122334455667788u;
    std::mt19937_64 rng(7);
    for (const Row& row : rows) {
        Cipher cipher = make_cipher(TEST_KEY, row.path);
        for (const ChainRow& chain : CHAININGS) {
            for (size_t length : row.lengths) {
                for (bool irregular : {false, true}) {
                    SCOPED_TRACE(testing::Message() << chain.name << " on " << path_name(row.path) << ", buffer "
                                                    << row.buffer_size << ", " << length << " bytes, "
                                                    << (irregular ? "irregular" : "whole") << " reads");
                    Bytes input = random_bytes(rng, length);
                    std::vector<size_t> chunks = irregular ? IRREGULAR : std::vector<size_t>{};
                    FilterResult encrypted =
                        run_in_memory(chain.encrypt, cipher, input, chunks, timestamp, row.buffer_size);
                    ASSERT_EQ(encrypted.status, FILTER_OK);
                    ASSERT_TRUE(encrypted.output == model_encrypt(chain.encrypt, cipher, input, timestamp));
                    FilterResult decrypted =
                        run_in_memory(chain.decrypt, cipher, encrypted.output, chunks, 0, row.buffer_size);
                    ASSERT_EQ(decrypted.status, FILTER_OK);
                    ASSERT_TRUE(decrypted.output == input);
                }
            }
        }
    }
}

TEST(FilterFormat, CbcFirstBlockIsTheEncryptedTimestamp)
{
    EXPECT_EQ(to_hex(filter_timestamp_block(0x0123456789ABCDEFu)), "efcdab89674523010000000000000000");
    Cipher cipher = make_cipher(TEST_KEY, cipher_best_path());
    Bytes input(64, 0);
    FilterResult first = run_in_memory(MODE_CBC_ENCRYPT, cipher, input, {}, 1000);
    FilterResult second = run_in_memory(MODE_CBC_ENCRYPT, cipher, input, {}, 1001);
    ASSERT_EQ(first.output.size(), 80u);
    ASSERT_EQ(second.output.size(), 80u);
    Bytes c0(first.output.begin(), first.output.begin() + 16);
    cipher_ecb_decrypt(cipher, c0);
    EXPECT_EQ(to_hex(c0), "e8030000000000000000000000000000");
    // A different time stamp changes every block of the same input.
    for (size_t offset = 0; offset < 80; offset += 16) {
        SCOPED_TRACE(offset);
        EXPECT_FALSE(std::equal(first.output.begin() + static_cast<std::ptrdiff_t>(offset),
                                first.output.begin() + static_cast<std::ptrdiff_t>(offset + 16),
                                second.output.begin() + static_cast<std::ptrdiff_t>(offset)));
    }
}

// Decrypting 16k+r bytes of anything, for every r: the status, and what is written, follow the
// model (the last block is cut to r bytes; too-short inputs write nothing and give 2).
TEST(FilterDecrypt, EveryLengthRemainder)
{
    std::mt19937_64 rng(16);
    Cipher cipher = make_cipher(TEST_KEY, cipher_best_path());
    for (FilterMode mode : {MODE_ECB_DECRYPT, MODE_CBC_DECRYPT}) {
        for (size_t k : {0, 1, 2, 3, 9, 300}) {
            for (size_t r = 0; r < 16; ++r) {
                SCOPED_TRACE(testing::Message() << "mode " << mode << ", 16*" << k << "+" << r);
                Bytes input = random_bytes(rng, 16 * k + r);
                FilterResult actual = run_in_memory(mode, cipher, input, IRREGULAR, 0, 256);
                FilterResult model = model_decrypt(mode, cipher, input);
                EXPECT_EQ(actual.status, model.status);
                ASSERT_TRUE(actual.output == model.output);

                size_t stream_blocks = mode == MODE_CBC_DECRYPT ? k - std::min<size_t>(k, 1) : k;
                bool too_short = mode == MODE_ECB_DECRYPT ? (k == 0 && r > 0) : (k == 0 || (k == 1 && r > 0));
                EXPECT_EQ(actual.status, too_short ? FILTER_BAD_INPUT : FILTER_OK);
                size_t expected = too_short || stream_blocks == 0 ? 0 : 16 * stream_blocks - (r == 0 ? 0 : 16 - r);
                EXPECT_EQ(actual.output.size(), expected);
            }
        }
    }
}

// Deterministic random inputs to both decryptions on every path, with random read and buffer sizes:
// same bytes and status as the model, and clean under the sanitizers.
TEST(FilterDecrypt, RandomInputsFollowTheModel)
{
    std::mt19937_64 rng(99);
    for (CipherPath path : available_paths()) {
        for (int round = 0; round < 400; ++round) {
            AesKey key = random_key(rng);
            Cipher cipher = make_cipher(key, path);
            FilterMode mode = (rng() & 1) ? MODE_ECB_DECRYPT : MODE_CBC_DECRYPT;
            Bytes input = random_bytes(rng, rng() % 300);
            std::vector<size_t> chunks;
            for (size_t i = 0, count = rng() % 6; i < count; ++i)
                chunks.push_back(1 + rng() % 40);
            SCOPED_TRACE(testing::Message() << path_name(path) << " round " << round << ", mode " << mode << ", "
                                            << input.size() << " bytes");
            FilterResult actual = run_in_memory(mode, cipher, input, chunks, 0, 64 + rng() % 200);
            FilterResult model = model_decrypt(mode, cipher, input);
            ASSERT_EQ(actual.status, model.status);
            ASSERT_TRUE(actual.output == model.output);
        }
    }
}

// A failed or short write ends the run at once with status 1; what was written stays a
// prefix of the full output, and a failure early in a long input stops the reading.
TEST(FilterWrite, FailureEndsTheRunWithStatusOne)
{
    std::mt19937_64 rng(1);
    Cipher cipher = make_cipher(TEST_KEY, cipher_best_path());
    Bytes plain = random_bytes(rng, 2 * FILTER_BUFFER_SIZE + 5);
    Bytes ecb = run_in_memory(MODE_ECB_ENCRYPT, cipher, plain).output;
    Bytes cbc = run_in_memory(MODE_CBC_ENCRYPT, cipher, plain, {}, 5).output;
    struct Row {
        const char* name;
        FilterMode mode;
        const Bytes& input;
    };
    const Row rows[] = {{"ECB encrypt", MODE_ECB_ENCRYPT, plain},
                        {"ECB decrypt", MODE_ECB_DECRYPT, ecb},
                        {"CBC encrypt", MODE_CBC_ENCRYPT, plain},
                        {"CBC decrypt", MODE_CBC_DECRYPT, cbc}};
    for (const Row& row : rows) {
        Bytes full = run_in_memory(row.mode, cipher, row.input, {}, 5).output;
        for (size_t limit : {size_t{0}, size_t{1}, size_t{16}, FILTER_BUFFER_SIZE + 3, full.size() - 1}) {
            SCOPED_TRACE(testing::Message() << row.name << ", writer takes " << limit << " bytes");
            MemoryReader reader(row.input);
            MemoryWriter writer(limit);
            EXPECT_EQ(run_filter(row.mode, cipher, 5, reader, writer), FILTER_WRITE_FAILED);
            EXPECT_EQ(writer.bytes().size(), limit);
            EXPECT_TRUE(std::equal(writer.bytes().begin(), writer.bytes().end(), full.begin()));
            if (limit < FILTER_BUFFER_SIZE) {
                EXPECT_LT(reader.position(), row.input.size());
            }
        }
    }
}

} // namespace
