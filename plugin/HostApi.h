// The host application's services that the plug-in imports by name. The host executable defines
// them; the tests define a recording fake.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

#include <cstddef>

class CCalendarHandler;
struct NetworkParameters;

// Log levels of Corvane_Log.
enum {
    LOG_ERROR = 1,
    LOG_WARNING = 2,
    LOG_INFO = 4,
    LOG_TRACE = 8,  // suspend notices and network trace
    LOG_DEBUG = 16,
};

// Tray statuses of Corvane_SetTrayStatus.
enum {
    TRAY_IDLE = 0,
    TRAY_FAILED = 1,
    TRAY_SYNCING = 2,
};

// Path kinds of Corvane_GetPath.
enum {
    PATH_COOKIES = 9,
    PATH_DATA = 11,
};

// Flags of Corvane_AddComponent: bit 0x8000 asks the host to remove the component (by UID).
enum : unsigned {
    ADD_FLAG_REMOVE = 0x8000,
    ADD_SHOW = 0,                     // a to-do as the service or the offline copy has it
    ADD_READ_BACK = 2,                // the service's version after an upload
    ADD_REMOVE_DELETED = 0x8004,      // gone from the service, or replaced under a new UID
    ADD_REMOVE_MERGED_AWAY = 0x8006,  // dropped from the offline copy by the merge
};

// Message box styles of Corvane_Message (wxOK | wxICON_EXCLAMATION, wxOK | wxICON_INFORMATION).
enum : long {
    MSG_STYLE_ERROR = 0x104,
    MSG_STYLE_INFO = 0x804,
};

#define CORVANE_HOST_API __attribute__((visibility("default")))

extern "C" {
// Writes the text to the host's log; the host treats it as a format, so "%" arrives doubled.
CORVANE_HOST_API void Corvane_Log(int level, const wchar_t* text);
CORVANE_HOST_API unsigned Corvane_GetLogLevel();
// Shows a message box; with returnAtOnce false it returns only when the box is closed.
CORVANE_HOST_API int Corvane_Message(const wchar_t* text, long style, bool returnAtOnce);
CORVANE_HOST_API void Corvane_SetTrayStatus(int status, const wchar_t* calendarName);
CORVANE_HOST_API void Corvane_EventWritten(bool success, const wchar_t* calendarName);
// The host takes ownership of the component.
CORVANE_HOST_API void Corvane_AddComponent(icalcomponent* component, CCalendarHandler* handler,
                                           unsigned flags);
CORVANE_HOST_API bool Corvane_HasStartupDelayPassed();
// The returned directory is owned by the host.
CORVANE_HOST_API const wchar_t* Corvane_GetPath(int kind);
CORVANE_HOST_API void Corvane_GetNetworkParameters(NetworkParameters* network, bool* concurrentSync);
CORVANE_HOST_API void Corvane_Decode(wxString& text, const wxString& key);
CORVANE_HOST_API void Corvane_CalculateMD5(const unsigned char* bytes, size_t length, wxString& digest);
CORVANE_HOST_API void Corvane_WriteSetting(const wchar_t* groupPath, const wchar_t* key,
                                           const wchar_t* value);
// The host takes ownership of the time-zone component.
CORVANE_HOST_API void Corvane_AddTimeZone(icalcomponent* timeZone);
// The returned zone is owned by the host; null when the component uses no known zone.
CORVANE_HOST_API icaltimezone* Corvane_CheckForTimeZone(icalcomponent* component);
}
