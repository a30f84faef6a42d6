// One calendar's components as the host keeps them: by UID, saved as an iCalendar file.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

#include <map>
#include <set>
#include <string>
#include <vector>

class CalendarStore {
  public:
    explicit CalendarStore(const wxString& path);
    // The file of a calendar's store: the name and ".ics" where only this name gives it; names
    // holding a dot or a character a file name cannot hold get those replaced by "_", "." and a
    // digest of the whole name, so "a/b" and "a:b" never share a file.
    static wxString FileNameFor(const wxString& calendar);
    ~CalendarStore();
    CalendarStore(const CalendarStore&) = delete;
    CalendarStore& operator=(const CalendarStore&) = delete;

    // Takes ownership; a component with the same UID is replaced.
    void Put(icalcomponent* component);
    void Remove(const std::string& uid);
    const icalcomponent* Find(const std::string& uid) const;
    // The UIDs put or removed since the last call (a loaded file counts as no change).
    std::set<std::string> TakeChanges();
    size_t Size() const { return m_Components.size(); }
    std::vector<const icalcomponent*> Components() const;

    // Loads the file when it exists; false with a reason when it cannot be read.
    bool Load(wxString& error);
    // Writes beside the old file and renames over it, so a failure keeps the old one.
    bool Save(wxString& error);
    // The whole calendar as iCalendar text.
    std::string AsText() const;
    bool IsModified() const { return m_Modified; }
    const wxString& Path() const { return m_Path; }

  private:
    wxString m_Path;
    std::map<std::string, icalcomponent*> m_Components;
    std::set<std::string> m_Changes;
    bool m_Modified = false;
};
