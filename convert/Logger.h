// The plug-in's log: the host's log takes every text as a format, so each text reaching it has its
// "%" doubled here, and a calendar's texts carry the calendar's name in front.
#pragma once

#include <wx/string.h>

// Every "%" doubled, so the host's formatting prints the text as it stands.
wxString EscapePercent(const wxString& text);

// Corvane_Log with a wxString, printed as it stands: every text reaching the host's format passes
// here, which doubles its "%".
void HostLog(int level, const wxString& text);

// The translation of a user-visible text (the English text is the key).
wxString Translate(const wxString& text);

// One calendar's log: "name: " before every text. A default one writes the texts as they stand.
class Logger {
  public:
    Logger() = default;
    explicit Logger(const wxString& name) : m_Name(name), m_Named(true) {}

    // Plain log: the text as it stands (it may hold "%").
    void Log(int level, const wxString& text) const;
    // printf-style, then the name prefix, then every "%" doubled for the host.
    template <typename... Args>
    void Format(int level, const wxString& format, Args... args) const {
        Log(level, wxString::Format(format, args...));
    }

    // The calendar's name; empty for a default logger.
    const wxString& Name() const { return m_Name; }

  private:
    wxString m_Name;
    bool m_Named = false;
};

// Writes through the logger, or straight to the host's log when there is none.
template <typename... Args>
void LogThrough(const Logger* log, int level, const wxString& format, Args... args) {
    const wxString text = wxString::Format(format, args...);
    if (log) {
        log->Log(level, text);
    } else {
        HostLog(level, text);
    }
}
