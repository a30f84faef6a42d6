// The upload of one to-do of the host: created or renamed on the service, the changed fields sent,
// then read back into the host and the offline copy.
#pragma once

#include "convert/TaskUid.h"

#include <libical/ical.h>
#include <wx/string.h>

#include <cstdint>
#include <functional>

class COfflineCalendar;
class CRTMConnection;
class Logger;
class WorkerHandler;

// What an upload knows beyond the to-do itself.
struct UploadTarget {
    // The task the to-do's earlier upload created (or found); null to take the to-do's own ids.
    const TaskIds* known = nullptr;
    // Called with the new task's ids as soon as the add is answered, before any other call; and
    // with the task's name just before the add goes out. Both must make their record durable before they
    // return.
    std::function<void(const wxString& name)> beforeAdd;
    std::function<void(const TaskIds&)> afterAdd;
    // True when a newer change of the UID waits: the read-back then gives the task to nobody.
    std::function<bool(const wxString& uid)> changeWaits;
    // A copy of the to-do of a write of the UID that waits, or null.
    std::function<icalcomponent*(const wxString& uid)> newerCopy;
};

class CTaskUpload {
  public:
    CTaskUpload(CRTMConnection& connection, WorkerHandler& handler)
        : m_Connection(connection), m_Handler(handler) {}

    uint32_t Run(const wxString& token, const icalcomponent* todo, COfflineCalendar* offline,
                 const UploadTarget& target = UploadTarget());

  private:
    const Logger* Log() const;
    // Gives the series of an upload's last reply to the host and the offline store.
    uint32_t ReadBack(const wxString& method, const wxString& reply, const icalcomponent* todo,
                      COfflineCalendar* offline, const UploadTarget& target);
    // Reads the task back through a download of the list's recent changes, when the last answer
    // did not hold it.
    uint32_t FetchAndReadBack(const wxString& token, const TaskIds& ids, const icalcomponent* todo,
                              COfflineCalendar* offline, const UploadTarget& target);
    // Gives a re-read task to the host and the offline store in place of the uploaded to-do; takes
    // the component. False when it carries no ids.
    bool Deliver(icalcomponent* c, const icalcomponent* todo, COfflineCalendar* offline,
                 const UploadTarget& target);

    CRTMConnection& m_Connection;
    WorkerHandler& m_Handler;
};
