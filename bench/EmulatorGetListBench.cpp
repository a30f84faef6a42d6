// The emulator answering rtm.tasks.getList for a large account over loopback HTTP, as the
// download benchmark uses it: the reply must stay far below the client's own cost.
#include "bench/BenchSizes.h"
#include "emulator/Emulator.h"
#include "emulator/Signature.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

// An emulator with `count` series spread over three lists, with tags, notes and dues.
std::unique_ptr<rtmemu::Emulator> LargeAccount(int count, std::string& token) {
    auto emulator = std::make_unique<rtmemu::Emulator>();
    emulator->Start();
    while (!emulator->IsRunning())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    rtmemu::TaskStore& store = emulator->State().Tasks();
    store.SetClock([] { return rtmemu::Instant(1796119200); });
    const std::string lists[] = {store.EnsureList("Work"), store.EnsureList("Errands"),
                                 store.EnsureList("Personal")};
    for (int i = 0; i < count; ++i) {
        rtmemu::TaskSeries series;
        series.name = "Task number " + std::to_string(i) + " with a name of usual length";
        series.tags = {"tag_" + std::to_string(i % 7), "common"};
        if (i % 3 == 0)
            series.notes.push_back({"", 0, 0, "C2:data", "Status: 0\nLocation: Office"});
        series.tasks.emplace_back();
        series.tasks[0].due = 1796119200 + i * 60;
        series.tasks[0].hasDueTime = i % 2;
        series.tasks[0].priority = i % 4 ? std::to_string(i % 4) : "N";
        store.AddSeries(lists[i % 3], series);
    }
    rtmemu::AccountState& state = emulator->State();
    const std::string frob = state.NewFrob(rtmemu::DEFAULT_API_KEY);
    state.ApproveFrob(frob, rtmemu::Perms::Delete);
    token = state.ExchangeFrob(frob)->token;
    return emulator;
}

httplib::Params SignedParams(std::multimap<std::string, std::string> params) {
    params.emplace("api_key", rtmemu::DEFAULT_API_KEY);
    params.emplace("api_sig", rtmemu::ComputeSignature(rtmemu::DEFAULT_SHARED_SECRET, params));
    return httplib::Params(params.begin(), params.end());
}

void BM_EmulatorGetListFull(benchmark::State& state) {
    std::string token;
    const auto emulator = LargeAccount(static_cast<int>(state.range(0)), token);
    const httplib::Params params = SignedParams(
        {{"method", "rtm.tasks.getList"}, {"auth_token", token}, {"filter", "status:incomplete"}});
    httplib::Client client("127.0.0.1", emulator->Port());
    size_t bytes = 0;
    for (auto _ : state) {
        httplib::Result result = client.Get("/services/rest/", params, httplib::Headers());
        if (!result || result->status != 200) {
            state.SkipWithError("request failed");
            break;
        }
        bytes = result->body.size();
    }
    state.counters["reply_bytes"] = static_cast<double>(bytes);
    emulator->Stop();
}
BENCHMARK(BM_EmulatorGetListFull)->Arg(BenchSize(10000))->Unit(benchmark::kMillisecond);

void BM_EmulatorGetListIncremental(benchmark::State& state) {
    std::string token;
    const auto emulator = LargeAccount(static_cast<int>(state.range(0)), token);
    // One series changed after the last read.
    rtmemu::TaskStore& store = emulator->State().Tasks();
    store.SetClock([] { return rtmemu::Instant(1796119200 + 600); });
    store.AddTask(store.ListId("Work"), "Changed");
    const std::string since = rtmemu::FormatUtc(1796119200 + 300);
    const httplib::Params params =
        SignedParams({{"method", "rtm.tasks.getList"}, {"auth_token", token}, {"last_sync", since}});
    httplib::Client client("127.0.0.1", emulator->Port());
    for (auto _ : state) {
        httplib::Result result = client.Get("/services/rest/", params, httplib::Headers());
        if (!result || result->status != 200) {
            state.SkipWithError("request failed");
            break;
        }
    }
    emulator->Stop();
}
BENCHMARK(BM_EmulatorGetListIncremental)->Arg(BenchSize(10000))->Unit(benchmark::kMillisecond);

}  // namespace
