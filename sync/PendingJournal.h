// The changes the host handed over that the service does not have yet, and what the plug-in knows
// of the tasks its uploads added, as a small file beside the offline copy: written before any of
// it can be lost, read when the calendar starts again.
#pragma once

#include "convert/TaskUid.h"
#include "sync/ComponentMap.h"

#include <libical/ical.h>
#include <wx/string.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What the plug-in knows of the task behind one of the host's UIDs.
struct TaskIdentity {
    enum State { ADD_SENT, CREATED };
    State state = ADD_SENT;
    int64_t since = 0;  // seconds since 1970: when the add went out
    wxString name;      // the name the add carried
    TaskIds ids;        // the task the add made (CREATED)
};
using IdentityMap = std::map<wxString, TaskIdentity>;

// One waiting change: an upload (ITEM_WRITE) or a deletion (ITEM_DELETE) with its to-do.
struct PendingChange {
    uint32_t kind = 0;
    IcalComponentPtr component;
};

struct JournalView {
    std::vector<std::pair<uint32_t, const icalcomponent*>> changes;
    const IdentityMap* identities = nullptr;
};

std::string FormatJournal(const JournalView& view);
// False when the text is not a journal; what could be read before the damage is kept.
bool ParseJournal(const std::string& text, std::vector<PendingChange>& changes, IdentityMap& identities);

// The journal's path for a calendar, unique to the calendar's whole name: `kind` "Pending" for the
// waiting changes, "Added" for what is known of the tasks the uploads added. The second is written
// at every add, so it does not carry the queue along.
wxString JournalPath(const wxString& directory, const wxString& section, const wxString& name,
                     const wxString& kind = wxT("Pending"));

// Reads the file (false and nothing read when it is missing or unreadable) and writes it atomically.
bool ReadJournalFile(const wxString& path, std::vector<PendingChange>& changes, IdentityMap& identities);
bool WriteJournalFile(const wxString& path, const std::string& text);
