// corvane-host: stands in for the desktop calendar application; loads the plug-in module and
// drives it from the command line.
#include "host/CommandRegistry.h"
#include "host/HostSession.h"

#include <wx/filename.h>
#include <wx/init.h>

#include <cstdio>
#include <vector>

namespace {
void PrintUsage() {
    std::printf(
        "usage: corvane-host [--data DIR] [--module PATH] [--service URL] [--log-level N] "
        "[--startup-delay SECONDS] COMMAND [ARGS]\n\ncommands:\n");
    for (const CommandInfo& command : AllCommands()) {
        std::printf("  %-28s %s\n", command.usage, command.summary);
    }
}

// Takes the common options out of the arguments, leaving the command and its own arguments.
bool ParseCommon(const std::vector<wxString>& args, HostOptions& options, std::vector<wxString>& rest,
                 wxString& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const wxString& arg = args[i];
        const bool common = arg == wxT("--data") || arg == wxT("--module") || arg == wxT("--service") ||
                            arg == wxT("--log-level") || arg == wxT("--startup-delay");
        if (!common) {
            rest.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = wxString::Format(wxT("option %s needs a value"), arg);
            return false;
        }
        const wxString value = args[++i];
        unsigned long number = 0;
        double seconds = 0;
        if (arg == wxT("--data")) {
            options.dataDir = value;
        } else if (arg == wxT("--module")) {
            options.modulePath = value;
        } else if (arg == wxT("--service")) {
            options.serviceUrl = value;
        } else if (arg == wxT("--log-level")) {
            if (!value.ToULong(&number) || number > 0xffff) {
                error = wxT(
                    "--log-level takes a bit mask: 1 errors, 2 warnings, 4 information, 8 trace, 16 debug");
                return false;
            }
            options.logLevel = static_cast<unsigned>(number);
        } else if (!value.ToCDouble(&seconds) || seconds < 0) {
            error = wxT("--startup-delay takes a number of seconds");
            return false;
        } else {
            options.startupDelay = seconds;
        }
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    wxInitializer initializer(argc, argv);
    if (!initializer.IsOk())
        return CommandError(wxT("cannot initialise wxWidgets"));

    std::vector<wxString> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(wxString::FromUTF8(argv[i]));
    HostOptions options;
    std::vector<wxString> rest;
    wxString error;
    if (!ParseCommon(args, options, rest, error))
        return CommandError(error);
    if (rest.empty() || rest[0] == wxT("--help") || rest[0] == wxT("help")) {
        PrintUsage();
        return rest.empty() ? 1 : 0;
    }
    const CommandInfo* command = FindCommand(rest[0]);
    if (!command)
        return CommandError(wxString::Format(wxT("unknown command \"%s\" (see --help)"), rest[0]));

    // The demo never touches the person's own calendars: it works in a directory of its own.
    if (rest[0] == wxT("demo") && options.dataDir.empty()) {
        options.dataDir = wxFileName::CreateTempFileName(wxT("/tmp/corvane-demo-"));
        wxRemoveFile(options.dataDir);
    }

    HostSession session(options);
    if (!session.Open(error))
        return CommandError(error);
    const int status = command->run(session, std::vector<wxString>(rest.begin() + 1, rest.end()));
    if (!session.Flush(error))
        return CommandError(error);
    return status;
}
