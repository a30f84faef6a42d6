// After an add whose answer was lost: did the service make the task?
#pragma once

#include "convert/TaskUid.h"

#include <wx/string.h>

#include <cstdint>

class CRTMConnection;
class Logger;

enum class LookupResult { FOUND, NOT_FOUND, UNDECIDED, FAILED };

// Looks for the task in `list` (empty: any), named `name`, created at `since` (seconds since 1970)
// or later.
LookupResult FindAddedTask(CRTMConnection& connection, const Logger* log, const wxString& token,
                           const wxString& list, const wxString& name, int64_t since, TaskIds& found);
