// libFuzzer target for zvcrypt: key-text parsing and the stream filter, in process through
// its reader and writer abstraction. Input layout:
//   byte 0        length k of the key text (k = byte % 64)
//   bytes 1..k    key text; a NUL byte splits it into separate arguments
//   byte k+1      run choices: buffer size, read pattern, write failure, cipher path
//   bytes k+2..   the stream
// A decryption mode decrypts the stream (with both cipher paths, which must agree); an
// encryption mode encrypts it and decrypts the result, which must give the stream back.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "crypt/cipher.hpp"
#include "crypt/filter.hpp"
#include "crypt/key_text.hpp"

namespace {

// Hands out the input in pieces whose sizes follow a small pattern, as a pipe would.
class PieceReader final : public ByteReader {
public:
    PieceReader(std::span<const uint8_t> data, uint8_t pattern) : data_(data), pattern_(pattern) {}
    size_t read(std::span<uint8_t> into) override {
        size_t piece = pattern_ == 0 ? into.size() : 1 + (pattern_ * (calls_++ + 1)) % 37;
        size_t n = std::min<size_t>({piece, into.size(), data_.size() - pos_});
        if (n > 0) std::memcpy(into.data(), data_.data() + pos_, n);
        pos_ += n;
        return n;
    }

private:
    std::span<const uint8_t> data_;
    uint8_t pattern_;
    size_t pos_ = 0;
    size_t calls_ = 0;
};

// Collects the output; fails every write after `fail_after` bytes when that is not SIZE_MAX.
class CollectWriter final : public ByteWriter {
public:
    explicit CollectWriter(size_t fail_after) : fail_after_(fail_after) {}
    bool write(std::span<const uint8_t> bytes) override {
        if (bytes.empty()) std::abort();  // the filter never writes nothing
        if (out.size() + bytes.size() > fail_after_) return false;
        out.insert(out.end(), bytes.begin(), bytes.end());
        return true;
    }
    std::vector<uint8_t> out;

private:
    size_t fail_after_;
};

struct Outcome {
    FilterStatus status;
    std::vector<uint8_t> out;
};

Outcome filter(FilterMode mode, const Cipher& cipher, std::span<const uint8_t> input, size_t buffer_size,
               uint8_t pattern, size_t fail_after) {
    PieceReader reader(input, pattern);
    CollectWriter writer(fail_after);
    FilterStatus status = run_filter(mode, cipher, 0x0123456789abcdefull, reader, writer, buffer_size);
    return {status, std::move(writer.out)};
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_zvcrypt: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    size_t key_length = std::min<size_t>(data[0] % 64, size - 2);
    std::string_view key_bytes(reinterpret_cast<const char*>(data + 1), key_length);
    uint8_t choices = data[1 + key_length];
    std::span<const uint8_t> stream(data + 2 + key_length, size - 2 - key_length);

    std::vector<std::string_view> arguments;
    for (size_t start = 0;;) {
        size_t end = key_bytes.find('\0', start);
        arguments.push_back(key_bytes.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    KeyText text = parse_command_line(arguments);
    if (text.collected > KEY_TEXT_LENGTH) fail("more key characters than the key holds");
    if (text.flags > (FLAG_ENCRYPT | FLAG_ECB)) fail("unknown flag bits");
    for (uint8_t v : text.values)
        if (text.collected > 0 && v > 63) fail("key value outside the Base64 range");
    if (text.collected == 0) return 0;

    FilterMode mode = key_text_mode(text);
    AesKey key = key_from_text(text);
    // Small buffers cross run boundaries often; the program's own size only makes runs slower.
    const size_t buffer_sizes[4] = {64, 80, 272, 4096};
    size_t buffer_size = buffer_sizes[choices & 3];
    uint8_t pattern = static_cast<uint8_t>((choices >> 2) & 7);
    size_t fail_after = (choices & 0x20) ? stream.size() / 2 : SIZE_MAX;
    CipherPath path = (choices & 0x40) ? CIPHER_AESNI : CIPHER_PORTABLE;

    Cipher cipher{};
    cipher_init(cipher, key, path);
    FilterMode decrypt_mode = static_cast<FilterMode>(static_cast<unsigned>(mode) & ~unsigned{FLAG_ENCRYPT});

    if ((static_cast<unsigned>(mode) & FLAG_ENCRYPT) == 0) {
        Outcome got = filter(mode, cipher, stream, buffer_size, pattern, fail_after);
        if (got.out.size() > stream.size()) fail("decryption output longer than its input");
        if (got.status == FILTER_OK && fail_after != SIZE_MAX && got.out.size() > fail_after)
            fail("output beyond a failed write");
        // The other cipher path and another run cut must give the same plaintext.
        Cipher other{};
        cipher_init(other, key, path == CIPHER_AESNI ? CIPHER_PORTABLE : CIPHER_AESNI);
        Outcome again = filter(mode, other, stream, 8192, 0, SIZE_MAX);
        if (fail_after == SIZE_MAX && (again.status != got.status || again.out != got.out))
            fail("the two cipher paths or two run cuts disagree");
        cipher_wipe(other);
    } else {
        Outcome sealed = filter(mode, cipher, stream, buffer_size, pattern, fail_after);
        if (fail_after == SIZE_MAX) {
            if (sealed.status != FILTER_OK) fail("encryption failed without a failed write");
            Outcome opened = filter(decrypt_mode, cipher, sealed.out, buffer_size, pattern, SIZE_MAX);
            if (opened.status != FILTER_OK) fail("decryption of our own stream failed");
            if (opened.out.size() != stream.size() ||
                !std::equal(opened.out.begin(), opened.out.end(), stream.begin()))
                fail("round trip changed the stream");
        } else if (sealed.status != FILTER_WRITE_FAILED && sealed.out.size() > fail_after) {
            fail("output beyond a failed write");
        }
    }
    cipher_wipe(cipher);
    return 0;
}
