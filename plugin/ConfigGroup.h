// Enters a group of the host's configuration and restores the previous path when it goes out of
// scope, whatever the group's name holds (a calendar name may contain "/").
#pragma once

#include <wx/config.h>

class ConfigGroup {
  public:
    ConfigGroup(wxConfigBase* config, const wxString& group)
        : m_Config(config), m_OldPath(config->GetPath()) {
        m_Config->SetPath(group);
    }
    ~ConfigGroup() { m_Config->SetPath(m_OldPath.empty() ? wxString(wxT("/")) : m_OldPath); }
    ConfigGroup(const ConfigGroup&) = delete;
    ConfigGroup& operator=(const ConfigGroup&) = delete;

  private:
    wxConfigBase* m_Config;
    wxString m_OldPath;
};
