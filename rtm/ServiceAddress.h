// Where the web service is and how the plug-in identifies itself to it.
#pragma once

#include <wx/string.h>

// The plug-in's API key and shared secret. The secret only ever prefixes the text that is digested.
extern const wchar_t* const RTM_API_KEY;
extern const wchar_t* const RTM_SHARED_SECRET;

// The environment variable that points the plug-in at another service (an emulator), given as a
// base address such as http://127.0.0.1:8099.
extern const wchar_t* const RTM_SERVICE_URL_VARIABLE;

// The REST endpoint, ending in "/services/rest/".
wxString ServiceRestEndpoint();
// The browser's authorisation page, ending in "/services/auth/".
wxString ServiceAuthPage();
// True while no other address replaces the real service.
bool IsDefaultService();
