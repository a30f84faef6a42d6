// Small helpers around the host's log, which takes every text as a format.
#pragma once

#include <wx/string.h>

// Every "%" doubled, so the host's formatting prints the text as it stands.
wxString EscapePercent(const wxString& text);

// Corvane_Log with a wxString, printed as it stands: every text reaching the host's format passes
// here, which doubles its "%".
void HostLog(int level, const wxString& text);

// The translation of a user-visible text (the English text is the key).
wxString Translate(const wxString& text);
