#include "sync/ComponentMap.h"
#include "tests/unit/OfflineTestHelpers.h"

#include <gtest/gtest.h>

using namespace offline_test;

namespace {

std::vector<std::string> Keys(const ComponentMap& map) {
    std::vector<std::string> keys;
    for (const auto& entry : map)
        keys.push_back(entry.uid.ToStdString(wxConvUTF8));
    return keys;
}

wxString Key(int i) {
    return wxString::Format(wxT("1:%d"), i);
}

}  // namespace

// Entries keep the order they were first stored in; a detached entry keeps its key (and place)
// until it is stored again or erased; TakeAll hands over what is held, in order.
TEST(ComponentMapTest, KeepsStoreOrderThroughReplaceDetachAndErase) {
    ComponentMap map;
    for (const char* uid : {"c", "a", "b"})
        map.Store(wxString::FromUTF8(uid), Todo(uid).release());
    map.Store(wxT("a"), Todo("a", "SUMMARY:new\r\n").release());
    EXPECT_STREQ(icalcomponent_get_summary(map.Find(wxT("a"))), "new");
    IcalComponentPtr detached(map.Detach(wxT("c")));
    ASSERT_TRUE(detached);
    EXPECT_TRUE(map.Contains(wxT("c")));
    EXPECT_EQ(map.Find(wxT("c")), nullptr);
    EXPECT_EQ(map.Detach(wxT("c")), nullptr);
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(Uids(map), (std::vector<std::string>{"a", "b"}));
    map.Store(wxT("c"), detached.release());  // back in its old place
    EXPECT_TRUE(map.Erase(wxT("a")));
    EXPECT_FALSE(map.Erase(wxT("a")));
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"c", "b"}));
    IcalComponentPtr cleared(map.Detach(wxT("b")));
    ComponentList taken = map.TakeAll();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_STREQ(icalcomponent_get_uid(taken[0].get()), "c");
    EXPECT_TRUE(map.IsEmpty());
}

TEST(ComponentMapTest, ManyErasuresKeepOrderAndLookups) {
    ComponentMap map;
    for (int i = 0; i < 1000; ++i) {
        map.Store(Key(i), Todo(Key(i).ToStdString()).release());
    }
    for (int i = 0; i < 1000; ++i) {
        if (i % 3 != 0) {
            ASSERT_TRUE(map.Erase(Key(i)));
        }
    }
    map.Store(wxT("late"), Todo("late").release());
    std::vector<std::string> expected;
    for (int i = 0; i < 1000; i += 3)
        expected.push_back(Key(i).ToStdString());
    expected.push_back("late");
    EXPECT_EQ(Keys(map), expected);
    EXPECT_EQ(map.Size(), expected.size());
    for (int i = 0; i < 1000; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(map.Find(Key(i)) != nullptr, i % 3 == 0);
    }
}
