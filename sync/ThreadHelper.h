// The worker's poll loop and its state, behind five operations that a concrete worker implements:
// the beginning and end of a sync pass, a download, an upload and a deletion.
#pragma once

#include "sync/WorkerClock.h"

#include <libical/ical.h>
#include <wx/filename.h>
#include <wx/thread.h>

#include <cstdint>

class COfflineCalendar;
class WorkerHandler;

class CThreadHelper {
  public:
    CThreadHelper();
    virtual ~CThreadHelper();
    CThreadHelper(const CThreadHelper&) = delete;
    CThreadHelper& operator=(const CThreadHelper&) = delete;

    virtual uint32_t BeginPass(COfflineCalendar* offline) = 0;
    virtual uint32_t EndPass() = 0;
    virtual uint32_t ReadAll(COfflineCalendar* offline, const icaltimetype& lastRead) = 0;
    virtual uint32_t WriteOne(icalcomponent* component, COfflineCalendar* offline) = 0;
    virtual uint32_t DeleteOne(icalcomponent* component) = 0;

    // The offline file for `name` in `directory` (OfflineFileName). Without `keep`, the file is
    // deleted.
    void SetOfflineFile(const wxString& directory, const wxString& name, bool keep);
    const wxFileName& OfflineFile() const { return m_OfflineFile; }

    bool StopRequested();
    // Runs until a stop is requested; returns 0.
    uint32_t PollLoop(WorkerHandler* handler, int32_t pollMinutes, bool fallBackToDirect);

    void SetClock(WorkerClock* clock) { m_Clock = clock; }
    bool BypassesProxy() const { return m_BypassProxy; }

    // Serialises the sync passes of all workers unless concurrent synchronisation is allowed.
    static wxCriticalSection s_SyncLock;

  protected:
    struct LoopState {
        int64_t pollInterval = 0;
        int64_t nextPoll = 0;
        bool retryPending = false;
    };

    void RequestStop();
    // Applies the host's changes to the offline store, then saves it when `save` is set. While a
    // stop is requested nothing is applied unless `evenWhenStopping`.
    void ApplyOfflineQueue(WorkerHandler* handler, COfflineCalendar* offline, bool save = true,
                           bool evenWhenStopping = false);
    // Gives the host a copy of every offline to-do, except those it holds a newer version of; a
    // copy left behind under a host's UID whose task exists is dropped from both.
    void PublishOffline(WorkerHandler* handler, COfflineCalendar& offline);
    void SyncPass(WorkerHandler* handler, COfflineCalendar* offline, LoopState& state);
    // Works the outgoing queue; the result of the last item.
    uint32_t RunQueue(WorkerHandler* handler, COfflineCalendar* offline, LoopState& state);
    uint32_t RunItem(WorkerHandler* handler, COfflineCalendar* offline, uint32_t kind,
                     icalcomponent* component);
    void SignalDone();
    // Sleeps for `millis`, or less when a stop is requested meanwhile.
    void PauseUnlessStopped(int64_t millis);

    wxCriticalSection m_StopLock;
    bool m_StopRequested;
    wxMutex m_DoneMutex;
    wxCondition m_DoneCondition;
    wxFileName m_OfflineFile;
    wxFileName m_EarlierOfflineFile;  // its to-dos of our list are taken over at the first read
    bool m_BypassProxy;
    bool m_FallBackToDirect;
    bool m_KeepOfflineCopy;
    bool m_SkipCompleted;
    bool m_ConcurrentSync;
    WorkerClock* m_Clock;
};
