// Running a program as a child process for end-to-end tests: feeding its standard input in
// chosen pieces, collecting its standard output, and its exit status.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

enum StdoutKind {
    STDOUT_PIPE,        // collected by the test
    STDOUT_CLOSED,      // file descriptor 1 not open in the child
    STDOUT_BROKEN_PIPE, // a pipe whose reading end is already closed
};

struct ChildProcess {
    pid_t pid = -1;
    int stdin_fd = -1;  // the test's end of the child's standard input
    int stdout_fd = -1; // the test's end of the child's standard output, or -1
};

struct ProcessResult {
    int exit_status = -1; // -1 when the child was killed by a signal
    int signal = 0;
    std::vector<uint8_t> output;
};

ChildProcess spawn_process(const std::vector<std::string>& argv, StdoutKind stdout_kind = STDOUT_PIPE);

// Reads what the child has written so far until at least `count` bytes are there (or its
// output ends) without closing its input.
std::vector<uint8_t> read_output(ChildProcess& child, size_t count);

// Feeds `input` in pieces whose sizes cycle through `chunks` (pausing briefly after each piece
// so that the child sees short reads), closes the input, collects all output, and waits.
ProcessResult finish_process(ChildProcess& child, std::span<const uint8_t> input,
                             std::span<const size_t> chunks = {}, std::vector<uint8_t> output_so_far = {});

ProcessResult run_process(const std::vector<std::string>& argv, std::span<const uint8_t> input,
                          StdoutKind stdout_kind = STDOUT_PIPE, std::span<const size_t> chunks = {});
