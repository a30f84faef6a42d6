// Short texts for the outcome of one HTTP request, for the log and for error reports.
#pragma once

#include <wx/string.h>

#include <cstdint>

// The text for a libcurl result code, or, when the code is 0, for the HTTP status. The texts meant
// for end users are translated; three of them end with a hint about the user's network.
wxString GetNetworkErrorText(int32_t curlCode, int32_t httpStatus);
