// The task download: the list's tasks (all incomplete ones, or those changed since the last read)
// merged with the offline copy and handed to the host.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

#include <cstdint>

class COfflineCalendar;
class CRTMConnection;
class WorkerHandler;

uint32_t DownloadTasks(CRTMConnection& connection, WorkerHandler& handler, const wxString& token,
                       COfflineCalendar* offline, const icaltimetype& lastRead);
