// POSIX implementation of the platform layer.
#include "crypt/platform.hpp"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

std::vector<std::string_view> platform_arguments(int argc, char** argv)
{
    std::vector<std::string_view> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

void platform_wipe_arguments(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        volatile char* p = argv[i];
        for (size_t k = 0; p[k] != '\0'; ++k)
            p[k] = '\0';
    }
}

uint64_t platform_timestamp()
{
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t value = static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
    return value ^ (static_cast<uint64_t>(getpid()) << 40);
#endif
}

void platform_ignore_broken_pipe()
{
    std::signal(SIGPIPE, SIG_IGN);
}

size_t FdReader::read(std::span<uint8_t> into)
{
    for (;;) {
        ssize_t n = ::read(fd_, into.data(), into.size());
        if (n >= 0)
            return static_cast<size_t>(n);
        if (errno != EINTR)
            return 0;
    }
}

bool FdWriter::write(std::span<const uint8_t> bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}
