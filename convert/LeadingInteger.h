// Numbers inside the service's texts and the note lines, read the way the C library's atoi does:
// optional leading white space and sign, then the leading digits; no digits read as 0.
#pragma once

#include <wx/string.h>

#include <cstddef>

// Reads at most `length` characters from `start` (clipped to the text). Saturates instead of
// overflowing, so any text is safe.
long long ReadLeadingInteger64(const wxString& text, size_t start = 0, size_t length = wxString::npos);

// The same, clamped to the range of int.
int ReadLeadingInteger(const wxString& text, size_t start = 0, size_t length = wxString::npos);
