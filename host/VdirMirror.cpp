#include "host/VdirMirror.h"

#include "host/VdirName.h"
#include "plugin/HostApi.h"

#include <wx/time.h>

#include <unistd.h>
#include <cstdio>
#include <vector>

namespace {
// How long the tray must stay quiet after a pass that was running when a change was handed over
// before the change counts as taken (see HostContext::CheckPasses), and how long after that the
// worker has to write its journal.
const long QUIET_MILLIS = 2500;
const long long JOURNAL_MILLIS = 500;

std::string Summary(const icalcomponent* todo) {
    const char* summary = todo ? icalcomponent_get_summary(const_cast<icalcomponent*>(todo)) : nullptr;
    return summary ? summary : "";
}

void CollectZoneIds(icalcomponent* component, std::set<std::string>& ids) {
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_ANY_PROPERTY)) {
        icalparameter* tzid = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
        if (tzid && icalparameter_get_tzid(tzid))
            ids.insert(icalparameter_get_tzid(tzid));
    }
    for (icalcomponent* c = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT)) {
        CollectZoneIds(c, ids);
    }
}

// The digest of the to-do as a reader of the file gets it back.
std::string WrittenDigest(const std::string& fileText) {
    IcalPtr root(icalparser_parse_string(fileText.c_str()));
    icalcomponent* todo =
        root ? icalcomponent_get_first_component(root.get(), ICAL_VTODO_COMPONENT) : nullptr;
    return todo ? TextDigest(TodoText(todo)) : std::string();
}
}  // namespace

VdirMirror::VdirMirror(CalendarDriver& driver, const std::string& dir, const wxString& statePath)
    : m_Driver(driver), m_Dir(dir), m_StatePath(statePath) {}

bool VdirMirror::Open(wxString& error) {
    RemoveLeftoverTemporaries(m_Dir);
    return LoadMirrorState(m_StatePath, m_Files, error);
}

std::string VdirMirror::HostDigest(const std::string& uid) {
    std::lock_guard<std::mutex> lock(HostContext::Get().Mutex());
    const icalcomponent* todo = HostContext::Get().Store(m_Driver.Calendar()).Find(uid);
    return todo ? TextDigest(TodoText(todo)) : std::string();
}

std::string VdirMirror::FreeNameFor(const std::string& uid) const {
    const std::string name = VdirFileName(uid);
    FileStamp ignored;
    std::string candidate = name;
    for (int n = 2; m_Files.count(candidate) || StampOf(PathOf(candidate), ignored); ++n)
        candidate = name.substr(0, name.size() - 4) + "~" + std::to_string(n) + ".ics";
    return candidate;
}

void VdirMirror::SetRecord(const std::string& name, const FileRecord& record, bool handover) {
    auto old = m_Files.find(name);
    if (handover && !m_Unconfirmed.count(name))
        m_Unconfirmed[name] = old == m_Files.end() ? std::nullopt : std::optional<FileRecord>(old->second);
    if (!handover)
        m_Unconfirmed.erase(name);
    m_Files[name] = record;
    m_StateChanged = true;
}

void VdirMirror::EraseRecord(const std::string& name, bool handover) {
    auto old = m_Files.find(name);
    if (old == m_Files.end())
        return;
    if (handover && !m_Unconfirmed.count(name))
        m_Unconfirmed[name] = old->second;
    if (!handover)
        m_Unconfirmed.erase(name);
    m_Files.erase(old);
    m_StateChanged = true;
}

void VdirMirror::Report(const char* direction, const char* what, const icalcomponent* todo,
                        const std::string& name) {
    std::printf("%s: %s \"%s\" (%s)\n", direction, what, Summary(todo).c_str(), name.c_str());
    std::fflush(stdout);
}

bool VdirMirror::TakeFolderChanges() {
    std::map<std::string, FileStamp> listing;
    std::string error;
    // A folder that cannot be read is no folder emptied by the user: nothing is taken from it.
    if (!ListVdir(m_Dir, listing, error)) {
        if (!m_FolderFailed) {
            HostContext::Get().Log(
                LOG_ERROR,
                wxString::Format(wxT("Mirror: cannot read the folder \"%s\": %s"),
                                 wxString::FromUTF8(m_Dir.c_str()), wxString::FromUTF8(error.c_str())));
        }
        m_FolderFailed = true;
        return false;
    }
    m_FolderFailed = false;
    const unsigned long mark = HostContext::Get().TrayChanges();
    m_Handed = false;
    for (const auto& file : listing) {
        auto known = m_Files.find(file.first);
        if (known == m_Files.end() || known->second.stamp != file.second)
            TakeFile(file.first, file.second);
    }
    std::vector<std::string> gone;
    for (const auto& entry : m_Files)
        if (!listing.count(entry.first))
            gone.push_back(entry.first);
    for (const std::string& name : gone)
        TakeDeletion(name);
    if (m_Handed) {
        m_HandoverWatch = HostContext::Get().WatchPasses(mark);
        m_ConfirmAt = 0;
    }
    return m_Handed;
}

void VdirMirror::TakeFile(const std::string& name, const FileStamp& stamp) {
    auto known = m_Files.find(name);
    FileRecord record = known == m_Files.end() ? FileRecord() : known->second;
    record.stamp = stamp;
    VdirItem item;
    std::string reason;
    if (!ReadVdirItem(PathOf(name), item, reason)) {
        // Read again only when it changes, so it is reported once for each version.
        HostContext::Get().Log(LOG_WARNING, wxString::Format(wxT("Mirror: \"%s\" %s; it is left as it is."),
                                                             wxString::FromUTF8(PathOf(name).c_str()),
                                                             wxString::FromUTF8(reason.c_str())));
        record.invalid = true;
        SetRecord(name, record, m_Unconfirmed.count(name) != 0);  // a handover in doubt stays so
        return;
    }
    for (IcalPtr& zone : item.zones)
        HostContext::Get().AddTimeZone(zone.release());
    const std::string digest = TextDigest(TodoText(item.todo.get()));
    const bool same = known != m_Files.end() && record.uid == item.uid && record.digest == digest;
    record.invalid = false;
    if (same) {  // touched, or written back as it was
        SetRecord(name, record, m_Unconfirmed.count(name) != 0);
        return;
    }
    if (!record.uid.empty() && record.uid != item.uid)
        m_Recheck.insert(record.uid);  // the host's to-do of the old UID gets a file of its own again
    record.uid = item.uid;
    record.digest = digest;
    record.hostDigest = digest;
    const std::string host = HostDigest(item.uid);
    if (host == digest) {  // the host shows this very version: e.g. written here before a crash
        SetRecord(name, record, false);
        return;
    }
    if (!m_Driver.WriteTodo(item.todo.get()))
        return;
    m_Handed = true;
    SetRecord(name, record, true);
    Report("folder > service", host.empty() ? "new" : "changed", item.todo.get(), name);
}

void VdirMirror::TakeDeletion(const std::string& name) {
    const FileRecord old = m_Files[name];
    bool heldElsewhere = false;
    for (const auto& entry : m_Files)
        heldElsewhere = heldElsewhere || (entry.first != name && entry.second.uid == old.uid);
    // A file that was not valid never deletes a task; nor does one of two copies, or one whose
    // to-do the host has dropped already. The host's to-do, if any, gets a file again.
    if (old.invalid || old.uid.empty() || heldElsewhere || HostDigest(old.uid).empty()) {
        EraseRecord(name, false);
        m_Recheck.insert(old.uid);
        return;
    }
    IcalPtr todo;
    {
        std::lock_guard<std::mutex> lock(HostContext::Get().Mutex());
        if (const icalcomponent* c = HostContext::Get().Store(m_Driver.Calendar()).Find(old.uid))
            todo.reset(icalcomponent_new_clone(const_cast<icalcomponent*>(c)));
    }
    if (!m_Driver.DeleteTodo(old.uid))
        return;
    m_Handed = true;
    EraseRecord(name, true);
    Report("folder > service", "deleted", todo.get(), name);
}

void VdirMirror::ApplyHostChanges(bool all) {
    std::set<std::string> uids = HostContext::Get().TakeStoreChanges(m_Driver.Calendar());
    uids.insert(m_Recheck.begin(), m_Recheck.end());
    m_Recheck.clear();
    std::map<std::string, IcalPtr> present;
    {
        std::lock_guard<std::mutex> lock(HostContext::Get().Mutex());
        CalendarStore& store = HostContext::Get().Store(m_Driver.Calendar());
        if (all) {
            for (const icalcomponent* c : store.Components()) {
                const char* uid = icalcomponent_get_uid(const_cast<icalcomponent*>(c));
                uids.insert(uid ? uid : "");
            }
            for (const auto& entry : m_Files)
                uids.insert(entry.second.uid);
        }
        for (const std::string& uid : uids) {
            const icalcomponent* c = store.Find(uid);
            if (c && icalcomponent_isa(const_cast<icalcomponent*>(c)) == ICAL_VTODO_COMPONENT)
                present[uid].reset(icalcomponent_new_clone(const_cast<icalcomponent*>(c)));
        }
    }
    std::map<std::string, std::vector<std::string>> names;  // the files of each UID
    for (const auto& entry : m_Files)
        names[entry.second.uid].push_back(entry.first);
    // Writes before removals: a to-do that comes back under a new UID is never missing from the
    // folder in between.
    for (const auto& entry : present)
        if (!entry.first.empty())
            WriteFile(entry.first, entry.second.get(), names[entry.first]);
    std::vector<std::string> gone;
    for (const std::string& uid : uids)
        if (!uid.empty() && !present.count(uid))
            gone.insert(gone.end(), names[uid].begin(), names[uid].end());
    RemoveFiles(gone);
}

void VdirMirror::WriteFile(const std::string& uid, const icalcomponent* todo,
                           const std::vector<std::string>& names) {
    const std::string hostDigest = TextDigest(TodoText(todo));
    const bool known = !names.empty();
    std::string name = known ? names.front() : std::string();
    if (known) {
        const FileRecord& record = m_Files[name];
        FileStamp now;
        // A file that is not valid is left alone; one changed or deleted since the last look is
        // the user's, and the next look hands that change over.
        if (record.invalid || record.hostDigest == hostDigest || !StampOf(PathOf(name), now) ||
            now != record.stamp)
            return;
    } else {
        name = FreeNameFor(uid);
    }
    std::set<std::string> zoneIds;
    CollectZoneIds(const_cast<icalcomponent*>(todo), zoneIds);
    std::vector<icalcomponent*> zones;
    for (const std::string& id : zoneIds)
        if (icalcomponent* zone = HostContext::Get().TimeZoneComponent(id))
            zones.push_back(zone);
    const std::string text = VdirFileText(todo, zones);
    for (icalcomponent* zone : zones)
        icalcomponent_free(zone);
    FileRecord record;
    if (!WriteVdirFile(PathOf(name), text, record.stamp)) {
        if (m_FailedWrites.insert(uid).second) {
            HostContext::Get().Log(LOG_ERROR, wxString::Format(wxT("Mirror: cannot write \"%s\""),
                                                               wxString::FromUTF8(PathOf(name).c_str())));
        }
        m_Recheck.insert(uid);
        return;
    }
    m_FailedWrites.erase(uid);
    record.uid = uid;
    record.digest = WrittenDigest(text);
    record.hostDigest = hostDigest;
    SetRecord(name, record, false);
    Report("service > folder", known ? "updated" : "added", todo, name);
}

void VdirMirror::RemoveFiles(const std::vector<std::string>& names) {
    std::map<std::string, FileRecord> doomed;
    for (const std::string& name : names) {
        auto record = m_Files.find(name);
        if (record == m_Files.end() || record->second.invalid)
            continue;
        FileStamp now;
        if (!StampOf(PathOf(name), now))
            EraseRecord(name, false);
        else if (now == record->second.stamp)  // else changed since the last look: the next look takes it
            doomed.emplace(name, record->second);
    }
    if (doomed.empty())
        return;
    // The state forgets the files before they go: a process killed in between finds files it
    // does not know, which are compared with the host's to-dos, never files missing, which would be
    // taken for the user's deletions.
    for (const auto& entry : doomed)
        EraseRecord(entry.first, false);
    wxString error;
    if (!SaveState(error)) {
        HostContext::Get().Log(LOG_ERROR, wxT("Mirror: ") + error);
        for (const auto& entry : doomed) {
            SetRecord(entry.first, entry.second, false);
            m_Recheck.insert(entry.second.uid);
        }
        return;
    }
    for (const auto& entry : doomed) {
        VdirItem item;
        std::string ignored;
        ReadVdirItem(PathOf(entry.first), item, ignored);
        if (::unlink(PathOf(entry.first).c_str()) == 0)
            Report("service > folder", "removed", item.todo.get(), entry.first);
    }
}

void VdirMirror::ConfirmHandovers(bool all) {
    if (m_Unconfirmed.empty())
        return;
    if (!all) {
        const auto state = HostContext::Get().CheckPasses(m_Driver.Calendar(), m_HandoverWatch, QUIET_MILLIS);
        const long long now = wxGetLocalTimeMillis().GetValue();
        if (state == HostContext::PassState::Busy) {
            m_ConfirmAt = 0;
            return;
        }
        if (m_ConfirmAt == 0)
            m_ConfirmAt = now + JOURNAL_MILLIS;
        if (now < m_ConfirmAt)
            return;
    }
    m_Unconfirmed.clear();
    m_ConfirmAt = 0;
    m_StateChanged = true;
}

bool VdirMirror::Save(wxString& error) {
    // The host's calendar is saved only while no handover is in doubt: it holds the user's
    // versions, and a process killed before the worker had them must find them as changes again.
    return SaveState(error) && (!m_Unconfirmed.empty() || HostContext::Get().SaveStores(error));
}

bool VdirMirror::SaveState(wxString& error) {
    if (!m_StateChanged)
        return true;
    FileRecords saved = m_Files;
    for (const auto& entry : m_Unconfirmed) {
        if (entry.second)
            saved[entry.first] = *entry.second;
        else
            saved.erase(entry.first);
    }
    if (!SaveMirrorState(m_StatePath, saved, error))
        return false;
    m_StateChanged = false;
    return true;
}
