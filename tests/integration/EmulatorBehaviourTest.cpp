// What the other tests take on trust from the emulator, through the plug-in's own client: reads
// select as the service does, a completed repeating task gets its next occurrence, and the faults
// that lose a reply act on the account first.
#include "rtm/ServiceAddress.h"
#include "tests/support/EmulatorFixture.h"

#include <wx/sstream.h>
#include <wx/xml/xml.h>

namespace {
class EmulatorBehaviourTest : public EmulatorTest {
  protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        Store().SetClock([this] { return now; });
        token = wxString::FromUTF8(GrantedToken().c_str());
        work = Store().EnsureList("Work");
    }
    rtmemu::TaskStore& Store() { return emulator->State().Tasks(); }
    // The reply to a signed call with the token.
    wxString Call(const wxString& method, RTMParams params = {}) {
        params[wxT("api_key")] = RTM_API_KEY;
        params[wxT("auth_token")] = token;
        params[wxT("method")] = method;
        wxString reply;
        EXPECT_EQ(Connection()->CallMethod(params, reply), RTM_OK);
        return reply;
    }
    // "list:series" for every series a getList reply holds, "-series" for each deletion.
    wxString Listed(const RTMParams& params) {
        wxXmlDocument document;
        wxStringInputStream in(Call(wxT("rtm.tasks.getList"), params));
        EXPECT_TRUE(document.Load(in));
        wxString listed;
        for (wxXmlNode* list = document.GetRoot()->GetChildren()->GetChildren(); list;
             list = list->GetNext()) {
            for (wxXmlNode* child = list->GetChildren(); child; child = child->GetNext()) {
                if (child->GetName() == wxT("taskseries"))
                    listed +=
                        list->GetAttribute(wxT("id")) + wxT(":") + child->GetAttribute(wxT("id")) + wxT(" ");
                for (wxXmlNode* s = child->GetName() == wxT("deleted") ? child->GetChildren() : nullptr; s;
                     s = s->GetNext())
                    listed += wxT("-") + s->GetAttribute(wxT("id")) + wxT(" ");
            }
        }
        return listed.Trim();
    }
    // The parameters of a write call on the task, with a fresh timeline.
    RTMParams PathOf(const rtmemu::TaskRef& ref) {
        return {{wxT("timeline"),
                 CRTMConnection::ExtractElement(Call(wxT("rtm.timelines.create")), wxT("timeline"))},
                {wxT("list_id"), wxString::FromUTF8(work.c_str())},
                {wxT("taskseries_id"), Id(ref, false)},
                {wxT("task_id"), wxString::FromUTF8(ref.taskId.c_str())}};
    }
    wxString Id(const rtmemu::TaskRef& ref, bool withList = true) {
        return (withList ? wxString::FromUTF8(work.c_str()) + wxT(":") : wxString()) +
               wxString::FromUTF8(ref.seriesId.c_str());
    }
    rtmemu::Instant now = 1796119200;  // 2026-12-01T10:00:00Z
    wxString token;
    std::string work;
};
}  // namespace

TEST_F(EmulatorBehaviourTest, ReadsSelectLikeTheService) {
    const rtmemu::TaskRef old = Store().AddTask(work, "Old");
    const rtmemu::TaskRef done = Store().AddTask(work, "Done");
    Store().CompleteSeries(done.seriesId);
    now += 60;
    const rtmemu::TaskRef renamed = Store().AddTask(work, "Renamed later");
    const rtmemu::TaskRef gone = Store().AddTask(work, "Gone");
    now += 60;  // 10:02
    Store().RenameSeries(renamed.seriesId, "Renamed");
    Store().DeleteSeries(gone.seriesId);

    // A full read of open tasks: neither completed nor deleted ones.
    EXPECT_EQ(Listed({{wxT("filter"), wxT("status:incomplete")}}), Id(old) + wxT(" ") + Id(renamed));
    EXPECT_EQ(Listed({{wxT("filter"), wxT("status:completed")}}), Id(done));
    // Changed since (the same second included): completed ones too, deletions apart; older ones not.
    EXPECT_EQ(Listed({{wxT("last_sync"), wxT("2026-12-01T10:02:00Z")}}),
              Id(renamed) + wxT(" -") + Id(gone, false));
    EXPECT_EQ(Listed({{wxT("last_sync"), wxT("2026-12-01T10:00:00Z")}}),
              Id(old) + wxT(" ") + Id(done) + wxT(" ") + Id(renamed) + wxT(" -") + Id(gone, false));
    EXPECT_EQ(Listed({{wxT("last_sync"), wxT("2026-12-01T10:03:00Z")}}), wxString());
    EXPECT_TRUE(
        Call(wxT("rtm.tasks.getList"), {{wxT("filter"), wxT("priority:1")}}).Contains(wxT("code=\"4050\"")));
}

TEST_F(EmulatorBehaviourTest, CompletingAnEveryTaskAddsTheNextOccurrence) {
    const rtmemu::TaskRef ref = Store().AddTask(work, "Weekly");
    Store().EditSeries(ref.seriesId, [](rtmemu::TaskSeries& series) {
        series.rrule = rtmemu::Recurrence{true, "FREQ=WEEKLY;INTERVAL=1;BYDAY=MO"};
        series.tasks[0].due = 1796601600;  // Monday 2026-12-07, a date alone
    });
    const wxString reply = Call(wxT("rtm.tasks.complete"), PathOf(ref));
    EXPECT_TRUE(reply.Contains(wxT("due=\"2026-12-14T00:00:00Z\" has_due_time=\"0\""))) << reply;
    ASSERT_EQ(Store().FindSeries(ref.seriesId)->tasks.size(), 2u);
    EXPECT_FALSE(Store().FindSeries(ref.seriesId)->tasks[1].completed);
}

// A fault that loses the reply lets the call act on the account first; a fault for one method
// waits for that method (here: the timeline call passes).
TEST_F(EmulatorBehaviourTest, LostRepliesFollowTheCallAndFaultsWaitForTheirMethod) {
    const rtmemu::TaskRef ref = Store().AddTask(work, "Report");
    const rtmemu::Fault faults[] = {rtmemu::Fault::Lost(), rtmemu::Fault::Lost(true),
                                    rtmemu::Fault::StallAfterCall(3000)};
    int n = 0;
    for (const rtmemu::Fault& fault : faults) {
        emulator->InjectFault(rtmemu::Fault(fault).ForMethod("rtm.tasks.setName"));
        RTMParams params = PathOf(ref);
        const wxString name = wxString::Format(wxT("Renamed %d"), ++n);
        params[wxT("api_key")] = RTM_API_KEY;
        params[wxT("auth_token")] = token;
        params[wxT("method")] = wxT("rtm.tasks.setName");
        params[wxT("name")] = name;
        auto connection = Connection();
        TransferLimits limits;
        limits.lowSpeedSeconds = 1;
        connection->SetTransferLimits(limits);
        wxString reply;
        connection->CallMethod(params, reply);
        EXPECT_EQ(connection->LastOutcome(), CallOutcome::UNANSWERED) << n;
        EXPECT_EQ(wxString::FromUTF8(Store().FindSeries(ref.seriesId)->name.c_str()), name);
    }
}
