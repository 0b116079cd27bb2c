// The process's side of the filter: command line, raw reads and writes of the standard
// file descriptors, the time-stamp counter, and hiding the key from the process list.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "crypt/filter.hpp"

// The key text: the arguments after the program name, in order.
std::vector<std::string_view> platform_arguments(int argc, char** argv);

// Overwrites the arguments after the program name in place, so /proc/PID/cmdline and the
// process list no longer show the key. Views returned by platform_arguments then see zeros.
void platform_wipe_arguments(int argc, char** argv);

// The processor's cycle counter on x86; elsewhere a 64-bit value that changes from run to run.
uint64_t platform_timestamp();

// Makes a write to a closed pipe fail with an error instead of killing the process.
void platform_ignore_broken_pipe();

// Reads the file descriptor directly; an error counts as the end of input.
class FdReader final : public ByteReader {
public:
    explicit FdReader(int fd) : fd_(fd) {}
    size_t read(std::span<uint8_t> into) override;

private:
    int fd_;
};

// Writes the file descriptor directly, continuing after partial writes; fails on an error
// or when the descriptor takes no more bytes.
class FdWriter final : public ByteWriter {
public:
    explicit FdWriter(int fd) : fd_(fd) {}
    bool write(std::span<const uint8_t> bytes) override;

private:
    int fd_;
};
