// One row of the settings page, and the readers of what the user typed there.
#pragma once

#include "rtm/RTMSettings.h"

#include <wx/arrstr.h>
#include <wx/string.h>

#include <cstdint>

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
