// The spacing of method calls: a call that follows the previous one within the spacing interval
// waits for the rest of it. One is shared by every connection to the same service.
#pragma once

#include <wx/thread.h>

#include <cstdint>
#include <functional>

class CCallSpacing {
  public:
    using Clock = std::function<int64_t()>;     // milliseconds
    using Sleeper = std::function<void(long)>;  // milliseconds

    static const long DEFAULT_INTERVAL_MS = 1000;

    // The real service always gets the full second, whatever interval is set.
    explicit CCallSpacing(bool realService = true, long interval = -1)
        : m_RealService(realService), m_Interval(interval) {}
    CCallSpacing(const CCallSpacing&) = delete;
    CCallSpacing& operator=(const CCallSpacing&) = delete;

    // How long the next call has to wait, from the time the last call ended; 0 for none.
    long WaitBeforeCall();
    void Sleep(long milliseconds);
    // Called after every request, whatever its outcome.
    void MarkCallEnded();

    // The interval in force: the full second for the real service; another address (an emulator)
    // may be given a shorter one.
    long Interval();
    void SetInterval(long milliseconds);  // negative: back to the default

    // For tests: replace the clock and the sleep (null restores the real ones), forget the last call.
    void SetClock(Clock clock);
    void SetSleeper(Sleeper sleeper);
    void Reset();

  private:
    int64_t Now();

    wxCriticalSection m_Lock;
    int64_t m_LastCall = 0;
    bool m_HasCall = false;
    bool m_RealService;
    long m_Interval;
    Clock m_Clock;
    Sleeper m_Sleeper;
};

// The interval RTM_CALL_SPACING_MS asks for, in milliseconds; -1 when it asks for none.
long IntervalFromEnvironment();
