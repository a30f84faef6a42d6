// The emulator's write methods over HTTP: the timeline and task-path checks, each method's effect,
// and the complete series (or note) in every reply.
#include "tests/support/EmulatorTaskClient.h"

#include "emulator/Signature.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

using rtmemu::TaskRef;
using rtmemu::TaskSeries;

namespace {

class EmulatorTasksWriteTest : public EmulatorTaskTest {
  protected:
    void SetUp() override {
        EmulatorTaskTest::SetUp();
        work = Store().EnsureList("Work");
        ref = Store().AddTask(work, "Write the report");
    }

    // The series of a write reply, after checking the transaction and the list around it. The
    // reply is kept until the test ends, so the node stays valid.
    const wxXmlNode* ReplySeries(const EmulatorReply& answer, const std::string& undoable = "1") {
        kept.push_back(answer);
        const EmulatorReply& reply = kept.back();
        EXPECT_TRUE(reply.Ok()) << reply.body;
        const wxXmlNode* transaction = reply.Payload("transaction");
        EXPECT_FALSE(AttrOf(transaction, "id").empty());
        EXPECT_EQ(AttrOf(transaction, "undoable"), undoable);
        const wxXmlNode* list = reply.Payload("list");
        EXPECT_NE(list, nullptr) << reply.body;
        const wxXmlNode* series = ChildOf(list, "taskseries");
        EXPECT_EQ(ChildrenOf(list).front(), series) << "the series must be the list's first child";
        return series;
    }

    EmulatorReply Write(const std::string& method, Params extra, const TaskRef& target) {
        Params params = PathOf(target);
        for (auto& entry : extra)
            params[entry.first] = entry.second;
        return Call(method, params);
    }
    EmulatorReply Write(const std::string& method, Params extra = {}) { return Write(method, extra, ref); }

    rtmemu::Task StoredTask() { return Store().FindSeries(ref.seriesId)->tasks.front(); }

    std::string work;
    TaskRef ref;
    std::vector<EmulatorReply> kept;
};

const char* const TASK_WRITES[] = {"rtm.tasks.setName",       "rtm.tasks.setDueDate", "rtm.tasks.setPriority",
                                   "rtm.tasks.setRecurrence", "rtm.tasks.setTags",    "rtm.tasks.setURL",
                                   "rtm.tasks.complete",      "rtm.tasks.uncomplete", "rtm.tasks.delete",
                                   "rtm.tasks.notes.add"};

TEST_F(EmulatorTasksWriteTest, EveryTaskWriteChecksTimelineThenListThenSeriesAndTask) {
    const std::string otherList = Store().EnsureList("Errands");
    const TaskRef other = Store().AddTask(otherList, "Elsewhere");
    const Params args = {{"name", "x"}, {"note_title", "t"}, {"note_text", "x"}};
    for (const char* method : TASK_WRITES) {
        SCOPED_TRACE(method);
        const auto call = [&](Params changes) {
            Params params = PathOf(ref);
            params.insert(args.begin(), args.end());
            for (auto& change : changes)
                params[change.first] = change.second;
            return Call(method, params);
        };
        const EmulatorReply noTimeline = call({{"timeline", ""}});
        EXPECT_EQ(noTimeline.ErrorCode(), 300);
        EXPECT_EQ(noTimeline.ErrorMessage(), "Timeline invalid or not provided");
        // The timeline is checked before anything else is.
        EXPECT_EQ(call({{"timeline", "12345"}, {"list_id", "nope"}}).ErrorCode(), 300);
        EXPECT_EQ(call({{"list_id", "nope"}}).ErrorCode(), 320);
        EXPECT_EQ(call({{"list_id", ""}}).ErrorCode(), 320);
        const EmulatorReply badSeries = call({{"taskseries_id", "nope"}});
        EXPECT_EQ(badSeries.ErrorCode(), 340);
        EXPECT_EQ(badSeries.ErrorMessage(), "taskseries_id/task_id invalid or not provided");
        EXPECT_EQ(call({{"task_id", "nope"}}).ErrorCode(), 340);
        EXPECT_EQ(call({{"task_id", ""}}).ErrorCode(), 340);
        // A series of another list, and a task of another series, are not this path.
        EXPECT_EQ(call({{"list_id", otherList}}).ErrorCode(), 340);
        EXPECT_EQ(call({{"task_id", other.taskId}}).ErrorCode(), 340);
    }
    // Nothing was changed by the refused calls.
    const TaskSeries stored = *Store().FindSeries(ref.seriesId);
    EXPECT_EQ(stored.name, "Write the report");
    EXPECT_FALSE(stored.tasks.front().deleted);
    EXPECT_TRUE(stored.notes.empty());
}

TEST_F(EmulatorTasksWriteTest, TimelinesBelongToTheirUser) {
    const std::string timeline = Timeline();
    EXPECT_FALSE(timeline.empty());
    EXPECT_NE(Timeline(), timeline);
    // A timeline the emulator never handed out is refused.
    Params params = PathOf(ref);
    params["timeline"] = timeline + "0";
    params["name"] = "x";
    EXPECT_EQ(Call("rtm.tasks.setName", params).ErrorCode(), 300);
}

TEST_F(EmulatorTasksWriteTest, WritesNeedWritePermissionAndDeleteNeedsDelete) {
    const Params path = PathOf(ref);
    token = GrantToken(rtmemu::Perms::Read);
    Params rename = path;
    rename["name"] = "x";
    EXPECT_EQ(Call("rtm.tasks.setName", rename).ErrorCode(), 99);
    token = GrantToken(rtmemu::Perms::Write);
    EXPECT_TRUE(Call("rtm.tasks.setName", rename).Ok());
    EXPECT_EQ(Call("rtm.tasks.delete", path).ErrorCode(), 99);
}

TEST_F(EmulatorTasksWriteTest, AddGoesToTheInboxOrTheGivenListWithTheServiceDefaults) {
    const std::string timeline = Timeline();
    const wxXmlNode* series =
        ReplySeries(Call("rtm.tasks.add", {{"timeline", timeline}, {"name", "Call Bob"}}), "0");
    EXPECT_EQ(AttrOf(series, "name"), "Call Bob");
    EXPECT_EQ(AttrOf(series, "source"), "api");
    EXPECT_EQ(AttrOf(series, "created"), "2026-12-01T10:00:00Z");
    const wxXmlNode* task = ChildOf(series, "task");
    EXPECT_EQ(AttrOf(task, "priority"), "N");
    EXPECT_EQ(AttrOf(task, "due"), "");
    EXPECT_EQ(AttrOf(task, "postponed"), "0");
    EXPECT_EQ(AttrOf(task, "added"), "2026-12-01T10:00:00Z");
    EXPECT_NE(ChildOf(series, "tags"), nullptr);
    EXPECT_NE(ChildOf(series, "participants"), nullptr);
    EXPECT_NE(ChildOf(series, "notes"), nullptr);
    const std::optional<TaskSeries> stored = Store().FindSeries(AttrOf(series, "id"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->listId, Store().InboxId());

    const EmulatorReply intoWork =
        Call("rtm.tasks.add", {{"timeline", timeline}, {"name", "Plan"}, {"list_id", work}});
    ReplySeries(intoWork, "0");
    EXPECT_EQ(AttrOf(intoWork.Payload("list"), "id"), work);
}

TEST_F(EmulatorTasksWriteTest, AddRefusesBadInput) {
    const std::string timeline = Timeline();
    const size_t before = Store().SeriesCount();
    EXPECT_EQ(Call("rtm.tasks.add", {{"name", "x"}}).ErrorCode(), 300);
    EXPECT_EQ(Call("rtm.tasks.add", {{"timeline", timeline}, {"name", "x"}, {"list_id", "nope"}}).ErrorCode(),
              320);
    const EmulatorReply noName = Call("rtm.tasks.add", {{"timeline", timeline}});
    EXPECT_EQ(noName.ErrorCode(), 4000);
    EXPECT_EQ(noName.ErrorMessage(), "Task name provided is invalid.");
    EXPECT_EQ(Call("rtm.tasks.add", {{"timeline", timeline}, {"name", "  "}}).ErrorCode(), 4000);
    EXPECT_EQ(Store().SeriesCount(), before);
}

TEST_F(EmulatorTasksWriteTest, EveryWriteBumpsModifiedAndAnswersTheWholeSeries) {
    Store().EditSeries(ref.seriesId, [](TaskSeries& series) {
        series.tags = {"kept"};
        series.notes.push_back({"", 0, 0, "Old", "note"});
    });
    now += 3600;
    const wxXmlNode* series = ReplySeries(Write("rtm.tasks.setName", {{"name", "Renamed & done"}}));
    EXPECT_EQ(AttrOf(series, "name"), "Renamed & done");
    EXPECT_EQ(AttrOf(series, "modified"), "2026-12-01T11:00:00Z");
    EXPECT_EQ(AttrOf(series, "created"), "2026-12-01T10:00:00Z");
    // The reply carries everything the series has, not just the change.
    EXPECT_EQ(TextOf(ChildOf(ChildOf(series, "tags"), "tag")), "kept");
    EXPECT_EQ(TextOf(ChildOf(ChildOf(series, "notes"), "note")), "note");
    EXPECT_EQ(Store().FindSeries(ref.seriesId)->modified, now.load());

    const EmulatorReply empty = Write("rtm.tasks.setName", {{"name", ""}});
    EXPECT_EQ(empty.ErrorCode(), 4000);
    EXPECT_EQ(Store().FindSeries(ref.seriesId)->name, "Renamed & done");
}

TEST_F(EmulatorTasksWriteTest, DueDatesWithTimeAreUtcAndDatesAloneAreTheUsersMidnight) {
    const wxXmlNode* task = ChildOf(
        ReplySeries(Write("rtm.tasks.setDueDate", {{"due", "2026-12-24T15:30:00Z"}, {"has_due_time", "1"}})),
        "task");
    EXPECT_EQ(AttrOf(task, "due"), "2026-12-24T15:30:00Z");
    EXPECT_EQ(AttrOf(task, "has_due_time"), "1");

    task = ChildOf(ReplySeries(Write("rtm.tasks.setDueDate", {{"due", "2026-12-24"}, {"has_due_time", "0"}})),
                   "task");
    EXPECT_EQ(AttrOf(task, "due"), "2026-12-24T00:00:00Z");
    EXPECT_EQ(AttrOf(task, "has_due_time"), "0");

    // A user ten hours east of UTC: the local midnight is the day before in UTC.
    ASSERT_TRUE(Store().SetTimeZone("+10:00"));
    task = ChildOf(ReplySeries(Write("rtm.tasks.setDueDate", {{"due", "2015-05-10"}, {"has_due_time", "0"}})),
                   "task");
    EXPECT_EQ(AttrOf(task, "due"), "2015-05-09T14:00:00Z");
    // A time without a zone is the user's wall clock too.
    task = ChildOf(
        ReplySeries(Write("rtm.tasks.setDueDate", {{"due", "2015-05-10T09:00:00"}, {"has_due_time", "1"}})),
        "task");
    EXPECT_EQ(AttrOf(task, "due"), "2015-05-09T23:00:00Z");

    // A named zone follows its daylight saving: Berlin is UTC+1 in winter, UTC+2 in summer.
    ASSERT_TRUE(Store().SetTimeZone("Europe/Berlin"));
    task = ChildOf(ReplySeries(Write("rtm.tasks.setDueDate", {{"due", "2026-01-15"}})), "task");
    EXPECT_EQ(AttrOf(task, "due"), "2026-01-14T23:00:00Z");
    task = ChildOf(ReplySeries(Write("rtm.tasks.setDueDate", {{"due", "2026-07-15"}})), "task");
    EXPECT_EQ(AttrOf(task, "due"), "2026-07-14T22:00:00Z");
    EXPECT_FALSE(Store().SetTimeZone("Mars/Olympus_Mons"));
}

TEST_F(EmulatorTasksWriteTest, DueOmittedOrEmptyRemovesItAndBadTextIsRefused) {
    Write("rtm.tasks.setDueDate", {{"due", "2026-12-24"}});
    ASSERT_TRUE(StoredTask().due);
    const wxXmlNode* task = ChildOf(ReplySeries(Write("rtm.tasks.setDueDate", {{"due", ""}})), "task");
    EXPECT_EQ(AttrOf(task, "due"), "");
    EXPECT_EQ(AttrOf(task, "has_due_time"), "0");

    Write("rtm.tasks.setDueDate", {{"due", "2026-12-24T08:00:00Z"}, {"has_due_time", "1"}});
    ReplySeries(Write("rtm.tasks.setDueDate"));
    EXPECT_FALSE(StoredTask().due);

    Write("rtm.tasks.setDueDate", {{"due", "2026-12-24"}});
    for (const char* bad : {"tomorrow", "2026-02-30", "2026-12-24T25:00:00Z", "2026-12-24T10:00:00+2"}) {
        const EmulatorReply reply = Write("rtm.tasks.setDueDate", {{"due", bad}});
        EXPECT_EQ(reply.ErrorCode(), rtmemu::ERR_DATE_INVALID) << bad;
    }
    // A refused date leaves the due as it was.
    EXPECT_EQ(rtmemu::FormatUtc(*StoredTask().due), "2026-12-24T00:00:00Z");
}

TEST_F(EmulatorTasksWriteTest, PriorityIsSetOnEveryTaskOfTheSeriesAndBadValuesMeanNone) {
    Store().EditSeries(ref.seriesId, [](TaskSeries& series) {
        rtmemu::Task second;
        second.id = "99000001";
        series.tasks.push_back(second);
    });
    const wxXmlNode* series = ReplySeries(Write("rtm.tasks.setPriority", {{"priority", "2"}}));
    const std::vector<const wxXmlNode*> tasks = ChildrenOf(series, "task");
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(AttrOf(tasks[0], "priority"), "2");
    EXPECT_EQ(AttrOf(tasks[1], "priority"), "2");

    for (const char* value : {"0", "4", "high", "", "N"}) {
        Write("rtm.tasks.setPriority", {{"priority", "1"}});
        series = ReplySeries(Write("rtm.tasks.setPriority", {{"priority", value}}));
        for (const wxXmlNode* task : ChildrenOf(series, "task"))
            EXPECT_EQ(AttrOf(task, "priority"), "N") << value;
    }
    Write("rtm.tasks.setPriority", {{"priority", "3"}});
    EXPECT_EQ(ChildrenOf(ReplySeries(Write("rtm.tasks.setPriority")), "task")[0]->GetAttribute("priority"),
              "N");
}

TEST_F(EmulatorTasksWriteTest, RecurrenceIsParsedRemovedOrRefused) {
    const wxXmlNode* series =
        ReplySeries(Write("rtm.tasks.setRecurrence", {{"repeat", "Every Monday Wednesday "}}));
    const wxXmlNode* rrule = ChildOf(series, "rrule");
    ASSERT_NE(rrule, nullptr);
    EXPECT_EQ(AttrOf(rrule, "every"), "1");
    EXPECT_EQ(TextOf(rrule), "FREQ=WEEKLY;INTERVAL=1;BYDAY=MO,WE");
    EXPECT_EQ(ChildrenOf(series).front(), rrule);

    rrule = ChildOf(ReplySeries(Write("rtm.tasks.setRecurrence", {{"repeat", "after 3 days"}})), "rrule");
    EXPECT_EQ(AttrOf(rrule, "every"), "0");
    EXPECT_EQ(TextOf(rrule), "FREQ=DAILY;INTERVAL=3");

    const EmulatorReply bad = Write("rtm.tasks.setRecurrence", {{"repeat", "every blue moon"}});
    EXPECT_EQ(bad.ErrorCode(), rtmemu::ERR_REPEAT_INVALID);
    EXPECT_EQ(bad.ErrorMessage(), "Repeat provided is invalid.");
    EXPECT_EQ(Store().FindSeries(ref.seriesId)->rrule->rule, "FREQ=DAILY;INTERVAL=3");

    EXPECT_EQ(ChildOf(ReplySeries(Write("rtm.tasks.setRecurrence", {{"repeat", ""}})), "rrule"), nullptr);
    EXPECT_FALSE(Store().FindSeries(ref.seriesId)->rrule);
}

TEST_F(EmulatorTasksWriteTest, TagsAreReplacedFromACommaSeparatedText) {
    Write("rtm.tasks.setTags", {{"tags", "old"}});
    const wxXmlNode* series =
        ReplySeries(Write("rtm.tasks.setTags", {{"tags", "Home_office,errands,,errands"}}));
    std::vector<std::string> tags;
    for (const wxXmlNode* tag : ChildrenOf(ChildOf(series, "tags"), "tag"))
        tags.push_back(TextOf(tag));
    EXPECT_EQ(tags, (std::vector<std::string>{"Home_office", "errands"}));
    series = ReplySeries(Write("rtm.tasks.setTags", {{"tags", ""}}));
    ASSERT_NE(ChildOf(series, "tags"), nullptr);
    EXPECT_TRUE(ChildrenOf(ChildOf(series, "tags")).empty());
}

TEST_F(EmulatorTasksWriteTest, UrlIsSetAndCleared) {
    const wxXmlNode* series =
        ReplySeries(Write("rtm.tasks.setURL", {{"url", "https://example.com/a?b=1&c=\"2\""}}));
    EXPECT_EQ(AttrOf(series, "url"), "https://example.com/a?b=1&c=\"2\"");
    EXPECT_EQ(AttrOf(ReplySeries(Write("rtm.tasks.setURL")), "url"), "");
}

TEST_F(EmulatorTasksWriteTest, CompleteAndUncompleteAnswerTheSeries) {
    now += 120;
    const wxXmlNode* task = ChildOf(ReplySeries(Write("rtm.tasks.complete")), "task");
    EXPECT_EQ(AttrOf(task, "completed"), "2026-12-01T10:02:00Z");
    // Completing again keeps the first completion time.
    now += 120;
    EXPECT_EQ(AttrOf(ChildOf(ReplySeries(Write("rtm.tasks.complete")), "task"), "completed"),
              "2026-12-01T10:02:00Z");
    task = ChildOf(ReplySeries(Write("rtm.tasks.uncomplete")), "task");
    EXPECT_EQ(AttrOf(task, "completed"), "");
    EXPECT_FALSE(StoredTask().completed);
}

TEST_F(EmulatorTasksWriteTest, CompletingAnEveryTaskAddsTheNextOccurrenceToTheSeries) {
    Store().EditSeries(ref.seriesId, [](TaskSeries& series) {
        series.rrule = rtmemu::Recurrence{true, "FREQ=WEEKLY;INTERVAL=1;BYDAY=MO"};
        series.tasks[0].due = 1796601600;  // Monday 2026-12-07, a date alone
        series.tasks[0].priority = "2";
    });
    now += 60;
    const wxXmlNode* series = ReplySeries(Write("rtm.tasks.complete"));
    const std::vector<const wxXmlNode*> tasks = ChildrenOf(series, "task");
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(AttrOf(tasks[0], "id"), ref.taskId);
    EXPECT_EQ(AttrOf(tasks[0], "completed"), "2026-12-01T10:01:00Z");
    EXPECT_NE(AttrOf(tasks[1], "id"), ref.taskId);
    EXPECT_EQ(AttrOf(tasks[1], "due"), "2026-12-14T00:00:00Z");
    EXPECT_EQ(AttrOf(tasks[1], "has_due_time"), "0");
    EXPECT_EQ(AttrOf(tasks[1], "completed"), "");
    EXPECT_EQ(AttrOf(tasks[1], "priority"), "2");
    EXPECT_EQ(AttrOf(tasks[1], "added"), "2026-12-01T10:01:00Z");

    // Open tasks only: the new occurrence alone.
    const EmulatorReply open = Call("rtm.tasks.getList", {{"filter", "status:incomplete"}});
    const std::vector<const wxXmlNode*> listed =
        ChildrenOf(ChildOf(ChildOf(open.Payload("tasks"), "list"), "taskseries"), "task");
    ASSERT_EQ(listed.size(), 1u) << open.body;
    EXPECT_EQ(AttrOf(listed[0], "id"), AttrOf(tasks[1], "id"));

    // Completed, reopened and completed again: still one next occurrence.
    Write("rtm.tasks.uncomplete");
    Write("rtm.tasks.complete");
    EXPECT_EQ(Store().FindSeries(ref.seriesId)->tasks.size(), 2u);
}

TEST_F(EmulatorTasksWriteTest, NextOccurrenceKeepsTheLocalTimeAndEndsWithTheRule) {
    ASSERT_TRUE(Store().SetTimeZone("Europe/Berlin"));
    Store().EditSeries(ref.seriesId, [](TaskSeries& series) {
        series.rrule = rtmemu::Recurrence{true, "FREQ=DAILY;INTERVAL=1"};
        series.tasks[0].due = 1806134400;  // 2027-03-27T08:00:00Z, 09:00 in Berlin the day before summer time
        series.tasks[0].hasDueTime = true;
    });
    const std::vector<const wxXmlNode*> tasks = ChildrenOf(ReplySeries(Write("rtm.tasks.complete")), "task");
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(AttrOf(tasks[0], "due"), "2027-03-27T08:00:00Z");
    EXPECT_EQ(AttrOf(tasks[1], "due"), "2027-03-28T07:00:00Z");
    EXPECT_EQ(AttrOf(tasks[1], "has_due_time"), "1");

    // A rule that has run out, an "after" rule and a task without due add nothing.
    const auto completeWith = [this](const char* rule, bool every, bool withDue) {
        const TaskRef other = Store().AddTask(work, "Other");
        Store().EditSeries(other.seriesId, [&](TaskSeries& series) {
            series.rrule = rtmemu::Recurrence{every, rule};
            if (withDue)
                series.tasks[0].due = 1806134400;
        });
        EXPECT_TRUE(Write("rtm.tasks.complete", {}, other).Ok());
        return Store().FindSeries(other.seriesId)->tasks.size();
    };
    EXPECT_EQ(completeWith("FREQ=DAILY;INTERVAL=1;COUNT=1", true, true), 1u);
    EXPECT_EQ(completeWith("FREQ=DAILY;INTERVAL=1;UNTIL=20270327", true, true), 1u);
    EXPECT_EQ(completeWith("FREQ=DAILY;INTERVAL=1;UNTIL=20270328", true, true), 2u);
    EXPECT_EQ(completeWith("FREQ=DAILY;INTERVAL=3", false, true), 1u);
    EXPECT_EQ(completeWith("FREQ=DAILY;INTERVAL=1", true, false), 1u);
}

TEST_F(EmulatorTasksWriteTest, DeleteIsSoftAndShowsOnlyAsADeletionAfterwards) {
    const TaskRef other = Store().AddTask(work, "Stays");
    const std::string lastSync = rtmemu::FormatUtc(now.load());
    now += 60;
    const wxXmlNode* task = ChildOf(ReplySeries(Write("rtm.tasks.delete")), "task");
    EXPECT_EQ(AttrOf(task, "deleted"), "2026-12-01T10:01:00Z");
    ASSERT_TRUE(Store().FindSeries(ref.seriesId));

    // Not listed by a full read …
    const EmulatorReply full = Call("rtm.tasks.getList");
    EXPECT_EQ(full.body.find("id=\"" + ref.seriesId + "\""), std::string::npos) << full.body;
    EXPECT_NE(full.body.find("id=\"" + other.seriesId + "\""), std::string::npos);
    // … and reported under deleted by an incremental one.
    const EmulatorReply incremental = Call("rtm.tasks.getList", {{"last_sync", lastSync}});
    const wxXmlNode* deleted = ChildOf(ChildOf(incremental.Payload("tasks"), "list"), "deleted");
    ASSERT_NE(deleted, nullptr) << incremental.body;
    EXPECT_EQ(AttrOf(ChildOf(deleted, "taskseries"), "id"), ref.seriesId);
    EXPECT_EQ(AttrOf(ChildOf(ChildOf(deleted, "taskseries"), "task"), "id"), ref.taskId);

    // A deleted task cannot be written any more.
    EXPECT_EQ(Write("rtm.tasks.delete").ErrorCode(), 340);
    EXPECT_EQ(Write("rtm.tasks.setName", {{"name", "Back"}}).ErrorCode(), 340);
}

TEST_F(EmulatorTasksWriteTest, NotesAreAddedAndEditedWithTheirOwnReply) {
    now += 60;
    const EmulatorReply added = Write(
        "rtm.tasks.notes.add", {{"note_title", "C2:data"}, {"note_text", "Status: 0\nLine <2> & more"}});
    ASSERT_TRUE(added.Ok()) << added.body;
    EXPECT_FALSE(AttrOf(added.Payload("transaction"), "id").empty());
    const wxXmlNode* note = added.Payload("note");
    ASSERT_NE(note, nullptr) << added.body;
    const std::string noteId = AttrOf(note, "id");
    EXPECT_FALSE(noteId.empty());
    EXPECT_EQ(AttrOf(note, "title"), "C2:data");
    EXPECT_EQ(AttrOf(note, "created"), "2026-12-01T10:01:00Z");
    EXPECT_EQ(TextOf(note), "Status: 0\nLine <2> & more");
    EXPECT_EQ(Store().FindSeries(ref.seriesId)->modified, now.load());

    now += 60;
    const EmulatorReply edited = Call("rtm.tasks.notes.edit", {{"timeline", Timeline()},
                                                               {"note_id", noteId},
                                                               {"note_title", "C2:data"},
                                                               {"note_text", "Status: 1"}});
    ASSERT_TRUE(edited.Ok()) << edited.body;
    EXPECT_EQ(AttrOf(edited.Payload("note"), "id"), noteId);
    EXPECT_EQ(AttrOf(edited.Payload("note"), "created"), "2026-12-01T10:01:00Z");
    EXPECT_EQ(AttrOf(edited.Payload("note"), "modified"), "2026-12-01T10:02:00Z");
    EXPECT_EQ(TextOf(edited.Payload("note")), "Status: 1");
    const TaskSeries stored = *Store().FindSeries(ref.seriesId);
    ASSERT_EQ(stored.notes.size(), 1u);
    EXPECT_EQ(stored.notes[0].text, "Status: 1");
    EXPECT_EQ(stored.modified, now.load());

    // The series read back (the client's last call is complete or uncomplete) holds the note.
    const wxXmlNode* series = ReplySeries(Write("rtm.tasks.uncomplete"));
    EXPECT_EQ(AttrOf(ChildOf(ChildOf(series, "notes"), "note"), "id"), noteId);
}

TEST_F(EmulatorTasksWriteTest, NoteEditChecksTimelineThenNoteId) {
    const std::string timeline = Timeline();
    EXPECT_EQ(Call("rtm.tasks.notes.edit", {{"note_id", "1"}, {"note_text", "x"}}).ErrorCode(), 300);
    for (const char* id : {"", "123", ref.seriesId.c_str()}) {
        const EmulatorReply reply =
            Call("rtm.tasks.notes.edit", {{"timeline", timeline}, {"note_id", id}, {"note_text", "x"}});
        EXPECT_EQ(reply.ErrorCode(), 350) << id;
        EXPECT_EQ(reply.ErrorMessage(), "note_id invalid or not provided");
    }
}

TEST_F(EmulatorTasksWriteTest, ChangesReachTheNextIncrementalRead) {
    const std::string lastSync = rtmemu::FormatUtc(now.load() + 30);
    now += 60;
    Write("rtm.tasks.setURL", {{"url", "http://example.com"}});
    const EmulatorReply reply = Call("rtm.tasks.getList", {{"last_sync", lastSync}});
    const wxXmlNode* series = ChildOf(ChildOf(reply.Payload("tasks"), "list"), "taskseries");
    EXPECT_EQ(AttrOf(series, "id"), ref.seriesId);
    EXPECT_EQ(AttrOf(series, "url"), "http://example.com");
}

// A write through libcurl, as the plug-in sends it, with one second of patience for a silent
// server: the transfer's result code.
CURLcode CurlWrite(int port, std::map<std::string, std::string> params) {
    const std::multimap<std::string, std::string> all(params.begin(), params.end());
    params["api_sig"] = rtmemu::ComputeSignature(rtmemu::DEFAULT_SHARED_SECRET, all);
    CURL* curl = curl_easy_init();
    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/services/rest/?";
    for (const auto& param : params) {
        char* value = curl_easy_escape(curl, param.second.c_str(), static_cast<int>(param.second.size()));
        url += param.first + "=" + value + "&";
        curl_free(value);
    }
    std::string reply;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 1L);
    curl_easy_setopt(
        curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* out) {
            static_cast<std::string*>(out)->append(data, size * count);
            return size * count;
        });
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return result;
}

TEST_F(EmulatorTasksWriteTest, ACarriedOutCallWhoseReplyGoesAstrayStillChangesTheAccount) {
    struct Case {
        const char* what;
        rtmemu::Fault fault;
        CURLcode seen;
    };
    const Case cases[] = {
        {"cut short", rtmemu::Fault::Lost(), CURLE_PARTIAL_FILE},
        {"reset", rtmemu::Fault::Lost(true), CURLE_RECV_ERROR},
        {"stalled past the client's patience", rtmemu::Fault::StallAfterCall(3000), CURLE_OPERATION_TIMEDOUT},
    };
    for (const Case& c : cases) {
        const std::string name = std::string("Renamed, reply ") + c.what;
        Params params = PathOf(ref);
        emulator->InjectFault(c.fault);
        params.insert({{"method", "rtm.tasks.setName"},
                       {"name", name},
                       {"api_key", rtmemu::DEFAULT_API_KEY},
                       {"auth_token", token}});
        EXPECT_EQ(CurlWrite(emulator->Port(), params), c.seen) << c.what;
        EXPECT_EQ(Store().FindSeries(ref.seriesId)->name, name) << c.what;
    }
}

TEST_F(EmulatorTasksWriteTest, AFaultForOneMethodWaitsForThatMethodAndLetsTheOthersThrough) {
    emulator->InjectFault(rtmemu::Fault::Envelope(105).ForMethod("rtm.tasks.setTags"));
    emulator->InjectFault(rtmemu::Fault::Status(503).ForMethod("rtm.tasks.setURL"));
    EXPECT_TRUE(Write("rtm.tasks.setName", {{"name", "Still fine"}}).Ok());
    EXPECT_TRUE(Write("rtm.tasks.setPriority", {{"priority", "1"}}).Ok());
    EXPECT_EQ(Write("rtm.tasks.setURL", {{"url", "http://example.com"}}).httpStatus, 503);
    EXPECT_EQ(Write("rtm.tasks.setTags", {{"tags", "refused"}}).ErrorCode(), 105);
    EXPECT_TRUE(Write("rtm.tasks.setTags", {{"tags", "taken"}}).Ok()) << "each fault is taken once";
    const TaskSeries stored = *Store().FindSeries(ref.seriesId);
    EXPECT_EQ(stored.name, "Still fine");
    EXPECT_EQ(stored.tags, std::vector<std::string>{"taken"});
    EXPECT_EQ(stored.url, "");
}

}  // namespace
