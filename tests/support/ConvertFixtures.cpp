#include "tests/support/ConvertFixtures.h"

#include <wx/sstream.h>

#include <cstdio>
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

XmlElement::XmlElement(const std::string& utf8) {
    wxStringInputStream input(wxString::FromUTF8(utf8.c_str()));
    m_Document.Load(input);
}

IcalPtr ParseTodo(const std::string& body) {
    return IcalPtr(icalcomponent_new_from_string(("BEGIN:VTODO\n" + body + "END:VTODO\n").c_str()));
}

std::string IcalText(const icalcomponent* component) {
    std::string text;
    for (const char* p = icalcomponent_as_ical_string(const_cast<icalcomponent*>(component)); *p; ++p)
        if (*p != '\r')
            text += *p;
    return text;
}

std::string PropertyLine(const icalcomponent* component, icalproperty_kind kind) {
    icalproperty* p = icalcomponent_get_first_property(const_cast<icalcomponent*>(component), kind);
    if (!p)
        return "<none>";
    std::string line = icalproperty_as_ical_string(p);
    return line.substr(0, line.find_first_of("\r\n"));
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

std::string DescribeTime(const icaltimetype& t) {
    if (icaltime_is_null_time(t))
        return "null";
    char buffer[96];
    if (t.is_date)
        std::snprintf(buffer, sizeof buffer, "DATE %04d-%02d-%02d", t.year, t.month, t.day);
    else
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d%s", t.year, t.month, t.day,
                      t.hour, t.minute, t.second, icaltime_is_utc(t) ? " UTC" : "");
    return buffer;
}
