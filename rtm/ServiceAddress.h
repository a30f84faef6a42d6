// Where the web service is and how the plug-in identifies itself to it.
#pragma once

#include <wx/string.h>

// The plug-in's API key and shared secret. The secret only ever prefixes the text that is digested.
extern const wchar_t* const RTM_API_KEY;
extern const wchar_t* const RTM_SHARED_SECRET;

// The environment variable that points the plug-in at another service (an emulator), given as a
// base address such as http://127.0.0.1:8099.
extern const wchar_t* const RTM_SERVICE_URL_VARIABLE;

// Where the service is: the real one, or another base address that replaces it.
class ServiceAddress {
  public:
    ServiceAddress() = default;  // the real service
    // `base` such as http://127.0.0.1:8099; surrounding blanks and trailing slashes are dropped,
    // and an empty one means the real service.
    explicit ServiceAddress(const wxString& base);
    // The address RTM_SERVICE_URL names, or the real service without it.
    static ServiceAddress FromEnvironment();

    // The REST endpoint, ending in "/services/rest/".
    wxString RestEndpoint() const;
    // The browser's authorisation page, ending in "/services/auth/".
    wxString AuthPage() const;
    // True while no other address replaces the real service.
    bool IsDefault() const;

  private:
    wxString m_Base;  // empty: the real service
};
