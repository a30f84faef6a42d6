// The process-wide spacing of method calls: a call that follows the previous one within the
// spacing interval waits for the rest of it. Shared by every connection of every handler.
#pragma once

#include <wx/thread.h>

#include <cstdint>
#include <functional>

class CCallSpacing {
  public:
    using Clock = std::function<int64_t()>;     // milliseconds
    using Sleeper = std::function<void(long)>;  // milliseconds

    static const long DEFAULT_INTERVAL_MS = 1000;

    static CCallSpacing& Get();

    // How long the next call has to wait, from the time the last call ended; 0 for none.
    long WaitBeforeCall();
    void Sleep(long milliseconds);
    // Called after every request, whatever its outcome.
    void MarkCallEnded();

    // The interval in force. The real service always gets the full second; another address (an
    // emulator) may be given a shorter one, here or through RTM_CALL_SPACING_MS.
    long Interval();
    void SetInterval(long milliseconds);  // negative: back to the default

    // For tests: replace the clock and the sleep (null restores the real ones), forget the last call.
    void SetClock(Clock clock);
    void SetSleeper(Sleeper sleeper);
    void Reset();

  private:
    CCallSpacing() = default;
    int64_t Now();

    wxCriticalSection m_Lock;
    int64_t m_LastCall = 0;
    bool m_HasCall = false;
    long m_Interval = -1;
    Clock m_Clock;
    Sleeper m_Sleeper;
};
