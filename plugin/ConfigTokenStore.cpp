#include "plugin/ConfigTokenStore.h"

#include "plugin/ConfigGroup.h"

namespace {
const wxChar* const KEY_TOKEN = wxT("AuthToken");
const wxChar* const KEY_FROB = wxT("AuthFrob");
}  // namespace

StoredAuth ConfigTokenStore::Load() {
    StoredAuth stored;
    if (!m_Config)
        return stored;
    ConfigGroup group(m_Config, m_Section);
    stored.token = m_Config->Read(KEY_TOKEN, wxString());
    stored.frob = m_Config->Read(KEY_FROB, wxString());
    return stored;
}

void ConfigTokenStore::Save(const StoredAuth& stored) {
    if (!m_Config)
        return;
    {
        ConfigGroup group(m_Config, m_Section);
        m_Config->Write(KEY_FROB, stored.frob);
        m_Config->Write(KEY_TOKEN, stored.token);
    }
    // The token must survive a crash of the host before it saves its configuration.
    m_Config->Flush();
}
