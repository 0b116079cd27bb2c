// POSIX child processes for the end-to-end tests.
#include "tests/crypt/process.hpp"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

void set_nonblocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

void close_fd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

void pause_briefly()
{
    timespec delay{0, 200000}; // 0.2 ms: lets the child drain the pipe and see a short read
    nanosleep(&delay, nullptr);
}

// Reads what is available; closes the descriptor at the end of the output.
void drain(int& fd, std::vector<uint8_t>& output)
{
    uint8_t buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            output.insert(output.end(), buffer, buffer + n);
            continue;
        }
        if (n < 0 && (errno == EINTR))
            continue;
        if (n == 0 || errno != EAGAIN)
            close_fd(fd);
        return;
    }
}

} // namespace

ChildProcess spawn_process(const std::vector<std::string>& argv, StdoutKind stdout_kind)
{
    // The child may stop reading at any time; a write to its closed input must not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    int in_pipe[2];
    int out_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0)
        return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in_pipe[0], 0);
        if (stdout_kind == STDOUT_CLOSED)
            close(1);
        else
            dup2(out_pipe[1], 1);
        close(in_pipe[0]);
        close(in_pipe[1]);
        close(out_pipe[0]);
        close(out_pipe[1]);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    ChildProcess child{pid, in_pipe[1], out_pipe[0]};
    if (stdout_kind != STDOUT_PIPE)
        close_fd(child.stdout_fd);
    set_nonblocking(child.stdin_fd);
    if (child.stdout_fd >= 0)
        set_nonblocking(child.stdout_fd);
    return child;
}

std::vector<uint8_t> read_output(ChildProcess& child, size_t count)
{
    std::vector<uint8_t> output;
    while (child.stdout_fd >= 0 && output.size() < count) {
        pollfd p{child.stdout_fd, POLLIN, 0};
        poll(&p, 1, -1);
        drain(child.stdout_fd, output);
    }
    return output;
}

ProcessResult finish_process(ChildProcess& child, std::span<const uint8_t> input, std::span<const size_t> chunks,
                             std::vector<uint8_t> output_so_far)
{
    ProcessResult result;
    result.output = std::move(output_so_far);
    size_t written = 0;
    size_t next_chunk = 0;
    size_t chunk_left = chunks.empty() ? input.size() : chunks[0];
    if (written == input.size())
        close_fd(child.stdin_fd);
    while (child.stdin_fd >= 0 || child.stdout_fd >= 0) {
        pollfd fds[2] = {{child.stdin_fd, POLLOUT, 0}, {child.stdout_fd, POLLIN, 0}};
        poll(fds, 2, -1);
        if (child.stdout_fd >= 0 && fds[1].revents != 0)
            drain(child.stdout_fd, result.output);
        if (child.stdin_fd >= 0 && fds[0].revents != 0) {
            size_t want = std::min(chunk_left, input.size() - written);
            ssize_t n = write(child.stdin_fd, input.data() + written, want);
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                close_fd(child.stdin_fd); // the child stopped reading
                continue;
            }
            if (n > 0) {
                written += static_cast<size_t>(n);
                chunk_left -= static_cast<size_t>(n);
            }
            if (written == input.size()) {
                close_fd(child.stdin_fd);
            } else if (chunk_left == 0) {
                chunk_left = chunks[++next_chunk % chunks.size()];
                pause_briefly();
            }
        }
    }
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.exit_status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

ProcessResult run_process(const std::vector<std::string>& argv, std::span<const uint8_t> input,
                          StdoutKind stdout_kind, std::span<const size_t> chunks)
{
    ChildProcess child = spawn_process(argv, stdout_kind);
    return finish_process(child, input, chunks);
}
