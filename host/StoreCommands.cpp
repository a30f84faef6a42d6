// `list CAL` and `export CAL FILE.ics`: what the plug-in has given the host for that calendar.
#include "host/CalendarDriver.h"
#include "host/CommandRegistry.h"

namespace {
int RunList(HostSession& session, const std::vector<wxString>& args) {
    if (args.size() != 1)
        return CommandError(wxT("usage: list CAL"));
    if (!session.IsKnownCalendar(args[0])) {
        return CommandError(wxString::Format(wxT("unknown calendar \"%s\""), args[0]));
    }
    CalendarDriver(session, args[0]).PrintTasks();
    return 0;
}

int RunExport(HostSession& session, const std::vector<wxString>& args) {
    if (args.size() != 2)
        return CommandError(wxT("usage: export CAL FILE.ics"));
    if (!session.IsKnownCalendar(args[0])) {
        return CommandError(wxString::Format(wxT("unknown calendar \"%s\""), args[0]));
    }
    wxString error;
    if (!CalendarDriver(session, args[0]).Export(args[1], error))
        return CommandError(error);
    return 0;
}
}  // namespace

CORVANE_COMMAND("list", "list CAL", "prints the host's calendar CAL (what the plug-in has given it)",
                RunList);
CORVANE_COMMAND("export", "export CAL FILE.ics", "writes the host's calendar CAL as an iCalendar file",
                RunExport);
