#include "plugin/RTMHandler.h"
#include "tests/support/FakeHost.h"

class QueueTest : public FakeHostTest {};

TEST_F(QueueTest, EnqueueAndDequeueKeepOrder) {
    CRTMHandler handler(nullptr, wxT("Work"), RTM_PLUGIN_NAME);
    handler.Enqueue(true, ITEM_READ, nullptr);
    handler.Enqueue(true, ITEM_WRITE, icalcomponent_new_vtodo());
    EXPECT_EQ(handler.QueueCount(true), 2u);
    EXPECT_EQ(handler.Dequeue(true)->kind, ITEM_READ);
    EXPECT_EQ(handler.Dequeue(true)->kind, ITEM_WRITE);
    EXPECT_EQ(handler.Dequeue(true), nullptr);
}
