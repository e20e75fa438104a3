// The transport object hands its lists over by reference: every holder sees one list. That the very
// list handed in comes back is asserted by the grid window's exchange tests.

#include "common/CC_genericTransportObject.h"

#include <gtest/gtest.h>

namespace {

TEST(TransportObject, NeverHandsOutAMissingList)
{
    CC_genericTransportObject t;
    const auto expectEmptyLists = [&t] {
        ASSERT_TRUE(t.getIntArray());
        ASSERT_TRUE(t.getStringArray());
        EXPECT_TRUE(t.getIntArray()->empty());
        EXPECT_TRUE(t.getStringArray()->isEmpty());
    };
    expectEmptyLists();

    t.setIntArray(std::make_shared<IntList>(IntList{1, 2}));
    t.setIntArray(nullptr);
    t.setStringArray(nullptr);
    expectEmptyLists();
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
}

} // namespace
