#include "sync/ThreadHelper.h"

#include "plugin/HostApi.h"
#include "rtm/ResultCodes.h"
#include "sync/OfflineCalendar.h"
#include "sync/OfflineFileName.h"
#include "sync/WorkerHandler.h"

#include <wx/utils.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

wxCriticalSection CThreadHelper::s_SyncLock;

namespace {
// Holds the process-wide sync lock for one pass unless concurrent passes are allowed; released
// however the pass ends. Waiting for it gives way to a stop request, so that a worker waiting for
// another calendar's pass can always be stopped.
class SyncPassLock {
  public:
    SyncPassLock(wxCriticalSection& lock, bool take, const std::function<bool()>& stopped) : m_Lock(nullptr) {
        if (!take) {
            m_Held = true;
            return;
        }
        while (!lock.TryEnter()) {
            if (stopped())
                return;
            wxMilliSleep(10);
        }
        m_Lock = &lock;
        m_Held = true;
    }
    ~SyncPassLock() {
        if (m_Lock)
            m_Lock->Leave();
    }
    SyncPassLock(const SyncPassLock&) = delete;
    SyncPassLock& operator=(const SyncPassLock&) = delete;
    bool Held() const { return m_Held; }

  private:
    wxCriticalSection* m_Lock;
    bool m_Held = false;
};

const int64_t SUSPEND_GAP = 30000;
const int64_t SUSPEND_WAIT = 5000;
const int64_t RETRY_DELAY = 60000;
const int64_t LOOP_SLEEP = 1000;
const int64_t STARTUP_SLEEP = 100;
const int64_t STOP_CHECK_SLICE = 100;
}  // namespace

CThreadHelper::CThreadHelper()
    : m_StopRequested(false),
      m_DoneCondition(m_DoneMutex),
      m_BypassProxy(false),
      m_FallBackToDirect(false),
      m_KeepOfflineCopy(false),
      m_SkipCompleted(false),
      m_ConcurrentSync(false),
      m_Clock(&WorkerClock::Default()) {}

CThreadHelper::~CThreadHelper() = default;

void CThreadHelper::SetOfflineFile(const wxString& directory, const wxString& name, bool keep) {
    m_OfflineFile = OfflineFileName(directory, name);
    m_EarlierOfflineFile = DescribedOfflineFile(directory, name);
    m_KeepOfflineCopy = keep;
    if (!keep && m_OfflineFile.FileExists())
        wxRemoveFile(m_OfflineFile.GetFullPath());
}

bool CThreadHelper::StopRequested() {
    wxCriticalSectionLocker lock(m_StopLock);
    return m_StopRequested;
}

void CThreadHelper::RequestStop() {
    wxCriticalSectionLocker lock(m_StopLock);
    m_StopRequested = true;
}

uint32_t CThreadHelper::PollLoop(WorkerHandler* handler, int32_t pollMinutes, bool fallBackToDirect) {
    LoopState state;
    // Minutes in 64 bits: any frequency the settings hold gives a sensible interval.
    state.pollInterval = pollMinutes > 0 ? static_cast<int64_t>(pollMinutes) * 60000 : 0;
    state.nextPoll = m_Clock->NowMillis() + state.pollInterval;
    m_FallBackToDirect = fallBackToDirect;

    {
        std::unique_ptr<COfflineCalendar> offline;
        if (m_KeepOfflineCopy) {
            // An offline file from before the journal of waiting changes may hold changes that only
            // its change times tell of.
            const bool fromBefore = m_OfflineFile.FileExists() && !handler->JournalExisted();
            offline = std::make_unique<COfflineCalendar>(m_OfflineFile);
            offline->SetChangesTracked(handler->JournalLoaded() && !fromBefore);
            handler->SetJournalExisted();  // from here on the journal tracks every change
        }

        int64_t lastCheck = m_Clock->NowMillis();
        bool stop = false;
        while (!stop) {
            stop = StopRequested();
            ApplyOfflineQueue(handler, offline.get());
            handler->SaveJournalIfChanged();
            PauseUnlessStopped(LOOP_SLEEP);
            if (m_Clock->NowMillis() - lastCheck > SUSPEND_GAP) {
                handler->GetLogger().Log(
                    LOG_TRACE,
                    wxT("30 secs has passed since the last time check which possibly means that the "
                        "computer was suspended. Wait for 5 secs before continue."));
                PauseUnlessStopped(SUSPEND_WAIT);
            }
            lastCheck = m_Clock->NowMillis();
            while (!Corvane_HasStartupDelayPassed() && !stop) {
                stop = StopRequested();
                m_Clock->Sleep(STARTUP_SLEEP);
                ApplyOfflineQueue(handler, offline.get());
            }
            if (state.retryPending && m_Clock->NowMillis() < state.nextPoll)
                continue;
            state.retryPending = false;
            if (state.pollInterval > 0 && m_Clock->NowMillis() > state.nextPoll) {
                state.nextPoll = m_Clock->NowMillis() + state.pollInterval;
                if (!handler->IsQueued(true, ITEM_READ))
                    handler->Enqueue(true, ITEM_READ, nullptr);
            }
            ApplyOfflineQueue(handler, offline.get());
            if (stop || handler->QueueCount(true) == 0)
                continue;
            SyncPass(handler, offline.get(), state);
            handler->SaveJournalIfChanged();
        }
        // Every change the host handed over reaches the offline copy, stop or not; destroying the
        // offline calendar then saves it.
        ApplyOfflineQueue(handler, offline.get(), true, true);
    }
    handler->SaveJournalIfChanged();
    SignalDone();
    return 0;
}

void CThreadHelper::PauseUnlessStopped(int64_t millis) {
    // In slices, so that a stop request ends the wait: a stopping worker ends within about a second.
    const int64_t end = m_Clock->NowMillis() + millis;
    for (int64_t left = millis; left > 0 && !StopRequested(); left = end - m_Clock->NowMillis()) {
        m_Clock->Sleep(std::min(left, STOP_CHECK_SLICE));
    }
}

void CThreadHelper::SignalDone() {
    wxMutexLocker lock(m_DoneMutex);
    m_DoneCondition.Broadcast();
}

void CThreadHelper::ApplyOfflineQueue(WorkerHandler* handler, COfflineCalendar* offline, bool save,
                                      bool evenWhenStopping) {
    if (!offline)
        return;
    // The offline copy is shown after every change the host handed over is in it: a to-do the host
    // deleted after asking for the list must not come back.
    bool publish = false;
    if (evenWhenStopping || !StopRequested()) {
        while (std::unique_ptr<QueueItem> item = handler->Dequeue(false)) {
            if (!evenWhenStopping && StopRequested()) {
                // Not applied: back to the front; the loop's end applies it.
                handler->Requeue(false, std::move(item));
                break;
            }
            if (item->kind == ITEM_READ) {
                publish = true;
                continue;
            }
            // A to-do the host still knows by its own UID while its upload has made its task is
            // kept under the task's UID, never beside it.
            const wxString uid = ComponentUid(item->component);
            TaskIdentity identity;
            if (handler->FindIdentity(uid, identity) && identity.state == TaskIdentity::CREATED) {
                if (offline->Components().Contains(uid))
                    offline->RemoveByUid(uid);
                SetTaskIds(item->component, identity.ids);
            }
            if (item->kind == ITEM_WRITE) {
                offline->StoreComponent(item->component);
            } else if (item->kind == ITEM_DELETE) {
                offline->RemoveComponent(item->component);
            }
        }
    }
    if (publish)
        PublishOffline(handler, *offline);
    if (save)
        offline->Save(m_SkipCompleted);
}

void CThreadHelper::PublishOffline(WorkerHandler* handler, COfflineCalendar& offline) {
    std::vector<wxString> leftBehind;
    for (const ComponentMap::Entry& entry : offline.Components()) {
        // The host holds a newer version of a to-do whose change waits for the service.
        if (!entry.component || handler->IsChangeWaiting(entry.uid))
            continue;
        TaskIdentity identity;
        if (handler->FindIdentity(entry.uid, identity) && identity.state == TaskIdentity::CREATED) {
            leftBehind.push_back(entry.uid);  // a host's copy whose task stands under its own UID
            continue;
        }
        handler->HandOver(icalcomponent_new_clone(entry.component), ADD_SHOW);
        // One handed over meanwhile is newer than this copy: the host gets it back, under this UID.
        if (icalcomponent* newer = handler->WaitingWriteCopy(entry.uid)) {
            TaskIds ids;
            if (HasTaskUidForm(entry.uid) &&
                ParseTaskUid(entry.component, ids.list, ids.series, ids.task, nullptr))
                SetTaskIds(newer, ids);
            handler->HandOver(newer, ADD_SHOW);
        }
    }
    for (const wxString& uid : leftBehind) {
        icalcomponent* gone = icalcomponent_new_clone(offline.Components().Find(uid));
        offline.RemoveByUid(uid);
        handler->HandOver(gone, ADD_REMOVE_DELETED);
    }
}

uint32_t CThreadHelper::RunItem(WorkerHandler* handler, COfflineCalendar* offline, uint32_t kind,
                                icalcomponent* component) {
    switch (kind) {
        case ITEM_READ: {
            const icaltimetype start = icaltime_current_time_with_zone(icaltimezone_get_utc_timezone());
            const uint32_t result = ReadAll(offline, handler->GetLastRead());
            // A refresh asked for during the download keeps the next one full.
            if (result == RTM_OK)
                handler->CompleteRead(start);
            return result;
        }
        case ITEM_WRITE:
            return WriteOne(component, offline);
        case ITEM_DELETE:
            return DeleteOne(component);
        default:
            return RTM_FAILED;
    }
}

void CThreadHelper::SyncPass(WorkerHandler* handler, COfflineCalendar* offline, LoopState& state) {
    Corvane_SetTrayStatus(TRAY_SYNCING, handler->GetName().wc_str());
    uint32_t result = RTM_FAILED;
    {
        SyncPassLock lock(s_SyncLock, !m_ConcurrentSync, [this] { return StopRequested(); });
        if (lock.Held()) {
            BeginPass(offline);
            result = RunQueue(handler, offline, state);
            EndPass();
        }
    }
    Corvane_SetTrayStatus(IsRetry(DecideItem(result)) ? TRAY_FAILED : TRAY_IDLE, handler->GetName().wc_str());
}

uint32_t CThreadHelper::RunQueue(WorkerHandler* handler, COfflineCalendar* offline, LoopState& state) {
    uint32_t result = RTM_FAILED;
    std::unique_ptr<QueueItem> item = handler->Dequeue(true);
    while (item) {
        if (StopRequested()) {
            // A change not yet sent waits for the next worker instead of being dropped.
            handler->Requeue(true, std::move(item));
            return RTM_CANCELLED;
        }
        // Every change the host handed over is in the offline store before the next item runs: an
        // upload's read-back then replaces the host's copy instead of the other way round, and a
        // merge never takes a to-do the host has just deleted for one made offline.
        ApplyOfflineQueue(handler, offline, false);
        result = RunItem(handler, offline, item->kind, item->component);
        const ItemDecision decision = DecideItem(result);
        if (decision == ItemDecision::DONE || decision == ItemDecision::DROP) {
            handler->FinishItem();
            item = handler->Dequeue(true);
            continue;
        }
        handler->Requeue(true, std::move(item));
        if (decision == ItemDecision::KEEP)
            break;
        const int64_t now = m_Clock->NowMillis();
        if (decision == ItemDecision::RETRY_DIRECT) {
            m_BypassProxy = !m_BypassProxy;
            state.nextPoll = (m_BypassProxy && m_FallBackToDirect) ? now : now + RETRY_DELAY;
        } else {
            state.nextPoll = now + RETRY_DELAY;
        }
        handler->ResetLastRead();
        state.retryPending = true;
        break;
    }
    return result;
}
