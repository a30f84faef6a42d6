// The offline file: a local iCalendar copy of one calendar's to-dos, kept between runs, and the
// in-memory store of those to-dos keyed by UID. Used by the worker thread only.
#pragma once

#include "convert/Logger.h"
#include "sync/AtomicFile.h"
#include "sync/ComponentMap.h"

#include <libical/ical.h>
#include <wx/filename.h>
#include <wx/string.h>

#include <functional>
#include <vector>

class CCalendarHandler;

class COfflineCalendar {
  public:
    // Reads the file at once; a missing or unreadable file gives an empty store.
    explicit COfflineCalendar(const wxFileName& fileName);
    // Saves (completed to-dos included) and frees everything.
    ~COfflineCalendar();
    COfflineCalendar(const COfflineCalendar&) = delete;
    COfflineCalendar& operator=(const COfflineCalendar&) = delete;

    // Writes the file when the store has changed since the last save. A failed write leaves the
    // old file in place and the store marked changed, so the next call tries again.
    void Save(bool skipCompleted);
    // Stores a copy under the component's UID, replacing what was there. The caller keeps the
    // component.
    void StoreComponent(const icalcomponent* component);
    // Removes the entry with the component's UID.
    void RemoveComponent(const icalcomponent* component);
    void RemoveByUid(const wxString& uid);

    // Brings the store and a downloaded set together; fills ToUpload and ToRemove. The deleted
    // list's components stay the caller's.
    // UIDs for which `isPending` holds (a change of the host waits for the service) are left as
    // they are.
    using UidTest = std::function<bool(const wxString&)>;
    void Merge(const ComponentMap& online, std::vector<icalcomponent*> deleted, bool incremental,
               wxInt64 lastSync, const UidTest& isPending = UidTest());
    // The same, moving into the store the downloaded to-dos it keeps instead of copying them: their
    // entries in `online` are left cleared (the key stays), and the store's to-do stands for them.
    // A large download then holds each to-do once.
    void MergeTaking(ComponentMap& online, std::vector<icalcomponent*> deleted, bool incremental,
                     wxInt64 lastSync, const UidTest& isPending = UidTest());
    // True when a changed later than b (LAST-MODIFIED, else DTSTAMP; none is the null time).
    static bool IsNewer(const icalcomponent* a, const icalcomponent* b);

    // Formats the text and logs it with the file's name in front.
    template <typename... Args>
    void Log(int level, const wxString& format, Args... args) const {
        LogText(level, wxString::Format(format, args...));
    }

    // Set when every unsent change of the host is known to wait on the outgoing queue (the merge
    // then no longer guesses from change times which offline copies hold unsent changes).
    void SetChangesTracked(bool tracked) { m_ChangesTracked = tracked; }

    const ComponentMap& Components() const { return m_Components; }
    // Copies of offline to-dos the last merge wants sent to the service.
    const ComponentList& ToUpload() const { return m_ToUpload; }
    // The to-dos the last merge dropped from the store.
    const ComponentList& ToRemove() const { return m_ToRemove; }
    const wxFileName& FileName() const { return m_FileName; }
    bool IsModified() const { return m_Modified; }
    // Where an unreadable file was moved before the first save wrote a new one; empty if none.
    const wxString& SetAsidePath() const { return m_SetAsidePath; }

    // Lets tests interrupt the writing of the file at chosen steps.
    void SetWriteHook(AtomicWriteHook hook) { m_WriteHook = std::move(hook); }

  private:
    // The merge; `taking` is the online set when the store takes its to-dos, else null.
    void MergeWith(const ComponentMap& online, ComponentMap* taking, std::vector<icalcomponent*> deleted,
                   bool incremental, wxInt64 lastSync, const UidTest& isPending);
    void Read();
    bool MoveUnreadableAside();
    std::string BuildFileText(bool skipCompleted);
    void ReportWriteFailure(const wxString& text);
    void LogText(int level, const wxString& text) const;

    enum class Decision { UPLOAD, DROP };
    Decision DecideOfflineOnly(const icalcomponent* component, const wxString& uid, bool onlineEmpty,
                               wxInt64 lastSync) const;

    ComponentMap m_Components;
    ComponentList m_ToUpload;
    ComponentList m_ToRemove;
    wxFileName m_FileName;
    bool m_Modified = false;
    bool m_ChangesTracked = false;

    bool m_Unreadable = false;    // the file exists but could not be read; keep it at the next save
    bool m_WriteFailing = false;  // the last save failed; repeats are logged quietly
    wxString m_SetAsidePath;
    AtomicWriteHook m_WriteHook;
};
