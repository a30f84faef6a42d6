#include "plugin/CalendarHandler.h"

CCalendarHandler::CCalendarHandler(wxConfigBase* config, const wxString& name, const wxString& section)
    : m_Config(config),
      m_Name(name),
      m_Section(section),
      m_Enabled(true),
      m_HostFlagA(false),
      m_HostFlagB(false),
      m_HostValue(0) {}

CCalendarHandler::~CCalendarHandler() = default;

CCalendarHandler* CCalendarHandler::Clone() {
    return nullptr;
}
void CCalendarHandler::Start(void*) {}
void CCalendarHandler::SetEnabled(bool enable) {
    m_Enabled = enable;
}
bool CCalendarHandler::Refresh() {
    return false;
}
bool CCalendarHandler::WriteComponents(const ComponentArray&) {
    return false;
}
bool CCalendarHandler::DeleteComponents(const ComponentArray&) {
    return false;
}
bool CCalendarHandler::HostHook07(void*, void*) {
    return false;
}
bool CCalendarHandler::HostHook08(void*) {
    return false;
}
bool CCalendarHandler::HostHook09(void*, void*) {
    return false;
}
wxString CCalendarHandler::HostHook10() {
    return wxString();
}
wxString CCalendarHandler::HostHook11() {
    return wxString();
}
SettingsRow** CCalendarHandler::GetSettings(bool) {
    return nullptr;
}
void CCalendarHandler::ApplySettings(void*) {}
void CCalendarHandler::RunAuthorisation(void*) {}
bool CCalendarHandler::HostHook15(void*, void*) {
    return false;
}
wxString CCalendarHandler::HostHook16() {
    return wxString();
}
wxString CCalendarHandler::GetSettingsHelp() {
    return wxString();
}
wxConfigBase* CCalendarHandler::GetConfig() {
    return m_Config;
}
wxString CCalendarHandler::GetDisplayName() {
    return wxString();
}
wxString CCalendarHandler::HostHook20() {
    return wxString();
}
void CCalendarHandler::HostHook21() {}
wxArrayInt CCalendarHandler::HostHook22(void*) {
    return wxArrayInt();
}

bool CCalendarHandler::HasFlags(uint32_t flags, uint32_t mask) {
    return (flags & mask) == mask;
}

void CCalendarHandler::Assign(const CCalendarHandler& other) {
    if (&other == this)
        return;
    m_Config = other.m_Config;
    m_Name = other.m_Name;
    m_Section = other.m_Section;
    m_Enabled = other.m_Enabled;
    m_HostFlagA = other.m_HostFlagA;
    m_HostTextA = other.m_HostTextA;
    m_HostFlagB = other.m_HostFlagB;
    m_HostTextB = other.m_HostTextB;
    m_HostValue = other.m_HostValue;
    m_HostTextC = other.m_HostTextC;
}
