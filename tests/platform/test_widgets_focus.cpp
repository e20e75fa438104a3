// Keyboard focus at the widget layer: Tab and Shift+Tab run in reading order in every window, a window
// opens on its first control in that order, and a control the user cannot see (hidden, squeezed to
// nothing, or clipped away by its group box or window) can be neither focused nor pressed by key.

#include "common/cListBox.h"
#include "numbers/RW_0to99CompoundNumberWindow.h"
#include "numbers/RW_compoundNumberWindow.h"
#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/Listbox.h"
#include "platform/Window.h"
#include "report/RW_reportOutputWindow.h"
#include "support/TestSupport.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QListView>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QString nameOf(const fw::Control* c)
{
    if (!c)
        return QStringLiteral("<none>");
    return c->Index() < 0 ? c->Name() : c->Name() + QLatin1Char('(') + QString::number(c->Index()) + QLatin1Char(')');
}

// The control that holds the window's focus, found through the controls' own widgets.
QString focused(const fw::Window& w)
{
    for (const QWidget* focus = w.focusWidget(); focus && focus != &w; focus = focus->parentWidget()) {
        for (const fw::Control* c : w.controls()) {
            if (c->widget() == focus)
                return nameOf(c);
        }
    }
    return nameOf(nullptr);
}

// Tab as the user presses it: into the focused control, from where it reaches the window.
void pressTab(fw::Window& w, bool backwards = false)
{
    QWidget* target = w.focusWidget() ? w.focusWidget() : static_cast<QWidget*>(&w);
    QTest::keyClick(target, backwards ? Qt::Key_Backtab : Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
}

// The names the focus passes through, starting with the focused control, for `count` presses.
QStringList tabThrough(fw::Window& w, int count, bool backwards = false)
{
    QStringList seen{focused(w)};
    for (int i = 0; i < count; ++i) {
        pressTab(w, backwards);
        seen << focused(w);
    }
    return seen;
}

// One round of Tab from the focused control back to it: every control Tab reaches, in order, starting
// with the focused one.
QStringList tabCycle(fw::Window& w)
{
    QStringList seen{focused(w)};
    for (size_t i = 0; i < w.controls().size(); ++i) {
        pressTab(w);
        if (focused(w) == seen.front())
            return seen;
        seen << focused(w);
    }
    ADD_FAILURE() << "Tab never came back to " << seen.front().toStdString();
    return seen;
}

// The colours at the middle of the four edges of a control's frame, top, right, bottom, left.
std::vector<QRgb> frameEdges(const fw::Control& c)
{
    const QImage image = c.widget()->grab().toImage();
    const int w = image.width();
    const int h = image.height();
    return {image.pixel(w / 2, 0), image.pixel(w - 1, h / 2), image.pixel(w / 2, h - 1), image.pixel(0, h / 2)};
}

// Whether each of the four edges looks different in a and b.
bool allEdgesDiffer(const std::vector<QRgb>& a, const std::vector<QRgb>& b)
{
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i])
            return false;
    }
    return true;
}

QAccessibleInterface* accessible(const fw::Control* c)
{
    return QAccessible::queryAccessibleInterface(c->widget());
}

class WidgetFocus : public ::testing::Test {
protected:
    void TearDown() override
    {
        fw::ModalSeam::reset();
        testsupport::closeAllWindows();
    }
};

// A window whose controls stand in each of the ways a control can be out of sight.
class SightWindow : public fw::Window {
protected:
    fw::WindowRecord Layout() override { return testsupport::windowRecord(QStringLiteral("Sight"), 400, 300); }
    void CreateControls() override
    {
        using namespace fw;
        auto* group = add(new GroupBox, QStringLiteral("GB"), 10, 150, 300, 60);
        add(new PushButton, QStringLiteral("PB_inGroup"), 20, 170, 80, 22, LockLeft | LockTop, group);
        add(new PushButton, QStringLiteral("PB_partlyClipped"), 200, 200, 80, 22, LockLeft | LockTop, group);
        add(new PushButton, QStringLiteral("PB_belowGroup"), 20, 215, 80, 22, LockLeft | LockTop, group);
        add(new EditField, QStringLiteral("EF_belowGroup"), 120, 240, 80, 22, LockLeft | LockTop, group);
        add(new PushButton, QStringLiteral("PB_second"), 200, 10, 80, 22);
        add(new PushButton, QStringLiteral("PB_first"), 10, 12, 80, 22);
        add(new PushButton, QStringLiteral("PB_hidden"), 10, 50, 80, 22)->setVisible(false);
        add(new PushButton, QStringLiteral("PB_zeroWidth"), 100, 50, 0, 22);
        add(new PushButton, QStringLiteral("PB_squeezed"), 150, 50, -12, 22);
        add(new PushButton, QStringLiteral("PB_zeroHeight"), 200, 50, 80, 0);
        add(new PushButton, QStringLiteral("PB_outsideWindow"), 420, 50, 80, 22);
        add(new CheckBox, QStringLiteral("CB_third"), 10, 90, 80, 22);
        add(new StaticText, QStringLiteral("ST_label"), 100, 90, 80, 22);
        add(new PushButton, QStringLiteral("PB_disabled"), 200, 90, 80, 22)->setEnabled(false);
    }
};

TEST_F(WidgetFocus, OnlyControlsTheUserCanSeeTakeTheFocus)
{
    auto* w = fw::Window::New<SightWindow>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    const QStringList order{"PB_first", "PB_second", "CB_third", "PB_inGroup", "PB_partlyClipped"};
    EXPECT_EQ(focused(*w), "PB_first") << "the window opens on its first control in reading order";
    EXPECT_EQ(tabCycle(*w), order);
    EXPECT_EQ(tabThrough(*w, 5, true), (QStringList{"PB_first", "PB_partlyClipped", "PB_inGroup", "CB_third",
                                                    "PB_second", "PB_first"}));

    for (const char* unseen : {"PB_hidden", "PB_zeroWidth", "PB_squeezed", "PB_zeroHeight", "PB_outsideWindow",
                               "PB_belowGroup", "EF_belowGroup"}) {
        SCOPED_TRACE(unseen);
        w->FindControl(QString::fromLatin1(unseen))->SetFocus();
        EXPECT_EQ(focused(*w), "PB_first") << "focusing an unseen control from code is no change";
    }
}

// Code that hides a group, focuses a control in it and shows the group again leaves the focus there;
// a request left pending when the handler ends lapses.
TEST_F(WidgetFocus, FocusAskedWhileAGroupIsHiddenForAMomentArrivesWhenItShows)
{
    auto* w = fw::Window::New<SightWindow>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    fw::Control* group = w->FindControl(QStringLiteral("GB"));
    group->setVisible(false);
    w->FindControl(QStringLiteral("PB_partlyClipped"))->SetFocus();
    EXPECT_EQ(focused(*w), "PB_first");
    group->setVisible(true);
    EXPECT_EQ(focused(*w), "PB_partlyClipped");

    group->setVisible(false);
    EXPECT_NE(focused(*w), "PB_partlyClipped") << "a hidden control keeps no focus";
    w->FindControl(QStringLiteral("PB_inGroup"))->SetFocus();
    testsupport::settle();
    const QString before = focused(*w);
    group->setVisible(true);
    EXPECT_EQ(focused(*w), before);
}

TEST_F(WidgetFocus, AControlThatGoesOutOfSightTakesNoKeyAndHandsTheFocusOn)
{
    auto* w = fw::Window::New<SightWindow>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    auto* inGroup = w->control<fw::PushButton>(QStringLiteral("PB_inGroup"));
    int pressed = 0;
    inGroup->Action = [&pressed](fw::PushButton&) { ++pressed; };
    inGroup->SetFocus();
    ASSERT_EQ(focused(*w), "PB_inGroup");

    // The group box shrinks from its top, the way a search area hides a row: its buttons are clipped
    // away, and the focused one hands the focus on at once to the next control in reading order,
    // round to the first. Keys that still reach it move on from there: Shift alone changes nothing,
    // Shift+Tab goes back round to the last control that takes the focus.
    w->FindControl(QStringLiteral("GB"))->setBounds(10, 190, 300, 20);
    inGroup->setTop(160);
    EXPECT_EQ(focused(*w), "PB_first");
    QTest::keyPress(inGroup->widget(), Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_EQ(focused(*w), "PB_first") << "a modifier alone moved the focus";
    QTest::keyClick(inGroup->widget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Shift);
    EXPECT_EQ(focused(*w), "CB_third");
    QTest::keyClick(inGroup->widget(), Qt::Key_Space);
    QTest::keyClick(inGroup->widget(), Qt::Key_Return);
    EXPECT_EQ(pressed, 0) << "an unseen button was pressed by key";
    EXPECT_NE(focused(*w), "PB_inGroup");

    // Focus that reaches an unseen control another way moves on once events run.
    auto* field = w->control<fw::EditField>(QStringLiteral("EF_belowGroup"));
    w->activateWindow();
    field->widget()->setFocus();
    EXPECT_TRUE(testsupport::waitUntil([&] { return focused(*w) != "EF_belowGroup"; }, 2000));
    QTest::keyClicks(field->widget(), "typed");
    EXPECT_EQ(field->Text(), QString()) << "typing reached an unseen field";
}

class FrameWindow : public fw::Window {
protected:
    fw::WindowRecord Layout() override { return testsupport::windowRecord(QStringLiteral("Frames"), 400, 300); }
    void CreateControls() override
    {
        using namespace fw;
        auto* line = add(new EditField, QStringLiteral("EF_line"), 10, 10, 120, 24);
        line->setBorder(true);
        auto* pane = add(new EditField(true), QStringLiteral("EF_pane"), 10, 50, 200, 120);
        pane->setBorder(true);
        pane->setReadOnly(true);
        pane->setText(QStringLiteral("a report\nof three\nlines"));
        add(new cListBox, QStringLiteral("LB_list"), 230, 50, 140, 200);
    }
};

// A pane or a list with the keyboard focus says so in its frame, which is a one-line field's frame,
// focused or not; the frame takes no pixel from what the pane or list shows.
TEST_F(WidgetFocus, PanesAndListsShowTheFocusInTheirFrame)
{
    auto* w = fw::Window::New<FrameWindow>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    w->activateWindow();
    fw::Control* line = w->FindControl(QStringLiteral("EF_line"));
    line->SetFocus();
    QTRY_VERIFY(line->widget()->hasFocus());
    const std::vector<QRgb> lineFocused = frameEdges(*line);
    w->FindControl(QStringLiteral("EF_pane"))->SetFocus();
    QTRY_VERIFY(!line->widget()->hasFocus());
    const std::vector<QRgb> lineUnfocused = frameEdges(*line);
    const QAbstractScrollArea plain;
    for (const char* name : {"EF_pane", "LB_list"}) {
        SCOPED_TRACE(name);
        fw::Control* c = w->FindControl(QLatin1String(name));
        auto* area = qobject_cast<QAbstractScrollArea*>(c->widget());
        ASSERT_TRUE(area);
        line->SetFocus();
        QTRY_VERIFY(line->widget()->hasFocus());
        const QRect shown = area->viewport()->geometry();
        const std::vector<QRgb> unfocused = frameEdges(*c);
        EXPECT_EQ(unfocused, lineUnfocused) << "unfocused, it looks like an unfocused field";
        c->SetFocus();
        QTRY_VERIFY(c->widget()->hasFocus());
        const std::vector<QRgb> focused = frameEdges(*c);
        EXPECT_TRUE(allEdgesDiffer(unfocused, focused)) << "focused, it looks the same";
        EXPECT_EQ(focused, lineFocused) << "and not as a focused field does";
        EXPECT_EQ(area->viewport()->geometry(), shown);
        EXPECT_EQ(area->frameWidth(), plain.frameWidth()) << "the frame is wider than a plain one";
    }
}

TEST_F(WidgetFocus, NumberSelectionTabsInReadingOrder)
{
    auto* w = RW_compoundNumberWindow::instance();
    w->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    const QStringList expected{
        "CB_0to10(0)",      "CB_0to10(1)",        "CB_0to10(2)",        "CB_0to10(3)",     "CB_0to10(4)",
        "PB_checkAllRadio", "CB_0to10(5)",        "CB_0to10(6)",        "CB_0to10(7)",     "CB_0to10(8)",
        "CB_0to10(9)",      "PB_clearAllRadio",   "LB_numberSelected",  "EF_rangeStart",   "EF_rangeEnd",
        "EF_CSV",           "PB_add0to99",        "PB_addEvenTens",     "PB_addEH",        "PB_addET",
        "PB_clearNumbers",  "PB_removeNumbers",   "PB_loadNumbers",     "PB_saveNumbers",  "PB_doneAndExit",
    };
    EXPECT_EQ(focused(*w), expected.front()) << "the window opens on its first control";
    EXPECT_EQ(tabThrough(*w, int(expected.size())), expected + QStringList{expected.front()});
    QStringList backwards = expected;
    std::reverse(backwards.begin(), backwards.end());
    EXPECT_EQ(tabThrough(*w, int(expected.size()), true), QStringList{expected.front()} + backwards);
}

// A screen reader names every field and list by the label the user reads beside or above it, and every
// other control by what it is and does, never by the title of the group it stands in. Arrows are
// named one by one (part 0 the upper arrow, 1 the lower).
TEST_F(WidgetFocus, ControlsAreNamedByTheirLabelsOrWhatTheyDo)
{
    auto* numbers = RW_compoundNumberWindow::instance();
    auto* report = fw::Window::New<RW_reportOutputWindow>();
    const struct {
        fw::Window* window;
        const char* control;
        int index;
        int part;
        const char* name;
    } cases[] = {
        {numbers, "EF_rangeStart", -1, -1, "Range From"},
        {numbers, "EF_rangeEnd", -1, -1, "Range To"},
        {numbers, "EF_CSV", -1, -1, "Comma Separated List"},
        {numbers, "LB_numberSelected", -1, -1, "Test Numbers Selected"},
        {report, "EF_fontRight", -1, -1, "Text Size on Right"},
        {report, "EF_searchInstanceLeft", 0, -1, "Index on Left, row 1"},
        {report, "EF_searchInstanceRight", 6, -1, "Index on Right, row 7"},
        {report, "EF_searchText", 2, -1, "Search Criteria, row 3"},
        {report, "EF_mainResultsLeft", 0, -1, "Report on Left"},
        {report, "EF_mainResultsRight", 0, -1, "Report on Right"},
        {report, "SL_widthAdjuster", -1, -1, "Split between Left and Right Reports"},
        {report, "PrB_progressBar", -1, -1, "Search Progress"},
        {report, "UDA_fontSizeLeft", -1, -1, "Text Size Arrows on Left"},
        {report, "UDA_fontSizeLeft", -1, 0, "Larger Text on Left"},
        {report, "UDA_fontSizeLeft", -1, 1, "Smaller Text on Left"},
        {report, "UDA_fontSizeRight", -1, 0, "Larger Text on Right"},
        {report, "UDA_fontSizeRight", -1, 1, "Smaller Text on Right"},
        {report, "ChB_applyColor", 0, -1, "Highlight Hits in Color, row 1"},
        {report, "ChB_applyColor", 6, -1, "Highlight Hits in Color, row 7"},
        {report, "UDA_srchUpDnLeft", 2, -1, "Previous or Next Hit on Left, row 3"},
        {report, "UDA_srchUpDnLeft", 2, 0, "Previous Hit on Left, row 3"},
        {report, "UDA_srchUpDnLeft", 2, 1, "Next Hit on Left, row 3"},
        {report, "UDA_srchUpDnRight", 6, 0, "Previous Hit on Right, row 7"},
        {report, "UDA_srchUpDnRight", 6, 1, "Next Hit on Right, row 7"},
        {report, "UDA_srchFirstLastLeft", 0, -1, "First or Last Hit on Left, row 1"},
        {report, "UDA_srchFirstLastLeft", 0, 0, "First Hit on Left, row 1"},
        {report, "UDA_srchFirstLastLeft", 0, 1, "Last Hit on Left, row 1"},
        {report, "UDA_srchFirstLastRight", 4, 0, "First Hit on Right, row 5"},
        {report, "UDA_srchFirstLastRight", 4, 1, "Last Hit on Right, row 5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control);
        const fw::Control* control = c.window->FindControl(QLatin1String(c.control), c.index);
        ASSERT_TRUE(control);
        QAccessibleInterface* view = accessible(control);
        if (c.part >= 0) {
            ASSERT_EQ(view->childCount(), 2);
            view = view->child(c.part);
            EXPECT_EQ(view->role(), QAccessible::Button);
        }
        EXPECT_EQ(view->text(QAccessible::Name).toStdString(), c.name) << c.index << " part " << c.part;
    }
}

TEST_F(WidgetFocus, GridOpensOnItsFirstControlAndEndsOnDone)
{
    auto* w = RW_0to99CompoundNumberWindow::instance();
    w->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_EQ(focused(*w), "PB_selectColumn(0)");
    const QStringList forward = tabThrough(*w, 12);
    EXPECT_EQ(forward.mid(9, 4), (QStringList{"PB_selectColumn(9)", "PB_selectRow(0)", "CB_0to99(0)", "CB_0to99(1)"}));
    w->control<fw::PushButton>(QStringLiteral("PB_selectColumn"), 0)->SetFocus();
    EXPECT_EQ(tabThrough(*w, 5, true), (QStringList{"PB_selectColumn(0)", "PB_done", "PB_selectAll", "PB_clearAll",
                                                     "PB_cancel", "PB_clearColumn(9)"}));
}

class ReportFocus : public WidgetFocus {
protected:
    void SetUp() override
    {
        w = fw::Window::New<RW_reportOutputWindow>();
        testsupport::showReport(*w, QStringLiteral("alpha\nbeta\ngamma\n"));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    }
    fw::Control* c(const char* name, int index = -1) { return w->FindControl(QLatin1String(name), index); }

    testsupport::MessageLog log;
    QPointer<RW_reportOutputWindow> w;
};

TEST_F(ReportFocus, BothSidesRunInTheSameOrder)
{
    EXPECT_EQ(focused(*w), "EF_mainResultsRight(0)") << "the set-up leaves the focus in the pane it chose a report for last";
    c("PM_displayChoiceLeft")->SetFocus();
    const QStringList order = tabCycle(*w);
    const auto before = [&order](const char* a, const char* b) {
        return order.indexOf(QLatin1String(a)) >= 0 && order.indexOf(QLatin1String(a)) + 1 == order.indexOf(QLatin1String(b));
    };
    EXPECT_TRUE(before("PM_displayChoiceLeft", "PM_displayChoiceRight")) << order.join(' ').toStdString();
    EXPECT_TRUE(before("EF_mainResultsLeft(0)", "EF_mainResultsRight(0)")) << order.join(' ').toStdString();
    EXPECT_TRUE(before("BB_bookmarksLeft", "BB_bookmarksRight")) << order.join(' ').toStdString();
    EXPECT_LT(order.indexOf("EF_fontLeft"), order.indexOf("EF_fontRight"));
    EXPECT_LT(order.indexOf("EF_fontRight"), order.indexOf("ChB_applyColor(0)"));
}

// After set-up only search row 0 is in sight; the rows collapsed below the search area are not.
TEST_F(ReportFocus, CollapsedSearchRowsCanBeNeitherFocusedNorPressed)
{
    const QStringList order = tabCycle(*w);
    for (int k = 1; k <= 6; ++k) {
        SCOPED_TRACE(k);
        EXPECT_FALSE(order.contains(QStringLiteral("EF_searchText(%1)").arg(k)));
        EXPECT_FALSE(order.contains(QStringLiteral("ChB_applyColor(%1)").arg(k)));
        c("EF_searchText", k)->SetFocus();
        EXPECT_NE(focused(*w), QStringLiteral("EF_searchText(%1)").arg(k));
    }
    EXPECT_TRUE(order.contains("EF_searchText(0)"));
    EXPECT_TRUE(order.contains("PB_NewCriteria(0)"));
    EXPECT_FALSE(order.contains("PB_srchHide(5)")) << "the \"-\" of row 6 lies below the search area";

    // Keys that reach unseen controls do nothing: Return in a hidden phrase field, Space on the "-".
    auto* phrase = static_cast<fw::EditField*>(c("EF_searchText", 3));
    QTest::keyClicks(phrase->widget(), "beta");
    QTest::keyClick(phrase->widget(), Qt::Key_Return);
    QTest::keyClick(c("PB_srchHide", 5)->widget(), Qt::Key_Space);
    EXPECT_EQ(phrase->Text(), QString());
    EXPECT_TRUE(log.messages().isEmpty()) << log.messages().join(" | ").toStdString();
    EXPECT_TRUE(c("PB_NewCriteria", 0)->Visible());
    EXPECT_TRUE(c("PB_srchHide", 5)->Visible());

    // Nor does a screen reader find them: every control of a collapsed row is invisible to it.
    const auto spoken = [](fw::Control* control) { return !accessible(control)->state().invisible; };
    for (const char* array :
         {"EF_searchText", "EF_searchInstanceLeft", "ChB_applyColor", "PB_find", "ST_searchTotal"}) {
        EXPECT_TRUE(spoken(c(array, 0))) << array;
        for (int k = 1; k <= 6; ++k)
            EXPECT_FALSE(spoken(c(array, k))) << array << ' ' << k;
    }
    EXPECT_FALSE(spoken(c("PB_srchHide", 5)));

    // "+" brings row 1 into sight, into the Tab order and to the screen reader.
    static_cast<fw::PushButton*>(c("PB_NewCriteria", 0))->Push();
    EXPECT_TRUE(tabCycle(*w).contains("EF_searchText(1)"));
    EXPECT_TRUE(spoken(c("EF_searchText", 1)));
    EXPECT_FALSE(spoken(c("EF_searchText", 2)));
    c("EF_searchText", 1)->SetFocus();
    EXPECT_EQ(focused(*w), "EF_searchText(1)");
}

// Which pane has the keys shows in the frames, whatever moved the focus there.
TEST_F(ReportFocus, ThePaneWithTheKeysShowsItInItsFrame)
{
    fw::Control* left = c("EF_mainResultsLeft", 0);
    fw::Control* right = c("EF_mainResultsRight", 0);
    ASSERT_EQ(focused(*w), "EF_mainResultsRight(0)");
    const std::vector<QRgb> withKeys = frameEdges(*right);
    const std::vector<QRgb> without = frameEdges(*left);
    EXPECT_TRUE(allEdgesDiffer(withKeys, without));
    c("EF_searchText", 0)->SetFocus();
    QTRY_COMPARE(focused(*w), QStringLiteral("EF_searchText(0)"));
    EXPECT_EQ(frameEdges(*right), without);
    EXPECT_EQ(frameEdges(*left), without);
    left->SetFocus();
    QTRY_COMPARE(focused(*w), QStringLiteral("EF_mainResultsLeft(0)"));
    EXPECT_EQ(frameEdges(*left), withKeys);
    EXPECT_EQ(frameEdges(*right), without);
}

// The split slider at either end squeezes one side's pane and chooser to nothing: they take no focus.
TEST_F(ReportFocus, PanesSqueezedToNothingTakeNoFocus)
{
    auto* slider = static_cast<fw::Slider*>(c("SL_widthAdjuster"));
    slider->setValue(slider->Minimum());
    c("PB_openInWordRight")->SetFocus();
    QStringList order = tabCycle(*w);
    EXPECT_FALSE(order.contains("PM_displayChoiceLeft")) << order.join(' ').toStdString();
    EXPECT_TRUE(order.contains("EF_mainResultsRight(0)"));
    slider->setValue(slider->Maximum());
    order = tabCycle(*w);
    EXPECT_FALSE(order.contains("PM_displayChoiceRight")) << order.join(' ').toStdString();
    EXPECT_TRUE(order.contains("EF_mainResultsLeft(0)"));
}

} // namespace
