// End-to-end tests of the zvcrypt program: pipes fed in small pieces, exit statuses, closed
// output, the key hidden from /proc, and agreement with OpenSSL's AES-256.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/crypt/process.hpp"
#include "tests/crypt/test_support.hpp"

namespace {

const std::string PROGRAM = ZVCRYPT_PROGRAM;
const AesKey TEST_KEY = array_from_hex<32>("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
const std::string KEY_TEXT = base64_of_key(TEST_KEY);

// Flag arguments of each mode.
std::string flags_of(FilterMode mode)
{
    switch (mode) {
    case MODE_CBC_DECRYPT:
        return "";
    case MODE_CBC_ENCRYPT:
        return "-";
    case MODE_ECB_DECRYPT:
        return "*";
    case MODE_ECB_ENCRYPT:
        return "-*";
    }
    return "";
}

ProcessResult zvcrypt(FilterMode mode, const std::string& key_text, std::span<const uint8_t> input,
                      std::span<const size_t> chunks = {})
{
    return run_process({PROGRAM, flags_of(mode), key_text}, input, STDOUT_PIPE, chunks);
}

TEST(Program, PipeFedInSmallIrregularPiecesLosesNothing)
{
    std::mt19937_64 rng(3);
    Bytes input = random_bytes(rng, 40000 + 11);
    const size_t chunks[] = {1, 5, 16, 3, 31, 700, 7, 2, 15, 17, 64};
    Cipher cipher = make_cipher(TEST_KEY, CIPHER_PORTABLE);
    struct Row {
        const char* name;
        FilterMode encrypt, decrypt;
    };
    for (const Row& row : {Row{"ECB", MODE_ECB_ENCRYPT, MODE_ECB_DECRYPT}, Row{"CBC", MODE_CBC_ENCRYPT, MODE_CBC_DECRYPT}}) {
        SCOPED_TRACE(row.name);
        ProcessResult encrypted = zvcrypt(row.encrypt, KEY_TEXT, input, chunks);
        ASSERT_EQ(encrypted.exit_status, 0);
        ASSERT_EQ(encrypted.output.size(), row.encrypt == MODE_CBC_ENCRYPT ? 16 + 40016 + 11 : 40016 + 11);
        if (row.encrypt == MODE_ECB_ENCRYPT) {
            EXPECT_TRUE(encrypted.output == model_encrypt(MODE_ECB_ENCRYPT, cipher, input, 0));
        }
        ProcessResult decrypted = zvcrypt(row.decrypt, KEY_TEXT, encrypted.output, chunks);
        EXPECT_EQ(decrypted.exit_status, 0);
        EXPECT_TRUE(decrypted.output == input);
    }
}

TEST(Program, ExitStatusesAndOutputSizes)
{
    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        size_t input_size;
        StdoutKind stdout_kind;
        int status;
        size_t output_size;
    };
    const std::string key44 = KEY_TEXT.substr(0, 43) + "A";
    const Row rows[] = {
        {"no arguments", {}, 100, STDOUT_PIPE, 2, 0},
        {"flags but no key character", {"-*"}, 100, STDOUT_PIPE, 2, 0},
        {"garbled key text", {"== !!", "\xff\xfe"}, 100, STDOUT_PIPE, 2, 0},
        {"ECB encryption of nothing", {"-*", KEY_TEXT}, 0, STDOUT_PIPE, 0, 0},
        {"ECB decryption of nothing", {"*", KEY_TEXT}, 0, STDOUT_PIPE, 0, 0},
        {"ECB decryption of 1 byte", {"*", KEY_TEXT}, 1, STDOUT_PIPE, 2, 0},
        {"ECB decryption of 15 bytes", {"*", KEY_TEXT}, 15, STDOUT_PIPE, 2, 0},
        {"ECB decryption of 20 bytes", {"*", KEY_TEXT}, 20, STDOUT_PIPE, 0, 4},
        {"CBC decryption of nothing", {KEY_TEXT}, 0, STDOUT_PIPE, 2, 0},
        {"CBC decryption of 15 bytes", {KEY_TEXT}, 15, STDOUT_PIPE, 2, 0},
        {"CBC decryption of 16 bytes", {KEY_TEXT}, 16, STDOUT_PIPE, 0, 0},
        {"CBC decryption of 17 bytes", {KEY_TEXT}, 17, STDOUT_PIPE, 2, 0},
        {"CBC decryption of 31 bytes", {KEY_TEXT}, 31, STDOUT_PIPE, 2, 0},
        {"CBC decryption of 33 bytes", {KEY_TEXT}, 33, STDOUT_PIPE, 0, 1},
        {"'-' after the 44th key character decrypts", {key44, "-"}, 16, STDOUT_PIPE, 0, 0},
        {"closed output, ECB encryption", {"-*", KEY_TEXT}, 100, STDOUT_CLOSED, 1, 0},
        {"broken pipe, CBC encryption of nothing", {"-", KEY_TEXT}, 0, STDOUT_BROKEN_PIPE, 1, 0},
        {"broken pipe, large ECB decryption", {"*", KEY_TEXT}, 3 << 20, STDOUT_BROKEN_PIPE, 1, 0},
        {"closed output with nothing to write", {"-*", KEY_TEXT}, 0, STDOUT_CLOSED, 0, 0},
    };
    std::mt19937_64 rng(5);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> argv = {PROGRAM};
        argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
        ProcessResult result = run_process(argv, random_bytes(rng, row.input_size), row.stdout_kind);
        EXPECT_EQ(result.signal, 0);
        EXPECT_EQ(result.exit_status, row.status);
        EXPECT_EQ(result.output.size(), row.output_size);
    }
}

TEST(Program, CbcEncryptionsOfTheSameInputDifferInEveryBlock)
{
    Bytes input(64, 0x41);
    ProcessResult first = zvcrypt(MODE_CBC_ENCRYPT, KEY_TEXT, input);
    ProcessResult second = zvcrypt(MODE_CBC_ENCRYPT, KEY_TEXT, input);
    ASSERT_EQ(first.output.size(), 80u);
    ASSERT_EQ(second.output.size(), 80u);
    for (size_t offset = 0; offset < 80; offset += 16) {
        SCOPED_TRACE(offset);
        EXPECT_NE(to_hex(std::span(first.output).subspan(offset, 16)), to_hex(std::span(second.output).subspan(offset, 16)));
    }
}

TEST(Program, KeyIsGoneFromProcCmdlineWhileTheStreamRuns)
{
    ChildProcess child = spawn_process({PROGRAM, "-*", KEY_TEXT});
    // The first block's output proves the key was read and the filter is running; the
    // input stays open, so the process is still there.
    Bytes block(16, 0x33);
    ASSERT_EQ(write(child.stdin_fd, block.data(), block.size()), 16);
    Bytes first = read_output(child, 16);
    ASSERT_EQ(first.size(), 16u);

    std::ifstream file("/proc/" + std::to_string(child.pid) + "/cmdline", std::ios::binary);
    std::string cmdline((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(cmdline.find("zvcrypt"), std::string::npos);
    for (size_t start = 0; start + 8 <= 43; start += 4) {
        SCOPED_TRACE(start);
        EXPECT_EQ(cmdline.find(KEY_TEXT.substr(start, 8)), std::string::npos);
    }
    ProcessResult result = finish_process(child, Bytes(4, 0x44), {}, first);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output.size(), 16u + 16u + 4u);
}

// OpenSSL as the oracle: raw AES-256 ECB and CBC without padding.
struct OpenSsl {
    static bool available()
    {
        static const bool found = run_process({"openssl", "version"}, {}).exit_status == 0;
        return found;
    }

    static Bytes run(const char* cipher, bool decrypt, const AesKey& key, std::span<const uint8_t> iv,
                     std::span<const uint8_t> input)
    {
        std::vector<std::string> argv = {"openssl", "enc", cipher, "-nopad", "-K", to_hex(key)};
        if (decrypt)
            argv.push_back("-d");
        if (!iv.empty()) {
            argv.push_back("-iv");
            argv.push_back(to_hex(iv));
        }
        ProcessResult result = run_process(argv, input);
        EXPECT_EQ(result.exit_status, 0) << "openssl " << cipher;
        return result.output;
    }
};

Bytes slice(const Bytes& bytes, size_t from, size_t count)
{
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

TEST(Program, AgreesWithOpenSsl)
{
    if (!OpenSsl::available())
        GTEST_SKIP() << "openssl not installed";
    std::mt19937_64 rng(11);
    const size_t lengths[] = {0, 1, 15, 16, 17, 33, 100, 4095, 65536 + 7};
    for (size_t length : lengths) {
        AesKey key = random_key(rng);
        std::string key_text = base64_of_key(key);
        Bytes plain = random_bytes(rng, length);
        size_t r = length % 16;
        size_t full = length - r;
        SCOPED_TRACE(testing::Message() << length << " bytes, key " << to_hex(key));

        // ECB encryption: OpenSSL decrypts every block back to the plaintext; a partial last
        // block was padded with the end of the ciphertext block before it (zeros if none).
        ProcessResult ecb = zvcrypt(MODE_ECB_ENCRYPT, key_text, plain);
        ASSERT_EQ(ecb.exit_status, 0);
        size_t blocks_len = full + (r ? 16 : 0);
        ASSERT_EQ(ecb.output.size(), blocks_len + r);
        Bytes expected = plain;
        if (r) {
            for (size_t i = r; i < 16; ++i)
                expected.push_back(full ? ecb.output[full - 16 + i] : 0);
            EXPECT_EQ(slice(ecb.output, blocks_len, r), slice(ecb.output, full, r)) << "trailer";
        }
        EXPECT_EQ(OpenSsl::run("-aes-256-ecb", true, key, {}, slice(ecb.output, 0, blocks_len)), expected);

        // CBC encryption: after the first block C0 the stream is OpenSSL's CBC with IV C0 over
        // the plaintext padded with the end of the previous plaintext block (zeros if none).
        ProcessResult cbc = zvcrypt(MODE_CBC_ENCRYPT, key_text, plain);
        ASSERT_EQ(cbc.exit_status, 0);
        ASSERT_EQ(cbc.output.size(), 16 + blocks_len + r);
        Bytes c0 = slice(cbc.output, 0, 16);
        Bytes padded = plain;
        for (size_t i = r; r && i < 16; ++i)
            padded.push_back(full ? plain[full - 16 + i] : 0);
        EXPECT_EQ(OpenSsl::run("-aes-256-cbc", false, key, c0, padded), slice(cbc.output, 16, blocks_len));
        Bytes t = OpenSsl::run("-aes-256-ecb", true, key, {}, c0);
        EXPECT_EQ(to_hex(slice(t, 8, 8)), "0000000000000000") << "C0 decrypts to the time stamp and zeros";

        // Decryption of OpenSSL's output, with a trailer of r arbitrary bytes after it:
        // the last block is cut to r bytes.
        Bytes random_blocks = random_bytes(rng, full + 16);
        Bytes trailer = random_bytes(rng, r);
        Bytes iv = random_bytes(rng, 16);
        Bytes expected_plain = slice(random_blocks, 0, r ? full + r : full + 16);

        Bytes ecb_stream = OpenSsl::run("-aes-256-ecb", false, key, {}, random_blocks);
        ecb_stream.insert(ecb_stream.end(), trailer.begin(), trailer.end());
        ProcessResult ecb_back = zvcrypt(MODE_ECB_DECRYPT, key_text, ecb_stream);
        EXPECT_EQ(ecb_back.exit_status, 0);
        EXPECT_EQ(ecb_back.output, expected_plain);

        Bytes cbc_stream = iv;
        Bytes cbc_blocks = OpenSsl::run("-aes-256-cbc", false, key, iv, random_blocks);
        cbc_stream.insert(cbc_stream.end(), cbc_blocks.begin(), cbc_blocks.end());
        cbc_stream.insert(cbc_stream.end(), trailer.begin(), trailer.end());
        ProcessResult cbc_back = zvcrypt(MODE_CBC_DECRYPT, key_text, cbc_stream);
        EXPECT_EQ(cbc_back.exit_status, 0);
        EXPECT_EQ(cbc_back.output, expected_plain);
    }
}

} // namespace
