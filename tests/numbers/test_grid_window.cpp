#include "numbers/RW_0to99CompoundNumberWindow.h"

#include "common/CC_genericTransportObject.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "support/TestSupport.h"

#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using Grid = RW_0to99CompoundNumberWindow;
using Numbers = std::vector<qint32>;

class GridWindowTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        fw::ModalSeam::reset();
        for (Grid* grid : testsupport::openWindowsOf<Grid>())
            grid->Close();
        testsupport::settle();
    }
};

fw::CheckBox* box(const fw::Window& w, int n)
{
    return w.control<fw::CheckBox>(QStringLiteral("CB_0to99"), n);
}

fw::PushButton* button(const fw::Window& w, const char* name, int index = -1)
{
    return w.control<fw::PushButton>(QString::fromLatin1(name), index);
}

Numbers tickedNumbers(const fw::Window& w)
{
    Numbers ticked;
    for (int n = 0; n < 100; ++n) {
        if (box(w, n)->Value())
            ticked.push_back(n);
    }
    return ticked;
}

Numbers range(int from, int to, int step = 1)
{
    Numbers out;
    for (int n = from; n <= to; n += step)
        out.push_back(n);
    return out;
}

struct Exchange {
    std::shared_ptr<CC_genericTransportObject> transport = std::make_shared<CC_genericTransportObject>();
    IntListRef callerList;

    explicit Exchange(Numbers numbers)
        : callerList(std::make_shared<IntList>(std::move(numbers)))
    {
        transport->setIntArray(callerList);
    }
};

TEST_F(GridWindowTest, BuildsHiddenFixedSizeWindowFromItsRecord)
{
    Grid* grid = Grid::instance();
    ASSERT_NE(grid, nullptr);
    EXPECT_FALSE(grid->Visible());
    EXPECT_EQ(grid->Title(), "Number Selector: 0 to 99");
    EXPECT_EQ(grid->Width(), 868);
    EXPECT_EQ(grid->Height(), 531);
    EXPECT_EQ(grid->minimumSize(), QSize(868, 531));
    EXPECT_EQ(grid->maximumSize(), QSize(868, 531));
    EXPECT_TRUE(grid->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(grid->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(grid->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(tickedNumbers(*grid), Numbers{});
}

TEST_F(GridWindowTest, CreatesAllControlsInTableOrder)
{
    Grid* grid = Grid::instance();
    std::vector<std::pair<QString, int>> expected = {{"PB_done", -1}, {"PB_cancel", -1}, {"GroupBox1", -1}};
    for (int n = 0; n < 100; ++n)
        expected.emplace_back("CB_0to99", n);
    for (const char* array : {"PB_selectRow", "PB_clearRow", "PB_selectColumn", "PB_clearColumn"}) {
        for (int i = 0; i < 10; ++i)
            expected.emplace_back(QString::fromLatin1(array), i);
    }
    expected.emplace_back("PB_selectAll", -1);
    expected.emplace_back("PB_clearAll", -1);

    std::vector<std::pair<QString, int>> actual;
    for (const fw::Control* c : grid->controls())
        actual.emplace_back(c->Name(), c->Index());
    ASSERT_EQ(actual.size(), 145u);
    EXPECT_EQ(actual, expected);

    // Array elements are of their array's own class.
    EXPECT_NE(dynamic_cast<CB_0to99*>(box(*grid, 57)), nullptr);
    EXPECT_NE(dynamic_cast<PB_selectRow*>(button(*grid, "PB_selectRow", 4)), nullptr);
    EXPECT_NE(dynamic_cast<PB_clearRow*>(button(*grid, "PB_clearRow", 4)), nullptr);
    EXPECT_NE(dynamic_cast<PB_selectColumn*>(button(*grid, "PB_selectColumn", 4)), nullptr);
    EXPECT_NE(dynamic_cast<PB_clearColumn*>(button(*grid, "PB_clearColumn", 4)), nullptr);
}

TEST_F(GridWindowTest, SingleControlsSitWhereTheTableSays)
{
    struct Row {
        const char* name;
        int left, top, width, height, locks;
        const char* caption;
    };
    const Row rows[] = {
        {"PB_done", 725, 489, 120, 22, fw::LockRight | fw::LockBottom, "Done"},
        {"PB_cancel", 20, 489, 120, 22, fw::LockLeft | fw::LockBottom, "Cancel"},
        {"PB_selectAll", 466, 489, 120, 22, fw::LockBottom, "Select All"},
        {"PB_clearAll", 243, 489, 120, 22, fw::LockBottom, "Clear All"},
    };
    Grid* grid = Grid::instance();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fw::PushButton* b = button(*grid, row.name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->parentControl(), nullptr);
        EXPECT_EQ((QRect(b->Left(), b->Top(), b->Width(), b->Height())),
                  QRect(row.left, row.top, row.width, row.height));
        EXPECT_EQ(b->locks(), row.locks);
        EXPECT_EQ(b->Caption(), row.caption);
    }

    auto* group = grid->control<fw::GroupBox>("GroupBox1");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ((QRect(group->Left(), group->Top(), group->Width(), group->Height())), QRect(20, 8, 828, 466));
    EXPECT_EQ(group->locks(), fw::LockLeft | fw::LockTop | fw::LockRight | fw::LockBottom);
    EXPECT_EQ(group->Caption(), "Check All That Apply");
    EXPECT_TRUE(group->font().bold);
}

TEST_F(GridWindowTest, BoxNumberGivesRowColumnAndCaption)
{
    Grid* grid = Grid::instance();
    const fw::Control* group = grid->FindControl("GroupBox1");

    struct Corner {
        int n, left, top;
    };
    for (const Corner& corner : {Corner{0, 114, 63}, Corner{9, 716, 63}, Corner{90, 114, 405}, Corner{99, 716, 405}}) {
        SCOPED_TRACE(corner.n);
        const fw::CheckBox* b = box(*grid, corner.n);
        EXPECT_EQ((QRect(b->Left(), b->Top(), b->Width(), b->Height())), QRect(corner.left, corner.top, 50, 26));
    }

    for (int n = 0; n < 100; ++n) {
        SCOPED_TRACE(n);
        const fw::CheckBox* b = box(*grid, n);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->Index(), n);
        EXPECT_EQ(b->Caption(), QString::number(n));
        EXPECT_EQ(b->parentControl(), group);
        EXPECT_EQ(b->locks(), fw::LockNone);
        EXPECT_FALSE(b->Value());
        // Same row as its row buttons, same column as the box in row 0.
        EXPECT_EQ(b->Top(), button(*grid, "PB_selectRow", n / 10)->Top());
        EXPECT_EQ(b->Top(), button(*grid, "PB_clearRow", n / 10)->Top());
        EXPECT_EQ(b->Left(), box(*grid, n % 10)->Left());
    }

    // Row buttons at both ends of each row, column buttons above and below the grid.
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        const fw::PushButton* selRow = button(*grid, "PB_selectRow", i);
        const fw::PushButton* clrRow = button(*grid, "PB_clearRow", i);
        const fw::PushButton* selCol = button(*grid, "PB_selectColumn", i);
        const fw::PushButton* clrCol = button(*grid, "PB_clearColumn", i);
        EXPECT_EQ((QPoint(selRow->Left(), selRow->Top())), QPoint(36, 63 + 38 * i));
        EXPECT_EQ((QPoint(clrRow->Left(), clrRow->Top())), QPoint(767, 63 + 38 * i));
        EXPECT_EQ(selCol->Top(), 31);
        EXPECT_EQ(clrCol->Top(), 439);
        EXPECT_EQ(selCol->Left(), clrCol->Left());
        for (const fw::PushButton* b : {selRow, clrRow, selCol, clrCol}) {
            EXPECT_EQ((QSize(b->Width(), b->Height())), QSize(60, 22));
            EXPECT_EQ(b->parentControl(), group);
        }
        EXPECT_EQ(selRow->Caption(), "All");
        EXPECT_EQ(selCol->Caption(), "All");
        EXPECT_EQ(clrRow->Caption(), "None");
        EXPECT_EQ(clrCol->Caption(), "None");
    }
    EXPECT_EQ(button(*grid, "PB_selectColumn", 0)->Left(), 97);
    EXPECT_EQ(button(*grid, "PB_selectColumn", 9)->Left(), 706);
}

TEST_F(GridWindowTest, AccessorReturnsOpenWindowUntilItCloses)
{
    QPointer<Grid> first = Grid::instance();
    ASSERT_TRUE(first);
    box(*first, 33)->setValue(true);
    EXPECT_EQ(Grid::instance(), first.data());
    EXPECT_FALSE(first->Visible());

    first->Close();
    EXPECT_TRUE(testsupport::waitUntil([&] { return first.isNull(); }));

    Grid* fresh = Grid::instance();
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(fresh->isClosed());
    EXPECT_FALSE(fresh->Visible());
    EXPECT_EQ(tickedNumbers(*fresh), Numbers{});
}

TEST_F(GridWindowTest, InitializeTicksExactlyTheHandedNumbers)
{
    struct Case {
        const char* label;
        Numbers handed;
        Numbers ticked;
    };
    const Case cases[] = {
        {"empty", {}, {}},
        {"some", {5, 42, 99}, {5, 42, 99}},
        {"corners unordered", {99, 0, 90, 9}, {0, 9, 90, 99}},
        {"all", range(0, 99), range(0, 99)},
        {"out of range skipped", {-1, 7, 100, 150, 42, -2147483647 - 1}, {7, 42}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Grid* grid = Grid::instance();
        Exchange ex(c.handed);
        grid->initialize(ex.transport);
        EXPECT_EQ(tickedNumbers(*grid), c.ticked);
        EXPECT_TRUE(ex.transport->getUserCancel());
        EXPECT_EQ(ex.transport->getIntArray(), ex.callerList);
        EXPECT_EQ(*ex.callerList, c.handed);
        grid->Close();
        testsupport::settle();
    }
}

TEST_F(GridWindowTest, RowColumnAndGridButtons)
{
    struct Case {
        const char* label;
        Numbers start;
        const char* name;
        int index;
        Numbers expected;
    };
    Numbers allButColumn7;
    for (int n = 0; n < 100; ++n) {
        if (n % 10 != 7)
            allButColumn7.push_back(n);
    }
    const Case cases[] = {
        {"row 3 all", {}, "PB_selectRow", 3, range(30, 39)},
        {"row 3 all keeps others", {5, 31, 99}, "PB_selectRow", 3, {5, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 99}},
        {"row 0 none", {0, 9, 10, 55}, "PB_clearRow", 0, {10, 55}},
        {"row 9 none", range(0, 99), "PB_clearRow", 9, range(0, 89)},
        {"column 7 all", {}, "PB_selectColumn", 7, range(7, 97, 10)},
        {"column 0 all", {1}, "PB_selectColumn", 0, {0, 1, 10, 20, 30, 40, 50, 60, 70, 80, 90}},
        {"column 7 none", range(0, 99), "PB_clearColumn", 7, allButColumn7},
        {"select all", {42}, "PB_selectAll", -1, range(0, 99)},
        {"clear all", {0, 42, 99}, "PB_clearAll", -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Grid* grid = Grid::instance();
        Exchange ex(c.start);
        grid->initialize(ex.transport);
        fw::PushButton* b = button(*grid, c.name, c.index);
        ASSERT_NE(b, nullptr);
        b->Push();
        EXPECT_EQ(tickedNumbers(*grid), c.expected);
        // The grid buttons only tick boxes: the exchange stays open and untouched.
        EXPECT_FALSE(grid->isClosed());
        EXPECT_TRUE(ex.transport->getUserCancel());
        EXPECT_EQ(ex.transport->getIntArray(), ex.callerList);
        grid->Close();
        testsupport::settle();
    }
}

// The whole exchange as the caller runs it: initialize, ShowModal, read the answer afterwards.
TEST_F(GridWindowTest, ModalExchangeAnswersOnlyThroughDone)
{
    struct Case {
        const char* label;
        Numbers handed;
        std::function<void(fw::Window&)> drive;
        bool cancelled;
        Numbers answer; // when not cancelled
    };
    auto done = [](fw::Window& w) { button(w, "PB_done")->Push(); };
    const Case cases[] = {
        {"done unchanged", {5, 42, 99}, done, false, {5, 42, 99}},
        {"done after changes",
         {5, 42, 99},
         [&](fw::Window& w) {
             box(w, 42)->setValue(false);
             box(w, 7)->setValue(true);
             done(w);
         },
         false,
         {5, 7, 99}},
        {"done sorts the answer",
         {},
         [&](fw::Window& w) {
             for (int n : {88, 3, 50})
                 box(w, n)->setValue(true);
             done(w);
         },
         false,
         {3, 50, 88}},
        {"done with nothing ticked",
         {1, 2, 3},
         [&](fw::Window& w) {
             button(w, "PB_clearAll")->Push();
             done(w);
         },
         false,
         {}},
        {"cancel after changes",
         {5, 42},
         [](fw::Window& w) {
             button(w, "PB_selectAll")->Push();
             button(w, "PB_cancel")->Push();
         },
         true,
         {}},
        {"close box after changes",
         {5, 42},
         [](fw::Window& w) {
             button(w, "PB_clearAll")->Push();
             w.close();
         },
         true,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Exchange ex(c.handed);
        QPointer<Grid> grid = Grid::instance();
        grid->initialize(ex.transport);

        bool wasVisible = false;
        fw::ModalSeam::setWindowHandler([&](fw::Window& w) {
            wasVisible = w.Visible();
            c.drive(w);
        });
        // Ends a stuck modal loop instead of hanging the suite.
        QTimer::singleShot(5000, grid.data(), [grid] {
            ADD_FAILURE() << "modal grid window was not closed";
            grid->Close();
        });
        grid->ShowModal();
        fw::ModalSeam::reset();

        EXPECT_TRUE(wasVisible);
        ASSERT_TRUE(!grid || grid->isClosed());
        EXPECT_EQ(ex.transport->getUserCancel(), c.cancelled);
        EXPECT_EQ(*ex.callerList, c.handed);
        if (c.cancelled) {
            EXPECT_EQ(ex.transport->getIntArray(), ex.callerList);
        } else {
            ASSERT_NE(ex.transport->getIntArray(), ex.callerList);
            EXPECT_EQ(*ex.transport->getIntArray(), c.answer);
            EXPECT_EQ(ex.callerList.use_count(), 1);
        }
        EXPECT_TRUE(testsupport::waitUntil([&] { return grid.isNull(); }));
        EXPECT_EQ(tickedNumbers(*Grid::instance()), Numbers{});
    }
}

// Keys go where the user's keys go: into the focused control, the first "All" when the grid opens, and
// from there to the window. Return and Escape press nothing there; Space presses the focused button.
TEST_F(GridWindowTest, ReturnAndEscapePressNoButton)
{
    Exchange ex({4});
    Grid* grid = Grid::instance();
    grid->initialize(ex.transport);
    grid->Show();
    QWidget* firstAll = button(*grid, "PB_selectColumn", 0)->widget();
    ASSERT_EQ(grid->focusWidget(), firstAll);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(firstAll, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QTest::keyClick(grid, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    }
    testsupport::settle();
    EXPECT_FALSE(grid->isClosed());
    EXPECT_TRUE(ex.transport->getUserCancel());
    EXPECT_EQ(tickedNumbers(*grid), Numbers{4});
    QTest::keyClick(firstAll, Qt::Key_Space);
    EXPECT_EQ(tickedNumbers(*grid), (Numbers{0, 4, 10, 20, 30, 40, 50, 60, 70, 80, 90}));
}

TEST_F(GridWindowTest, DoneWithoutInitializeOnlyCloses)
{
    QPointer<Grid> grid = Grid::instance();
    box(*grid, 12)->setValue(true);
    button(*grid, "PB_done")->Push();
    EXPECT_TRUE(grid->isClosed());
    EXPECT_TRUE(testsupport::waitUntil([&] { return grid.isNull(); }));
}

} // namespace
