#include "plugin/PluginHandler.h"

#include "convert/Logger.h"
#include "plugin/HostApi.h"

#include <wx/filename.h>

#include <ctime>

namespace {
// How long the link from a host's UID to the task its upload added is kept.
const int64_t IDENTITY_LIFETIME_SECONDS = 30 * 24 * 3600;

bool IsChange(uint32_t kind) {
    return kind == ITEM_WRITE || kind == ITEM_DELETE;
}

std::unique_ptr<QueueItem> CloneItem(const QueueItem& item) {
    return std::make_unique<QueueItem>(item.kind,
                                       item.component ? icalcomponent_new_clone(item.component) : nullptr);
}
}  // namespace

CPluginHandler::CPluginHandler(wxConfigBase* config, const wxString& name, const wxString& section)
    : CCalendarHandler(config, name, section),
      m_Logger(name),
      m_MirrorToOffline(false),
      m_LastRead(icaltime_null_time()) {}

void CPluginHandler::Assign(const CCalendarHandler& other) {
    CCalendarHandler::Assign(other);
    m_Logger = Logger(m_Name);
}

void CPluginHandler::HandOver(icalcomponent* component, unsigned flags) {
    Corvane_AddComponent(component, this, flags);
}

CPluginHandler::~CPluginHandler() {
    FreeQueues();
}

void CPluginHandler::FreeQueues() {
    wxCriticalSectionLocker lock(m_QueueLock);
    m_OutgoingQueue.clear();
    m_OfflineQueue.clear();
}

bool CPluginHandler::Refresh() {
    // One lock for both steps, so the worker never sees the reset without the read item.
    wxCriticalSectionLocker lock(m_QueueLock);
    ResetLastRead();
    Enqueue(true, ITEM_READ, nullptr);
    if (m_MirrorToOffline)
        Enqueue(false, ITEM_READ, nullptr);
    return true;
}

bool CPluginHandler::WriteComponents(const ComponentArray& components) {
    return QueueComponents(components, ITEM_WRITE);
}

bool CPluginHandler::DeleteComponents(const ComponentArray& components) {
    return QueueComponents(components, ITEM_DELETE);
}

bool CPluginHandler::QueueComponents(const ComponentArray& components, uint32_t kind) {
    for (size_t i = 0; i < components.size(); ++i) {
        icalcomponent* component = components[i];
        if (!component)
            continue;
        Enqueue(true, kind, icalcomponent_new_clone(component));
        if (m_MirrorToOffline)
            Enqueue(false, kind, icalcomponent_new_clone(component));
    }
    // The host takes the change as ours once this returns: a crash a moment later must not lose it.
    SaveJournalIfChanged();
    return true;
}

void CPluginHandler::Enqueue(bool outgoing, uint32_t kind, icalcomponent* component) {
    if (kind != ITEM_READ && !component)
        return;
    auto item = std::make_unique<QueueItem>(kind, component);
    wxCriticalSectionLocker lock(m_QueueLock);
    if (outgoing && IsChange(kind)) {
        AddChange(std::move(item));
        m_JournalChanged = true;
        return;
    }
    QueueOf(outgoing).push_back(std::move(item));
}

wxString CPluginHandler::ResolvedUid(const wxString& uid) const {
    const auto known = m_Identities.find(uid);
    if (known != m_Identities.end() && known->second.state == TaskIdentity::CREATED)
        return known->second.ids.Uid();
    return uid;
}

bool CPluginHandler::ServiceMayHave(const wxString& uid) const {
    if (HasTaskUidForm(uid) || m_Identities.count(uid))
        return true;
    // The worker may be adding it right now.
    return m_InFlight && m_InFlight->component && ComponentUid(m_InFlight->component) == uid;
}

CPluginHandler::Queue::iterator CPluginHandler::FindWaiting(const wxString& uid) {
    const wxString resolved = ResolvedUid(uid);
    for (auto it = m_OutgoingQueue.begin(); it != m_OutgoingQueue.end(); ++it) {
        if (!IsChange((*it)->kind))
            continue;
        const wxString other = ComponentUid((*it)->component);
        if (other == uid || ResolvedUid(other) == resolved)
            return it;
    }
    return m_OutgoingQueue.end();
}

void CPluginHandler::AddChange(std::unique_ptr<QueueItem> item) {
    const wxString uid = ComponentUid(item->component);
    const auto waiting = uid.empty() ? m_OutgoingQueue.end() : FindWaiting(uid);
    if (waiting == m_OutgoingQueue.end()) {
        m_OutgoingQueue.push_back(std::move(item));
        return;
    }
    if (item->kind == ITEM_DELETE && (*waiting)->kind == ITEM_WRITE && !ServiceMayHave(uid)) {
        // Written and deleted before it ever reached the service: nothing to send at all.
        m_OutgoingQueue.erase(waiting);
        return;
    }
    *waiting = std::move(item);  // the newer change of the same to-do takes the older one's place
}

void CPluginHandler::Requeue(bool outgoing, std::unique_ptr<QueueItem> item) {
    if (!item)
        return;
    wxCriticalSectionLocker lock(m_QueueLock);
    if (outgoing && IsChange(item->kind)) {
        m_InFlight.reset();
        m_JournalChanged = true;
        const wxString uid = ComponentUid(item->component);
        if (!uid.empty() && FindWaiting(uid) != m_OutgoingQueue.end())
            return;  // a newer change of the same to-do waits; it carries on from here
    }
    QueueOf(outgoing).push_front(std::move(item));
}

void CPluginHandler::EnqueueUnlessWaiting(icalcomponent* component) {
    auto item = std::make_unique<QueueItem>(ITEM_WRITE, component);
    wxCriticalSectionLocker lock(m_QueueLock);
    if (FindWaiting(ComponentUid(component)) != m_OutgoingQueue.end())
        return;
    m_OutgoingQueue.push_back(std::move(item));
    m_JournalChanged = true;
}

void CPluginHandler::FinishItem() {
    wxCriticalSectionLocker lock(m_QueueLock);
    if (m_InFlight) {
        m_InFlight.reset();
        m_JournalChanged = true;
    }
}

icalcomponent* CPluginHandler::WaitingWriteCopy(const wxString& uid) {
    wxCriticalSectionLocker lock(m_QueueLock);
    const auto waiting = FindWaiting(uid);
    if (waiting == m_OutgoingQueue.end() || (*waiting)->kind != ITEM_WRITE)
        return nullptr;
    return icalcomponent_new_clone((*waiting)->component);
}

bool CPluginHandler::IsChangeWaiting(const wxString& uid) {
    wxCriticalSectionLocker lock(m_QueueLock);
    return FindWaiting(uid) != m_OutgoingQueue.end();
}

bool CPluginHandler::FindIdentity(const wxString& uid, TaskIdentity& identity) {
    wxCriticalSectionLocker lock(m_QueueLock);
    const auto found = m_Identities.find(uid);
    if (found == m_Identities.end())
        return false;
    identity = found->second;
    return true;
}

void CPluginHandler::RecordAddSent(const wxString& uid, int64_t since, const wxString& name) {
    {
        wxCriticalSectionLocker lock(m_QueueLock);
        TaskIdentity& identity = m_Identities[uid];
        identity.state = TaskIdentity::ADD_SENT;
        identity.since = since;
        identity.name = name;
    }
    SaveIdentities();
}

void CPluginHandler::RecordCreated(const wxString& uid, const TaskIds& ids) {
    {
        wxCriticalSectionLocker lock(m_QueueLock);
        TaskIdentity& identity = m_Identities[uid];
        identity.state = TaskIdentity::CREATED;
        identity.ids = ids;
        if (identity.since == 0)
            identity.since = static_cast<int64_t>(std::time(nullptr));
    }
    SaveIdentities();
}

std::vector<wxString> CPluginHandler::SettledHostUids() {
    wxCriticalSectionLocker lock(m_QueueLock);
    std::vector<wxString> uids;
    for (const auto& entry : m_Identities) {
        if (entry.second.state == TaskIdentity::CREATED && entry.first != entry.second.ids.Uid() &&
            FindWaiting(entry.first) == m_OutgoingQueue.end() &&
            !(m_InFlight && m_InFlight->component && ComponentUid(m_InFlight->component) == entry.first))
            uids.push_back(entry.first);
    }
    return uids;
}

void CPluginHandler::ForgetIdentity(const wxString& uid) {
    {
        wxCriticalSectionLocker lock(m_QueueLock);
        if (!m_Identities.erase(uid))
            return;
    }
    SaveIdentities();
}

void CPluginHandler::LoadJournal(const wxString& pendingPath, const wxString& addedPath) {
    {
        wxCriticalSectionLocker lock(m_QueueLock);
        if (!m_JournalPath.empty())
            return;
    }
    std::vector<PendingChange> changes, none;
    IdentityMap identities, noIdentities;
    m_JournalExisted = wxFileName::FileExists(pendingPath);
    ReadJournalFile(pendingPath, changes, noIdentities);
    ReadJournalFile(addedPath, none, identities);
    const int64_t oldest = static_cast<int64_t>(std::time(nullptr)) - IDENTITY_LIFETIME_SECONDS;
    {
        wxCriticalSectionLocker lock(m_QueueLock);
        m_JournalPath = pendingPath;
        m_AddedPath = addedPath;
        for (auto& entry : identities) {
            if (entry.second.state == TaskIdentity::ADD_SENT || entry.second.since >= oldest)
                m_Identities.insert(entry);
        }
        // The journal's changes are older than what the host handed over since.
        Queue later;
        later.swap(m_OutgoingQueue);
        for (PendingChange& change : changes) {
            if (IsChange(change.kind))
                AddChange(std::make_unique<QueueItem>(change.kind, change.component.release()));
        }
        for (auto& item : later) {
            if (IsChange(item->kind)) {
                AddChange(std::move(item));
            } else {
                m_OutgoingQueue.push_back(std::move(item));
            }
        }
        m_JournalChanged = true;
    }
    if (!changes.empty()) {
        HostLog(LOG_INFO, wxString::Format(wxT("%s: %i waiting changes taken from \"%s\""), m_Name,
                                           static_cast<int>(changes.size()), pendingPath));
    }
}

void CPluginHandler::SaveJournal() {
    SaveJournalFile(true);
}

void CPluginHandler::SaveIdentities() {
    SaveJournalFile(false);
}

void CPluginHandler::SaveJournalFile(bool changes) {
    wxMutexLocker fileLock(m_JournalFileLock);
    wxString path;
    std::string text;
    {
        wxCriticalSectionLocker lock(m_QueueLock);
        path = changes ? m_JournalPath : m_AddedPath;
        if (path.empty())
            return;
        JournalView view;
        if (changes) {
            if (m_InFlight)
                view.changes.emplace_back(m_InFlight->kind, m_InFlight->component);
            for (const auto& item : m_OutgoingQueue) {
                if (IsChange(item->kind))
                    view.changes.emplace_back(item->kind, item->component);
            }
        } else {
            view.identities = &m_Identities;
        }
        text = FormatJournal(view);
        (changes ? m_JournalChanged : m_IdentitiesChanged) = false;
    }
    if (WriteJournalFile(path, text))
        return;
    HostLog(LOG_ERROR, m_Name + wxT(": Unable to write the file \"") + path + wxT("\"."));
    wxCriticalSectionLocker lock(m_QueueLock);
    (changes ? m_JournalChanged : m_IdentitiesChanged) = true;  // tried again at the next chance
}

bool CPluginHandler::JournalLoaded() {
    wxCriticalSectionLocker lock(m_QueueLock);
    return !m_JournalPath.empty();
}

void CPluginHandler::SaveJournalIfChanged() {
    bool changes = false, identities = false;
    {
        wxCriticalSectionLocker lock(m_QueueLock);
        changes = m_JournalChanged && !m_JournalPath.empty();
        identities = m_IdentitiesChanged && !m_AddedPath.empty();
    }
    if (changes)
        SaveJournal();
    if (identities)
        SaveIdentities();
}

size_t CPluginHandler::QueueCount(bool outgoing) {
    wxCriticalSectionLocker lock(m_QueueLock);
    return QueueOf(outgoing).size();
}

std::unique_ptr<QueueItem> CPluginHandler::Dequeue(bool outgoing) {
    wxCriticalSectionLocker lock(m_QueueLock);
    Queue& queue = QueueOf(outgoing);
    if (queue.empty())
        return nullptr;
    std::unique_ptr<QueueItem> item = std::move(queue.front());
    queue.pop_front();
    if (outgoing && IsChange(item->kind))
        m_InFlight = CloneItem(*item);
    return item;
}

bool CPluginHandler::IsQueued(bool outgoing, uint32_t kind) {
    wxCriticalSectionLocker lock(m_QueueLock);
    for (const auto& item : QueueOf(outgoing)) {
        if (item->kind == kind)
            return true;
    }
    return false;
}

icaltimetype CPluginHandler::GetLastRead() {
    wxCriticalSectionLocker lock(m_QueueLock);
    return m_LastRead;
}

void CPluginHandler::SetLastRead(const icaltimetype& time) {
    wxCriticalSectionLocker lock(m_QueueLock);
    m_LastRead = time;
}

void CPluginHandler::ResetLastRead() {
    wxCriticalSectionLocker lock(m_QueueLock);
    m_LastRead = icaltime_null_time();
}

void CPluginHandler::CompleteRead(const icaltimetype& start) {
    wxCriticalSectionLocker lock(m_QueueLock);
    for (const auto& item : m_OutgoingQueue) {
        if (item->kind == ITEM_READ)
            return;
    }
    m_LastRead = start;
}
