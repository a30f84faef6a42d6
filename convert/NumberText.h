// Numbers in and out of text, on the conversions' hot path. Reading follows the C library's atoi:
// optional leading white space and sign, then the leading digits; no digits read as 0.
#pragma once

#include <wx/string.h>

#include <cstddef>

// Reads at most `length` characters from `start` (clipped to the text). Saturates instead of
// overflowing, so any text is safe.
long long ReadLeadingInteger64(const wxString& text, size_t start = 0, size_t length = wxString::npos);

// The same, clamped to the range of int.
int ReadLeadingInteger(const wxString& text, size_t start = 0, size_t length = wxString::npos);

// Decimal text of a number, without the cost of printf-style formatting.
wxString DecimalText(long long value);

// Wide text of plain ASCII text (as printed by snprintf), without a character-set conversion.
wxString AsciiText(const char* text);
