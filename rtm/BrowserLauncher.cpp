#include "rtm/BrowserLauncher.h"

#include <wx/utils.h>

bool LaunchBrowser(const BrowserLauncher& launcher, const wxString& url) {
    return launcher ? launcher(url) : wxLaunchDefaultBrowser(url, 0);
}
