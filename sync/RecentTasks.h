// The task series of a getList reply: every one under rsp/tasks/list, with its list's id.
#pragma once

#include <wx/string.h>
#include <wx/xml/xml.h>

#include <functional>

// Whether the node is an element of that name (compared without regard to case).
bool IsElementNamed(const wxXmlNode* node, const wchar_t* name);

// Calls `use` with each series element and the id of its list; stops when `use` returns false.
void ForEachListedSeries(const wxXmlNode* first,
                         const std::function<bool(const wxXmlNode* series, const wxString& listId)>& use);
