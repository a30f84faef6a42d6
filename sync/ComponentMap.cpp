#include "sync/ComponentMap.h"

#include "convert/PropertyHelpers.h"

#include <utility>

wxString ComponentUid(const icalcomponent* component) {
    if (!component)
        return wxString();
    return FromUtf8(icalcomponent_get_uid(const_cast<icalcomponent*>(component)));
}

ComponentMap::ComponentMap(size_t room) {
    m_Slots.reserve(room);
    m_Index.reserve(room);
}

ComponentMap::~ComponentMap() {
    Clear();
}

ComponentMap::ComponentMap(ComponentMap&& other) noexcept
    : m_Slots(std::move(other.m_Slots)), m_Index(std::move(other.m_Index)), m_Erased(other.m_Erased) {
    other.m_Slots.clear();
    other.m_Index.clear();
    other.m_Erased = 0;
}

ComponentMap& ComponentMap::operator=(ComponentMap&& other) noexcept {
    if (this != &other) {
        Clear();
        m_Slots = std::move(other.m_Slots);
        m_Index = std::move(other.m_Index);
        m_Erased = other.m_Erased;
        other.m_Slots.clear();
        other.m_Index.clear();
        other.m_Erased = 0;
    }
    return *this;
}

bool ComponentMap::Contains(const wxString& uid) const {
    return m_Index.count(uid) != 0;
}

icalcomponent* ComponentMap::Find(const wxString& uid) const {
    auto found = m_Index.find(uid);
    return found == m_Index.end() ? nullptr : m_Slots[found->second].component;
}

bool ComponentMap::Store(const wxString& uid, icalcomponent* owned) {
    if (uid.empty()) {
        if (owned)
            icalcomponent_free(owned);
        return false;
    }
    auto found = m_Index.find(uid);
    if (found != m_Index.end()) {
        Entry& entry = m_Slots[found->second];
        if (entry.component && entry.component != owned)
            icalcomponent_free(entry.component);
        entry.component = owned;
        return true;
    }
    m_Index.emplace(uid, m_Slots.size());
    m_Slots.push_back(Entry{uid, owned});
    return true;
}

icalcomponent* ComponentMap::Detach(const wxString& uid) {
    auto found = m_Index.find(uid);
    if (found == m_Index.end())
        return nullptr;
    return std::exchange(m_Slots[found->second].component, nullptr);
}

bool ComponentMap::Erase(const wxString& uid) {
    auto found = m_Index.find(uid);
    if (found == m_Index.end())
        return false;
    Entry& entry = m_Slots[found->second];
    if (entry.component)
        icalcomponent_free(entry.component);
    entry.component = nullptr;
    entry.uid.clear();  // marks the slot as erased; the walk skips it
    m_Index.erase(found);
    ++m_Erased;
    // Squeeze the erased slots out once they outnumber the live ones, so that erasing stays
    // amortised constant time and walks stay proportional to the live entries.
    if (m_Erased > 32 && m_Erased > m_Index.size())
        Compact();
    return true;
}

void ComponentMap::Compact() {
    size_t target = 0;
    for (size_t i = 0; i < m_Slots.size(); ++i) {
        if (m_Slots[i].uid.empty())
            continue;
        if (target != i)
            m_Slots[target] = std::move(m_Slots[i]);
        m_Index[m_Slots[target].uid] = target;
        ++target;
    }
    m_Slots.resize(target);
    m_Erased = 0;
}

ComponentList ComponentMap::TakeAll() {
    ComponentList taken;
    taken.reserve(m_Index.size());
    for (Entry& entry : m_Slots) {
        if (!entry.uid.empty() && entry.component)
            taken.emplace_back(entry.component);
        entry.component = nullptr;
    }
    m_Slots.clear();
    m_Index.clear();
    m_Erased = 0;
    return taken;
}

void ComponentMap::Clear() {
    for (Entry& entry : m_Slots) {
        if (entry.component)
            icalcomponent_free(entry.component);
    }
    m_Slots.clear();
    m_Index.clear();
    m_Erased = 0;
}
