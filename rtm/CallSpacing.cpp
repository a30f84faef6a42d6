#include "rtm/CallSpacing.h"

#include <wx/time.h>
#include <wx/utils.h>

#include <chrono>

int64_t CCallSpacing::Now() {
    Clock clock;
    {
        wxCriticalSectionLocker lock(m_Lock);
        clock = m_Clock;
    }
    return clock ? clock() : static_cast<int64_t>(wxGetLocalTimeMillis().GetValue());
}

long CCallSpacing::Interval() {
    if (m_RealService)
        return DEFAULT_INTERVAL_MS;
    wxCriticalSectionLocker lock(m_Lock);
    return m_Interval >= 0 ? m_Interval : DEFAULT_INTERVAL_MS;
}

long IntervalFromEnvironment() {
    wxString text;
    long value = 0;
    if (wxGetEnv(wxT("RTM_CALL_SPACING_MS"), &text) && text.ToLong(&value) && value >= 0)
        return value;
    return -1;
}

long CCallSpacing::WaitBeforeCall() {
    const long interval = Interval();
    const int64_t now = Now();
    int64_t last;
    {
        wxCriticalSectionLocker lock(m_Lock);
        if (!m_HasCall)
            return 0;
        last = m_LastCall;
    }
    if (interval <= 0)
        return 0;
    const int64_t elapsed = now - last;
    // A clock that went backwards gives no measure of the time passed: wait the whole interval
    // rather than risk a burst against the service.
    if (elapsed < 0)
        return interval;
    const int64_t wait = interval - elapsed;
    return wait > 0 ? static_cast<long>(wait) : 0;
}

void CCallSpacing::Sleep(long milliseconds) {
    if (milliseconds <= 0)
        return;
    Sleeper sleeper;
    {
        wxCriticalSectionLocker lock(m_Lock);
        sleeper = m_Sleeper;
    }
    if (sleeper) {
        sleeper(milliseconds);
        return;
    }
    // A signal (a child process ending, for one) cuts a sleep short; sleep on until the time is up.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
        wxMilliSleep(static_cast<unsigned long>(left > 0 ? left : 1));
    }
}

void CCallSpacing::MarkCallEnded() {
    const int64_t now = Now();
    wxCriticalSectionLocker lock(m_Lock);
    m_LastCall = now;
    m_HasCall = true;
}

void CCallSpacing::SetInterval(long milliseconds) {
    wxCriticalSectionLocker lock(m_Lock);
    m_Interval = milliseconds;
}

void CCallSpacing::SetClock(Clock clock) {
    wxCriticalSectionLocker lock(m_Lock);
    m_Clock = std::move(clock);
}

void CCallSpacing::SetSleeper(Sleeper sleeper) {
    wxCriticalSectionLocker lock(m_Lock);
    m_Sleeper = std::move(sleeper);
}

void CCallSpacing::Reset() {
    wxCriticalSectionLocker lock(m_Lock);
    m_LastCall = 0;
    m_HasCall = false;
}
