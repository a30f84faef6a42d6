#include "convert/PropertyHelpers.h"

#include <cstring>
#include <string>

void AddTextProperty(icalcomponent* component, icalproperty_kind kind, const wxString& text) {
    const std::string utf8 = ToUtf8(text);
    icalproperty* property = nullptr;
    if (kind == ICAL_URL_PROPERTY) {
        property = icalproperty_new_url(utf8.c_str());
    } else {
        property = icalproperty_new(kind);
        icalproperty_set_value(property, icalvalue_new_text(utf8.c_str()));
    }
    icalcomponent_add_property(component, property);
}

void AddIntegerProperty(icalcomponent* component, icalproperty_kind kind, int value) {
    icalproperty* property = icalproperty_new(kind);
    icalproperty_set_value(property, icalvalue_new_integer(value));
    icalcomponent_add_property(component, property);
}

void AddTimeProperty(icalcomponent* component, icalproperty_kind kind, const icaltimetype& time) {
    icalproperty* property = icalproperty_new(kind);
    // libical 3.0 prints a DATE held in a DATE-TIME value as 00000000T000000; a DATE value keeps it.
    icalproperty_set_value(property, time.is_date ? icalvalue_new_date(time) : icalvalue_new_datetime(time));
    icalcomponent_add_property(component, property);
}

void AddXProperty(icalcomponent* component, const char* name, const wxString& text) {
    icalproperty* property = icalproperty_new_x(ToUtf8(text).c_str());
    icalproperty_set_x_name(property, name);
    icalcomponent_add_property(component, property);
}

wxString GetXProperty(const icalcomponent* component, const char* name) {
    auto* c = const_cast<icalcomponent*>(component);
    if (!c || !name)
        return wxString();
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY)) {
        const char* xName = icalproperty_get_x_name(p);
        if (xName && std::strcmp(xName, name) == 0)
            return FromUtf8(icalproperty_get_x(p));
    }
    return wxString();
}

wxString FromUtf8(const char* text) {
    if (!text || !*text)
        return wxString();
    // Most texts are plain ASCII, which needs no decoding.
    const char* end = text;
    while (*end && static_cast<unsigned char>(*end) < 0x80)
        ++end;
    if (!*end)
        return wxString(std::wstring(text, end));
    wxString wide = wxString::FromUTF8(text);
    if (wide.empty())
        wide = wxString(text, wxConvLocal);
    return wide;
}

std::string ToUtf8(const wxString& text) {
    const wchar_t* wide = text.wc_str();
    const size_t length = text.length();
    std::string narrow(length, '\0');
    for (size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned long>(wide[i]) >= 0x80)
            return std::string(text.utf8_str().data());
        narrow[i] = static_cast<char>(wide[i]);
    }
    return narrow;
}
