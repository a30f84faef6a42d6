// A worker clock whose sleeps advance time at once; a callback may act at each sleep (request a
// stop, move the clock as a suspend would).
#pragma once

#include "sync/WorkerClock.h"

#include <functional>

class FakeClock : public WorkerClock {
  public:
    int64_t NowMillis() override { return now; }
    void Sleep(int64_t millis) override {
        now += millis;
        ++sleeps;
        if (onSleep)
            onSleep(millis);
    }

    int64_t now = 1000000;
    int sleeps = 0;
    std::function<void(int64_t)> onSleep;
};
