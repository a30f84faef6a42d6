#include "tests/support/RunCommand.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace {
void Drain(int fd, std::string& into, bool& open) {
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<size_t>(n));
    } else {
        open = false;
    }
}
}  // namespace

std::string BuiltProgram(const std::string& name) {
    return std::string(CORVANE_BIN_DIR) + "/" + name;
}

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input) {
    int in[2], out[2], err[2];
    CommandResult result;
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0)
        return result;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            close(fd);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (!input.empty()) {
        ssize_t ignored = write(in[1], input.data(), input.size());
        (void)ignored;
    }
    close(in[1]);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0)
            break;
        if (outOpen && (fds[0].revents & (POLLIN | POLLHUP)))
            Drain(out[0], result.out, outOpen);
        if (errOpen && (fds[1].revents & (POLLIN | POLLHUP)))
            Drain(err[0], result.err, errOpen);
    }
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}
