// `shell CAL`: one running handler driven by commands read line by line from standard input, so
// that multi-step scenarios run against one handler as in the desktop application.
#include "host/CalendarDriver.h"
#include "host/CommandRegistry.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace {
const char* const SHELL_HELP =
    "commands: start | refresh | write FILE.ics | delete UID | wait | list | export FILE.ics | disable | "
    "quit";

// Runs one line; false when it failed. `quit` is set by "quit".
bool RunLine(CalendarDriver& driver, const wxString& line, bool& quit) {
    wxString word = line.BeforeFirst(wxT(' ')).Strip(wxString::both);
    wxString rest = line.AfterFirst(wxT(' ')).Strip(wxString::both);
    wxString error;
    bool ok = true;
    if (word.empty() || word.StartsWith(wxT("#"))) {
        return true;
    } else if (word == wxT("start")) {
        driver.Start();
    } else if (word == wxT("refresh")) {
        driver.Refresh();
    } else if (word == wxT("write") && !rest.empty()) {
        ok = driver.Write(rest, error);
    } else if (word == wxT("delete") && !rest.empty()) {
        ok = driver.Delete(rest, error);
    } else if (word == wxT("wait")) {
        // An optional number of seconds to wait for work to start, such as the next poll.
        long seconds = 0;
        if (!rest.empty() && (!rest.ToLong(&seconds) || seconds <= 0)) {
            std::printf("error: wait takes a number of seconds\n");
            return false;
        }
        const HostContext::WaitResult result = driver.Wait(seconds * 1000);
        std::printf("%s\n", WaitResultText(result));
        ok = result == HostContext::WaitResult::Idle || result == HostContext::WaitResult::Unreachable;
    } else if (word == wxT("list")) {
        driver.PrintTasks();
    } else if (word == wxT("export") && !rest.empty()) {
        ok = driver.Export(rest, error);
    } else if (word == wxT("disable")) {
        driver.Disable();
    } else if (word == wxT("quit")) {
        quit = true;
    } else {
        error = wxString::Format(wxT("unknown shell command \"%s\" (%s)"), line, SHELL_HELP);
        ok = false;
    }
    if (!ok && !error.empty())
        std::printf("error: %s\n", static_cast<const char*>(error.utf8_str()));
    std::fflush(stdout);
    return ok;
}

int RunShell(HostSession& session, const std::vector<wxString>& args) {
    if (args.size() != 1)
        return CommandError(wxT("usage: shell CAL"));
    if (!session.IsKnownCalendar(args[0])) {
        return CommandError(wxString::Format(wxT("unknown calendar \"%s\""), args[0]));
    }
    CalendarDriver driver(session, args[0]);
    wxString error;
    if (!driver.Create(error))
        return CommandError(error);
    bool failed = false;
    bool quit = false;
    std::string line;
    while (!quit && std::getline(std::cin, line)) {
        failed = !RunLine(driver, wxString::FromUTF8(line.c_str()), quit) || failed;
        if (!session.Flush(error))
            std::printf("error: %s\n", static_cast<const char*>(error.utf8_str()));
    }
    driver.Destroy();
    return failed ? 1 : 0;
}
}  // namespace

CORVANE_COMMAND("shell", "shell CAL", "drives one running handler with commands read from standard input",
                RunShell);
