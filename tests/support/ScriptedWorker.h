// A worker whose five operations are scripted by the test and recorded with the clock's time.
#pragma once

#include "rtm/ResultCodes.h"
#include "sync/ThreadHelper.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct Call {
    const char* what;
    int64_t at;
};

// Scripted per test; each call is recorded with the time it was made.
class ScriptedWorker : public CThreadHelper {
  public:
    explicit ScriptedWorker(WorkerClock& clock) : m_Clock(clock) { SetClock(&clock); }

    uint32_t BeginPass(COfflineCalendar*) override { return Record("begin", RTM_OK); }
    uint32_t EndPass() override { return Record("end", RTM_OK); }
    uint32_t ReadAll(COfflineCalendar*, const icaltimetype& lastRead) override {
        readWasFull.push_back(icaltime_is_null_time(lastRead));
        return Record("read", readResult ? readResult() : RTM_OK);
    }
    uint32_t WriteOne(icalcomponent*, COfflineCalendar*) override {
        return Record("write", writeResult ? writeResult() : RTM_OK);
    }
    uint32_t DeleteOne(icalcomponent*) override { return Record("delete", RTM_OK); }

    using CThreadHelper::RequestStop;
    void SetConcurrent(bool concurrent) { m_ConcurrentSync = concurrent; }

    std::vector<int64_t> TimesOf(const char* what) const {
        std::vector<int64_t> times;
        for (const Call& c : calls)
            if (std::string(c.what) == what)
                times.push_back(c.at);
        return times;
    }

    std::mutex mutex;
    std::vector<Call> calls;
    std::vector<bool> readWasFull;
    std::function<uint32_t()> readResult, writeResult;
    std::function<void(const char*)> onCall;

  private:
    uint32_t Record(const char* what, uint32_t result) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            calls.push_back({what, m_Clock.NowMillis()});
        }
        if (onCall)
            onCall(what);
        return result;
    }
    WorkerClock& m_Clock;
};
