#include "rtm/ServiceAddress.h"

#include <wx/utils.h>

const wchar_t* const RTM_API_KEY = L"7c3e91a05d2b48f6e0a9c1d7b25f8e43";
const wchar_t* const RTM_SHARED_SECRET = L"e5a07d3c91b26f48";
const wchar_t* const RTM_SERVICE_URL_VARIABLE = L"RTM_SERVICE_URL";

namespace {
// The real service: the REST interface and the web site that shows the authorisation page.
const wchar_t* const DEFAULT_REST_BASE = L"https://api.rememberthemilk.com";
const wchar_t* const DEFAULT_AUTH_BASE = L"https://www.rememberthemilk.com";

// The replacing base address without trailing slashes; empty when none is set.
wxString OverrideBase() {
    wxString base;
    if (!wxGetEnv(RTM_SERVICE_URL_VARIABLE, &base))
        return wxString();
    base.Trim(true).Trim(false);
    while (base.EndsWith(wxT("/")))
        base.RemoveLast();
    return base;
}
}  // namespace

wxString ServiceRestEndpoint() {
    const wxString base = OverrideBase();
    return (base.empty() ? wxString(DEFAULT_REST_BASE) : base) + wxT("/services/rest/");
}

wxString ServiceAuthPage() {
    const wxString base = OverrideBase();
    return (base.empty() ? wxString(DEFAULT_AUTH_BASE) : base) + wxT("/services/auth/");
}

bool IsDefaultService() {
    const wxString base = OverrideBase();
    return base.empty() || base == DEFAULT_REST_BASE;
}
