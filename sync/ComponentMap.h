// A store of components keyed by UID that keeps the order in which the keys were first stored.
// Lookups are constant time; walks go in store order. An entry can be cleared (its component
// handed out) while its key stays, so later lookups still see the UID.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

#include <cstddef>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

struct IcalComponentFree {
    void operator()(icalcomponent* component) const {
        if (component)
            icalcomponent_free(component);
    }
};
using IcalComponentPtr = std::unique_ptr<icalcomponent, IcalComponentFree>;
// An owning list of components.
using ComponentList = std::vector<IcalComponentPtr>;

// A UID as the key text: UTF-8 from libical decoded to wide text; empty for none.
wxString ComponentUid(const icalcomponent* component);

class ComponentMap {
  public:
    struct Entry {
        wxString uid;                        // empty only in a slot that was erased
        icalcomponent* component = nullptr;  // owned; null when the entry was cleared
    };

    // Walks the entries in store order, cleared ones included, erased slots skipped.
    class Iterator {
      public:
        Iterator(const std::vector<Entry>* slots, size_t index) : m_Slots(slots), m_Index(index) { Skip(); }
        const Entry& operator*() const { return (*m_Slots)[m_Index]; }
        const Entry* operator->() const { return &(*m_Slots)[m_Index]; }
        Iterator& operator++() {
            ++m_Index;
            Skip();
            return *this;
        }
        bool operator==(const Iterator& other) const { return m_Index == other.m_Index; }
        bool operator!=(const Iterator& other) const { return m_Index != other.m_Index; }

      private:
        void Skip() {
            while (m_Index < m_Slots->size() && (*m_Slots)[m_Index].uid.empty())
                ++m_Index;
        }
        const std::vector<Entry>* m_Slots;
        size_t m_Index;
    };

    explicit ComponentMap(size_t room = 100);
    ~ComponentMap();
    ComponentMap(const ComponentMap&) = delete;
    ComponentMap& operator=(const ComponentMap&) = delete;
    ComponentMap(ComponentMap&& other) noexcept;
    ComponentMap& operator=(ComponentMap&& other) noexcept;

    // Number of keys, cleared entries included.
    size_t Size() const { return m_Index.size(); }
    bool IsEmpty() const { return m_Index.empty(); }

    // True when the UID has an entry, even a cleared one.
    bool Contains(const wxString& uid) const;
    // The component stored under the UID; null when there is none or the entry was cleared.
    icalcomponent* Find(const wxString& uid) const;

    // Takes ownership of the component. A component already stored under the UID is freed and
    // replaced; the entry keeps its place in the order. An empty UID is refused (the component is
    // freed) and gives false.
    bool Store(const wxString& uid, icalcomponent* owned);
    // Hands the component out and keeps the key; null when absent or already cleared.
    icalcomponent* Detach(const wxString& uid);
    // Frees the component and forgets the key; false when the UID had no entry.
    bool Erase(const wxString& uid);
    // Hands every component out in store order (cleared entries give none) and empties the map.
    ComponentList TakeAll();
    // Frees every component and empties the map.
    void Clear();

    // Store of a new key and Erase may invalidate iterators; Detach and replacing Store do not.
    Iterator begin() const { return Iterator(&m_Slots, 0); }
    Iterator end() const { return Iterator(&m_Slots, m_Slots.size()); }

  private:
    struct UidHash {
        size_t operator()(const wxString& uid) const {
            return std::hash<std::wstring_view>()(std::wstring_view(uid.wc_str(), uid.length()));
        }
    };
    void Compact();

    std::vector<Entry> m_Slots;
    std::unordered_map<wxString, size_t, UidHash> m_Index;  // UID -> position in m_Slots
    size_t m_Erased = 0;
};
