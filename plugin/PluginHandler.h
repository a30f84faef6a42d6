// Adds the component store (the outgoing and the offline queue) and the last read time.
#pragma once

#include "plugin/CalendarHandler.h"
#include "plugin/QueueItem.h"

#include <wx/thread.h>

#include <deque>
#include <memory>

class CPluginHandler : public CCalendarHandler {
  public:
    CPluginHandler(wxConfigBase* config, const wxString& name, const wxString& section);
    ~CPluginHandler() override;

    bool Refresh() override;
    bool WriteComponents(const ComponentArray& components) override;
    bool DeleteComponents(const ComponentArray& components) override;

    // Component store; each operation holds m_QueueLock for its whole run. `outgoing` selects
    // the queue for the service (true) or the one for the offline copy (false).
    void Enqueue(bool outgoing, uint32_t kind, icalcomponent* component);
    void Requeue(bool outgoing, std::unique_ptr<QueueItem> item);
    size_t QueueCount(bool outgoing);
    std::unique_ptr<QueueItem> Dequeue(bool outgoing);
    bool IsQueued(bool outgoing, uint32_t kind);

    // Last read time, guarded by m_QueueLock as well.
    icaltimetype GetLastRead();
    void SetLastRead(const icaltimetype& time);
    void ResetLastRead();
    // Stores the start time of a finished download unless a full read was asked for meanwhile
    // (a Refresh during the download must not be turned into an incremental one).
    void CompleteRead(const icaltimetype& start);

    bool MirrorsToOffline() const { return m_MirrorToOffline; }

  protected:
    using Queue = std::deque<std::unique_ptr<QueueItem>>;
    Queue& QueueOf(bool outgoing) { return outgoing ? m_OutgoingQueue : m_OfflineQueue; }
    bool QueueComponents(const ComponentArray& components, uint32_t kind);
    void FreeQueues();

    bool m_MirrorToOffline;
    icaltimetype m_LastRead;
    wxCriticalSection m_QueueLock;
    Queue m_OutgoingQueue;
    Queue m_OfflineQueue;
};
