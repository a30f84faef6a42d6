#include "convert/Logger.h"

#include "plugin/HostApi.h"

#include <wx/intl.h>
#include <wx/translation.h>

wxString EscapePercent(const wxString& text) {
    wxString escaped(text);
    escaped.Replace(wxT("%"), wxT("%%"));
    return escaped;
}

void HostLog(int level, const wxString& text) {
    // The host reads the text as a format; doubling here, and only here, prints it as it stands.
    Corvane_Log(level, EscapePercent(text).wc_str());
}

wxString Translate(const wxString& text) {
    // Without a catalogue (or without translations set up at all) the English text stands.
    if (!wxTranslations::Get())
        return text;
    return wxGetTranslation(text);
}

void Logger::Log(int level, const wxString& text) const {
    HostLog(level, m_Named ? m_Name + wxT(": ") + text : text);
}
