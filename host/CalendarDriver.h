// One running calendar handler, driven as the desktop application drives it: started, asked to
// refresh, handed the user's writes and deletions, waited on, disabled and destroyed.
#pragma once

#include "host/BrowserShim.h"
#include "host/HostContext.h"
#include "host/HostSession.h"

#include <wx/string.h>

class CalendarDriver {
  public:
    CalendarDriver(HostSession& session, const wxString& calendar);
    ~CalendarDriver();

    bool Create(wxString& error);
    void Start();
    void Refresh();
    // Hands every VTODO of an iCalendar file to the handler, as edited by the user.
    bool Write(const wxString& file, wxString& error);
    // Hands the to-do with that UID to the handler as deleted by the user.
    bool Delete(const wxString& uid, wxString& error);
    // One to-do edited by the user (a copy is shown at once), and one deleted: false when the
    // handler did not take it, or the host has no to-do with that UID.
    bool WriteTodo(const icalcomponent* todo);
    bool DeleteTodo(const std::string& uid);
    // Waits until the work handed over since the last wait has been done and the worker is idle;
    // `firstPassMillis` (when not 0) is how long a pass may take to begin, e.g. the next poll.
    HostContext::WaitResult Wait(long firstPassMillis = 0);
    void Disable();
    // Stops the worker and destroys the handler.
    void Destroy();

    void PrintTasks();
    bool Export(const wxString& file, wxString& error);
    // Message boxes the plug-in showed since the driver was created.
    size_t MessagesShown() const;

    const wxString& Calendar() const { return m_Calendar; }
    // The tray changes counted before the work the next Wait waits for.
    unsigned long Mark() const { return m_Mark; }

  private:
    HostSession& m_Session;
    wxString m_Calendar;
    // Starting may run the authorisation, which opens the service's page.
    BrowserShim m_Browser;
    HandlerPtr m_Handler;
    unsigned long m_Mark = 0;
    size_t m_MessagesAtStart = 0;
};

// Text for a wait's outcome, as `wait` prints it.
const char* WaitResultText(HostContext::WaitResult result);
