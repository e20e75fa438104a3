#include "numbers/EntryParsing.h"
#include "numbers/SelectionList.h"
#include "numbers/SelectionListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <set>

namespace {

constexpr qint32 kMax = std::numeric_limits<qint32>::max();
constexpr qint32 kMin = std::numeric_limits<qint32>::min();

const QString kEmoji = QString::fromUtf8("\U0001F600"); // above U+FFFF: a surrogate pair in UTF-16
const QString kReplacement = QString::fromUtf8("\uFFFD");
const QString kPrivateUse = QString::fromUtf8("\uE000");

QStringList rows(const SelectionList& list)
{
    QStringList out;
    for (int row = 0; row < list.rowCount(); ++row)
        out << list.rowText(row);
    return out;
}

SelectionList listOf(const QStringList& entries)
{
    SelectionList list;
    for (const QString& entry : entries)
        list.add(entry);
    return list;
}

struct AddCase
{
    QString entry;
    bool added;
};

TEST(SelectionList, KeepsNumbersUniqueByValueAndTextsByExactText)
{
    const AddCase steps[] = {
        {"007", true},      {"7", false},       {"0000007", false}, {"x", true},      {"X", true},
        {"x", false},       {" 12", true},      {"12", true},       {"12a", true},    {"", true},
        {"0", false},       {"99999999999", true}, {"99999999999", false}, {"-3", true}, {"2147483647", true},
    };
    SelectionList list;
    for (const AddCase& step : steps)
        EXPECT_EQ(list.add(step.entry), step.added) << step.entry.toStdString();

    EXPECT_EQ(list.numberList(), (std::vector<qint32>{0, 7, 12, kMax}));
    EXPECT_EQ(list.numStringList(), (std::vector<QString>{" 12", "-3", "12a", "99999999999", "X", "x"}));
    EXPECT_TRUE(list.contains("07"));
    EXPECT_TRUE(list.containsNumber(12));
    EXPECT_FALSE(list.contains("012a"));

    // Removal follows the same identity rules.
    EXPECT_TRUE(list.remove("0007"));
    EXPECT_FALSE(list.containsNumber(7));
    EXPECT_TRUE(list.remove("x"));
    EXPECT_TRUE(list.contains("X"));
    EXPECT_FALSE(list.remove("x"));
    EXPECT_TRUE(list.remove("99999999999"));
    EXPECT_FALSE(list.remove("99999999999"));
    EXPECT_TRUE(list.remove(""));
    EXPECT_FALSE(list.containsNumber(0));
}

struct OrderCase
{
    QString a;
    QString b;
    int sign;
};

// Code-point order, as the bytes of UTF-8 give it.
struct ByUtf8
{
    bool operator()(const QString& a, const QString& b) const { return a.toUtf8() < b.toUtf8(); }
};

TEST(SelectionList, OrdersTextsByCodePoint)
{
    const OrderCase cases[] = {
        {"", "", 0},
        {"a", "ab", -1},
        {"B", "a", -1},
        {kReplacement, kEmoji, -1},   // U+FFFD < U+1F600, although its UTF-16 unit is larger
        {kPrivateUse, kEmoji, -1},
        {QString::fromUtf8("\uFFFF"), kEmoji, -1},
        {QString::fromUtf8("\uD7FF"), kEmoji, -1},
        {kEmoji, QString::fromUtf8("\U0001F601"), -1}, // same lead surrogate, trail decides
        {QString::fromUtf8("\U00010000"), QString::fromUtf8("\U0010FFFF"), -1},
        {"a" + kEmoji, "a" + kReplacement, 1},
    };
    for (const OrderCase& c : cases) {
        const int forward = compareUtf8(c.a.toUtf8(), c.b.toUtf8());
        const int backward = compareUtf8(c.b.toUtf8(), c.a.toUtf8());
        EXPECT_EQ((forward > 0) - (forward < 0), c.sign) << c.a.toStdString() << " vs " << c.b.toStdString();
        EXPECT_EQ((backward > 0) - (backward < 0), -c.sign) << c.a.toStdString() << " vs " << c.b.toStdString();
    }

    const SelectionList list = listOf({kEmoji, "a", kReplacement, kPrivateUse});
    EXPECT_EQ(list.numStringList(), (std::vector<QString>{"a", kPrivateUse, kReplacement, kEmoji}));
}

TEST(SelectionList, ShowsTextRowsBeforeNumberRows)
{
    SelectionList list = listOf({"x", "12", "5"});
    EXPECT_EQ(rows(list), (QStringList{"x", "5", "12"}));
    EXPECT_EQ(list.rowOfText("x"), 0);
    EXPECT_EQ(list.rowOfNumber(5), 1);
    EXPECT_EQ(list.rowOfNumber(12), 2);
    EXPECT_EQ(list.rowOf("012"), 2);
    EXPECT_EQ(list.rowOfNumber(6), -1);
    EXPECT_EQ(list.rowOfText("5"), -1);
    EXPECT_TRUE(list.isNumberRow(1));
    EXPECT_FALSE(list.isNumberRow(0));
    EXPECT_EQ(list.rowText(3), QString());

    // Positions of absent entries are the rows they would take.
    EXPECT_EQ(list.locateNumber(7).row, 2);
    EXPECT_FALSE(list.locateNumber(7).present);
    EXPECT_EQ(list.locate("y").row, 1);
    list.add("a");
    EXPECT_EQ(rows(list), (QStringList{"a", "x", "5", "12"}));
    EXPECT_EQ(list.rowOfNumber(5), 2);
}

struct RangeCase
{
    const char* name;
    std::vector<qint32> before;
    qint32 start;
    qint32 end;
    qint64 added;
    std::vector<qint32> after;
};

TEST(SelectionList, AddsRangesInOnePass)
{
    const RangeCase cases[] = {
        {"single value", {}, 5, 5, 1, {5}},
        {"over existing values", {1, 9, 11, 20}, 8, 12, 3, {1, 8, 9, 10, 11, 12, 20}},
        {"all present", {4, 5, 6}, 4, 6, 0, {4, 5, 6}},
        {"reversed is empty", {1}, 10, 9, 0, {1}},
        {"ends at the largest value", {kMax - 1}, kMax - 2, kMax, 2, {kMax - 2, kMax - 1, kMax}},
        {"starts at the smallest value", {0}, kMin, kMin + 1, 2, {kMin, kMin + 1, 0}},
        {"before and after", {0, 100}, 50, 52, 3, {0, 50, 51, 52, 100}},
        {"too many values", {3}, 0, qint32(kMaxRangeValues), -1, {3}},
    };
    for (const RangeCase& c : cases) {
        SelectionList list = listOf({"text"});
        for (qint32 v : c.before)
            list.addNumber(v);
        if (c.added >= 0) {
            EXPECT_EQ(list.missingInRange(c.start, c.end), c.added) << c.name;
        }
        EXPECT_EQ(list.addRange(c.start, c.end), c.added) << c.name;
        EXPECT_EQ(list.numberList(), c.after) << c.name;
        EXPECT_EQ(list.rowText(0), "text") << c.name;
    }
}

TEST(SelectionList, HoldsTenMillionNumbers)
{
    SelectionList list;
    list.add("b");
    ASSERT_EQ(list.addRange(10, 10'000'009), kMaxRangeValues);
    EXPECT_EQ(list.rowCount(), 10'000'001);
    EXPECT_EQ(list.rowText(1), "10");
    EXPECT_EQ(list.rowText(10'000'000), "10000009");
    EXPECT_EQ(list.rowOfNumber(5'000'000), 4'999'991);
}

struct RemoveRowsCase
{
    const char* name;
    std::vector<int> rows;
    std::vector<int> removed;
    QStringList remaining;
};

TEST(SelectionList, RemovesManyRowsAtOnce)
{
    // Rows: 0 "a", 1 "b", 2 "c", 3 "1", 4 "2", 5 "3", 6 "4"
    const RemoveRowsCase cases[] = {
        {"mixed, unsorted, repeated, out of range", {6, 0, 2, 4, 4, 99, -1}, {0, 2, 4, 6}, {"b", "1", "3"}},
        {"texts only", {1, 0}, {0, 1}, {"c", "1", "2", "3", "4"}},
        {"numbers only", {3, 5}, {3, 5}, {"a", "b", "c", "2", "4"}},
        {"boundary between texts and numbers", {2, 3}, {2, 3}, {"a", "b", "2", "3", "4"}},
        {"everything", {6, 5, 4, 3, 2, 1, 0}, {0, 1, 2, 3, 4, 5, 6}, {}},
        {"nothing valid", {7, -2}, {}, {"a", "b", "c", "1", "2", "3", "4"}},
    };
    for (const RemoveRowsCase& c : cases) {
        SelectionList list = listOf({"c", "4", "a", "2", "b", "3", "1"});
        EXPECT_EQ(list.removeRowsAt(c.rows), c.removed) << c.name;
        EXPECT_EQ(rows(list), c.remaining) << c.name;
    }
}

TEST(SelectionList, AddsAndRemovesEntryListsInBulk)
{
    SelectionList list = listOf({"5", "m"});
    EXPECT_EQ(list.addEntries({"3", "03", "5", "z", "m", "a", "a", "2147483648", "", "x y"}), 6);
    EXPECT_EQ(rows(list), (QStringList{"2147483648", "a", "m", "x y", "z", "0", "3", "5"}));
    EXPECT_EQ(list.removeEntries({"005", "5", "2147483648", "Z", "a", "99"}), 3);
    EXPECT_EQ(rows(list), (QStringList{"m", "x y", "z", "0", "3"}));
    EXPECT_EQ(list.addEntries({}), 0);

    list.clear();
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(list.rowCount(), 0);
}

// Random lists and random sorted additions against a plain reference: the merge, the count of what
// is missing, and the rows' bytes in chunks of every size.
TEST(SelectionList, MergesSortedEntriesAndWritesTheRowsBytes)
{
    std::mt19937 random(16);
    const QString texts[] = {"a", "b", "x y", " 7", "-3", "2147483648", kEmoji, kReplacement, kPrivateUse, "\u00e9"};
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        SelectionList list;
        std::set<qint32> numbers;
        std::set<QString, ByUtf8> textSet;
        const int listed = int(random() % 200);
        for (int i = 0; i < listed; ++i) {
            const qint32 n = round % 3 == 0 ? static_cast<qint32>(random()) : qint32(random() % 300); // any 32-bit value
            list.addNumber(n);
            numbers.insert(n);
        }
        for (const QString& text : texts) {
            if (random() % 3 == 0) {
                list.add(text);
                textSet.insert(text);
            }
        }
        // Sorted additions: few against many, many against few, all beyond the end, or none.
        std::set<qint32> addedNumbers;
        const int adding = round % 4 == 0 ? 3 : int(random() % 400);
        const qint32 base = round % 5 == 0 ? 1000 : 0;
        for (int i = 0; i < adding; ++i)
            addedNumbers.insert(base + qint32(random() % 600));
        std::set<QString, ByUtf8> addedTexts;
        for (const QString& text : texts) {
            if (random() % 2 == 0)
                addedTexts.insert(text);
        }
        qint64 missing = 0;
        for (qint32 n : addedNumbers)
            missing += numbers.insert(n).second;
        for (const QString& text : addedTexts)
            missing += textSet.insert(text).second;

        std::vector<qint32> newNumbers(addedNumbers.begin(), addedNumbers.end());
        TextEntries newTexts;
        for (const QString& text : addedTexts)
            newTexts.append(text.toUtf8());
        EXPECT_EQ(list.growthOf(newNumbers, newTexts).entries, missing);
        EXPECT_EQ(list.addSorted(std::move(newNumbers), std::move(newTexts)), missing);
        EXPECT_EQ(list.numberList(), std::vector<qint32>(numbers.begin(), numbers.end()));
        EXPECT_EQ(list.numStringList(), std::vector<QString>(textSet.begin(), textSet.end()));

        QByteArray expected;
        for (int row = 0; row < list.rowCount(); ++row)
            expected += list.rowText(row).toUtf8() + "\r\n";
        const qsizetype until = 1 + qsizetype(random() % 64);
        QByteArray written;
        for (int row = 0; row < list.rowCount();) {
            QByteArray chunk;
            const int next = list.appendRowsUtf8(row, chunk, "\r\n", until);
            ASSERT_GT(next, row);
            written += chunk;
            row = next;
        }
        EXPECT_EQ(written, expected);
    }
}

// Collects the warnings QAbstractItemModelTester reports.
QStringList g_modelWarnings;

void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_modelWarnings << message;
}

TEST(SelectionListModel, NotifiesEveryChangeConsistently)
{
    g_modelWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    {
        SelectionListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

        EXPECT_TRUE(model.add("x"));
        EXPECT_TRUE(model.add("12"));
        EXPECT_TRUE(model.add("5"));
        ASSERT_EQ(inserted.count(), 3);
        EXPECT_EQ(inserted.last().at(1).toInt(), 1); // "5" went between "x" and "12"
        EXPECT_EQ(model.data(model.index(1)).toString(), "5");
        EXPECT_EQ(model.data(model.index(2)).toString(), "12");
        EXPECT_FALSE(model.data(model.index(1), Qt::EditRole).isValid());

        EXPECT_FALSE(model.add("005"));
        EXPECT_FALSE(model.remove("6"));
        EXPECT_EQ(inserted.count(), 3);
        EXPECT_EQ(removed.count(), 0);

        EXPECT_TRUE(model.removeNumber(5));
        ASSERT_EQ(removed.count(), 1);
        EXPECT_EQ(removed.last().at(1).toInt(), 1);
        EXPECT_TRUE(model.addNumber(kMax));
        EXPECT_TRUE(model.remove("x"));

        EXPECT_EQ(model.addRange(kMax - 5, kMax), 5);
        EXPECT_EQ(reset.count(), 1);
        EXPECT_EQ(model.addRange(kMax - 3, kMax), 0);
        EXPECT_EQ(model.addRange(0, qint32(kMaxRangeValues)), -1);
        EXPECT_EQ(reset.count(), 1);
        EXPECT_EQ(model.rowCount(), 7);

        EXPECT_EQ(model.addEntries({"a", "b", "7"}), 3);
        EXPECT_EQ(model.addEntries({"a", "07"}), 0);
        EXPECT_EQ(reset.count(), 2);
        EXPECT_EQ(model.removeEntries({"b", "q"}), 1);
        EXPECT_EQ(reset.count(), 3);

        // Rows now: "a", 7, 12, kMax-5 .. kMax
        EXPECT_EQ(model.removeRowsAt({2, 3}), (std::vector<int>{2, 3}));
        EXPECT_EQ(removed.count(), 3);
        EXPECT_EQ(reset.count(), 3);
        EXPECT_EQ(model.removeRowsAt({0, 2, 4}), (std::vector<int>{0, 2, 4}));
        EXPECT_EQ(reset.count(), 4);
        EXPECT_EQ(model.rowCount(), 4);

        model.clear();
        EXPECT_EQ(model.rowCount(), 0);
        EXPECT_EQ(reset.count(), 5);
        model.clear();
        EXPECT_EQ(reset.count(), 5);
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(g_modelWarnings.isEmpty()) << g_modelWarnings.join('\n').toStdString();
}

} // namespace
