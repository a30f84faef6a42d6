// The journal keeps what it holds to the byte: a name or id with line ends, tabs or backslashes
// reads back as written, next to the waiting changes, or the next start would lose them.
#include "sync/PendingJournal.h"
#include "sync/QueueItem.h"

#include <gtest/gtest.h>

TEST(PendingJournalTest, EveryCharacterReadsBack) {
    IdentityMap identities;
    TaskIdentity& identity = identities[wxT("host\t1\\n\r")];
    identity = {TaskIdentity::CREATED,
                1700000000,
                wxString::FromUTF8("Line one\nLine\ttwo \\ \xC3\xA9"),
                {wxT("21"), wxT("3\n1"), wxT("41")}};
    IcalComponentPtr todo(
        icalcomponent_new_from_string("BEGIN:VTODO\r\nUID:a\r\nDESCRIPTION:x\\ny\r\nEND:VTODO\r\n"));
    JournalView view;
    view.identities = &identities;
    view.changes = {{ITEM_WRITE, todo.get()}, {ITEM_DELETE, todo.get()}};
    std::vector<PendingChange> changes;
    IdentityMap read;
    ASSERT_TRUE(ParseJournal(FormatJournal(view), changes, read));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read.begin()->first, identities.begin()->first);
    EXPECT_EQ(read.begin()->second.name, identity.name);
    EXPECT_EQ(read.begin()->second.ids.series, identity.ids.series);
    EXPECT_EQ(read.begin()->second.since, identity.since);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1].kind, ITEM_DELETE);
    EXPECT_STREQ(icalcomponent_get_description(changes[0].component.get()), "x\ny");
}
