#include "rtm/LogRedaction.h"

#include "convert/Logger.h"

#include <wx/strconv.h>

const wchar_t* const REDACTION_MARKER = L"<REMOVED FROM LOG>";

wxString RedactFirst(const wxString& line, const wxString& key, const wxString& terminator) {
    const size_t at = line.find(key);
    if (at == wxString::npos)
        return line;
    const size_t valueStart = at + key.length();
    const wxString head = line.substr(0, valueStart);
    const size_t end = line.find(terminator, valueStart);
    if (end == wxString::npos)
        return head;
    return head + REDACTION_MARKER + line.substr(end);
}

namespace {
// Replaces each value that follows `key` up to the first of `stops` (or the end of the text).
wxString RedactAll(const wxString& text, const wxString& key, const wxString& closing,
                   const wxString& stops) {
    wxString result;
    size_t from = 0;
    while (true) {
        const size_t at = text.find(key, from);
        if (at == wxString::npos)
            break;
        const size_t valueStart = at + key.length();
        size_t end = closing.empty() ? text.find_first_of(stops, valueStart) : text.find(closing, valueStart);
        if (end == wxString::npos)
            end = text.length();
        result += text.substr(from, valueStart - from);
        if (end > valueStart)
            result += REDACTION_MARKER;
        from = end;
    }
    result += text.substr(from);
    return result;
}
}  // namespace

wxString RedactToken(const wxString& text) {
    const wxString query = RedactAll(text, wxT("auth_token="), wxString(), wxT("& \t\r\n"));
    const wxString element = RedactAll(query, wxT("<token>"), wxT("</token>"), wxString());
    // rtm.test.echo answers with every parameter as an element of its own.
    return RedactAll(element, wxT("<auth_token>"), wxT("</auth_token>"), wxString());
}

wxString FormatDebugLine(int type, const char* data, size_t size) {
    static const wxChar* const PREFIXES[] = {
        wxT("CURLINFO_TEXT: "),
        wxT("CURLINFO_HEADER_IN: "),
        wxT("CURLINFO_HEADER_OUT: "),
        wxT("CURLINFO_DATA_IN: "),
        wxT("CURLINFO_DATA_OUT: "),
        nullptr,
        nullptr,
        wxT("CURLINFO_END: "),
    };
    wxString line;
    if (type >= 0 && type < 8 && PREFIXES[type])
        line = PREFIXES[type];

    wxString decoded;
    if (data && size) {
        decoded = wxString(data, wxConvLocal, size);
        // Bytes the local code page cannot decode would drop the whole line; keep it readable.
        if (decoded.empty())
            decoded = wxString(data, wxConvISO8859_1, size);
    }
    line += decoded;
    line.Trim(true);
    line = RedactFirst(line, wxT("Passwd="), wxT("&"));
    line = RedactFirst(line, wxT("Authorization:"), wxT("\n"));
    return RedactToken(line);
}
