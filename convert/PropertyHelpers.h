// Small helpers for adding and reading properties of one component; texts are wide strings here
// and UTF-8 inside libical.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

#include <string>

// Adds a TEXT-valued property; for URL a URI-valued one.
void AddTextProperty(icalcomponent* component, icalproperty_kind kind, const wxString& text);
void AddIntegerProperty(icalcomponent* component, icalproperty_kind kind, int value);
// DATE-TIME valued; libical writes a DATE when the time is a date.
void AddTimeProperty(icalcomponent* component, icalproperty_kind kind, const icaltimetype& time);
void AddXProperty(icalcomponent* component, const char* name, const wxString& text);
// The value of the first X-property whose name matches byte for byte, or empty.
wxString GetXProperty(const icalcomponent* component, const char* name);

// Wide text as UTF-8 for libical; plain ASCII, the usual case, is copied without a conversion.
std::string ToUtf8(const wxString& text);

// UTF-8 to wide text; when that yields nothing from non-empty text, the local code page instead.
wxString FromUtf8(const char* text);
