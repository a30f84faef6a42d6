#include "tests/support/InteractiveProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

InteractiveProcess::InteractiveProcess(const std::string& program, const std::vector<std::string>& args,
                                       const std::vector<std::string>& env) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0)
        return;
    m_Pid = fork();
    if (m_Pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            close(fd);
        for (const std::string& e : env) {
            const size_t eq = e.find('=');
            const std::string name = e.substr(0, eq), value = eq == std::string::npos ? "" : e.substr(eq + 1);
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
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
    m_In = in[1];
    m_Out_ = out[0];
    m_Err = err[0];
    signal(SIGPIPE, SIG_IGN);
}

InteractiveProcess::~InteractiveProcess() {
    if (m_Pid > 0) {
        kill(m_Pid, SIGKILL);
        Finish();
    }
}

void InteractiveProcess::Write(const std::string& text) {
    if (m_In >= 0) {
        ssize_t ignored = write(m_In, text.data(), text.size());
        (void)ignored;
    }
}

namespace {
// Appends what the pipe has; closes it (and sets it to -1) at its end.
void Drain(int& fd, std::string& into) {
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<size_t>(n));
    } else {
        close(fd);
        fd = -1;
    }
}
}  // namespace

void InteractiveProcess::Pump(int timeoutMillis) {
    pollfd fds[2] = {{m_Out_, POLLIN, 0}, {m_Err, POLLIN, 0}};
    if (poll(fds, 2, timeoutMillis) <= 0)
        return;
    if (m_Out_ >= 0 && (fds[0].revents & (POLLIN | POLLHUP)))
        Drain(m_Out_, m_Out);
    if (m_Err >= 0 && (fds[1].revents & (POLLIN | POLLHUP)))
        Drain(m_Err, m_ErrText);
}

bool InteractiveProcess::ReadUntil(const std::string& text, int timeoutMillis) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMillis);
    while (true) {
        const size_t found = m_Out.find(text, m_Consumed);
        if (found != std::string::npos) {
            m_Consumed = found + text.size();
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now())
                .count();
        if (left <= 0 || (m_Out_ < 0 && m_Err < 0))
            return false;
        Pump(static_cast<int>(left));
    }
}

void InteractiveProcess::Signal(int signal) {
    if (m_Pid > 0)
        kill(m_Pid, signal);
}

const std::string& InteractiveProcess::Errors() {
    Pump(0);
    return m_ErrText;
}

int InteractiveProcess::Finish() {
    if (m_In >= 0) {
        close(m_In);
        m_In = -1;
    }
    while (m_Out_ >= 0 || m_Err >= 0)
        Pump(1000);
    int status = 0;
    if (m_Pid > 0)
        waitpid(m_Pid, &status, 0);
    m_Pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
