// `mirror CAL DIR [--once] [--refresh SECONDS]`: keeps the folder DIR as a vdir of calendar CAL
// (one iCalendar file per to-do), both ways, until SIGINT or SIGTERM; with --once for one full read.
#include "host/CalendarDriver.h"
#include "host/CommandRegistry.h"
#include "host/VdirMirror.h"
#include "plugin/HostApi.h"

#include <wx/filename.h>
#include <wx/time.h>

#include <signal.h>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {
// How often the folder is looked at. A look costs about 2 ms for 1000 files (names and stamps
// only; a file is read when its stamp changed), well below what watching it would save.
const long TICK_MILLIS = 1000;
const long QUIET_MILLIS = 2500;

struct MirrorOptions {
    wxString calendar;
    wxString dir;
    bool once = false;
    double refreshSeconds = 0;
};

bool ParseOptions(const std::vector<wxString>& args, MirrorOptions& options, wxString& error) {
    std::vector<wxString> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == wxT("--once")) {
            options.once = true;
        } else if (args[i] == wxT("--refresh")) {
            if (i + 1 >= args.size() || !args[i + 1].ToCDouble(&options.refreshSeconds) ||
                options.refreshSeconds <= 0) {
                error = wxT("--refresh takes a number of seconds");
                return false;
            }
            ++i;
        } else if (args[i].StartsWith(wxT("--"))) {
            error = wxString::Format(wxT("unknown option %s"), args[i]);
            return false;
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) {
        error = wxT("usage: mirror CAL DIR [--once] [--refresh SECONDS]");
        return false;
    }
    if (options.once && options.refreshSeconds > 0) {
        error = wxT("--once reads once; --refresh is for a mirror that keeps running");
        return false;
    }
    options.calendar = positional[0];
    options.dir = positional[1];
    return true;
}

// The folder as one canonical path (created when missing), so that one folder has one state.
bool CanonicalFolder(const wxString& dir, std::string& canonical, wxString& error) {
    wxFileName name = wxFileName::DirName(dir);
    name.MakeAbsolute();
    const wxString path = name.GetPath();
    if (!wxFileName::DirExists(path) && !wxFileName::Mkdir(path, 0700, wxPATH_MKDIR_FULL)) {
        error = wxString::Format(wxT("cannot create the folder \"%s\""), path);
        return false;
    }
    char resolved[PATH_MAX];
    if (!::realpath(path.utf8_str(), resolved)) {
        error = wxString::Format(wxT("cannot open the folder \"%s\""), path);
        return false;
    }
    canonical = resolved;
    return true;
}

wxString StatePath(const wxString& calendar, const std::string& dir) {
    wxString digest;
    Corvane_CalculateMD5(reinterpret_cast<const unsigned char*>(dir.data()), dir.size(), digest);
    const wxString base = CalendarStore::FileNameFor(calendar).BeforeLast(wxT('.'));
    return wxFileName(HostContext::Get().DataDir(), base + wxT("-mirror-") + digest.Left(8) + wxT(".state"))
        .GetFullPath();
}

void SaveAll(VdirMirror& mirror) {
    wxString error;
    if (!mirror.Save(error))
        HostContext::Get().Log(LOG_ERROR, wxT("Mirror: ") + error);
}

void ReportRead(const wxString& calendar, HostContext::PassState state) {
    if (state == HostContext::PassState::Unreachable) {
        std::printf("read: the service could not be reached; the folder shows the tasks kept before\n");
    } else {
        std::lock_guard<std::mutex> lock(HostContext::Get().Mutex());
        const size_t count = HostContext::Get().Store(calendar).Size();
        std::printf("read: %zu task%s, the folder is up to date\n", count, count == 1 ? "" : "s");
    }
    std::fflush(stdout);
}

// Waits up to `millis` for SIGINT or SIGTERM (blocked in every thread); true when one came.
bool StopSignalled(const sigset_t& stops, long millis) {
    const timespec timeout = {millis / 1000, (millis % 1000) * 1000000L};
    siginfo_t info;
    return ::sigtimedwait(&stops, &info, &timeout) > 0;
}

int RunOnce(CalendarDriver& driver, VdirMirror& mirror) {
    driver.Start();
    driver.Refresh();
    const HostContext::WaitResult result = driver.Wait();
    const size_t messages = driver.MessagesShown();
    driver.Destroy();
    HostContext::Get().EndFullRead(driver.Calendar(),
                                   result == HostContext::WaitResult::Idle && messages == 0);
    mirror.ApplyHostChanges(false);
    mirror.ConfirmHandovers(true);
    SaveAll(mirror);
    if (result == HostContext::WaitResult::Idle || result == HostContext::WaitResult::Unreachable) {
        ReportRead(driver.Calendar(), result == HostContext::WaitResult::Idle
                                          ? HostContext::PassState::Idle
                                          : HostContext::PassState::Unreachable);
    }
    if (result == HostContext::WaitResult::Unreachable)
        return CommandError(wxT("the service could not be reached"));
    if (result != HostContext::WaitResult::Idle)
        return CommandError(WaitResultText(result));
    if (messages)
        return CommandError(wxT("the synchronisation reported errors (see above and corvane.log)"));
    return 0;
}

int RunUntilStopped(CalendarDriver& driver, VdirMirror& mirror, const MirrorOptions& options,
                    const sigset_t& stops) {
    const wxString& calendar = driver.Calendar();
    HostContext& host = HostContext::Get();
    HostContext::PassWatch read = host.WatchPasses(host.TrayChanges());
    size_t messagesBefore = host.MessageCount();
    bool reading = true;
    driver.Start();
    driver.Refresh();
    std::printf("Mirroring %s in %s; stop with Ctrl-C.\n", static_cast<const char*>(calendar.utf8_str()),
                static_cast<const char*>(options.dir.utf8_str()));
    std::fflush(stdout);
    const long long refreshMillis = static_cast<long long>(options.refreshSeconds * 1000);
    long long nextRefresh = wxGetLocalTimeMillis().GetValue() + refreshMillis;
    while (!StopSignalled(stops, TICK_MILLIS)) {
        if (reading) {
            const HostContext::PassState state = host.CheckPasses(calendar, read, QUIET_MILLIS);
            if (state != HostContext::PassState::Busy) {
                reading = false;
                host.EndFullRead(
                    calendar, state == HostContext::PassState::Idle && host.MessageCount() == messagesBefore);
                mirror.ApplyHostChanges(false);
                ReportRead(calendar, state);
            }
        }
        mirror.TakeFolderChanges();
        mirror.ApplyHostChanges(false);
        mirror.ConfirmHandovers(false);
        SaveAll(mirror);
        const long long now = wxGetLocalTimeMillis().GetValue();
        if (refreshMillis > 0 && now >= nextRefresh && !reading) {
            nextRefresh = now + refreshMillis;
            host.BeginFullRead(calendar);
            read = host.WatchPasses(host.TrayChanges());
            messagesBefore = host.MessageCount();
            reading = true;
            driver.Refresh();
        }
    }
    // What the folder holds now goes to the handler, whose journal keeps whatever it could not send.
    mirror.TakeFolderChanges();
    driver.Destroy();
    if (reading)
        host.EndFullRead(calendar, false);
    mirror.ApplyHostChanges(false);
    mirror.ConfirmHandovers(true);
    SaveAll(mirror);
    std::printf("Stopped.\n");
    std::fflush(stdout);
    return 0;
}

int RunMirror(HostSession& session, const std::vector<wxString>& args) {
    MirrorOptions options;
    wxString error;
    if (!ParseOptions(args, options, error))
        return CommandError(error);
    if (!session.IsKnownCalendar(options.calendar)) {
        return CommandError(
            wxString::Format(wxT("unknown calendar \"%s\" (set it up with: settings %s --list NAME)"),
                             options.calendar, options.calendar));
    }
    std::string dir;
    if (!CanonicalFolder(options.dir, dir, error))
        return CommandError(error);
    // Blocked before any thread starts, so every thread inherits it and only the wait below takes
    // them: a stop is then one orderly path, never a handler interrupting the worker.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);

    CalendarDriver driver(session, options.calendar);
    VdirMirror mirror(driver, dir, StatePath(options.calendar, dir));
    if (!driver.Create(error) || !mirror.Open(error))
        return CommandError(error);
    // The user's edits handed over from here on are kept by the full read, whatever it brings.
    HostContext::Get().BeginFullRead(options.calendar);
    // Changes made in the folder while no mirror ran, then what the host holds.
    mirror.TakeFolderChanges();
    mirror.ApplyHostChanges(true);
    SaveAll(mirror);
    return options.once ? RunOnce(driver, mirror) : RunUntilStopped(driver, mirror, options, stops);
}
}  // namespace

CORVANE_COMMAND("mirror", "mirror CAL DIR [--once] [--refresh S]",
                "keeps DIR as a vdir of the calendar (one .ics per to-do), both ways, until stopped",
                RunMirror);
