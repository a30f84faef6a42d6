// The authorisation's token and frob kept in the handler's settings section.
#pragma once

#include "rtm/TokenStore.h"

#include <wx/config.h>

class ConfigTokenStore : public TokenStore {
  public:
    // Without a configuration nothing is kept: every run starts a new authorisation.
    ConfigTokenStore(wxConfigBase* config, const wxString& section) : m_Config(config), m_Section(section) {}

    StoredAuth Load() override;
    void Save(const StoredAuth& stored) override;

  private:
    wxConfigBase* m_Config;
    wxString m_Section;
};
