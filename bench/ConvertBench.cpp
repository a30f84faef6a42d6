// Conversion cost per task series: a download converts every series of the list (10,000 tasks must
// take a fraction of a second), and an upload makes the task fields twice per task.
#include "convert/ServiceTime.h"
#include "convert/TaskFields.h"
#include "convert/TaskSeries.h"

#include <benchmark/benchmark.h>
#include <wx/sstream.h>
#include <wx/xml/xml.h>

namespace {

// A typical series: tags, the two notes, a rule and one task with a date-only due.
const char* const TYPICAL_SERIES =
    "<taskseries id=\"3001\" created=\"2012-04-01T09:00:00Z\" modified=\"2012-04-02T10:30:00Z\" "
    "name=\"File tax return\" source=\"api\" url=\"http://example.com/tax\" location_id=\"\">"
    "<rrule every=\"1\">FREQ=WEEKLY;INTERVAL=1;BYDAY=MO,WE</rrule>"
    "<tags><tag>finance</tag><tag>home_office</tag></tags><participants/>"
    "<notes>"
    "<note id=\"6001\" created=\"2012-04-01T09:05:00Z\" modified=\"2012-04-01T09:05:00Z\" title=\"C2:data\">"
    "Start: 2012-04-25\nLocation: Office\nStatus: 10057\nPercent: 40\nTrigger: 15\n</note>"
    "<note id=\"6002\" created=\"2012-04-01T09:05:00Z\" modified=\"2012-04-01T09:05:00Z\" "
    "title=\"C2:description\">Bring the receipts\nand the forms</note>"
    "</notes>"
    "<task id=\"4001\" due=\"2012-05-01T21:00:00Z\" has_due_time=\"0\" added=\"2012-04-01T09:00:00Z\" "
    "completed=\"\" deleted=\"\" priority=\"2\" postponed=\"0\" estimate=\"\"/>"
    "</taskseries>";

struct TypicalSeries {
    TypicalSeries() {
        wxStringInputStream input(wxString::FromUTF8(TYPICAL_SERIES));
        document.Load(input);
    }
    wxXmlDocument document;
};

void BM_ConvertTaskSeries(benchmark::State& state) {
    TypicalSeries series;
    for (auto _ : state) {
        icalcomponent* todo = ConvertTaskSeries(series.document.GetRoot(), wxT("2002"), nullptr);
        benchmark::DoNotOptimize(todo);
        icalcomponent_free(todo);
    }
}
BENCHMARK(BM_ConvertTaskSeries);

void BM_MakeTaskFields(benchmark::State& state) {
    TypicalSeries series;
    icalcomponent* todo = ConvertTaskSeries(series.document.GetRoot(), wxT("2002"), nullptr);
    for (auto _ : state) {
        TaskFields fields = MakeTaskFields(todo);
        benchmark::DoNotOptimize(fields);
    }
    icalcomponent_free(todo);
}
BENCHMARK(BM_MakeTaskFields);

void BM_ParseServiceTime(benchmark::State& state) {
    const wxString text = wxT("2012-12-31T23:30:00.000-01:00");
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseServiceTime(text, nullptr));
}
BENCHMARK(BM_ParseServiceTime);

void BM_UtcToLocalDate(benchmark::State& state) {
    icaltimetype time = ParseServiceTime(wxT("2012-05-01T21:00:00Z"), nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(UtcToLocalDate(time));
}
BENCHMARK(BM_UtcToLocalDate);

}  // namespace
