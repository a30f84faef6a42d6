// End to end: the emulator, as a process of its own, serves 10,000 task series; a calendar handler
// reads them all with the offline copy on (conversion, merge and save included), as the worker does.
// Beside it the floor: the same reply parsed by the XML library alone and the same to-dos
// serialised by libical alone. Run alone for a meaningful peak memory:
//   scripts/bench --benchmark_filter='FullDownload|Floor|IdleWorker'
#include "bench/BenchSizes.h"
#include "convert/TaskSeries.h"
#include "plugin/ConfigTokenStore.h"
#include "plugin/RTMHandler.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"
#include "rtm/ServiceContext.h"
#include "sync/Download.h"
#include "sync/OfflineCalendar.h"
#include "sync/RTMThread.h"
#include "tests/support/FakeHost.h"
#include "tests/support/InteractiveProcess.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <wx/filename.h>
#include <wx/memconf.h>
#include <wx/sstream.h>
#include <wx/utils.h>
#include <wx/xml/xml.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

namespace {
const int TASKS = BenchSize(10000);

std::string SeedFile(int count) {
    const std::string path = "/tmp/corvane-bench-seed-" + std::to_string(count) + ".xml";
    std::ofstream out(path);
    out << "<account><lists>";
    const char* lists[] = {"Work", "Errands", "Personal"};
    for (int list = 0; list < 3; ++list) {
        out << "<list id=\"" << 9000 + list << "\" name=\"" << lists[list] << "\">";
        for (int i = list; i < count; i += 3) {
            out << "<taskseries id=\"" << 100000 + i << "\" name=\"Task number " << i
                << "\" modified=\"2026-12-01T09:00:00Z\" url=\"https://example.com/" << i << "\">";
            if (i % 7 == 0)
                out << "<rrule every=\"1\">FREQ=WEEKLY;INTERVAL=1;BYDAY=MO,WE</rrule>";
            out << "<tags><tag>tag_" << i % 13 << "</tag><tag>project</tag></tags><notes>"
                << "<note id=\"" << 500000 + i << "\" title=\"C2:data\">Location: Room " << i % 50
                << "\nStatus: 10055\n</note><note id=\"" << 700000 + i
                << "\" title=\"C2:description\">Details of task " << i << "</note></notes>"
                << "<task id=\"" << 300000 + i << "\" due=\"2026-12-" << 10 + i % 18
                << (i % 2 ? "T15:00:00Z\" has_due_time=\"1\"" : "\"") << " priority=\""
                << "123N"[i % 4] << "\"/></taskseries>";
        }
        out << "</list>";
    }
    out << "</lists></account>";
    return path;
}

// The emulator in its own process, so the memory measured here is the client's.
struct RemoteEmulator {
    RemoteEmulator() {
        process = std::make_unique<InteractiveProcess>(
            std::string(CORVANE_BIN_DIR) + "/rtm-emulator",
            std::vector<std::string>{"--port", "0", "--auto-approve", "--seed", SeedFile(TASKS)});
        if (process->ReadUntil("listening on ", 60000) && process->ReadUntil("\n", 5000)) {
            const std::string& out = process->Output();
            const size_t at = out.find("listening on ") + 13;
            baseUrl = out.substr(at, out.find_first_of("\n ", at) - at);
        }
    }
    std::unique_ptr<InteractiveProcess> process;
    std::string baseUrl;
};

// A handler "Work" for all lists, authorised against the emulator, with the host fake quiet.
struct Client {
    Client() {
        static RemoteEmulator emulator;
        FakeHost::Get().Reset();
        FakeHost::Get().recordComponents = false;
        FakeHost::Get().logLevel = 0;
        dataDir = wxFileName::CreateTempFileName(wxT("/tmp/corvane-bench"));
        wxRemoveFile(dataDir);
        wxFileName::Mkdir(dataDir);
        FakeHost::Get().dataDir = dataDir;
        FakeHost::Get().cookieDir = dataDir;
        services.address = ServiceAddress(wxString::FromUTF8(emulator.baseUrl.c_str()));
        services.spacing = &spacing;
        services.launcher = [](const wxString&) { return true; };
        handler = std::make_unique<CRTMHandler>(&config, wxT("Work"), RTM_PLUGIN_NAME);
        handler->SetServiceContext(services);
        CRTMConnection connection(&handler->GetLogger(), &handler->Settings(), false, services);
        ConfigTokenStore store(handler->GetConfig(), handler->GetSection());
        connection.Authorise(store);
        handler->ReadAuthToken();
        ok = !emulator.baseUrl.empty() && !handler->Settings().authToken.empty();
    }
    ~Client() {
        handler.reset();
        wxFileName::Rmdir(dataDir, wxPATH_RMDIR_RECURSIVE);
    }
    wxFileName OfflineFile() const { return wxFileName(dataDir, wxT("Remember The Milk-Work-Offline.ics")); }

    wxMemoryConfig config;
    wxString dataDir;
    CCallSpacing spacing{false, 0};
    ServiceContext services;
    std::unique_ptr<CRTMHandler> handler;
    bool ok = false;
};

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// arg 0: the first download (no offline file yet); arg 1: every later one (10,000 offline to-dos).
void BM_FullDownload(benchmark::State& state) {
    Client client;
    if (!client.ok) {
        state.SkipWithError("the emulator did not start or authorise");
        return;
    }
    if (state.range(0) == 1) {
        COfflineCalendar first(client.OfflineFile());
        CRTMConnection connection(&client.handler->GetLogger(), &client.handler->Settings(), false,
                                  client.services);
        DownloadTasks(connection, *client.handler, client.handler->Settings().authToken, &first,
                      icaltime_null_time());
    }
    // What the process holds before any download (libraries, the emulator's client, the fake host).
    state.counters["rss_before_MB"] = PeakMegabytes();
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (state.range(0) == 0)
            wxRemoveFile(client.OfflineFile().GetFullPath());
        auto offline = std::make_unique<COfflineCalendar>(client.OfflineFile());
        CRTMConnection connection(&client.handler->GetLogger(), &client.handler->Settings(), false,
                                  client.services);
        const double cpuBefore = CpuSeconds();
        state.ResumeTiming();
        DownloadTasks(connection, *client.handler, client.handler->Settings().authToken, offline.get(),
                      icaltime_null_time());
        state.PauseTiming();
        cpu += CpuSeconds() - cpuBefore;
        offline.reset();
        client.handler->Dequeue(true);
        state.ResumeTiming();
    }
    state.counters["process_cpu_s"] = cpu / state.iterations();
    state.counters["peak_rss_MB"] = PeakMegabytes();
    state.counters["tasks"] = static_cast<double>(FakeHost::Get().addedCount) / state.iterations();
}
BENCHMARK(BM_FullDownload)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The reply of the same download, as text.
std::string& ReplyText() {
    static std::string reply;
    if (reply.empty()) {
        Client client;
        RTMParams params;
        params[wxT("api_key")] = RTM_API_KEY;
        params[wxT("auth_token")] = client.handler->Settings().authToken;
        params[wxT("method")] = wxT("rtm.tasks.getList");
        params[wxT("filter")] = wxT("status:incomplete");
        wxString text;
        CRTMConnection(&client.handler->GetLogger(), &client.handler->Settings(), false, client.services)
            .CallMethod(params, text);
        reply = text.utf8_str().data();
    }
    return reply;
}

void BM_FloorParseReply(benchmark::State& state) {
    const wxString reply = wxString::FromUTF8(ReplyText().c_str());
    for (auto _ : state) {
        wxStringInputStream input(reply);
        wxXmlDocument document;
        benchmark::DoNotOptimize(document.Load(input, wxT("UTF-8")));
    }
}
BENCHMARK(BM_FloorParseReply)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FloorSerialiseTodos(benchmark::State& state) {
    const wxString reply = wxString::FromUTF8(ReplyText().c_str());
    wxStringInputStream input(reply);
    wxXmlDocument document;
    document.Load(input, wxT("UTF-8"));
    std::vector<icalcomponent*> todos;
    for (wxXmlNode* tasks = document.GetRoot()->GetChildren(); tasks; tasks = tasks->GetNext())
        for (wxXmlNode* list = tasks->GetChildren(); list; list = list->GetNext())
            for (wxXmlNode* series = list->GetChildren(); series; series = series->GetNext())
                if (icalcomponent* todo = ConvertTaskSeries(series, list->GetAttribute(wxT("id")), nullptr))
                    todos.push_back(todo);
    for (auto _ : state) {
        size_t bytes = 0;
        for (icalcomponent* todo : todos) {
            char* text = icalcomponent_as_ical_string_r(todo);
            bytes += std::strlen(text);
            free(text);
        }
        benchmark::DoNotOptimize(bytes);
    }
    for (icalcomponent* todo : todos)
        icalcomponent_free(todo);
    state.counters["todos"] = static_cast<double>(todos.size());
}
BENCHMARK(BM_FloorSerialiseTodos)->Unit(benchmark::kMillisecond)->Iterations(3);

// A started worker with nothing to do, over ten seconds of real time.
void BM_IdleWorker(benchmark::State& state) {
    Client client;
    for (auto _ : state) {
        client.handler->Start(nullptr);
        wxMilliSleep(500);
        const double before = CpuSeconds();
        wxMilliSleep(10000);
        state.counters["cpu_ms_per_10s"] = (CpuSeconds() - before) * 1000;
        client.handler->SetEnabled(false);
        client.handler->SetEnabled(true);
    }
}
BENCHMARK(BM_IdleWorker)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
}  // namespace
