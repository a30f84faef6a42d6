#include "tests/support/HostFixture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

void HostFixture::SetUp() {
    char pattern[] = "/tmp/corvane-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dataDir = pattern;
    rtmemu::EmulatorOptions options;
    options.autoApprove = true;
    emulator = std::make_unique<rtmemu::Emulator>(options);
    std::string error;
    ASSERT_TRUE(emulator->Start(&error)) << error;
}

void HostFixture::TearDown() {
    if (emulator)
        emulator->Stop();
    std::system(("rm -rf '" + dataDir + "'").c_str());
}

std::vector<std::string> HostFixture::HostArgs(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--data", dataDir, "--service", emulator->BaseUrl()});
    return args;
}

std::vector<std::string> HostFixture::HostEnv() const {
    return {"RTM_CALL_SPACING_MS=" + callSpacing, "DISPLAY=", "WAYLAND_DISPLAY="};
}

CommandResult HostFixture::Host(std::vector<std::string> args, const std::string& input) {
    // RunCommand keeps the environment; the spacing goes through it.
    if (callSpacing.empty())
        unsetenv("RTM_CALL_SPACING_MS");
    else
        setenv("RTM_CALL_SPACING_MS", callSpacing.c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    return RunCommand(BuiltProgram("corvane-host"), HostArgs(std::move(args)), input);
}

std::unique_ptr<InteractiveProcess> HostFixture::Shell(const std::string& calendar) {
    return std::make_unique<InteractiveProcess>(BuiltProgram("corvane-host"), HostArgs({"shell", calendar}),
                                                HostEnv());
}

void HostFixture::SetUpCalendar(const std::string& calendar, const std::vector<std::string>& settings) {
    std::vector<std::string> args = {"settings", calendar};
    args.insert(args.end(), settings.begin(), settings.end());
    CommandResult set = Host(args);
    ASSERT_EQ(set.exitCode, 0) << set.err;
    CommandResult authorise = Host({"authorise", calendar});
    ASSERT_EQ(authorise.exitCode, 0) << authorise.err;
}

std::string HostFixture::ReadData(const std::string& name) const {
    std::ifstream in(dataDir + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void HostFixture::RemoveData(const std::string& name) const {
    std::remove((dataDir + "/" + name).c_str());
}

size_t CountLines(const std::string& text, const std::string& fragment) {
    std::istringstream lines(text);
    size_t count = 0;
    for (std::string line; std::getline(lines, line);)
        if (line.find(fragment) != std::string::npos)
            ++count;
    return count;
}
