// `mirror CAL DIR`: the calendar as a vdir folder, driven with the real todoman command line, one
// scenario against the emulator from a first read to a mirror killed in the middle of a change.
#include "tests/support/HostFixture.h"

#include <wx/stopwatch.h>
#include <wx/utils.h>

#include <dirent.h>
#include <signal.h>
#include <unistd.h>
#include <ctime>
#include <fstream>
#include <sstream>

namespace {
const char* const SEED = R"(<account>
  <lists>
    <list id="21" name="Errands">
      <taskseries id="31" name="Buy milk" modified="2026-12-01T09:00:00Z">
        <tags><tag>shop</tag><tag>dairy</tag></tags><task id="41" due="2026-12-07" priority="2"/></taskseries>
      <taskseries id="32" name="Post the parcel" modified="2026-12-01T09:00:00Z">
        <task id="42" due="2026-12-09T15:00:00Z" has_due_time="1" priority="1"/></taskseries>
      <taskseries id="33" name="Water the plants" modified="2026-12-01T09:00:00Z"><task id="43"/></taskseries>
      <taskseries id="34" name="Renew licences" modified="2026-11-25T16:30:00Z">
        <task id="44" completed="2026-11-25T16:30:00Z"/></taskseries>
    </list>
    <list id="22" name="Work">
      <taskseries id="35" name="Quarterly report" modified="2026-12-01T09:00:00Z"><task id="45"/></taskseries>
    </list>
  </lists>
</account>)";

struct Listed {
    int id = 0;
    long long due = 0;  // 0: none
    int priority = 0;
};

std::string FindProgram(const std::string& name) {
    std::istringstream path(getenv("PATH") ? getenv("PATH") : "");
    for (std::string dir; std::getline(path, dir, ':');)
        if (access((dir + "/" + name).c_str(), X_OK) == 0)
            return dir + "/" + name;
    return std::string();
}

long long Epoch(int year, int month, int day, int hour = 0) {
    std::tm t = {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    return static_cast<long long>(timegm(&t));
}

// The number after `"key": ` in a JSON object's text (0 for null).
long long Field(const std::string& object, const std::string& key) {
    const size_t at = object.find("\"" + key + "\": ");
    return at == std::string::npos ? 0 : std::atoll(object.c_str() + at + key.size() + 4);
}

class MirrorCommandTest : public HostFixture {
  protected:
    void SetUp() override {
        HostFixture::SetUp();
        todoman = FindProgram("todoman");
        ASSERT_FALSE(todoman.empty()) << "todoman is not installed (scripts/install-deps installs it)";
        std::string error;
        ASSERT_TRUE(emulator->State().Tasks().LoadSeedText(SEED, &error)) << error;
        folder = dataDir + "/vdir/Errands";
        ASSERT_EQ(system(("mkdir -p '" + dataDir + "/todoman/todoman'").c_str()), 0);
        std::ofstream(dataDir + "/todoman/todoman/config.py")
            << "path = \"" << dataDir << "/vdir/*\"\ndate_format = \"%Y-%m-%d\"\ndefault_list = \"Errands\"\n"
            << "default_due = 0\n";
        // Without the offline copy only the mirror's state and the plug-in's journals carry a
        // change across a kill: the offline file would make up for a slip of the mirror's.
        SetUpCalendar("Errands", {"--list", "Errands", "--offline", "off"});
    }

    CommandResult Todo(const std::vector<std::string>& args) {
        InteractiveProcess process(todoman, args,
                                   {"XDG_CONFIG_HOME=" + dataDir + "/todoman",
                                    "XDG_CACHE_HOME=" + dataDir + "/todoman-cache", "TZ=UTC"});
        CommandResult result;
        result.exitCode = process.Finish();
        result.out = process.Output();
        result.err = process.Errors();
        return result;
    }
    // What `todoman --porcelain list` shows, by summary.
    std::map<std::string, Listed> List() {
        CommandResult r = Todo({"--porcelain", "list"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::map<std::string, Listed> tasks;
        for (size_t start = r.out.find('{'); start != std::string::npos; start = r.out.find('{', start + 1)) {
            const std::string object = r.out.substr(start, r.out.find('}', start) - start);
            const size_t at = object.find("\"summary\": \"") + 12;
            Listed& task = tasks[object.substr(at, object.find('"', at) - at)];
            task = {static_cast<int>(Field(object, "id")), Field(object, "due"),
                    static_cast<int>(Field(object, "priority"))};
        }
        return tasks;
    }
    std::string Id(const std::string& summary) { return std::to_string(List()[summary].id); }
    CommandResult Once() { return Host({"mirror", "Errands", folder, "--once"}); }
    std::unique_ptr<InteractiveProcess> Running(std::vector<std::string> extra) {
        std::vector<std::string> args = {"mirror", "Errands", folder};
        args.insert(args.end(), extra.begin(), extra.end());
        return std::make_unique<InteractiveProcess>(BuiltProgram("corvane-host"), HostArgs(args), HostEnv());
    }
    // The folder's files whose text holds `fragment`.
    std::vector<std::string> FilesWith(const std::string& fragment) {
        std::vector<std::string> names;
        DIR* dir = opendir(folder.c_str());
        while (dirent* entry = dir ? readdir(dir) : nullptr)
            if (entry->d_name[0] != '.' &&
                ReadData("vdir/Errands/" + std::string(entry->d_name)).find(fragment) != std::string::npos)
                names.push_back(entry->d_name);
        if (dir)
            closedir(dir);
        return names;
    }
    std::vector<rtmemu::TaskSeries> Named(const std::string& name) {
        std::vector<rtmemu::TaskSeries> found;
        for (const rtmemu::TaskSeries& s : emulator->State().Tasks().AllSeries())
            if (s.name == name && !s.tasks.at(0).deleted)
                found.push_back(s);
        return found;
    }
    size_t Calls(const std::string& method, const std::string& param, const std::string& value) {
        size_t count = 0;
        for (const rtmemu::LoggedRequest& r : emulator->Requests()) {
            auto p = r.params.find(param);
            count += r.method == method && p != r.params.end() && p->second == value;
        }
        return count;
    }

    std::string todoman;
    std::string folder;
};
}  // namespace

TEST_F(MirrorCommandTest, TodomanAndTheServiceMeetThroughTheFolder) {
    // The list's incomplete tasks, each in the file named from its UID.
    CommandResult first = Once();
    ASSERT_EQ(first.exitCode, 0) << first.err << first.out;
    auto listed = List();
    ASSERT_EQ(listed.size(), 3u) << first.out;
    EXPECT_EQ(listed["Buy milk"].due, Epoch(2026, 12, 7));
    EXPECT_EQ(listed["Buy milk"].priority, 5);
    EXPECT_EQ(listed["Post the parcel"].due, Epoch(2026, 12, 9, 15));
    EXPECT_EQ(listed["Post the parcel"].priority, 1);
    EXPECT_EQ(listed["Water the plants"].due, 0);
    EXPECT_EQ(FilesWith("UID:21:31"), std::vector<std::string>{"21%3A31.ics"});

    // A new task: exactly one on the service, and the file holds the service's version. Broken
    // files are left alone and delete nothing.
    ASSERT_EQ(Todo({"new", "-l", "Errands", "Call the plumber", "--due", "2026-12-08"}).exitCode, 0);
    const std::string plants = ReadData("vdir/Errands/21%3A33.ics");
    std::ofstream(folder + "/21%3A33.ics") << plants.substr(0, plants.size() / 2);
    std::ofstream(folder + "/notes.ics") << "not a calendar\n";
    CommandResult added = Once();
    ASSERT_EQ(added.exitCode, 0) << added.err << added.out;
    ASSERT_EQ(Named("Call the plumber").size(), 1u);
    const std::string plumber = Named("Call the plumber")[0].id;
    EXPECT_EQ(FilesWith("Call the plumber"), std::vector<std::string>{"21%3A" + plumber + ".ics"})
        << added.out;
    EXPECT_EQ(FilesWith("UID:21:" + plumber).size(), 1u);
    EXPECT_EQ(List()["Call the plumber"].due, Epoch(2026, 12, 8));
    EXPECT_EQ(CountLines(added.err, "notes.ics"), 1u) << added.err;
    EXPECT_EQ(emulator->CountCalls("rtm.tasks.delete"), 0u);
    EXPECT_EQ(ReadData("vdir/Errands/notes.ics"), "not a calendar\n");

    // Done, edited and deleted in todoman: each reaches the service as its call. The broken file
    // put back as it was is no change.
    std::ofstream(folder + "/21%3A33.ics") << plants;
    std::remove((folder + "/notes.ics").c_str());
    ASSERT_EQ(Todo({"done", Id("Buy milk")}).exitCode, 0);
    ASSERT_EQ(Todo({"edit", Id("Call the plumber"), "--priority", "high"}).exitCode, 0);
    ASSERT_EQ(Todo({"delete", "--yes", Id("Post the parcel")}).exitCode, 0);
    CommandResult edited = Once();
    ASSERT_EQ(edited.exitCode, 0) << edited.err << edited.out;
    EXPECT_EQ(Calls("rtm.tasks.complete", "taskseries_id", "31"), 1u);
    EXPECT_EQ(Calls("rtm.tasks.setPriority", "priority", "1"), 1u);
    EXPECT_EQ(Named("Call the plumber").at(0).tasks.at(0).priority, "1");
    EXPECT_EQ(Calls("rtm.tasks.delete", "taskseries_id", "32"), 1u);
    EXPECT_EQ(Calls("rtm.tasks.setName", "taskseries_id", "33"), 0u);
    listed = List();
    EXPECT_EQ(listed.size(), 2u) << edited.out;
    EXPECT_EQ(listed["Call the plumber"].priority, 1);

    // Renamed and deleted on the service: the next refresh shows it in todoman.
    auto mirror = Running({"--refresh", "1"});
    ASSERT_TRUE(mirror->ReadUntil("read: ", 15000)) << mirror->Output() << mirror->Errors();
    emulator->State().Tasks().RenameSeries(plumber, "Call the plumber today");
    emulator->State().Tasks().DeleteSeries("33");
    wxStopWatch watch;
    while ((List().count("Water the plants") || !List().count("Call the plumber today")) &&
           watch.Time() < 10000)
        wxMilliSleep(200);
    listed = List();
    EXPECT_EQ(listed.size(), 1u) << mirror->Output();
    EXPECT_TRUE(listed.count("Call the plumber today")) << mirror->Output();

    // Killed while the task is being added: started again, nothing is lost or doubled. (The
    // stalled call would be carried out after the test.)
    emulator->InjectFault(rtmemu::Fault::StallFor(60000).ForMethod("rtm.tasks.add"));
    ASSERT_EQ(Todo({"new", "-l", "Errands", "Fix the gate"}).exitCode, 0);
    watch.Start();
    while (emulator->CountCalls("rtm.tasks.add") < 2 && watch.Time() < 10000)
        wxMilliSleep(20);
    ASSERT_EQ(emulator->CountCalls("rtm.tasks.add"), 2u) << mirror->Output();
    mirror->Signal(SIGKILL);
    mirror->Finish();
    emulator->ClearFaults();
    CommandResult again = Once();
    ASSERT_EQ(again.exitCode, 0) << again.err << again.out;
    ASSERT_EQ(Named("Fix the gate").size(), 1u) << again.out;
    EXPECT_EQ(FilesWith("Fix the gate"),
              std::vector<std::string>{"21%3A" + Named("Fix the gate")[0].id + ".ics"});
    EXPECT_EQ(List().count("Fix the gate"), 1u);

    // SIGTERM stops cleanly; a change made just before reaches the service, then or at the next run.
    mirror = Running({});
    ASSERT_TRUE(mirror->ReadUntil("read: ", 15000)) << mirror->Output() << mirror->Errors();
    ASSERT_EQ(Todo({"edit", Id("Fix the gate"), "--priority", "high"}).exitCode, 0);
    mirror->Signal(SIGTERM);
    EXPECT_EQ(mirror->Finish(), 0) << mirror->Errors();
    EXPECT_NE(mirror->Output().find("Stopped."), std::string::npos);
    ASSERT_EQ(Once().exitCode, 0);
    EXPECT_EQ(Named("Fix the gate").at(0).tasks.at(0).priority, "1");
    EXPECT_EQ(Named("Fix the gate").size(), 1u);
}
