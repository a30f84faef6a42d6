#include "sync/RTMThread.h"

#include "convert/TaskFields.h"
#include "plugin/HostApi.h"
#include "rtm/RTMConnection.h"
#include "sync/AddedTaskLookup.h"
#include "sync/ComponentMap.h"
#include "sync/Deletion.h"
#include "sync/Download.h"
#include "sync/OfflineFileName.h"
#include "sync/Upload.h"
#include "sync/WorkerHandler.h"

#include <wx/datetime.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

#include <ctime>

#ifdef __GLIBC__
#include <cxxabi.h>
#endif

CRTMThread::CRTMThread(WorkerHandler* handler, RTMSettings settings, const ServiceContext& services)
    : wxThread(wxTHREAD_JOINABLE), m_Handler(handler), m_Settings(std::move(settings)), m_Services(services) {
    m_SkipCompleted = true;
    m_ConcurrentSync = m_Settings.concurrentSync;
    Corvane_Decode(m_Settings.network.proxyPassword, wxT("Proxy"));
    SetOfflineFile(m_Settings.dataDir.GetPath(wxPATH_GET_VOLUME),
                   handler->GetSection() + wxT("-") + handler->GetName() + wxT("-Offline"),
                   m_Settings.keepOfflineCopy);
}

CRTMThread::~CRTMThread() {
    m_Connection.reset();
}

void CRTMThread::SetStopWaits(long loopMillis, long killMillis) {
    m_LoopWaitMillis = loopMillis;
    m_KillWaitMillis = killMillis;
}

wxThread::ExitCode CRTMThread::Entry() {
    // Nothing may leave the thread's entry by an exception.
    try {
        PollLoop(m_Handler, m_Settings.pollFrequency, m_Settings.network.fallBackToDirect);
#ifdef __GLIBC__
    } catch (abi::__forced_unwind&) {
        throw;  // a killed thread unwinds through here and must keep unwinding
#endif
    } catch (...) {
        m_Handler->GetLogger().Log(LOG_ERROR, wxT("The RTM thread ended unexpectedly."));
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
    auto connection =
        std::make_unique<CRTMConnection>(&m_Handler->GetLogger(), &m_Settings, m_BypassProxy, m_Services);
    connection->SetAbortCheck([this] { return StopRequested(); });
    if (!m_Settings.list.empty()) {
        wxString listId;
        const uint32_t status = connection->FindListId(m_Settings.authToken, m_Settings.list, listId);
        // Unless the list was found, the work waits (or, when the list is not the account's, is
        // dropped): an empty id would mean every list.
        if (status != RTM_OK || listId.empty()) {
            failure = status == RTM_OK ? RTM_RETRY_LATER : status;
            return nullptr;
        }
        connection->listId = listId;
    }
    m_Connection = std::move(connection);
    return m_Connection.get();
}

uint32_t CRTMThread::BeginPass(COfflineCalendar*) {
    if (!m_Settings.authToken.empty())
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
    return DownloadTasks(*connection, *m_Handler, m_Settings.authToken, offline, lastRead);
}

void CRTMThread::ReportWritten(uint32_t result) {
    // A stop leaves the change for the next worker: that is no outcome to report.
    if (result != RTM_CANCELLED)
        Corvane_EventWritten(result == RTM_OK, m_Handler->GetName().wc_str());
}

uint32_t CRTMThread::ResolveIdentity(CRTMConnection& connection, const icalcomponent* todo,
                                     const wxString& uid, TaskIds& known, bool& haveKnown) {
    haveKnown = false;
    TaskIdentity identity;
    if (uid.empty() || !m_Handler->FindIdentity(uid, identity))
        return RTM_OK;
    if (identity.state == TaskIdentity::CREATED) {
        known = identity.ids;
        haveKnown = true;
        return RTM_OK;
    }
    // An add went out and its answer never came: the service may have made the task, under the
    // name the add carried (the to-do may have been renamed since).
    const wxString name = identity.name.empty() ? MakeTaskFields(todo).name : identity.name;
    switch (FindAddedTask(connection, &m_Handler->GetLogger(), m_Settings.authToken, connection.listId, name,
                          identity.since, known)) {
        case LookupResult::FOUND:
            m_Handler->RecordCreated(uid, known);
            haveKnown = true;
            return RTM_OK;
        case LookupResult::NOT_FOUND:
            m_Handler->ForgetIdentity(uid);
            return RTM_OK;
        case LookupResult::UNDECIDED:
            m_Handler->GetLogger().Format(
                LOG_WARNING,
                wxT("Could not tell whether the task \"%s\" was added before; it is added again "
                    "(possible duplicate)."),
                name);
            m_Handler->ForgetIdentity(uid);
            return RTM_OK;
        case LookupResult::FAILED:
            break;
    }
    return connection.LastWorkResult();
}

uint32_t CRTMThread::WithTask(icalcomponent* component, const TaskWork& work) {
    uint32_t result = RTM_FAILED;
    if (CRTMConnection* connection = GetConnection(result)) {
        const wxString uid = ComponentUid(component);
        TaskIds known;
        bool haveKnown = false;
        result = ResolveIdentity(*connection, component, uid, known, haveKnown);
        if (result == RTM_OK)
            result = work(*connection, uid, haveKnown ? &known : nullptr);
    }
    ReportWritten(result);
    return result;
}

uint32_t CRTMThread::WriteOne(icalcomponent* component, COfflineCalendar* offline) {
    return WithTask(component, [&](CRTMConnection& connection, const wxString& uid, const TaskIds* known) {
        UploadTarget target;
        target.known = known;
        if (!uid.empty()) {
            target.beforeAdd = [&](const wxString& name) {
                m_Handler->RecordAddSent(uid, static_cast<int64_t>(std::time(nullptr)), name);
            };
            target.afterAdd = [&](const TaskIds& ids) { m_Handler->RecordCreated(uid, ids); };
        }
        target.changeWaits = [this](const wxString& u) { return m_Handler->IsChangeWaiting(u); };
        target.newerCopy = [this](const wxString& u) { return m_Handler->WaitingWriteCopy(u); };
        return CTaskUpload(connection, *m_Handler).Run(m_Settings.authToken, component, offline, target);
    });
}

uint32_t CRTMThread::DeleteOne(icalcomponent* component) {
    return WithTask(component, [&](CRTMConnection& connection, const wxString& uid, const TaskIds* known) {
        const uint32_t result =
            DeleteTask(connection, &m_Handler->GetLogger(), m_Settings.authToken, component, known);
        if (result == RTM_OK && known)
            m_Handler->ForgetIdentity(uid);
        return result;
    });
}
