// `authorise CAL`: runs the authorisation exchange of the plug-in for the calendar. The token is
// shared by every calendar of the plug-in, so the calendar need not have settings of its own yet.
#include "host/BrowserShim.h"
#include "host/CommandRegistry.h"
#include "host/HostContext.h"
#include "host/HostSession.h"
#include "plugin/CalendarHandler.h"

#include <wx/fileconf.h>
#include <wx/filename.h>

#include <cstdio>

namespace {
int RunAuthorise(HostSession& session, const std::vector<wxString>& argv) {
    CommandArgs args;
    wxString error;
    if (!args.Parse(argv, {}, error))
        return CommandError(error);
    if (args.positional.size() != 1 || args.positional[0].empty())
        return CommandError(wxT("usage: authorise CAL"));
    const wxString calendar = args.positional[0];

    BrowserShim shim;
    if (!shim.Install(error))
        return CommandError(error);
    QuietenGtkWarnings();

    HandlerPtr handler = session.CreateHandler(calendar);
    if (!handler)
        return CommandError(wxT("the module did not create a handler"));
    handler->RunAuthorisation(nullptr);

    wxFileConfig* config = session.Config();
    const wxString section = handler->GetSection();
    handler.reset();
    shim.Remove();

    wxString token;
    if (config)
        config->Read(wxT("/") + section + wxT("/AuthToken"), &token);
    if (!session.Flush(error))
        return CommandError(error);
    const wxString ini = wxFileName(HostContext::Get().DataDir(), wxT("corvane.ini")).GetFullPath();
    if (token.empty()) {
        return CommandError(
            wxString::Format(wxT("not authorised: no token was stored (see %s)"),
                             wxFileName(HostContext::Get().DataDir(), wxT("corvane.log")).GetFullPath()));
    }
    std::printf("Authorised: the token is stored in %s\n", static_cast<const char*>(ini.utf8_str()));
    return 0;
}
}  // namespace

CORVANE_COMMAND("authorise", "authorise CAL",
                "runs the authorisation exchange (opens or prints the service's page)", RunAuthorise);
