// The upload of one to-do of the host: created or renamed on the service, the changed fields sent,
// then read back into the host and the offline copy.
#pragma once

#include "convert/TaskFields.h"
#include "convert/TaskUid.h"
#include "rtm/RTMConnection.h"

#include <libical/ical.h>
#include <wx/string.h>

#include <cstdint>
#include <functional>

class COfflineCalendar;
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

// One upload, made for one to-do: create or rename, the changed fields, then the read-back.
class CTaskUpload {
  public:
    CTaskUpload(CRTMConnection& connection, WorkerHandler& handler)
        : m_Connection(connection), m_Handler(handler) {}

    uint32_t Run(const wxString& token, const icalcomponent* todo, COfflineCalendar* offline,
                 const UploadTarget& target = UploadTarget());

  private:
    const Logger* Log() const;
    // rtm.tasks.setName on the task the to-do names; the answer tells the service's current fields.
    uint32_t Rename();
    // rtm.tasks.add, recorded with the target before it goes out and as soon as it is answered.
    uint32_t Create(const UploadTarget& target);
    // Every field call whose value differs from the service's (all of them for a new task).
    uint32_t SendChangedFields();
    uint32_t SendField(const wxString& method, bool condition, bool differs, const RTMParams& own,
                       bool withPath);
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

    wxString m_Token;
    wxString m_Timeline;
    const icalcomponent* m_Todo = nullptr;
    TaskFields m_Wanted;
    TaskIds m_Ids;
    bool m_IsNew = false;
    TaskFields m_Current;  // the service's, when its answer told them
    bool m_HaveCurrent = false;
    // The answer of the last call that went through, and whether it holds the task as it now is.
    wxString m_LastReply;
    wxString m_LastMethod;
    bool m_LastHoldsTask = true;
    bool m_Refused = false;  // a field call the service refused for good
};
