#include "host/CommandRegistry.h"

#include <cstdio>

namespace {
std::map<wxString, CommandInfo>& Registry() {
    static std::map<wxString, CommandInfo> registry;
    return registry;
}
}  // namespace

bool RegisterCommand(const CommandInfo& info) {
    Registry()[wxString::FromUTF8(info.name)] = info;
    return true;
}

const CommandInfo* FindCommand(const wxString& name) {
    auto found = Registry().find(name);
    return found == Registry().end() ? nullptr : &found->second;
}

std::vector<CommandInfo> AllCommands() {
    std::vector<CommandInfo> all;
    for (const auto& entry : Registry())
        all.push_back(entry.second);
    return all;
}

int CommandError(const wxString& text) {
    std::fprintf(stderr, "corvane-host: %s\n", static_cast<const char*>(text.utf8_str()));
    return 1;
}

bool CommandArgs::Parse(const std::vector<wxString>& args, const std::vector<wxString>& allowed,
                        wxString& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const wxString& arg = args[i];
        if (!arg.StartsWith(wxT("--"))) {
            positional.push_back(arg);
            continue;
        }
        bool known = false;
        for (const wxString& name : allowed)
            known = known || name == arg;
        if (!known) {
            error = wxString::Format(wxT("unknown option %s"), arg);
            return false;
        }
        if (i + 1 >= args.size()) {
            error = wxString::Format(wxT("option %s needs a value"), arg);
            return false;
        }
        options[arg] = args[++i];
    }
    return true;
}

bool ParseOnOff(const wxString& text, bool& value) {
    const wxString lower = text.Lower();
    if (lower == wxT("on") || lower == wxT("yes") || lower == wxT("true") || lower == wxT("1")) {
        value = true;
        return true;
    }
    if (lower == wxT("off") || lower == wxT("no") || lower == wxT("false") || lower == wxT("0")) {
        value = false;
        return true;
    }
    return false;
}
