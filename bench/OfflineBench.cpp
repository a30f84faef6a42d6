// The offline file at the size of a large account: reading and saving N to-dos that use a few time
// zones, a full merge of N offline against N online to-dos, and, as the floors, libical alone
// parsing, writing and copying the same to-dos. Run: scripts/bench --benchmark_filter=Offline
#include "bench/BenchSizes.h"
#include "sync/OfflineCalendar.h"
#include "tests/support/FakeHost.h"

#include <benchmark/benchmark.h>
#include <wx/ffile.h>
#include <wx/filefn.h>
#include <wx/filename.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace {

const time_t LAST_SYNC = 1700000000;
const char* const ZONES[] = {"Europe/Helsinki", "America/New_York", "Asia/Tokyo"};

std::string Stamp(time_t seconds) {
    char buffer[32];
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    std::strftime(buffer, sizeof buffer, "%Y%m%dT%H%M%SZ", &parts);
    return buffer;
}

// A to-do shaped like a converted task series; `age` moves its LAST-MODIFIED.
std::string TodoText(int i, long age) {
    std::string text = "BEGIN:VTODO\r\n";
    text += "CREATED:" + Stamp(LAST_SYNC - 86400 * 30) + "\r\n";
    text += "LAST-MODIFIED:" + Stamp(LAST_SYNC + age) + "\r\n";
    text += "SUMMARY:Task number " + std::to_string(i) + " with a title of ordinary length\r\n";
    text += "CATEGORIES:work\r\n";
    if (i % 4 == 0)
        text += "DESCRIPTION:A note that says a little more about the task, as notes do.\r\n";
    if (i % 3 == 0) {
        text += std::string("DUE;TZID=") + ZONES[(i / 3) % 3] + ":20240105T100000\r\n";
    } else {
        text += "DUE;VALUE=DATE:20240105\r\n";
    }
    if (i % 10 == 0)
        text += "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n";
    text += "PRIORITY:" + std::to_string(i % 3 * 4 + 1) + "\r\n";
    text += "UID:1234:" + std::to_string(100000 + i) + "\r\n";
    text += "X-CORVANE-RTM-TASK-ID:" + std::to_string(900000 + i) + "\r\n";
    text += "END:VTODO\r\n";
    return text;
}

// One directory for the whole run; the file of each size is made once, by the offline calendar.
struct BenchFiles {
    BenchFiles() {
        char pattern[] = "/tmp/corvane-bench-XXXXXX";
        dir = wxString::FromUTF8(mkdtemp(pattern));
        FakeHost::Get().dataDir = dir;
    }
    ~BenchFiles() { wxFileName::Rmdir(dir, wxPATH_RMDIR_RECURSIVE); }

    wxFileName File(int count) {
        wxFileName name(dir, wxString::Format(wxT("Offline-%d.ics"), count));
        if (!name.FileExists()) {
            COfflineCalendar offline(name);
            for (int i = 0; i < count; ++i) {
                icalcomponent* todo = icalcomponent_new_from_string(TodoText(i, 0).c_str());
                offline.StoreComponent(todo);
                icalcomponent_free(todo);
            }
            offline.Save(false);
        }
        return name;
    }
    std::string Text(int count) {
        wxFFile file(File(count).GetFullPath(), wxT("rb"));
        std::string text(file.Length(), '\0');
        text.resize(file.Read(&text[0], text.size()));
        return text;
    }

    wxString dir;
};

BenchFiles& Files() {
    static BenchFiles files;
    return files;
}

void ForgetHostCalls() {
    FakeHost& host = FakeHost::Get();
    host.logs.clear();
    host.added.clear();
    host.timeZonesAdded.clear();
}

void BM_OfflineRead(benchmark::State& state) {
    const wxFileName file = Files().File(state.range(0));
    for (auto _ : state) {
        COfflineCalendar offline(file);
        benchmark::DoNotOptimize(offline.Components().Size());
        state.PauseTiming();
        ForgetHostCalls();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OfflineRead)
    ->Arg(BenchSize(1000))
    ->Arg(BenchSize(10000))
    ->Arg(BenchSize(50000))
    ->Unit(benchmark::kMillisecond);

void BM_OfflineSave(benchmark::State& state) {
    // A copy of the file, so the benchmark of reading keeps its own.
    const wxFileName source = Files().File(state.range(0));
    wxFileName file(source.GetPath(), wxT("Save-") + source.GetFullName());
    wxCopyFile(source.GetFullPath(), file.GetFullPath());
    COfflineCalendar offline(file);
    icalcomponent* changed = icalcomponent_new_from_string(TodoText(0, 10).c_str());
    for (auto _ : state) {
        offline.StoreComponent(changed);  // one change makes the next save write the file
        offline.Save(true);
        state.PauseTiming();
        ForgetHostCalls();
        state.ResumeTiming();
    }
    icalcomponent_free(changed);
}
BENCHMARK(BM_OfflineSave)
    ->Arg(BenchSize(1000))
    ->Arg(BenchSize(10000))
    ->Arg(BenchSize(50000))
    ->Unit(benchmark::kMillisecond);

// The online side of a full merge: 90% of the to-dos on both sides (a third newer online, a third
// newer offline, a third equal), 10% only offline (half created offline, half stale), 10% only online.
ComponentMap OnlineSide(int count) {
    ComponentMap online(100);
    for (int i = count / 10; i < count + count / 10; ++i) {
        const long age = i % 3 == 0 ? 60 : (i % 3 == 1 ? -60 : 0);
        icalcomponent* todo = icalcomponent_new_from_string(TodoText(i, age).c_str());
        online.Store(ComponentUid(todo), todo);
    }
    return online;
}

void BM_OfflineFullMerge(benchmark::State& state) {
    const int count = state.range(0);
    const wxFileName file = Files().File(count);
    const ComponentMap online = OnlineSide(count);
    for (auto _ : state) {
        state.PauseTiming();
        auto offline = std::make_unique<COfflineCalendar>(file);
        ForgetHostCalls();
        state.ResumeTiming();

        offline->Merge(online, {}, false, LAST_SYNC);
        benchmark::DoNotOptimize(offline->ToUpload().size());

        state.PauseTiming();
        offline->SetWriteHook([](AtomicWriteStep, size_t) { return AtomicWriteFault::FAIL; });  // no save
        offline.reset();
        ForgetHostCalls();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OfflineFullMerge)
    ->Arg(BenchSize(1000))
    ->Arg(BenchSize(10000))
    ->Arg(BenchSize(50000))
    ->Unit(benchmark::kMillisecond);

// The floors: libical's own parser and writer on the same file, and (for the merge) libical copying
// every online to-do once.
void BM_OfflineLibicalParse(benchmark::State& state) {
    const std::string text = Files().Text(state.range(0));
    for (auto _ : state) {
        icalcomponent* calendar = icalparser_parse_string(text.c_str());
        benchmark::DoNotOptimize(calendar);
        icalcomponent_free(calendar);
    }
}
BENCHMARK(BM_OfflineLibicalParse)
    ->Arg(BenchSize(1000))
    ->Arg(BenchSize(10000))
    ->Arg(BenchSize(50000))
    ->Unit(benchmark::kMillisecond);

void BM_OfflineLibicalSerialise(benchmark::State& state) {
    const std::string text = Files().Text(state.range(0));
    icalcomponent* calendar = icalparser_parse_string(text.c_str());
    for (auto _ : state) {
        char* written = icalcomponent_as_ical_string_r(calendar);
        benchmark::DoNotOptimize(written);
        free(written);
    }
    icalcomponent_free(calendar);
}
BENCHMARK(BM_OfflineLibicalSerialise)
    ->Arg(BenchSize(1000))
    ->Arg(BenchSize(10000))
    ->Arg(BenchSize(50000))
    ->Unit(benchmark::kMillisecond);

void BM_OfflineLibicalClone(benchmark::State& state) {
    const ComponentMap online = OnlineSide(state.range(0));
    for (auto _ : state) {
        for (const ComponentMap::Entry& entry : online) {
            icalcomponent* copy = icalcomponent_new_clone(entry.component);
            benchmark::DoNotOptimize(copy);
            icalcomponent_free(copy);
        }
    }
}
BENCHMARK(BM_OfflineLibicalClone)
    ->Arg(BenchSize(1000))
    ->Arg(BenchSize(10000))
    ->Arg(BenchSize(50000))
    ->Unit(benchmark::kMillisecond);

}  // namespace
