// `sync CAL`, `write CAL FILE.ics` and `delete CAL UID`: start the calendar, hand over the work,
// wait until the worker is idle again, print the tasks and stop.
#include "host/CalendarDriver.h"
#include "host/CommandRegistry.h"

#include <cstdio>
#include <functional>

namespace {
using Handover = std::function<bool(CalendarDriver&, wxString&)>;

int RunSynchronised(HostSession& session, const wxString& calendar, const Handover& handover) {
    if (!session.IsKnownCalendar(calendar)) {
        return CommandError(wxString::Format(
            wxT("unknown calendar \"%s\" (set it up with: settings %s --list NAME)"), calendar, calendar));
    }
    CalendarDriver driver(session, calendar);
    wxString error;
    if (!driver.Create(error))
        return CommandError(error);
    HostContext::Get().BeginFullRead(calendar);
    driver.Start();
    if (!handover(driver, error)) {
        driver.Destroy();
        HostContext::Get().EndFullRead(calendar, false);
        return CommandError(error);
    }
    driver.Refresh();
    const HostContext::WaitResult result = driver.Wait();
    const size_t messages = driver.MessagesShown();
    driver.Destroy();
    const bool complete = result == HostContext::WaitResult::Idle && messages == 0;
    HostContext::Get().EndFullRead(calendar, complete);
    driver.PrintTasks();
    if (result == HostContext::WaitResult::Unreachable) {
        return CommandError(
            wxT("the service could not be reached; the tasks shown are the ones kept before"));
    }
    if (result != HostContext::WaitResult::Idle)
        return CommandError(WaitResultText(result));
    if (messages)
        return CommandError(wxT("the synchronisation reported errors (see above and corvane.log)"));
    return 0;
}

int RunSync(HostSession& session, const std::vector<wxString>& args) {
    if (args.size() != 1)
        return CommandError(wxT("usage: sync CAL"));
    return RunSynchronised(session, args[0], [](CalendarDriver&, wxString&) { return true; });
}

int RunWrite(HostSession& session, const std::vector<wxString>& args) {
    if (args.size() != 2)
        return CommandError(wxT("usage: write CAL FILE.ics"));
    const wxString file = args[1];
    return RunSynchronised(session, args[0], [file](CalendarDriver& driver, wxString& error) {
        return driver.Write(file, error);
    });
}

int RunDelete(HostSession& session, const std::vector<wxString>& args) {
    if (args.size() != 2)
        return CommandError(wxT("usage: delete CAL UID"));
    const wxString uid = args[1];
    return RunSynchronised(session, args[0], [uid](CalendarDriver& driver, wxString& error) {
        return driver.Delete(uid, error);
    });
}
}  // namespace

CORVANE_COMMAND("sync", "sync CAL", "starts the calendar, reads all its tasks, waits, prints them and stops",
                RunSync);
CORVANE_COMMAND("write", "write CAL FILE.ics",
                "hands the file's to-dos to the calendar as edited, then syncs", RunWrite);
CORVANE_COMMAND("delete", "delete CAL UID", "hands that to-do to the calendar as deleted, then syncs",
                RunDelete);
