// Keeps a vdir folder (one iCalendar file per to-do) and one calendar of the host in step: the
// host's to-dos are written to the folder, and what another program adds, changes or deletes there
// is handed to the plug-in as the user's write or deletion.
#pragma once

#include "host/CalendarDriver.h"
#include "host/MirrorState.h"

#include <wx/string.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

class VdirMirror {
  public:
    VdirMirror(CalendarDriver& driver, const std::string& dir, const wxString& statePath);

    // Reads what the last run knew of the folder (which must exist).
    bool Open(wxString& error);
    // Hands the plug-in what changed in the folder since the last look; true when there was any.
    bool TakeFolderChanges();
    // Writes and removes files for the host's to-dos changed since the last call (all when `all`).
    void ApplyHostChanges(bool all);
    // A handed-over change joins the saved state only once the worker has had it (done, or in its
    // journal), so that a process killed before finds it in the folder again. `all` when the
    // handler is gone, having written its journal.
    void ConfirmHandovers(bool all);
    // Saves what the mirror knows of the folder, and the host's calendar.
    bool Save(wxString& error);

  private:
    bool SaveState(wxString& error);
    std::string PathOf(const std::string& name) const { return m_Dir + "/" + name; }
    // Digest of the host's to-do with this UID; empty when the host has none.
    std::string HostDigest(const std::string& uid);
    // A name for the UID's file that no other file has.
    std::string FreeNameFor(const std::string& uid) const;
    // Record changes; those a handover caused keep the record saved before until confirmed.
    void SetRecord(const std::string& name, const FileRecord& record, bool handover);
    void EraseRecord(const std::string& name, bool handover);
    void TakeFile(const std::string& name, const FileStamp& stamp);
    void TakeDeletion(const std::string& name);
    // `names`: the files that hold the UID now.
    void WriteFile(const std::string& uid, const icalcomponent* todo, const std::vector<std::string>& names);
    void RemoveFiles(const std::vector<std::string>& names);
    void Report(const char* direction, const char* what, const icalcomponent* todo, const std::string& name);

    CalendarDriver& m_Driver;
    std::string m_Dir;
    wxString m_StatePath;
    FileRecords m_Files;
    std::map<std::string, std::optional<FileRecord>> m_Unconfirmed;  // the record to save meanwhile
    HostContext::PassWatch m_HandoverWatch;
    long long m_ConfirmAt = 0;
    bool m_Handed = false;                 // in this look at the folder
    std::set<std::string> m_Recheck;       // UIDs whose file may be written again
    std::set<std::string> m_FailedWrites;  // reported once until they succeed
    bool m_StateChanged = false;
    bool m_FolderFailed = false;  // reported once until it can be read again
};
