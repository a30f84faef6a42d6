#include "sync/RecentTasks.h"

bool IsElementNamed(const wxXmlNode* node, const wchar_t* name) {
    return node->GetType() == wxXML_ELEMENT_NODE && node->GetName().IsSameAs(name, false);
}

void ForEachListedSeries(const wxXmlNode* first,
                         const std::function<bool(const wxXmlNode* series, const wxString& listId)>& use) {
    for (const wxXmlNode* tasks = first; tasks; tasks = tasks->GetNext()) {
        if (!IsElementNamed(tasks, L"tasks"))
            continue;
        for (const wxXmlNode* list = tasks->GetChildren(); list; list = list->GetNext()) {
            if (!IsElementNamed(list, L"list"))
                continue;
            const wxString listId = list->GetAttribute(wxT("id"), wxString());
            for (const wxXmlNode* series = list->GetChildren(); series; series = series->GetNext()) {
                if (IsElementNamed(series, L"taskseries") && !use(series, listId))
                    return;
            }
        }
    }
}
