// The transport object hands its lists over by reference: every holder sees one list.

#include "common/CC_genericTransportObject.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(TransportObject, FreshObjectHasStartValuesAndEmptyLists)
{
    CC_genericTransportObject t;
    EXPECT_EQ(t.getStringData(), QString());
    EXPECT_FALSE(t.getUserCancel());
    ASSERT_TRUE(t.getIntArray());
    ASSERT_TRUE(t.getStringArray());
    EXPECT_TRUE(t.getIntArray()->empty());
    EXPECT_TRUE(t.getStringArray()->isEmpty());
    // The same list each time, not a new one per call.
    EXPECT_EQ(t.getIntArray(), t.getIntArray());
}

TEST(TransportObject, TextIsHeldByValue)
{
    CC_genericTransportObject t;
    QString caller = QStringLiteral("Bookmark 1");
    t.setStringData(caller);
    caller.append(QStringLiteral(" changed"));
    EXPECT_EQ(t.getStringData(), QStringLiteral("Bookmark 1"));
}

TEST(TransportObject, IntListIsSharedWithTheCaller)
{
    CC_genericTransportObject t;
    auto callers = std::make_shared<IntList>(IntList{5, 3});
    t.setIntArray(callers);

    callers->push_back(9);
    EXPECT_EQ(*t.getIntArray(), (IntList{5, 3, 9})) << "append through the caller's list";

    IntListRef received = t.getIntArray();
    std::sort(received->begin(), received->end());
    EXPECT_EQ(*callers, (IntList{3, 5, 9})) << "sorting the returned list reorders the caller's";
    EXPECT_EQ(*t.getIntArray(), (IntList{3, 5, 9}));

    received->erase(received->begin());
    EXPECT_EQ(*callers, (IntList{5, 9})) << "removing through the receiver";
}

TEST(TransportObject, SettingAnotherListDropsTheFormer)
{
    CC_genericTransportObject t;
    auto former = std::make_shared<IntList>(IntList{1, 2});
    t.setIntArray(former);
    auto next = std::make_shared<IntList>(IntList{7});
    t.setIntArray(next);

    EXPECT_EQ(t.getIntArray(), next);
    EXPECT_EQ(former.use_count(), 1) << "the object still holds the former list";
    former->push_back(3);
    EXPECT_EQ(*t.getIntArray(), IntList{7});
    EXPECT_EQ(*former, (IntList{1, 2, 3})) << "the caller's own list is untouched";

    // A missing list is never handed out.
    t.setIntArray(nullptr);
    ASSERT_TRUE(t.getIntArray());
    EXPECT_TRUE(t.getIntArray()->empty());
}

TEST(TransportObject, StringListIsSharedTheSameWay)
{
    CC_genericTransportObject t;
    auto callers = std::make_shared<QStringList>(QStringList{"b", "a"});
    t.setStringArray(callers);
    callers->append(QStringLiteral("c"));
    EXPECT_EQ(*t.getStringArray(), (QStringList{"b", "a", "c"}));
    t.getStringArray()->sort();
    EXPECT_EQ(*callers, (QStringList{"a", "b", "c"}));

    auto next = std::make_shared<QStringList>();
    t.setStringArray(next);
    EXPECT_EQ(t.getStringArray(), next);
    EXPECT_EQ(callers.use_count(), 1);
    t.setStringArray(nullptr);
    ASSERT_TRUE(t.getStringArray());
}

TEST(TransportObject, ListsOutliveTheObject)
{
    IntListRef kept;
    {
        CC_genericTransportObject t;
        t.getIntArray()->push_back(42);
        kept = t.getIntArray();
    }
    EXPECT_EQ(*kept, IntList{42});
}

} // namespace
