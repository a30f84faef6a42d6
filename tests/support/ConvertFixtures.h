// Helpers for the conversion tests: TZ set for one scope, XML and iCalendar text parsed into owned
// objects, and times built and described in a few words.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>
#include <wx/xml/xml.h>

#include <memory>
#include <string>

// Sets TZ (a POSIX rule such as "XST-3") and restores the previous value on leaving.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();

  private:
    bool m_Had = false;
    std::string m_Old;
};

struct IcalComponentDeleter {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using IcalPtr = std::unique_ptr<icalcomponent, IcalComponentDeleter>;

// A parsed XML document; Root() is null when the text does not parse.
class XmlElement {
  public:
    explicit XmlElement(const std::string& utf8);
    wxXmlNode* Root() const { return m_Document.GetRoot(); }

  private:
    wxXmlDocument m_Document;
};

// A VTODO from the lines between BEGIN:VTODO and END:VTODO ("\n"-separated).
IcalPtr ParseTodo(const std::string& body);
// The component as iCalendar text with "\n" line ends.
std::string IcalText(const icalcomponent* component);
// The first property of that kind as one line without its line end, or "<none>".
std::string PropertyLine(const icalcomponent* component, icalproperty_kind kind);
std::string ReadTextFile(const std::string& path);

icaltimetype MakeTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                      bool utc = true, bool isDate = false);
// "null", "DATE 2012-05-02", "2012-05-01 08:00:00 UTC" or the same without " UTC".
std::string DescribeTime(const icaltimetype& time);
