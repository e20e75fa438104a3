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

    t.getStringArray()->append(QStringLiteral("b"));
    t.getStringArray()->append(QStringLiteral("a"));
    t.getStringArray()->sort();
    EXPECT_EQ(*t.getStringArray(), (QStringList{"a", "b"})) << "the text list is one list too";
}

TEST(TransportObject, SettingAnotherListDropsTheFormer)
{
    CC_genericTransportObject t;
    auto former = std::make_shared<IntList>(IntList{1, 2});
    t.setIntArray(former);
    auto next = std::make_shared<IntList>(IntList{7});
    t.setIntArray(next);

    EXPECT_EQ(former.use_count(), 1) << "the object still holds the former list";
    former->push_back(3);
    EXPECT_EQ(*t.getIntArray(), IntList{7});
    EXPECT_EQ(*former, (IntList{1, 2, 3})) << "the caller's own list is untouched";

    // A missing list is never handed out.
    t.setIntArray(nullptr);
    t.setStringArray(nullptr);
    ASSERT_TRUE(t.getIntArray());
    ASSERT_TRUE(t.getStringArray());
    EXPECT_TRUE(t.getIntArray()->empty());
}

} // namespace
