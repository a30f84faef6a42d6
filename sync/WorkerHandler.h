// What the worker needs of the calendar handler it works for: the queues of changes, what is known
// of the tasks its uploads added, the last read time, the hand-over to the host and the log.
#pragma once

#include "convert/Logger.h"
#include "sync/PendingJournal.h"
#include "sync/QueueItem.h"

#include <libical/ical.h>
#include <wx/string.h>

#include <cstdint>
#include <memory>
#include <vector>

class WorkerHandler {
  public:
    virtual ~WorkerHandler() = default;

    virtual const wxString& GetName() const = 0;
    virtual const wxString& GetSection() const = 0;
    virtual const Logger& GetLogger() const = 0;

    // The queues: `outgoing` selects the one for the service (true) or for the offline copy.
    // The outgoing queue holds one change per to-do; a later one replaces the one still waiting.
    virtual void Enqueue(bool outgoing, uint32_t kind, icalcomponent* component) = 0;
    // Puts back an item whose work is not done, unless a newer change replaced it meanwhile.
    virtual void Requeue(bool outgoing, std::unique_ptr<QueueItem> item) = 0;
    // Queues an upload unless a change of the same to-do waits already; takes the component.
    virtual void EnqueueUnlessWaiting(icalcomponent* component) = 0;
    virtual size_t QueueCount(bool outgoing) = 0;
    // An outgoing change stays in the journal while the worker has it, until FinishItem.
    virtual std::unique_ptr<QueueItem> Dequeue(bool outgoing) = 0;
    virtual void FinishItem() = 0;
    virtual bool IsQueued(bool outgoing, uint32_t kind) = 0;
    virtual bool IsChangeWaiting(const wxString& uid) = 0;
    // A copy of the to-do of the write of the UID that waits; null when none does.
    virtual icalcomponent* WaitingWriteCopy(const wxString& uid) = 0;

    // The tasks this calendar's uploads added, by the host's UID; each record is on disk when the
    // call returns.
    virtual bool FindIdentity(const wxString& uid, TaskIdentity& identity) = 0;
    virtual void RecordAddSent(const wxString& uid, int64_t since, const wxString& name) = 0;
    virtual void RecordCreated(const wxString& uid, const TaskIds& ids) = 0;
    virtual void ForgetIdentity(const wxString& uid) = 0;
    // The host's UIDs whose upload made a task and that no waiting change names any more.
    virtual std::vector<wxString> SettledHostUids() = 0;

    virtual void SaveJournalIfChanged() = 0;
    virtual bool JournalLoaded() = 0;
    virtual bool JournalExisted() const = 0;
    virtual void SetJournalExisted() = 0;

    virtual icaltimetype GetLastRead() = 0;
    virtual void ResetLastRead() = 0;
    // Stores the start time of a finished download unless a full read was asked for meanwhile.
    virtual void CompleteRead(const icaltimetype& start) = 0;
    // The time of the last completed merge: kept for the next worker and written to the settings.
    virtual void RecordLastSync(int32_t lastSync) = 0;

    // Gives the host a to-do (taking it), with the flags of Corvane_AddComponent.
    virtual void HandOver(icalcomponent* component, unsigned flags) = 0;
};
