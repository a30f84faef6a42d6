// One taskseries element of the service's replies to one new VTODO.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

class Logger;
class wxXmlNode;

// A new to-do owned by the caller, or null (logged) when the series, its task or the list has no id.
icalcomponent* ConvertTaskSeries(const wxXmlNode* taskSeries, const wxString& listId, const Logger* log);
