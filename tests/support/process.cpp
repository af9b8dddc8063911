#include "tests/support/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace test {
namespace {

[[noreturn]] void Exec(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

int WaitFor(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Reads fd until it closes (or, for a terminal, reports EIO at its end).
bool ReadSome(int fd, std::string& into)
{
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR)
        return true;
    if (n <= 0)
        return false;
    into.append(buffer, (size_t)n);
    return true;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, OutputWatcher watcher)
{
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << strerror(errno);
        return ProcessResult{-1, "", ""};
    }
    pid_t pid = fork();
    if (pid == 0) {
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        Exec(argv);
    }
    close(out[1]);
    close(err[1]);

    ProcessResult result{-1, "", ""};
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (poll(fds, 2, -1) < 0 && errno == EINTR)
            continue;
        for (int i = 0; i < 2; i++) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            std::string& into = i == 0 ? result.out : result.err;
            size_t before = into.size();
            if (!ReadSome(fds[i].fd, into)) {
                close(fds[i].fd);
                fds[i].fd = -1;
            }
            if (i == 0 && into.size() > before && watcher)
                watcher(pid, into);
        }
    }
    result.exitStatus = WaitFor(pid);
    return result;
}

ProcessResult RunInTerminal(const std::vector<std::string>& argv)
{
    int master = -1;
    struct winsize size = {};
    size.ws_row = 24;
    size.ws_col = 100;
    pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid == 0)
        Exec(argv);
    ProcessResult result{-1, "", ""};
    if (pid < 0) {
        ADD_FAILURE() << "forkpty: " << strerror(errno);
        return result;
    }
    while (ReadSome(master, result.out)) {
    }
    close(master);
    result.exitStatus = WaitFor(pid);
    return result;
}

}  // namespace test
