// Opens the service's authorisation page in the user's default browser. Tests put their own
// launcher in its place so that no real browser starts.
#pragma once

#include <wx/string.h>

#include <functional>

using BrowserLauncher = std::function<bool(const wxString& url)>;

// Opens the address; false when no browser could be started.
bool LaunchBrowser(const wxString& url);
// Replaces the launcher (null restores wxLaunchDefaultBrowser); returns the one it replaced.
BrowserLauncher SetBrowserLauncher(BrowserLauncher launcher);
