// `demo`: starts the service emulator in this process with a sample account and walks through the
// main job: settings, authorisation, reading the tasks, writing and deleting one, and the offline
// copy shown while the service cannot be reached.
#ifdef CORVANE_HAVE_EMULATOR

#include "emulator/Emulator.h"
#include "host/CommandRegistry.h"
#include "host/HostContext.h"
#include "host/HostSession.h"

#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/utils.h>

#include <cstdio>
#include <map>

namespace {
const char* const NEW_TODO =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Corvane//Demo//EN\r\nBEGIN:VTODO\r\nUID:demo-new-1\r\n"
    "SUMMARY:Book the team offsite\r\nDUE;VALUE=DATE:20261218\r\nPRIORITY:1\r\nCATEGORIES:team events\r\n"
    "LOCATION:Main office\r\nDESCRIPTION:Rooms for twelve, lunch included.\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";

void Step(const char* text) {
    std::printf("\n\033[1m== %s\033[0m\n", text);
    std::fflush(stdout);
}

int Run(HostSession& session, const char* name, std::vector<wxString> args) {
    std::printf("$ corvane-host %s", name);
    for (const wxString& a : args)
        std::printf(" %s", static_cast<const char*>(a.utf8_str()));
    std::printf("\n");
    std::fflush(stdout);
    const int status = FindCommand(name)->run(session, args);
    std::fflush(stdout);
    return status;
}

bool Seed(rtmemu::Emulator& emulator, wxString& error) {
    std::string message;
    const bool ok = wxFileName::FileExists(CORVANE_SAMPLE_ACCOUNT)
                        ? emulator.State().Tasks().LoadSeedFile(CORVANE_SAMPLE_ACCOUNT, &message)
                        : false;
    if (!ok)
        error = wxString::Format(wxT("cannot load the sample account %s: %s"), CORVANE_SAMPLE_ACCOUNT,
                                 message.c_str());
    return ok;
}

int RunDemo(HostSession& session, const std::vector<wxString>& args) {
    if (!args.empty())
        return CommandError(wxT("demo takes no arguments"));
    rtmemu::EmulatorOptions options;
    options.autoApprove = true;  // stands for the person who clicks "allow" on the service's page
    rtmemu::Emulator emulator(options);
    std::string started;
    wxString error;
    if (!Seed(emulator, error))
        return CommandError(error);
    if (!emulator.Start(&started))
        return CommandError(wxString::FromUTF8(started.c_str()));
    wxSetEnv(wxT("RTM_SERVICE_URL"), wxString::FromUTF8(emulator.BaseUrl().c_str()));
    std::printf("Service emulator with a sample account (lists Work, Errands, Personal) at %s\n",
                emulator.BaseUrl().c_str());
    std::printf("Data directory: %s\n", static_cast<const char*>(HostContext::Get().DataDir().utf8_str()));

    Step("The calendar \"Work\" shows the list \"Work\" and keeps an offline copy");
    Run(session, "settings", {wxT("Work"), wxT("--list"), wxT("Work"), wxT("--offline"), wxT("on")});
    Step("Authorisation: the plug-in asks the service for a token (the emulator approves at once)");
    Run(session, "authorise", {wxT("Work")});
    Step("A full read: the list's incomplete tasks reach the host");
    Run(session, "sync", {wxT("Work")});

    Step("A to-do made in the host is written to the service and comes back under its new UID");
    const wxString file = wxFileName(HostContext::Get().DataDir(), wxT("new-task.ics")).GetFullPath();
    wxFFile(file, wxT("wb")).Write(wxString::FromUTF8(NEW_TODO), wxConvUTF8);
    Run(session, "write", {wxT("Work"), file});

    Step("A task deleted in the host is deleted on the service");
    Run(session, "delete", {wxT("Work"), wxT("2101:3102")});

    Step("The service cannot be reached: the offline copy is shown");
    emulator.SetRefusing(true);
    Run(session, "sync", {wxT("Work")});
    emulator.Stop();

    Step("What the service was asked");
    std::map<std::string, int> counts;
    for (const rtmemu::LoggedRequest& request : emulator.Requests())
        if (!request.method.empty())
            ++counts[request.method];
    for (const auto& entry : counts)
        std::printf("%4d  %s\n", entry.second, entry.first.c_str());
    return 0;
}
}  // namespace

CORVANE_COMMAND("demo", "demo", "walks through the main job against a built-in service emulator", RunDemo);

#endif
