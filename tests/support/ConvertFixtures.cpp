#include "tests/support/ConvertFixtures.h"

#include <wx/sstream.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

ScopedTimeZone::ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) {
        m_Had = true;
        m_Old = old;
    }
    setenv("TZ", zone, 1);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (m_Had)
        setenv("TZ", m_Old.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

XmlElement::XmlElement(const wxString& xml) {
    wxStringInputStream input(xml);
    m_Document.Load(input);
}

IcalPtr ParseTodo(const std::string& text) {
    return IcalPtr(icalcomponent_new_from_string(text.c_str()));
}

std::string IcalText(const icalcomponent* component) {
    std::string text = icalcomponent_as_ical_string(const_cast<icalcomponent*>(component));
    std::string result;
    result.reserve(text.size());
    for (char ch : text)
        if (ch != '\r')
            result += ch;
    return result;
}

std::string ReadTextFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

icaltimetype MakeTime(int year, int month, int day, int hour, int minute, int second, bool utc, bool isDate) {
    icaltimetype t = icaltime_null_time();
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    t.is_date = isDate ? 1 : 0;
    if (utc)
        t.zone = icaltimezone_get_utc_timezone();
    return t;
}
