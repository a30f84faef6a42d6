// A program of the build run with pipes, so a test can type lines and read what it prints in
// between (the host's shell, driven step by step).
#pragma once

#include <string>
#include <vector>

class InteractiveProcess {
  public:
    // `env` entries are "NAME=value" added to (or, with an empty value, removed from) the environment.
    InteractiveProcess(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env = {});
    ~InteractiveProcess();
    InteractiveProcess(const InteractiveProcess&) = delete;
    InteractiveProcess& operator=(const InteractiveProcess&) = delete;

    void Write(const std::string& text);
    void WriteLine(const std::string& line) { Write(line + "\n"); }
    // Reads standard output until `text` appears after what earlier reads consumed; false on
    // time-out or end of output. The output up to and including `text` is consumed.
    bool ReadUntil(const std::string& text, int timeoutMillis);
    // Closes standard input and waits for the exit status.
    int Finish();
    // Sends a signal to the program (SIGKILL ends it as a crash would).
    void Signal(int signal);
    // Everything printed so far on standard output and standard error.
    const std::string& Output() const { return m_Out; }
    const std::string& Errors();

  private:
    void Pump(int timeoutMillis);

    int m_Pid = -1;
    int m_In = -1, m_Out_ = -1, m_Err = -1;
    std::string m_Out, m_ErrText;
    size_t m_Consumed = 0;
};
