#include "convert/NumberText.h"

#include <climits>
#include <cstring>
#include <string>

namespace {

bool IsBlank(wxChar c) {
    return c == wxT(' ') || c == wxT('\t') || c == wxT('\n') || c == wxT('\v') || c == wxT('\f') ||
           c == wxT('\r');
}

}  // namespace

long long ReadLeadingInteger64(const wxString& text, size_t start, size_t length) {
    const size_t size = text.length();
    if (start >= size)
        return 0;
    const size_t end = (length >= size - start) ? size : start + length;
    const wxChar* s = text.wc_str();
    size_t i = start;
    while (i < end && IsBlank(s[i]))
        ++i;
    bool negative = false;
    if (i < end && (s[i] == wxT('+') || s[i] == wxT('-'))) {
        negative = s[i] == wxT('-');
        ++i;
    }
    // Accumulated as a negative number, whose range is one larger.
    long long value = 0;
    for (; i < end && s[i] >= wxT('0') && s[i] <= wxT('9'); ++i) {
        const int digit = static_cast<int>(s[i] - wxT('0'));
        if (value < (LLONG_MIN + digit) / 10) {
            value = LLONG_MIN;
            // Skip the remaining digits; the value stays saturated.
            continue;
        }
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    return value == LLONG_MIN ? LLONG_MAX : -value;
}

int ReadLeadingInteger(const wxString& text, size_t start, size_t length) {
    const long long value = ReadLeadingInteger64(text, start, length);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

wxString DecimalText(long long value) {
    wchar_t buffer[24];
    wchar_t* end = buffer + 24;
    wchar_t* begin = end;
    // Digits of the magnitude, taken from the negative side so that the smallest value fits.
    long long rest = value < 0 ? value : -value;
    do {
        *--begin = static_cast<wchar_t>(L'0' - rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (value < 0)
        *--begin = L'-';
    return wxString(std::wstring(begin, end));
}

wxString AsciiText(const char* text) {
    return wxString(std::wstring(text, text + std::strlen(text)));
}
