// The task list read as a stream gives the same to-dos as the reply's tree, byte for byte: over the
// golden series (also with a CDATA section, a comment, an instruction or an element where the tree
// takes a node's first child, and inside "deleted"), and over an account of 10,000 series from the
// emulator; every reply is handed over in chunks of random sizes.
#include "convert/TaskSeries.h"
#include "sync/TaskListReader.h"
#include "tests/support/ConvertFixtures.h"
#include "tests/support/EmulatorFixture.h"

#include <wx/dir.h>

#include <map>
#include <random>

namespace {
// A reply's to-dos as text: the kept ones by UID, the deleted ones in order, and the count.
struct ReadTasks {
    std::map<std::string, std::string> online;
    std::vector<std::string> deleted;
    int count = 0;
};

bool IsNamed(const wxXmlNode* node, const wchar_t* name) {
    return node->GetType() == wxXML_ELEMENT_NODE && node->GetName().IsSameAs(name, false);
}

ReadTasks ThroughTree(CRTMConnection& connection, const std::string& reply) {
    ReadTasks read;
    const auto keep = [&](const wxXmlNode* series, const wxString& listId, bool deleted) {
        IcalPtr todo(ConvertTaskSeries(series, listId, nullptr));
        if (todo && deleted)
            read.deleted.push_back(IcalText(todo.get()));
        else if (todo && ++read.count && icalcomponent_get_uid(todo.get()))
            read.online[icalcomponent_get_uid(todo.get())] = IcalText(todo.get());
    };
    const wxString text = wxString::FromUTF8(reply.data(), reply.size());
    for (const wxXmlNode* tasks = connection.ParseReply(RTM_OK, wxT("rtm.tasks.getList"), text); tasks;
         tasks = tasks->GetNext()) {
        for (const wxXmlNode* list = IsNamed(tasks, L"tasks") ? tasks->GetChildren() : nullptr; list;
             list = list->GetNext()) {
            for (const wxXmlNode* child = IsNamed(list, L"list") ? list->GetChildren() : nullptr; child;
                 child = child->GetNext()) {
                const wxString listId = list->GetAttribute(wxT("id"), wxString());
                if (IsNamed(child, L"taskseries"))
                    keep(child, listId, false);
                for (const wxXmlNode* gone = IsNamed(child, L"deleted") ? child->GetChildren() : nullptr;
                     gone; gone = gone->GetNext())
                    if (IsNamed(gone, L"taskseries"))
                        keep(gone, listId, true);
            }
        }
    }
    return read;
}

ReadTasks ThroughStream(const std::string& reply, std::mt19937& random) {
    CTaskListReader reader(nullptr);
    reader.Begin();
    for (size_t at = 0, size = 0; at < reply.size(); at += size) {
        size = std::min<size_t>(reply.size() - at, random() % 3 ? random() % 4096 + 1 : random() % 8 + 1);
        reader.Append(reply.data() + at, size, 200);
    }
    reader.End();
    EXPECT_TRUE(reader.Envelope().readable);
    ReadTasks read;
    for (const ComponentMap::Entry& entry : reader.Tasks().online)
        read.online[entry.uid.utf8_string()] = IcalText(entry.component);
    for (const IcalComponentPtr& todo : reader.Tasks().deleted)
        read.deleted.push_back(IcalText(todo.get()));
    read.count = reader.Tasks().count;
    return read;
}

class TaskListReaderTest : public EmulatorTest {};
}  // namespace

TEST_F(TaskListReaderTest, TheStreamGivesTheToDosOfTheTree) {
    std::vector<std::string> replies;
    wxArrayString inputs;
    wxDir::GetAllFiles(wxT(CORVANE_TEST_DATA_DIR "/taskseries"), &inputs, wxT("*.xml"), wxDIR_FILES);
    ASSERT_GE(inputs.size(), 4u);
    const std::pair<std::string, std::string> edits[] = {
        {"", ""},
        {"<tag>finance", "<tag><![CDATA[fin]]>ance"},
        {"title=\"C2:description\">", "title=\"C2:description\"><!--x-->"},
        {"Location: Office", "Location: Office &amp; <b>Lab</b> after"},
        {"<rrule every=\"1\">", "<rrule every=\"1\"><?pi FREQ=DAILY?>"},
        {"<notes>", "<notes><note id=\"1\" title=\"C2:data\"><tag/></note>"},
    };
    for (const wxString& input : inputs) {
        const std::string series = ReadTextFile(input.ToStdString());
        for (const auto& edit : edits) {
            std::string changed = series;
            if (!edit.first.empty() && changed.find(edit.first) != std::string::npos)
                changed.replace(changed.find(edit.first), edit.first.size(), edit.second);
            replies.push_back(
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rsp stat=\"ok\"><tasks><list id=\"2002\">\n" +
                changed + "<deleted>" + changed + "</deleted></list></tasks></rsp>");
        }
    }

    rtmemu::TaskStore& store = emulator->State().Tasks();
    const std::string lists[] = {store.EnsureList("Work"), store.EnsureList("Errands")};
    for (int i = 0; i < 10000; ++i) {
        rtmemu::TaskSeries series;
        series.name = "Task <" + std::to_string(i) + "> & \"caf\xC3\xA9\"";
        series.tags = {"tag_" + std::to_string(i % 7), "common"};
        if (i % 3 == 0)
            series.notes.push_back(
                {"", 0, 0, "C2:data", "Status: 10057\nLocation: Room " + std::to_string(i)});
        if (i % 5 == 0)
            series.notes.push_back({"", 0, 0, "C2:description", "\n  Line one\nline two  "});
        series.tasks.emplace_back();
        series.tasks[0].due = 1796119200 + i * 3600;
        series.tasks[0].hasDueTime = i % 2;
        series.tasks[0].priority = i % 4 ? std::to_string(i % 4) : "N";
        store.AddSeries(lists[i % 2], series);
    }
    RTMParams params = EchoParams();
    params[wxT("method")] = wxT("rtm.tasks.getList");
    params[wxT("auth_token")] = wxString::FromUTF8(GrantedToken().c_str());
    wxString reply;
    ASSERT_EQ(Connection()->CallMethod(params, reply), RTM_OK);
    replies.push_back(reply.utf8_string());

    std::mt19937 random(12);
    for (const std::string& text : replies) {
        auto connection = Connection();
        const ReadTasks tree = ThroughTree(*connection, text);
        const ReadTasks stream = ThroughStream(text, random);
        EXPECT_EQ(stream.count, tree.count) << text.substr(0, 300);
        EXPECT_EQ(stream.online, tree.online) << text.substr(0, 300);
        EXPECT_EQ(stream.deleted, tree.deleted) << text.substr(0, 300);
    }
    EXPECT_EQ(ThroughStream(replies.back(), random).count, 10000);
}
