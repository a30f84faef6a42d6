// End to end: the emulator, as a process of its own, serves an account of N task series; a calendar
// handler reads them with the offline copy on (conversion, merge and save included), as the worker
// does: all of them (full), or the few changed since the last read (incremental). Beside them the
// floors: the same reply through expat with empty callbacks, and libical alone building and
// writing the same to-dos. scripts/bench runs each download in a process of its own, so that the
// peak memory measured is the download's.
#include "bench/BenchSizes.h"
#include "bench/ProcessStats.h"
#include "convert/TaskSeries.h"
#include "plugin/ConfigTokenStore.h"
#include "plugin/RTMHandler.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceContext.h"
#include "sync/Download.h"
#include "sync/OfflineCalendar.h"
#include "sync/RTMThread.h"
#include "tests/support/FakeHost.h"
#include "tests/support/InteractiveProcess.h"

#include <benchmark/benchmark.h>
#include <expat.h>
#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/memconf.h>
#include <wx/sstream.h>
#include <wx/utils.h>
#include <wx/xml/xml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace {
// The series changed after LAST_READ: the first CHANGED of every account.
const int CHANGED = 10;
const char* const LAST_READ = "20261203T000000Z";

std::string SeedFile(int count) {
    const std::string path = "/tmp/corvane-bench-seed-" + std::to_string(count) + ".xml";
    std::ofstream out(path);
    out << "<account><lists>";
    const char* lists[] = {"Work", "Errands", "Personal"};
    for (int list = 0; list < 3; ++list) {
        out << "<list id=\"" << 9000 + list << "\" name=\"" << lists[list] << "\">";
        for (int i = list; i < count; i += 3) {
            out << "<taskseries id=\"" << 100000 + i << "\" name=\"Task number " << i << "\" modified=\""
                << (i < CHANGED ? "2026-12-05" : "2026-12-01") << "T09:00:00Z\" url=\"https://example.com/"
                << i << "\">";
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
    explicit RemoteEmulator(int count) {
        process = std::make_unique<InteractiveProcess>(
            std::string(CORVANE_BIN_DIR) + "/rtm-emulator",
            std::vector<std::string>{"--port", "0", "--auto-approve", "--seed", SeedFile(count)});
        if (process->ReadUntil("listening on ", 120000) && process->ReadUntil("\n", 5000)) {
            const std::string& out = process->Output();
            const size_t at = out.find("listening on ") + 13;
            baseUrl = out.substr(at, out.find_first_of("\n ", at) - at);
        }
    }
    std::unique_ptr<InteractiveProcess> process;
    std::string baseUrl;
};

const std::string& EmulatorUrl(int count) {
    static std::map<int, std::unique_ptr<RemoteEmulator>> emulators;
    std::unique_ptr<RemoteEmulator>& emulator = emulators[count];
    if (!emulator)
        emulator = std::make_unique<RemoteEmulator>(count);
    return emulator->baseUrl;
}

// A handler "Work" for all lists of an account of `count` series, authorised against its
// emulator, with the host fake quiet.
struct Client {
    explicit Client(int count) {
        const std::string& url = EmulatorUrl(count);
        FakeHost::Get().Reset();
        FakeHost::Get().recordComponents = false;
        FakeHost::Get().logLevel = 0;
        dataDir = wxFileName::CreateTempFileName(wxT("/tmp/corvane-bench"));
        wxRemoveFile(dataDir);
        wxFileName::Mkdir(dataDir);
        FakeHost::Get().dataDir = dataDir;
        FakeHost::Get().cookieDir = dataDir;
        services.address = ServiceAddress(wxString::FromUTF8(url.c_str()));
        services.spacing = &spacing;
        services.launcher = [](const wxString&) { return true; };
        handler = std::make_unique<CRTMHandler>(&config, wxT("Work"), RTM_PLUGIN_NAME);
        handler->SetServiceContext(services);
        ConfigTokenStore store(&config, handler->GetSection());
        CRTMConnection(&handler->GetLogger(), &handler->Settings(), false, services).Authorise(store);
        handler->ReadAuthToken();
        ok = !url.empty() && !handler->Settings().authToken.empty();
    }
    ~Client() {
        handler.reset();
        wxFileName::Rmdir(dataDir, wxPATH_RMDIR_RECURSIVE);
    }
    wxFileName OfflineFile() const { return wxFileName(dataDir, wxT("Remember The Milk-Work-Offline.ics")); }
    uint32_t Download(COfflineCalendar* offline, const icaltimetype& lastRead) {
        CRTMConnection connection(&handler->GetLogger(), &handler->Settings(), false, services);
        const uint32_t result =
            DownloadTasks(connection, *handler, handler->Settings().authToken, offline, lastRead);
        while (handler->Dequeue(true)) {
        }
        return result;
    }

    wxMemoryConfig config;
    wxString dataDir;
    CCallSpacing spacing{false, 0};
    ServiceContext services;
    std::unique_ptr<CRTMHandler> handler;
    bool ok = false;
};

// What the process holds just before the first download (libraries, the emulator's client, the fake
// host, the worker's offline calendar); the peak measured afterwards starts from here.
double MemoryBeforeDownload() {
    ResetPeakResident();
    return ResidentMegabytes();
}

// The counters that scripts/bench puts in its table: process CPU per run, memory before the first
// run and at the peak of all.
void SetProcessCounters(benchmark::State& state, double cpuSeconds, double rssBefore) {
    state.counters["cpu_ms"] = cpuSeconds * 1000 / state.iterations();
    state.counters["rss_before_MB"] = rssBefore;
    state.counters["peak_rss_MB"] = PeakResidentMegabytes();
}

// Times one download an iteration, after `prepare` has set up the offline file (untimed); the
// process's CPU and peak memory go into the counters.
void MeasureDownloads(benchmark::State& state, Client& client, const icaltimetype& lastRead,
                      const std::function<void()>& prepare) {
    double before = 0;
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        prepare();
        auto offline = std::make_unique<COfflineCalendar>(client.OfflineFile());
        before = before ? before : MemoryBeforeDownload();
        const double cpuBefore = ProcessCpuSeconds();
        state.ResumeTiming();
        client.Download(offline.get(), lastRead);
        state.PauseTiming();
        cpu += ProcessCpuSeconds() - cpuBefore;
        offline.reset();
        state.ResumeTiming();
    }
    SetProcessCounters(state, cpu, before);
    state.counters["tasks"] = static_cast<double>(FakeHost::Get().addedCount) / state.iterations();
}

// args: the account's size; 0 for the first download (no offline file yet), 1 for every later one.
void BM_FullDownload(benchmark::State& state) {
    Client client(state.range(0));
    if (!client.ok) {
        state.SkipWithError("the emulator did not start or authorise");
        return;
    }
    if (state.range(1) == 1) {
        COfflineCalendar first(client.OfflineFile());
        client.Download(&first, icaltime_null_time());
    }
    MeasureDownloads(state, client, icaltime_null_time(), [&] {
        if (state.range(1) == 0 && client.OfflineFile().FileExists())
            wxRemoveFile(client.OfflineFile().GetFullPath());
    });
}
BENCHMARK(BM_FullDownload)
    ->Args({BenchSize(1000), 0})
    ->Args({BenchSize(10000), 0})
    ->Args({BenchSize(50000), 0})
    ->Args({BenchSize(10000), 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// The offline file as the worker holds it before an incremental read: every series of the account,
// the changed ones in an older version. Made once per size.
wxString IncrementalStartFile(int count) {
    const wxString path = wxString::Format(wxT("/tmp/corvane-bench-incremental-%d.ics"), count);
    static std::map<int, bool> made;
    if (made[count])
        return path;
    made[count] = true;
    wxRemoveFile(path);
    Client client(count);
    COfflineCalendar offline{wxFileName(path)};
    client.Download(&offline, icaltime_null_time());
    for (int i = 0; i < CHANGED && i < count; ++i) {
        const wxString uid = wxString::Format(wxT("%d:%d"), 9000 + i % 3, 100000 + i);
        const icalcomponent* current = offline.Components().Find(uid);
        if (!current)
            continue;
        icalcomponent* older = icalcomponent_new_clone(const_cast<icalcomponent*>(current));
        icalproperty* modified = icalcomponent_get_first_property(older, ICAL_LASTMODIFIED_PROPERTY);
        icalproperty_set_lastmodified(modified, icaltime_from_string("20261101T090000Z"));
        icalcomponent_set_summary(older, "An older name");
        offline.StoreComponent(older);
        icalcomponent_free(older);
    }
    offline.Save(false);
    return path;
}

// The series changed since the last read, in an account of N.
void BM_IncrementalDownload(benchmark::State& state) {
    const int count = state.range(0);
    const wxFileName start(IncrementalStartFile(count));
    Client client(count);
    const icaltimetype lastRead = icaltime_from_string(LAST_READ);
    MeasureDownloads(state, client, lastRead,
                     [&] { wxCopyFile(start.GetFullPath(), client.OfflineFile().GetFullPath()); });
}
BENCHMARK(BM_IncrementalDownload)
    ->Arg(BenchSize(10000))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// The reply of the download of `count` series: all of them, or those changed since the last read.
const std::string& ReplyText(int count, bool incremental) {
    static std::map<std::pair<int, bool>, std::string> replies;
    std::string& reply = replies[{count, incremental}];
    if (reply.empty()) {
        Client client(count);
        RTMParams params;
        params[wxT("api_key")] = RTM_API_KEY;
        params[wxT("auth_token")] = client.handler->Settings().authToken;
        params[wxT("method")] = wxT("rtm.tasks.getList");
        if (incremental) {
            params[wxT("last_sync")] = wxT("2026-12-03T00:00:00Z");
        } else {
            params[wxT("filter")] = wxT("status:incomplete");
        }
        wxString text;
        CRTMConnection(&client.handler->GetLogger(), &client.handler->Settings(), false, client.services)
            .CallMethod(params, text);
        reply = text.utf8_str().data();
    }
    return reply;
}

// The to-dos of a reply, made once (untimed) through the reply's tree.
std::vector<icalcomponent*> ConvertedTodos(const std::string& reply) {
    wxStringInputStream input(wxString::FromUTF8(reply.c_str()));
    wxXmlDocument document;
    document.Load(input, wxT("UTF-8"));
    std::vector<icalcomponent*> todos;
    for (wxXmlNode* tasks = document.GetRoot()->GetChildren(); tasks; tasks = tasks->GetNext())
        for (wxXmlNode* list = tasks->GetChildren(); list; list = list->GetNext())
            for (wxXmlNode* series = list->GetChildren(); series; series = series->GetNext())
                if (icalcomponent* todo = ConvertTaskSeries(series, list->GetAttribute(wxT("id")), nullptr))
                    todos.push_back(todo);
    return todos;
}

// expat over the bytes in the chunks a transfer hands over, with callbacks that only count.
size_t ParseWithExpat(const std::string& text) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    size_t elements = 0;
    XML_SetUserData(parser, &elements);
    XML_SetElementHandler(
        parser, [](void* count, const XML_Char*, const XML_Char**) { ++*static_cast<size_t*>(count); },
        [](void*, const XML_Char*) {});
    XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
    const size_t CHUNK = 16384;
    for (size_t at = 0; at < text.size(); at += CHUNK)
        XML_Parse(parser, text.data() + at, static_cast<int>(std::min(CHUNK, text.size() - at)), XML_FALSE);
    XML_Parse(parser, nullptr, 0, XML_TRUE);
    XML_ParserFree(parser);
    return elements;
}

// libical alone building (as copies) and writing the to-dos.
size_t BuildAndWrite(const std::vector<icalcomponent*>& todos) {
    size_t bytes = 0;
    for (icalcomponent* todo : todos) {
        icalcomponent* copy = icalcomponent_new_clone(todo);
        char* text = icalcomponent_as_ical_string_r(copy);
        bytes += std::strlen(text);
        free(text);
        icalcomponent_free(copy);
    }
    return bytes;
}

void BM_FloorExpatReply(benchmark::State& state) {
    const std::string& reply = ReplyText(state.range(0), false);
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseWithExpat(reply));
    state.counters["reply_MB"] = reply.size() / 1e6;
}

void BM_FloorLibicalTodos(benchmark::State& state) {
    const std::vector<icalcomponent*> todos = ConvertedTodos(ReplyText(state.range(0), false));
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildAndWrite(todos));
    for (icalcomponent* todo : todos)
        icalcomponent_free(todo);
    state.counters["todos"] = static_cast<double>(todos.size());
}

// The incremental download's floor: expat over its reply, libical building and writing the changed
// to-dos, and libical writing the offline file's to-dos (the save after the merge).
void BM_FloorIncremental(benchmark::State& state) {
    const int count = state.range(0);
    const std::string& reply = ReplyText(count, true);
    const std::vector<icalcomponent*> todos = ConvertedTodos(reply);
    wxString fileText;
    wxFFile(IncrementalStartFile(count), wxT("rb")).ReadAll(&fileText, wxConvUTF8);
    icalcomponent* calendar = icalparser_parse_string(fileText.utf8_str());
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParseWithExpat(reply));
        benchmark::DoNotOptimize(BuildAndWrite(todos));
        char* written = icalcomponent_as_ical_string_r(calendar);
        benchmark::DoNotOptimize(written);
        free(written);
    }
    icalcomponent_free(calendar);
    for (icalcomponent* todo : todos)
        icalcomponent_free(todo);
    state.counters["todos"] = static_cast<double>(todos.size());
}

BENCHMARK(BM_FloorExpatReply)
    ->Arg(BenchSize(1000))
    ->Arg(BenchSize(10000))
    ->Arg(BenchSize(50000))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorLibicalTodos)
    ->Arg(BenchSize(1000))
    ->Arg(BenchSize(10000))
    ->Arg(BenchSize(50000))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorIncremental)->Arg(BenchSize(10000))->Unit(benchmark::kMillisecond);

// A started worker with nothing to do, over ten seconds of real time.
void BM_IdleWorker(benchmark::State& state) {
    Client client(BenchSize(10000));
    for (auto _ : state) {
        client.handler->Start(nullptr);
        wxMilliSleep(500);
        const double before = ProcessCpuSeconds();
        wxMilliSleep(10000);
        state.counters["cpu_ms_per_10s"] = (ProcessCpuSeconds() - before) * 1000;
        client.handler->SetEnabled(false);
        client.handler->SetEnabled(true);
    }
}
BENCHMARK(BM_IdleWorker)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
}  // namespace
