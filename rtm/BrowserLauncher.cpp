#include "rtm/BrowserLauncher.h"

#include <wx/thread.h>
#include <wx/utils.h>

namespace {
wxCriticalSection& LauncherLock() {
    static wxCriticalSection lock;
    return lock;
}
BrowserLauncher& Launcher() {
    static BrowserLauncher launcher;
    return launcher;
}
}  // namespace

bool LaunchBrowser(const wxString& url) {
    BrowserLauncher launcher;
    {
        wxCriticalSectionLocker lock(LauncherLock());
        launcher = Launcher();
    }
    if (launcher)
        return launcher(url);
    return wxLaunchDefaultBrowser(url, 0);
}

BrowserLauncher SetBrowserLauncher(BrowserLauncher launcher) {
    wxCriticalSectionLocker lock(LauncherLock());
    BrowserLauncher previous = Launcher();
    Launcher() = std::move(launcher);
    return previous;
}
