// Time as the worker sees it: the local wall clock in milliseconds and a sleep. Tests replace it so
// that poll intervals, retries and stop waits run without waiting.
#pragma once

#include <cstdint>

class WorkerClock {
  public:
    virtual ~WorkerClock() = default;
    virtual int64_t NowMillis() = 0;
    virtual void Sleep(int64_t millis) = 0;

    // The real clock (wxGetLocalTimeMillis and wxMilliSleep).
    static WorkerClock& Real();
    // The clock new workers start with: the real one unless a test process set another (null:
    // back to the real one). Set it before workers start; it must outlive them.
    static WorkerClock& Default();
    static void SetDefault(WorkerClock* clock);
};
