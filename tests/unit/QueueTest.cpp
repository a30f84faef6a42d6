// The handler's component store: the two queues, their copies, and the last read time.
#include "plugin/RTMHandler.h"
#include "tests/support/FakeHost.h"

#include <wx/memconf.h>

#include <set>

namespace {
icalcomponent* NewTodo(const char* uid) {
    icalcomponent* todo = icalcomponent_new_vtodo();
    icalcomponent_set_uid(todo, uid);
    return todo;
}

class QueueTest : public FakeHostTest {
  protected:
    void WithOffline(bool keep) {
        config.Write(wxT("/Remember The Milk/Work/KeepOfflineCopy"), keep);
        handler = std::make_unique<CRTMHandler>(&config, wxT("Work"), RTM_PLUGIN_NAME);
    }
    wxMemoryConfig config;
    std::unique_ptr<CRTMHandler> handler;
};
}  // namespace

TEST_F(QueueTest, ItemsLeaveInOrderAndRequeueGoesToTheFront) {
    WithOffline(false);
    handler->Enqueue(true, ITEM_READ, nullptr);
    handler->Enqueue(true, ITEM_WRITE, NewTodo("a"));
    handler->Enqueue(true, ITEM_DELETE, NewTodo("b"));
    handler->Enqueue(true, ITEM_WRITE, nullptr);  // a change without a component is no change
    handler->Enqueue(false, ITEM_READ, nullptr);
    EXPECT_EQ(handler->QueueCount(true), 3u);
    EXPECT_FALSE(handler->IsQueued(false, ITEM_WRITE));
    EXPECT_TRUE(handler->IsQueued(false, ITEM_READ));

    EXPECT_EQ(handler->Dequeue(true)->kind, ITEM_READ);
    std::unique_ptr<QueueItem> second = handler->Dequeue(true);
    EXPECT_STREQ(icalcomponent_get_uid(second->component), "a");
    EXPECT_FALSE(handler->IsQueued(true, ITEM_READ));
    handler->Requeue(true, std::move(second));
    EXPECT_STREQ(icalcomponent_get_uid(handler->Dequeue(true)->component), "a");
    EXPECT_EQ(handler->Dequeue(true)->kind, ITEM_DELETE);
    EXPECT_EQ(handler->Dequeue(true), nullptr);
}

// The host's components stay the host's: each queue gets a copy of its own, the offline queue
// only with the offline copy on.
TEST_F(QueueTest, ChangesAreQueuedAsSeparateCopies) {
    for (const bool offline : {false, true}) {
        WithOffline(offline);
        icalcomponent* originals[] = {NewTodo("1"), NewTodo("2"), NewTodo("3")};
        ComponentArray array;
        for (icalcomponent* c : originals)
            array.Add(c);
        EXPECT_TRUE(handler->WriteComponents(array));
        EXPECT_TRUE(handler->WriteComponents(ComponentArray()));
        EXPECT_EQ(handler->QueueCount(true), 3u);
        EXPECT_EQ(handler->QueueCount(false), offline ? 3u : 0u);
        std::set<icalcomponent*> seen(std::begin(originals), std::end(originals));
        for (bool outgoing : {true, false}) {
            while (std::unique_ptr<QueueItem> item = handler->Dequeue(outgoing)) {
                EXPECT_EQ(item->kind, ITEM_WRITE);
                EXPECT_TRUE(seen.insert(item->component).second) << "a copy is shared";
            }
        }
        for (icalcomponent* c : originals)
            icalcomponent_free(c);
    }
}

TEST_F(QueueTest, RefreshForgetsTheLastReadAndQueuesAFullRead) {
    WithOffline(true);
    handler->SetLastRead(icaltime_from_string("20240102T030405Z"));
    EXPECT_FALSE(icaltime_is_null_time(handler->GetLastRead()));
    EXPECT_TRUE(handler->Refresh());
    EXPECT_TRUE(icaltime_is_null_time(handler->GetLastRead()));
    EXPECT_TRUE(handler->IsQueued(true, ITEM_READ));
    EXPECT_TRUE(handler->IsQueued(false, ITEM_READ));
}

TEST_F(QueueTest, RefreshDuringADownloadKeepsTheNextReadFull) {
    WithOffline(false);
    const icaltimetype start = icaltime_from_string("20240102T030405Z");
    // Download in progress: its read item has been taken off the queue.
    handler->Refresh();
    handler->Dequeue(true);
    handler->Refresh();  // the user asks again while the download runs
    handler->CompleteRead(start);
    EXPECT_TRUE(icaltime_is_null_time(handler->GetLastRead()));

    handler->Dequeue(true);
    handler->CompleteRead(start);
    EXPECT_EQ(icaltime_compare(handler->GetLastRead(), start), 0);
}

// One change per to-do waits: a later write takes the waiting one's place. What waits, and the
// change on its way to the service, survive in the journal when the host ends.
TEST_F(QueueTest, OneChangePerToDoWaitsAndTheJournalKeepsTheOneInFlight) {
    WithOffline(false);
    const wxString pending = tempDir + wxT("/Pending.journal"), added = tempDir + wxT("/Added.journal");
    handler->LoadJournal(pending, added);
    icalcomponent* later = NewTodo("b");
    icalcomponent_set_summary(later, "later");
    for (icalcomponent* todo : {NewTodo("a"), NewTodo("b"), later})
        handler->Enqueue(true, ITEM_WRITE, todo);
    EXPECT_EQ(handler->QueueCount(true), 2u);
    std::unique_ptr<QueueItem> inFlight = handler->Dequeue(true);
    WithOffline(false);
    handler->LoadJournal(pending, added);
    ASSERT_EQ(handler->QueueCount(true), 2u);
    EXPECT_STREQ(icalcomponent_get_uid(handler->Dequeue(true)->component), "a");
    EXPECT_STREQ(icalcomponent_get_summary(handler->Dequeue(true)->component), "later");
}
