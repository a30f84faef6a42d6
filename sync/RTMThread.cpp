#include "sync/RTMThread.h"

#include "plugin/HostApi.h"
#include "plugin/RTMHandler.h"
#include "rtm/RTMConnection.h"
#include "sync/OfflineFileName.h"

#include <wx/datetime.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

#ifdef __GLIBC__
#include <cxxabi.h>
#endif

CRTMThread::CRTMThread(CRTMHandler* handler, std::unique_ptr<RTMSettings> settings)
    : wxThread(wxTHREAD_JOINABLE), m_Handler(handler), m_Settings(std::move(settings)) {
    m_SkipCompleted = true;
    m_ConcurrentSync = m_Settings->concurrentSync;
    Corvane_Decode(m_Settings->network.proxyPassword, wxT("Proxy"));
    SetOfflineFile(m_Settings->dataDir.GetPath(wxPATH_GET_VOLUME),
                   handler->GetSection() + wxT("-") + handler->GetName() + wxT("-Offline"),
                   m_Settings->keepOfflineCopy);
}

CRTMThread::~CRTMThread() {
    m_Connection.reset();
    m_Settings.reset();
}

void CRTMThread::SetStopWaits(long loopMillis, long killMillis) {
    m_LoopWaitMillis = loopMillis;
    m_KillWaitMillis = killMillis;
}

wxThread::ExitCode CRTMThread::Entry() {
    // Nothing may leave the thread's entry by an exception.
    try {
        PollLoop(m_Handler, m_Settings->pollFrequency, m_Settings->network.fallBackToDirect);
#ifdef __GLIBC__
    } catch (abi::__forced_unwind&) {
        throw;  // a killed thread unwinds through here and must keep unwinding
#endif
    } catch (...) {
        m_Handler->Log(LOG_ERROR, wxT("The RTM thread ended unexpectedly."));
        SignalDone();
    }
    return 0;
}

bool CRTMThread::Stop() {
    {
        // The mutex is held from before the flag is set, so the loop's final signal cannot fall
        // between the two. It is released before the watch below, so a loop that ends late can
        // still signal and finish instead of blocking until it is killed.
        wxMutexLocker done(m_DoneMutex);
        RequestStop();
        m_DoneCondition.WaitTimeout(m_LoopWaitMillis);
    }
    wxStopWatch watch;
    while (IsRunning()) {
        if (watch.Time() > m_KillWaitMillis) {
            Kill();
            return false;
        }
        wxMilliSleep(100);
    }
    return true;
}

CRTMConnection* CRTMThread::GetConnection(uint32_t& failure) {
    failure = RTM_FAILED;
    if (m_Connection)
        return m_Connection.get();
    auto connection = std::make_unique<CRTMConnection>(m_Handler, m_Settings.get(), m_BypassProxy);
    connection->SetAbortCheck([this] { return StopRequested(); });
    if (!m_Settings->list.empty()) {
        wxString listId;
        const uint32_t status = connection->FindListId(m_Settings->authToken, m_Settings->list, listId);
        if (status != RTM_OK) {
            // An unreachable service is no reason to drop the item: it waits for the retry.
            if (status == RTM_NO_CONNECTION)
                failure = RTM_NO_CONNECTION;
            return nullptr;
        }
        connection->listId = listId;
    }
    m_Connection = std::move(connection);
    return m_Connection.get();
}

uint32_t CRTMThread::BeginPass(COfflineCalendar*) {
    if (!m_Settings->authToken.empty())
        return RTM_OK;
    const wxString text =
        wxT("[") + wxDateTime::Now().FormatTime() + wxT("] ") +
        wxString::Format(Translate(wxT("Remember The Milk Error (%s)!")), m_Handler->GetName()) + wxT("\n") +
        Translate(
            wxT("Authentication token is missing. You need to give Corvane access to your Remember The Milk "
                "account."));
    Corvane_Message(text.wc_str(), MSG_STYLE_ERROR, true);
    return RTM_FAILED;
}

uint32_t CRTMThread::EndPass() {
    return RTM_OK;
}

uint32_t CRTMThread::ReadAll(COfflineCalendar* offline, const icaltimetype& lastRead) {
    uint32_t failure;
    CRTMConnection* connection = GetConnection(failure);
    if (!connection)
        return failure;
    if (offline && m_EarlierOfflineFile.IsOk()) {
        TakeOverEarlierTodos(*offline, m_EarlierOfflineFile, connection->listId);
        m_EarlierOfflineFile.Clear();
    }
    return connection->DownloadTasks(m_Settings->authToken, offline, lastRead);
}

uint32_t CRTMThread::WriteOne(icalcomponent* component, COfflineCalendar* offline) {
    uint32_t failure;
    CRTMConnection* connection = GetConnection(failure);
    const uint32_t result =
        connection ? connection->UploadTask(m_Settings->authToken, component, offline) : failure;
    Corvane_EventWritten(result == RTM_OK, m_Handler->GetName().wc_str());
    return result;
}

uint32_t CRTMThread::DeleteOne(icalcomponent* component) {
    uint32_t failure;
    CRTMConnection* connection = GetConnection(failure);
    const uint32_t result = connection ? connection->DeleteTask(m_Settings->authToken, component) : failure;
    Corvane_EventWritten(result == RTM_OK, m_Handler->GetName().wc_str());
    return result;
}
