// The host's sub-commands register themselves here, one file each.
#pragma once

#include <wx/string.h>

#include <map>
#include <vector>

class HostSession;

using CommandFn = int (*)(HostSession& session, const std::vector<wxString>& args);

struct CommandInfo {
    const char* name;
    const char* usage;
    const char* summary;
    CommandFn run;
};

bool RegisterCommand(const CommandInfo& info);
const CommandInfo* FindCommand(const wxString& name);
std::vector<CommandInfo> AllCommands();

// Prints "corvane-host: <text>" on standard error and returns the failure status.
int CommandError(const wxString& text);

// A command's arguments: positionals, and "--name value" options from an allowed list.
struct CommandArgs {
    std::vector<wxString> positional;
    std::map<wxString, wxString> options;

    bool Parse(const std::vector<wxString>& args, const std::vector<wxString>& allowed, wxString& error);
    bool Has(const wxString& name) const { return options.count(name) != 0; }
};

// "on"/"off" (also yes/no, true/false, 1/0); false when the text is none of them.
bool ParseOnOff(const wxString& text, bool& value);

#define CORVANE_COMMAND_CONCAT2(a, b) a##b
#define CORVANE_COMMAND_CONCAT(a, b) CORVANE_COMMAND_CONCAT2(a, b)
#define CORVANE_COMMAND(name, usage, summary, fn)                     \
    static const bool CORVANE_COMMAND_CONCAT(registered_, __LINE__) = \
        RegisterCommand({name, usage, summary, fn})
