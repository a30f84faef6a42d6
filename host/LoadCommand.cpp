// `load`: the module's identity and support flags.
#include "host/CommandRegistry.h"
#include "host/HostSession.h"

#include <cstdio>

namespace {
int RunLoad(HostSession& session, const std::vector<wxString>& args) {
    if (!args.empty())
        return CommandError(wxT("load takes no arguments"));
    PluginModule& module = session.Module();
    std::printf("Name:                %s\n",
                static_cast<const char*>(wxString(module.GetPluginName()).utf8_str()));
    std::printf("Version:             0x%08x\n", module.GetPluginVersion());
    std::printf("Author:              %s\n",
                static_cast<const char*>(wxString(module.GetPluginAuthor()).utf8_str()));
    std::printf("Event support flags: 0x%x\n", module.GetPluginEventSupportFlags());
    std::printf("Task support flags:  0x%08x\n", module.GetPluginTaskSupportFlags());
    return 0;
}
}  // namespace

CORVANE_COMMAND("load", "load", "loads the module and prints its name, version, author and support flags",
                RunLoad);
