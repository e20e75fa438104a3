#include "numbers/EntryParsing.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr qint32 kMax = std::numeric_limits<qint32>::max();
constexpr qint32 kMin = std::numeric_limits<qint32>::min();

struct ClassifyCase
{
    QString entry;
    EntryKind::Kind kind;
    qint32 value;
};

TEST(EntryParsing, ClassifiesNumbersAndTexts)
{
    const ClassifyCase cases[] = {
        {"", EntryKind::Number, 0},
        {"0", EntryKind::Number, 0},
        {"007", EntryKind::Number, 7},
        {"000000000000000000000000042", EntryKind::Number, 42},
        {"2147483647", EntryKind::Number, kMax},
        {"02147483647", EntryKind::Number, kMax},
        {"2147483648", EntryKind::Text, 0},
        {"99999999999", EntryKind::Text, 0},
        {"4294967303", EntryKind::Text, 0}, // 2^32 + 7: would read as 7 in 32 bits
        {"99999999999999999999999999999", EntryKind::Text, 0},
        {" 12", EntryKind::Text, 0},
        {"12 ", EntryKind::Text, 0},
        {"12a", EntryKind::Text, 0},
        {"-3", EntryKind::Text, 0},
        {"+3", EntryKind::Text, 0},
        {QString::fromUtf8("\u0661\u0662"), EntryKind::Text, 0}, // non-ASCII digits
    };
    for (const ClassifyCase& c : cases) {
        const EntryKind kind = classifyEntry(c.entry);
        EXPECT_EQ(kind.kind, c.kind) << c.entry.toStdString();
        EXPECT_EQ(kind.value, c.value) << c.entry.toStdString();
    }
}

struct BoundCase
{
    QString text;
    qint32 value;
    BoundError error;
};

TEST(EntryParsing, ReadsRangeBounds)
{
    const BoundCase cases[] = {
        {"", 0, BoundError::Empty},
        {"   ", 0, BoundError::Empty},
        {"abc", 0, BoundError::Empty},
        {"-5", 0, BoundError::Empty},
        {"0", 0, BoundError::None},
        {"2147483647", kMax, BoundError::None},
        {"2147483648", 0, BoundError::TooLarge},
        {"99999999999999999999999999", 0, BoundError::TooLarge},
        {"0000000000000000000012", 12, BoundError::None},
        {"  \t42", 42, BoundError::None},
        {"12abc", 12, BoundError::None},
        {"12 34", 12, BoundError::None},
    };
    for (const BoundCase& c : cases) {
        const RangeBound bound = parseRangeBound(c.text);
        EXPECT_EQ(bound.error, c.error) << c.text.toStdString();
        EXPECT_EQ(bound.value, c.value) << c.text.toStdString();
    }
}

TEST(EntryParsing, RangeSizeDoesNotOverflow)
{
    EXPECT_EQ(rangeSize(5, 5), 1);
    EXPECT_EQ(rangeSize(10, 1'000'009), 1'000'000);
    EXPECT_EQ(rangeSize(kMax - 2, kMax), 3);
    EXPECT_EQ(rangeSize(0, kMax), qint64(kMax) + 1);
    EXPECT_EQ(rangeSize(kMin, kMax), qint64(1) << 32);
    EXPECT_LE(rangeSize(10, 9), 0);
}

struct SplitCase
{
    QString text;
    QStringList tokens;
};

TEST(EntryParsing, SplitsAtCommasAndLineBreaksKeepingBlanks)
{
    const SplitCase cases[] = {
        {"", {}},
        {",", {}},
        {",,,", {}},
        {"1,2,3", {"1", "2", "3"}},
        {" 1, 2 ,3 ", {" 1", " 2 ", "3 "}},
        {",,a,,b,", {"a", "b"}},
        {" , ", {" ", " "}},
        {"x;y", {"x;y"}},
        {"1\n2\r\n3\r4", {"1", "2", "3", "4"}},
        {"a b\n\n\r\n, c\r\n", {"a b", " c"}},
        {"\r\n7\n", {"7"}},
        {"x\ty\u2028z", {"x\ty\u2028z"}},
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(splitCommaList(c.text), c.tokens) << c.text.toStdString();
}

} // namespace
