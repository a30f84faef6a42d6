#include "plugin/RTMHandler.h"

#include "plugin/ConfigGroup.h"
#include "plugin/ConfigTokenStore.h"
#include "plugin/HostApi.h"
#include "plugin/ServiceDefaults.h"
#include "rtm/RTMConnection.h"
#include "sync/RTMThread.h"

const wchar_t* const RTM_PLUGIN_NAME = L"Remember The Milk";

CRTMHandler::CRTMHandler(wxConfigBase* config, const wxString& name, const wxString& section)
    : CPluginHandler(config, name, section), m_Services(DefaultServiceContext()), m_Thread(nullptr) {
    for (int i = 0; i < ROW_COUNT; ++i)
        m_Rows[i] = new SettingsRow();
    m_Rows[ROW_COUNT] = nullptr;
    Corvane_GetNetworkParameters(&m_Settings.network, &m_Settings.concurrentSync);
    const wchar_t* dataDir = Corvane_GetPath(PATH_DATA);
    m_Settings.dataDir = wxFileName::DirName(dataDir ? wxString(dataDir) : wxString());
    ReadSettings();
    m_MirrorToOffline = m_Settings.keepOfflineCopy;
}

CRTMHandler::~CRTMHandler() {
    StopWorker();
    // What the service has not received yet survives the handler.
    SaveJournal();
    for (int i = 0; i < ROW_COUNT; ++i) {
        delete m_Rows[i];
        m_Rows[i] = nullptr;
    }
}

CCalendarHandler* CRTMHandler::Clone() {
    auto* copy = new CRTMHandler(m_Config, m_Name, m_Section);
    copy->Assign(*this);
    copy->m_Services = m_Services;
    for (int i = 0; i < ROW_COUNT; ++i)
        *copy->m_Rows[i] = *m_Rows[i];
    return copy;
}

bool CRTMHandler::Authorise() {
    // The handler's own proxy password is still in the host's encoded form; the connection needs
    // it in clear, as the worker's does.
    RTMSettings settings = m_Settings.DeepCopy();
    if (!settings.network.proxyPassword.empty())
        Corvane_Decode(settings.network.proxyPassword, wxT("Proxy"));
    CRTMConnection connection(&GetLogger(), &settings, false, m_Services);
    ConfigTokenStore store(m_Config, m_Section);
    return connection.Authorise(store);
}

void CRTMHandler::Start(void*) {
    if (!m_Enabled || m_Thread)
        return;
    if (!Authorise() && !m_Settings.keepOfflineCopy)
        return;
    ReadAuthToken();
    const wxString dir = m_Settings.dataDir.GetPath(wxPATH_GET_VOLUME);
    LoadJournal(JournalPath(dir, m_Section, m_Name), JournalPath(dir, m_Section, m_Name, wxT("Added")));
    RTMSettings copy;
    {
        // The last sync time is the previous worker's, which wrote it under this lock.
        wxCriticalSectionLocker lock(m_QueueLock);
        copy = m_Settings.DeepCopy();
    }
    auto* thread = new CRTMThread(this, std::move(copy), m_Services);
    thread->Create();
    const wxThreadError error = thread->Run();
    if (error != wxTHREAD_NO_ERROR) {
        LogFormat(LOG_ERROR, wxT("Unable to start the RTM thread (%i)"), static_cast<int>(error));
        delete thread;
        return;
    }
    m_Thread = thread;
}

void CRTMHandler::SetEnabled(bool enable) {
    m_Enabled = enable;
    if (enable)
        return;
    StopWorker();
    Corvane_SetTrayStatus(TRAY_IDLE, m_Name.wc_str());
}

void CRTMHandler::StopWorker() {
    if (!m_Thread)
        return;
    // A worker that ended by itself is joined. One that had to be killed may still be running
    // (a kill takes effect only where the thread can be cancelled), so its object is never freed
    // under it.
    if (m_Thread->Stop()) {
        m_Thread->Wait();
        delete m_Thread;
    } else {
        Log(LOG_ERROR, wxT("The RTM thread did not stop in time; it was killed."));
    }
    m_Thread = nullptr;
}

void CRTMHandler::RecordLastSync(int32_t lastSync) {
    {
        wxCriticalSectionLocker lock(m_QueueLock);
        m_Settings.lastSync = lastSync;
    }
    const wxString group = m_Section + wxT("/") + CalendarGroupKey(m_Name);
    Corvane_WriteSetting(group.wc_str(), L"LastSync", wxString::Format(wxT("%i"), lastSync).wc_str());
}

void CRTMHandler::RunAuthorisation(void*) {
    Authorise();
}

void CRTMHandler::ReadSettings() {
    if (!m_Config)
        return;
    ConfigGroup section(m_Config, m_Section);
    m_Settings.authToken = m_Config->Read(wxT("AuthToken"), wxString());
    ConfigGroup calendar(m_Config, m_Name);
    m_Settings.list = m_Config->Read(wxT("List"), wxString());
    m_Settings.pollFrequency = static_cast<int32_t>(m_Config->ReadLong(wxT("PollFrequency"), 0));
    m_Settings.suppressErrors = m_Config->ReadBool(wxT("SuppressErrors"), false);
    m_Settings.keepOfflineCopy = m_Config->ReadBool(wxT("KeepOfflineCopy"), false);
    m_Settings.lastSync = static_cast<int32_t>(m_Config->ReadLong(wxT("LastSync"), 0));
}

void CRTMHandler::WriteSettings() {
    if (!m_Config || m_Name == wxT("Dummy"))
        return;
    ConfigGroup section(m_Config, m_Section);
    ConfigGroup calendar(m_Config, m_Name);
    m_Config->Write(wxT("List"), m_Settings.list);
    m_Config->Write(wxT("PollFrequency"), static_cast<long>(m_Settings.pollFrequency));
    m_Config->Write(wxT("SuppressErrors"), m_Settings.suppressErrors);
    m_Config->Write(wxT("KeepOfflineCopy"), m_Settings.keepOfflineCopy);
}

void CRTMHandler::ReadAuthToken() {
    if (!m_Config)
        return;
    ConfigGroup section(m_Config, m_Section);
    m_Settings.authToken = m_Config->Read(wxT("AuthToken"), wxString());
}

SettingsRow** CRTMHandler::GetSettings(bool) {
    const uint32_t index = PollChoiceIndex(m_Settings.pollFrequency);

    SettingsRow& list = *m_Rows[0];
    list.label = Translate(wxT("List"));
    list.type = ROW_TEXT;
    list.value = m_Settings.list;
    list.hostFlag = true;

    SettingsRow& poll = *m_Rows[1];
    poll.label = Translate(wxT("Poll frequency (mins)"));
    poll.type = ROW_CHOICE;
    poll.selection = index;
    poll.value = wxString::Format(wxT("%i"), m_Settings.pollFrequency);
    poll.choices.Clear();
    poll.choices.Add(Translate(wxT("Never")));
    for (const wchar_t* minutes : {L"15", L"30", L"60", L"120"})
        poll.choices.Add(minutes);
    if (index == 5)
        poll.choices.Add(poll.value);
    poll.hostFlag = false;

    SettingsRow& suppress = *m_Rows[2];
    suppress.label = Translate(wxT("Suppress errors"));
    suppress.type = ROW_CHECK;
    suppress.ticked = m_Settings.suppressErrors;
    suppress.hostFlag = false;

    SettingsRow& offline = *m_Rows[3];
    offline.label = Translate(wxT("Keep offline copy"));
    offline.type = ROW_CHECK;
    offline.ticked = m_Settings.keepOfflineCopy;
    offline.hostFlag = false;

    return m_Rows;
}

void CRTMHandler::ApplySettings(void* argument) {
    if (argument) {
        m_Settings.list = m_Rows[0]->value;
        m_Settings.pollFrequency = LeadingNumber(m_Rows[1]->value);
        m_Settings.suppressErrors = m_Rows[2]->ticked;
        m_Settings.keepOfflineCopy = m_Rows[3]->ticked;
    }
    WriteSettings();
}

wxString CRTMHandler::GetSettingsHelp() {
    return Translate(wxT(
        "Choose the name of the task list from the Remember The Milk. You can also leave the field empty if "
        "you want to get all your lists."));
}

wxString CRTMHandler::GetDisplayName() {
    return m_Settings.list.empty() ? wxString(RTM_PLUGIN_NAME) : m_Settings.list;
}
