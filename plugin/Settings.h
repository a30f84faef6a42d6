// The handler's settings record, the proxy record inside it, and one row of the settings page.
#pragma once

#include <wx/arrstr.h>
#include <wx/filename.h>
#include <wx/string.h>

#include <cstdint>

struct NetworkParameters {
    wxString proxyServer;  // empty means no proxy
    wxString proxyUser;
    wxString proxyPassword;  // encoded as the host delivers it, until the worker decodes its copy
    int32_t proxyType = 0;   // 1 SOCKS4, 2 SOCKS5, anything else HTTP
    bool fallBackToDirect = false;
};

struct RTMSettings {
    wxString list;              // empty means all lists
    int32_t pollFrequency = 0;  // minutes; 0 never polls
    bool suppressErrors = false;
    bool keepOfflineCopy = false;
    bool concurrentSync = false;
    int32_t lastSync = 0;  // seconds since 1970
    NetworkParameters network;
    wxFileName dataDir;
    wxString authToken;

    // A copy that shares no storage with this record (the worker's own).
    RTMSettings DeepCopy() const;
};

enum : uint32_t {
    ROW_TEXT = 1,
    ROW_CHECK = 6,
    ROW_CHOICE = 8,
};

struct SettingsRow {
    wxString label;
    uint32_t type = 0;
    uint32_t selection = 0;
    wxString value;
    wxArrayString choices;
    wxArrayString auxiliary;
    bool ticked = false;
    bool hostFlag = false;
};

// Index of the poll frequency among the page's choices: Never, 15, 30, 60, 120, other.
uint32_t PollChoiceIndex(int32_t pollFrequency);

// The leading decimal number of a text (after white space and sign), 0 when there is none.
int32_t LeadingNumber(const wxString& text);
