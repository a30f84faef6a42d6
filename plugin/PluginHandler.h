// Adds the component store (the outgoing and the offline queue) and the last read time.
#pragma once

#include "plugin/CalendarHandler.h"
#include "sync/PendingJournal.h"
#include "sync/QueueItem.h"
#include "sync/WorkerHandler.h"

#include <wx/thread.h>

#include <deque>
#include <memory>
#include <vector>

// The worker reaches its handler only through WorkerHandler; CCalendarHandler stays the first base,
// so the host sees the layout it compiled.
class CPluginHandler : public CCalendarHandler, public WorkerHandler {
  public:
    CPluginHandler(wxConfigBase* config, const wxString& name, const wxString& section);
    ~CPluginHandler() override;

    bool Refresh() override;
    bool WriteComponents(const ComponentArray& components) override;
    bool DeleteComponents(const ComponentArray& components) override;
    void Assign(const CCalendarHandler& other) override;

    const wxString& GetName() const override { return m_Name; }
    const wxString& GetSection() const override { return m_Section; }
    const Logger& GetLogger() const override { return m_Logger; }
    void HandOver(icalcomponent* component, unsigned flags) override;

    // Component store; each operation holds m_QueueLock for its whole run. `outgoing` selects
    // the queue for the service (true) or the one for the offline copy (false). The outgoing
    // queue holds one change per to-do: a later write or deletion of a UID replaces the one still
    // waiting, and a deletion of a to-do the service never had cancels its waiting write.
    void Enqueue(bool outgoing, uint32_t kind, icalcomponent* component) override;
    // Puts back an item whose work is not done; one that a newer change of the same to-do
    // replaced meanwhile is dropped instead.
    void Requeue(bool outgoing, std::unique_ptr<QueueItem> item) override;
    // Queues an upload unless a change of the same to-do waits already (which is newer than any
    // copy the merge holds); takes the component either way.
    void EnqueueUnlessWaiting(icalcomponent* component) override;
    size_t QueueCount(bool outgoing) override;
    // An outgoing change stays in the journal while the worker has it, until FinishItem.
    std::unique_ptr<QueueItem> Dequeue(bool outgoing) override;
    void FinishItem() override;
    bool IsQueued(bool outgoing, uint32_t kind) override;
    // Whether a change of the to-do waits on the outgoing queue; UIDs compare through what is known
    // of the tasks the plug-in added.
    bool IsChangeWaiting(const wxString& uid) override;
    // A copy of the to-do of the write of the UID that waits; null when none does.
    icalcomponent* WaitingWriteCopy(const wxString& uid) override;

    // The tasks this calendar's uploads added, by the host's UID. Each record is on disk when the
    // call returns.
    bool FindIdentity(const wxString& uid, TaskIdentity& identity) override;
    void RecordAddSent(const wxString& uid, int64_t since, const wxString& name) override;
    void RecordCreated(const wxString& uid, const TaskIds& ids) override;
    void ForgetIdentity(const wxString& uid) override;
    // The host's UIDs whose upload made a task and that no waiting change names any more.
    std::vector<wxString> SettledHostUids() override;

    // The journals of waiting changes and of added tasks: read once, when the calendar is first
    // started (the waiting changes go before those queued since), and written whenever they
    // changed, from then on.
    void LoadJournal(const wxString& pendingPath, const wxString& addedPath);
    void SaveJournal();
    void SaveJournalIfChanged() override;
    bool JournalLoaded() override;
    // Whether the journal of waiting changes was there when it was loaded.
    bool JournalExisted() const override { return m_JournalExisted; }
    void SetJournalExisted() override { m_JournalExisted = JournalLoaded(); }

    // Last read time, guarded by m_QueueLock as well.
    icaltimetype GetLastRead() override;
    void SetLastRead(const icaltimetype& time);
    void ResetLastRead() override;
    // Stores the start time of a finished download unless a full read was asked for meanwhile
    // (a Refresh during the download must not be turned into an incremental one).
    void CompleteRead(const icaltimetype& start) override;

    bool MirrorsToOffline() const { return m_MirrorToOffline; }

  protected:
    using Queue = std::deque<std::unique_ptr<QueueItem>>;
    Queue& QueueOf(bool outgoing) { return outgoing ? m_OutgoingQueue : m_OfflineQueue; }
    bool QueueComponents(const ComponentArray& components, uint32_t kind);
    void FreeQueues();
    // With m_QueueLock held.
    void AddChange(std::unique_ptr<QueueItem> item);
    Queue::iterator FindWaiting(const wxString& uid);
    wxString ResolvedUid(const wxString& uid) const;
    bool ServiceMayHave(const wxString& uid) const;
    void SaveIdentities();
    // Writes the journal of waiting changes (or of added tasks); a failure is logged and tried
    // again at the next chance.
    void SaveJournalFile(bool changes);

    Logger m_Logger;  // the calendar's name before every text
    bool m_MirrorToOffline;
    icaltimetype m_LastRead;
    wxCriticalSection m_QueueLock;
    Queue m_OutgoingQueue;
    Queue m_OfflineQueue;

    IdentityMap m_Identities;
    std::unique_ptr<QueueItem> m_InFlight;  // a copy of the change the worker has taken
    wxString m_JournalPath;                 // empty until the journal is loaded
    wxString m_AddedPath;
    bool m_JournalChanged = false;
    bool m_IdentitiesChanged = false;
    bool m_JournalExisted = false;
    wxMutex m_JournalFileLock;  // one writer of the file at a time
};
