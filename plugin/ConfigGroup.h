// Enters a group of the host's configuration and restores the previous path when it goes out of
// scope.
#pragma once

#include <wx/config.h>

// The group that holds a calendar's settings inside the plug-in's section. A name that the
// configuration would read as a path ("/x", "a/b", "..", "") or that starts with "%" is spelled
// with "%" in front and its "%", "/" and "." escaped; every other name is used as it stands, so
// existing groups keep their place and no two names share one group. The host finds a calendar's
// group by the same rule.
inline wxString CalendarGroupKey(const wxString& name) {
    const bool plain = !name.empty() && name != wxT(".") && name != wxT("..") &&
                       name.Find(wxT('/')) == wxNOT_FOUND && name[0] != wxT('%');
    if (plain)
        return name;
    wxString key(wxT("%"));
    for (const wxUniChar c : name) {
        if (c == wxT('%'))
            key += wxT("%25");
        else if (c == wxT('/'))
            key += wxT("%2F");
        else if (c == wxT('.'))
            key += wxT("%2E");
        else
            key += c;
    }
    return key;
}

class ConfigGroup {
  public:
    // `group` is one name, never a path: a "/" in it cannot leave or pass the current group.
    ConfigGroup(wxConfigBase* config, const wxString& group)
        : m_Config(config), m_OldPath(config->GetPath()) {
        m_Config->SetPath(CalendarGroupKey(group));
    }
    ~ConfigGroup() { m_Config->SetPath(m_OldPath.empty() ? wxString(wxT("/")) : m_OldPath); }
    ConfigGroup(const ConfigGroup&) = delete;
    ConfigGroup& operator=(const ConfigGroup&) = delete;

  private:
    wxConfigBase* m_Config;
    wxString m_OldPath;
};
