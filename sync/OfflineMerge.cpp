// The merge of the offline store with the set of to-dos just downloaded from the service.
#include "sync/OfflineCalendar.h"

#include "convert/TaskUid.h"
#include "plugin/HostApi.h"

#include <cstring>

namespace {

const char* const X_READONLY = "X-CORVANE-READONLY";

// LAST-MODIFIED when present with a value, else DTSTAMP, else the null time.
icaltimetype ChangeTime(const icalcomponent* component) {
    auto* c = const_cast<icalcomponent*>(component);
    if (!c)
        return icaltime_null_time();
    icalproperty* modified = icalcomponent_get_first_property(c, ICAL_LASTMODIFIED_PROPERTY);
    if (modified && icalproperty_get_value(modified))
        return icalproperty_get_lastmodified(modified);
    icalproperty* stamp = icalcomponent_get_first_property(c, ICAL_DTSTAMP_PROPERTY);
    if (stamp && icalproperty_get_value(stamp))
        return icalproperty_get_dtstamp(stamp);
    return icaltime_null_time();
}

bool HasXProperty(const icalcomponent* component, const char* name) {
    auto* c = const_cast<icalcomponent*>(component);
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY)) {
        const char* xName = icalproperty_get_x_name(p);
        if (xName && std::strcmp(xName, name) == 0)
            return true;
    }
    return false;
}

}  // namespace

bool COfflineCalendar::IsNewer(const icalcomponent* a, const icalcomponent* b) {
    return icaltime_compare(ChangeTime(a), ChangeTime(b)) == 1;
}

COfflineCalendar::Decision COfflineCalendar::DecideOfflineOnly(const icalcomponent* component,
                                                               const wxString& uid, bool onlineEmpty,
                                                               wxInt64 lastSync) const {
    const bool readOnly = HasXProperty(component, X_READONLY);
    // A to-do that never reached the service cannot have been deleted or completed there: dropping
    // it would lose it for good, whatever the download and the last sync time say.
    if (!HasTaskUidForm(uid) && !readOnly) {
        Log(LOG_DEBUG, wxT("The component has never been on the online calendar --> add it to the online."));
        return Decision::UPLOAD;
    }
    if (onlineEmpty)
        return Decision::DROP;
    if (m_ChangesTracked) {
        // Every change the host made waits on the outgoing queue until the service has it, so this
        // copy holds nothing the service lacks: the task was completed or deleted there. Its
        // change time cannot tell, since an upload's read-back is newer than the last merge.
        Log(LOG_DEBUG,
            wxT("The component is no longer open on the online calendar --> remove from offline."));
        return Decision::DROP;
    }
    icalproperty* modified =
        icalcomponent_get_first_property(const_cast<icalcomponent*>(component), ICAL_LASTMODIFIED_PROPERTY);
    if (!modified || !icalproperty_get_value(modified))
        return Decision::UPLOAD;

    const wxInt64 created = static_cast<wxInt64>(icaltime_as_timet(icalproperty_get_lastmodified(modified)));
    const long long t = created, last = lastSync;
    if (created >= lastSync) {
        if (readOnly) {
            Log(LOG_DEBUG, wxT("The component is marked as read only so it won't be added to online."));
            return Decision::DROP;
        }
        Log(LOG_DEBUG,
            wxT("The component was created after the last sync (%lld > %lld) --> add it to the online."), t,
            last);
        return Decision::UPLOAD;
    }
    Log(LOG_DEBUG,
        wxT("The component was created before the last sync (%lld < %lld) --> remove from offline."), t,
        last);
    return Decision::DROP;
}

void COfflineCalendar::Merge(const ComponentMap& online, std::vector<icalcomponent*> deleted,
                             bool incremental, wxInt64 lastSync, const UidTest& isPending) {
    MergeWith(online, nullptr, std::move(deleted), incremental, lastSync, isPending);
}

void COfflineCalendar::MergeTaking(ComponentMap& online, std::vector<icalcomponent*> deleted,
                                   bool incremental, wxInt64 lastSync, const UidTest& isPending) {
    MergeWith(online, &online, std::move(deleted), incremental, lastSync, isPending);
}

void COfflineCalendar::MergeWith(const ComponentMap& online, ComponentMap* taking,
                                 std::vector<icalcomponent*> deleted, bool incremental, wxInt64 lastSync,
                                 const UidTest& isPending) {
    const auto pending = [&](const wxString& uid) { return isPending && isPending(uid); };
    Log(LOG_DEBUG, wxT("%i items in the online calendar"), static_cast<int>(online.Size()));
    Log(LOG_DEBUG, wxT("%i items in the offline calendar"), static_cast<int>(m_Components.Size()));
    m_ToUpload.clear();
    m_ToRemove.clear();

    // Offline pass: only a full download tells which to-dos the service no longer has.
    if (!incremental) {
        for (const ComponentMap::Entry& entry : m_Components) {
            // A to-do with a change waiting for the service is that change's business.
            if (!entry.component || pending(entry.uid))
                continue;
            if (online.Contains(entry.uid)) {
                if (IsNewer(entry.component, online.Find(entry.uid))) {
                    Log(LOG_DEBUG, wxT("Updated component from offline to online \"%s\""), entry.uid);
                    m_ToUpload.emplace_back(icalcomponent_new_clone(entry.component));
                }
                continue;
            }

            Log(LOG_DEBUG, wxT("New component in offline file: \"%s\""), entry.uid);
            if (DecideOfflineOnly(entry.component, entry.uid, online.IsEmpty(), lastSync) ==
                Decision::UPLOAD) {
                Log(LOG_DEBUG, wxT("The component was added to the online calendar"));
                m_ToUpload.emplace_back(icalcomponent_new_clone(entry.component));
            } else {
                Log(LOG_DEBUG, wxT("The component was removed from the offline calendar"));
                m_ToRemove.emplace_back(m_Components.Detach(entry.uid));
                m_Modified = true;
            }
        }
    }

    // Online pass: what the service has that the store lacks or holds in an older version.
    for (const ComponentMap::Entry& entry : online) {
        if (!entry.component || pending(entry.uid))
            continue;
        if (m_Components.Contains(entry.uid)) {
            if (!IsNewer(entry.component, m_Components.Find(entry.uid)))
                continue;
            Log(LOG_DEBUG, wxT("Updated component from online to offline: \"%s\""), entry.uid);
        } else {
            Log(LOG_DEBUG, wxT("New component in online file: \"%s\""), entry.uid);
        }
        m_Components.Store(entry.uid,
                           taking ? taking->Detach(entry.uid) : icalcomponent_new_clone(entry.component));
        m_Modified = true;
    }

    // Deleted pass: series the service reports as deleted leave the store (the download removes
    // them from the host itself).
    for (icalcomponent* component : deleted) {
        const wxString uid = ComponentUid(component);
        if (uid.empty())
            continue;
        if (m_Components.Contains(uid)) {
            Log(LOG_DEBUG, wxT("Removed component from offline file: \"%s\""), uid);
            IcalComponentPtr removed(m_Components.Detach(uid));
            // A to-do the store took from the online set goes back there: the set stays the caller's.
            if (removed && taking && taking->Contains(uid) && !taking->Find(uid))
                taking->Store(uid, removed.release());
            m_Modified = true;
        } else {
            Log(LOG_DEBUG, wxT("Removed component was not found from offline file: \"%s\""), uid);
        }
    }
}
