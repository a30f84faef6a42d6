// The task deletion: the task behind a to-do the user deleted in the host, deleted on the service.
#pragma once

#include "convert/TaskUid.h"

#include <libical/ical.h>
#include <wx/string.h>

#include <cstdint>

class CRTMConnection;
class Logger;

// `known` names the task when the to-do's own UID does not (a to-do whose upload added it).
uint32_t DeleteTask(CRTMConnection& connection, const Logger* log, const wxString& token,
                    const icalcomponent* todo, const TaskIds* known = nullptr);
