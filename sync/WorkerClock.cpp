#include "sync/WorkerClock.h"

#include <wx/time.h>
#include <wx/utils.h>

namespace {
class RealClock : public WorkerClock {
  public:
    int64_t NowMillis() override { return wxGetLocalTimeMillis().GetValue(); }
    void Sleep(int64_t millis) override {
        if (millis > 0)
            wxMilliSleep(static_cast<unsigned long>(millis));
    }
};
}  // namespace

WorkerClock& WorkerClock::Real() {
    static RealClock clock;
    return clock;
}
