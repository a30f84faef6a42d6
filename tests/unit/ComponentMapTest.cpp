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

TEST(ComponentMapTest, KeepsStoreOrderAndReplacesInPlace) {
    ComponentMap map;
    map.Store(wxT("c"), Todo("c").release());
    map.Store(wxT("a"), Todo("a").release());
    map.Store(wxT("b"), Todo("b").release());
    map.Store(wxT("a"), Todo("a", "SUMMARY:new\r\n").release());
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(map.Size(), 3u);
    EXPECT_STREQ(icalcomponent_get_summary(map.Find(wxT("a"))), "new");
}

TEST(ComponentMapTest, ClearedEntryKeepsItsKeyUntilStoredOrErased) {
    ComponentMap map;
    map.Store(wxT("a"), Todo("a").release());
    map.Store(wxT("b"), Todo("b").release());
    IcalComponentPtr detached(map.Detach(wxT("a")));
    ASSERT_TRUE(detached);
    EXPECT_TRUE(map.Contains(wxT("a")));
    EXPECT_EQ(map.Find(wxT("a")), nullptr);
    EXPECT_EQ(map.Detach(wxT("a")), nullptr);
    EXPECT_EQ(map.Size(), 2u);
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Uids(map), std::vector<std::string>{"b"});

    map.Store(wxT("a"), detached.release());  // back in its old place
    EXPECT_EQ(Uids(map), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(map.Erase(wxT("a")));
    EXPECT_FALSE(map.Contains(wxT("a")));
    EXPECT_FALSE(map.Erase(wxT("a")));
    EXPECT_EQ(Keys(map), std::vector<std::string>{"b"});
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

TEST(ComponentMapTest, TakeAllHandsOverInOrderAndEmpties) {
    ComponentMap map;
    map.Store(wxT("b"), Todo("b").release());
    map.Store(wxT("a"), Todo("a").release());
    map.Store(wxT("gone"), Todo("gone").release());
    IcalComponentPtr cleared(map.Detach(wxT("gone")));
    ComponentList taken = map.TakeAll();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_STREQ(icalcomponent_get_uid(taken[0].get()), "b");
    EXPECT_STREQ(icalcomponent_get_uid(taken[1].get()), "a");
    EXPECT_TRUE(map.IsEmpty());
}
