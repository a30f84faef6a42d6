#include "rtm/ServiceAddress.h"

#include <wx/utils.h>

const wchar_t* const RTM_API_KEY = L"7c3e91a05d2b48f6e0a9c1d7b25f8e43";
const wchar_t* const RTM_SHARED_SECRET = L"e5a07d3c91b26f48";
const wchar_t* const RTM_SERVICE_URL_VARIABLE = L"RTM_SERVICE_URL";

namespace {
// The real service: the REST interface and the web site that shows the authorisation page.
const wchar_t* const DEFAULT_REST_BASE = L"https://api.rememberthemilk.com";
const wchar_t* const DEFAULT_AUTH_BASE = L"https://www.rememberthemilk.com";

}  // namespace

ServiceAddress::ServiceAddress(const wxString& base) : m_Base(base) {
    m_Base.Trim(true).Trim(false);
    while (m_Base.EndsWith(wxT("/")))
        m_Base.RemoveLast();
}

ServiceAddress ServiceAddress::FromEnvironment() {
    wxString base;
    return wxGetEnv(RTM_SERVICE_URL_VARIABLE, &base) ? ServiceAddress(base) : ServiceAddress();
}

wxString ServiceAddress::RestEndpoint() const {
    return (m_Base.empty() ? wxString(DEFAULT_REST_BASE) : m_Base) + wxT("/services/rest/");
}

wxString ServiceAddress::AuthPage() const {
    return (m_Base.empty() ? wxString(DEFAULT_AUTH_BASE) : m_Base) + wxT("/services/auth/");
}

bool ServiceAddress::IsDefault() const {
    return m_Base.empty() || m_Base == DEFAULT_REST_BASE;
}
