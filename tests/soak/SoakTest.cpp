// A seeded random walk of user and service changes, host restarts and service faults against the
// real handler, its worker and the emulator over HTTP. At every settle point the host's store, the
// offline file and the service must agree with what the user and the service side last asked for.
// Environment: SOAK_SEEDS (how many seeds), SOAK_FIRST_SEED, SOAK_STEPS (steps per seed).
#include "emulator/Emulator.h"
#include "plugin/PluginExports.h"
#include "plugin/RTMHandler.h"
#include "rtm/ServiceContext.h"
#include "sync/AtomicFile.h"
#include "sync/WorkerClock.h"
#include "tests/support/ConvertFixtures.h"
#include "tests/support/FakeHost.h"

#include <gtest/gtest.h>
#include <wx/filename.h>
#include <wx/memconf.h>
#include <wx/utils.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

extern "C" CCalendarHandler* CreateCalendarHandler(wxConfigBase* config, const wchar_t* name);

namespace {
using Fields = std::map<std::string, std::string>;
using Steady = std::chrono::steady_clock;
const char* const FIELDS[] = {"summary", "due", "priority", "tags", "url", "description", "completed"};

// The worker's time runs a hundred times faster: its one-second naps and its one-minute retry
// delay pass in milliseconds.
class FastClock : public WorkerClock {
  public:
    int64_t NowMillis() override {
        return m_Base +
               std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - m_Start).count() * 100;
    }
    void Sleep(int64_t millis) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max<int64_t>(millis / 100, 1)));
    }

  private:
    Steady::time_point m_Start = Steady::now();
    int64_t m_Base = WorkerClock::Real().NowMillis();
};

long EnvNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::atol(text) : fallback;
}

std::string Text(const char* text) {
    return text ? text : "";
}

// Due as "20270105" (a date) or "20270105T093000Z" (a time, in UTC).
std::string DueText(rtmemu::Instant instant, bool hasTime) {
    const time_t t = static_cast<time_t>(instant);
    tm parts{};
    gmtime_r(&t, &parts);
    char text[32];
    strftime(text, sizeof(text), hasTime ? "%Y%m%dT%H%M%SZ" : "%Y%m%d", &parts);
    return text;
}

std::string PriorityLevel(int icalPriority) {
    return icalPriority <= 0 ? "N" : icalPriority < 5 ? "1" : icalPriority == 5 ? "2" : "3";
}

std::string SortedTags(std::vector<std::string> tags) {
    std::sort(tags.begin(), tags.end());
    std::string joined;
    for (const std::string& tag : tags)
        joined += (joined.empty() ? "" : ",") + tag;
    return joined;
}

// The synchronised fields of a to-do, in the same words as those of a task series.
Fields FieldsOf(icalcomponent* todo) {
    Fields f{{"summary", Text(icalcomponent_get_summary(todo))},
             {"due", ""},
             {"completed", icalcomponent_get_status(todo) == ICAL_STATUS_COMPLETED ? "yes" : "no"}};
    if (icalproperty* due = icalcomponent_get_first_property(todo, ICAL_DUE_PROPERTY)) {
        const icaltimetype t = icalproperty_get_due(due);
        f["due"] = t.is_date ? DueText(icaltime_as_timet(t), false)
                             : DueText(icaltime_as_timet_with_zone(t, icaltime_get_timezone(t)), true);
    }
    icalproperty* priority = icalcomponent_get_first_property(todo, ICAL_PRIORITY_PROPERTY);
    f["priority"] = PriorityLevel(priority ? icalproperty_get_priority(priority) : 0);
    std::vector<std::string> tags;
    for (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(todo, ICAL_CATEGORIES_PROPERTY)) {
        std::stringstream list(Text(icalproperty_get_categories(p)));
        for (std::string tag; std::getline(list, tag, ',');)
            tags.push_back(tag);
    }
    f["tags"] = SortedTags(tags);
    icalproperty* url = icalcomponent_get_first_property(todo, ICAL_URL_PROPERTY);
    f["url"] = url ? Text(icalproperty_get_url(url)) : "";
    f["description"] = Text(icalcomponent_get_description(todo));
    return f;
}

Fields FieldsOf(const rtmemu::TaskSeries& s) {
    const rtmemu::Task& t = s.tasks.front();
    Fields f{{"summary", s.name},
             {"due", t.due ? DueText(*t.due, t.hasDueTime) : ""},
             {"priority", t.priority},
             {"tags", SortedTags(s.tags)},
             {"url", s.url},
             {"description", ""},
             {"completed", t.completed ? "yes" : "no"}};
    for (const rtmemu::Note& note : s.notes)
        if (note.title == "C2:description")
            f["description"] = note.text;
    return f;
}

// The model's name for a task: the number its summary starts with ("T12 ...").
// Both sides stamp changes in whole seconds, and a person does not change one task twice within a
// second: a change waits until the second of the task's last change has passed.
void WaitPast(rtmemu::Instant changed) {
    while (time(nullptr) <= changed)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

int KeyOf(const std::string& summary) {
    return summary.size() > 1 && summary[0] == 'T' ? std::atoi(summary.c_str() + 1) : 0;
}

struct ModelTask {
    Fields want;
    std::map<std::string, std::string> changedBy;  // field: "host step 12"
    bool deleted = false, tainted = false, retired = false;
    bool hostTouched = false, serviceTouched = false;  // since the last settle
    std::string seriesId;
};

struct Totals {
    long seeds = 0, steps = 0, lost = 0, duplicated = 0, undecidable = 0, rewrites = 0;
    std::map<std::string, long> faults;
};

class SoakRun {
  public:
    SoakRun(unsigned seed, Totals& totals) : m_Seed(seed), m_Rng(seed), m_Totals(totals) {}
    ~SoakRun();
    void Run(int steps);

  private:
    // Set-up and the host's side.
    void Open();
    void NewHandler();
    void DropHandler();
    CPluginHandler& Plugin() { return *dynamic_cast<CPluginHandler*>(m_Handler); }
    void SyncHostStore();
    void ApplyAdded();  // with FakeHost's mutex held
    std::string HostUidOf(int key);
    void HostWrite(icalcomponent* todo, bool remove);
    // Steps.
    void Step();
    void HostAdd();
    void HostEdit(int key, bool completeOnly);
    void HostDelete(int key);
    void ServiceChange(int key, int what);
    void StartFault();
    // Watches the service's requests: traces the write calls, and notes a call of `method`.
    void Watch(const std::string& method = std::string(), std::shared_ptr<std::atomic<bool>> seen = nullptr);
    // Settling and checking.
    void Settle();
    bool WaitIdle();
    void Check();
    void Problem(int key, const std::string& what);

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_Rng); }
    std::string Word() {
        static const char* const words[] = {"milk", "stamps", "report", "call",
                                            "plan", "fix",    "paint",  "book"};
        return words[Pick(8)];
    }
    std::string NewValue(const std::string& field);
    std::vector<int> Eligible(bool host);
    std::string Where() { return "seed " + std::to_string(m_Seed) + " step " + std::to_string(m_Step); }
    // With SOAK_TRACE set, every step and every write call the service saw is printed as it happens.
    void Trace(const std::string& what) {
        if (m_Tracing)
            std::cout << Where() << ": " << what << std::endl;
    }

    unsigned m_Seed;
    std::mt19937 m_Rng;
    Totals& m_Totals;
    int m_Step = 0, m_NextKey = 1;
    std::map<int, ModelTask> m_Model;
    std::map<std::string, std::string> m_HostStore;  // UID: iCalendar text
    size_t m_Applied = 0;
    std::unique_ptr<rtmemu::Emulator> m_Emulator;
    std::unique_ptr<wxConfigBase> m_Config;
    CCalendarHandler* m_Handler = nullptr;
    CCallSpacing m_Spacing{false, 0};
    ServiceContext m_Services;
    wxString m_DataDir, m_CookieDir;
    wxString m_OfflineFile;
    int m_RefusingSteps = 0, m_BlockedSaveSteps = 0;
    std::vector<std::string> m_Problems;
    bool m_Taint = false;
    long m_Undecidable = 0;
    bool m_Tracing = EnvNumber("SOAK_TRACE", 0) != 0;
};

SoakRun::~SoakRun() {
    DropHandler();
    if (m_Emulator)
        m_Emulator->Stop();
    FakeHost::Get().Reset();
    wxFileName::Rmdir(m_DataDir, wxPATH_RMDIR_RECURSIVE);
    wxFileName::Rmdir(m_CookieDir, wxPATH_RMDIR_RECURSIVE);
}

void SoakRun::Open() {
    FakeHost& host = FakeHost::Get();
    host.Reset();
    host.logLevel = LOG_ERROR | LOG_WARNING | LOG_INFO;  // no libcurl trace
    char data[] = "/tmp/corvane-soak-XXXXXX", cookies[] = "/tmp/corvane-soak-XXXXXX";
    m_DataDir = wxString::FromUTF8(mkdtemp(data));
    m_CookieDir = wxString::FromUTF8(mkdtemp(cookies));
    host.dataDir = m_DataDir;
    host.cookieDir = m_CookieDir;
    m_OfflineFile = m_DataDir + wxT("/Remember The Milk-Soak-Offline.ics");

    m_Emulator = std::make_unique<rtmemu::Emulator>();
    ASSERT_TRUE(m_Emulator->Start());
    Watch();
    m_Services.address = ServiceAddress(wxString::FromUTF8(m_Emulator->BaseUrl().c_str()));
    m_Services.spacing = &m_Spacing;
    rtmemu::TaskStore& store = m_Emulator->State().Tasks();
    store.SetTimeZone("UTC");
    for (int i = 0; i < 4; ++i) {
        const int key = m_NextKey++;
        rtmemu::TaskSeries series;
        series.name = "T" + std::to_string(key) + " " + Word();
        series.url = NewValue("url");
        series.tasks.emplace_back().priority = NewValue("priority");
        m_Model[key].seriesId = store.AddSeries(store.InboxId(), series).seriesId;
        m_Model[key].want = FieldsOf(*store.FindSeries(m_Model[key].seriesId));
    }
    // A token the service refuses sends the user through the authorisation page again: allow.
    m_Services.launcher = [this](const wxString& page) {
        return m_Emulator->ApprovePage(std::string(page.utf8_str()));
    };
    rtmemu::AccountState& state = m_Emulator->State();
    const std::string frob = state.NewFrob(rtmemu::DEFAULT_API_KEY);
    state.ApproveFrob(frob, rtmemu::Perms::Delete);
    m_Config = std::make_unique<wxMemoryConfig>();
    m_Config->Write(wxT("/Remember The Milk/AuthToken"), wxString::FromUTF8(state.ExchangeFrob(frob)->token));
    m_Config->Write(wxT("/Remember The Milk/Soak/KeepOfflineCopy"), true);
    m_Config->Write(wxT("/Remember The Milk/Soak/SuppressErrors"), true);
    NewHandler();
}

void SoakRun::NewHandler() {
    m_Handler = CreateCalendarHandler(m_Config.get(), L"Soak");
    static_cast<CRTMHandler*>(m_Handler)->SetServiceContext(m_Services);
    m_Handler->Start(nullptr);
    m_Handler->Refresh();  // a host shows a calendar's fresh list when it opens it
}

void SoakRun::DropHandler() {
    delete m_Handler;
    m_Handler = nullptr;
}

// The host's store as the host keeps it: every component the plug-in gave it, in order.
void SoakRun::SyncHostStore() {
    std::lock_guard<std::mutex> lock(FakeHost::Get().mutex);
    ApplyAdded();
}

void SoakRun::ApplyAdded() {
    FakeHost& host = FakeHost::Get();
    for (; m_Applied < host.added.size(); ++m_Applied) {
        const FakeAdded& a = host.added[m_Applied];
        if (a.flags & 0x8000)
            m_HostStore.erase(a.uid);
        else
            m_HostStore[a.uid] = a.ical;
    }
}

std::string SoakRun::HostUidOf(int key) {
    for (const auto& entry : m_HostStore) {
        IcalPtr todo(icalparser_parse_string(entry.second.c_str()));
        if (todo && KeyOf(Text(icalcomponent_get_summary(todo.get()))) == key)
            return entry.first;
    }
    return std::string();
}

// With FakeHost's mutex held (see HostEdit).
void SoakRun::HostWrite(icalcomponent* todo, bool remove) {
    ComponentArray array;
    array.Add(todo);
    if (remove) {
        m_HostStore.erase(icalcomponent_get_uid(todo));
        m_Handler->DeleteComponents(array);
    } else {
        icalcomponent_set_dtstamp(todo, icaltime_current_time_with_zone(icaltimezone_get_utc_timezone()));
        icalproperty* modified = icalcomponent_get_first_property(todo, ICAL_LASTMODIFIED_PROPERTY);
        const icaltimetype now = icaltime_current_time_with_zone(icaltimezone_get_utc_timezone());
        if (modified)
            icalproperty_set_lastmodified(modified, now);
        else
            icalcomponent_add_property(todo, icalproperty_new_lastmodified(now));
        m_HostStore[icalcomponent_get_uid(todo)] = icalcomponent_as_ical_string(todo);
        m_Handler->WriteComponents(array);
    }
}

std::string SoakRun::NewValue(const std::string& field) {
    if (field == "summary")
        return Word() + " " + Word();
    if (field == "due")
        return "202701" + std::to_string(10 + Pick(18)) +
               (Pick(2) ? "T0" + std::to_string(Pick(10)) + "3000Z" : "");
    if (field == "priority")
        return std::string(1, "N123"[Pick(4)]);
    if (field == "tags") {
        static const char* const tags[] = {"home", "work", "urgent", "later"};
        std::vector<std::string> chosen;
        for (int i = Pick(3); i > 0; --i)
            chosen.push_back(tags[Pick(4)]);
        std::sort(chosen.begin(), chosen.end());
        chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
        return SortedTags(chosen);
    }
    if (field == "url")
        return Pick(3) ? "https://example.com/" + Word() : "";
    return Word() + " and " + Word();  // description
}

// Setting one field of a to-do to a value in the model's words.
void SetField(icalcomponent* todo, const std::string& field, const std::string& value) {
    static const std::map<std::string, icalproperty_kind> kinds = {
        {"summary", ICAL_SUMMARY_PROPERTY},   {"due", ICAL_DUE_PROPERTY},
        {"priority", ICAL_PRIORITY_PROPERTY}, {"tags", ICAL_CATEGORIES_PROPERTY},
        {"url", ICAL_URL_PROPERTY},           {"description", ICAL_DESCRIPTION_PROPERTY},
        {"completed", ICAL_STATUS_PROPERTY}};
    const icalproperty_kind kind = kinds.at(field);
    while (icalproperty* p = icalcomponent_get_first_property(todo, kind)) {
        icalcomponent_remove_property(todo, p);
        icalproperty_free(p);
    }
    if (field == "summary")
        icalcomponent_set_summary(todo, value.c_str());
    else if (field == "due")
        icalcomponent_set_due(todo, icaltime_from_string(value.c_str()));
    else if (field == "priority")
        icalcomponent_add_property(todo, icalproperty_new_priority(value == "N"   ? 0
                                                                   : value == "1" ? 1
                                                                   : value == "2" ? 5
                                                                                  : 9));
    else if (field == "url" && !value.empty())
        icalcomponent_add_property(todo, icalproperty_new_url(value.c_str()));
    else if (field == "description")
        icalcomponent_set_description(todo, value.c_str());
    else if (field == "completed")
        icalcomponent_set_status(todo, value == "yes" ? ICAL_STATUS_COMPLETED : ICAL_STATUS_NEEDSACTION);
    std::stringstream tags(field == "tags" ? value : "");
    for (std::string tag; std::getline(tags, tag, ',');)
        icalcomponent_add_property(todo, icalproperty_new_categories(tag.c_str()));
}

// Tasks a step may touch: one side never touches what the other changed since the last settle,
// so that every field's final value is known.
std::vector<int> SoakRun::Eligible(bool host) {
    std::vector<int> keys;
    for (const auto& entry : m_Model) {
        const ModelTask& t = entry.second;
        if (!t.deleted && !t.tainted && !t.retired && !(host ? t.serviceTouched : t.hostTouched) &&
            (host || !t.seriesId.empty()))
            keys.push_back(entry.first);
    }
    return keys;
}

void SoakRun::HostAdd() {
    std::lock_guard<std::mutex> lock(FakeHost::Get().mutex);
    ApplyAdded();
    const int key = m_NextKey++;
    IcalPtr todo(icalcomponent_new_vtodo());
    const std::string uid = "soak-" + std::to_string(m_Seed) + "-" + std::to_string(key);
    icalcomponent_set_uid(todo.get(), uid.c_str());
    ModelTask& t = m_Model[key];
    t.want = {{"summary", "T" + std::to_string(key) + " " + Word()},
              {"due", Pick(2) ? NewValue("due") : ""},
              {"priority", NewValue("priority")},
              {"tags", NewValue("tags")},
              {"url", NewValue("url")},
              {"description", Pick(2) ? NewValue("description") : ""},
              {"completed", "no"}};
    for (const auto& field : t.want) {
        if (!field.second.empty() || field.first == "priority" || field.first == "completed")
            SetField(todo.get(), field.first, field.second);
        t.changedBy[field.first] = "host add at step " + std::to_string(m_Step);
    }
    t.hostTouched = true;
    Trace("host adds T" + std::to_string(key) + " as " + uid);
    HostWrite(todo.get(), false);
}

void SoakRun::HostEdit(int key, bool completeOnly) {
    // The user edits what the host shows at that moment: nothing the plug-in gives the host comes
    // between the choice of the to-do and the hand-over of the edit.
    std::lock_guard<std::mutex> lock(FakeHost::Get().mutex);
    ApplyAdded();
    const std::string uid = HostUidOf(key);
    if (uid.empty())
        return;  // not shown in the host at the moment: the user cannot edit it
    IcalPtr todo(icalparser_parse_string(m_HostStore[uid].c_str()));
    if (icalproperty* modified = icalcomponent_get_first_property(todo.get(), ICAL_LASTMODIFIED_PROPERTY))
        WaitPast(icaltime_as_timet(icalproperty_get_lastmodified(modified)));
    ModelTask& t = m_Model[key];
    // Neither a due nor a description is ever cleared: the service keeps them by design.
    const std::string field = completeOnly ? "completed" : FIELDS[Pick(7)];
    std::string value =
        field == "completed" ? (completeOnly || t.want[field] == "no" ? "yes" : "no") : NewValue(field);
    if (field == "summary")
        value = "T" + std::to_string(key) + " " + value;
    SetField(todo.get(), field, value);
    t.want[field] = value;
    t.changedBy[field] = "host at step " + std::to_string(m_Step);
    t.hostTouched = true;
    Trace("host sets " + field + " of T" + std::to_string(key) + " (" + uid + ") to '" + value + "'");
    HostWrite(todo.get(), false);
}

void SoakRun::HostDelete(int key) {
    std::lock_guard<std::mutex> lock(FakeHost::Get().mutex);
    ApplyAdded();
    const std::string uid = HostUidOf(key);
    if (uid.empty())
        return;
    IcalPtr todo(icalparser_parse_string(m_HostStore[uid].c_str()));
    m_Model[key].deleted = true;
    m_Model[key].hostTouched = true;
    m_Model[key].changedBy["deleted"] = "host at step " + std::to_string(m_Step);
    Trace("host deletes T" + std::to_string(key) + " (" + uid + ")");
    HostWrite(todo.get(), true);
}

void SoakRun::ServiceChange(int key, int what) {
    ModelTask& t = m_Model[key];
    const std::string field = what == 0 ? FIELDS[Pick(6)] : "completed";
    std::string value =
        field == "summary" ? "T" + std::to_string(key) + " " + NewValue(field) : NewValue(field);
    rtmemu::TaskStore& store = m_Emulator->State().Tasks();
    WaitPast(store.FindSeries(t.seriesId)->modified);
    store.With(store.DefaultUser(), [&](rtmemu::Account& account) {
        rtmemu::TaskSeries& s = *account.FindSeries(t.seriesId);
        rtmemu::Task& task = s.tasks.front();
        if (what == 2) {
            task.deleted = account.Now();
        } else if (field == "summary") {
            s.name = value;
        } else if (field == "due") {
            icaltimetype due = icaltime_from_string(value.c_str());
            task.due = icaltime_as_timet_with_zone(due, icaltimezone_get_utc_timezone());
            task.hasDueTime = !due.is_date;
        } else if (field == "priority") {
            task.priority = value;
        } else if (field == "tags") {
            std::stringstream list(value);
            s.tags.clear();
            for (std::string tag; std::getline(list, tag, ',');)
                s.tags.push_back(tag);
        } else if (field == "url") {
            s.url = value;
        } else if (field == "description") {
            auto note = std::find_if(s.notes.begin(), s.notes.end(),
                                     [](const rtmemu::Note& n) { return n.title == "C2:description"; });
            if (note == s.notes.end())
                account.AddNote(s, rtmemu::Note{"", account.Now(), account.Now(), "C2:description", value});
            else
                note->text = value, note->modified = account.Now();
        } else {
            task.completed = account.Now();
            value = "yes";
        }
        s.modified = account.Now();
    });
    t.serviceTouched = true;
    Trace("service " + (what == 2 ? std::string("deletes") : "sets " + field + " of") + " T" +
          std::to_string(key) + " (" + t.seriesId + ")" + (what == 2 ? "" : " to '" + value + "'"));
    if (what == 2) {
        t.deleted = true;
        t.changedBy["deleted"] = "service at step " + std::to_string(m_Step);
    } else {
        t.want[field] = value;
        t.changedBy[field] = "service at step " + std::to_string(m_Step);
    }
}

void SoakRun::Watch(const std::string& method, std::shared_ptr<std::atomic<bool>> seen) {
    const bool tracing = m_Tracing;
    m_Emulator->SetRequestObserver([tracing, method, seen](const rtmemu::LoggedRequest& r) {
        if (seen && r.method == method)
            *seen = true;
        if (!tracing || r.method.rfind("rtm.tasks.", 0) != 0 || r.method == "rtm.tasks.getList")
            return;
        std::string line = "  service asked " + r.method;
        for (const char* name : {"taskseries_id", "name", "tags", "priority", "url", "due", "note_text"})
            if (r.params.count(name))
                line += std::string(" ") + name + "='" + r.params.find(name)->second + "'";
        std::cout << line << std::endl;
    });
}

void SoakRun::StartFault() {
    using rtmemu::Fault;
    static const char* const writes[] = {
        "rtm.tasks.add",     "rtm.tasks.setName", "rtm.tasks.setDueDate", "rtm.tasks.setPriority",
        "rtm.tasks.setTags", "rtm.tasks.setURL",  "rtm.tasks.notes.add",  "rtm.tasks.complete",
        "rtm.tasks.delete",  "rtm.tasks.getList", "rtm.timelines.create"};
    const std::string method = writes[Pick(11)];
    const int times = 1 + Pick(3);
    const std::pair<const char*, std::function<Fault()>> queued[] = {
        {"stall", [] { return Fault::StallFor(300); }},
        {"http500", [] { return Fault::Status(500); }},
        {"http503", [] { return Fault::Status(503); }},
        {"unavailable", [] { return Fault::Of(Fault::UnavailablePage); }},
        {"envelope", [] { return Fault::Envelope(105); }},
        {"refused-field", [&] { return Fault::Envelope(105).ForMethod(method); }},
        {"non-xml", [] { return Fault::Of(Fault::NonXmlBody); }},
        {"lost-reply", [&] { return Fault::Lost(Pick(2) == 1).ForMethod(method); }},
    };
    const int pick = Pick(11);
    std::string kind = pick < 9 ? queued[std::min(pick, 7)].first : pick == 9 ? "refused" : "hang";
    if (pick < 9) {
        m_Emulator->InjectFault(queued[std::min(pick, 7)].second(), times);
    } else if (pick == 9) {
        m_Emulator->SetRefusing(true);
        m_RefusingSteps = 1 + Pick(4);
    } else {
        // A call carried out that then hangs until the host closes the calendar.
        auto seen = std::make_shared<std::atomic<bool>>(false);
        Watch(method, seen);
        m_Emulator->InjectFault(Fault::StallAfterCall(4000).ForMethod(method));
        for (int i = 0; i < 50 && !*seen; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Watch();
        m_Emulator->ClearFaults();
        DropHandler();
        NewHandler();
        if (!*seen)
            return;
    }
    ++m_Totals.faults[kind];
    Trace("fault " + kind + " (" + method + ")");
}

void SoakRun::Step() {
    SyncHostStore();
    if (m_RefusingSteps > 0 && --m_RefusingSteps == 0)
        m_Emulator->SetRefusing(false);
    if (m_BlockedSaveSteps > 0 && --m_BlockedSaveSteps == 0)
        wxFileName::Rmdir(AtomicTempPath(m_OfflineFile));
    const std::vector<int> hostKeys = Eligible(true), serviceKeys = Eligible(false);
    const int roll = Pick(100);
    if (roll < 12) {
        HostAdd();
    } else if (roll < 40 && !hostKeys.empty()) {
        HostEdit(hostKeys[Pick(hostKeys.size())], false);
    } else if (roll < 45 && !hostKeys.empty()) {
        HostEdit(hostKeys[Pick(hostKeys.size())], true);
    } else if (roll < 49 && !hostKeys.empty()) {
        HostDelete(hostKeys[Pick(hostKeys.size())]);
    } else if (roll < 64 && !serviceKeys.empty()) {
        const int what = Pick(10);
        ServiceChange(serviceKeys[Pick(serviceKeys.size())], what < 7 ? 0 : what < 9 ? 1 : 2);
    } else if (roll < 68) {
        Trace("refresh");
        m_Handler->Refresh();
    } else if (roll < 71) {
        Trace("calendar disabled and enabled again");
        m_Handler->SetEnabled(false);
        m_Handler->SetEnabled(true);
        m_Handler->Start(nullptr);
    } else if (roll < 74) {
        Trace("host restarted");
        DropHandler();  // the host quits and starts again over the same configuration and data
        NewHandler();
    } else if (roll < 76 && m_BlockedSaveSteps == 0) {
        // A directory where the offline file's new content is written makes its saves fail.
        wxFileName::Mkdir(AtomicTempPath(m_OfflineFile));
        m_BlockedSaveSteps = 1 + Pick(3);
        ++m_Totals.faults["save"];
    } else if (roll < 90) {
        StartFault();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(Pick(40)));
}

bool SoakRun::WaitIdle() {
    FakeHost& host = FakeHost::Get();
    const auto end = Steady::now() + std::chrono::seconds(30);
    for (int calm = 0; Steady::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
        bool idle = Plugin().QueueCount(true) == 0 && Plugin().QueueCount(false) == 0;
        {
            std::lock_guard<std::mutex> lock(host.mutex);
            idle = idle && !host.trayStatuses.empty() && host.trayStatuses.back().first != TRAY_SYNCING;
        }
        calm = idle ? calm + 1 : 0;
        if (calm == 3)
            return true;
    }
    return false;
}

void SoakRun::Settle() {
    m_Emulator->ClearFaults();
    m_Emulator->SetRefusing(false);
    m_RefusingSteps = 0;
    if (m_BlockedSaveSteps > 0)
        wxFileName::Rmdir(AtomicTempPath(m_OfflineFile));
    m_BlockedSaveSteps = 0;
    for (int round = 0; round < 2; ++round) {
        m_Emulator->ClearRequests();
        m_Handler->Refresh();
        if (!WaitIdle())
            m_Problems.push_back(Where() + ": the worker did not settle within 30 s");
    }
    std::string rewrites;
    for (const rtmemu::LoggedRequest& r : m_Emulator->Requests()) {
        if (r.method.rfind("rtm.tasks.", 0) == 0 && r.method != "rtm.tasks.getList")
            rewrites += " " + r.method;
    }
    if (!rewrites.empty()) {
        ++m_Totals.rewrites;
        m_Problems.push_back(Where() + ": the second refresh wrote again:" + rewrites);
    }
    SyncHostStore();
    Trace("settled");
    Check();
}

void SoakRun::Problem(int key, const std::string& what) {
    m_Problems.push_back(Where() + " T" + std::to_string(key) + ": " + what);
    m_Taint = true;
}

void SoakRun::Check() {
    // With SOAK_DUMP=TEXT, the plug-in's log lines that hold TEXT (and its errors and
    // information) are printed, to follow one to-do through a failing seed.
    if (const char* dump = std::getenv("SOAK_DUMP")) {
        std::lock_guard<std::mutex> lock(FakeHost::Get().mutex);
        for (const auto& line : FakeHost::Get().logs) {
            if (line.level <= LOG_INFO || line.text.Contains(wxString::FromUTF8(dump)))
                std::printf("log %d %s\n", line.level, static_cast<const char*>(line.text.utf8_str()));
        }
    }
    // What each place holds, by the model's key.
    std::map<int, std::vector<std::pair<std::string, Fields>>> places[3];
    for (const auto& entry : m_HostStore) {
        IcalPtr todo(icalparser_parse_string(entry.second.c_str()));
        places[0][KeyOf(Text(icalcomponent_get_summary(todo.get())))].push_back(
            {entry.first, FieldsOf(todo.get())});
    }
    IcalPtr file(icalparser_parse_string(ReadTextFile(std::string(m_OfflineFile.utf8_str())).c_str()));
    for (icalcomponent* c = file ? icalcomponent_get_first_component(file.get(), ICAL_VTODO_COMPONENT)
                                 : nullptr;
         c; c = icalcomponent_get_next_component(file.get(), ICAL_VTODO_COMPONENT))
        places[1][KeyOf(Text(icalcomponent_get_summary(c)))].push_back(
            {Text(icalcomponent_get_uid(c)), FieldsOf(c)});
    for (const rtmemu::TaskSeries& s : m_Emulator->State().Tasks().AllSeries()) {
        if (!s.tasks.front().deleted)
            places[2][KeyOf(s.name)].push_back({s.listId + ":" + s.id, FieldsOf(s)});
    }
    static const char* const names[] = {"host", "offline file", "service"};
    long extras = 0;
    for (auto& entry : m_Model) {
        const int key = entry.first;
        ModelTask& t = entry.second;
        if (t.tainted || t.retired)
            continue;
        m_Taint = false;
        for (int p = 0; p < 3; ++p) {
            const auto& held = places[p][key];
            if (t.deleted && !held.empty()) {
                ++m_Totals.lost;
                Problem(key, std::string("deleted (") + t.changedBy["deleted"] + ") but still in the " +
                                 names[p] + " as " + held[0].first);
            } else if (!t.deleted && held.empty() && (p == 2 || t.want["completed"] == "no")) {
                ++m_Totals.lost;
                Problem(key, std::string("missing from the ") + names[p]);
            } else if (held.size() > 1) {
                extras += held.size() - 1;
                Problem(key, std::to_string(held.size()) + " copies in the " + names[p] + ": " +
                                 held[0].first + ", " + held[1].first);
            }
        }
        for (const char* field : FIELDS) {
            std::string seen;
            for (int p = 0; p < 3 && !t.deleted; ++p) {
                for (const auto& copy : places[p][key]) {
                    const std::string& value = copy.second.at(field);
                    if (value != t.want[field])
                        seen += std::string(" ") + names[p] + " '" + value + "' (" + copy.first + ")";
                }
            }
            if (!seen.empty()) {
                ++m_Totals.lost;
                Problem(key, std::string(field) + " wanted '" + t.want[field] + "' (" + t.changedBy[field] +
                                 "), seen" + seen);
            }
        }
        t.tainted = m_Taint;  // reported once; later steps leave it alone
        t.hostTouched = t.serviceTouched = false;
        t.retired = t.deleted || t.want["completed"] == "yes";
        if (places[2][key].size() == 1)
            t.seriesId = places[2][key][0].first.substr(places[2][key][0].first.find(':') + 1);
    }
    // Copies the engine itself could not tell apart (it logs them) are excused, not counted.
    const long undecidable = static_cast<long>(FakeHost::Get().CountLogs(wxT("possible duplicate")));
    m_Totals.duplicated += std::max(0L, extras - (undecidable - m_Undecidable));
    m_Totals.undecidable += undecidable - m_Undecidable;
    m_Undecidable = undecidable;
}

void SoakRun::Run(int steps) {
    Open();
    if (::testing::Test::HasFatalFailure())
        return;
    Settle();
    for (int settleAt = 15 + Pick(15); m_Step < steps; ++m_Step) {
        Step();
        if (m_Step == settleAt || m_Step + 1 == steps) {
            Settle();
            settleAt = m_Step + 15 + Pick(15);
        }
    }
    m_Totals.steps += steps;
    ++m_Totals.seeds;
    for (const std::string& problem : m_Problems)
        ADD_FAILURE() << problem;
}
}  // namespace

TEST(Soak, NothingLostNothingDuplicated) {
    setenv("TZ", "UTC", 1);
    tzset();
    FastClock clock;
    WorkerClock::SetDefault(&clock);
    const long seeds = EnvNumber("SOAK_SEEDS", 4), first = EnvNumber("SOAK_FIRST_SEED", 1);
    const int steps = static_cast<int>(EnvNumber("SOAK_STEPS", 60));
    Totals totals;
    for (long seed = first; seed < first + seeds; ++seed)
        SoakRun(static_cast<unsigned>(seed), totals).Run(steps);
    WorkerClock::SetDefault(nullptr);

    std::ostringstream line;
    line << "soak: seeds " << first << ".." << first + seeds - 1 << ", steps " << totals.steps << ", faults";
    for (const auto& fault : totals.faults)
        line << " " << fault.first << "=" << fault.second;
    line << ", lost " << totals.lost << ", duplicated " << totals.duplicated << ", undecidable duplicates "
         << totals.undecidable << ", second refreshes that wrote " << totals.rewrites;
    std::cout << line.str() << std::endl;
    EXPECT_EQ(totals.lost, 0);
    EXPECT_EQ(totals.duplicated, 0);
}
