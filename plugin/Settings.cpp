#include "plugin/Settings.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

uint32_t PollChoiceIndex(int32_t pollFrequency) {
    switch (pollFrequency) {
        case 0:
            return 0;
        case 15:
            return 1;
        case 30:
            return 2;
        case 60:
            return 3;
        case 120:
            return 4;
        default:
            return 5;
    }
}

int32_t LeadingNumber(const wxString& text) {
    const wchar_t* start = text.wc_str();
    wchar_t* end = nullptr;
    errno = 0;
    long value = std::wcstol(start, &end, 10);
    if (end == start)
        return 0;
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}
