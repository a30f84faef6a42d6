#include "plugin/PluginHandler.h"

CPluginHandler::CPluginHandler(wxConfigBase* config, const wxString& name, const wxString& section)
    : CCalendarHandler(config, name, section), m_MirrorToOffline(false), m_LastRead(icaltime_null_time()) {}

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
    return true;
}

void CPluginHandler::Enqueue(bool outgoing, uint32_t kind, icalcomponent* component) {
    if (kind != ITEM_READ && !component)
        return;
    auto item = std::make_unique<QueueItem>(kind, component);
    wxCriticalSectionLocker lock(m_QueueLock);
    QueueOf(outgoing).push_back(std::move(item));
}

void CPluginHandler::Requeue(bool outgoing, std::unique_ptr<QueueItem> item) {
    if (!item)
        return;
    wxCriticalSectionLocker lock(m_QueueLock);
    QueueOf(outgoing).push_front(std::move(item));
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
