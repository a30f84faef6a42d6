// rtm.lists.getList and rtm.tasks.getList of the emulator over HTTP: the reply shapes, full and
// incremental reads, list and filter selection.
#include "tests/support/EmulatorTaskClient.h"

#include <gtest/gtest.h>

using rtmemu::TaskRef;
using rtmemu::TaskSeries;

namespace {

class EmulatorTasksReadTest : public EmulatorTaskTest {
  protected:
    void SetUp() override {
        EmulatorTaskTest::SetUp();
        work = Store().EnsureList("Work");
        errands = Store().EnsureList("Errands");
    }

    // The ids of the series in the reply, list by list ("list:series").
    static std::vector<std::string> SeriesIds(const EmulatorReply& reply) {
        std::vector<std::string> ids;
        for (const wxXmlNode* list : ChildrenOf(reply.Payload("tasks"), "list"))
            for (const wxXmlNode* series : ChildrenOf(list, "taskseries"))
                ids.push_back(AttrOf(list, "id") + ":" + AttrOf(series, "id"));
        return ids;
    }

    std::string work, errands;
};

TEST_F(EmulatorTasksReadTest, ListsCarryEveryAttributeWithInboxAndSentBuiltIn) {
    const EmulatorReply reply = Call("rtm.lists.getList");
    ASSERT_TRUE(reply.Ok()) << reply.body;
    EXPECT_EQ(reply.contentType, "text/xml; charset=\"utf-8\"");
    EXPECT_EQ(reply.body.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><rsp stat=\"ok\"><lists>", 0), 0u)
        << reply.body;
    const std::vector<const wxXmlNode*> lists = ChildrenOf(reply.Payload("lists"), "list");
    ASSERT_EQ(lists.size(), 4u);
    EXPECT_EQ(AttrOf(lists[0], "name"), "Inbox");
    EXPECT_EQ(AttrOf(lists[0], "locked"), "1");
    EXPECT_EQ(AttrOf(lists[0], "position"), "-1");
    EXPECT_EQ(AttrOf(lists[1], "name"), "Sent");
    EXPECT_EQ(AttrOf(lists[2], "name"), "Work");
    for (const char* attribute : {"id", "deleted", "locked", "archived", "position", "smart", "sort_order"})
        EXPECT_TRUE(lists[2]->HasAttribute(attribute)) << attribute;
    EXPECT_EQ(AttrOf(lists[2], "smart"), "0");
}

TEST_F(EmulatorTasksReadTest, ReadsNeedAReadToken) {
    token = "not-a-token";
    EXPECT_EQ(Call("rtm.tasks.getList").ErrorCode(), 98);
    token = GrantToken(rtmemu::Perms::Read);
    EXPECT_TRUE(Call("rtm.tasks.getList").Ok());
    EXPECT_EQ(CallUnsigned("rtm.tasks.getList", {}).ErrorCode(), 97);
}

TEST_F(EmulatorTasksReadTest, SeriesHaveTheServiceShapeWithChildrenInOrder) {
    TaskSeries series;
    series.name = "Report <Q4> & \"more\"";
    series.url = "http://example.com/?a=1&b=2";
    series.tags = {"finance", "quarter_end"};
    series.rrule = rtmemu::Recurrence{true, "FREQ=WEEKLY;INTERVAL=1;BYDAY=MO"};
    series.notes.push_back({"", 0, 0, "Docs", "Bring the receipts\nand the forms"});
    series.tasks.emplace_back();
    series.tasks[0].due = now.load() + 3600;
    series.tasks[0].hasDueTime = true;
    series.tasks[0].priority = "2";
    series.tasks[0].estimate = "2 hrs";
    const TaskRef ref = Store().AddSeries(work, series);
    const TaskRef plain = Store().AddTask(errands, "Plain");

    const EmulatorReply reply = Call("rtm.tasks.getList");
    ASSERT_TRUE(reply.Ok()) << reply.body;
    ASSERT_EQ(SeriesIds(reply),
              (std::vector<std::string>{work + ":" + ref.seriesId, errands + ":" + plain.seriesId}));

    const wxXmlNode* node = ChildOf(ChildOf(reply.Payload("tasks"), "list"), "taskseries");
    EXPECT_EQ(AttrOf(node, "name"), series.name);
    EXPECT_EQ(AttrOf(node, "url"), series.url);
    EXPECT_EQ(AttrOf(node, "source"), "api");
    EXPECT_TRUE(node->HasAttribute("location_id"));
    EXPECT_EQ(AttrOf(node, "created"), "2026-12-01T10:00:00Z");
    EXPECT_EQ(AttrOf(node, "modified"), "2026-12-01T10:00:00Z");
    std::vector<std::string> order;
    for (const wxXmlNode* child : ChildrenOf(node))
        order.push_back(std::string(child->GetName().utf8_str()));
    EXPECT_EQ(order, (std::vector<std::string>{"rrule", "tags", "participants", "notes", "task"}));
    EXPECT_EQ(AttrOf(ChildOf(node, "rrule"), "every"), "1");
    EXPECT_EQ(TextOf(ChildOf(node, "rrule")), "FREQ=WEEKLY;INTERVAL=1;BYDAY=MO");
    const std::vector<const wxXmlNode*> tags = ChildrenOf(ChildOf(node, "tags"), "tag");
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(TextOf(tags[1]), "quarter_end");
    const wxXmlNode* note = ChildOf(ChildOf(node, "notes"), "note");
    EXPECT_EQ(AttrOf(note, "title"), "Docs");
    EXPECT_EQ(TextOf(note), "Bring the receipts\nand the forms");
    EXPECT_FALSE(AttrOf(note, "id").empty());
    const wxXmlNode* task = ChildOf(node, "task");
    EXPECT_EQ(AttrOf(task, "id"), ref.taskId);
    EXPECT_EQ(AttrOf(task, "due"), "2026-12-01T11:00:00Z");
    EXPECT_EQ(AttrOf(task, "has_due_time"), "1");
    EXPECT_EQ(AttrOf(task, "added"), "2026-12-01T10:00:00Z");
    EXPECT_EQ(AttrOf(task, "completed"), "");
    EXPECT_EQ(AttrOf(task, "deleted"), "");
    EXPECT_EQ(AttrOf(task, "priority"), "2");
    EXPECT_EQ(AttrOf(task, "postponed"), "0");
    EXPECT_EQ(AttrOf(task, "estimate"), "2 hrs");

    // A series without extras still has its empty containers, and no rrule.
    EXPECT_NE(reply.body.find("<tags/><participants/><notes/><task id=\"" + plain.taskId + "\""),
              std::string::npos)
        << reply.body;
    // The client reads the first child of a list as its series: nothing may come in between.
    EXPECT_NE(reply.body.find("<list id=\"" + work + "\"><taskseries"), std::string::npos);
}

TEST_F(EmulatorTasksReadTest, FullReadListsCompletedButNeverDeletedTasks) {
    const TaskRef open = Store().AddTask(work, "Open");
    const TaskRef done = Store().AddTask(work, "Done");
    const TaskRef gone = Store().AddTask(work, "Gone");
    Store().CompleteSeries(done.seriesId);
    Store().DeleteSeries(gone.seriesId);

    const EmulatorReply reply = Call("rtm.tasks.getList");
    EXPECT_EQ(SeriesIds(reply),
              (std::vector<std::string>{work + ":" + open.seriesId, work + ":" + done.seriesId}));
    // A full read has no deletions and no current attribute.
    EXPECT_EQ(reply.body.find("<deleted>"), std::string::npos);
    EXPECT_EQ(reply.body.find("current="), std::string::npos);
}

TEST_F(EmulatorTasksReadTest, EmptyAccountGivesAnEmptyTasksElement) {
    const EmulatorReply reply = Call("rtm.tasks.getList", {{"filter", "status:incomplete"}});
    ASSERT_TRUE(reply.Ok());
    ASSERT_NE(reply.Payload("tasks"), nullptr);
    EXPECT_TRUE(ChildrenOf(reply.Payload("tasks")).empty());
}

TEST_F(EmulatorTasksReadTest, ListIdSelectsOneListAndAnUnknownOneIsRefused) {
    Store().AddTask(work, "A");
    const TaskRef b = Store().AddTask(errands, "B");
    EXPECT_EQ(SeriesIds(Call("rtm.tasks.getList", {{"list_id", errands}})),
              (std::vector<std::string>{errands + ":" + b.seriesId}));
    const EmulatorReply unknown = Call("rtm.tasks.getList", {{"list_id", "999999"}});
    EXPECT_EQ(unknown.ErrorCode(), 320);
    EXPECT_EQ(unknown.ErrorMessage(), "list_id invalid or not provided");
}

TEST_F(EmulatorTasksReadTest, FiltersSelectTasks) {
    TaskSeries urgent;
    urgent.name = "Urgent errand";
    urgent.tags = {"Shopping", "corner_shop"};
    urgent.tasks.emplace_back();
    urgent.tasks[0].priority = "1";
    const TaskRef a = Store().AddSeries(errands, urgent);
    const TaskRef b = Store().AddTask(work, "Normal work");
    const TaskRef c = Store().AddTask(work, "Finished work");
    Store().CompleteSeries(c.seriesId);
    const std::string A = errands + ":" + a.seriesId, B = work + ":" + b.seriesId,
                      C = work + ":" + c.seriesId;

    const auto ids = [this](const std::string& filter) {
        return SeriesIds(Call("rtm.tasks.getList", {{"filter", filter}}));
    };
    using Ids = std::vector<std::string>;
    EXPECT_EQ(ids("status:incomplete"), (Ids{B, A}));
    EXPECT_EQ(ids("status:completed"), (Ids{C}));
    EXPECT_EQ(ids("priority:1"), (Ids{A}));
    EXPECT_EQ(ids("priority:none"), (Ids{B, C}));
    EXPECT_EQ(ids("tag:shopping"), (Ids{A}));
    EXPECT_EQ(ids("tag:corner_shop"), (Ids{A}));
    EXPECT_EQ(ids("list:\"Work\""), (Ids{B, C}));
    EXPECT_EQ(ids("list:work and status:incomplete"), (Ids{B}));
    EXPECT_EQ(ids("status:incomplete AND (list:Work OR priority:1)"), (Ids{B, A}));
    EXPECT_EQ(ids("not status:completed and not tag:shopping"), (Ids{B}));
    EXPECT_EQ(ids(""), (Ids{B, C, A}));
    // An empty selection is an empty reply, not an error.
    EXPECT_EQ(ids("list:\"No such list\""), Ids{});

    for (const char* bad : {"status:maybe", "colour:red", "list:\"Work", "(status:completed", "and"}) {
        const EmulatorReply reply = Call("rtm.tasks.getList", {{"filter", bad}});
        EXPECT_EQ(reply.ErrorCode(), rtmemu::ERR_FILTER_INVALID) << bad;
        EXPECT_EQ(reply.ErrorMessage(), "Filter provided is invalid.");
    }
}

TEST_F(EmulatorTasksReadTest, IncrementalReadGivesSeriesChangedSinceAndEchoesLastSync) {
    const TaskRef old = Store().AddTask(work, "Old");
    now += 60;
    const TaskRef edited = Store().AddTask(work, "Edited later");
    now += 60;  // 10:02
    const TaskRef errand = Store().AddTask(errands, "Errand");
    const std::string since = "2026-12-01T10:02:00Z";
    now += 60;
    Store().RenameSeries(edited.seriesId, "Renamed");

    const EmulatorReply reply = Call("rtm.tasks.getList", {{"last_sync", since}});
    ASSERT_TRUE(reply.Ok()) << reply.body;
    // Equal times count as changed, so a change in the same second is never missed.
    EXPECT_EQ(SeriesIds(reply),
              (std::vector<std::string>{work + ":" + edited.seriesId, errands + ":" + errand.seriesId}));
    for (const wxXmlNode* list : ChildrenOf(reply.Payload("tasks"), "list"))
        EXPECT_EQ(AttrOf(list, "current"), since);
    EXPECT_EQ(reply.body.find("\"" + old.seriesId + "\""), std::string::npos);

    // Completed tasks come with an incremental read (the client sends no filter then).
    now += 60;
    Store().CompleteSeries(old.seriesId);
    EXPECT_EQ(SeriesIds(Call("rtm.tasks.getList", {{"last_sync", "2026-12-01T10:04:00Z"}})),
              (std::vector<std::string>{work + ":" + old.seriesId}));
}

TEST_F(EmulatorTasksReadTest, IncrementalReadReportsDeletionsEvenInAnOtherwiseQuietList) {
    Store().AddTask(work, "Kept");
    const TaskRef gone = Store().AddTask(errands, "Gone");
    now += 300;
    Store().DeleteSeries(gone.seriesId);

    const EmulatorReply reply = Call("rtm.tasks.getList", {{"last_sync", "2026-12-01T10:01:00Z"}});
    ASSERT_TRUE(reply.Ok()) << reply.body;
    const std::vector<const wxXmlNode*> lists = ChildrenOf(reply.Payload("tasks"), "list");
    ASSERT_EQ(lists.size(), 1u) << reply.body;
    EXPECT_EQ(AttrOf(lists[0], "id"), errands);
    EXPECT_EQ(AttrOf(lists[0], "current"), "2026-12-01T10:01:00Z");
    EXPECT_TRUE(ChildrenOf(lists[0], "taskseries").empty());
    const wxXmlNode* series = ChildOf(ChildOf(lists[0], "deleted"), "taskseries");
    ASSERT_NE(series, nullptr);
    EXPECT_EQ(AttrOf(series, "id"), gone.seriesId);
    const wxXmlNode* task = ChildOf(series, "task");
    EXPECT_EQ(AttrOf(task, "id"), gone.taskId);
    EXPECT_EQ(AttrOf(task, "deleted"), "2026-12-01T10:05:00Z");

    // Deletions before last_sync are old news.
    const EmulatorReply later = Call("rtm.tasks.getList", {{"last_sync", "2026-12-01T10:06:00Z"}});
    EXPECT_TRUE(ChildrenOf(later.Payload("tasks")).empty()) << later.body;
}

TEST_F(EmulatorTasksReadTest, UnreadableLastSyncIsRefused) {
    const EmulatorReply reply = Call("rtm.tasks.getList", {{"last_sync", "yesterday"}});
    EXPECT_EQ(reply.ErrorCode(), rtmemu::ERR_DATE_INVALID);
    EXPECT_EQ(reply.ErrorMessage(), "Date provided is invalid.");
}

TEST_F(EmulatorTasksReadTest, TenThousandSeriesComeBackComplete) {
    for (int i = 0; i < 10000; ++i) {
        TaskSeries series;
        series.name = "Task " + std::to_string(i);
        series.tags = {"bulk"};
        Store().AddSeries(i % 2 ? work : errands, series);
    }
    const EmulatorReply reply = Call("rtm.tasks.getList", {{"filter", "status:incomplete"}});
    ASSERT_TRUE(reply.Ok());
    EXPECT_EQ(SeriesIds(reply).size(), 10000u);
}

}  // namespace
