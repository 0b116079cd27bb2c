// The stream filter: the four modes and the stream format, on an abstract reader and writer
// so the same code runs on the process's standard streams and on memory buffers in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "crypt/cipher.hpp"
#include "crypt/key_text.hpp"

// A source of input bytes. read() returns how many bytes it placed (possibly fewer than asked
// while more are still to come); 0 means the input has ended or failed.
class ByteReader {
public:
    virtual size_t read(std::span<uint8_t> into) = 0;

protected:
    ~ByteReader() = default;
};

// A sink for output bytes. write() returns false unless every byte was written.
class ByteWriter {
public:
    virtual bool write(std::span<const uint8_t> bytes) = 0;

protected:
    ~ByteWriter() = default;
};

// Also the process exit status.
enum FilterStatus {
    FILTER_OK = 0,          // the whole stream was processed
    FILTER_WRITE_FAILED = 1, // a write failed or was short; what was written stays written
    FILTER_BAD_INPUT = 2,    // no key, or a decryption input too short to be a stream we wrote
};

// Input is taken and output given in runs of up to this many bytes.
constexpr size_t FILTER_BUFFER_SIZE = size_t{1} << 20;

// The first CBC block before encryption: the time stamp in bytes 0..7, low byte first, then zeros.
AesBlock filter_timestamp_block(uint64_t timestamp);

// Runs one whole stream. timestamp seeds the first block of a CBC encryption. buffer_size
// only changes how the stream is cut into runs, never the output; tests make it small to
// cross run boundaries often (sizes below 64 bytes are raised to 64).
FilterStatus run_filter(FilterMode mode, const Cipher& cipher, uint64_t timestamp,
                        ByteReader& reader, ByteWriter& writer, size_t buffer_size = FILTER_BUFFER_SIZE);
