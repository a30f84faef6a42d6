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
const long long FIRST_PASS_MILLIS = 20000;  // as for `sync`

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

// The first full read has ended once the worker runs: only from then on are the folder's changes
// handed over, since until then nothing but the folder itself would keep them.
int RunOnce(CalendarDriver& driver, VdirMirror& mirror) {
    const size_t messagesBefore = driver.MessagesShown();  // the authorisation's are no failure
    HostContext::WaitResult result = driver.Wait();
    const bool ran =
        result == HostContext::WaitResult::Idle || result == HostContext::WaitResult::Unreachable;
    HostContext::Get().EndFullRead(driver.Calendar(), result == HostContext::WaitResult::Idle &&
                                                          driver.MessagesShown() == messagesBefore);
    if (ran) {
        mirror.ApplyHostChanges(false);
        ReportRead(driver.Calendar(), result == HostContext::WaitResult::Idle
                                          ? HostContext::PassState::Idle
                                          : HostContext::PassState::Unreachable);
    }
    if (ran && mirror.TakeFolderChanges()) {
        const HostContext::WaitResult sent = driver.Wait();  // the pass that sends them
        if (result == HostContext::WaitResult::Idle)
            result = sent;
    }
    const size_t messages = driver.MessagesShown() - messagesBefore;
    driver.Destroy();
    mirror.ApplyHostChanges(false);
    if (ran)
        mirror.ConfirmHandovers(true);  // the handler's journal holds what was not sent
    SaveAll(mirror);
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
    HostContext::PassWatch read = host.WatchPasses(driver.Mark());
    size_t messagesBefore = driver.MessagesShown();
    bool reading = true;
    bool running = false;  // the first full read has ended
    int status = 0;
    std::printf("Mirroring %s in %s; stop with Ctrl-C.\n", static_cast<const char*>(calendar.utf8_str()),
                static_cast<const char*>(options.dir.utf8_str()));
    std::fflush(stdout);
    const long long startedAt = wxGetLocalTimeMillis().GetValue();
    const long long refreshMillis = static_cast<long long>(options.refreshSeconds * 1000);
    long long nextRefresh = startedAt + refreshMillis;
    while (!StopSignalled(stops, TICK_MILLIS)) {
        const long long now = wxGetLocalTimeMillis().GetValue();
        if (reading) {
            const HostContext::PassState state = host.CheckPasses(calendar, read, QUIET_MILLIS);
            if (state != HostContext::PassState::Busy) {
                reading = false;
                running = true;
                host.EndFullRead(calendar, state == HostContext::PassState::Idle &&
                                               driver.MessagesShown() == messagesBefore);
                mirror.ApplyHostChanges(false);
                ReportRead(calendar, state);
            }
        }
        if (!running) {
            if (read.lastChange == 0 && now - startedAt >= FIRST_PASS_MILLIS) {
                status = CommandError(WaitResultText(HostContext::WaitResult::NoActivity));
                break;
            }
            continue;
        }
        mirror.TakeFolderChanges();
        mirror.ApplyHostChanges(false);
        mirror.ConfirmHandovers(false);
        SaveAll(mirror);
        if (refreshMillis > 0 && now >= nextRefresh && !reading) {
            nextRefresh = now + refreshMillis;
            host.BeginFullRead(calendar);
            read = host.WatchPasses(host.TrayChanges());
            messagesBefore = driver.MessagesShown();
            reading = true;
            driver.Refresh();
        }
    }
    // What the folder holds now goes to the handler, whose journal keeps whatever it could not send.
    if (running)
        mirror.TakeFolderChanges();
    driver.Destroy();
    if (reading)
        host.EndFullRead(calendar, false);
    mirror.ApplyHostChanges(false);
    if (running)
        mirror.ConfirmHandovers(true);
    SaveAll(mirror);
    std::printf("Stopped.\n");
    std::fflush(stdout);
    return status;
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
    // A mirror that keeps running blocks them before any thread starts, so every thread inherits
    // the mask and only its wait takes them: a stop is one orderly path, never a handler
    // interrupting the worker. (--once ends as `sync` does: Ctrl-C ends it at once, and the next
    // run finds in the folder whatever was not handed over for good.)
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    if (!options.once)
        pthread_sigmask(SIG_BLOCK, &stops, nullptr);

    CalendarDriver driver(session, options.calendar);
    VdirMirror mirror(driver, dir, StatePath(options.calendar, dir));
    if (!driver.Create(error) || !mirror.Open(error))
        return CommandError(error);
    // The folder first shows what the host holds (a file changed meanwhile stays as it is).
    mirror.ApplyHostChanges(true);
    SaveAll(mirror);
    HostContext::Get().BeginFullRead(options.calendar);
    driver.Start();
    driver.Refresh();
    return options.once ? RunOnce(driver, mirror) : RunUntilStopped(driver, mirror, options, stops);
}
}  // namespace

CORVANE_COMMAND("mirror", "mirror CAL DIR [--once] [--refresh S]",
                "keeps DIR as a vdir of the calendar (one .ics per to-do), both ways, until stopped",
                RunMirror);
