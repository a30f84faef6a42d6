// Secrets never reach the log: the proxy password, authorisation headers and the user's token are
// replaced by a marker in every line the client writes.
#pragma once

#include <wx/string.h>

#include <cstddef>

extern const wchar_t* const REDACTION_MARKER;  // "<REMOVED FROM LOG>"

// Cuts the value after the first occurrence of `key` up to `terminator`, putting the marker in its
// place. Without a terminator after the key, the line ends right after the key (no marker).
wxString RedactFirst(const wxString& line, const wxString& key, const wxString& terminator);

// Replaces every token value: "auth_token=" values of a query (up to "&", white space or the end)
// and the contents of "<token>" and "<auth_token>" elements (up to their end tag or the end of the
// text), always with the marker.
wxString RedactToken(const wxString& text);

// One line of libcurl's debug trace as it goes to the log: the prefix for the trace type, the data
// decoded in the local code page, trailing white space trimmed, "%" doubled and secrets removed.
wxString FormatDebugLine(int type, const char* data, size_t size);
