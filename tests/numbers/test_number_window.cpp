#include "numbers/RW_compoundNumberWindow.h"

#include "common/cListBox.h"
#include "numbers/EntryParsing.h"
#include "numbers/RF_numberList.h"
#include "numbers/RW_0to99CompoundNumberWindow.h"
#include "platform/Application.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/FolderItem.h"
#include "support/TestSupport.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QListView>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <pthread.h>
#include <random>
#include <thread>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The area links with --wrap=read and --wrap=fsync: the project's own calls come here, so a test can
// make a file fail, grow or shrink while the program reads it, and a save fail to reach the disk.
extern "C" ssize_t __real_read(int fd, void* buffer, size_t count);
extern "C" int __real_fsync(int fd);
namespace {
enum class ReadFault { None, Fail, Grow, Shrink, Rewrite, Slow };
std::atomic<ReadFault> readFault{ReadFault::None};
dev_t faultDevice = 0;
ino_t faultInode = 0;
QByteArray faultPath;
int faultReads = 0;
qint64 grownBy = 0;
std::atomic<int> fsyncError{0};

// A writer that appends new, different numbers to the file: 4 MB at each read, up to 64 MB.
void growFile()
{
    constexpr qint64 kStep = 4 << 20;
    if (grownBy >= 16 * kStep)
        return;
    QByteArray more;
    more.reserve(kStep + 16);
    for (qint64 n = 100'000'000 + grownBy; more.size() < kStep; ++n)
        more += QByteArray::number(n) + '\n';
    const int fd = ::open(faultPath.constData(), O_WRONLY | O_APPEND);
    if (fd >= 0) {
        if (::write(fd, more.constData(), size_t(more.size())) == more.size())
            grownBy += more.size();
        ::close(fd);
    }
}

// Another program writes the file anew in place, at the same size: texts where the numbers were.
void rewriteFile(off_t size)
{
    const int fd = ::open(faultPath.constData(), O_WRONLY);
    if (fd >= 0) {
        const QByteArray text(qsizetype(size), 'x');
        (void)::pwrite(fd, text.constData(), size_t(size), 0);
        ::close(fd);
    }
}
} // namespace
extern "C" ssize_t __wrap_read(int fd, void* buffer, size_t count)
{
    const ReadFault fault = readFault.load();
    struct stat info {};
    if (fault != ReadFault::None && ::fstat(fd, &info) == 0 && info.st_dev == faultDevice && info.st_ino == faultInode) {
        ++faultReads;
        if (fault == ReadFault::Fail) {
            errno = EIO;
            return -1;
        }
        if (fault == ReadFault::Grow)
            growFile();
        if (fault == ReadFault::Shrink && faultReads == 2)
            (void)::truncate(faultPath.constData(), info.st_size / 4);
        if (fault == ReadFault::Rewrite && faultReads == 2)
            rewriteFile(info.st_size);
        if (fault == ReadFault::Slow)
            ::usleep(150'000);
    }
    return __real_read(fd, buffer, count);
}
extern "C" int __wrap_fsync(int fd)
{
    if (const int error = fsyncError.load()) {
        errno = error;
        return -1;
    }
    return __real_fsync(fd);
}

namespace {

// The allocator is set up before any thread runs, as the program's start does.
const bool largeBlocksReturned = (returnLargeBlocksAtOnce(), true);

// Makes reads of the file at path fail, grow it or shrink it until the object goes.
class FileFault {
public:
    FileFault(const QString& path, ReadFault fault)
    {
        struct stat info {};
        faultPath = QFile::encodeName(path);
        EXPECT_EQ(::stat(faultPath.constData(), &info), 0);
        faultDevice = info.st_dev;
        faultInode = info.st_ino;
        faultReads = 0;
        grownBy = 0;
        readFault = fault;
    }
    ~FileFault() { readFault = ReadFault::None; }
    FileFault(const FileFault&) = delete;
    FileFault& operator=(const FileFault&) = delete;
};

using testsupport::ReadOnlyFile;

using NumberWindow = RW_compoundNumberWindow;
using Grid = RW_0to99CompoundNumberWindow;
using Digits = std::vector<int>;

const QString kRangeOrder = QStringLiteral("RANGE ERROR: Start number must be less than end number");
const QString kClearQuestion = QStringLiteral("Are you sure you want to clear all numbers?");

QStringList numbersFrom(qint64 from, qint64 to, qint64 step = 1)
{
    QStringList out;
    for (qint64 n = from; n <= to; n += step)
        out << QString::number(n);
    return out;
}

Digits digitsFrom(int from, int to)
{
    Digits out;
    for (int d = from; d <= to; ++d)
        out.push_back(d);
    return out;
}

std::vector<Grid*> openGrids()
{
    return testsupport::openWindowsOf<Grid>();
}

void gridTick(fw::Window& grid, int n, bool on)
{
    grid.control<fw::CheckBox>(QStringLiteral("CB_0to99"), n)->setValue(on);
}

void gridPush(fw::Window& grid, const char* name, int index = -1)
{
    grid.control<fw::PushButton>(QString::fromLatin1(name), index)->Push();
}

// Drives one shown number-selection window through its controls and answers every box and dialog.
class NumberWindowTest : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        fw::FolderItem::setApplicationFolderOverride(folder.path());
        open();
    }

    void TearDown() override
    {
        closeWindow();
        fw::ModalSeam::reset();
        fw::FolderItem::setApplicationFolderOverride(QString());
    }

    void open()
    {
        w = NumberWindow::instance();
        w->Show();
    }

    void closeWindow()
    {
        if (w)
            w->Close();
        for (Grid* grid : openGrids())
            grid->Close();
        testsupport::settle();
    }

    void reopen()
    {
        closeWindow();
        ASSERT_TRUE(w.isNull());
        log.clear();
        log.reply.clear();
        open();
    }

    fw::PushButton* button(const char* name) const { return w->control<fw::PushButton>(QString::fromLatin1(name)); }
    fw::EditField* field(const char* name) const { return w->control<fw::EditField>(QString::fromLatin1(name)); }
    fw::CheckBox* digit(int d) const { return w->control<fw::CheckBox>(QStringLiteral("CB_0to10"), d); }
    cListBox* list() const { return w->control<cListBox>(QStringLiteral("LB_numberSelected")); }
    QString count() const { return w->control<fw::StaticText>(QStringLiteral("ST_numTestCases"))->Text(); }
    void push(const char* name) { button(name)->Push(); }

    // Types as a user does, so the range fields' digit mask applies.
    void type(const char* name, const QString& keys) { QTest::keyClicks(field(name)->widget(), keys); }
    void erase(const char* name) { QTest::keyClick(field(name)->widget(), Qt::Key_Backspace); }
    void retype(const char* name, const QString& keys)
    {
        field(name)->setText(QString());
        type(name, keys);
    }

    // Pastes through the clipboard and the field's own paste key, as a user does.
    void paste(const char* name, const QString& text)
    {
        QGuiApplication::clipboard()->setText(text);
        QWidget* edit = field(name)->widget();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    }

    void addRange(const QString& start, const QString& end)
    {
        retype("EF_rangeStart", start);
        retype("EF_rangeEnd", end);
        push("PB_addRange");
    }

    void addList(const QString& csv)
    {
        field("EF_CSV")->setText(csv);
        push("PB_addCSV");
    }

    void select(std::initializer_list<int> rows)
    {
        for (int row : rows)
            list()->setSelected(row, true);
    }

    QStringList rows() const
    {
        QStringList out;
        for (int i = 0; i < list()->ListCount(); ++i)
            out << list()->List(i);
        return out;
    }

    Digits ticked() const
    {
        Digits out;
        for (int d = 0; d < 10; ++d) {
            if (digit(d)->Value())
                out.push_back(d);
        }
        return out;
    }

    // The rows are the text entries, then the numbers; the count shows the row count; a digit box is
    // ticked exactly when its digit is listed.
    ::testing::AssertionResult inStep() const
    {
        QStringList expected;
        for (const QString& text : w->numStringList())
            expected << text;
        for (qint32 n : w->numberList())
            expected << QString::number(n);
        if (rows() != expected)
            return ::testing::AssertionFailure() << "rows differ from the lists";
        if (count() != QString::number(list()->ListCount()))
            return ::testing::AssertionFailure() << "count " << count().toStdString() << " for "
                                                 << list()->ListCount() << " rows";
        const std::vector<qint32>& numbers = w->numberList();
        for (int d = 0; d < 10; ++d) {
            const bool listed = std::binary_search(numbers.begin(), numbers.end(), d);
            if (digit(d)->Value() != listed)
                return ::testing::AssertionFailure() << "box " << d << (listed ? " unticked" : " ticked");
        }
        return ::testing::AssertionSuccess();
    }

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(testsupport::writeFile(path, bytes)) << path.toStdString();
        return path;
    }

    // Answers the next file dialogs with path ("" cancels) and records what they asked.
    void choose(const QString& path)
    {
        fw::ModalSeam::setFileHandler([this, path](const fw::FileRequest& request) {
            fileRequests.push_back(request);
            return path;
        });
    }

    void augmentFrom(const QString& path)
    {
        choose(path);
        push("PB_loadNumbers");
    }

    void saveTo(const QString& path)
    {
        choose(path);
        push("PB_saveNumbers");
    }

    // Runs drive inside the grid window once "Add 0-99..." has shown it modally; records its ticks.
    void exchange(const std::function<void(fw::Window&)>& drive)
    {
        gridTicks.clear();
        fw::ModalSeam::setWindowHandler([this, drive](fw::Window& grid) {
            for (int n = 0; n < 100; ++n) {
                if (grid.control<fw::CheckBox>(QStringLiteral("CB_0to99"), n)->Value())
                    gridTicks.push_back(n);
            }
            drive(grid);
        });
        push("PB_add0to99");
    }

    // Answers the grid: each number's box ticked (true) or cleared (false), then "Done".
    void answerGrid(std::vector<std::pair<int, bool>> ticks)
    {
        exchange([ticks](fw::Window& g) {
            for (const auto& [n, on] : ticks)
                gridTick(g, n, on);
            gridPush(g, "PB_done");
        });
    }

    QTemporaryDir folder;
    QPointer<NumberWindow> w;
    testsupport::MessageLog log;
    std::vector<fw::FileRequest> fileRequests;
    Digits gridTicks;
};

// ---- the window itself

TEST_F(NumberWindowTest, IsBuiltHiddenAndLivesUntilClosed)
{
    closeWindow();
    NumberWindow* fresh = NumberWindow::instance();
    w = fresh;
    EXPECT_FALSE(fresh->Visible());
    EXPECT_EQ(NumberWindow::instance(), fresh);
    EXPECT_EQ(fresh->Title(), "Number Selection");
    EXPECT_EQ(fresh->Width(), 686);
    EXPECT_EQ(fresh->Height(), 509);
    EXPECT_EQ(fresh->minimumSize(), fresh->maximumSize());
    EXPECT_FALSE(fresh->record().maximizeButton);
    EXPECT_TRUE(fresh->record().minimizeButton);
    EXPECT_TRUE(fresh->record().closeButton);

    EXPECT_EQ(count(), "0");
    EXPECT_EQ(list()->ListCount(), 0);
    EXPECT_FALSE(button("PB_addRange")->Enabled());
    EXPECT_FALSE(button("PB_addCSV")->Enabled());
    EXPECT_EQ(digit(9)->Caption(), "9");
    EXPECT_EQ(w->control<fw::CheckBox>(QStringLiteral("CB_0to10"), 10), nullptr);

    fresh->Show();
    EXPECT_TRUE(fresh->Visible());
    addList("4,x");
    EXPECT_EQ(NumberWindow::instance(), fresh);

    closeWindow();
    EXPECT_TRUE(w.isNull());
    EXPECT_TRUE(openGrids().empty());
    open();
    EXPECT_EQ(rows(), QStringList());
    EXPECT_EQ(ticked(), Digits());
    EXPECT_EQ(field("EF_CSV")->Text(), "");
    EXPECT_EQ(count(), "0");
}

// ---- ordering and uniqueness

struct OrderCase {
    const char* name;
    QStringList lists; // comma lists entered one after another
    QStringList rows;
    Digits ticked;
};

TEST_F(NumberWindowTest, OrdersTextsBeforeNumbersAndKeepsEachEntryOnce)
{
    const OrderCase cases[] = {
        {"007 while 7 is listed", {"7", "007"}, {"7"}, {7}},
        {"007 while 7 is absent", {"007"}, {"7"}, {7}},
        {"case makes two texts", {"x,X", "x"}, {"X", "x"}, {}},
        {"leading blank is text", {" 12,12,12a", "12"}, {" 12", "12a", "12"}, {}},
        {"texts stand above numbers", {"x,12,5"}, {"x", "5", "12"}, {5}},
        {"numbers by value", {"100,20,9"}, {"9", "20", "100"}, {9}},
        {"texts by code point", {"z,\u00e9,Z,a"}, {"Z", "a", "z", "\u00e9"}, {}},
        {"leading zeros one value", {"0012,12,000000000012"}, {"12"}, {}},
        {"signs and points are text", {"-3,+4,4.0,7a"}, {"+4", "-3", "4.0", "7a"}, {}},
        {"beyond 32 bits stays text", {"2147483647,2147483648,99999999999,02147483647"},
         {"2147483648", "99999999999", "2147483647"}, {}},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        reopen();
        for (const QString& csv : c.lists)
            addList(csv);
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(ticked(), c.ticked);
        EXPECT_EQ(count(), QString::number(c.rows.size()));
        EXPECT_TRUE(inStep());
        EXPECT_TRUE(log.shown.empty());
    }
}

TEST_F(NumberWindowTest, TextEntryLeavesOnlyByItsExactText)
{
    addList(" 12,12,12a");
    select({0}); // " 12"
    push("PB_removeNumbers");
    EXPECT_EQ(rows(), (QStringList{"12a", "12"}));
    EXPECT_EQ(count(), "2");
}

// ---- every road keeps the digit boxes in step with the list

struct Road {
    const char* name;
    std::function<void(NumberWindowTest&)> act;
    QStringList rows;
    Digits ticked;
};

TEST_F(NumberWindowTest, EveryRoadKeepsDigitBoxesInStep)
{
    const QStringList start{"x", "3", "5", "12"};
    const Road roads[] = {
        {"tick a box", [](NumberWindowTest& t) { t.digit(4)->setValue(true); }, {"x", "3", "4", "5", "12"}, {3, 4, 5}},
        {"untick a box", [](NumberWindowTest& t) { t.digit(5)->setValue(false); }, {"x", "3", "12"}, {3}},
        {"tick a ticked box", [](NumberWindowTest& t) { t.digit(3)->setValue(true); }, start, {3, 5}},
        {"untick an unticked box", [](NumberWindowTest& t) { t.digit(4)->setValue(false); }, start, {3, 5}},
        {"Add All", [](NumberWindowTest& t) { t.push("PB_checkAllRadio"); },
         QStringList{"x"} + numbersFrom(0, 9) + QStringList{"12"}, digitsFrom(0, 9)},
        {"Remove All", [](NumberWindowTest& t) { t.push("PB_clearAllRadio"); }, {"x", "12"}, {}},
        {"range", [](NumberWindowTest& t) { t.addRange("2", "11"); },
         QStringList{"x"} + numbersFrom(2, 12), digitsFrom(2, 9)},
        {"comma list", [](NumberWindowTest& t) { t.addList("0,07,x,13"); }, {"x", "0", "3", "5", "7", "12", "13"},
         {0, 3, 5, 7}},
        {"file", [](NumberWindowTest& t) { t.augmentFrom(t.writeFile("road.rcn", "1\n#9\n\n8\n100\n")); },
         {"x", "1", "3", "5", "8", "12", "100"}, {1, 3, 5, 8}},
        {"grid",
         [](NumberWindowTest& t) { t.answerGrid({{3, false}, {9, true}, {50, true}}); },
         {"x", "5", "9", "12", "50"}, {5, 9}},
        {"Remove Highlighted", [](NumberWindowTest& t) {
             t.select({0, 1, 3}); // x, 3, 12
             t.push("PB_removeNumbers");
         },
         {"5"}, {5}},
        {"Clear All, Confirm", [](NumberWindowTest& t) { t.push("PB_clearNumbers"); }, {}, {}},
        {"Clear All, Cancel",
         [](NumberWindowTest& t) {
             t.log.reply = "Cancel";
             t.push("PB_clearNumbers");
         },
         start, {3, 5}},
        {"preset", [](NumberWindowTest& t) { t.push("PB_addEvenTens"); },
         QStringList{"x", "3", "5", "10", "12"} + numbersFrom(20, 90, 10), {3, 5}},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        reopen();
        addList("x,3,5,12");
        ASSERT_EQ(rows(), start);
        road.act(*this);
        EXPECT_EQ(rows(), road.rows);
        EXPECT_EQ(ticked(), road.ticked);
        EXPECT_TRUE(inStep());
    }
}

// ---- Remove Highlighted, Clear All

struct RemoveCase {
    const char* name;
    std::vector<int> selected;
    QStringList rows;
    Digits ticked;
};

TEST_F(NumberWindowTest, RemoveHighlightedTakesExactlyTheSelectedRows)
{
    // Rows: 0 "x", 1 "y", 2 "0", 3 "3", 4 "5", 5 "12", 6 "40".
    const RemoveCase cases[] = {
        {"nothing selected", {}, {"x", "y", "0", "3", "5", "12", "40"}, {0, 3, 5}},
        {"text, digit and number", {0, 3, 5}, {"y", "0", "5", "40"}, {0, 5}},
        {"one run of rows", {1, 2, 3, 4}, {"x", "12", "40"}, {}},
        {"every row", {0, 1, 2, 3, 4, 5, 6}, {}, {}},
        {"only digits", {3, 4}, {"x", "y", "0", "12", "40"}, {0}},
        {"the digit 0", {2}, {"x", "y", "3", "5", "12", "40"}, {3, 5}},
    };
    for (const RemoveCase& c : cases) {
        SCOPED_TRACE(c.name);
        reopen();
        addList("x,y,0,3,5,12,40");
        for (int row : c.selected)
            list()->setSelected(row, true);
        push("PB_removeNumbers");
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(ticked(), c.ticked);
        EXPECT_TRUE(inStep());
        EXPECT_TRUE(log.shown.empty());
    }
}

TEST_F(NumberWindowTest, ClearAllAsksAndEmptiesEverythingOnlyOnConfirm)
{
    const auto fill = [this] {
        addList("x,3,12");
        retype("EF_rangeStart", "20");
        retype("EF_rangeEnd", "22");
    };
    fill();
    log.reply = "Cancel";
    push("PB_clearNumbers");
    ASSERT_EQ(log.shown.size(), 1u);
    EXPECT_EQ(log.shown[0].message, kClearQuestion);
    EXPECT_EQ(log.shown[0].explanation, "");
    EXPECT_EQ(log.shown[0].buttons, (QStringList{"Confirm", "Cancel"}));
    EXPECT_EQ(rows(), (QStringList{"x", "3", "12"}));
    EXPECT_EQ(field("EF_rangeStart")->Text(), "20");
    EXPECT_EQ(field("EF_CSV")->Text(), "x,3,12");
    EXPECT_TRUE(button("PB_addRange")->Enabled());
    EXPECT_TRUE(button("PB_addCSV")->Enabled());
    EXPECT_TRUE(inStep());

    log.reply = "Confirm";
    push("PB_clearNumbers");
    EXPECT_EQ(rows(), QStringList());
    EXPECT_EQ(count(), "0");
    EXPECT_EQ(ticked(), Digits());
    for (const char* name : {"EF_rangeStart", "EF_rangeEnd", "EF_CSV"})
        EXPECT_EQ(field(name)->Text(), "") << name;
    EXPECT_FALSE(button("PB_addRange")->Enabled());
    EXPECT_FALSE(button("PB_addCSV")->Enabled());

    // A box dismissed without a button is no confirmation.
    fill();
    fw::ModalSeam::setMessageHandler([](const fw::MessageRequest&) { return QString(); });
    push("PB_clearNumbers");
    EXPECT_EQ(rows(), (QStringList{"x", "3", "12"}));
}

// ---- ranges

struct RangeCase {
    const char* start;
    const char* end;
    QStringList rows;
    Digits ticked;
    QString message; // a text the one message holds; none expected when empty
};

TEST_F(NumberWindowTest, AddRangeTakesBothBoundsOrRefusesWithAMessage)
{
    const RangeCase cases[] = {
        {"5", "5", {"5"}, {5}, {}},
        {"7", "3", {}, {}, kRangeOrder},
        {"8", "12", numbersFrom(8, 12), {8, 9}, {}},
        {"5", "10", numbersFrom(5, 10), digitsFrom(5, 9), {}},
        {"10", "10", {"10"}, {}, {}},
        {"9", "9", {"9"}, {9}, {}},
        {"0", "9", numbersFrom(0, 9), digitsFrom(0, 9), {}},
        {"0", "0", {"0"}, {0}, {}},
        {"0010", "0012", numbersFrom(10, 12), {}, {}},
        {"0000000000000000000005", "6", {"5", "6"}, {5, 6}, {}},
        {"2147483645", "2147483647", numbersFrom(2147483645, 2147483647), {}, {}},
        {"2147483647", "2147483647", {"2147483647"}, {}, {}},
        {"2147483648", "2147483648", {}, {}, "2147483647"},
        {"1", "2147483648", {}, {}, "2147483647"},
        {"9999999999999999999999", "1", {}, {}, "2147483647"},
        {"0", "10000000", {}, {}, "10,000,000"},
        {"0", "2147483647", {}, {}, "10,000,000"},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " to " + c.end);
        reopen();
        addRange(c.start, c.end);
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(ticked(), c.ticked);
        EXPECT_TRUE(inStep());
        if (c.message.isEmpty()) {
            EXPECT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
        } else {
            ASSERT_EQ(log.shown.size(), 1u);
            EXPECT_TRUE(log.shown[0].message.contains(c.message)) << log.shown[0].message.toStdString();
            EXPECT_EQ(log.shown[0].buttons, QStringList{"OK"});
        }
        // The fields keep their text and the button stays enabled.
        EXPECT_EQ(field("EF_rangeStart")->Text(), c.start);
        EXPECT_TRUE(button("PB_addRange")->Enabled());
    }
    // The order message is the system's own text, exactly.
    reopen();
    addRange("7", "3");
    ASSERT_EQ(log.shown.size(), 1u);
    EXPECT_EQ(log.shown[0].message, kRangeOrder);
}

TEST_F(NumberWindowTest, RangeAddsOnlyMissingValuesAndAcceptsExactlyTheCap)
{
    addList("3,15,x");
    addRange("1", "20");
    EXPECT_EQ(rows(), QStringList{"x"} + numbersFrom(1, 20));
    EXPECT_EQ(count(), "21");
    addRange("1", "20");
    EXPECT_EQ(count(), "21");
    EXPECT_TRUE(inStep());

    reopen();
    addRange("10", "10000009"); // 10,000,000 values: the largest range accepted
    EXPECT_TRUE(log.shown.empty());
    EXPECT_EQ(list()->ListCount(), 10000000);
    EXPECT_EQ(count(), "10000000");
    EXPECT_EQ(list()->List(0), "10");
    EXPECT_EQ(list()->List(9999999), "10000009");
    addRange("10", "10000010");
    ASSERT_EQ(log.shown.size(), 1u);
    EXPECT_EQ(count(), "10000000");
}

TEST_F(NumberWindowTest, AddButtonsFollowTheirFields)
{
    EXPECT_FALSE(button("PB_addRange")->Enabled());
    type("EF_rangeStart", "12");
    EXPECT_FALSE(button("PB_addRange")->Enabled());
    type("EF_rangeEnd", "3");
    EXPECT_TRUE(button("PB_addRange")->Enabled());
    erase("EF_rangeEnd");
    EXPECT_FALSE(button("PB_addRange")->Enabled());
    type("EF_rangeEnd", "a -");
    EXPECT_EQ(field("EF_rangeEnd")->Text(), "");
    EXPECT_FALSE(button("PB_addRange")->Enabled());
    type("EF_rangeEnd", "1x4");
    EXPECT_EQ(field("EF_rangeEnd")->Text(), "14");
    EXPECT_TRUE(button("PB_addRange")->Enabled());
    erase("EF_rangeStart");
    erase("EF_rangeStart");
    EXPECT_FALSE(button("PB_addRange")->Enabled());
    retype("EF_rangeStart", "12345678901234567890123");
    EXPECT_EQ(field("EF_rangeStart")->Text(), "1234567890123456789012");
    // The narrow bounds show a long number whole, from its first digit to its last, once the keys
    // have gone elsewhere.
    retype("EF_rangeEnd", "9999999");
    field("EF_CSV")->SetFocus();
    QTRY_VERIFY(field("EF_CSV")->widget()->hasFocus());
    for (const char* name : {"EF_rangeStart", "EF_rangeEnd"})
        EXPECT_TRUE(testsupport::showsWhole(*field(name))) << name;

    EXPECT_FALSE(button("PB_addCSV")->Enabled());
    push("PB_addCSV"); // disabled: does nothing
    type("EF_CSV", "x");
    EXPECT_TRUE(button("PB_addCSV")->Enabled());
    erase("EF_CSV");
    EXPECT_FALSE(button("PB_addCSV")->Enabled());
    type("EF_CSV", " ");
    EXPECT_TRUE(button("PB_addCSV")->Enabled());
    EXPECT_EQ(rows(), QStringList());
}

// ---- comma lists and presets

struct ListCase {
    const char* csv;
    QStringList rows;
    Digits ticked;
};

TEST_F(NumberWindowTest, AddListTakesEveryTokenAsWritten)
{
    const ListCase cases[] = {
        {"3,12,abc", {"abc", "3", "12"}, {3}},
        {"1, 2", {" 2", "1"}, {1}},
        {"007,0012", {"7", "12"}, {7}},
        {"3,,12,", {"3", "12"}, {3}},
        {",,,", {}, {}},
        {",0", {"0"}, {0}},
        {" , ,", {" "}, {}},
        {"x ,x", {"x", "x "}, {}},
        {"1 2,\t3", {"\t3", "1 2"}, {}},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.csv);
        reopen();
        addList(c.csv);
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(ticked(), c.ticked);
        EXPECT_TRUE(inStep());
        EXPECT_TRUE(log.shown.empty());
        EXPECT_EQ(field("EF_CSV")->Text(), c.csv);
    }
}

struct PasteCase {
    const char* name;
    QString pasted;
    QStringList rows;
    Digits ticked;
    QString shown = {}; // what the field shows, when not the pasted text
};

TEST_F(NumberWindowTest, PastedLinesAreEntriesLikeCommaSeparatedOnes)
{
    const PasteCase cases[] = {
        {"column with LF", "12\n13\n14\n", {"12", "13", "14"}, {}},
        {"column with CRLF", "3\r\n40\r\nx y\r\n", {"x y", "3", "40"}, {3}},
        {"column with CR", "5\r50\r", {"5", "50"}, {5}},
        {"lines of comma lists, blank lines", "1,2\n\n 3,x\r\n\r\n", {" 3", "x", "1", "2"}, {1, 2}},
        {"control characters but NUL", QStringLiteral("a") + QChar(0) + QStringLiteral("b,\u0001\t\u001F\u007F,7"), {"\u0001\t\u001F\u007F", "ab", "7"}, {7},
         "ab,\u0001\t\u001F\u007F,7"},
    };
    for (const PasteCase& c : cases) {
        SCOPED_TRACE(c.name);
        reopen();
        paste("EF_CSV", c.pasted);
        // Shown and kept as pasted, line breaks included.
        EXPECT_EQ(field("EF_CSV")->Text(), c.shown.isEmpty() ? c.pasted : c.shown);
        ASSERT_TRUE(button("PB_addCSV")->Enabled());
        push("PB_addCSV");
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(ticked(), c.ticked);
        EXPECT_TRUE(inStep());

        // The saved file holds exactly the rows the user sees, one per line, and reads back as them.
        const QString path = folder.filePath("pasted.rcn");
        saveTo(path);
        EXPECT_EQ(testsupport::readFile(path), (c.rows.join(u'\n') + u'\n').toUtf8());
        log.reply = "Confirm";
        push("PB_clearNumbers");
        log.clear();
        augmentFrom(path);
        EXPECT_EQ(rows(), c.rows);
        EXPECT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
    }
}

TEST_F(NumberWindowTest, CommaListTakesPastedTextOfAnyLength)
{
    // Far beyond the 32,767 characters a line edit keeps by default.
    const QStringList numbers = numbersFrom(100000, 109999);
    const QString pasted = numbers.join(u',');
    ASSERT_GT(pasted.size(), 65536);
    paste("EF_CSV", pasted);
    EXPECT_EQ(field("EF_CSV")->Text().size(), pasted.size());
    push("PB_addCSV");
    EXPECT_EQ(count(), "10000");
    EXPECT_TRUE(rows() == numbers) << "first row " << list()->List(0).toStdString() << ", last row "
                                   << list()->List(list()->ListCount() - 1).toStdString();

    field("EF_CSV")->setText(pasted + ",7");
    EXPECT_EQ(field("EF_CSV")->Text().size(), pasted.size() + 2);
    push("PB_addCSV");
    EXPECT_EQ(count(), "10001");
    EXPECT_EQ(ticked(), Digits{7});
}

struct PresetCase {
    const char* button;
    QStringList rows;
};

TEST_F(NumberWindowTest, PresetsAddTheirSetOnceAndKeepTheRest)
{
    const PresetCase cases[] = {
        {"PB_addEvenTens", numbersFrom(10, 90, 10)},
        {"PB_addEH", numbersFrom(100, 900, 100)},
        {"PB_addET", numbersFrom(1000, 99000, 1000)},
    };
    for (const PresetCase& c : cases) {
        SCOPED_TRACE(c.button);
        reopen();
        push(c.button);
        EXPECT_EQ(rows(), c.rows);
        push(c.button);
        EXPECT_EQ(rows(), c.rows);
        addList("x,4,99001");
        push(c.button);
        EXPECT_EQ(rows(), (QStringList{"x", "4"} + c.rows + QStringList{"99001"}));
        EXPECT_EQ(ticked(), Digits{4});
        EXPECT_TRUE(inStep());
    }
}

// ---- the 0-to-99 grid

struct GridCase {
    const char* name;
    std::function<void(fw::Window&)> drive;
    QStringList rows;
    Digits ticked;
};

TEST_F(NumberWindowTest, GridExchangeAppliesOnlyDoneAndOnlyToZeroToNinetyNine)
{
    const QStringList before{"txt", "5", "42", "99", "150"};
    const GridCase cases[] = {
        {"Done at once", [](fw::Window& g) { gridPush(g, "PB_done"); }, before, {5}},
        {"untick 42, tick 7, Done",
         [](fw::Window& g) {
             gridTick(g, 42, false);
             gridTick(g, 7, true);
             gridPush(g, "PB_done");
         },
         {"txt", "5", "7", "99", "150"}, {5, 7}},
        {"Cancel after changes",
         [](fw::Window& g) {
             gridPush(g, "PB_selectAll");
             gridPush(g, "PB_cancel");
         },
         before, {5}},
        {"close box after changes",
         [](fw::Window& g) {
             gridPush(g, "PB_clearAll");
             g.close();
         },
         before, {5}},
        {"Clear All, Done",
         [](fw::Window& g) {
             gridPush(g, "PB_clearAll");
             gridPush(g, "PB_done");
         },
         {"txt", "150"}, {}},
        {"Select All, Done",
         [](fw::Window& g) {
             gridPush(g, "PB_selectAll");
             gridPush(g, "PB_done");
         },
         QStringList{"txt"} + numbersFrom(0, 99) + QStringList{"150"}, digitsFrom(0, 9)},
    };
    for (const GridCase& c : cases) {
        SCOPED_TRACE(c.name);
        reopen();
        addList("txt,5,042,99,150");
        exchange(c.drive);
        EXPECT_EQ(gridTicks, (Digits{5, 42, 99}));
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(ticked(), c.ticked);
        EXPECT_TRUE(inStep());
        testsupport::settle();
        EXPECT_TRUE(openGrids().empty());
    }

    reopen();
    exchange([](fw::Window& g) { gridPush(g, "PB_done"); });
    EXPECT_EQ(gridTicks, Digits());
    EXPECT_EQ(rows(), QStringList());
}

TEST_F(NumberWindowTest, ClosingTheNumberWindowClosesTheGrid)
{
    addList("1,2");
    QPointer<fw::Window> grid;
    exchange([&](fw::Window& g) {
        grid = &g;
        gridPush(g, "PB_selectAll");
        w->Close();
        EXPECT_TRUE(g.isClosed());
    });
    EXPECT_TRUE(grid.isNull() || grid->isClosed());
    EXPECT_TRUE(openGrids().empty());
    testsupport::settle();
    EXPECT_TRUE(w.isNull());

    // With no grid open, closing leaves none behind.
    open();
    closeWindow();
    EXPECT_TRUE(openGrids().empty());
}

TEST_F(NumberWindowTest, AddZeroToNinetyNineOnlyFocusesAGridAlreadyShown)
{
    Grid* grid = Grid::instance();
    grid->Show();
    bool driven = false;
    fw::ModalSeam::setWindowHandler([&](fw::Window&) { driven = true; });
    push("PB_add0to99");
    EXPECT_FALSE(driven);
    EXPECT_FALSE(grid->isClosed());
    EXPECT_EQ(rows(), QStringList());
    grid->Close();
}

// ---- number-list files

struct ReadCase {
    const char* name;
    QByteArray bytes;
    QStringList rows;
    Digits ticked;
};

TEST_F(NumberWindowTest, AugmentReadsEveryLineEndAndSkipsCommentsAndEmptyLines)
{
    const ReadCase cases[] = {
        {"mixed lines", "3\n007\n12\nabc\n# a comment\n\n 5\n", {" 5", "abc", "3", "7", "12"}, {3, 7}},
        {"no final line end", "12\n13", {"12", "13"}, {}},
        {"CRLF", "1\r\n20\r\nx y\r\n\r\n", {"x y", "1", "20"}, {1}},
        {"CR", "9\r10\r#c\rz\r", {"z", "9", "10"}, {9}},
        {"mixed line ends", "a\rb\r\nc\nd", {"a", "b", "c", "d"}, {}},
        {"blanks and hashes inside", "   \n #x\na#b\n", {"   ", " #x", "a#b"}, {}},
        {"beyond 32 bits", "2147483647\n2147483648\n00000000002\n", {"2147483648", "2", "2147483647"}, {2}},
        {"empty file", "", {}, {}},
        {"comments only", "#1\n#2", {}, {}},
        {"byte order mark", "\xEF\xBB\xBF" "4\n", {"4"}, {4}},
        {"UTF-8 text", "\xC3\xA9t\xC3\xA9\n\xEF\xBF\xBD\n", {"\u00e9t\u00e9", "\uFFFD"}, {}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        reopen();
        const QString path = writeFile(QStringLiteral("read.rcn"), c.bytes);
        augmentFrom(path);
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(ticked(), c.ticked);
        EXPECT_TRUE(inStep());
        EXPECT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
        // Augmenting again adds nothing.
        log.clear();
        augmentFrom(path);
        EXPECT_EQ(rows(), c.rows);
    }
}

struct NonTextCase {
    const char* name;
    QByteArray bytes;
    int line; // the first line that is not UTF-8 text
    const char* reason = "is not UTF-8 text.";
};

TEST_F(NumberWindowTest, AFileThatIsNotUtf8TextAddsNothingAndNamesItsFirstBadLine)
{
    QByteArray late = numbersFrom(100, 199).join(u'\n').toUtf8() + "\n";
    late += QByteArray(1 << 20, '7') + "\r\n\xFF\n"; // past the first read chunk
    const NonTextCase cases[] = {
        {"Latin-1 list", "12\r\n# caf\xE9\r\n13\r\nna\xEFve\r\n", 2},
        {"binary with NUL bytes", QByteArray("5\n6\n\x7F" "ELF\x02\x01\x01\x00\x00\x00\n", 12), 3, "holds a NUL byte: it is not a text file."},
        {"a NUL between letters", QByteArray("1\na\0b\n7\n", 9), 2, "holds a NUL byte: it is not a text file."},
        {"a NUL cutting a sequence short", QByteArray("1\n\xC3\0\n", 5), 2},
        {"UTF-16", QByteArray("\xFF\xFE" "1\x00\n\x00", 6), 1},
        {"late in a large file", late, 102},
    };
    addList("x,4");
    const QStringList before = rows();
    for (const NonTextCase& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        const QString path = writeFile(QStringLiteral("odd.rcn"), c.bytes);
        augmentFrom(path);
        ASSERT_EQ(log.shown.size(), 1u);
        EXPECT_EQ(log.shown[0].message, QStringLiteral("Nothing was added from the number list file \"%1\": line %2 %3")
                                            .arg(path)
                                            .arg(c.line)
                                            .arg(QLatin1String(c.reason)));
        EXPECT_EQ(rows(), before);
        EXPECT_TRUE(inStep());
    }
}

// The sanitizers keep freed memory aside and shadow what is used: the process's figures tell
// nothing of the program's own under them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define NAW_MEMORY_FIGURES_UNTOLD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define NAW_MEMORY_FIGURES_UNTOLD 1
#endif
#endif

// The figure of /proc/self/status that starts with key, in kB; -1 where the system cannot tell.
qint64 statusKb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qsizetype(std::strlen(key))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// The process's peak resident size in kB since the last reset; -1 where the system cannot tell.
qint64 peakMemoryKb(bool reset)
{
    if (reset) {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
            return -1;
    }
    return statusKb("VmHWM:");
}

TEST_F(NumberWindowTest, AugmentHoldsARepeatedLineOnce)
{
    // 16 MB in eight million lines of two entries: the entries are what is kept, not the lines.
    QByteArray bytes;
    bytes.reserve(16 << 20);
    for (int i = 0; i < 4000000; ++i)
        bytes += "7\n12\n";
    const QString path = writeFile(QStringLiteral("same.rcn"), bytes);
    bytes = QByteArray();
#if defined(NAW_MEMORY_FIGURES_UNTOLD)
    GTEST_SKIP() << "a sanitizer keeps freed memory aside: the peak tells nothing";
#endif
    const qint64 before = peakMemoryKb(true);
    if (before < 0)
        GTEST_SKIP() << "no peak memory figure here";
    augmentFrom(path);
    EXPECT_EQ(rows(), (QStringList{"7", "12"}));
    EXPECT_LT(peakMemoryKb(false) - before, 128 * 1024);
}

TEST_F(NumberWindowTest, FileDialogsAskWhatTheListNeeds)
{
    EXPECT_EQ(NumberWindow::suggestedListFileName(QDate(2026, 3, 7)), "numList_20260307.rcn");
    EXPECT_EQ(NumberWindow::suggestedListFileName(QDate(2026, 12, 25)), "numList_20261225.rcn");
    EXPECT_EQ(NumberWindow::suggestedListFileName(QDate(987, 1, 1)), "numList_9870101.rcn");

    saveTo(QString()); // cancelled
    augmentFrom(QString());
    ASSERT_EQ(fileRequests.size(), 2u);
    const fw::FileRequest& save = fileRequests[0];
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.title, "Select a number list file name to create");
    EXPECT_EQ(save.filter, "Number List (*.rcn)");
    EXPECT_EQ(QDir(save.initialFolder), QDir(folder.path()));
    EXPECT_EQ(save.suggestedName, NumberWindow::suggestedListFileName(QDate::currentDate()));
    const fw::FileRequest& load = fileRequests[1];
    EXPECT_FALSE(load.save);
    EXPECT_EQ(load.title, "Select a number list file to open");
    EXPECT_EQ(load.filter, "Number List (*.rcn)");
    EXPECT_EQ(QDir(load.initialFolder), QDir(folder.path()));

    EXPECT_TRUE(log.shown.empty());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList());
    EXPECT_EQ(rows(), QStringList());
}

TEST_F(NumberWindowTest, SaveWritesTheRowsWithLineFeedsAndReadsBack)
{
    addList(" 12,12a,X,x,#tag,3,12,2147483647,2147483648,\u00e9");
    const QString path = folder.filePath("list.rcn");
    saveTo(path);
    EXPECT_TRUE(log.shown.empty());
    EXPECT_EQ(testsupport::readFile(path),
              QByteArray(" 12\n#tag\n12a\n2147483648\nX\nx\n\xC3\xA9\n3\n12\n2147483647\n"));

    const QStringList saved = rows();
    log.reply = "Confirm";
    push("PB_clearNumbers");
    ASSERT_EQ(rows(), QStringList());
    augmentFrom(path);
    QStringList expected = saved;
    expected.removeAll("#tag"); // reading skips comment lines
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(ticked(), Digits{3});
    EXPECT_TRUE(inStep());

    // Saving again replaces the file whole and leaves no temporary file behind.
    writeFile("list.rcn", QByteArray(4096, 'z'));
    push("PB_clearNumbers");
    digit(0)->setValue(true);
    saveTo(path);
    EXPECT_EQ(testsupport::readFile(path), "0\n");
    push("PB_clearNumbers");
    saveTo(path);
    EXPECT_EQ(testsupport::readFile(path), "");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"list.rcn"});
}

TEST_F(NumberWindowTest, FilesThatCannotBeUsedAreNamedInAMessage)
{
    addList("x,4");
    const QStringList before = rows();

    // Each message names the file once, with the reason after it.
    const QString missing = folder.filePath("missing.rcn");
    augmentFrom(missing);
    ASSERT_EQ(log.shown.size(), 1u);
    EXPECT_EQ(log.shown[0].message, QStringLiteral("Could not open the number list file \"%1\": %2")
                                        .arg(missing, QString::fromLocal8Bit(std::strerror(ENOENT))));

    // Neither a folder nor a device is a list; either is refused at once.
    for (const QString& notAFile : {folder.path(), QStringLiteral("/dev/zero")}) {
        log.clear();
        augmentFrom(notAFile);
        ASSERT_EQ(log.shown.size(), 1u);
        EXPECT_EQ(log.shown[0].message.count(notAFile), 1) << log.shown[0].message.toStdString();
    }

    log.clear();
    const QString nowhere = folder.filePath("no/such/folder/list.rcn");
    saveTo(nowhere);
    ASSERT_EQ(log.shown.size(), 1u);
    EXPECT_TRUE(log.shown[0].message.startsWith("Could not save the number list file \"" + nowhere + "\": "))
        << log.shown[0].message.toStdString();
    EXPECT_EQ(log.shown[0].message.count(nowhere), 1) << log.shown[0].message.toStdString();
    EXPECT_FALSE(QFile::exists(nowhere));
    EXPECT_FALSE(QDir(folder.filePath("no")).exists());

    log.clear();
    saveTo(folder.path()); // a folder cannot become a list
    ASSERT_EQ(log.shown.size(), 1u);
    EXPECT_EQ(log.shown[0].message,
              QStringLiteral("Could not save the number list file \"%1\": it is a folder").arg(folder.path()));
    EXPECT_TRUE(QFileInfo(folder.path()).isDir());

    EXPECT_EQ(rows(), before);
    EXPECT_TRUE(inStep());
}

TEST_F(NumberWindowTest, SaveOverAFileInAFolderThatTakesNoNewFileWritesItInPlace)
{
    const QString locked = folder.filePath("locked");
    ASSERT_TRUE(QDir().mkdir(locked));
    const QString path = locked + "/list.rcn";
    writeFile("locked/list.rcn", "an older, longer list\n");
    testsupport::FolderLock lock(locked);
    if (!lock.locked())
        GTEST_SKIP() << "no folder can be locked here";

    addList("x,4,12");
    saveTo(path);
    EXPECT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
    EXPECT_EQ(testsupport::readFile(path), "x\n4\n12\n");

    // A new file cannot be made there: the message says so and names the folder.
    const QString fresh = locked + "/fresh.rcn";
    saveTo(fresh);
    ASSERT_EQ(log.shown.size(), 1u);
    EXPECT_TRUE(log.shown[0].message.contains("folder \"" + locked + "\""))
        << log.shown[0].message.toStdString();
    EXPECT_EQ(log.shown[0].message.count(fresh), 1) << log.shown[0].message.toStdString();
    EXPECT_FALSE(QFile::exists(fresh));
}

TEST_F(NumberWindowTest, SaveOverAReadOnlyFileSaysTheFileIsReadOnly)
{
    const QString path = writeFile("kept.rcn", "kept\n");
    ReadOnlyFile readOnly(path);
    if (!readOnly.made())
        GTEST_SKIP() << "no file can be made read-only here";
    addList("x,4,12");
    saveTo(path);
    ASSERT_EQ(log.shown.size(), 1u);
    const QString message = log.shown[0].message;
    EXPECT_TRUE(message.startsWith("Could not save the number list file \"" + path + "\": the file is read-only ("))
        << message.toStdString();
    EXPECT_FALSE(message.contains("folder")) << message.toStdString();
    EXPECT_EQ(testsupport::readFile(path), "kept\n");
}

TEST_F(NumberWindowTest, ASaveThatFailsToCommitIsReportedAndKeepsTheFormerFile)
{
    const struct {
        const char* name;
        bool syncFails; // else the disk is full after four bytes
        int error;
    } cases[] = {{"disk full", false, EFBIG}, {"the text does not reach the disk", true, EIO}};
    addList("x,4,12");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        const QString path = writeFile("list.rcn", "old\n");
        {
            std::optional<testsupport::FileSizeLimit> full;
            if (c.syncFails)
                fsyncError = c.error;
            else
                full.emplace(4);
            saveTo(path);
            fsyncError = 0;
        }
        ASSERT_EQ(log.shown.size(), 1u);
        EXPECT_EQ(log.shown[0].message,
                  QStringLiteral("Could not save the number list file \"%1\": %2; the file is unchanged")
                      .arg(path, QString::fromLocal8Bit(std::strerror(c.error))));
        EXPECT_EQ(testsupport::readFile(path), "old\n");
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"list.rcn"});
    }
}

// Two hundred thousand seven-digit numbers and a text entry: more than one read chunk.
QByteArray numberFile()
{
    QByteArray bytes;
    for (int i = 0; i < 200000; ++i)
        bytes += QByteArray::number(1000000 + i) + '\n';
    return bytes + "abc\n";
}

struct ReadFailureCase {
    const char* name;
    ReadFault fault;
    QString reason; // empty when what the file held at open is added
};

TEST_F(NumberWindowTest, AFileThatFailsWhileReadingAddsNothing)
{
    const ReadFailureCase cases[] = {
        {"read error", ReadFault::Fail, QString::fromLocal8Bit(std::strerror(EIO))},
        {"cut while read", ReadFault::Shrink, QStringLiteral("the file became shorter while it was read")},
        {"appended to while read", ReadFault::Grow, {}},
        {"rewritten in place at the same size", ReadFault::Rewrite, QStringLiteral("the file changed while it was read")},
    };
    addList("x");
    for (const ReadFailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        const QString path = writeFile(QStringLiteral("failing.rcn"), numberFile());
        // Written an hour ago, so that a change now shows in the modification time, however coarse.
        const struct timespec anHourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), anHourAgo, 0), 0);
        {
            FileFault fault(path, c.fault);
            augmentFrom(path);
        }
        if (c.reason.isEmpty()) {
            EXPECT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
            EXPECT_EQ(count(), "200002"); // "x", 200,000 numbers and "abc"; nothing appended
            EXPECT_TRUE(inStep());
            log.reply = "Confirm";
            push("PB_clearNumbers");
            addList("x");
            continue;
        }
        ASSERT_EQ(log.shown.size(), 1u);
        EXPECT_EQ(log.shown[0].message, QStringLiteral("Could not read the number list file \"%1\": %2").arg(path, c.reason));
        EXPECT_EQ(rows(), QStringList{"x"});
        EXPECT_TRUE(inStep());
    }
}

// A long read keeps the window drawn and busy, and what the user clicks meanwhile goes nowhere: not
// to "Clear All Selections" once the read is over.
TEST_F(NumberWindowTest, InputGivenDuringALongReadIsDropped)
{
    addList("x");
    const QString path = writeFile(QStringLiteral("slow.rcn"), numberFile());
    std::optional<Qt::CursorShape> cursor;
    QTimer::singleShot(100, [this, &cursor] {
        if (const QCursor* shown = QGuiApplication::overrideCursor())
            cursor = shown->shape();
        QTest::mouseClick(button("PB_clearNumbers")->widget(), Qt::LeftButton);
    });
    {
        FileFault fault(path, ReadFault::Slow);
        augmentFrom(path);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(cursor, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
    EXPECT_EQ(count(), "200002");
}

} // namespace

// The busy-read tests refuse the read its thread: a definition in the program is found before the
// system's, by the C++ library too; any other call goes on to the system's.
std::atomic<bool> refuseThreads{false};
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*),
                              void* argument) noexcept
{
    if (refuseThreads.load())
        return EAGAIN;
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto real = reinterpret_cast<Create>(::dlsym(RTLD_NEXT, "pthread_create"));
    return real(thread, attributes, start, argument);
}

namespace {

// A long read ends as soon as the user leaves it: a window is asked to close, or a quit signal comes.
// Within a second, whatever is left to read; nothing is added and nothing said, and the window then
// closes, or the program quits. A read that cannot even start says why and adds nothing either.
TEST_F(NumberWindowTest, ALongReadEndsAtOnceWhenTheUserLeavesAndSaysWhenItCannotStart)
{
    QByteArray bytes = numberFile(); // a megabyte and a half
    for (int i = 0; i < 4; ++i)
        bytes += bytes; // twenty-five: some four seconds at the slow reads' pace
    const QString path = writeFile(QStringLiteral("long.rcn"), bytes);
    bytes = QByteArray();
    enum Leave { CloseRequest, QuitSignal, NoThread };
    const struct {
        const char* name;
        Leave leave;
        int exitCode;
        QStringList messages;
    } cases[] = {
        {"window asked to close", CloseRequest, 0, {}},
        {"quit signal", QuitSignal, 128 + SIGTERM, {}},
        {"no thread for the read", NoThread, 0,
         {QStringLiteral("Could not read the number list file \"%1\": the read could not be started (%2).")
              .arg(path, QString::fromLocal8Bit(std::strerror(EAGAIN)))}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!w)
            open();
        addList("x");
        log.clear();
        fw::Application app;
        QElapsedTimer sinceLeft;
        qint64 leftAfterMs = -1;
        QString countAfter;
        bool closedAfter = false;
        bool shownAfterRequest = true;
        QObject row; // the timers go with the row
        QTimer::singleShot(0, &row, [&] {
            QTimer::singleShot(300, &row, [&] {
                sinceLeft.start();
                if (c.leave == CloseRequest) {
                    QCloseEvent request; // as the window system gives it
                    QCoreApplication::sendEvent(w->windowHandle(), &request);
                    shownAfterRequest = w->isVisible();
                } else if (c.leave == QuitSignal) {
                    ::raise(SIGTERM);
                }
            });
            refuseThreads = c.leave == NoThread;
            {
                FileFault fault(path, ReadFault::Slow);
                augmentFrom(path);
            }
            refuseThreads = false;
            leftAfterMs = sinceLeft.isValid() ? sinceLeft.elapsed() : -1;
            countAfter = count();
            closedAfter = w->isClosed();
            if (c.leave != QuitSignal)
                app.Quit(0);
        });
        EXPECT_EQ(app.Run(), c.exitCode);
        EXPECT_EQ(log.messages(), c.messages);
        EXPECT_EQ(countAfter, "1"); // "x" alone
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(closedAfter, c.leave == CloseRequest);
        EXPECT_EQ(shownAfterRequest, c.leave != CloseRequest) << "a window asked to close is not out of sight at once";
        if (c.leave != NoThread) {
            EXPECT_GE(leftAfterMs, 0) << "the read ended before the user left";
            EXPECT_LT(leftAfterMs, 1000);
        }
        testsupport::settle();
    }
}

struct BoundsCase {
    const char* name;
    QByteArray bytes;
    std::vector<qint32> numbers;
    std::vector<QString> texts;
    QString reason; // empty when the file is taken
};

TEST_F(NumberWindowTest, AFileBeyondTheBoundsIsRefusedAndSaysWhy)
{
    // Small bounds stand in for the real ones: 5 different entries, 12 bytes of text entries.
    const NumberListBounds bounds{5, 12};
    const QString noList = QStringLiteral(" No list can take this file whole, not even an empty one.");
    const QString tooMany =
        QStringLiteral("it holds more than 5 different entries. A list holds at most that many, so that every saved list reads back.") + noList;
    const QString moreText = QStringLiteral(" A list holds at most that much text, so that every saved list reads back.");
    const QString tooMuchText =
        QStringLiteral("its text entries (lines that are not whole numbers) hold more than 12 bytes.") + moreText + noList;
    QByteArray repeated; // past the first compaction of values out of order
    for (int i = 0; i < 600000; ++i)
        repeated += "3\n1\n";
    const BoundsCase cases[] = {
        {"five ascending", "1\n2\n3\n4\n5\n", {1, 2, 3, 4, 5}, {}, {}},
        {"six ascending", "1\n2\n3\n4\n5\n6\n", {}, {}, tooMany},
        {"six descending", "6\n5\n4\n3\n2\n1\n", {}, {}, tooMany},
        {"numbers and texts together", "1\n2\n3\na\nb\nc\n", {}, {}, tooMany},
        {"two different lines repeated", repeated, {1, 3}, {}, {}},
        {"the same number on consecutive lines", "1\n1\n2\n", {1, 2}, {}, {}},
        {"comments and empty lines are no entries", "#1\n#2\n#3\n\n\n\n\n7\n", {7}, {}, {}},
        {"twelve bytes of text", "abcdef\nghijkl\n", {}, {"abcdef", "ghijkl"}, {}},
        {"a repeated text counts once", "abcdefgh\nabcdefgh\nabcdefgh\n", {}, {"abcdefgh"}, {}},
        {"thirteen bytes of text", "abcdef\nghijklm\n", {}, {}, tooMuchText},
        {"counted in UTF-8 bytes", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\n", {}, {}, tooMuchText},
        {"astral text counts four bytes a character", "\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\n", {}, {QString::fromUtf8("\U0001F600\U0001F600\U0001F600")}, {}},
        {"astral text and one byte more", "\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80" "a\n", {}, {}, tooMuchText},
        {"text out of order counted as it comes", "ghijkl\nabcdef\nmn\n", {}, {}, tooMuchText},
        {"a repeat out of order counts once", "b\nabcdefgh\nb\nabcdefgh\nb\n1\n", {1}, {"abcdefgh", "b"}, {}},
        {"a line longer than the text", "1\n1234567890123\n2\n", {}, {},
         QStringLiteral("line 2 is longer than 12 bytes.") + moreText},
    };
    for (const BoundsCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = writeFile(QStringLiteral("bounded.rcn"), c.bytes);
        const NumberListContent content = readNumberList(fw::FolderItem(path), bounds);
        if (c.reason.isEmpty()) {
            EXPECT_EQ(content.refusal, QString());
            EXPECT_EQ(content.numbers, c.numbers);
            EXPECT_EQ(content.texts.toStrings(), c.texts);
        } else {
            EXPECT_EQ(content.refusal,
                      QStringLiteral("Nothing was added from the number list file \"%1\": %2").arg(path, c.reason));
            EXPECT_TRUE(content.numbers.empty() && content.texts.empty());
        }
    }
    // The real bounds: a list made of two full ranges still reads back.
    EXPECT_GE(NumberListBounds().entries, 2 * kMaxRangeValues);

    // Whatever the order of the lines, reading stops once what it holds passes the bound: 64 different
    // lines of a megabyte, descending, against three megabytes of text.
    QByteArray descending;
    for (char c = 'z'; c > 'z' - 64; --c)
        descending += QByteArray(1 << 20, c) + '\n';
    const QString path = writeFile(QStringLiteral("descending.rcn"), descending);
    descending = QByteArray();
#if !defined(NAW_MEMORY_FIGURES_UNTOLD)
    const qint64 before = peakMemoryKb(true);
#endif
    const NumberListContent content = readNumberList(fw::FolderItem(path), {5, 3 << 20});
    EXPECT_TRUE(content.refusal.endsWith(QStringLiteral("hold more than 3,145,728 bytes.") + moreText + noList)) << content.refusal.toStdString();
#if !defined(NAW_MEMORY_FIGURES_UNTOLD)
    EXPECT_LT(peakMemoryKb(false) - before, 24 * 1024);
#endif
}

TEST_F(NumberWindowTest, ASavedListOfTenMillionReadsBackInBoundedMemory)
{
#if !defined(NAW_MEMORY_FIGURES_UNTOLD)
    const qint64 atStart = peakMemoryKb(true);
#endif
    addRange("0", "9999999");
    ASSERT_EQ(count(), "10000000");
    w->findChild<QListView*>()->doItemsLayout(); // the rows laid out, as the user sees them
    const QString path = folder.filePath("ten million.rcn");
    saveTo(path);
    ASSERT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
    EXPECT_EQ(QFileInfo(path).size(), 78888890); // 10 lines of 2 bytes, 90 of 3, ... 9,000,000 of 8
    log.reply = "Confirm";
    push("PB_clearNumbers");
    ASSERT_EQ(count(), "0");
    log.clear();
#if !defined(NAW_MEMORY_FIGURES_UNTOLD)
    // Cleared, the list and its rows' layout give their memory back (a hundred and twenty megabytes).
    QCoreApplication::processEvents();
    EXPECT_LT(peakMemoryKb(true) - atStart, 32 * 1024);
#endif

#if defined(NAW_MEMORY_FIGURES_UNTOLD)
    const qint64 before = -1; // a sanitizer keeps freed memory aside: the peak tells nothing
#else
    const qint64 before = peakMemoryKb(true);
#endif
    augmentFrom(path);
    EXPECT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
    EXPECT_EQ(count(), "10000000");
    EXPECT_EQ(ticked(), digitsFrom(0, 9));
    EXPECT_EQ(list()->List(9'999'999), "9999999");
    EXPECT_EQ(w->numberList().size(), 10'000'000u);
    if (before >= 0) {
        // The list itself is forty megabytes; reading adds at most a few times that.
        EXPECT_LT(peakMemoryKb(false) - before, 400 * 1024);
    }
}

// An entry of forty megabytes, shown in the list and then cleared, leaves nothing of itself held: not
// its text, nor a copy the list's rows were drawn from.
TEST_F(NumberWindowTest, ClearAllGivesBackTheMemoryOfALongEntry)
{
    const QString path = writeFile(QStringLiteral("long.rcn"), QByteArray(40'000'000, 'x') + "\n");
#if defined(NAW_MEMORY_FIGURES_UNTOLD)
    GTEST_SKIP() << "a sanitizer keeps freed memory aside: the resident size tells nothing";
#endif
    QCoreApplication::processEvents();
    const qint64 before = statusKb("VmRSS:");
    if (before < 0)
        GTEST_SKIP() << "no resident size here";
    augmentFrom(path);
    ASSERT_EQ(count(), "1");
    w->findChild<QListView*>()->doItemsLayout();
    list()->widget()->repaint();
    log.reply = "Confirm";
    push("PB_clearNumbers");
    ASSERT_EQ(count(), "0");
    QCoreApplication::processEvents();
    EXPECT_LT(statusKb("VmRSS:") - before, 16 * 1024);
}

// A file in any order reads as the same file in list order: texts with long common beginnings, of
// every length and script, and numbers past the first compaction, each repeated, shuffled.
TEST_F(NumberWindowTest, AFileInAnyOrderReadsAsTheSortedList)
{
    std::mt19937 random(104);
    const QByteArray starts[] = {"x", "abcdefghijklmnop", "abcdefghijklmnoq", "abcdefgh", "\xC3\xA9", "\xF0\x9F\x98\x80", "\xEF\xBF\xBD"};
    const QByteArray letters[] = {"a", "b", " ", "\xC3\xA9", "\xEF\xBF\xBD", "\xF0\x9F\x98\x80"};
    std::vector<QByteArray> lines;
    for (int i = 0; i < 120'000; ++i) {
        QByteArray text = starts[random() % std::size(starts)];
        for (int n = int(random() % 24); n > 0; --n)
            text += letters[random() % std::size(letters)];
        lines.push_back(text);
    }
    std::vector<QByteArray> texts = lines;
    std::sort(texts.begin(), texts.end());
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
    ASSERT_GT(texts.size(), 1u << 16); // enough to be split before it is sorted
    std::vector<qint32> numbers;
    for (int i = 0; i < 1'100'000; ++i) // past the first compaction
        numbers.push_back(qint32(random() % 2'000'000'000) - (i % 2) * 1'000'000'000);
    for (const qint32 n : numbers)
        lines.push_back(QByteArray::number(std::abs(n)));
    lines.insert(lines.end(), lines.begin(), lines.begin() + 100'000); // repeats
    std::shuffle(lines.begin(), lines.end(), random);
    QByteArray bytes;
    for (const QByteArray& line : lines)
        bytes += line + '\n';
    for (qint32& n : numbers)
        n = std::abs(n);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());

    const QString path = writeFile(QStringLiteral("shuffled.rcn"), bytes);
    const NumberListContent content = readNumberList(fw::FolderItem(path));
    EXPECT_EQ(content.refusal, QString());
    EXPECT_EQ(content.numbers, numbers);
    ASSERT_EQ(content.texts.size(), qsizetype(texts.size()));
    for (std::size_t i = 0; i < texts.size(); ++i)
        ASSERT_EQ(content.texts.at(qsizetype(i)), texts[i]) << i;

    // The system gives the sort one helper thread, not the next: the reading fails, and says so.
    if (std::thread::hardware_concurrency() < 3)
        return;
    failHelperThreadStartsAfter(1);
    const NumberListContent failed = readNumberList(fw::FolderItem(path));
    failHelperThreadStartsAfter(-1);
    EXPECT_EQ(failed.refusal, QStringLiteral("Could not read the number list file \"%1\": no thread could be started to "
                                             "sort its lines (%2).")
                                  .arg(path, QString::fromLocal8Bit(std::strerror(EAGAIN))));
    EXPECT_TRUE(failed.numbers.empty() && failed.texts.empty());
}

// One bound for what the list holds and what a file may add: every way of changing the list says so
// where the list it gives would pass it (which bound, the room left, how to make room), a change that
// takes out as many as it puts in goes through, and the fullest list saved reads back whole.
TEST_F(NumberWindowTest, TheListKeepsToTheBoundEverySavedListReadsBackWithin)
{
    addRange("50", "10000049");
    addRange("10000050", "20000049");
    ASSERT_EQ(count(), "20000000");
    ASSERT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
    const QString full = QStringLiteral("the list would hold %1 entries, and it may hold at most 20,000,000: it is full. A "
                                        "list holds no more, so that every saved list reads back. To make room, remove "
                                        "entries (select them and press \"Remove Highlighted\") or clear the list "
                                        "(\"Clear All Selections\").");
    const QString oneMore = writeFile(QStringLiteral("one more.rcn"), "abc\n7\n");
    const struct {
        const char* name;
        std::function<void()> change;
        QString message; // none when empty
        std::vector<int> in, out; // numbers the list holds, and does not, afterwards
    } ways[] = {
        {"a range", [this] { addRange("20000050", "20000050"); }, "Nothing was added: " + full.arg("20,000,001"), {}, {20000050}},
        {"a comma list", [this] { addList("abc,7"); }, "Nothing was added: " + full.arg("20,000,002"), {}, {7}},
        {"a digit box", [this] { digit(3)->setValue(true); }, "Nothing was added: " + full.arg("20,000,001"), {}, {3}},
        {"a preset of numbers all listed", [this] { push("PB_addET"); }, {}, {1000, 99000}, {}},
        {"a preset", [this] { push("PB_addEvenTens"); }, "Nothing was added: " + full.arg("20,000,004"), {50}, {10, 40}},
        {"a file", [this, oneMore] { augmentFrom(oneMore); },
         QStringLiteral("Nothing was added from the number list file \"%1\": ").arg(oneMore) + full.arg("20,000,002"), {},
         {7}},
        {"the grid, taking out one and putting in two", [this] { answerGrid({{50, false}, {7, true}, {8, true}}); },
         "Nothing was changed: " + full.arg("20,000,001"), {50}, {7, 8}},
        {"the grid, taking out two and putting in two", // 10 to 49 are not listed
         [this] { answerGrid({{50, false}, {51, false}, {7, true}, {12, true}}); },
         {}, {7, 12}, {50, 51}},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        log.clear();
        way.change();
        EXPECT_EQ(count(), "20000000");
        EXPECT_EQ(log.messages(), way.message.isEmpty() ? QStringList() : QStringList{way.message});
        for (const int n : way.in)
            EXPECT_TRUE(w->selection().list().containsNumber(n)) << n;
        for (const int n : way.out)
            EXPECT_FALSE(w->selection().list().containsNumber(n)) << n;
        for (int d = 0; d < 10; ++d)
            EXPECT_EQ(digit(d)->Value(), w->selection().list().containsNumber(d)) << d;
    }
    const QString path = folder.filePath("full.rcn");
    saveTo(path);
    log.reply = "Confirm";
    push("PB_clearNumbers");
    log.clear();
    augmentFrom(path);
    EXPECT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
    EXPECT_EQ(count(), "20000000");
    EXPECT_EQ(ticked(), Digits{7});

    // The other bound: the bytes of the text entries.
    push("PB_clearNumbers");
    augmentFrom(writeFile(QStringLiteral("long.rcn"), QByteArray(99'999'995, 'x') + "\n"));
    ASSERT_EQ(count(), "1");
    log.clear();
    addList("abcdef");
    EXPECT_EQ(log.messages(),
              QStringList{"Nothing was added: the list's text entries (those that are not whole numbers) would hold "
                          "100,000,001 bytes, and they may hold at most 100,000,000: they have room for 5 more bytes. A list "
                          "holds no more, so that every saved list reads back. To make room, remove entries (select them "
                          "and press \"Remove Highlighted\") or clear the list (\"Clear All Selections\")."});
    EXPECT_EQ(count(), "1");
}

} // namespace
