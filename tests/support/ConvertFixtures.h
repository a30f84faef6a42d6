// Helpers for the conversion tests: a time zone set through TZ for one scope, a taskseries element
// parsed from text, to-dos parsed from iCalendar text, and owning pointers for both.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>
#include <wx/xml/xml.h>

#include <memory>
#include <string>

// Sets TZ (a POSIX rule such as "XST-3" or a zone name) and restores the previous value on leaving.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    bool m_Had = false;
    std::string m_Old;
};

struct IcalComponentDeleter {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using IcalPtr = std::unique_ptr<icalcomponent, IcalComponentDeleter>;

// A parsed XML document whose root is the element given as text; Root() is null when it does not parse.
class XmlElement {
  public:
    explicit XmlElement(const wxString& xml);
    wxXmlNode* Root() const { return m_Document.GetRoot(); }

  private:
    wxXmlDocument m_Document;
};

// A VTODO from its iCalendar text ("BEGIN:VTODO ... END:VTODO", lines separated by "\n").
IcalPtr ParseTodo(const std::string& text);
// The component as iCalendar text with "\n" line ends.
std::string IcalText(const icalcomponent* component);
// A whole file as text, or empty.
std::string ReadTextFile(const std::string& path);
// An icaltimetype from its fields; utc sets the UTC zone.
icaltimetype MakeTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                      bool utc = true, bool isDate = false);
