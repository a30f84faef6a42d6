#include "sync/WorkerClock.h"

#include <wx/time.h>
#include <wx/utils.h>

#include <atomic>

namespace {
class RealClock : public WorkerClock {
  public:
    int64_t NowMillis() override { return wxGetLocalTimeMillis().GetValue(); }
    void Sleep(int64_t millis) override {
        if (millis > 0)
            wxMilliSleep(static_cast<unsigned long>(millis));
    }
};

std::atomic<WorkerClock*> s_Default{nullptr};
}  // namespace

WorkerClock& WorkerClock::Real() {
    static RealClock clock;
    return clock;
}

WorkerClock& WorkerClock::Default() {
    WorkerClock* clock = s_Default.load();
    return clock ? *clock : Real();
}

void WorkerClock::SetDefault(WorkerClock* clock) {
    s_Default.store(clock);
}
