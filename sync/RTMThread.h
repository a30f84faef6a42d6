// The worker thread of one running calendar: the poll loop on a joinable wxThread, and the five
// operations done through the web-service client it creates on first use.
#pragma once

#include "convert/TaskUid.h"
#include "rtm/RTMSettings.h"
#include "rtm/ServiceContext.h"
#include "sync/ThreadHelper.h"

#include <wx/thread.h>

#include <functional>
#include <memory>

class CRTMConnection;
class WorkerHandler;

class CRTMThread : public wxThread, public CThreadHelper {
  public:
    // `settings` is the worker's own copy; the proxy password in it is decoded here. `services`
    // are given to every connection the worker makes.
    CRTMThread(WorkerHandler* handler, RTMSettings settings, const ServiceContext& services);
    ~CRTMThread() override;

    uint32_t BeginPass(COfflineCalendar* offline) override;
    uint32_t EndPass() override;
    uint32_t ReadAll(COfflineCalendar* offline, const icaltimetype& lastRead) override;
    uint32_t WriteOne(icalcomponent* component, COfflineCalendar* offline) override;
    uint32_t DeleteOne(icalcomponent* component) override;

    // Asks the loop to end (aborting a transfer in progress), waits for it, and kills the thread
    // only when it does not end in time. True when the thread ended by itself.
    bool Stop();

    const RTMSettings& Settings() const { return m_Settings; }
    // Stop waits, shortened by tests.
    void SetStopWaits(long loopMillis, long killMillis);

  protected:
    ExitCode Entry() override;
    // The connection, made on first use; null with the reason (RTM_FAILED, or RTM_NO_CONNECTION
    // when the list could not be looked up for want of the service) when it cannot be made.
    CRTMConnection* GetConnection(uint32_t& failure);
    // What is known of the task behind the to-do's UID from an earlier upload; an add whose answer
    // was lost is looked for on the service first. RTM_OK, or the work result of a failed look-up.
    uint32_t ResolveIdentity(CRTMConnection& connection, const icalcomponent* todo, const wxString& uid,
                             TaskIds& known, bool& haveKnown);
    void ReportWritten(uint32_t result);
    // Runs an upload or a deletion with what is known of the to-do's task, and reports it.
    using TaskWork = std::function<uint32_t(CRTMConnection&, const wxString& uid, const TaskIds* known)>;
    uint32_t WithTask(icalcomponent* component, const TaskWork& work);

    WorkerHandler* m_Handler;
    RTMSettings m_Settings;
    ServiceContext m_Services;
    std::unique_ptr<CRTMConnection> m_Connection;
    long m_LoopWaitMillis = 5000;
    long m_KillWaitMillis = 5000;
};
