// Opens the service's authorisation page in the user's browser. Tests give their own launcher so
// that no real browser starts.
#pragma once

#include <wx/string.h>

#include <functional>

using BrowserLauncher = std::function<bool(const wxString& url)>;

// Opens the address with `launcher`, or with the user's default browser when it is null; false
// when no browser could be started.
bool LaunchBrowser(const BrowserLauncher& launcher, const wxString& url);
